#pragma once
#include "windows/child_window.h"
#include "windows/key_list_commands.h"
#include "windows/group_commands.h"
#include "windows/key_pair_commands.h"
#include "windows/key_tree_model.h"

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QAction;
class QLineEdit;
class QMenu;
class QHBoxLayout;
class QPushButton;
class QTextBrowser;
class QTreeView;

// The key list: the key rings as a tree of keys, user IDs and certifications,
// with the key management actions and a pane of details for the selected key.
class KeyListWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit KeyListWindow(QWidget* parent = nullptr);

    static void open(MainFrame& frame);
    // Opens the list and offers to import the keys of the file.
    static void openOfferingImport(MainFrame& frame, const QString& path);

    KeyTreeModel* model() const { return model_; }
    QTreeView* tree() const { return tree_; }
    QTextBrowser* detailsPane() const { return details_; }
    std::int32_t ordering() const { return ordering_; }

    void refresh();
    // A double click in a column: re-sort by it and refill.
    void resortByColumn(int column);

    // The key actions (also as buttons and in the context menu).
    KeyListCommands& commands() { return commands_; }
    // For the commands: the selected key's row (null when none), and a job
    // on the window's worker (after the one under way, if any).
    const KeyTreeRow* currentKey() const;
    void runKeyJob(std::function<void()> job, std::function<void()> done = {});

public slots:
    void paste();

protected:
    void setControlsEnabled(bool enabled) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    QAction* addKeyAction(const QString& text, const char* name, void (KeyListCommands::*run)());
    void buildActions();
    QList<QAction*> networkActions();
    QMenu* keyPairEdits();
    void buildContextMenu();
    void sizeColumns();
    QHBoxLayout* actionButtons();
    void connectSignals();
    void showDetails();
    // Shows rows, keeping the rows the user opened and the one chosen.
    void setRowsKeepingView(KeyTreeList rows);
    void expandedPaths(const QModelIndex& parent, QList<QStringList>& out) const;
    // Revoke and Change passphrase are offered on key pairs only.
    void offerKeyPairActions();
    // Shows only the keys that match what the filter field holds.
    void applyFilter();
    // After a job: the next action asked for, else a refresh the keys need.
    void startNext();

    KeyListCommands commands_ {*this};
    KeyPairCommands pairCommands_ {*this, commands_};
    GroupCommands groupCommands_ {*this, pairCommands_};
    QMenu* editMenu_ = nullptr;  // the key pair's edits
    QLineEdit* filter_ = nullptr;
    KeyTreeModel* model_;
    QTreeView* tree_;
    QTextBrowser* details_;
    QPushButton* refreshButton_;
    JobRunner* detailsJobs_;  // the details pane's reads never hold up an action
    std::vector<QAction*> keyActions_;
    QAction* changePassphrase_ = nullptr;
    QAction* revoke_ = nullptr;
    QAction* publish_ = nullptr;
    bool controlsEnabled_ = true;
    std::int32_t ordering_ = kPGPUserIDOrdering;
    bool stale_ = false;  // the keys changed while a job ran
    // Actions asked for while a job ran, started in turn after it.
    std::deque<std::pair<std::function<void()>, std::function<void()>>> pending_;
};
