#pragma once

class QWidget;
class Shell;

// Opens the About box over `parent` and returns when it is closed. Button 1021
// and F1 in the main window both come here.
void ShowAboutBox(QWidget* parent, Shell& shell);
