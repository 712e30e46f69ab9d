#include "windows/batch_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/main_frame.h"
#include "app/prompts.h"
#include "core/shared_passphrase.h"
#include "sdk/key_choices.h"

namespace {

enum Column { File, State, Result };

QString stateText(sdk::ItemState s)
{
    switch (s) {
    case sdk::ItemState::Done: return "Done";
    case sdk::ItemState::Exists: return "Skipped: the output exists";
    case sdk::ItemState::Cancelled: return "Cancelled";
    default: return "Failed";
    }
}

// An encoded item's output; a decoded one's verdict, and the name its
// output took (the message may have chosen it).
QString resultText(const sdk::ItemOutcome& o, bool encrypt)
{
    const QString output = QString::fromStdString(o.output);
    if (o.state != sdk::ItemState::Done)
        return QString::fromStdString(o.note);
    if (encrypt)
        return output;
    return QString::fromStdString(o.note) + "  →  " + QFileInfo(output).fileName();
}

}  // namespace

BatchWindow::BatchWindow(Mode mode, QWidget* parent) : ChildWindow(parent), mode_(mode)
{
    setObjectName("batchWindow");
    setWindowTitle(mode == Mode::Encrypt ? "Encrypt files" : "Decrypt files");
    resize(640, 380);
    items_ = new QTreeWidget(this);
    items_->setObjectName("batchItems");
    items_->setHeaderLabels({"File", "State", mode == Mode::Encrypt ? "Output" : "Verdict"});
    items_->setRootIsDecorated(false);
    items_->header()->setSectionResizeMode(File, QHeaderView::Stretch);
    items_->header()->setSectionResizeMode(State, QHeaderView::ResizeToContents);
    auto* addFiles = new QPushButton("Add files…", this);
    addFiles->setObjectName("addFilesButton");
    auto* addFolder = new QPushButton("Add folder…", this);
    addFolder->setObjectName("addFolderButton");
    addFolder->setVisible(mode == Mode::Encrypt);
    startButton_ = new QPushButton(mode == Mode::Encrypt ? "Encrypt" : "Decrypt", this);
    startButton_->setObjectName("startButton");
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("cancelButton");
    cancelButton_->setEnabled(false);
    overall_ = new QProgressBar(this);
    overall_->setObjectName("batchProgress");
    auto* form = new QFormLayout;
    if (mode == Mode::Encrypt)
        buildEncodeChoices(form);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {addFiles, addFolder, startButton_, cancelButton_})
        buttons->addWidget(b);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(items_, 1);
    layout->addWidget(overall_);
    layout->addWidget(busyIndicator());
    setAcceptDrops(true);
    connect(addFiles, &QPushButton::clicked, this, [this] {
        if (auto chosen = Prompts::chooseFile({"Add files", {}, {}, {"All files (*)"}, Prompts::FileMode::OpenMany}))
            addPaths(chosen->split('\n', Qt::SkipEmptyParts));
    });
    connect(addFolder, &QPushButton::clicked, this, [this] {
        if (auto chosen = Prompts::chooseFile({"Add folder", {}, {}, {}, Prompts::FileMode::Folder}))
            addPaths({*chosen});
    });
    connect(startButton_, &QPushButton::clicked, this, &BatchWindow::start);
    connect(cancelButton_, &QPushButton::clicked, this, &BatchWindow::cancel);
}

void BatchWindow::buildEncodeChoices(QFormLayout* form)
{
    operation_ = new QComboBox(this);
    operation_->setObjectName("operation");
    operation_->addItems({"Sign and encrypt", "Encrypt only", "Detached signatures"});
    signer_ = new QComboBox(this);
    signer_->setObjectName("signer");
    signer_->setEditable(true);
    recipients_ = new QLineEdit(this);
    recipients_->setObjectName("recipients");
    recipients_->setPlaceholderText("user IDs or group names, separated by commas");
    armour_ = new QCheckBox("ASCII armour (.asc)", this);
    armour_->setObjectName("armour");
    // Fields an operation does not use are disabled, as in the encode window.
    connect(operation_, &QComboBox::currentIndexChanged, this, [this](int op) {
        signer_->setEnabled(op != 1);      // encrypt only: no signer
        recipients_->setEnabled(op != 2);  // detached signatures: no recipients
    });
    form->addRow("Operation :", operation_);
    form->addRow("Sign as :", signer_);
    form->addRow("Encrypt for :", recipients_);
    form->addRow("", armour_);
}

void BatchWindow::open(MainFrame& frame, Mode mode)
{
    auto* window = new BatchWindow(mode);
    auto lists = std::make_shared<KeyChoiceList>();
    window->openIn(
        frame,
        [lists] {
            *lists = fillKeyChoices();
            return true;
        },
        [window, lists] {
            if (window->signer_)
                for (const std::string& s : lists->signers)
                    window->signer_->addItem(QString::fromStdString(s));
        });
}

void BatchWindow::addPaths(const QStringList& paths)
{
    for (const QString& p : paths)
        new QTreeWidgetItem(items_, {p, "Waiting", {}});
}

sdk::EncodeRequest BatchWindow::request() const
{
    sdk::EncodeRequest r;
    const int op = operation_->currentIndex();
    r.operation = op == 0 ? sdk::EncodeOperation::SignAndEncrypt
                : op == 1 ? sdk::EncodeOperation::EncryptOnly
                          : sdk::EncodeOperation::DetachedSignature;
    r.signer = signer_->currentText().toStdString();
    for (const QString& text : recipients_->text().split(',', Qt::SkipEmptyParts))
        r.recipients.push_back(text.trimmed().toStdString());
    r.armour = armour_->isChecked();
    return r;
}

void BatchWindow::start()
{
    if (busy() || items_->topLevelItemCount() == 0)
        return;
    stop_ = std::make_shared<PGPUInt32>(0);
    cancelled_ = false;
    overall_->setRange(0, items_->topLevelItemCount());
    overall_->setValue(0);
    runItem(0, false);
}

void BatchWindow::cancel()
{
    cancelled_ = true;
    if (stop_)
        *stop_ = 1;  // the item under way stops and leaves nothing
}

void BatchWindow::runItem(int index, bool replace)
{
    if (index >= items_->topLevelItemCount())
        return;
    if (cancelled_) {
        for (int i = index; i < items_->topLevelItemCount(); ++i)
            items_->topLevelItem(i)->setText(State, "Cancelled");
        return;
    }
    const std::string path = items_->topLevelItem(index)->text(File).toStdString();
    items_->topLevelItem(index)->setText(State, "Working…");
    auto outcome = std::make_shared<sdk::ItemOutcome>();
    const bool encrypt = mode_ == Mode::Encrypt;
    const sdk::EncodeRequest r = encrypt ? request() : sdk::EncodeRequest {};
    const sdk::JobWatch watch {nullptr, stop_.get()};
    jobs()->start(
        [=, stop = stop_] {  // stop keeps the flag the watch points to alive
            const sdk::ItemTarget target {{}, replace};
            *outcome = encrypt ? sdk::encodeItem(path, r, SharedPassphrase::instance(), target, watch)
                               : sdk::decodeItem(path, SharedPassphrase::instance(), target, watch);
        },
        [this, index, outcome] { showOutcome(index, *outcome); });
}

void BatchWindow::showOutcome(int index, const sdk::ItemOutcome& o)
{
    if (o.state == sdk::ItemState::Exists && !cancelled_ &&
        Prompts::question(windowTitle(), QString::fromStdString(o.output) + " exists already.|Replace it?"))
        return runItem(index, true);
    QTreeWidgetItem* item = items_->topLevelItem(index);
    item->setText(State, stateText(o.state));
    item->setText(Result, resultText(o, mode_ == Mode::Encrypt));
    overall_->setValue(index + 1);
    QMetaObject::invokeMethod(this, [this, index] { runItem(index + 1, false); }, Qt::QueuedConnection);
}

void BatchWindow::setControlsEnabled(bool enabled)
{
    startButton_->setEnabled(enabled);
    cancelButton_->setEnabled(!enabled);
}

void BatchWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void BatchWindow::dropEvent(QDropEvent* event)
{
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths << url.toLocalFile();
    addPaths(paths);
    event->acceptProposedAction();
}
