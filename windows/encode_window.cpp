#include "windows/encode_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

#include "app/dialog_units.h"
#include "core/file_io.h"
#include "app/main_frame.h"
#include "core/path_text.h"
#include "app/prompts.h"
#include "core/shared_passphrase.h"
#include "platform/code_page.h"
#include "sdk/encode_buffer.h"
#include "sdk/sdk_session.h"
#include "windows/buffer_view.h"
#include "windows/window_controls.h"

namespace {

// Converts an OEM (CP866) text file's content to UTF-8; the block may grow.
WindowBuffer convertedFromOem(WindowBuffer loaded)
{
    if (!platform::looksLikeText(loaded.data(), static_cast<std::size_t>(loaded.contentLength())))
        return loaded;  // binary files stay as they are
    const std::string text = platform::oemToAnsi(loaded.data(), static_cast<std::size_t>(loaded.contentLength()));
    if (static_cast<std::int64_t>(text.size()) == loaded.contentLength() &&
        std::equal(text.begin(), text.end(), loaded.data()))
        return loaded;
    ByteBuffer block = ByteBuffer::allocateZeroed(static_cast<std::int64_t>(text.size()) + 1);
    if (!block)
        return loaded;
    std::copy(text.begin(), text.end(), block.data());
    return WindowBuffer::fromFile(std::move(block), static_cast<std::int64_t>(text.size()));
}

}  // namespace

EncodeWindow::EncodeWindow(QWidget* parent) : ChildWindow(parent)
{
    setObjectName("PGPENCODEDIALOG");
    setWindowTitle("PGP Encode");
    resize(dluSize(font(), 447, 196));

    inputView_ = new BufferView(this);
    inputView_->setObjectName("inputView");
    auto* closeButton = makeButton(this, QStyle::SP_DialogCloseButton, "Close", "closeButton");
    loadButton_ = makeButton(this, QStyle::SP_DirOpenIcon, "Load", "loadButton");
    oemToChar_ = new QCheckBox("OemToChar", this);
    oemToChar_->setObjectName("oemToChar");
    asciiOutput_ = new QCheckBox("ASCII Output", this);
    asciiOutput_->setObjectName("asciiOutput");
    asciiOutput_->setChecked(true);
    encodeButton_ = makeButton(this, QStyle::SP_FileDialogDetailedView, "Encode", "encodeButton");
    allocButton_ = makeButton(this, QStyle::SP_FileDialogNewFolder, "Alloc", "allocButton");
    allocButton_->setToolTip("Allocate buff for input");
    saveButton_ = makeButton(this, QStyle::SP_DialogSaveButton, "Save", "saveButton");
    saveButton_->setToolTip("Save encoded buffer on disk file");
    inputSize_ = new QLabel(this);
    inputSize_->setObjectName("inputSize");
    outputSize_ = new QLabel(this);
    outputSize_->setObjectName("outputSize");

    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("tabs");
    outputView_ = new BufferView;
    outputView_->setObjectName("outputView");
    tabs_->addTab(outputView_, "Text");
    auto* options = new QWidget;
    auto* form = new QFormLayout(options);
    signer_ = new QComboBox;
    signer_->setObjectName("signer");
    signer_->setEditable(true);
    signer_->setMaxVisibleItems(5);
    signer_->lineEdit()->setMaxLength(255);
    // Long user IDs must not widen the window.
    signer_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    signer_->setMinimumContentsLength(20);
    passphrase_ = makePassphraseEntry(options);
    recipient_ = new QComboBox;
    recipient_->setObjectName("recipient");
    recipient_->setEditable(true);
    recipient_->setMaxVisibleItems(10);
    recipient_->lineEdit()->setMaxLength(255);
    recipient_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    recipient_->setMinimumContentsLength(20);
    form->addRow("Sign :", signer_);
    form->addRow("PassPhrase :", passphrase_);
    form->addRow("Encrypt for :", recipient_);
    tabs_->addTab(options, "Options");

    auto* checks = new QVBoxLayout;
    checks->setSpacing(0);
    checks->addWidget(oemToChar_);
    checks->addWidget(asciiOutput_);
    auto* sizes = makeSizeDisplays(inputSize_, outputSize_);
    auto* row = new QHBoxLayout;
    row->addWidget(closeButton);
    row->addWidget(loadButton_);
    row->addLayout(checks);
    row->addWidget(encodeButton_);
    row->addWidget(allocButton_);
    row->addWidget(saveButton_);
    row->addLayout(sizes);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inputView_, 60);
    layout->addLayout(row);
    layout->addWidget(busyIndicator());
    layout->addWidget(tabs_, 116);

    connect(closeButton, &QPushButton::clicked, this, [this] { closeChildWindow(this); });
    connect(loadButton_, &QPushButton::clicked, this, &EncodeWindow::load);
    connect(allocButton_, &QPushButton::clicked, this, &EncodeWindow::alloc);
    connect(encodeButton_, &QPushButton::clicked, this, &EncodeWindow::encode);
    connect(saveButton_, &QPushButton::clicked, this, &EncodeWindow::save);
    // Typing needs no Alloc first, and never outruns the buffer: it grows.
    connect(inputView_, &BufferView::contentChanged, this, &EncodeWindow::showSizes);
    connect(inputView_, &BufferView::contentRefused, this, [this] {
        showStatusNote(this, "Not enough memory: the text past the end of the buffer was not kept");
        QMetaObject::invokeMethod(this, [this] { bindInput(); }, Qt::QueuedConnection);
    });
    // Enter in the three option fields takes the value and moves on.
    signer_->lineEdit()->installEventFilter(this);
    passphrase_->installEventFilter(this);
    recipient_->lineEdit()->installEventFilter(this);
    bindInput();
    bindOutput();
}

EncodeWindow::~EncodeWindow()
{
    inputView_->bind(nullptr);
    outputView_->bind(nullptr);
}

void EncodeWindow::open(MainFrame& frame)
{
    auto* window = new EncodeWindow;
    auto lists = std::make_shared<KeyChoiceList>();
    window->openIn(
        frame,
        [lists] {
            *lists = fillKeyChoices();
            return true;
        },
        [window, lists] { window->showLists(*lists); });
}

void EncodeWindow::showLists(const KeyChoiceList& lists)
{
    signer_->clear();
    recipient_->clear();
    for (const auto& s : lists.signers)
        signer_->addItem(QString::fromStdString(s));
    for (const auto& r : lists.recipients)
        recipient_->addItem(QString::fromStdString(r));
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

void EncodeWindow::bindInput()
{
    inputView_->bind(&input_);
    showSizes();
}

void EncodeWindow::bindOutput()
{
    outputView_->bind(output_.isNull() ? nullptr : &output_);
    showSizes();
}

void EncodeWindow::showSizes()
{
    // The input counts the bytes that will be encoded; an allocated buffer's
    // unused zero bytes are not among them.
    inputSize_->setText(sizeText(input_.contentLength()));
    inputSize_->setToolTip(input_.isAllocated() ? QString("%1 of the %2 bytes allocated")
                                                       .arg(input_.contentLength())
                                                       .arg(input_.size())
                                                 : QString());
    outputSize_->setText(sizeText(output_.size()));
}

void EncodeWindow::load()
{
    if (busy())
        return;
    input_.release();
    bindInput();
    QString name = fileName_;
    if (!FileNameDialog("File to load", name, FileDialogMode::Open))
        return;
    fileName_ = name;
    const bool oem = oemToChar_->isChecked();
    auto loaded = std::make_shared<WindowBuffer>();
    jobs()->start(
        [loaded, oem, path = pathFromQString(name)] {
            std::int64_t size = 0;
            ByteBuffer block = Load_AllFile(path, size);
            if (!block)
                return;
            // The block ends with an extra zero byte: the content is one byte shorter.
            *loaded = WindowBuffer::fromFile(std::move(block), size - 1);
            if (oem)
                *loaded = convertedFromOem(std::move(*loaded));
        },
        [this, loaded, name] {
            input_ = std::move(*loaded);
            bindInput();
            if (!input_.isNull())
                setTitleWithFile(this, "PGP Encode", name);
        });
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
    }
    inputView_->setFocus();
}

void EncodeWindow::encode()
{
    if (busy())
        return;
    const QString signer = withoutTrailingBlanks(signer_->currentText());
    if (signer.isEmpty()) {
        output_.release();
        bindOutput();
        tabs_->setCurrentIndex(1);
        signer_->setFocus();
        return;
    }
    const std::string signerText = signer_->currentText().toStdString();
    const std::string recipientText = recipient_->currentText().toStdString();
    const bool armour = asciiOutput_->isChecked();
    auto result = std::make_shared<sdk::SdkBlock>();
    auto ok = std::make_shared<bool>(false);
    auto outcome = std::make_shared<PGPError>(kPGPError_NoErr);
    const char* inputData = input_.data();
    const std::int64_t size = input_.isNull() ? 0 : input_.contentLength();
    void* report = &eventReport_;
    // Counted as in use from the click on, so unloading cannot slip in before the job starts.
    auto use = std::make_shared<sdk::SdkUse>();
    jobs()->start(
        [=]() mutable {
            *ok = sdk::Encode_PGPBuff(inputData, static_cast<std::uint64_t>(size), *result, armour,
                                      SharedPassphrase::instance(), recipientText, signerText, report, outcome.get());
            use.reset();
        },
        [this, result, ok, outcome] {
            if (*outcome == kPGPError_UserAbort)
                return;  // the passphrase was refused: the last result stays
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

void EncodeWindow::save()
{
    if (busy() || output_.isNull() || output_.size() == 0)
        return;
    auto name = std::make_shared<QString>(withoutTrailingBlanks(recipient_->currentText()) + ".asc");
    const char* outputData = output_.data();
    const std::int64_t size = output_.size();
    jobs()->start([name, outputData, size] { SaveOnDiskFile(*name, outputData, size); }, nullptr);
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
