#pragma once

#include "PageChoice.h"

#include <QString>
#include <QStringList>

class QWidget;

// Everything the window asks of the user or the desktop: message boxes, the file
// and folder pickers, opening an address or a folder. The window talks to the
// desktop only through this, so tests can stand in for the user.
class Shell {
  public:
    // YesNoDefaultNo: a question whose Yes loses work, so Enter answers No.
    enum class Buttons { Ok, OkCancel, YesNo, YesNoDefaultNo };
    enum class Answer { Ok, Cancel, Yes, No, OpenFolder };

    virtual ~Shell() = default;

    // A message box with `parent` as its owner, the program's name as caption
    // and no icon; its text can be selected and copied. A box closed without
    // a button answers Cancel or No.
    virtual Answer ShowMessage(QWidget* parent, const QString& text, Buttons buttons) = 0;

    // The account of a finished job: `summary` in a box that always fits the
    // screen, `place` (when not empty) under it in words the user can select
    // and copy, `details` (when not empty) in a scrollable part the user can
    // open. With `offerOpenFolder` a second button opens the job's result
    // folder: the answer is OpenFolder then, Ok otherwise.
    virtual Answer ShowReport(QWidget* parent, const QString& summary, const QString& place,
                              const QString& details, bool offerOpenFolder) = 0;

    // The chosen files, or an empty list when the user cancels. `filter` is in
    // Qt's form, "Caption (*.a *.b)". The picker opens in `startFolder`, or
    // where the desktop chooses when it is empty.
    virtual QStringList PickFiles(QWidget* parent, const QString& filter, const QString& startFolder) = 0;

    // The chosen folder, or an empty string when the user cancels; only folders
    // of the file system can be chosen.
    virtual QString PickFolder(QWidget* parent, const QString& title, const QString& startFolder) = 0;

    // The page settings dialog over `parent`, opened on `choice`; true, with
    // `choice` changed, when the user confirms.
    virtual bool EditPageSettings(QWidget* parent, PageChoice& choice) = 0;

    // False when the desktop could not open it.
    virtual bool OpenUrl(const QString& address) = 0;
    virtual bool OpenFolder(const QString& path) = 0;
};
