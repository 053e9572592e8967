#pragma once

#include "DialogTemplate.h"

class QWidget;

// Creates the widget that stands for one control of the window's template, as
// a child of `parent`, with its caption and its identifier as object name (so
// it can be found by number), but without a position.
QWidget* CreateControl(const ControlTemplate& control, QWidget* parent);
