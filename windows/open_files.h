#pragma once
// Files handed to Tolv from outside (its command line, another Tolv, a
// drop on the frame), each opened where its content belongs: a message or
// a clear-signed text in a decode window, decoded at once; a detached
// signature in a decode window, checked against the file beside it; keys
// in the key list, offering the import; anything else in an encode window.
#include <QStringList>

class MainFrame;

void openFiles(MainFrame& frame, const QStringList& paths);
