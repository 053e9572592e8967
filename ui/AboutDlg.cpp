#include "AboutDlg.h"

#include "ControlFactory.h"
#include "DialogBackground.h"
#include "DialogTemplate.h"
#include "DialogUnits.h"
#include "Painting.h"
#include "Shell.h"
#include "UiTexts.h"

#include <QPainter>
#include <QPushButton>

CAboutDlg::CAboutDlg(Shell& shell, QWidget* parent)
    : QDialog(parent), shell(shell), logo(QStringLiteral(":/logo.png")) {
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(UiTexts::AboutCaption());
    setFont(DialogFont());
    QPalette colours = palette();
    colours.setColor(QPalette::Window, kWindowGrey);
    setPalette(colours);

    const DialogBaseUnits base = BaseUnitsFor(font());
    setFixedSize(UnitsToPixels(QRect(0, 0, kAboutWidthUnits, kAboutHeightUnits), base).size());
    for (const ControlTemplate& control : AboutDialogTemplate()) {
        QWidget* widget = CreateControl(control, this);
        widget->setGeometry(UnitsToPixels(control.units, base));
        controls.insert(control.id, widget);
    }
    const auto button = [this](int id) { return qobject_cast<QPushButton*>(Control(id)); };
    connect(button(AboutControlId::Ok), &QPushButton::clicked, this, &QDialog::accept);
    connect(button(AboutControlId::VisitWebsite), &QPushButton::clicked, this, &CAboutDlg::OnVisitWebsite);
    connect(button(AboutControlId::VisitShop), &QPushButton::clicked, this, &CAboutDlg::OnVisitShop);
    Control(AboutControlId::VisitWebsite)->setFocus();
}

void CAboutDlg::OnVisitWebsite() {
    shell.OpenUrl(UiTexts::kWebsiteUrl);
}

void CAboutDlg::OnVisitShop() {
    shell.OpenUrl(UiTexts::kShopUrl);
}

void CAboutDlg::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    DrawTextAt(painter, kMakerLineAt, UiTexts::MakerLine());
    // Lines break only where the text breaks them; what does not fit is cut off.
    painter.drawText(kTextArea, Qt::AlignLeft | Qt::AlignTop, UiTexts::AboutText());
    painter.drawImage(kLogoAt, logo);
}
