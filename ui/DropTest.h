#pragma once

#include <QString>

// The picture test of dropped files: the path ends in "jpg", "png", "bmp",
// "tif", "emf", "gif", "jpeg" or "tiff", all lower or all upper case. No dot is
// needed before the ending ("photojpg" passes) and mixed case does not pass
// ("photo.Jpg"). Folders are not told apart from files.
bool PassesDropTest(const QString& path);
