#include "AboutBox.h"

#include "Shell.h"
#include "UiTexts.h"

// For now the product's name and title; the full About box replaces this body.
void ShowAboutBox(QWidget* parent, Shell& shell) {
    shell.ShowMessage(parent, UiTexts::kAppName + QLatin1Char('\n') + UiTexts::kWindowTitle,
                      Shell::Buttons::Ok);
}
