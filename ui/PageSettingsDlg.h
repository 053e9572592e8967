#pragma once

#include "PageChoice.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QSpinBox;

// The "更多设置" dialog: paper size and resolution, orientation, margin, how
// pictures are fitted, the order of pictures taken from a folder, and whether
// JPEGs go in as they are. It
// edits a copy; the window takes Choice() when the user confirms. Its fields
// carry object names ("paper", "dpi", ...) so tests can reach them.
class PageSettingsDlg : public QDialog {
    Q_OBJECT
  public:
    explicit PageSettingsDlg(const PageChoice& choice, QWidget* parent = nullptr);

    PageChoice Choice() const;

  private:
    void OnPaperChanged();

    QComboBox* paper;
    QSpinBox* dpi;
    QComboBox* orientation;
    QDoubleSpinBox* margin;
    QComboBox* fit;
    QComboBox* order;
    QCheckBox* keepJpeg;
};
