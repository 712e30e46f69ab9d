#pragma once
class QWidget;

// Moves the focus from a control to the next one that takes input (labels
// and hidden or disabled controls are passed over), as Enter does in the
// program's windows.
void focusNextInput(QWidget* from);
