#pragma once
// Several files and folders encrypted, or decrypted, in one go: one choice
// of operation, signer and recipients and one passphrase for them all.
// Each encrypted file becomes FILE.gpg (or .asc, .sig) beside it, a folder
// one FOLDER.tar.gpg; each decrypted one goes beside it without its
// extension. The list shows each item's state and verdict; the bar, the
// whole batch's progress. Cancel stops after the item under way, which
// leaves no output; an existing output is replaced only if the user says so.
#include <QStringList>

#include <atomic>
#include <memory>

#include "sdk/batch_items.h"
#include "windows/child_window.h"

class MainFrame;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

class BatchWindow : public ChildWindow {
    Q_OBJECT
public:
    enum class Mode { Encrypt, Decrypt };
    static void open(MainFrame& frame, Mode mode);

    void addPaths(const QStringList& paths);
    void start();
    void cancel();

protected:
    void setControlsEnabled(bool enabled) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    BatchWindow(Mode mode, QWidget* parent = nullptr);
    void buildEncodeChoices(class QFormLayout* form);
    sdk::EncodeRequest request() const;
    void runItem(int index, bool replace);
    void showOutcome(int index, const sdk::ItemOutcome& outcome);

    Mode mode_;
    QTreeWidget* items_;
    QComboBox* operation_ = nullptr;
    QComboBox* signer_ = nullptr;
    QLineEdit* recipients_ = nullptr;
    QCheckBox* armour_ = nullptr;
    QPushButton* startButton_;
    QPushButton* cancelButton_;
    QProgressBar* overall_;
    std::shared_ptr<PGPUInt32> stop_;
    bool cancelled_ = false;
};
