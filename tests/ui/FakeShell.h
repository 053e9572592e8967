#pragma once

#include "Shell.h"

#include <QList>
#include <QStringList>

// Stands in for the user: records every message box and answers Yes/No
// questions from a queue (No when it runs dry).
class FakeShell : public Shell {
  public:
    Answer ShowMessage(QWidget*, const QString& text, Buttons buttons) override {
        messages << text;
        if (buttons == Buttons::Ok) {
            return Answer::Ok;
        }
        questions << text;
        return answers.isEmpty() ? Answer::No : answers.takeFirst();
    }
    QStringList PickFiles(QWidget*, const QString&) override { return {}; }
    QString PickFolder(QWidget*, const QString&) override { return {}; }
    bool OpenUrl(const QString& address) override {
        opened << address;
        return true;
    }
    bool OpenFolder(const QString& path) override {
        opened << path;
        return true;
    }

    QStringList messages;  // every message box, in order
    QStringList questions; // those with Yes and No
    QList<Answer> answers;
    QStringList opened;
};
