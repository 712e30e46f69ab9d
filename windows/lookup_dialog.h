#pragma once
// The look-up dialog: an address, fingerprint, key ID or name is looked up
// on the network (only when the user presses "Look up"), the keys found are
// listed with what the user needs to choose them, and the chosen ones are
// imported. The work runs on a worker; the dialog shows its progress and
// can cancel it.
#include <QDialog>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

#include "sdk/key_search.h"

class JobRunner;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;

class LookupDialog : public QDialog {
    Q_OBJECT
public:
    explicit LookupDialog(QWidget* parent = nullptr, const QString& query = {});
    ~LookupDialog() override;

    void lookUp();
    void importChosen();
    bool busy() const;
    const std::vector<sdk::FoundKey>& found() const { return found_; }

private:
    void showFound(const sdk::LookupResult& result);
    void showImported(const std::optional<sdk::ImportCounts>& counts, const std::vector<std::string>& notes);
    void setRunning(bool running);

    QLineEdit* query_;
    QPushButton* lookUpButton_;
    QPushButton* cancelButton_;
    QPushButton* importButton_;
    QProgressBar* progress_;
    QTreeWidget* results_;
    QLabel* notes_;
    JobRunner* jobs_;
    std::shared_ptr<std::atomic<bool>> stop_;
    std::vector<sdk::FoundKey> found_;
};
