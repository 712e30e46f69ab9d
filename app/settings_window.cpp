#include "app/settings_window.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QStatusTipEvent>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <climits>

#include "core/app_config.h"
#include "core/lookup_settings.h"
#include "app/dialog_units.h"
#include "core/file_io.h"
#include "app/focus_next.h"
#include "app/frame_window.h"
#include "app/main_frame.h"
#include "core/path_text.h"
#include "app/scan_ini.h"

namespace {
// The entries hold paths: their bytes are kept whole both ways.
std::string str(const QString& s) { return pathFromQString(s); }
QString q(const std::string& s) { return pathToQString(s); }

void storeDll(const std::string& v) { AppConfig::instance().setDLLName(v); }
void storePub(const std::string& v) { AppConfig::instance().setPubRing(v); }
void storeSec(const std::string& v) { AppConfig::instance().setSecRing(v); }
}  // namespace

SettingsWindow::SettingsWindow(QWidget* parent) : QWidget(parent)
{
    setObjectName("EDIT_SYSTEM");
    setWindowTitle("Settings");
    resize(dluSize(font(), 313, 159));

    auto* save = new QPushButton(style()->standardIcon(QStyle::SP_DialogSaveButton), "Save", this);
    save->setObjectName("saveButton");
    save->setToolTip("Save in INI File");
    save->setStatusTip("Save in INI file");
    auto* closeButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "Close", this);
    closeButton->setObjectName("closeButton");

    auto* tabs = new QTabWidget(this);
    tabs->setObjectName("tabs");

    tabs->addTab(makeCommonTab(), "Common");
    tabs->addTab(makePgpTab(), "PGP");
    tabs->addTab(makeLookupTab(), "Look-up");

    status_ = new QStatusBar(this);
    status_->setObjectName("statusBar");
    status_->setSizeGripEnabled(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(save);
    buttons->addWidget(closeButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(tabs, 1);
    layout->addWidget(status_);

    showConfig();
    const LookupSettings lookup = readLookupSettings(AppConfig::instance().snapshot().IniPath);
    keyserver_->setText(lookup.keyserver);
    useWkd_->setChecked(lookup.useWkd);

    connect(iniPath_, &QLineEdit::textEdited, this,
            [](const QString& t) { AppConfig::instance().setIniPath(str(t)); });
    connect(iniPath_, &QLineEdit::returnPressed, this, [this] { focusNextAfter(iniPath_); });
    connect(timeOut_, &QSpinBox::valueChanged, this,
            [](int v) { AppConfig::instance().setTimeOut(v); });
    connect(save, &QPushButton::clicked, this, &SettingsWindow::save);
    connect(closeButton, &QPushButton::clicked, this, [this] { closeChildWindow(this); });
    // Another settings window edits the same record: follow its changes.
    connect(&AppConfig::instance(), &AppConfig::changed, this, &SettingsWindow::showConfig,
            Qt::QueuedConnection);
}

QWidget* SettingsWindow::makeLookupTab()
{
    auto* page = new QWidget;
    auto* form = new QFormLayout(page);
    keyserver_ = new QLineEdit;
    keyserver_->setObjectName("keyserver");
    keyserver_->setToolTip("An hkps:// or https:// keyserver; empty: none");
    useWkd_ = new QCheckBox("Ask the Web Key Directory of an address's domain");
    useWkd_->setObjectName("useWkd");
    form->addRow("Keyserver", keyserver_);
    form->addRow("", useWkd_);
    form->addRow("", new QLabel("Keys are looked up only when you ask for it."));
    return page;
}

void SettingsWindow::save()
{
    SCAN_INI(ScanIniMode::Write);
    const std::string ini = AppConfig::instance().snapshot().IniPath;
    if (!writeLookupSettings(ini, {keyserver_->text(), useWkd_->isChecked()}))
        status_->showMessage("The look-up settings could not be written to " + QString::fromStdString(ini));
}

QWidget* SettingsWindow::makeCommonTab()
{
    auto* common = new QWidget;
    auto* commonLayout = new QVBoxLayout(common);
    commonLayout->addWidget(new QLabel("INI - File (You can set it as parameter)"));
    iniPath_ = new QLineEdit;
    iniPath_->setObjectName("iniPath");
    // No length limit here: the ini path is never cut.
    iniPath_->setMinimumWidth(dluX(font(), 281));
    commonLayout->addWidget(iniPath_);
    commonLayout->addStretch();
    return common;
}

// The library and ring paths, each with its "..." file picker, and the time-out.
QWidget* SettingsWindow::makePgpTab()
{
    auto* pgp = new QWidget;
    auto* grid = new QGridLayout(pgp);
    auto addPathRow = [&](int row, const QString& label, const QString& name,
                          void (*store)(const std::string&)) {
        grid->addWidget(new QLabel(label), row, 0);
        auto* entry = new QLineEdit;
        entry->setObjectName(name);
        entry->setMaxLength(static_cast<int>(kPathEntryChars));
        grid->addWidget(entry, row, 1);
        auto* pick = new QPushButton("...");
        pick->setObjectName(name + "Pick");
        pick->setFixedWidth(dluX(font(), 16));
        grid->addWidget(pick, row, 2);
        connect(entry, &QLineEdit::textEdited, this, [store](const QString& t) { store(str(t)); });
        connect(entry, &QLineEdit::returnPressed, this, [this, entry] { focusNextAfter(entry); });
        connect(pick, &QPushButton::clicked, this, [this, entry, pick, store] { pickFile(entry, pick, store); });
        return entry;
    };
    dllName_ = addPathRow(0, "PGP32 DLL", "dllName", storeDll);
    pubRing_ = addPathRow(1, "Pub Ring", "pubRing", storePub);
    secRing_ = addPathRow(2, "Sec Ring", "secRing", storeSec);
    grid->addWidget(new QLabel("PassPhrase Time Out"), 3, 0);
    timeOut_ = new QSpinBox;
    timeOut_->setObjectName("timeOut");
    timeOut_->setRange(INT_MIN, INT_MAX);
    timeOut_->installEventFilter(this);
    grid->addWidget(timeOut_, 3, 1);
    grid->setRowStretch(4, 1);
    return pgp;
}

SettingsWindow::~SettingsWindow()
{
    // However the window closes, the frame's timer follows the time-out now.
    FrameWindow::setTimerPeriod(AppConfig::instance().snapshot().TimeOut);
}

void SettingsWindow::showConfig()
{
    const AppConfigValues v = AppConfig::instance().snapshot();
    auto show = [](QLineEdit* e, const std::string& value) {
        if (e->text() != q(value))
            e->setText(q(value));
    };
    show(iniPath_, v.IniPath);
    show(dllName_, v.DLLName);
    show(pubRing_, v.PubRing);
    show(secRing_, v.SecRing);
    if (timeOut_->value() != v.TimeOut) {
        QSignalBlocker block(timeOut_);
        timeOut_->setValue(v.TimeOut);
    }
}

void SettingsWindow::pickFile(QLineEdit* entry, QWidget* button, void (*store)(const std::string&))
{
    QString name = entry->text();
    if (FileNameDialog("Select file", name, FileDialogMode::Open)) {
        store(str(name.left(static_cast<int>(kPathFieldChars))));
        showConfig();
        focusNextAfter(button);
    } else {
        entry->setFocus();
    }
}

void SettingsWindow::focusNextAfter(QWidget* w) { focusNextInput(w); }

bool SettingsWindow::event(QEvent* e)
{
    // Status texts of this window's controls show in its own status bar.
    if (e->type() == QEvent::StatusTip) {
        status_->showMessage(static_cast<QStatusTipEvent*>(e)->tip());
        return true;
    }
    return QWidget::event(e);
}

bool SettingsWindow::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == timeOut_ && e->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            timeOut_->interpretText();
            focusNextAfter(timeOut_);
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}
