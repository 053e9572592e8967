#pragma once

#include <QString>

// The picture test of dropped files: the path ends in one of the picture
// extensions ("jpg", "jpeg", "png", "tiff", ...) in any mix of letter case.
// No dot is needed before the ending ("photojpg" passes). Folders are not told
// apart from files.
bool PassesDropTest(const QString& path);
