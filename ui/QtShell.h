#pragma once

#include "Shell.h"

#include <memory>

class QMessageBox;

// The real desktop: Qt's message boxes and pickers, the user's browser and file manager.
class QtShell : public Shell {
  public:
    Answer ShowMessage(QWidget* parent, const QString& text, Buttons buttons) override;
    Answer ShowReport(QWidget* parent, const QString& summary, const QString& place, const QString& details,
                      bool offerOpenFolder) override;
    QStringList PickFiles(QWidget* parent, const QString& filter, const QString& startFolder) override;
    QString PickFolder(QWidget* parent, const QString& title, const QString& startFolder) override;
    bool EditPageSettings(QWidget* parent, PageChoice& choice) override;
    bool OpenUrl(const QString& address) override;
    bool OpenFolder(const QString& path) override;
};

// The boxes ShowMessage and ShowReport show, made apart so they can be checked.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, const QString& text, Shell::Buttons buttons);
std::unique_ptr<QMessageBox> MakeReportBox(QWidget* parent, const QString& summary, const QString& place,
                                           const QString& details, bool offerOpenFolder);
