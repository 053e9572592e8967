#include "PdfReadBack.h"

#include "PdfProbe.h"

#include <QFile>

int PdfPageCount(const QString& path, const QString& password) {
    const PdfProbe probe = ProbePdf(QFile::encodeName(path).toStdString(), password.toStdString());
    return probe.opened ? static_cast<int>(probe.pages.size()) : -1;
}

bool PdfNeedsPassword(const QString& path) {
    return ProbePdf(QFile::encodeName(path).toStdString()).passwordRejected;
}
