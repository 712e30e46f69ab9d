#pragma once
// The Help menu beside the frame's own: "About Tolv" (version, licence and
// librnp's notice) and a short "Getting started" page.
#include <QString>

class QMenuBar;
class QWidget;

void addHelpMenu(QMenuBar* bar, QWidget* parent);

// The texts the two entries show.
QString aboutText();
QString gettingStartedText();
