#include "windows/buffer_window.h"

#include "app/prompts.h"

#include <QTimer>
#include <cstring>
#include <QMimeData>
#include <QGuiApplication>
#include <QDropEvent>
#include <QDragEnterEvent>
#include <QClipboard>

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QVBoxLayout>

#include <memory>

#include "app/dialog_units.h"
#include "app/main_frame.h"
#include "core/file_io.h"
#include "core/path_text.h"
#include "windows/buffer_view.h"
#include "windows/window_controls.h"

BufferWindow::BufferWindow(const QString& objectName, const QString& title, QWidget* parent)
    : ChildWindow(parent), title_(title)
{
    setObjectName(objectName);
    setWindowTitle(title);
    resize(dluSize(font(), 447, 196));
    inputView_ = new BufferView(this);
    inputView_->setObjectName("inputView");
    closeButton_ = makeButton(this, QStyle::SP_DialogCloseButton, "Close", "closeButton");
    loadButton_ = makeButton(this, QStyle::SP_DirOpenIcon, "Load", "loadButton");
    oemToChar_ = new QCheckBox("OemToChar", this);
    oemToChar_->setObjectName("oemToChar");
    saveButton_ = makeButton(this, QStyle::SP_DialogSaveButton, "Save", "saveButton");
    inputSize_ = new QLabel(this);
    inputSize_->setObjectName("inputSize");
    outputSize_ = new QLabel(this);
    outputSize_->setObjectName("outputSize");
    tabs_ = new QTabWidget(this);
    tabs_->setObjectName("tabs");
    outputView_ = new BufferView;
    outputView_->setObjectName("outputView");

    cancelButton_ = makeButton(this, QStyle::SP_DialogCancelButton, "Cancel", "cancelButton");
    cancelButton_->hide();
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        if (cancelled_)
            __atomic_store_n(cancelled_.get(), 1, __ATOMIC_RELAXED);
    });
    connect(jobs(), &JobRunner::busyChanged, this, [this](bool busy) {
        if (!busy)
            cancelButton_->hide();
    });
    connect(closeButton_, &QPushButton::clicked, this, [this] { closeChildWindow(this); });
    connect(loadButton_, &QPushButton::clicked, this, &BufferWindow::load);
    // Typing needs no Alloc first, and never outruns the buffer: it grows.
    connect(inputView_, &BufferView::contentChanged, this, [this] { inputReplaced(); });
    connect(inputView_, &BufferView::contentRefused, this, [this] {
        showStatusNote(this, "Not enough memory: the text past the end of the buffer was not kept");
        QMetaObject::invokeMethod(this, [this] { bindInput(); }, Qt::QueuedConnection);
    });
}

BufferWindow::~BufferWindow()
{
    inputView_->bind(nullptr);
    outputView_->bind(nullptr);
}

void BufferWindow::finishLayout(QHBoxLayout* row)
{
    auto* toClipboard = makeButton(this, QStyle::SP_DialogSaveButton, "To clipboard", "toClipboardButton");
    toClipboard->setToolTip("Put the output on the clipboard");
    connect(toClipboard, &QPushButton::clicked, this, &BufferWindow::copyOutputToClipboard);
    row->addWidget(toClipboard);
    setAcceptDrops(true);
    row->addLayout(makeSizeDisplays(inputSize_, outputSize_));
    row->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(inputView_, 60);
    layout->addLayout(row);
    auto* busyRow = new QHBoxLayout;
    busyRow->addWidget(busyIndicator(), 1);
    busyRow->addWidget(cancelButton_);
    layout->addLayout(busyRow);
    layout->addWidget(tabs_, 116);
    bindInput();
    bindOutput();
}

void BufferWindow::bindInput()
{
    inputView_->bind(&input_);
    showSizes();
}

void BufferWindow::bindOutput()
{
    outputView_->bind(output_.isNull() ? nullptr : &output_);
    showSizes();
}

void BufferWindow::showSizes()
{
    // The input counts the bytes that will be used; an allocated buffer's
    // unused zero bytes are not among them.
    inputSize_->setText(sizeText(input_.contentLength()));
    inputSize_->setToolTip(input_.isAllocated() ? QString("%1 of the %2 bytes allocated")
                                                       .arg(input_.contentLength())
                                                       .arg(input_.size())
                                                 : QString());
    outputSize_->setText(sizeText(output_.size()));
}

void BufferWindow::load()
{
    if (busy())
        return;
    QString name = fileName_;
    if (!FileNameDialog("File to load", name, FileDialogMode::Open))
        return;
    loadFile(name);
}

void BufferWindow::loadFile(const QString& name, std::function<void()> then)
{
    if (busy())
        return;
    fileName_ = name;
    input_.release();
    bindInput();
    inputReplaced();
    const bool oem = oemToChar_->isChecked();
    auto loaded = std::make_shared<WindowBuffer>();
    jobs()->start(
        [this, loaded, oem, path = pathFromQString(name)] {
            std::int64_t size = 0;
            ByteBuffer block = Load_AllFile(path, size);
            if (!block)
                return;
            // The block ends with an extra zero byte: the content is one byte shorter.
            *loaded = prepareLoaded(WindowBuffer::fromFile(std::move(block), size - 1), oem);
        },
        [this, loaded, name, then = std::move(then)] {
            input_ = std::move(*loaded);
            bindInput();
            if (!input_.isNull()) {
                setTitleWithFile(this, title_, name);
                inputReplaced(name);
                if (then)  // once this job has let go of the worker
                    QTimer::singleShot(0, this, then);
            }
        });
}

std::shared_ptr<const sdk::JobProgress> BufferWindow::jobProgress()
{
    auto cancelled = std::make_shared<PGPUInt32>(0);
    cancelled_ = cancelled;
    cancelButton_->show();
    BufferWindow* window = this;  // outlives the job: closing waits for it
    return std::make_shared<const sdk::JobProgress>([cancelled, window](std::uint64_t done, std::uint64_t total) {
        const int permille = total ? static_cast<int>(done * 1000 / total) : 0;
        QMetaObject::invokeMethod(window, [window, permille] { window->showProgress(permille); }, Qt::QueuedConnection);
        return !__atomic_load_n(cancelled.get(), __ATOMIC_RELAXED);
    });
}

WindowBuffer BufferWindow::prepareLoaded(WindowBuffer file, bool) const { return file; }

void BufferWindow::inputReplaced(const QString& file)
{
    inputFile_ = file;
    showSizes();
    inputChanged();
}

void BufferWindow::inputChanged()
{
    if (output_.isNull())
        return;
    output_.release();
    bindOutput();
}

void BufferWindow::saveOutput(const QString& proposedName)
{
    if (busy() || output_.isNull() || output_.size() == 0)
        return;
    auto name = std::make_shared<QString>(proposedName);
    const char* outputData = output_.data();
    const std::int64_t size = output_.size();
    jobs()->start([name, outputData, size] { SaveOnDiskFile(*name, outputData, size); }, nullptr);
}

void BufferWindow::setInputText(const QByteArray& text)
{
    if (busy())
        return;
    WindowBuffer typed;
    if (!typed.reserveContent(text.size()))
        return;
    std::memcpy(typed.data(), text.constData(), static_cast<std::size_t>(text.size()));
    typed.setContentLength(text.size());
    input_.release();
    input_ = std::move(typed);
    fileName_.clear();
    bindInput();
    inputReplaced();
}

void BufferWindow::copyOutputToClipboard()
{
    const std::int64_t n = output_.isNull() ? 0 : output_.contentLength();
    const QByteArray bytes(output_.data(), static_cast<qsizetype>(n));
    if (n == 0 || bytes.contains('\0') || QString::fromUtf8(bytes).toUtf8() != bytes) {
        Prompts::message("To clipboard", n ? "The output is not text: choose armoured output to copy it, or save it."
                                           : "There is no output yet.",
                         Prompts::Icon::Information);
        return;
    }
    QGuiApplication::clipboard()->setText(QString::fromUtf8(bytes));
    showStatusNote(this, "The output is on the clipboard");
}

void BufferWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls() && !busy())
        event->acceptProposedAction();
}

void BufferWindow::dropEvent(QDropEvent* event)
{
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) {
            event->acceptProposedAction();
            return loadFile(url.toLocalFile());  // the first file; a window holds one input
        }
}
