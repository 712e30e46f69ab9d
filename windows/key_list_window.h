#pragma once
#include "windows/child_window.h"
#include "windows/key_tree_model.h"

class QPushButton;
class QTreeView;

// The key list: the key rings as a tree of keys, user IDs and certifications.
class KeyListWindow : public ChildWindow {
    Q_OBJECT
public:
    explicit KeyListWindow(QWidget* parent = nullptr);

    static void open(MainFrame& frame);

    KeyTreeModel* model() const { return model_; }
    QTreeView* tree() const { return tree_; }
    std::int32_t ordering() const { return ordering_; }

    void refresh();
    // A double click in a column: re-sort by it and refill.
    void resortByColumn(int column);

protected:
    void setControlsEnabled(bool enabled) override;

private:
    KeyTreeModel* model_;
    QTreeView* tree_;
    QPushButton* refreshButton_;
    std::int32_t ordering_ = kPGPUserIDOrdering;
};
