#pragma once
#include <optional>
#include <QString>

#include <array>
#include <functional>
#include <vector>

#include "sdk/decode_result.h"
#include "sdk/pgp_data.h"
#include "windows/buffer_window.h"

class BufferView;
class VerdictPanel;

// What one decode job produced, handed to the window when it ends.
struct DecodeJob {
    sdk::SdkBlock output;
    ByteBuffer converted;  // the output as UTF-8, when OemToChar changed it
    sdk::DecodeResult result;
    QString subject;  // the file the verdicts are about, when there is one
};
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;

// The window in which a message is decrypted and verified.
class DecodeWindow : public BufferWindow {
    Q_OBJECT
public:
    explicit DecodeWindow(QWidget* parent = nullptr);
    ~DecodeWindow() override;

    static void open(MainFrame& frame);
    // Opens a window on the file and decodes it at once (asking for the
    // passphrase if need be); a detached signature is checked against the
    // file beside it.
    static void openWithFile(MainFrame& frame, const QString& path);
    // Opens a window with the text as its input (the clipboard's), decoded at once.
    static void openWithText(MainFrame& frame, const QByteArray& text);

    const sdk::PGPData& report() const { return report_; }
    const std::vector<sdk::KeyIdRecord>& encryptedToIDs() const { return ids_; }
    const std::vector<sdk::UserNameRecord>& encryptedToNames() const { return names_; }
    const std::vector<sdk::SignatureRecord>& signatures() const { return result_.records.signatures; }
    const VerdictPanel* verdicts() const { return verdicts_; }

    void decode();
    void save();

protected:
    void setControlsEnabled(bool enabled) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void inputChanged() override;

private:
    // The file a detached signature signs: beside it, or chosen.
    std::optional<QString> signedFileFor() const;
    void verifyDetached(const char* signature, std::int64_t size);
    QWidget* makeTextTab();
    QWidget* makeOptionsTab();
    void bindReportFields();
    void showReport();
    void showPendingReport();
    void takeResult(DecodeJob& job);
    void startJob(const QString& subject, std::function<void(DecodeJob&)> run);
    void clearReport();
    QString proposedSaveName() const;

    std::array<char, 255> signerText_ {};
    sdk::PGPData report_;
    std::vector<sdk::KeyIdRecord> ids_;
    std::vector<sdk::UserNameRecord> names_;
    sdk::DecodeResult result_;
    bool decoded_ = false;  // a decode has ended: its verdicts are shown
    QString subject_;       // what they are about
    VerdictPanel* verdicts_;

    QPushButton* decodeButton_;
    QLineEdit* passphrase_;
    QLineEdit* signedBy_;
    QComboBox* encryptedTo_;
    QComboBox* encryptedToKeys_;
    QCheckBox* checked_;
    QCheckBox* verified_;
    QCheckBox* keyRevoked_;
    QCheckBox* keyDisabled_;
    QCheckBox* keyExpired_;
    QCheckBox* keyMeetsValidityThreshold_;
    QSpinBox* keyValidity_;
};
