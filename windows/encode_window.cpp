#include "windows/encode_window.h"

#include <QTimer>

#include "core/app_config.h"
#include "core/recipient_groups.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

#include "app/dialog_units.h"
#include "core/file_io.h"
#include "app/main_frame.h"
#include "core/key_ring_events.h"
#include "core/path_text.h"
#include "app/prompts.h"
#include "core/shared_passphrase.h"
#include "platform/code_page.h"
#include "sdk/encode_buffer.h"
#include "sdk/key_search.h"
#include "windows/lookup_dialog.h"
#include "sdk/sdk_session.h"
#include "windows/buffer_view.h"
#include "windows/window_controls.h"

namespace {

// Converts an OEM (CP866) text file's content to UTF-8; the block may grow.
WindowBuffer convertedFromOem(WindowBuffer loaded)
{
    std::size_t length = 0;
    ByteBuffer block = oemTextConverted(loaded.data(), static_cast<std::size_t>(loaded.contentLength()), 1, length);
    if (!block)
        return loaded;  // binary or UTF-8 files stay as they are
    return WindowBuffer::fromFile(std::move(block), static_cast<std::int64_t>(length));
}

}  // namespace

EncodeWindow::EncodeWindow(QWidget* parent) : BufferWindow("PGPENCODEDIALOG", "PGP Encode", parent)
{
    asciiOutput_ = new QCheckBox("ASCII Output", this);
    asciiOutput_->setObjectName("asciiOutput");
    asciiOutput_->setChecked(true);
    encodeButton_ = makeButton(this, QStyle::SP_FileDialogDetailedView, "Encode", "encodeButton");
    allocButton_ = makeButton(this, QStyle::SP_FileDialogNewFolder, "Alloc", "allocButton");
    allocButton_->setToolTip("Allocate buff for input");
    saveButton_->setToolTip("Save encoded buffer on disk file");
    tabs_->addTab(outputView_, "Text");
    tabs_->addTab(makeOptionsTab(), "Options");

    auto* checks = new QVBoxLayout;
    checks->setSpacing(0);
    checks->addWidget(oemToChar_);
    checks->addWidget(asciiOutput_);
    auto* row = new QHBoxLayout;
    row->addWidget(closeButton_);
    row->addWidget(loadButton_);
    row->addLayout(checks);
    row->addWidget(encodeButton_);
    row->addWidget(allocButton_);
    row->addWidget(saveButton_);
    finishLayout(row);

    connect(allocButton_, &QPushButton::clicked, this, &EncodeWindow::alloc);
    connect(encodeButton_, &QPushButton::clicked, this, &EncodeWindow::encode);
    connect(saveButton_, &QPushButton::clicked, this, &EncodeWindow::save);
    // Enter in the three option fields takes the value and moves on.
    signer_->lineEdit()->installEventFilter(this);
    passphrase_->installEventFilter(this);
    recipient_->lineEdit()->installEventFilter(this);
    // New, deleted or changed keys: the lists are read again (after the
    // job under way, if there is one).
    connect(&KeyRingEvents::instance(), &KeyRingEvents::keysChanged, this, [this] {
        listsStale_ = true;
        if (!busy())
            refreshLists();
    });
    connect(jobs(), &JobRunner::busyChanged, this, [this](bool running) {
        if (!running && listsStale_)
            QMetaObject::invokeMethod(this, &EncodeWindow::refreshLists, Qt::QueuedConnection);
    });
}

EncodeWindow::~EncodeWindow() = default;

void EncodeWindow::refreshLists()
{
    if (busy())
        return;
    listsStale_ = false;
    auto lists = std::make_shared<KeyChoiceList>();
    jobs()->start([lists] { *lists = fillKeyChoices(); },
                  [this, lists] {
                      // What the user typed or chose stays.
                      const QString signer = signer_->currentText(), recipient = recipient_->currentText();
                      showLists(*lists);
                      signer_->setCurrentText(signer);
                      recipient_->setCurrentText(recipient);
                  });
}

QWidget* EncodeWindow::makeOptionsTab()
{
    auto* options = new QWidget;
    auto* form = new QFormLayout(options);
    auto userIdBox = [](const char* name, int visible) {
        auto* box = new QComboBox;
        box->setObjectName(name);
        box->setEditable(true);
        box->setMaxVisibleItems(visible);
        box->lineEdit()->setMaxLength(255);
        // Long user IDs must not widen the window.
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(20);
        return box;
    };
    signer_ = userIdBox("signer", 5);
    passphrase_ = makePassphraseEntry(options);
    recipient_ = userIdBox("recipient", 10);
    form->addRow("Sign :", signer_);
    form->addRow("PassPhrase :", passphrase_);
    form->addRow("Encrypt for :", recipient_);
    addModeControls(form, userIdBox("moreRecipientChoice", 10));
    return options;
}

void EncodeWindow::addModeControls(QFormLayout* form, QComboBox* choice)
{
    operation_ = new QComboBox;
    operation_->setObjectName("operation");
    operation_->addItems({"Sign and encrypt", "Sign only", "Clear-sign (text)", "Detached signature", "Encrypt only",
                          "Encrypt with a passphrase only"});
    encryptToSelf_ = new QCheckBox("Also encrypt to my signing key");
    encryptToSelf_->setObjectName("encryptToSelf");
    // Off while the signer is the one the window proposed, so that the
    // default encoding goes to the one recipient of "Encrypt for :" alone;
    // on once the user chooses a signing key, unless they set it themselves.
    encryptToSelf_->setChecked(false);
    connect(encryptToSelf_, &QCheckBox::clicked, this, [this] { selfChosen_ = true; });
    auto signerChosen = [this] {
        if (!selfChosen_)
            encryptToSelf_->setChecked(true);
    };
    connect(signer_, &QComboBox::activated, this, signerChosen);
    connect(signer_->lineEdit(), &QLineEdit::textEdited, this, signerChosen);
    moreChoice_ = choice;
    moreRecipients_ = new QListWidget;
    moreRecipients_->setObjectName("moreRecipients");
    moreRecipients_->setMaximumHeight(80);
    auto* add = addRecipient_ = new QPushButton("Add");
    add->setObjectName("addRecipient");
    auto* remove = removeRecipient_ = new QPushButton("Remove");
    remove->setObjectName("removeRecipient");
    auto* row = new QHBoxLayout;
    row->addWidget(moreChoice_, 1);
    row->addWidget(add);
    row->addWidget(remove);
    form->addRow("Operation :", operation_);
    form->addRow("More recipients :", row);
    form->addRow("", moreRecipients_);
    form->addRow("", encryptToSelf_);
    connect(add, &QPushButton::clicked, this, [this] {
        const QString text = withoutTrailingBlanks(moreChoice_->currentText());
        if (!text.isEmpty() && moreRecipients_->findItems(text, Qt::MatchExactly).isEmpty())
            moreRecipients_->addItem(text);
    });
    connect(remove, &QPushButton::clicked, this, [this] { delete moreRecipients_->currentItem(); });
    connect(operation_, &QComboBox::currentIndexChanged, this, &EncodeWindow::showFieldsOfOperation);
    showFieldsOfOperation();
}

void EncodeWindow::showFieldsOfOperation()
{
    const auto op = static_cast<sdk::EncodeOperation>(std::max(0, operation_->currentIndex()));
    const bool signs = sdk::operationSigns(op), encrypts = sdk::operationEncryptsToKeys(op);
    signer_->setEnabled(signs);
    passphrase_->setEnabled(signs);
    for (QWidget* w : std::initializer_list<QWidget*> {recipient_, moreChoice_, moreRecipients_, addRecipient_,
                                                       removeRecipient_})
        w->setEnabled(encrypts);
    // Only a signed encryption has a signing key to encrypt to as well.
    encryptToSelf_->setEnabled(signs && encrypts);
}

sdk::EncodeRequest EncodeWindow::encodeRequest() const
{
    sdk::EncodeRequest r;
    r.operation = static_cast<sdk::EncodeOperation>(std::max(0, operation_->currentIndex()));
    r.signer = signer_->currentText().toStdString();
    r.recipients.push_back(recipient_->currentText().toStdString());
    for (int i = 0; i < moreRecipients_->count(); ++i)
        r.recipients.push_back(moreRecipients_->item(i)->text().toStdString());
    r.encryptToSelf = encryptToSelf_->isChecked() && encryptToSelf_->isEnabled();
    r.armour = asciiOutput_->isChecked();
    return r;
}

void EncodeWindow::open(MainFrame& frame) { openWith(frame, nullptr); }

void EncodeWindow::openWithText(MainFrame& frame, const QByteArray& text)
{
    openWith(frame, [text](EncodeWindow* window) { window->setInputText(text); });
}

void EncodeWindow::openWithFile(MainFrame& frame, const QString& path)
{
    openWith(frame, [path](EncodeWindow* window) {
        // After the opening job has let go of the worker.
        QTimer::singleShot(0, window, [window, path] { window->loadFile(path); });
    });
}

void EncodeWindow::openWith(MainFrame& frame, std::function<void(EncodeWindow*)> input)
{
    auto* window = new EncodeWindow;
    auto lists = std::make_shared<KeyChoiceList>();
    window->openIn(
        frame,
        [lists] {
            *lists = fillKeyChoices();
            return true;
        },
        [window, lists, input] {
            window->showLists(*lists);
            if (input)
                input(window);
        });
}

void EncodeWindow::showLists(const KeyChoiceList& lists)
{
    signer_->clear();
    recipient_->clear();
    for (const auto& s : lists.signers)
        signer_->addItem(QString::fromStdString(s));
    moreChoice_->clear();
    for (const auto& r : lists.recipients) {
        recipient_->addItem(QString::fromStdString(r));
        moreChoice_->addItem(QString::fromStdString(r));
    }
    // The recipient groups, after the keys: a group's name encrypts to each member.
    for (const RecipientGroup& g : readGroups(AppConfig::instance().snapshot().IniPath)) {
        recipient_->addItem(QString::fromStdString(g.name));
        moreChoice_->addItem(QString::fromStdString(g.name));
    }
    // The first entry of each list is chosen; an empty list leaves the field empty.
    signer_->setCurrentIndex(lists.signers.empty() ? -1 : 0);
    recipient_->setCurrentIndex(lists.recipients.empty() ? -1 : 0);
}

void EncodeWindow::setControlsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(loadButton_), static_cast<QWidget*>(encodeButton_),
                       static_cast<QWidget*>(allocButton_), static_cast<QWidget*>(saveButton_),
                       static_cast<QWidget*>(inputView_)})
        w->setEnabled(enabled);
}

WindowBuffer EncodeWindow::prepareLoaded(WindowBuffer file, bool oemToChar) const
{
    if (!oemToChar)
        return file;
    return convertedFromOem(std::move(file));
}

void EncodeWindow::alloc()
{
    if (busy())
        return;
    auto size = Prompts::askNumber("Allocate memory", "Buffer size in bytes", input_.size(), 256, 1000000000, 256);
    if (size) {
        input_.release();
        ByteBuffer block = ByteBuffer::allocateZeroed(*size);
        if (block)
            input_ = WindowBuffer::allocated(std::move(block));
        else
            Prompts::message("Error", "Error, allocating memory " + QString::number(*size), Prompts::Icon::Stop);
        bindInput();
        inputReplaced();
    }
    inputView_->setFocus();
}

void EncodeWindow::encode()
{
    if (busy())
        return;
    const sdk::EncodeRequest request = encodeRequest();
    const QString signer = withoutTrailingBlanks(signer_->currentText());
    if (signer.isEmpty() && sdk::operationSigns(request.operation)) {
        output_.release();
        bindOutput();
        tabs_->setCurrentIndex(1);
        signer_->setFocus();
        return;
    }
    std::shared_ptr<PassphraseBuffer> password;  // null: the shared passphrase serves
    if (request.operation == sdk::EncodeOperation::PasswordOnly) {
        std::optional<SecretText> typed = askPasswordTwice();
        if (!typed)
            return;
        password = std::make_shared<OneRunPassphrase>(std::move(*typed));
    }
    startEncode(request, std::move(password));
}

std::optional<SecretText> EncodeWindow::askPasswordTwice()
{
    const Prompts::FormRequest form {"Encrypt with a passphrase only",
                                     "Whoever has this password can read the message.",
                                     {{"password", "Password :", Prompts::FormField::Kind::Masked, {}, {}},
                                      {"again", "Once more :", Prompts::FormField::Kind::Masked, {}, {}}}};
    std::optional<Prompts::FormAnswer> answer = Prompts::askForm(form);
    if (!answer)
        return std::nullopt;
    const SecretText& password = (*answer)["password"];
    if (password.empty() || password.str() != (*answer)["again"].str()) {
        Prompts::message("Encode", password.empty() ? "No password was typed.|Nothing was encoded."
                                                    : "The two passwords differ.|Nothing was encoded.",
                         Prompts::Icon::Exclamation);
        return std::nullopt;
    }
    return password;
}

void EncodeWindow::startEncode(const sdk::EncodeRequest& request, std::shared_ptr<PassphraseBuffer> password)
{
    auto result = std::make_shared<sdk::SdkBlock>();
    auto ok = std::make_shared<bool>(false);
    auto outcome = std::make_shared<PGPError>(kPGPError_NoErr);
    const char* inputData = input_.data();
    const std::int64_t size = input_.isNull() ? 0 : input_.contentLength();
    auto progress = jobProgress();
    // The event handler's user value: what the SDK tells while encoding is written here.
    auto events = std::make_shared<sdk::JobEvents>(sdk::JobEvents {{}, {progress.get(), stopFlag()}});
    // Counted as in use from the click on, so unloading cannot slip in before the job starts.
    auto use = std::make_shared<sdk::SdkUse>();
    jobs()->start(
        [=]() mutable {
            PassphraseBuffer& pass = password ? *password : SharedPassphrase::instance();
            *ok = sdk::encodeBuffer(inputData, static_cast<std::uint64_t>(size), *result, request, pass, events.get(),
                                    outcome.get());
            use.reset();
            progress.reset();  // held until the job no longer reports
            password.reset();  // the password goes with the run
        },
        [this, result, ok, outcome, request] {
            if (*outcome == kPGPError_UserAbort)
                return;  // the passphrase was refused: the last result stays
            if (*outcome == kPGPError_ItemNotFound)
                offerLookUp(request);
            lastResult_ = *ok;
            output_.release();
            if (*result)
                output_ = WindowBuffer::fromSdk(std::move(*result));
            bindOutput();
            // After a failure the user stays where the passphrase is typed.
            if (*ok)
                tabs_->setCurrentIndex(0);
        });
}

void EncodeWindow::offerLookUp(const sdk::EncodeRequest& request)
{
    std::vector<std::string> texts = request.recipients;
    texts.insert(texts.begin(), request.signer);
    for (const std::string& text : texts) {
        const QString t = QString::fromStdString(text);
        const bool held = signer_->findText(t) >= 0 || moreChoice_->findText(t) >= 0;
        if (held || sdk::parseKeyQuery(text).kind == sdk::QueryKind::Invalid)
            continue;  // a key of the rings, or nothing a server can be asked for
        if (!Prompts::question("Look up", "No key in your rings matches " + t + ".|Look it up on the network?"))
            return;
        auto* dialog = new LookupDialog(this, t);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        dialog->lookUp();
        return;
    }
}

void EncodeWindow::save()
{
    // A detached signature is saved beside the file it signs.
    if (operation_->currentIndex() == static_cast<int>(sdk::EncodeOperation::DetachedSignature) && !fileName_.isEmpty())
        return saveOutput(fileName_ + ".sig");
    saveOutput(withoutTrailingBlanks(recipient_->currentText()) + ".asc");
}

bool EncodeWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            if (watched == signer_->lineEdit())
                passphrase_->setFocus();
            else if (watched == passphrase_)
                recipient_->setFocus();
            return watched == signer_->lineEdit() || watched == passphrase_ || watched == recipient_->lineEdit();
        }
    }
    return ChildWindow::eventFilter(watched, event);
}
