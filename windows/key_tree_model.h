#pragma once
#include <QAbstractItemModel>
#include <QIcon>

#include "sdk/key_tree.h"

// The key tree as a Qt model: keys at the top, their user IDs under them,
// certifications under those; nine columns.
class KeyTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { Keys, Validity, Trust, Size, Description, KeyId, Expiration, Creation, Adk, ColumnCount };

    explicit KeyTreeModel(QObject* parent = nullptr);

    // Replaces every row (the list is rebuilt whole on each fill).
    void setRows(KeyTreeList rows);
    const KeyTreeList& rows() const { return rows_; }
    // The row of the key an index belongs to (the key itself, or the key
    // above a user ID or certification); null for none.
    const KeyTreeRow* keyRowOf(const QModelIndex& index) const;
    // A row's place that outlives a refill: the key's ID, then the names of
    // the rows down to it. Empty for none; an invalid index when no row of
    // the new rows has the place.
    QStringList pathOf(const QModelIndex& index) const;
    // The key row with this key ID; null for none.
    const KeyTreeRow* keyRowWithId(const std::string& keyId) const;
    QModelIndex indexOfPath(const QStringList& path) const;
    // Whether the key at this top-level row matches every word of the
    // filter: its user IDs, key ID and fingerprint, without regard to case.
    bool keyMatches(int topRow, const QStringList& words) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    static QIcon icon(KeyTreeIcon which);
    // What a validity dot means, as its tooltip says.
    static QString validityText(KeyTreeIcon dot);

private:
    void buildSearchTexts();
    struct Node {
        int row = -1;     // index into rows_, -1 for the root
        int parent = -1;  // node index
        int position = 0; // position among its siblings
        std::vector<int> children;
    };
    KeyTreeList rows_;
    std::vector<Node> nodes_;  // nodes_[0] is the root
    std::vector<QString> searchTexts_;  // per top-level row, in lower case
};
