#pragma once

#include <QString>
#include <QStringList>

// The window speaks Chinese (its source language) or English. A user whose
// preferred languages name Chinese before English gets Chinese; everyone else
// gets English, also a user of a third language, who is likelier to read
// English than Chinese.
//
// `uiLanguages` are the user's languages in order of preference, as
// QLocale::uiLanguages() gives them (LANGUAGE, then LC_ALL, LC_MESSAGES, LANG).
// Returns "zh" or "en".
QString ChooseUiLanguage(const QStringList& uiLanguages);

// Makes the texts of the application speak `language` ("zh" or "en"): ours,
// and Qt's own (the buttons of message boxes, the pickers) where Qt's
// translations are installed. Call it before the first window is made; a later
// call replaces the earlier choice.
void InstallTranslation(const QString& language);

// True while the window speaks its source language, Chinese: its layout was
// drawn for those texts and keeps every position as drawn.
bool SpeaksSourceLanguage();
