#include "windows/decode_window.h"

#include <QTimer>

#include "sdk/encode_modes.h"
#include "sdk/verify_detached.h"

#include <QApplication>
#include <QFileInfo>
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
#include "core/file_io.h"
#include "app/main_frame.h"
#include "app/prompts.h"
#include "core/path_text.h"
#include "core/shared_passphrase.h"
#include "platform/code_page.h"
#include "sdk/decode_buffer.h"
#include "sdk/sdk_session.h"
#include "windows/buffer_view.h"
#include "windows/lookup_dialog.h"
#include "windows/verdict_panel.h"
#include "windows/window_controls.h"

namespace {

QCheckBox* flagBox(const char* text)
{
    auto* box = new QCheckBox(text);
    box->setObjectName(text);
    return box;
}

// Decoded OEM (CP866) text as UTF-8, from its first byte up to the first
// zero byte; null when there is nothing to convert (binary output, or text
// that reads the same).
ByteBuffer oemConvertedOutput(const sdk::SdkBlock& output)
{
    const char* out = output.data();
    const std::size_t total = output.size();
    const char* nul = static_cast<const char*>(std::memchr(out, 0, total));
    const std::size_t textLength = nul ? static_cast<std::size_t>(nul - out) : total;
    // Binary output (anything but zero bytes after a zero) is never converted.
    for (std::size_t i = textLength; i < total; ++i)
        if (out[i] != 0)
            return {};
    std::size_t length = 0;
    return oemTextConverted(out, textLength, total - textLength, length);  // the zero bytes after it stay
}

}  // namespace

DecodeWindow::DecodeWindow(QWidget* parent) : BufferWindow("PGPDECODE_DIALOG", "PGP Decode", parent)
{
    loadButton_->setToolTip("Load an encoded file");
    oemToChar_->setChecked(true);
    decodeButton_ = makeButton(this, QStyle::SP_BrowserReload, "Decode", "decodeButton");
    saveButton_->setToolTip("Save decoded buffer on disk file");
    tabs_->addTab(makeTextTab(), "Text");
    tabs_->addTab(makeOptionsTab(), "Options");
    auto* row = new QHBoxLayout;
    row->addWidget(closeButton_);
    row->addWidget(loadButton_);
    row->addWidget(oemToChar_);
    row->addWidget(decodeButton_);
    row->addWidget(saveButton_);
    finishLayout(row);
    report_.signerName = signerText_.data();
    report_.signerNameSize = 254;
    report_.encryptedToIDs = &ids_;
    report_.encryptedToNames = &names_;
    bindReportFields();
    connect(decodeButton_, &QPushButton::clicked, this, &DecodeWindow::decode);
    connect(saveButton_, &QPushButton::clicked, this, &DecodeWindow::save);
    // Enter in any control accepts it (a button runs) and moves on.
    for (QWidget* w : findChildren<QWidget*>())
        if (w->focusPolicy() != Qt::NoFocus)
            w->installEventFilter(this);
    showReport();
}

DecodeWindow::~DecodeWindow() { wipeMemory(signerText_.data(), signerText_.size()); }

QWidget* DecodeWindow::makeTextTab()
{
    auto* textTab = new QWidget;
    auto* textLayout = new QVBoxLayout(textTab);
    textLayout->setContentsMargins(0, 0, 0, 0);
    textLayout->setSpacing(0);
    verdicts_ = new VerdictPanel(textTab);
    connect(verdicts_, &VerdictPanel::lookUpRequested, this, [this](const QString& keyId) {
        auto* dialog = new LookupDialog(this, keyId);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
        dialog->show();
        dialog->lookUp();  // the user asked for this one by pressing "Look up"
    });
    textLayout->addWidget(verdicts_);
    textLayout->addWidget(outputView_, 1);
    return textTab;
}

QWidget* DecodeWindow::makeOptionsTab()
{
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
    return options;
}

// The check boxes, the validity and the signer entry write back into the report.
void DecodeWindow::bindReportFields()
{
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
}

void DecodeWindow::open(MainFrame& frame)
{
    auto* window = new DecodeWindow;
    window->openIn(frame, nullptr, nullptr);
}

void DecodeWindow::openWithText(MainFrame& frame, const QByteArray& text)
{
    auto* window = new DecodeWindow;
    window->openIn(frame, nullptr, [window, text] {
        QTimer::singleShot(0, window, [window, text] {
            window->setInputText(text);
            window->decode();
        });
    });
}

void DecodeWindow::openWithFile(MainFrame& frame, const QString& path)
{
    auto* window = new DecodeWindow;
    window->openIn(frame, nullptr, [window, path] {
        // After the opening job has let go of the worker.
        QTimer::singleShot(0, window, [window, path] { window->loadFile(path, [window] { window->decode(); }); });
    });
}

void DecodeWindow::setControlsEnabled(bool enabled)
{
    // The input is read by the job: it takes no typing meanwhile.
    for (QWidget* w : {static_cast<QWidget*>(loadButton_), static_cast<QWidget*>(decodeButton_),
                       static_cast<QWidget*>(saveButton_), static_cast<QWidget*>(inputView_)})
        w->setEnabled(enabled);
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
    const auto& recipients = result_.records.recipients;
    for (const auto& r : recipients)
        encryptedTo_->addItem(QString::fromStdString(sdk::recipientText(r)));
    encryptedToKeys_->clear();
    for (const auto& name : names_)
        encryptedToKeys_->addItem(QString::fromUtf8(name.data()));
    encryptedTo_->setCurrentIndex(recipients.empty() ? -1 : 0);
    encryptedToKeys_->setCurrentIndex(names_.empty() ? -1 : 0);
    if (decoded_)
        verdicts_->showVerdicts(result_.verdicts, subject_);
    else
        verdicts_->clear();
}

void DecodeWindow::showPendingReport()
{
    const QSignalBlocker blocks[] = {QSignalBlocker(checked_), QSignalBlocker(verified_), QSignalBlocker(keyRevoked_),
                                     QSignalBlocker(keyDisabled_), QSignalBlocker(keyExpired_),
                                     QSignalBlocker(keyMeetsValidityThreshold_), QSignalBlocker(keyValidity_)};
    for (QCheckBox* box : {checked_, verified_, keyRevoked_, keyDisabled_, keyExpired_, keyMeetsValidityThreshold_})
        box->setChecked(false);
    keyValidity_->setValue(0);
    signedBy_->clear();
    encryptedTo_->clear();
    encryptedToKeys_->clear();
    verdicts_->showPending();
}

std::optional<QString> DecodeWindow::signedFileFor() const
{
    // FILE.sig or FILE.asc beside FILE: that file; any other, the user's choice.
    QString beside = fileName_;
    for (const char* ext : {".sig", ".asc"})
        if (beside.endsWith(ext, Qt::CaseInsensitive)) {
            beside.chop(4);
            if (!beside.isEmpty() && QFileInfo(beside).isFile())
                return beside;
        }
    return Prompts::chooseFile({"Signed file", QFileInfo(fileName_).absolutePath(), QFileInfo(beside).fileName(),
                                {"All files (*)"}, Prompts::FileMode::Open});
}

void DecodeWindow::verifyDetached(const char* signature, std::int64_t size)
{
    const std::optional<QString> signedFile = signedFileFor();
    if (!signedFile)
        return;
    startJob(QFileInfo(*signedFile).fileName(), [signature, size, path = pathFromQString(*signedFile)](DecodeJob& job) {
        job.result = sdk::verifyDetachedBuffer(signature, static_cast<std::uint64_t>(size), path);
    });
}

void DecodeWindow::decode()
{
    if (busy())
        return;
    const char* inputData = input_.data();
    const std::int64_t size = input_.isNull() ? 0 : input_.contentLength();
    if (size > 0 && sdk::looksLikeDetachedSignature(inputData, static_cast<std::uint64_t>(size)))
        return verifyDetached(inputData, size);
    const bool oem = oemToChar_->isChecked();
    auto progress = jobProgress();
    const sdk::JobWatch watch {progress.get(), stopFlag()};
    const QString subject = inputFile().isEmpty() ? QString() : QFileInfo(inputFile()).fileName();
    startJob(subject, [inputData, size, oem, progress, watch](DecodeJob& job) mutable {
        job.result = sdk::Decode_PGPBuff(inputData, static_cast<std::uint64_t>(size), job.output,
                                         SharedPassphrase::instance(), watch);
        progress.reset();  // held until the job no longer reports
        if (oem && job.output)
            job.converted = oemConvertedOutput(job.output);
        if (job.converted)
            job.output.release();  // only the converted text is kept
    });
}

// Runs run on a worker and shows its result. The earlier result stays until
// this one replaces it, so that a refused passphrase leaves the window as it
// was; only its display is emptied meanwhile.
void DecodeWindow::startJob(const QString& subject, std::function<void(DecodeJob&)> run)
{
    showPendingReport();
    auto job = std::make_shared<DecodeJob>();
    job->subject = subject;
    // Counted as in use from the click on, so unloading cannot slip in before the job starts.
    auto use = std::make_shared<sdk::SdkUse>();
    jobs()->start(
        [job, use, run = std::move(run)]() mutable {
            run(*job);
            use.reset();
        },
        [this, job] { takeResult(*job); });
}

void DecodeWindow::takeResult(DecodeJob& job)
{
    if (job.result.outcome == kPGPError_UserAbort) {
        showReport();  // the passphrase was refused: nothing changes
        return;
    }
    output_.release();
    if (job.converted) {
        const std::int64_t n = job.converted.size();
        output_ = WindowBuffer::allocated(std::move(job.converted), n);
    } else if (job.output) {
        output_ = WindowBuffer::fromSdk(std::move(job.output));
    }
    // Each decode shows its own message's report only.
    clearReport();
    result_ = std::move(job.result);
    subject_ = job.subject;
    sdk::fillPGPData(result_.records, report_);
    decoded_ = true;
    bindOutput();
    showReport();
    if (result_.decoded())
        tabs_->setCurrentIndex(0);
}

void DecodeWindow::clearReport()
{
    report_.signature = {};
    signerText_.fill(0);
    ids_.clear();
    names_.clear();
    result_ = {};
    subject_.clear();
    decoded_ = false;
}

void DecodeWindow::inputChanged()
{
    BufferWindow::inputChanged();
    if (!decoded_)
        return;
    clearReport();
    showReport();
}

QString DecodeWindow::proposedSaveName() const
{
    const QString name = withoutTrailingBlanks(QString::fromUtf8(signerText_.data())) + ".txt";
    if (!name.startsWith('.'))
        return name;
    // Unsigned: ".txt" alone would be a hidden file here; the loaded file's
    // name without its message extension is proposed instead.
    QString base = QFileInfo(fileName_).fileName();
    for (const char* ext : {".asc", ".gpg", ".pgp"})
        if (base.endsWith(ext, Qt::CaseInsensitive)) {
            base.chop(4);
            return base.isEmpty() || base.startsWith('.') ? QString("decoded.txt") : base;
        }
    return base.isEmpty() || base.startsWith('.') ? QString("decoded.txt") : base + ".txt";
}

void DecodeWindow::save() { saveOutput(proposedSaveName()); }

bool DecodeWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        auto* widget = qobject_cast<QWidget*>(watched);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && widget && widget != inputView_ &&
            widget != outputView_) {
            // The control is accepted (a button runs; other values are taken
            // as typed) and the focus moves to the next control that takes input.
            if (auto* b = qobject_cast<QPushButton*>(widget))
                b->click();
            focusNextInput(widget);
            return true;
        }
    }
    return ChildWindow::eventFilter(watched, event);
}
