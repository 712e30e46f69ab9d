#pragma once
// What the encode and decode windows share: an input and an output buffer
// with their views and sizes, the Close, Load and Save buttons, the
// OemToChar box, the tabs, and loading and saving on the window's worker.
#include <QString>

#include <functional>

#include <atomic>
#include <memory>

#include "sdk/pgp_data.h"
#include "windows/child_window.h"
#include "windows/window_buffer.h"

class BufferView;
class QCheckBox;
class QHBoxLayout;
class QLabel;
class QPushButton;
class QTabWidget;

class BufferWindow : public ChildWindow {
    Q_OBJECT
public:
    ~BufferWindow() override;

    const WindowBuffer& input() const { return input_; }
    const WindowBuffer& output() const { return output_; }
    // Asks for a file and loads it into the input on the worker; a cancelled
    // choice changes nothing.
    void load();
    // Loads the file without asking; then() runs once it is loaded.
    void loadFile(const QString& name, std::function<void()> then = {});
    // Puts the text in as the input, as if it had been typed.
    void setInputText(const QByteArray& text);
    // Puts the output on the clipboard, when it is text.
    void copyOutputToClipboard();
    // The file the input was loaded from; empty when it was typed or changed.
    const QString& inputFile() const { return inputFile_; }

protected:
    BufferWindow(const QString& objectName, const QString& title, QWidget* parent);
    // A file dropped on the window is loaded into it.
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    // Lays the window out: the input, the row of controls (which the window
    // made with its own buttons among the common ones), the busy bar, the tabs.
    void finishLayout(QHBoxLayout* row);
    void bindInput();
    void bindOutput();
    void showSizes();
    // Saves the output under a proposed name, asked in the save dialog.
    void saveOutput(const QString& proposedName);
    // The progress report of the job about to start: the busy bar shows its
    // percent, and Cancel stops the job. Kept alive by the job.
    std::shared_ptr<const sdk::JobProgress> jobProgress();
    // The stop flag of the job jobProgress() was made for.
    const PGPUInt32* stopFlag() const { return cancelled_.get(); }
    // What a loaded file's content becomes; runs on the worker.
    virtual WindowBuffer prepareLoaded(WindowBuffer file, bool oemToChar) const;
    // The input was loaded, typed into or replaced: the output (and what
    // was said of it) belonged to the input before, and goes.
    virtual void inputChanged();
    void inputReplaced(const QString& file = {});

    QString fileName_;
    QString inputFile_;
    WindowBuffer input_;
    WindowBuffer output_;
    BufferView* inputView_;
    BufferView* outputView_;
    QPushButton* closeButton_;
    QPushButton* loadButton_;
    QPushButton* saveButton_;
    QCheckBox* oemToChar_;
    QLabel* inputSize_;
    QLabel* outputSize_;
    QTabWidget* tabs_;

private:
    QString title_;
    QPushButton* cancelButton_;
    // The running job's stop flag, set by Cancel: the SDK looks at it before
    // each read of input (stopFlag()), the progress callback at each event.
    std::shared_ptr<PGPUInt32> cancelled_;
};
