#pragma once

#include "PageChoice.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLineEdit;
class QListWidget;
class QSpinBox;

// The "更多设置" dialog, in tabs: the page (paper size and resolution,
// orientation, margin), the pictures (how they are fitted, the order of those
// taken from a folder), the document (whether JPEGs go in as they are), the
// cleaning of scans (straightened, turned upright, blanks left out, black
// and white), and text recognition for searchable documents with its languages (those
// installed; Chinese and English checked when nothing was chosen yet). It
// edits a copy; the window takes Choice() when the user confirms. Its fields
// and tabs carry object names ("paper", "dpi", ..., "tabs", "pageTab") so
// tests can reach them.
class PageSettingsDlg : public QDialog {
    Q_OBJECT
  public:
    explicit PageSettingsDlg(const PageChoice& choice, QWidget* parent = nullptr);

    PageChoice Choice() const;

  private:
    void OnPaperChanged();
    void OnOcrToggled();

    QComboBox* paper;
    QSpinBox* dpi;
    QComboBox* orientation;
    QDoubleSpinBox* margin;
    QComboBox* fit;
    QComboBox* order;
    QCheckBox* keepJpeg;
    QCheckBox* lossless;
    QCheckBox* bookmarks;
    QComboBox* pdfa;
    QLineEdit* title;
    QLineEdit* author;
    QLineEdit* subject;
    QLineEdit* keywords;
    QCheckBox* deskew;
    QCheckBox* autoRotate;
    QCheckBox* skipBlank;
    QCheckBox* bilevel;
    QCheckBox* ocr;
    QListWidget* ocrLanguages; // one checkable row per installed language, its code as data
    QString givenLanguages;
};
