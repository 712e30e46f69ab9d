#include <gtest/gtest.h>

#include <QAction>
#include <QDialog>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextBrowser>
#include <QStatusTipEvent>
#include <QTabWidget>
#include <QApplication>
#include <QTest>
#include <QTimer>
#include <QInputDialog>
#include <QMessageBox>
#include <QThread>

#include <atomic>
#include <thread>

#include "tolv_version.h"
#include "core/app_config.h"
#include "core/lookup_settings.h"
#include "app/main_frame.h"
#include "app/scan_ini.h"
#include "app/prompts.h"
#include "tests/scripted_answers.h"
#include "app/settings_window.h"
#include "core/shared_passphrase.h"
#include "tests/test_support.h"

class Frame : public ::testing::Test {
protected:
    void SetUp() override
    {
        Prompts::resetTestState();
        AppConfig::instance().assign(readSettingsFile(dir.file("tolv.ini")));
        frame = std::make_unique<MainFrame>();
        frame->show();
    }
    QAction* action(const char* name) { return frame->findChild<QAction*>(name); }
    QMenu* menu(const char* name) { return frame->findChild<QMenu*>(name); }
    QList<QMdiSubWindow*> windows() { return frame->mdiArea()->subWindowList(); }

    ScratchDir dir;
    std::unique_ptr<MainFrame> frame;
};

TEST_F(Frame, MenusTextsAndStatusTexts)
{
    EXPECT_EQ(frame->windowTitle(), "Tolv");
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions())
        titles << a->text();
    // The Part's four menus, and Help beside them.
    EXPECT_EQ(titles, (QStringList{"&File", "PGP", "&Edit", "&Windows", "&Help"}));

    auto texts = [](QMenu* m) {
        QStringList l;
        for (QAction* a : m->actions())
            l << (a->isSeparator() ? QString("-") : a->text());
        return l;
    };
    // The Part's entries, with the batches of files between them.
    EXPECT_EQ(texts(menu("menuFile")),
              (QStringList{"Settings", "&PrintSetup", "-", "Encrypt files…", "Decrypt files…", "-", "&Exit"}));
    EXPECT_EQ(texts(menu("menuPGP")),
              (QStringList{"Decode PGP", "Encode PGP", "-", "Load Keys", "Load PGP", "-", "Key list"}));
    // The Part's three, then the clipboard's encryption beside them.
    EXPECT_EQ(texts(menu("menuEdit")),
              (QStringList{"&Cut", "&Copy", "&Paste", "-", "Encrypt clipboard…", "Decrypt/verify clipboard"}));
    EXPECT_EQ(texts(menu("menuWindows")).mid(0, 3), (QStringList{"&Tile", "&Cascade", "&Arrange"}));

    EXPECT_EQ(action("actionSettings")->statusTip(), "Настройки приложения");
    EXPECT_EQ(action("actionPrintSetup")->statusTip(), "Установки принтера");
    EXPECT_EQ(action("actionExit")->statusTip(), "Завершение приложения");
    EXPECT_EQ(action("actionKeyRing")->statusTip(), "Load/unload Sec and Pub rings");
    EXPECT_EQ(action("actionLibrary")->statusTip(), "Load/unload PGPsdk dll");
    EXPECT_EQ(action("actionTile")->statusTip(), "Сделать все окна видимыми");
    EXPECT_EQ(action("actionCascade")->statusTip(), "Уложить стопкой все открытые окна");
    EXPECT_EQ(action("actionArrange")->statusTip(), "Выровнить всн иконки");
    EXPECT_TRUE(action("actionDecodePGP")->statusTip().isEmpty());

    // Hovering an item shows its status text in the first zone.
    action("actionSettings")->showStatusText(frame.get());
    EXPECT_EQ(frame->statusBar()->currentMessage(), "Настройки приложения");
    EXPECT_GT(frame->statusZone(2)->width(), frame->statusZone(1)->width());
    EXPECT_GT(frame->statusZone(1)->width(), frame->statusZone(3)->width());
}

TEST_F(Frame, SettingsTwiceOpensTwoWindowsOnOneConfig)
{
    action("actionSettings")->trigger();
    action("actionSettings")->trigger();
    ASSERT_EQ(windows().size(), 2);
    auto* first = windows()[0]->findChild<QLineEdit*>("dllName");
    auto* second = windows()[1]->findChild<QLineEdit*>("dllName");
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->text(), "pgpsdk.dll");
    first->clear();
    QTest::keyClicks(first, "/opt/other.so");
    EXPECT_EQ(AppConfig::instance().snapshot().DLLName, "/opt/other.so");
    EXPECT_TRUE(waitFor([&] { return second->text() == "/opt/other.so"; }));
    EXPECT_EQ(windows()[0]->widget()->windowTitle(), "Settings");
}

TEST_F(Frame, SettingsSaveWritesTheIniFile)
{
    action("actionSettings")->trigger();
    QWidget* w = windows()[0]->widget();
    auto* timeOut = w->findChild<QSpinBox*>("timeOut");
    timeOut->setValue(250);
    auto* sec = w->findChild<QLineEdit*>("secRing");
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("Keys/Secret.GPG")));
    w->findChild<QPushButton*>("secRingPick")->click();
    EXPECT_EQ(sec->text(), QString::fromStdString(dir.file("Keys/Secret.GPG")));
    w->findChild<QPushButton*>("saveButton")->click();
    const std::string ini = readWholeFile(dir.file("tolv.ini"));
    EXPECT_NE(ini.find("TimeOut=250"), std::string::npos);
    EXPECT_NE(ini.find("SecRing=" + dir.file("Keys/Secret.GPG")), std::string::npos);
    // Tolv's own look-up settings, in a section beside [PGP], read back by a new window.
    EXPECT_NE(ini.find("[Tolv]\nKeyserver=hkps://keys.openpgp.org\nUseWKD=true"), std::string::npos) << ini;
    w->findChild<QLineEdit*>("keyserver")->setText("hkps://keys.example.net");
    w->findChild<QCheckBox*>("useWkd")->setChecked(false);
    w->findChild<QPushButton*>("saveButton")->click();
    const LookupSettings saved = readLookupSettings(dir.file("tolv.ini"));
    EXPECT_EQ(saved.keyserver, "hkps://keys.example.net");
    EXPECT_FALSE(saved.useWkd);
    EXPECT_NE(readWholeFile(dir.file("tolv.ini")).find("TimeOut=250"), std::string::npos);

    Prompts::queueFileAnswer(std::nullopt);
    w->findChild<QPushButton*>("pubRingPick")->click();
    EXPECT_EQ(AppConfig::instance().snapshot().PubRing, "pubring.pgp");
}

TEST_F(Frame, TimerFollowsTimeOutAfterSettingsCloseAndTicksEmptyThePassphrase)
{
    EXPECT_FALSE(frame->passphraseTimer()->isActive());
    action("actionSettings")->trigger();
    windows()[0]->widget()->findChild<QSpinBox*>("timeOut")->setValue(5);
    windows()[0]->widget()->findChild<QPushButton*>("closeButton")->click();
    ASSERT_TRUE(waitFor([&] { return windows().isEmpty(); }));
    ASSERT_TRUE(waitFor([&] { return frame->passphraseTimer()->isActive(); }));
    EXPECT_EQ(frame->passphraseTimer()->interval(), 50);

    SharedPassphrase::instance().set("secret");
    EXPECT_TRUE(waitFor([] { return SharedPassphrase::instance().isEmpty(); }, 2000));

    action("actionSettings")->trigger();
    windows()[0]->widget()->findChild<QSpinBox*>("timeOut")->setValue(0);
    windows()[0]->close();
    ASSERT_TRUE(waitFor([&] { return windows().isEmpty(); }));
    EXPECT_TRUE(waitFor([&] { return !frame->passphraseTimer()->isActive(); }));
}

TEST_F(Frame, PropertyChangesFromOtherThreadsAreQueued)
{
    std::thread([] {
        FrameWindow::setMenuText(FrameWindow::MenuItem::Library, "Unload PGP");
        FrameWindow::setTimerPeriod(100);
    }).join();
    EXPECT_TRUE(waitFor([&] { return frame->libraryMenuItem()->text() == "Unload PGP"; }));
    EXPECT_TRUE(waitFor([&] { return frame->passphraseTimer()->interval() == 1000; }));
    FrameWindow::setMenuText(FrameWindow::MenuItem::KeyRing, "Unload keys");
    EXPECT_EQ(frame->keyRingMenuItem()->text(), "Unload keys");
}

TEST_F(Frame, SystemMenuItemsAndTheTraceBox)
{
    QStringList texts;
    for (QAction* a : frame->systemMenu()->actions())
        texts << (a->isSeparator() ? QString("-") : a->text());
    EXPECT_EQ(texts, (QStringList{"&Restore", "&Move", "&Size", "Mi&nimize", "Ma&ximize", "-", "&Close", "-",
                                  "New item in system menu"}));
    for (int i = 0; i < 2; ++i) {
        frame->findChild<QAction*>("sysNewItem")->trigger();
        QCoreApplication::processEvents();
    }
    auto msgs = Prompts::shownMessages();
    ASSERT_EQ(msgs.size(), 2u);
    EXPECT_EQ(msgs[0].caption, "Trace");
    EXPECT_EQ(msgs[0].text, "AppFrameCallBackClient|WM_SYSCOMMAND is Here");
    EXPECT_EQ(msgs[0].icon, Prompts::Icon::Exclamation);

    // Other events pass through the watchers unchanged.
    frame->findChild<QAction*>("sysMinimize")->trigger();
    EXPECT_TRUE(waitFor([&] { return frame->isMinimized(); }, 2000));
    frame->findChild<QAction*>("sysRestore")->trigger();
    EXPECT_TRUE(waitFor([&] { return !frame->isMinimized(); }, 2000));
    EXPECT_EQ(Prompts::shownMessages().size(), 2u);
}

TEST_F(Frame, EditCommandsGoToTheFocusedControl)
{
    action("actionSettings")->trigger();
    auto* sign = windows()[0]->widget()->findChild<QLineEdit*>("dllName");
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    windows()[0]->activateWindow();
    sign->setFocus();
    ASSERT_TRUE(waitFor([&] { return QApplication::focusWidget() == sign; }, 2000));
    sign->selectAll();
    action("actionCut")->trigger();
    EXPECT_EQ(sign->text(), "");
    action("actionPaste")->trigger();
    EXPECT_EQ(sign->text(), "pgpsdk.dll");
}

TEST_F(Frame, CommandsReachTheirHandlers)
{
    int encodes = 0;
    frame->setCommandHandler(MainFrame::Command::EncodePGP, [&] { ++encodes; });
    action("actionEncodePGP")->trigger();
    action("actionDecodePGP")->trigger();  // no handler: nothing happens
    EXPECT_EQ(encodes, 1);
}

TEST(PromptSeam, RealDialogsShowCaptionLinesAndIcons)
{
    Prompts::resetTestState();
    Prompts::setTestMode(false);
    QString seenTitle, seenText;
    int seenIcon = -1;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenTitle = box->windowTitle();
        seenText = box->text();
        seenIcon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    Prompts::message("Load_AllFile", "Error CreateFile x|FILE NOT FOUND", Prompts::Icon::Stop);
    EXPECT_EQ(seenTitle, "Load_AllFile");
    EXPECT_EQ(seenText, "Error CreateFile x\nFILE NOT FOUND");
    EXPECT_EQ(seenIcon, QMessageBox::Critical);

    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seenIcon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    Prompts::message("Trace", "a|b", Prompts::Icon::Exclamation);
    EXPECT_EQ(seenIcon, QMessageBox::Warning);

    // The sizing dialog, answered through its own widgets.
    QTimer::singleShot(0, [] {
        auto* dialog = qobject_cast<QInputDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->windowTitle(), "Allocate memory");
        EXPECT_EQ(dialog->okButtonText(), "Ok");
        dialog->setIntValue(512);
        dialog->accept();
    });
    auto n = Prompts::askNumber("Allocate memory", "Buffer size in bytes", 0, 256, 1000000000, 256);
    ASSERT_TRUE(n.has_value());
    EXPECT_EQ(*n, 512);

    // A prompt asked for on a worker thread is shown on the GUI thread,
    // while the worker waits for the answer.
    QThread* shownOn = nullptr;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shownOn = box->thread();
            box->button(QMessageBox::Ok)->click();
        }
    });
    clicker.start(10);
    std::atomic<bool> answered{false};
    std::thread worker([&] {
        Prompts::message("From a worker", "x", Prompts::Icon::Stop);
        answered = true;
    });
    EXPECT_TRUE(waitFor([&] { return answered.load(); }));
    worker.join();
    clicker.stop();
    EXPECT_EQ(shownOn, QCoreApplication::instance()->thread());
    EXPECT_TRUE(Prompts::shownMessages().empty());  // only test mode keeps a record

    // While the program quits, a worker's prompt is answered at once as
    // cancelled, never waited for (the GUI thread is not looking).
    Prompts::setQuitting(true);
    std::optional<QString> file = QString("x");
    std::thread([&] {
        Prompts::message("Late", "x", Prompts::Icon::Stop);
        file = Prompts::chooseFile({"t", "", "", {}, Prompts::FileMode::Open});
    }).join();
    EXPECT_FALSE(file.has_value());
    Prompts::setQuitting(false);
    Prompts::setTestMode(true);
}

TEST_F(Frame, SettingsWindowKeepsItsStatusTextsAndEnterMovesOn)
{
    action("actionSettings")->trigger();
    QWidget* w = windows()[0]->widget();
    auto* save = w->findChild<QPushButton*>("saveButton");
    QStatusTipEvent hover(save->statusTip());
    QCoreApplication::sendEvent(save, &hover);
    EXPECT_EQ(w->findChild<QStatusBar*>("statusBar")->currentMessage(), "Save in INI file");
    EXPECT_NE(frame->statusBar()->currentMessage(), "Save in INI file");

    auto* timeOut = w->findChild<QSpinBox*>("timeOut");
    w->findChild<QTabWidget*>("tabs")->setCurrentIndex(1);
    frame->show();
    frame->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frame.get()));
    timeOut->setFocus();
    ASSERT_TRUE(timeOut->hasFocus());
    QTest::keyClick(timeOut, Qt::Key_Return);
    QWidget* next = QApplication::focusWidget();
    EXPECT_TRUE(next && next != timeOut && !timeOut->isAncestorOf(next));
}

TEST_F(Frame, TheIniWindowIsPaintedWhileTheFileIsWritten)
{
    struct PaintCounter : QObject {
        int paints = 0;
        bool eventFilter(QObject* o, QEvent* e) override
        {
            paints += e->type() == QEvent::Paint && o->objectName() == "scanIniProgress";
            return false;
        }
    } counter;
    qApp->installEventFilter(&counter);
    action("actionSettings")->trigger();
    windows()[0]->widget()->findChild<QPushButton*>("saveButton")->click();
    qApp->removeEventFilter(&counter);
    EXPECT_GT(counter.paints, 0);
}

TEST_F(Frame, AnIniPathTooLongForTheSystemIsSaidAndNothingIsWritten)
{
    const std::string longPath = dir.path() + "/" + std::string(300, 'd') + "/tolv.ini";
    AppConfig::instance().setIniPath(longPath);
    action("actionSettings")->trigger();
    windows()[0]->widget()->findChild<QPushButton*>("saveButton")->click();
    ASSERT_EQ(Prompts::shownMessages().size(), 1u);
    EXPECT_EQ(Prompts::shownMessages()[0].caption, "SCAN_INI");
    EXPECT_TRUE(Prompts::shownMessages()[0].text.endsWith("|FILENAME EXCED RANGE"));
    EXPECT_EQ(AppConfig::instance().snapshot().IniPath, longPath);  // never cut
    SCAN_INI(ScanIniMode::Read, longPath.c_str());
    EXPECT_EQ(AppConfig::instance().snapshot().IniPath, longPath);
    EXPECT_EQ(AppConfig::instance().snapshot().DLLName, "pgpsdk.dll");
    EXPECT_EQ(Prompts::shownMessages().size(), 2u);
}

TEST_F(Frame, AFirstStartFromTheMenuWritesTheSettingsAndEmptyRingsAndSaysWhere)
{
    const std::string cfg = dir.configDir();
    SCAN_INI(ScanIniMode::Read, "/W");
    ASSERT_EQ(Prompts::shownMessages().size(), 1u);
    const auto shown = Prompts::shownMessages()[0];
    EXPECT_EQ(shown.icon, Prompts::Icon::Information);
    EXPECT_EQ(shown.text.toStdString(), "Your settings are in|    " + cfg + "/tolv.ini|Tolv keeps your public key ring at|    " +
                                            cfg + "/pubring.pgp|and your secret key ring at|    " + cfg +
                                            "/secring.pgp|They are empty: make or import your keys in the key list window.");
    const AppConfigValues v = AppConfig::instance().snapshot();
    EXPECT_EQ(v.IniPath, "tolv.ini");
    EXPECT_EQ(v.PubRing, cfg + "/pubring.pgp");
    EXPECT_EQ(v.SecRing, cfg + "/secring.pgp");
    EXPECT_EQ(v.DLLName, "pgpsdk.dll");
    EXPECT_EQ(readWholeFile(v.SecRing), "");

    // The next start finds its settings: nothing is said, nothing rewritten.
    writeWholeFile(v.PubRing, "keys");
    SCAN_INI(ScanIniMode::Read, "/W");
    EXPECT_EQ(Prompts::shownMessages().size(), 1u);
    EXPECT_EQ(readWholeFile(v.PubRing), "keys");

    // Rings put there before the first start are kept as they are.
    std::remove((cfg + "/tolv.ini").c_str());
    SCAN_INI(ScanIniMode::Read, "/W");
    ASSERT_EQ(Prompts::shownMessages().size(), 2u);
    EXPECT_FALSE(Prompts::shownMessages()[1].text.contains("empty"));
    EXPECT_EQ(readWholeFile(v.PubRing), "keys");
}

// Help: "About Tolv" names the version and carries librnp's whole notice;
// "Getting started" says what the demo rings are and where keys live.
TEST_F(Frame, HelpMenuPages)
{
    for (const char* action : {"actionAbout", "actionGettingStarted"}) {
        frame->findChild<QAction*>(action)->trigger();
        auto* page = frame->findChild<QDialog*>(QString(action) == "actionAbout" ? "aboutTolv" : "gettingStarted");
        ASSERT_NE(page, nullptr);
        EXPECT_TRUE(page->isVisible());
        const QString shown = page->findChild<QTextBrowser*>("helpText")->toPlainText();
        saveScreenshot(page, page->objectName());
        frame->findChild<QAction*>(action)->trigger();  // once is enough: the open page comes forward
        EXPECT_EQ(frame->findChildren<QDialog*>(page->objectName()).size(), 1);
        page->close();
        if (QString(action) == "actionAbout") {
            EXPECT_TRUE(shown.contains("Tolv " TOLV_VERSION));
            EXPECT_TRUE(shown.contains("Copyright (c) 2017-2021"));
            EXPECT_TRUE(shown.contains("THIS SOFTWARE IS PROVIDED BY THE COPYRIGHT HOLDERS"));
        } else {
            EXPECT_TRUE(shown.contains("demo rings"));
            EXPECT_TRUE(shown.contains("File → Settings"));
            EXPECT_TRUE(shown.contains("Generate…"));
        }
    }
}
