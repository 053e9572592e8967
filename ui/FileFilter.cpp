#include "FileFilter.h"

#include <QStringList>

QString QtFileFilter(const QString& barSeparated) {
    const QStringList parts = barSeparated.split(QLatin1Char('|'), Qt::SkipEmptyParts);
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString caption = parts[i];
        const qsizetype shown = caption.lastIndexOf(QLatin1Char('('));
        if (shown >= 0 && caption.endsWith(QLatin1Char(')'))) {
            caption.truncate(shown);
        }
        const QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        entries << caption + QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}
