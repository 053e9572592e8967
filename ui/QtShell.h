#pragma once

#include "Shell.h"

// The real desktop: Qt's message boxes and pickers, the user's browser and file manager.
class QtShell : public Shell {
  public:
    Answer ShowMessage(QWidget* parent, const QString& text, Buttons buttons) override;
    QStringList PickFiles(QWidget* parent, const QString& filter) override;
    QString PickFolder(QWidget* parent, const QString& title) override;
    bool OpenUrl(const QString& address) override;
    bool OpenFolder(const QString& path) override;
};
