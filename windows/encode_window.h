#pragma once
#include <QString>

#include <memory>
#include <optional>

#include "windows/buffer_window.h"
#include "sdk/encode_modes.h"
#include "sdk/key_choices.h"

class BufferView;
class QCheckBox;
class QComboBox;
class QFormLayout;
class QListWidget;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

// The window in which a text or a file is signed and encrypted.
class EncodeWindow : public BufferWindow {
    Q_OBJECT
public:
    explicit EncodeWindow(QWidget* parent = nullptr);
    ~EncodeWindow() override;

    // Opens a new encode window in the frame once the key rings are open.
    static void open(MainFrame& frame);
    // Opens a window with the file loaded, ready to encode.
    static void openWithFile(MainFrame& frame, const QString& path);
    // Opens a window with the text as its input (the clipboard's).
    static void openWithText(MainFrame& frame, const QByteArray& text);

    void alloc();
    void encode();
    void save();

protected:
    void setControlsEnabled(bool enabled) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Opens a window with the key lists filled, then gives it its input.
    static void openWith(MainFrame& frame, std::function<void(EncodeWindow*)> input);
    WindowBuffer prepareLoaded(WindowBuffer file, bool oemToChar) const override;
    QWidget* makeOptionsTab();
    void showLists(const KeyChoiceList& lists);
    void addModeControls(QFormLayout* form, QComboBox* choice);
    sdk::EncodeRequest encodeRequest() const;
    // Enables the fields the chosen operation uses, and only those.
    void showFieldsOfOperation();
    // The password of a password-only encoding, typed twice; nothing when
    // refused or when the two differ (told).
    std::optional<SecretText> askPasswordTwice();
    void startEncode(const sdk::EncodeRequest& request, std::shared_ptr<PassphraseBuffer> password);
    // After "Unable to find a key for …": offers to look the text up.
    void offerLookUp(const sdk::EncodeRequest& request);
    void refreshLists();

    int lastResult_ = 0;
    bool listsStale_ = false;  // the keys changed while a job ran

    QCheckBox* asciiOutput_;
    QPushButton* encodeButton_;
    QPushButton* allocButton_;
    QComboBox* signer_;
    QLineEdit* passphrase_;
    QComboBox* recipient_;
    QComboBox* operation_;
    QComboBox* moreChoice_;
    QListWidget* moreRecipients_;
    QPushButton* addRecipient_;
    QPushButton* removeRecipient_;
    QCheckBox* encryptToSelf_;
    bool selfChosen_ = false;  // the user set "Also encrypt to my signing key"
};
