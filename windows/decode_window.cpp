#include "windows/decode_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cstring>
#include <memory>

#include "app/dialog_units.h"
#include "app/file_io.h"
#include "app/main_frame.h"
#include "app/shared_passphrase.h"
#include "platform/code_page.h"
#include "sdk/decode_buffer.h"
#include "sdk/sdk_session.h"
#include "windows/buffer_view.h"
#include "windows/window_controls.h"

namespace {

QCheckBox* flagBox(const char* text)
{
    auto* box = new QCheckBox(text);
    box->setObjectName(text);
    return box;
}

// What one decode job produced, handed to the window when it ends.
struct DecodeJob {
    sdk::SdkBlock output;
    sdk::DecodeReport report;
};

}  // namespace

DecodeWindow::DecodeWindow(QWidget* parent) : ChildWindow(parent)
{
    setObjectName("PGPDECODE_DIALOG");
    setWindowTitle("PGP Decode");
    resize(dluSize(font(), 447, 196));

    inputView_ = new BufferView(this);
    inputView_->setObjectName("inputView");
    auto* closeButton = makeButton(this, QStyle::SP_DialogCloseButton, "Close", "closeButton");
    loadButton_ = makeButton(this, QStyle::SP_DirOpenIcon, "Load", "loadButton");
    loadButton_->setToolTip("Load an encoded file");
    oemToChar_ = new QCheckBox("OemToChar", this);
    oemToChar_->setObjectName("oemToChar");
    oemToChar_->setChecked(true);
    decodeButton_ = makeButton(this, QStyle::SP_BrowserReload, "Decode", "decodeButton");
    saveButton_ = makeButton(this, QStyle::SP_DialogSaveButton, "Save", "saveButton");
    saveButton_->setToolTip("Save decoded buffer on disk file");
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
    auto* grid = new QGridLayout(options);
    passphrase_ = makePassphraseEntry(options);
    signedBy_ = new QLineEdit;
    signedBy_->setObjectName("signedBy");
    signedBy_->setMaxLength(254);
    encryptedTo_ = new QComboBox;
    encryptedTo_->setObjectName("encryptedTo");
    encryptedToKeys_ = new QComboBox;
    encryptedToKeys_->setObjectName("encryptedToKeys");
    for (QComboBox* box : {encryptedTo_, encryptedToKeys_}) {
        box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        box->setMinimumContentsLength(20);
    }
    checked_ = flagBox("checked");
    verified_ = flagBox("verified");
    keyRevoked_ = flagBox("keyRevoked");
    keyDisabled_ = flagBox("keyDisabled");
    keyExpired_ = flagBox("keyExpired");
    keyMeetsValidityThreshold_ = flagBox("keyMeetsValidityThreshold");
    keyValidity_ = new QSpinBox;
    keyValidity_->setObjectName("keyValidity");
    keyValidity_->setRange(INT_MIN, INT_MAX);
    keyValidity_->setToolTip("PGPData.keyValidity");
    grid->addWidget(new QLabel("PassPhrase :"), 0, 0, Qt::AlignRight);
    grid->addWidget(passphrase_, 0, 1, 1, 2);
    grid->addWidget(new QLabel("Signed by :"), 1, 0, Qt::AlignRight);
    grid->addWidget(signedBy_, 1, 1, 1, 2);
    grid->addWidget(new QLabel("Encrypted to :"), 2, 0, Qt::AlignRight);
    grid->addWidget(encryptedTo_, 2, 1, 1, 2);
    grid->addWidget(new QLabel("Encrypted to keys which we have :"), 3, 0, Qt::AlignRight);
    grid->addWidget(encryptedToKeys_, 3, 1, 1, 2);
    grid->addWidget(checked_, 4, 1);
    grid->addWidget(keyDisabled_, 4, 2);
    grid->addWidget(verified_, 5, 1);
    grid->addWidget(keyExpired_, 5, 2);
    grid->addWidget(keyRevoked_, 6, 1);
    grid->addWidget(keyMeetsValidityThreshold_, 6, 2);
    grid->addWidget(new QLabel("keyValidity :"), 7, 0, Qt::AlignRight);
    grid->addWidget(keyValidity_, 7, 1);
    grid->setColumnStretch(2, 1);
    grid->setRowStretch(8, 1);
    tabs_->addTab(options, "Options");

    auto* sizes = new QVBoxLayout;
    sizes->setSpacing(0);
    sizes->addWidget(inputSize_);
    sizes->addWidget(outputSize_);
    auto* row = new QHBoxLayout;
    row->addWidget(closeButton);
    row->addWidget(loadButton_);
    row->addWidget(oemToChar_);
    row->addWidget(decodeButton_);
    row->addWidget(saveButton_);
    row->addLayout(sizes);
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inputView_, 60);
    layout->addLayout(row);
    layout->addWidget(busyIndicator());
    layout->addWidget(tabs_, 116);

    // The check boxes, the validity and the signer entry write back into the report.
    auto bindFlag = [this](QCheckBox* box, PGPBoolean sdk::PGPData::*, PGPBoolean PGPEventSignatureData::*field) {
        connect(box, &QCheckBox::toggled, this, [this, field](bool on) { report_.signature.*field = on ? 1 : 0; });
    };
    bindFlag(checked_, nullptr, &PGPEventSignatureData::checked);
    bindFlag(verified_, nullptr, &PGPEventSignatureData::verified);
    bindFlag(keyRevoked_, nullptr, &PGPEventSignatureData::keyRevoked);
    bindFlag(keyDisabled_, nullptr, &PGPEventSignatureData::keyDisabled);
    bindFlag(keyExpired_, nullptr, &PGPEventSignatureData::keyExpired);
    bindFlag(keyMeetsValidityThreshold_, nullptr, &PGPEventSignatureData::keyMeetsValidityThreshold);
    connect(keyValidity_, &QSpinBox::valueChanged, this, [this](int v) { report_.signature.keyValidity = v; });
    connect(signedBy_, &QLineEdit::textEdited, this, [this](const QString& t) {
        QByteArray utf8 = t.toUtf8();
        signerText_.fill(0);
        std::memcpy(signerText_.data(), utf8.constData(), std::min<std::size_t>(static_cast<std::size_t>(utf8.size()), 254));
    });

    connect(closeButton, &QPushButton::clicked, this, [this] { closeChildWindow(this); });
    connect(loadButton_, &QPushButton::clicked, this, &DecodeWindow::load);
    connect(decodeButton_, &QPushButton::clicked, this, &DecodeWindow::decode);
    connect(saveButton_, &QPushButton::clicked, this, &DecodeWindow::save);

    // Enter in any control accepts it (a button runs) and moves on.
    for (QWidget* w : findChildren<QWidget*>())
        if (w->focusPolicy() != Qt::NoFocus)
            w->installEventFilter(this);
    bindInput();
    bindOutput();
    showReport();
}

DecodeWindow::~DecodeWindow()
{
    inputView_->bind(nullptr);
    outputView_->bind(nullptr);
    wipeMemory(signerText_.data(), signerText_.size());
}

void DecodeWindow::open(MainFrame& frame)
{
    auto* window = new DecodeWindow;
    window->openIn(frame, nullptr, nullptr);
}

void DecodeWindow::setControlsEnabled(bool enabled)
{
    for (QWidget* w : {static_cast<QWidget*>(loadButton_), static_cast<QWidget*>(decodeButton_),
                       static_cast<QWidget*>(saveButton_)})
        w->setEnabled(enabled);
}

void DecodeWindow::bindInput()
{
    inputView_->bind(input_.isNull() ? nullptr : &input_);
    inputSize_->setText(sizeText(input_.size()));
}

void DecodeWindow::bindOutput()
{
    outputView_->bind(output_.isNull() ? nullptr : &output_);
    outputSize_->setText(sizeText(output_.size()));
}

void DecodeWindow::showReport()
{
    const PGPEventSignatureData& s = report_.signature;
    const QSignalBlocker blocks[] = {QSignalBlocker(checked_), QSignalBlocker(verified_), QSignalBlocker(keyRevoked_),
                                     QSignalBlocker(keyDisabled_), QSignalBlocker(keyExpired_),
                                     QSignalBlocker(keyMeetsValidityThreshold_), QSignalBlocker(keyValidity_)};
    checked_->setChecked(s.checked);
    verified_->setChecked(s.verified);
    keyRevoked_->setChecked(s.keyRevoked);
    keyDisabled_->setChecked(s.keyDisabled);
    keyExpired_->setChecked(s.keyExpired);
    keyMeetsValidityThreshold_->setChecked(s.keyMeetsValidityThreshold);
    keyValidity_->setValue(s.keyValidity);
    signedBy_->setText(QString::fromUtf8(signerText_.data()));
    encryptedTo_->clear();
    for (const auto& id : ids_)
        encryptedTo_->addItem(QString::fromUtf8(id.data()));
    encryptedToKeys_->clear();
    for (const auto& name : names_)
        encryptedToKeys_->addItem(QString::fromUtf8(name.data()));
    encryptedTo_->setCurrentIndex(ids_.empty() ? -1 : 0);
    encryptedToKeys_->setCurrentIndex(names_.empty() ? -1 : 0);
}

void DecodeWindow::load()
{
    if (busy())
        return;
    input_.release();
    bindInput();
    QString name = fileName_;
    if (!FileNameDialog("File to load", name, FileDialogMode::Open))
        return;
    fileName_ = name;
    auto loaded = std::make_shared<WindowBuffer>();
    jobs()->start(
        [loaded, path = name.toStdString()] {
            std::int64_t size = 0;
            ByteBuffer block = Load_AllFile(path, size);
            if (block)
                *loaded = WindowBuffer::fromFile(std::move(block), size - 1);
        },
        [this, loaded] {
            input_ = std::move(*loaded);
            bindInput();
        });
}

void DecodeWindow::decode()
{
    if (busy())
        return;
    output_.release();
    bindOutput();
    signerText_.fill(0);
    report_.signature = PGPEventSignatureData {};
    showReport();

    auto job = std::make_shared<DecodeJob>();
    const char* inputData = input_.data();
    const std::int64_t size = input_.isNull() ? 0 : input_.contentLength();
    const bool oem = oemToChar_->isChecked();
    auto converted = std::make_shared<ByteBuffer>();
    // Counted as in use from the click on, so unloading cannot slip in before the job starts.
    auto use = std::make_shared<sdk::SdkUse>();
    jobs()->start(
        [job, inputData, size, oem, converted, use]() mutable {
            sdk::Decode_PGPBuff(inputData, static_cast<std::uint64_t>(size), job->output, job->report.data,
                                SharedPassphrase::instance());
            use.reset();
            if (oem && job->output) {
                // From the first byte up to the first zero byte, OEM text becomes UTF-8;
                // text that already is UTF-8 stays as it is.
                const char* out = job->output.data();
                const std::size_t total = job->output.size();
                const char* nul = static_cast<const char*>(std::memchr(out, 0, total));
                const std::size_t textLength = nul ? static_cast<std::size_t>(nul - out) : total;
                // Binary output (anything but zero bytes after a zero) is never converted.
                bool onlyZerosAfter = true;
                for (std::size_t i = textLength; i < total && onlyZerosAfter; ++i)
                    onlyZerosAfter = out[i] == 0;
                const bool isText = onlyZerosAfter && platform::looksLikeText(out, textLength);
                const std::string text = isText ? platform::oemToAnsi(out, textLength) : std::string(out, textLength);
                if (isText && (text.size() != textLength || !std::equal(text.begin(), text.end(), out))) {
                    *converted = ByteBuffer::allocateZeroed(static_cast<std::int64_t>(text.size() + total - textLength));
                    if (*converted) {
                        std::memcpy(converted->data(), text.data(), text.size());
                        std::memcpy(converted->data() + text.size(), out + textLength, total - textLength);
                    }
                }
            }
        },
        [this, job, converted] {
            if (*converted) {
                job->output.release();
                output_ = WindowBuffer::allocated(std::move(*converted));
            } else if (job->output) {
                output_ = WindowBuffer::fromSdk(std::move(job->output));
            }
            report_.signature = job->report.data.signature;
            signerText_ = job->report.signer;
            signerText_.back() = '\0';
            // Rows of earlier decodes stay; this one's come after them.
            ids_.insert(ids_.end(), job->report.ids.begin(), job->report.ids.end());
            names_.insert(names_.end(), job->report.names.begin(), job->report.names.end());
            bindOutput();
            showReport();
            wipeMemory(job->report.signer.data(), job->report.signer.size());
        });
}

void DecodeWindow::save()
{
    if (busy() || output_.isNull() || output_.size() == 0)
        return;
    auto name = std::make_shared<QString>(withoutTrailingBlanks(QString::fromUtf8(signerText_.data())) + ".txt");
    const char* outputData = output_.data();
    const std::int64_t size = output_.size();
    jobs()->start([name, outputData, size] { SaveOnDiskFile(*name, outputData, size); }, nullptr);
}

bool DecodeWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && widget && widget != inputView_ &&
            widget != outputView_) {
            if (auto* b = qobject_cast<QPushButton*>(widget))
                b->click();
            else if (auto* c = qobject_cast<QCheckBox*>(widget))
                (void)c;  // its value is already taken
            widget->nextInFocusChain()->setFocus();
            return true;
        }
    }
    return ChildWindow::eventFilter(watched, event);
}
