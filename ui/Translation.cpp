#include "Translation.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>
#include <memory>

namespace {

// The translators stay installed for the whole run, and are replaced together.
std::unique_ptr<QTranslator> ownTexts;
std::unique_ptr<QTranslator> qtTexts;

} // namespace

QString ChooseUiLanguage(const QStringList& uiLanguages) {
    for (const QString& language : uiLanguages) {
        if (language.startsWith(QLatin1String("zh"), Qt::CaseInsensitive)) {
            return QStringLiteral("zh");
        }
        if (language.startsWith(QLatin1String("en"), Qt::CaseInsensitive)) {
            return QStringLiteral("en");
        }
    }
    return QStringLiteral("en");
}

void InstallTranslation(const QString& language) {
    for (auto* installed : {&ownTexts, &qtTexts}) {
        if (*installed) {
            QCoreApplication::removeTranslator(installed->get());
            installed->reset();
        }
    }
    // Chinese is the source language of our texts; Qt's own are English.
    if (language == QLatin1String("en")) {
        ownTexts = std::make_unique<QTranslator>();
        if (ownTexts->load(QStringLiteral(":/i18n/quillmark_en.qm"))) {
            QCoreApplication::installTranslator(ownTexts.get());
        }
    } else {
        qtTexts = std::make_unique<QTranslator>();
        if (qtTexts->load(QStringLiteral("qtbase_zh_CN"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
            QCoreApplication::installTranslator(qtTexts.get());
        }
    }
}

bool SpeaksSourceLanguage() {
    return !ownTexts;
}
