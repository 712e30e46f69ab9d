// The encode and decode windows, driven through their real widgets.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include <cstring>
#include <random>
#include <thread>

#include "core/app_config.h"
#include "app/dialog_units.h"
#include "app/main_frame.h"
#include "app/prompts.h"
#include "tests/scripted_answers.h"
#include "core/shared_passphrase.h"
#include "sdk/decode_buffer.h"
#include "sdk/encode_buffer.h"
#include "sdk/run_steps.h"
#include "sdk/sdk_session.h"
#include "tests/frame_toggle.h"
#include "tests/real_sdk.h"
#include "tests/test_support.h"
#include "windows/buffer_view.h"
#include "windows/decode_window.h"
#include "windows/encode_window.h"
#include "windows/frame_commands.h"
#include "windows/job_runner.h"
#include "windows/verdict_panel.h"

namespace {

class Windows : public ::testing::Test {
protected:
    void SetUp() override { startFrame(); }
    // The frame, new, on these rings.
    void useRings(const std::string& pub, const std::string& sec)
    {
        frame.reset();
        session.useRings(pub, sec);
        startFrame();
    }
    void startFrame()
    {
        frame = std::make_unique<MainFrame>();
        wireFrameCommands(*frame);
        frame->show();
    }
    void TearDown() override { frame.reset(); }
    template <typename W> W* openWindow(const char* action)
    {
        const int before = static_cast<int>(frame->mdiArea()->subWindowList().size());
        frame->findChild<QAction*>(action)->trigger();
        if (!waitFor([&] { return frame->mdiArea()->subWindowList().size() > before; }, 60000))
            return nullptr;
        return qobject_cast<W*>(frame->mdiArea()->subWindowList().back()->widget());
    }
    template <typename T = QPushButton> T* child(QWidget* w, const char* name) { return w->findChild<T*>(name); }
    static bool idle(ChildWindow* w) { return waitFor([&] { return !w->busy(); }, 60000); }
    // A new decode window that loads the file and decodes it.
    DecodeWindow* decodeFile(const std::string& path, const char* passphrase = "bob")
    {
        auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
        if (!dec)
            return nullptr;
        Prompts::queueFileAnswer(QString::fromStdString(path));
        child(dec, "loadButton")->click();
        EXPECT_TRUE(idle(dec));
        SharedPassphrase::instance().set(passphrase);
        child(dec, "decodeButton")->click();
        EXPECT_TRUE(idle(dec));
        return dec;
    }

    QStringList items(QComboBox* box)
    {
        QStringList l;
        for (int i = 0; i < box->count(); ++i)
            l << box->itemText(i);
        return l;
    }

    ScratchDir dir;
    RealSdk session {dir};
    std::unique_ptr<MainFrame> frame;
};

}  // namespace

TEST_F(Windows, EncodeListsOfferUsableKeysInUserIdOrder)
{
    auto* w = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->windowTitle(), "PGP Encode");
    EXPECT_EQ(frame->libraryMenuItem()->text(), "Unload PGP");
    EXPECT_EQ(items(child<QComboBox>(w, "signer")),
              (QStringList{"Alice Example <alice@example.org>", "Bob Example <bob@example.org>", "Gina DSA <gina@example.org>"}));
    QStringList recipients = items(child<QComboBox>(w, "recipient"));
    EXPECT_TRUE(recipients.contains("Carol Public <carol@example.org>"));
    EXPECT_TRUE(recipients.contains("Alice Example <alice@example.org>"));
    EXPECT_FALSE(recipients.contains("Rex Revoked <rex@example.org>"));
    EXPECT_FALSE(recipients.contains("Eve Expired <eve@example.org>"));
    EXPECT_FALSE(recipients.contains(""));  // the key without a user ID
    QStringList sorted = recipients;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(recipients, sorted);
    EXPECT_EQ(child<QComboBox>(w, "signer")->currentText(), "Alice Example <alice@example.org>");
    EXPECT_TRUE(child<QCheckBox>(w, "asciiOutput")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(w, "oemToChar")->isChecked());
    EXPECT_EQ(child(w, "allocButton")->toolTip(), "Allocate buff for input");
    EXPECT_EQ(child(w, "saveButton")->toolTip(), "Save encoded buffer on disk file");
    EXPECT_EQ(child<QLineEdit>(w, "passphrase")->echoMode(), QLineEdit::Password);
}

TEST_F(Windows, TheFrameAndItsChildWindowsShowTolvsOwnIcon)
{
    auto* w = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(w, nullptr);
    const QIcon icon = frame->windowIcon();
    EXPECT_EQ(icon.availableSizes().size(), 8);
    EXPECT_EQ(frame->mdiArea()->subWindowList().back()->windowIcon().cacheKey(), icon.cacheKey());
    // Drawn from the SVG: the teal of its background, not Qt's logo.
    const QColor edge = icon.pixmap(64).toImage().pixelColor(4, 32);
    EXPECT_GT(edge.blue(), edge.red() + 40);
    EXPECT_GT(edge.green(), edge.red() + 40);
}

TEST_F(Windows, ABinaryFileSurvivesEncodeDecodeAndSaveByteForByte)
{
    const std::string original = randomBytes(70000, 3) + std::string(3, '\0');
    writeWholeFile(dir.file("photo.bin"), original);

    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    child<QComboBox>(enc, "recipient")->setCurrentText("Bob Example <bob@example.org>");
    child<QCheckBox>(enc, "asciiOutput")->setChecked(false);
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("photo.bin")));
    child(enc, "loadButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_EQ(enc->input().size(), 70004);  // the file and the loader's zero byte
    EXPECT_EQ(child<QLabel>(enc, "inputSize")->text(), "70003");  // the bytes that will be encoded
    EXPECT_TRUE(child<BufferView>(enc, "inputView")->showsHex());
    SharedPassphrase::instance().set("alice");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    ASSERT_FALSE(enc->output().isNull());
    EXPECT_FALSE(child<QLabel>(enc, "outputSize")->text().isEmpty());
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("photo.pgp")));
    child(enc, "saveButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_EQ(Prompts::fileRequests().back().fileName, "Bob Example <bob@example.org>.asc");

    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_NE(dec, nullptr);
    EXPECT_TRUE(child<QCheckBox>(dec, "oemToChar")->isChecked());
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("photo.pgp")));
    child(dec, "loadButton")->click();
    ASSERT_TRUE(idle(dec));
    SharedPassphrase::instance().set("bob");
    child(dec, "decodeButton")->click();
    ASSERT_TRUE(idle(dec));
    ASSERT_FALSE(dec->output().isNull());
    EXPECT_EQ(child<QLineEdit>(dec, "signedBy")->text(), "Alice Example <alice@example.org>");
    EXPECT_TRUE(child<QCheckBox>(dec, "checked")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(dec, "verified")->isChecked());
    EXPECT_FALSE(child<QCheckBox>(dec, "keyRevoked")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(dec, "keyMeetsValidityThreshold")->isChecked());
    EXPECT_EQ(child<QSpinBox>(dec, "keyValidity")->value(), 3);
    EXPECT_EQ(child<QComboBox>(dec, "encryptedTo")->count(), 1);
    EXPECT_EQ(items(child<QComboBox>(dec, "encryptedToKeys")), QStringList{"Bob Example <bob@example.org>"});
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("photo.out")));
    child(dec, "saveButton")->click();
    ASSERT_TRUE(idle(dec));
    EXPECT_EQ(Prompts::fileRequests().back().fileName, "Alice Example <alice@example.org>.txt");
    EXPECT_TRUE(readWholeFile(dir.file("photo.out")) == original);

    // A second decode shows its own rows, not the earlier ones as well.
    child(dec, "decodeButton")->click();
    ASSERT_TRUE(idle(dec));
    EXPECT_EQ(child<QComboBox>(dec, "encryptedTo")->count(), 1);
    EXPECT_TRUE(Prompts::shownMessages().empty());
}

TEST_F(Windows, AllocatedBufferSendsWhatWasTypedAndCancelKeepsIt)
{
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    Prompts::queueNumberAnswer(256);
    child(enc, "allocButton")->click();
    ASSERT_EQ(enc->input().size(), 256);
    auto* view = child<BufferView>(enc, "inputView");
    EXPECT_FALSE(view->isReadOnly());
    QTest::keyClicks(view, "abc");
    EXPECT_EQ(std::string(enc->input().data(), 4), std::string("abc\0", 4));

    Prompts::queueNumberAnswer(std::nullopt);  // Cancel
    child(enc, "allocButton")->click();
    EXPECT_EQ(enc->input().size(), 256);
    EXPECT_EQ(std::string(enc->input().data(), 3), "abc");

    child<QComboBox>(enc, "recipient")->setCurrentText("Bob Example <bob@example.org>");
    SharedPassphrase::instance().set("alice");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    ASSERT_FALSE(enc->output().isNull());
    const std::string message(enc->output().data(), static_cast<std::size_t>(enc->output().size()));
    EXPECT_EQ(message.rfind("-----BEGIN PGP MESSAGE-----", 0), 0u);
    // Decode it: "abc" alone, not the unused zero bytes behind it.
    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_NE(dec, nullptr);
    writeWholeFile(dir.file("m.asc"), message);
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("m.asc")));
    child(dec, "loadButton")->click();
    ASSERT_TRUE(idle(dec));
    SharedPassphrase::instance().set("bob");
    child(dec, "decodeButton")->click();
    ASSERT_TRUE(idle(dec));
    ASSERT_EQ(dec->output().size(), 3);
    EXPECT_EQ(std::string(dec->output().data(), 3), "abc");

    // Encode twice: the first output is replaced by a new one.
    SharedPassphrase::instance().set("alice");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    ASSERT_FALSE(enc->output().isNull());
    EXPECT_TRUE(std::string(enc->output().data(), static_cast<std::size_t>(enc->output().size())) != message);
}

TEST_F(Windows, SaveBeforeAnyOutputDoesNothing)
{
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_TRUE(enc && dec);
    child(enc, "saveButton")->click();
    child(dec, "saveButton")->click();
    EXPECT_TRUE(Prompts::fileRequests().empty());
}

TEST_F(Windows, LoadCancelledChangesNothing)
{
    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_NE(dec, nullptr);
    writeWholeFile(dir.file("x.asc"), "some text");
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("x.asc")));
    child(dec, "loadButton")->click();
    ASSERT_TRUE(idle(dec));
    EXPECT_EQ(child<BufferView>(dec, "inputView")->toPlainText(), "some text");
    Prompts::queueFileAnswer(std::nullopt);
    child(dec, "loadButton")->click();
    ASSERT_TRUE(idle(dec));
    EXPECT_FALSE(dec->input().isNull());
    EXPECT_EQ(child<BufferView>(dec, "inputView")->toPlainText(), "some text");
    EXPECT_EQ(dec->inputFile(), QString::fromStdString(dir.file("x.asc")));
}

TEST_F(Windows, DecodeOfGarbageReportsAndShowsNoOutput)
{
    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_NE(dec, nullptr);
    writeWholeFile(dir.file("junk"), "not a message at all");
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("junk")));
    child(dec, "loadButton")->click();
    ASSERT_TRUE(idle(dec));
    SharedPassphrase::instance().set("bob");
    child(dec, "decodeButton")->click();
    ASSERT_TRUE(idle(dec));
    EXPECT_TRUE(dec->output().isNull());
    ASSERT_FALSE(Prompts::shownMessages().empty());
    EXPECT_EQ(Prompts::shownMessages().back().caption, "Decode_PGPBuff");
    EXPECT_TRUE(Prompts::shownMessages().back().text.startsWith("PGPDecode -"));
}

TEST_F(Windows, OemTextIsConvertedOnLoadAndAfterDecode)
{
    // "Привет" in CP866.
    const std::string cp866 = "\x8f\xe0\xa8\xa2\xa5\xe2";
    writeWholeFile(dir.file("oem.txt"), cp866);
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    child<QCheckBox>(enc, "oemToChar")->setChecked(true);
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("oem.txt")));
    child(enc, "loadButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_EQ(child<BufferView>(enc, "inputView")->toPlainText(), QString::fromUtf8("Привет"));

    // A UTF-8 message decodes unchanged with the box on.
    child<QCheckBox>(enc, "oemToChar")->setChecked(false);
    writeWholeFile(dir.file("utf8.txt"), "Ёлка и ёж");
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("utf8.txt")));
    child(enc, "loadButton")->click();
    ASSERT_TRUE(idle(enc));
    child<QComboBox>(enc, "recipient")->setCurrentText("Bob Example <bob@example.org>");
    SharedPassphrase::instance().set("alice");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    writeWholeFile(dir.file("u.asc"), std::string(enc->output().data(), static_cast<std::size_t>(enc->output().size())));

    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_NE(dec, nullptr);
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("u.asc")));
    child(dec, "loadButton")->click();
    ASSERT_TRUE(idle(dec));
    SharedPassphrase::instance().set("bob");
    child(dec, "decodeButton")->click();
    ASSERT_TRUE(idle(dec));
    EXPECT_EQ(std::string(dec->output().data(), static_cast<std::size_t>(dec->output().size())), "Ёлка и ёж");
}

TEST_F(Windows, EmptySignerFocusesTheSignField)
{
    writeWholeFile(dir.file("empty.pgp"), "");
    frame.reset();
    sdk::UnLoad_PGP();
    useRings(dir.file("empty.pgp"), dir.file("empty.pgp"));
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    EXPECT_EQ(child<QComboBox>(enc, "signer")->count(), 0);
    EXPECT_EQ(child<QComboBox>(enc, "recipient")->count(), 0);
    frame->activateWindow();
    child(enc, "encodeButton")->click();
    EXPECT_FALSE(enc->busy());
    EXPECT_TRUE(Prompts::shownMessages().empty());
    EXPECT_EQ(child<QTabWidget>(enc, "tabs")->currentIndex(), 1);
    EXPECT_TRUE(waitFor([&] { return QApplication::focusWidget() == child<QComboBox>(enc, "signer") ||
                                     QApplication::focusWidget() == child<QComboBox>(enc, "signer")->lineEdit(); },
                        2000));
}

TEST_F(Windows, AWindowWhoseRingsFailDoesNotStayOpen)
{
    frame.reset();
    sdk::UnLoad_PGP();
    useRings(dir.file("missing.pgp"), dir.file("missing.pgp"));
    frame->findChild<QAction*>("actionDecodePGP")->trigger();
    EXPECT_TRUE(waitFor([] { return !Prompts::shownMessages().empty(); }));
    QTest::qWait(50);
    EXPECT_TRUE(frame->mdiArea()->subWindowList().isEmpty());
    EXPECT_EQ(Prompts::shownMessages()[0].caption, "PGP_LoadRings");
}

TEST_F(Windows, ClosingAWindowWithAJobRunningWaitsForIt)
{
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    writeWholeFile(dir.file("big"), randomBytes(8 * 1024 * 1024, 9));
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("big")));
    child(enc, "loadButton")->click();
    ASSERT_TRUE(idle(enc));
    child<QComboBox>(enc, "recipient")->setCurrentText("Bob Example <bob@example.org>");
    SharedPassphrase::instance().set("alice");
    QPointer<EncodeWindow> guard(enc);
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(enc->busy());
    EXPECT_TRUE(child<QProgressBar>(enc, "busyIndicator")->isVisibleTo(enc));
    EXPECT_FALSE(child(enc, "encodeButton")->isEnabled());
    frame->mdiArea()->subWindowList().back()->close();
    EXPECT_TRUE(guard);  // still there while the job runs
    // Unloading is refused meanwhile.
    toggle(*frame, frame->libraryMenuItem());
    EXPECT_TRUE(sdk::sessionSnapshot().LibraryLoaded);
    EXPECT_TRUE(waitFor([&] { return guard.isNull(); }, 60000));
    EXPECT_TRUE(frame->mdiArea()->subWindowList().isEmpty());
    ASSERT_FALSE(Prompts::shownMessages().empty());
    EXPECT_EQ(Prompts::shownMessages().back().caption, "UnLoad_PGP");
}

TEST_F(Windows, TwoWindowsEncodeAtTheSameTime)
{
    auto* a = openWindow<EncodeWindow>("actionEncodePGP");
    auto* b = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_TRUE(a && b);
    int n = 0;
    for (EncodeWindow* w : {a, b}) {
        const std::string path = dir.file("in" + std::to_string(n++));
        writeWholeFile(path, randomBytes(2 * 1024 * 1024, static_cast<unsigned>(n)));
        Prompts::queueFileAnswer(QString::fromStdString(path));
        child(w, "loadButton")->click();
        ASSERT_TRUE(idle(w));
        child<QComboBox>(w, "recipient")->setCurrentText("Bob Example <bob@example.org>");
    }
    SharedPassphrase::instance().set("alice");
    child(a, "encodeButton")->click();
    child(b, "encodeButton")->click();
    EXPECT_TRUE(a->busy() || b->busy());
    ASSERT_TRUE(idle(a));
    ASSERT_TRUE(idle(b));
    EXPECT_FALSE(a->output().isNull());
    EXPECT_FALSE(b->output().isNull());
    EXPECT_TRUE(Prompts::shownMessages().empty());
}

TEST(BufferViews, LargeBuffersShowTheirStartAndEditCheaply)
{
    // A large allocated buffer is zero-terminated text, editable at once.
    WindowBuffer big = WindowBuffer::allocated(ByteBuffer::allocateZeroed(64LL * 1024 * 1024));
    ASSERT_FALSE(big.isNull());
    BufferView view;
    view.bind(&big);
    EXPECT_FALSE(view.isReadOnly());
    EXPECT_TRUE(view.showsAll());
    QTest::keyClicks(&view, "hello");
    EXPECT_EQ(std::string(big.data(), 6), std::string("hello\0", 6));
    QTest::keyClick(&view, Qt::Key_Backspace);
    EXPECT_EQ(std::string(big.data(), 5), std::string("hell\0", 5));
    EXPECT_EQ(big.contentLength(), 4);  // what was typed, not the unused zero bytes

    // A loaded text file larger than the view shows its start, read-only.
    const qint64 length = BufferView::kTextLimit + 1000;
    ByteBuffer block = ByteBuffer::allocateZeroed(length + 1);
    std::memset(block.data(), 'x', static_cast<std::size_t>(length));
    WindowBuffer file = WindowBuffer::fromFile(std::move(block), length);
    view.bind(&file);
    EXPECT_TRUE(view.isReadOnly());
    EXPECT_FALSE(view.showsAll());
    EXPECT_FALSE(view.showsHex());
    EXPECT_TRUE(view.toPlainText().endsWith(QString("[Read-only: the first %1 of %2 bytes are shown]")
                                                .arg(BufferView::kTextLimit)
                                                .arg(length)));
    view.bind(nullptr);
}

namespace {

// Messages made by GnuPG from the fixture keys, decoded in a real window.
class Verdicts : public Windows {
protected:
    std::string make(const std::string& name, const std::string& gpgArgs, const std::string& text = "signed words\n")
    {
        writeWholeFile(dir.file("plain"), text);
        const std::string out = dir.file(name);
        EXPECT_EQ(gnupg.gpg(gpgArgs + " -o '" + out + "' '" + dir.file("plain") + "'"), 0) << gpgArgs;
        return out;
    }
    QStringList verdicts(DecodeWindow* w) { return w->verdicts()->texts(); }
    QString tone(DecodeWindow* w, int line)
    {
        return w->findChildren<QWidget*>("verdictLine").value(line)->property("tone").toString();
    }
    std::string keyIdOf(const std::string& who)
    {
        std::string colons;
        gnupg.gpg("--with-colons --list-keys " + who, &colons);
        const auto at = colons.find("\npub:");
        return "0x" + colons.substr(colons.find(':', colons.find(':', colons.find(':', at + 5) + 1) + 1) + 1, 16);
    }
    GpgHome gnupg {dir.file("gnupg")};
};

}  // namespace

TEST_F(Verdicts, OneLinePerSignatureOnTheTextTab)
{
    const std::string good = make("good.asc", "-u alice@example.org --clearsign");
    std::string tampered = readWholeFile(good);
    tampered.replace(tampered.find("signed words"), 12, "signed w0rds");
    writeWholeFile(dir.file("bad.asc"), tampered);
    const std::string unknown = make("olga.asc", "-u olga@example.org --clearsign");
    const std::string both = make("both.asc", "-u olga@example.org -u alice@example.org --clearsign");
    const std::string unsignedMessage = make("plain.asc", "-a -r bob@example.org -e");

    auto* w = decodeFile(good);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(verdicts(w), QStringList{"good.asc: Good signature from Alice Example <alice@example.org>"});
    EXPECT_EQ(tone(w, 0), "good");
    EXPECT_EQ(child<QTabWidget>(w, "tabs")->currentIndex(), 0);
    EXPECT_TRUE(child<QWidget>(w, "verdictPanel")->isVisible());
    EXPECT_TRUE(w->findChildren<QPushButton*>("lookUpSigner").isEmpty());

    w = decodeFile(dir.file("bad.asc"));
    EXPECT_EQ(verdicts(w),
              QStringList{"bad.asc: Bad signature from Alice Example <alice@example.org>: the text was changed after it was signed"});
    EXPECT_EQ(tone(w, 0), "bad");
    EXPECT_FALSE(w->output().isNull());  // the text stays readable under the red line
    saveScreenshot(w, "decode-bad-signature");

    w = decodeFile(unknown);
    EXPECT_EQ(verdicts(w), QStringList{QString::fromStdString("olga.asc: Signed by an unknown key " + keyIdOf("olga@example.org") +
                                                              ": the signature cannot be checked")});
    EXPECT_EQ(tone(w, 0), "warning");
    // The unknown signer can be looked up, on the user's word only (not pressed here: no test
    // reaches a server outside this machine).
    ASSERT_EQ(w->findChildren<QPushButton*>("lookUpSigner").size(), 1);

    // Two signatures, one unknown: a verdict each, and the flags and the
    // signer's name both belong to the one that verified.
    w = decodeFile(both);
    const QStringList two = verdicts(w);
    ASSERT_EQ(two.size(), 2);
    EXPECT_TRUE(two.contains("both.asc: Good signature from Alice Example <alice@example.org>"));
    EXPECT_TRUE(two.filter("Signed by an unknown key 0x").size() == 1);
    EXPECT_EQ(child<QLineEdit>(w, "signedBy")->text(), "Alice Example <alice@example.org>");
    EXPECT_TRUE(child<QCheckBox>(w, "checked")->isChecked());
    EXPECT_TRUE(child<QCheckBox>(w, "verified")->isChecked());
    saveScreenshot(frame.get(), "decode-two-signatures");

    w = decodeFile(unsignedMessage);
    EXPECT_EQ(verdicts(w), QStringList{"plain.asc: Not signed"});
    EXPECT_EQ(tone(w, 0), "neutral");
    // Recipients are named when the rings hold the key.
    EXPECT_EQ(items(child<QComboBox>(w, "encryptedTo")).size(), 1);
    EXPECT_TRUE(items(child<QComboBox>(w, "encryptedTo")).front().endsWith(" Bob Example <bob@example.org>"));
    // ".txt" alone would be hidden: the loaded file's name is proposed.
    Prompts::queueFileAnswer(std::nullopt);
    child(w, "saveButton")->click();
    ASSERT_TRUE(idle(w));
    EXPECT_EQ(Prompts::fileRequests().back().fileName, "plain");
    EXPECT_EQ(w->windowTitle(), "PGP Decode - plain.asc");
    EXPECT_TRUE(Prompts::shownMessages().empty());
}

// What the window says belongs to the input it shows: a new input (loaded,
// typed) takes the old output, verdicts and lists away at once.
TEST_F(Verdicts, NoAnswerOutlivesItsInput)
{
    const std::string good = make("good.asc", "-a -u alice@example.org -r bob@example.org -se");
    std::string tampered = readWholeFile(make("signed.asc", "-u alice@example.org --clearsign"));
    tampered.replace(tampered.find("signed words"), 12, "signed w0rds");
    writeWholeFile(dir.file("tampered.asc"), tampered);
    auto* w = decodeFile(good);
    ASSERT_NE(w, nullptr);
    ASSERT_EQ(verdicts(w).size(), 1);
    ASSERT_EQ(child<QComboBox>(w, "encryptedTo")->count(), 1);
    auto expectCleared = [&](const char* after) {
        EXPECT_TRUE(w->output().isNull()) << after;
        EXPECT_TRUE(verdicts(w).isEmpty()) << after;
        EXPECT_EQ(child<QComboBox>(w, "encryptedTo")->count(), 0) << after;
        EXPECT_EQ(child<QComboBox>(w, "encryptedToKeys")->count(), 0) << after;
        EXPECT_EQ(child<QLineEdit>(w, "signedBy")->text(), "") << after;
        EXPECT_FALSE(child<QCheckBox>(w, "verified")->isChecked()) << after;
    };
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("tampered.asc")));
    child(w, "loadButton")->click();
    ASSERT_TRUE(idle(w));
    expectCleared("a load");
    // A refused passphrase does not bring the earlier answer back.
    SharedPassphrase::instance().clear();
    Prompts::queuePassphraseAnswer(false, QString());
    child(w, "decodeButton")->click();
    ASSERT_TRUE(idle(w));
    expectCleared("a refused decode");

    SharedPassphrase::instance().set("bob");
    child(w, "decodeButton")->click();
    ASSERT_TRUE(idle(w));
    ASSERT_EQ(verdicts(w).value(0).left(16), "tampered.asc: Ba");
    QTest::keyClicks(child<BufferView>(w, "inputView"), "x");
    expectCleared("typing");
    EXPECT_TRUE(w->inputFile().isEmpty());
}

TEST_F(Verdicts, ARevokedSignerIsRed)
{
    // Rex signs while his key was still good, in a home that lacks his revocation.
    const std::string rexHome = dir.file("rexhome");
    GpgHome other(rexHome, false);
    std::string rexSecret;
    gnupg.gpg("--passphrase rex --export-secret-keys rex@example.org", &rexSecret);
    writeWholeFile(dir.file("rex.pgp"), withoutKeyRevocations(rexSecret));
    ASSERT_EQ(other.gpg("--import '" + dir.file("rex.pgp") + "'"), 0);
    writeWholeFile(dir.file("plain"), "old words\n");
    ASSERT_EQ(other.gpg("--faked-system-time 20210101T000000 --ignore-time-conflict --passphrase rex -u rex@example.org "
                        "--clearsign -o '" + dir.file("rex.asc") + "' '" + dir.file("plain") + "'"),
              0);
    auto* w = decodeFile(dir.file("rex.asc"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(verdicts(w), QStringList{"rex.asc: Signature by a revoked key Rex Revoked <rex@example.org>"});
    EXPECT_EQ(tone(w, 0), "bad");
#ifdef TOLV_TEST_PATCHED_LIBRNP
    // Changed words under his signature are a bad signature, revoked or not.
    std::string text = readWholeFile(dir.file("rex.asc"));
    text.replace(text.find("old words"), 9, "new words");
    writeWholeFile(dir.file("rex2.asc"), text);
    w = decodeFile(dir.file("rex2.asc"));
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(verdicts(w),
              QStringList{"rex2.asc: Bad signature from Rex Revoked <rex@example.org>: the text was changed after it was signed"});
    EXPECT_EQ(tone(w, 0), "bad");
#endif
}

TEST_F(Verdicts, AWrongPassphraseIsForgottenAndACancelledRetryChangesNothing)
{
    const std::string message = make("m.asc", "-a -u alice@example.org -r bob@example.org -se");
    for (int i = 0; i < sdk::kPassphraseAsksAgain; ++i)
        Prompts::queuePassphraseAnswer(true, "still wrong");
    auto* w = decodeFile(message, "wrong");
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(Prompts::passphraseAsksAgain().size(), 3u);
    ASSERT_EQ(Prompts::shownMessages().size(), 1u);
    EXPECT_TRUE(Prompts::shownMessages().back().text.startsWith("PGPDecode -11992"));
    EXPECT_TRUE(SharedPassphrase::instance().isEmpty());
    EXPECT_EQ(verdicts(w).value(0).left(20), "m.asc: Not decoded: ");
    EXPECT_EQ(child<QTabWidget>(w, "tabs")->currentIndex(), 0);

    // The retry asks again instead of reusing the wrong passphrase.
    Prompts::queuePassphraseAnswer(true, "bob");
    child(w, "decodeButton")->click();
    ASSERT_TRUE(idle(w));
    EXPECT_EQ(Prompts::passphraseRequests(), 4);
    ASSERT_FALSE(w->output().isNull());
    const QStringList good = verdicts(w);
    EXPECT_EQ(good, QStringList{"m.asc: Good signature from Alice Example <alice@example.org>"});

    // Refusing the passphrase next time leaves that result as it was.
    SharedPassphrase::instance().clear();
    Prompts::queuePassphraseAnswer(false, QString());
    child(w, "decodeButton")->click();
    ASSERT_TRUE(idle(w));
    EXPECT_EQ(verdicts(w), good);
    EXPECT_EQ(std::string(w->output().data(), static_cast<std::size_t>(w->output().size())), "signed words\n");
    EXPECT_EQ(child<QLineEdit>(w, "signedBy")->text(), "Alice Example <alice@example.org>");
    EXPECT_EQ(child<QComboBox>(w, "encryptedTo")->count(), 1);
}

TEST_F(Windows, TypingNeverRunsPastTheBuffer)
{
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    auto* view = child<BufferView>(enc, "inputView");
    // An empty new window takes typing without Alloc.
    EXPECT_FALSE(view->isReadOnly());
    QTest::keyClicks(view, "hello");
    EXPECT_EQ(enc->input().contentLength(), 5);
    EXPECT_EQ(child<QLabel>(enc, "inputSize")->text(), "5");

    // A loaded file grows as typing passes its end.
    writeWholeFile(dir.file("short.txt"), "abc");
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("short.txt")));
    child(enc, "loadButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_EQ(enc->windowTitle(), "PGP Encode - short.txt");
    view->moveCursor(QTextCursor::End);
    const QString more(300, QChar(0x0416));  // 600 bytes of "Ж", as a paste
    view->insertPlainText(more);
    QTest::keyClicks(view, "z");
    const std::string expected = "abc" + more.toStdString() + "z";
    ASSERT_EQ(enc->input().contentLength(), static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(std::string(enc->input().data(), expected.size()), expected);

    // What the box shows is exactly what is encoded.
    child<QComboBox>(enc, "recipient")->setCurrentText("Bob Example <bob@example.org>");
    SharedPassphrase::instance().set("alice");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    ASSERT_FALSE(enc->output().isNull());
    EXPECT_EQ(child<QTabWidget>(enc, "tabs")->currentIndex(), 0);
    writeWholeFile(dir.file("m.asc"), std::string(enc->output().data(), static_cast<std::size_t>(enc->output().size())));
    auto* dec = decodeFile(dir.file("m.asc"));
    ASSERT_NE(dec, nullptr);
    EXPECT_EQ(std::string(dec->output().data(), static_cast<std::size_t>(dec->output().size())), expected);
}

// Each operation offers only the fields it uses; a password-only encoding
// takes its password typed twice, and never caches it.
TEST_F(Windows, TheEncodeWindowOffersOnlyTheFieldsOfItsOperation)
{
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    struct Row {
        const char* operation;
        bool signs, encrypts, self;
    };
    const Row rows[] = {{"Sign and encrypt", true, true, true},     {"Sign only", true, false, false},
                        {"Clear-sign (text)", true, false, false},  {"Detached signature", true, false, false},
                        {"Encrypt only", false, true, false},       {"Encrypt with a passphrase only", false, false, false}};
    for (const Row& row : rows) {
        child<QComboBox>(enc, "operation")->setCurrentText(row.operation);
        EXPECT_EQ(child<QComboBox>(enc, "signer")->isEnabled(), row.signs) << row.operation;
        EXPECT_EQ(child<QLineEdit>(enc, "passphrase")->isEnabled(), row.signs) << row.operation;
        EXPECT_EQ(child<QComboBox>(enc, "recipient")->isEnabled(), row.encrypts) << row.operation;
        EXPECT_EQ(child(enc, "addRecipient")->isEnabled(), row.encrypts) << row.operation;
        EXPECT_EQ(child<QListWidget>(enc, "moreRecipients")->isEnabled(), row.encrypts) << row.operation;
        EXPECT_EQ(child<QCheckBox>(enc, "encryptToSelf")->isEnabled(), row.self) << row.operation;
        child<QTabWidget>(enc, "tabs")->setCurrentIndex(1);
        saveScreenshot(enc, QString("encode-") + row.operation);
    }
    QTest::keyClicks(child<BufferView>(enc, "inputView"), "for the password");
    SharedPassphrase::instance().clear();
    Prompts::queueFormAnswer(std::map<QString, QString> {{"password", "one"}, {"again", "two"}});
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_TRUE(enc->output().isNull());
    ASSERT_EQ(Prompts::shownMessages().size(), 1u);
    EXPECT_EQ(Prompts::shownMessages()[0].text, "The two passwords differ.|Nothing was encoded.");
    Prompts::queueFormAnswer(std::map<QString, QString> {{"password", "same words"}, {"again", "same words"}});
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    ASSERT_FALSE(enc->output().isNull());
    EXPECT_TRUE(SharedPassphrase::instance().isEmpty());
    OneRunPassphrase password(SecretText("same words"));
    sdk::SdkBlock plain;
    ASSERT_TRUE(sdk::Decode_PGPBuff(enc->output().data(), static_cast<std::uint64_t>(enc->output().size()), plain,
                                    password)
                    .decoded());
    EXPECT_EQ(std::string(plain.data(), plain.size()), "for the password");
}

// A recipient the rings do not hold, given as an address: the window offers
// to look it up, and does nothing when the user says no.
TEST_F(Windows, AnUnknownRecipientIsOfferedALookUp)
{
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    QTest::keyClicks(child<BufferView>(enc, "inputView"), "text");
    child<QComboBox>(enc, "recipient")->setCurrentText("Zed <zed@example.org>");
    SharedPassphrase::instance().set("alice");
    Prompts::queueQuestionAnswer(false);
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_EQ(Prompts::shownMessages().back().text, "Unable to find a key for Zed <zed@example.org>");
    ASSERT_EQ(Prompts::questionsAsked().size(), 1u);
    EXPECT_EQ(Prompts::questionsAsked()[0], "No key in your rings matches Zed <zed@example.org>.|Look it up on the network?");
    EXPECT_EQ(enc->findChild<QDialog*>("lookupDialog"), nullptr);
}

TEST_F(Windows, AFailedEncodeStaysOnOptionsAndARefusedPassphraseKeepsTheOutput)
{
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    QTest::keyClicks(child<BufferView>(enc, "inputView"), "text");
    child<QTabWidget>(enc, "tabs")->setCurrentIndex(1);
    SharedPassphrase::instance().set("wrong");
    for (int i = 0; i < sdk::kPassphraseAsksAgain; ++i)
        Prompts::queuePassphraseAnswer(true, "still wrong");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_EQ(child<QTabWidget>(enc, "tabs")->currentIndex(), 1);
    EXPECT_TRUE(SharedPassphrase::instance().isEmpty());

    // A good encode, then a refused passphrase: the output stays.
    SharedPassphrase::instance().set("alice");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    ASSERT_FALSE(enc->output().isNull());
    const std::string first(enc->output().data(), static_cast<std::size_t>(enc->output().size()));
    SharedPassphrase::instance().clear();
    Prompts::queuePassphraseAnswer(false, QString());
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    ASSERT_FALSE(enc->output().isNull());
    EXPECT_EQ(std::string(enc->output().data(), static_cast<std::size_t>(enc->output().size())), first);
}

TEST_F(Windows, EnterInTheDecodeOptionsMovesToTheNextInput)
{
    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_NE(dec, nullptr);
    child<QTabWidget>(dec, "tabs")->setCurrentIndex(1);
    frame->activateWindow();
    auto* signedBy = child<QLineEdit>(dec, "signedBy");
    signedBy->setFocus();
    QTest::keyClick(signedBy, Qt::Key_Return);
    QWidget* next = QApplication::focusWidget();
    ASSERT_NE(next, nullptr);
    EXPECT_NE(next, signedBy);
    EXPECT_FALSE(qobject_cast<QLabel*>(next));
    EXPECT_TRUE(next->isVisible() && (next->focusPolicy() & Qt::TabFocus));
    // In the message box itself Enter starts a new line.
    auto* input = child<BufferView>(dec, "inputView");
    QTest::keyClicks(input, "a");
    QTest::keyClick(input, Qt::Key_Return);
    QTest::keyClicks(input, "b");
    EXPECT_EQ(std::string(dec->input().data(), 3), "a\nb");
}

TEST_F(Windows, ChildWindowsOpenWholeInsideTheFrame)
{
    auto inside = [this](QMdiSubWindow* sub) {
        return QRect(QPoint(0, 0), frame->mdiArea()->viewport()->size()).contains(sub->geometry());
    };
    for (int i = 0; i < 5; ++i)
        ASSERT_NE(openWindow<EncodeWindow>("actionEncodePGP"), nullptr);
    for (QMdiSubWindow* sub : frame->mdiArea()->subWindowList()) {
        EXPECT_TRUE(inside(sub)) << sub->geometry().x() << "," << sub->geometry().y();
        EXPECT_GE(sub->widget()->width(), dluSize(sub->widget()->font(), 447, 196).width() * 9 / 10);
    }
    frame->findChild<QAction*>("actionTile")->trigger();
    for (QMdiSubWindow* sub : frame->mdiArea()->subWindowList())
        EXPECT_TRUE(inside(sub));
    saveScreenshot(frame.get(), "frame-tiled");
    auto* keys = openWindow<QWidget>("actionKeyList");
    ASSERT_NE(keys, nullptr);
    const QSize wanted = dluSize(keys->font(), 450, 180);
    EXPECT_GE(keys->width(), wanted.width() * 9 / 10);
    EXPECT_GE(keys->height(), wanted.height() * 9 / 10);
    EXPECT_TRUE(inside(frame->mdiArea()->subWindowList().back()));
    saveScreenshot(frame.get(), "key-list");
}

TEST_F(Windows, TheFrameKeepsWorkingWhileTheRingsLoad)
{
    std::string slow;
    const std::string ring = readWholeFile(sourceDir() + "/tests/fixtures/pubring.pgp");
    for (int i = 0; i < 100; ++i)
        slow += ring;
    writeWholeFile(dir.file("slow.pgp"), slow);
    AppConfigValues v = AppConfig::instance().snapshot();
    v.PubRing = dir.file("slow.pgp");
    AppConfig::instance().assign(v);
    auto* jobs = frame->findChild<JobRunner*>("frameJobs");
    ASSERT_NE(jobs, nullptr);

    // "Load PGP" returns at once; the load runs on the frame's worker.
    frame->libraryMenuItem()->trigger();
    EXPECT_TRUE(jobs->busy());
    EXPECT_EQ(sdk::sessionSnapshot().KeySet, nullptr);  // the session is readable meanwhile
    // The key ring item, chosen during the load, does not undo it.
    frame->keyRingMenuItem()->trigger();
    EXPECT_TRUE(frame->statusBar()->currentMessage().startsWith("A load is in progress"));
    // A window opened meanwhile waits for the same load and lists its keys.
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    EXPECT_GT(child<QComboBox>(enc, "recipient")->count(), 3);
    ASSERT_TRUE(waitFor([&] { return !jobs->busy(); }, 60000));
    EXPECT_NE(sdk::sessionSnapshot().KeySet, nullptr);
    EXPECT_EQ(frame->keyRingMenuItem()->text(), "Unload keys");
    EXPECT_TRUE(Prompts::shownMessages().empty());
}

TEST_F(Windows, ALongJobShowsItsPercentAndCancelStopsIt)
{
    // A 16 MiB message for Bob, made through the binding.
    const std::string data = randomBytes(16 << 20, 9);
    ASSERT_EQ(sdk::PGP_LoadRings(), 0);
    SharedPassphrase::instance().set("alice");
    sdk::SdkBlock message;
    ASSERT_TRUE(sdk::Encode_PGPBuff(data.data(), data.size(), message, false, SharedPassphrase::instance(), "bob@",
                                    "alice@", nullptr));
    writeWholeFile(dir.file("big.pgp"), std::string(message.data(), message.size()));

    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_NE(dec, nullptr);
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("big.pgp")));
    child(dec, "loadButton")->click();
    ASSERT_TRUE(idle(dec));
    SharedPassphrase::instance().set("bob");
    auto* bar = child<QProgressBar>(dec, "busyIndicator");
    QList<int> percents;
    QObject::connect(bar, &QProgressBar::valueChanged, bar, [&](int v) { percents << v; });

    // Cancelled at once: the job stops, nothing is shown, nothing is said.
    child(dec, "decodeButton")->click();
    ASSERT_TRUE(child(dec, "cancelButton")->isVisible());
    child(dec, "cancelButton")->click();
    ASSERT_TRUE(idle(dec));
    EXPECT_TRUE(dec->output().isNull());
    EXPECT_TRUE(Prompts::shownMessages().empty());
    EXPECT_FALSE(child(dec, "cancelButton")->isVisible());

    // Left to run, it reports its way to 100 % and decodes.
    child(dec, "decodeButton")->click();
    if (waitFor([&] { return bar->isTextVisible() || !dec->busy(); }, 60000) && dec->busy())
        saveScreenshot(dec, "decode-progress");
    ASSERT_TRUE(idle(dec));
    QCoreApplication::processEvents();
    ASSERT_FALSE(dec->output().isNull());
    EXPECT_TRUE(std::string(dec->output().data(), static_cast<std::size_t>(dec->output().size())) == data);
    ASSERT_FALSE(percents.isEmpty());
    EXPECT_EQ(percents.last(), 1000);
}

TEST_F(Windows, OperationsDetachedSignaturesMoreRecipientsAndEncryptToSelf)
{
    writeWholeFile(dir.file("notes.txt"), "meeting at noon\n");
    auto* enc = openWindow<EncodeWindow>("actionEncodePGP");
    ASSERT_NE(enc, nullptr);
    EXPECT_EQ(child<QComboBox>(enc, "operation")->currentText(), "Sign and encrypt");
    EXPECT_FALSE(child<QCheckBox>(enc, "encryptToSelf")->isChecked());
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("notes.txt")));
    child(enc, "loadButton")->click();
    ASSERT_TRUE(idle(enc));
    SharedPassphrase::instance().set("alice");

    // A clear-signed text, and a detached signature saved beside its file.
    child<QComboBox>(enc, "operation")->setCurrentText("Clear-sign (text)");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_EQ(std::string(enc->output().data(), 34), "-----BEGIN PGP SIGNED MESSAGE-----");
    child<QComboBox>(enc, "operation")->setCurrentText("Detached signature");
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("notes.txt.sig")));
    child(enc, "saveButton")->click();
    ASSERT_TRUE(idle(enc));
    EXPECT_EQ(Prompts::fileRequests().back().fileName, "notes.txt.sig");

    // The decode window checks it against notes.txt beside it.
    auto* dec = openWindow<DecodeWindow>("actionDecodePGP");
    ASSERT_NE(dec, nullptr);
    for (const char* data : {"meeting at noon\n", "meeting at one\n"}) {
        writeWholeFile(dir.file("notes.txt"), data);
        Prompts::queueFileAnswer(QString::fromStdString(dir.file("notes.txt.sig")));
        child(dec, "loadButton")->click();
        ASSERT_TRUE(idle(dec));
        child(dec, "decodeButton")->click();
        ASSERT_TRUE(idle(dec));
        EXPECT_EQ(child<QLineEdit>(dec, "signedBy")->text(), "Alice Example <alice@example.org>");
        EXPECT_EQ(child<QCheckBox>(dec, "verified")->isChecked(), data[11] == 'n');
        // The verdict names the data file it checked.
        EXPECT_TRUE(dec->verdicts()->texts().value(0).startsWith("notes.txt: ")) << dec->verdicts()->texts().value(0).toStdString();
    }

    // Bob, Carol from the list, and the sender: three recipients.
    child<QComboBox>(enc, "operation")->setCurrentText("Sign and encrypt");
    child<QComboBox>(enc, "recipient")->setCurrentText("Bob Example <bob@example.org>");
    child<QComboBox>(enc, "moreRecipientChoice")->setCurrentText("Carol Public <carol@example.org>");
    child(enc, "addRecipient")->click();
    child(enc, "addRecipient")->click();  // once is enough
    EXPECT_EQ(child<QListWidget>(enc, "moreRecipients")->count(), 1);
    // Choosing the signing key turns "Also encrypt to my signing key" on.
    EXPECT_FALSE(child<QCheckBox>(enc, "encryptToSelf")->isChecked());
    emit child<QComboBox>(enc, "signer")->activated(0);
    EXPECT_TRUE(child<QCheckBox>(enc, "encryptToSelf")->isChecked());
    child(enc, "encodeButton")->click();
    ASSERT_TRUE(idle(enc));
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("three.asc")));
    child(enc, "saveButton")->click();
    ASSERT_TRUE(idle(enc));
    Prompts::queueFileAnswer(QString::fromStdString(dir.file("three.asc")));
    child(dec, "loadButton")->click();
    ASSERT_TRUE(idle(dec));
    child(dec, "decodeButton")->click();  // the cached passphrase is Alice's
    ASSERT_TRUE(idle(dec));
    EXPECT_EQ(child<QComboBox>(dec, "encryptedTo")->count(), 3);
    EXPECT_EQ(std::string(dec->output().data(), 16), "meeting at noon\n");
    EXPECT_TRUE(Prompts::shownMessages().empty());
}
