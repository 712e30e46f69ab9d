#include "app/main_frame.h"

#include <QMimeData>

#include <QDropEvent>

#include "app/help_menu.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QScreen>
#include <QShortcut>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QWindow>

#include <cmath>

#include "app/app_icon.h"
#include "app/dialog_units.h"
#include "app/prompts.h"
#include "app/settings_window.h"
#include "core/shared_passphrase.h"

QEvent::Type SysCommandEvent::eventType()
{
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

namespace {
constexpr int kNewSystemMenuItem = 1;
const char* const kNewSystemMenuText = "New item in system menu";
}  // namespace

MainFrame::MainFrame(QWidget* parent) : QMainWindow(parent)
{
    setObjectName("AppFrame");
    setWindowTitle("Tolv");
    // Every window of the program (child windows and dialogs too) shows it.
    QApplication::setWindowIcon(tolvIcon());
    resize(dluSize(font(), 356, 190));

    mdi_ = new QMdiArea(this);
    mdi_->setObjectName("mdiArea");
    mdi_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    mdi_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(mdi_);

    buildMenus();
    buildStatusBar();
    buildSystemMenu();
    fitOneChildWindow();

    timer_ = new QTimer(this);
    timer_->setObjectName("passphraseTimer");
    connect(timer_, &QTimer::timeout, this, [] { SharedPassphrase::instance().clear(); });

    // The two watchers of the frame and of its client area: they see every
    // event and pass each one on unchanged.
    installEventFilter(this);
    mdi_->installEventFilter(this);
    // Files dropped on the frame's empty area are opened where they belong.
    mdi_->viewport()->setAcceptDrops(true);
    mdi_->viewport()->installEventFilter(this);
    menuBar()->installEventFilter(this);

    FrameWindow::setTarget(this);
    Prompts::setParentWidget(this);
}

MainFrame::~MainFrame()
{
    FrameWindow::setTarget(nullptr);
}

void MainFrame::buildMenus()
{
    QMenu* file = menuBar()->addMenu("&File");
    file->setObjectName("menuFile");
    QAction* settings = file->addAction("Settings", this, &MainFrame::openSettingsWindow);
    settings->setObjectName("actionSettings");
    settings->setStatusTip("Настройки приложения");
    QAction* printSetup = file->addAction("&PrintSetup", this, [] { Prompts::pageSetup(); });
    printSetup->setObjectName("actionPrintSetup");
    printSetup->setStatusTip("Установки принтера");
    file->addSeparator();
    file->addAction("Encrypt files…", this, [this] { runCommand(Command::EncryptFiles); })
        ->setObjectName("actionEncryptFiles");
    file->addAction("Decrypt files…", this, [this] { runCommand(Command::DecryptFiles); })
        ->setObjectName("actionDecryptFiles");
    file->addSeparator();
    QAction* exitItem = file->addAction("&Exit", this, &QWidget::close);
    exitItem->setObjectName("actionExit");
    exitItem->setStatusTip("Завершение приложения");

    QMenu* pgp = menuBar()->addMenu("PGP");
    pgp->setObjectName("menuPGP");
    pgp->addAction("Decode PGP", this, [this] { runCommand(Command::DecodePGP); })
        ->setObjectName("actionDecodePGP");
    pgp->addAction("Encode PGP", this, [this] { runCommand(Command::EncodePGP); })
        ->setObjectName("actionEncodePGP");
    pgp->addSeparator();
    keyRingItem_ = pgp->addAction("Load Keys", this, [this] { runCommand(Command::LoadKeys); });
    keyRingItem_->setObjectName("actionKeyRing");
    keyRingItem_->setStatusTip("Load/unload Sec and Pub rings");
    libraryItem_ = pgp->addAction("Load PGP", this, [this] { runCommand(Command::LoadPGP); });
    libraryItem_->setObjectName("actionLibrary");
    libraryItem_->setStatusTip("Load/unload PGPsdk dll");
    pgp->addSeparator();
    pgp->addAction("Key list", this, [this] { runCommand(Command::KeyList); })
        ->setObjectName("actionKeyList");

    QMenu* edit = menuBar()->addMenu("&Edit");
    edit->setObjectName("menuEdit");
    edit->addAction("&Cut", this, [this] { sendEditCommand("cut"); })->setObjectName("actionCut");
    edit->addAction("&Copy", this, [this] { sendEditCommand("copy"); })->setObjectName("actionCopy");
    edit->addAction("&Paste", this, [this] { sendEditCommand("paste"); })->setObjectName("actionPaste");
    edit->addSeparator();
    edit->addAction("Encrypt clipboard…", this, [this] { runCommand(Command::EncryptClipboard); })
        ->setObjectName("actionEncryptClipboard");
    edit->addAction("Decrypt/verify clipboard", this, [this] { runCommand(Command::DecryptClipboard); })
        ->setObjectName("actionDecryptClipboard");

    windowMenu_ = menuBar()->addMenu("&Windows");
    windowMenu_->setObjectName("menuWindows");
    connect(windowMenu_, &QMenu::aboutToShow, this, &MainFrame::updateWindowMenu);
    updateWindowMenu();
    addHelpMenu(menuBar(), this);
}

void MainFrame::updateWindowMenu()
{
    windowMenu_->clear();
    QAction* tile = windowMenu_->addAction("&Tile", this, &MainFrame::tileSubWindows);
    tile->setObjectName("actionTile");
    tile->setStatusTip("Сделать все окна видимыми");
    QAction* cascade = windowMenu_->addAction("&Cascade", mdi_, &QMdiArea::cascadeSubWindows);
    cascade->setObjectName("actionCascade");
    cascade->setStatusTip("Уложить стопкой все открытые окна");
    QAction* arrange = windowMenu_->addAction("&Arrange", this, &MainFrame::arrangeIcons);
    arrange->setObjectName("actionArrange");
    arrange->setStatusTip("Выровнить всн иконки");

    const auto windows = mdi_->subWindowList();
    if (!windows.isEmpty())
        windowMenu_->addSeparator();
    int n = 0;
    for (QMdiSubWindow* w : windows) {
        ++n;
        QString text = (n < 10 ? QString("&%1 ").arg(n) : QString("%1 ").arg(n)) + w->windowTitle();
        QAction* a = windowMenu_->addAction(text, this, [this, w] {
            if (mdi_->subWindowList().contains(w)) {
                if (w->isMinimized())
                    w->showNormal();
                mdi_->setActiveSubWindow(w);
            }
        });
        a->setCheckable(true);
        a->setChecked(w == mdi_->activeSubWindow());
    }
}

void MainFrame::arrangeIcons()
{
    // Lines the minimised child windows up along the bottom of the client area.
    int x = 0;
    for (QMdiSubWindow* w : mdi_->subWindowList()) {
        if (!w->isMinimized())
            continue;
        QSize s = w->size();
        if (x + s.width() > mdi_->viewport()->width() && x > 0)
            x = 0;
        w->move(x, mdi_->viewport()->height() - s.height());
        x += s.width();
    }
}

void MainFrame::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName("statusBar");
    // Zone 1 is the status bar's own message area (it shows the status text
    // of the highlighted menu item); zones 2 to 4 have fixed widths.
    zones_[0] = new QLabel(bar);
    zones_[0]->setObjectName("statusZone1");
    bar->addWidget(zones_[0], 1);
    const int widths[3] = {80, 120, 45};
    for (int i = 0; i < 3; ++i) {
        zones_[i + 1] = new QLabel(bar);
        zones_[i + 1]->setObjectName(QString("statusZone%1").arg(i + 2));
        zones_[i + 1]->setFixedWidth(dluX(font(), widths[i]));
        zones_[i + 1]->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        bar->addPermanentWidget(zones_[i + 1]);
    }
}

QLabel* MainFrame::statusZone(int index) const
{
    return index >= 0 && index < 4 ? zones_[index] : nullptr;
}

void MainFrame::buildSystemMenu()
{
    // The window manager owns the title-bar menu, so the frame has its own.
    systemMenu_ = new QMenu(this);
    systemMenu_->setObjectName("systemMenu");
    systemMenu_->addAction("&Restore", this, &QWidget::showNormal)->setObjectName("sysRestore");
    systemMenu_->addAction("&Move", this, [this] {
        if (windowHandle())
            windowHandle()->startSystemMove();
    })->setObjectName("sysMove");
    systemMenu_->addAction("&Size", this, [this] {
        if (windowHandle())
            windowHandle()->startSystemResize(Qt::BottomEdge | Qt::RightEdge);
    })->setObjectName("sysSize");
    systemMenu_->addAction("Mi&nimize", this, &QWidget::showMinimized)->setObjectName("sysMinimize");
    systemMenu_->addAction("Ma&ximize", this, &QWidget::showMaximized)->setObjectName("sysMaximize");
    systemMenu_->addSeparator();
    systemMenu_->addAction("&Close", this, &QWidget::close)->setObjectName("sysClose");
    systemMenu_->addSeparator();
    QAction* own = systemMenu_->addAction(kNewSystemMenuText, this, [this] {
        QCoreApplication::postEvent(this, new SysCommandEvent(kNewSystemMenuItem));
    });
    own->setObjectName("sysNewItem");

    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this, [this] {
        systemMenu_->popup(mapToGlobal(QPoint(0, 0)));
    });
}

void MainFrame::setCommandHandler(Command command, std::function<void()> handler)
{
    handlers_[command] = std::move(handler);
}

void MainFrame::runCommand(Command command)
{
    auto it = handlers_.find(command);
    if (it != handlers_.end() && it->second)
        it->second();
}

void MainFrame::sendEditCommand(const char* slot)
{
    // The focused control, or the nearest widget around it that takes the
    // command (the key list takes a paste of key text for its tree).
    const QByteArray signature = QByteArray(slot) + "()";
    for (QWidget* target = QApplication::focusWidget(); target && target != this; target = target->parentWidget()) {
        if (target->metaObject()->indexOfMethod(signature) >= 0) {
            QMetaObject::invokeMethod(target, slot);
            return;
        }
    }
}

void closeChildWindow(QWidget* content)
{
    for (QWidget* p = content->parentWidget(); p; p = p->parentWidget()) {
        if (auto* sub = qobject_cast<QMdiSubWindow*>(p)) {
            sub->close();
            return;
        }
    }
    content->close();
}

QMdiSubWindow* MainFrame::addChildWindow(QWidget* content)
{
    const QSize wanted = content->size();  // what the window asked for in its constructor
    QMdiSubWindow* sub = mdi_->addSubWindow(content);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    content->setAttribute(Qt::WA_DeleteOnClose);
    const int frameWidth = sub->style()->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth, nullptr, sub);
    const int titleHeight = sub->style()->pixelMetric(QStyle::PM_TitleBarHeight, nullptr, sub);
    sub->resize(sub->minimumSizeHint().expandedTo(wanted + QSize(2 * frameWidth, titleHeight + frameWidth)));
    // New windows step down and right from the last one, but always lie
    // wholly inside the client area.
    const int step = titleHeight;
    const int n = static_cast<int>(mdi_->subWindowList().size()) - 1;
    sub->move(n * step, n * step);
    keepInside(sub);
    sub->show();
    return sub;
}

void MainFrame::keepInside(QMdiSubWindow* sub) const
{
    const QSize area = mdi_->viewport()->size();
    QSize size = sub->size().boundedTo(area).expandedTo(sub->minimumSizeHint().boundedTo(area));
    sub->resize(size);
    int x = sub->x(), y = sub->y();
    if (x + size.width() > area.width())
        x = x % std::max(1, area.width() - size.width() + 1);
    if (y + size.height() > area.height())
        y = y % std::max(1, area.height() - size.height() + 1);
    sub->move(std::max(0, x), std::max(0, y));
}

void MainFrame::fitOneChildWindow()
{
    // Room for one encode or decode window whole, and for a few more on a
    // larger screen (two thirds of it), within the screen.
    // The encode window's row of buttons and size displays needs about 500
    // units, more than the 447 of its nominal size.
    const QSize child = dluSize(font(), 500, 196) + QSize(24, 48);
    const int bars = menuBar()->sizeHint().height() + statusBar()->sizeHint().height();
    QSize wanted = size().expandedTo(QSize(child.width(), child.height() + bars));
    if (const QScreen* s = screen()) {
        const QSize available = s->availableGeometry().size();
        wanted = wanted.expandedTo(available * 2 / 3).boundedTo(available);
    }
    resize(wanted);
}

void MainFrame::tileSubWindows()
{
    // Like the usual tiling, but a window that cannot shrink to its cell
    // overlaps its neighbours rather than leaving the client area.
    const auto windows = mdi_->subWindowList();
    if (windows.isEmpty())
        return;
    const int count = static_cast<int>(windows.size());
    const int cols = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(count))));
    const int rows = (count + cols - 1) / cols;
    const QSize area = mdi_->viewport()->size();
    const int w = area.width() / cols, h = area.height() / rows;
    for (int i = 0; i < count; ++i) {
        QMdiSubWindow* sub = windows[i];
        sub->showNormal();
        sub->setGeometry((i % cols) * w, (i / cols) * h, w, h);
        keepInside(sub);
    }
}

void MainFrame::openSettingsWindow()
{
    addChildWindow(new SettingsWindow());
}

void MainFrame::applyMenuText(FrameWindow::MenuItem item, const QString& text)
{
    (item == FrameWindow::MenuItem::Library ? libraryItem_ : keyRingItem_)->setText(text);
}

void MainFrame::applyTimerPeriod(int hundredths)
{
    if (hundredths <= 0) {
        timer_->stop();
        return;
    }
    // Hundredths of a second to milliseconds, capped at what QTimer takes.
    const long long ms = std::min<long long>(static_cast<long long>(hundredths) * 10, INT_MAX);
    timer_->start(static_cast<int>(ms));
}

bool MainFrame::AppFrameCallBackClient(QEvent* event)
{
    if (event->type() == SysCommandEvent::eventType() &&
        static_cast<SysCommandEvent*>(event)->id() == kNewSystemMenuItem) {
        Prompts::message("Trace", "AppFrameCallBackClient|WM_SYSCOMMAND is Here",
                         Prompts::Icon::Exclamation);
    }
    return false;  // always passed on
}

bool MainFrame::AppFrameCallBack(QEvent* event)
{
    if (event->type() == SysCommandEvent::eventType() &&
        static_cast<SysCommandEvent*>(event)->id() == kNewSystemMenuItem) {
        Prompts::message("Trace", "AppFrameCallBack|WM_SYSCOMMAND is Here", Prompts::Icon::Exclamation);
    }
    return false;
}

// The local files of a drag, if it brings any.
static QStringList droppedFiles(const QMimeData* mime)
{
    QStringList files;
    for (const QUrl& url : mime ? mime->urls() : QList<QUrl>())
        if (url.isLocalFile())
            files << url.toLocalFile();
    return files;
}

bool MainFrame::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == mdi_->viewport() && dropHandler_) {
        if (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove) {
            auto* e = static_cast<QDragMoveEvent*>(event);
            if (!droppedFiles(e->mimeData()).isEmpty())
                e->acceptProposedAction();
            return true;
        }
        if (event->type() == QEvent::Drop) {
            auto* e = static_cast<QDropEvent*>(event);
            const QStringList files = droppedFiles(e->mimeData());
            if (!files.isEmpty()) {
                e->acceptProposedAction();
                dropHandler_(files);
            }
            return true;
        }
    }
    if (watched == this)
        return AppFrameCallBackClient(event);
    if (watched == mdi_)
        return AppFrameCallBack(event);
    if (watched == menuBar() && event->type() == QEvent::ContextMenu) {
        auto* e = static_cast<QContextMenuEvent*>(event);
        if (!menuBar()->actionAt(e->pos())) {
            systemMenu_->popup(e->globalPos());
            return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
