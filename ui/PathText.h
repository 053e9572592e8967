#pragma once

#include <QFile>
#include <QString>
#include <filesystem>

// Paths cross between Qt's text and the engine's paths in the file system's own
// encoding, so names that are not valid UTF-8 survive the round trip.
inline std::filesystem::path ToPath(const QString& text) {
    return std::filesystem::path(QFile::encodeName(text).toStdString());
}

inline QString FromPath(const std::filesystem::path& path) {
    return QFile::decodeName(QByteArray::fromStdString(path.native()));
}
