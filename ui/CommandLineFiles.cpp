#include "CommandLineFiles.h"

#include <QDir>

namespace {

// The options Qt itself reads from a program's command line and that take a value.
bool TakesValue(const QString& option) {
    static const QStringList kWithValue = {
        QStringLiteral("platform"),
        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),
        QStringLiteral("qmljsdebugger"),
        QStringLiteral("style"),
        QStringLiteral("stylesheet"),
        QStringLiteral("session"),
        QStringLiteral("display"),
        QStringLiteral("title"),
        QStringLiteral("qwindowgeometry"),
        QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"),
        QStringLiteral("widgetcount"),
        QStringLiteral("name"),
    };
    QString name = option;
    while (name.startsWith(QLatin1Char('-'))) {
        name.remove(0, 1);
    }
    return !name.contains(QLatin1Char('=')) && kWithValue.contains(name);
}

} // namespace

QStringList FilesFromArguments(const QStringList& arguments, const QString& workingFolder) {
    const QDir base(workingFolder);
    QStringList files;
    bool onlyFiles = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (!onlyFiles && argument == QLatin1String("--")) {
            onlyFiles = true;
            continue;
        }
        if (!onlyFiles && argument.startsWith(QLatin1Char('-')) && argument.size() > 1) {
            if (TakesValue(argument)) {
                ++i;
            }
            continue;
        }
        if (!argument.isEmpty()) {
            files << QDir::cleanPath(base.absoluteFilePath(argument));
        }
    }
    return files;
}
