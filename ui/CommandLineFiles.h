#pragma once

#include <QString>
#include <QStringList>

// The files and folders named on the program's command line ("quillmark
// FILE|FOLDER..."), made absolute against `workingFolder` so that they mean
// the same to a copy of the program that runs elsewhere. `arguments` is the
// whole command line, the program first. Qt's own options (-platform NAME,
// -style NAME, ...) are not files; after "--" everything is.
QStringList FilesFromArguments(const QStringList& arguments, const QString& workingFolder);
