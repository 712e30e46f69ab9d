#pragma once
#include <QString>

// The way code on any thread changes the frame: the texts of the two PGP
// toggle items and the period of the frame's timer. Calls from other threads
// are queued to the GUI thread; on the GUI thread they take effect at once.
// Without a frame (in a command-line run) they do nothing.
namespace FrameWindow {

enum class MenuItem { Library, KeyRing };

void setMenuText(MenuItem item, const QString& text);
// Timer period in hundredths of a second; 0 or less stops the timer.
void setTimerPeriod(int hundredths);

class Target {
public:
    virtual ~Target() = default;
    virtual void applyMenuText(MenuItem item, const QString& text) = 0;
    virtual void applyTimerPeriod(int hundredths) = 0;
};
// Registers the frame (nullptr to unregister). Must be a QObject living on the GUI thread.
void setTarget(Target* target);

}  // namespace FrameWindow
