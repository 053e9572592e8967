#pragma once

#include <QDialog>
#include <QHash>
#include <QImage>

class Shell;

// The About box: the product text, the maker's name and logo, and two buttons
// that open the maker's web site and shop page in the user's browser, leaving
// the box open. Esc or the close box closes it. It opens with the focus on the
// web-site button, so Enter opens the site.
class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    explicit CAboutDlg(Shell& shell, QWidget* parent = nullptr);

    QWidget* Control(int id) const { return controls.value(id); }

    void OnVisitWebsite();
    void OnVisitShop();

    // Where the painted items stand, in pixels of the client area.
    static constexpr QPoint kMakerLineAt{25, 120};
    static constexpr QRect kTextArea{130, 50, 220, 200};
    static constexpr QPoint kLogoAt{20, 50};

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    Shell& shell;
    QHash<int, QWidget*> controls;
    QImage logo;
};
