#pragma once

#include "Shell.h"

#include <QList>
#include <QStringList>

// Stands in for the user: records every message box and answers questions
// from a queue (No or Cancel when it runs dry); the pickers and the page
// settings dialog return what the test queued (a cancel when nothing is
// queued) and record what they were asked with.
class FakeShell : public Shell {
  public:
    Answer ShowMessage(QWidget*, const QString& text, Buttons buttons) override {
        messages << text;
        kinds << buttons;
        if (buttons == Buttons::Ok) {
            return Answer::Ok;
        }
        questions << text;
        if (!answers.isEmpty()) {
            return answers.takeFirst();
        }
        return buttons == Buttons::OkCancel ? Answer::Cancel : Answer::No;
    }
    Answer ShowReport(QWidget*, const QString& summary, const QString& place, const QString& details,
                      bool offerOpenFolder) override {
        messages << summary;
        reportPlaces << place;
        reportDetails << details;
        offeredFolder << offerOpenFolder;
        return reportAnswer;
    }
    QStringList PickFiles(QWidget*, const QString& filter, const QString& startFolder) override {
        filters << filter;
        startFolders << startFolder;
        return pickedFiles.isEmpty() ? QStringList() : pickedFiles.takeFirst();
    }
    QString PickFolder(QWidget*, const QString& title, const QString& startFolder) override {
        folderTitles << title;
        startFolders << startFolder;
        return pickedFolders.isEmpty() ? QString() : pickedFolders.takeFirst();
    }
    bool EditPageSettings(QWidget*, PageChoice& choice) override {
        pageSettingsShown << choice;
        if (pageChoices.isEmpty()) {
            return false;
        }
        choice = pageChoices.takeFirst();
        return true;
    }
    bool OpenUrl(const QString& address) override {
        opened << address;
        return true;
    }
    bool OpenFolder(const QString& path) override {
        opened << path;
        return folderOpens;
    }

    QStringList messages;      // every message box (a report's summary), in order
    QStringList reportPlaces;  // the folder line of each report
    QStringList reportDetails; // the details part of each report
    QList<bool> offeredFolder; // whether each report offered to open the result folder
    Answer reportAnswer = Answer::Ok;
    QList<Buttons> kinds;  // the buttons each message box had
    QStringList questions; // those with a second button
    QList<Answer> answers;
    QList<QStringList> pickedFiles; // one entry per file picker shown
    QStringList pickedFolders;      // one entry per folder picker shown
    QStringList filters;
    QStringList folderTitles;
    QStringList startFolders; // where each picker was asked to open
    QStringList opened;
    bool folderOpens = true;       // false: as a desktop where no file manager answers
    QList<PageChoice> pageChoices; // confirmed by the settings dialog, one per showing; cancelled when none
    QList<PageChoice> pageSettingsShown; // what the settings dialog opened on
};
