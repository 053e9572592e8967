#include "DropTest.h"

#include "PictureTest.h"

bool PassesDropTest(const QString& path) {
    return EndsWithPictureExtension(path.toStdString(), false);
}
