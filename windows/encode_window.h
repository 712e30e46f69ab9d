#pragma once
#include <QString>

#include "sdk/pgp_data.h"
#include "windows/child_window.h"
#include "sdk/key_choices.h"
#include "windows/window_buffer.h"

class BufferView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The window in which a text or a file is signed and encrypted.
class EncodeWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit EncodeWindow(QWidget* parent = nullptr);
    ~EncodeWindow() override;

    // Opens a new encode window in the frame once the key rings are open.
    static void open(MainFrame& frame);

    const WindowBuffer& input() const { return input_; }
    const WindowBuffer& output() const { return output_; }

    void load();
    void alloc();
    void encode();
    void save();

protected:
    void setControlsEnabled(bool enabled) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showLists(const KeyChoiceList& lists);
    void bindInput();
    void bindOutput();
    void showSizes();

    QString fileName_;
    WindowBuffer input_;
    WindowBuffer output_;
    int lastResult_ = 0;
    // The event handler's user value during encoding. A whole report, not a
    // single word: an event the SDK sends while encoding is written here.
    sdk::PGPData eventReport_;

    BufferView* inputView_;
    BufferView* outputView_;
    QCheckBox* oemToChar_;
    QCheckBox* asciiOutput_;
    QPushButton* loadButton_;
    QPushButton* encodeButton_;
    QPushButton* allocButton_;
    QPushButton* saveButton_;
    QLabel* inputSize_;
    QLabel* outputSize_;
    QTabWidget* tabs_;
    QComboBox* signer_;
    QLineEdit* passphrase_;
    QComboBox* recipient_;
};
