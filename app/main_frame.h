#pragma once
#include <QEvent>
#include <QMainWindow>

#include <functional>
#include <map>

#include "app/frame_window.h"

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QTimer;

// A system command sent to the frame, as the window manager's title-bar menu
// would send it. Identifier 1 is the frame's own "New item in system menu".
class SysCommandEvent : public QEvent {
public:
    static QEvent::Type eventType();
    explicit SysCommandEvent(int id) : QEvent(eventType()), id_(id) {}
    int id() const { return id_; }

private:
    int id_;
};

// Closes the MDI sub-window that holds content (or content itself when it
// stands alone).
void closeChildWindow(QWidget* content);

// The main frame: an MDI area with the menus, the four-zone status bar, the
// frame's own system menu and the timer that empties the shared passphrase.
class MainFrame : public QMainWindow, public FrameWindow::Target {
    Q_OBJECT
public:
    enum class Command { DecodePGP, EncodePGP, LoadKeys, LoadPGP, KeyList, EncryptClipboard, DecryptClipboard, EncryptFiles,
                         DecryptFiles };

    explicit MainFrame(QWidget* parent = nullptr);
    ~MainFrame() override;

    void setCommandHandler(Command command, std::function<void()> handler);
    // What is done with files dropped on the frame (opened where they belong).
    void setDropHandler(std::function<void(const QStringList&)> handler) { dropHandler_ = std::move(handler); }
    // Shows a child window as an MDI sub-window; it is deleted when closed.
    QMdiSubWindow* addChildWindow(QWidget* content);

    QMdiArea* mdiArea() const { return mdi_; }
    QMenu* systemMenu() const { return systemMenu_; }
    QAction* libraryMenuItem() const { return libraryItem_; }
    QAction* keyRingMenuItem() const { return keyRingItem_; }
    QTimer* passphraseTimer() const { return timer_; }
    QLabel* statusZone(int index) const;

    void applyMenuText(FrameWindow::MenuItem item, const QString& text) override;
    void applyTimerPeriod(int hundredths) override;

    void openSettingsWindow();
    void arrangeIcons();
    // Tiles the child windows, each wholly inside the client area.
    void tileSubWindows();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildMenus();
    void buildStatusBar();
    void buildSystemMenu();
    void runCommand(Command command);
    void sendEditCommand(const char* slot);
    void updateWindowMenu();
    void fitOneChildWindow();
    void keepInside(QMdiSubWindow* sub) const;
    bool AppFrameCallBackClient(QEvent* event);
    bool AppFrameCallBack(QEvent* event);

    QMdiArea* mdi_ = nullptr;
    std::function<void(const QStringList&)> dropHandler_;
    QMenu* windowMenu_ = nullptr;
    QMenu* systemMenu_ = nullptr;
    QAction* libraryItem_ = nullptr;
    QAction* keyRingItem_ = nullptr;
    QTimer* timer_ = nullptr;
    QLabel* zones_[4] = {};
    std::map<Command, std::function<void()>> handlers_;
};
