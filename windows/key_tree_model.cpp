#include "windows/key_tree_model.h"

#include <algorithm>

#include <QPainter>
#include <QPixmap>

#include <cstdlib>

namespace {

QPixmap canvas()
{
    QPixmap p(16, 16);
    p.fill(Qt::transparent);
    return p;
}

// A validity dot of the given colour.
QIcon dot(const QColor& colour)
{
    QPixmap p = canvas();
    QPainter g(&p);
    g.setRenderHint(QPainter::Antialiasing);
    g.setPen(Qt::NoPen);
    g.setBrush(colour);
    g.drawEllipse(4, 4, 8, 8);
    return QIcon(p);
}

}  // namespace

KeyTreeModel::KeyTreeModel(QObject* parent) : QAbstractItemModel(parent) { nodes_.push_back(Node {}); }

QIcon KeyTreeModel::icon(KeyTreeIcon which)
{
    // The project's own small icons: a key, a letter card, a pencil, and
    // the validity dots.
    static const QIcon icons[kKeyTreeIconCount] = {
        QIcon(),
        [] {
            QPixmap p = canvas();
            QPainter g(&p);
            g.setRenderHint(QPainter::Antialiasing);
            g.setPen(QPen(QColor(150, 110, 20), 2));
            g.drawEllipse(2, 5, 6, 6);
            g.drawLine(8, 8, 14, 8);
            g.drawLine(12, 8, 12, 11);
            g.drawLine(14, 8, 14, 11);
            return QIcon(p);
        }(),
        [] {
            QPixmap p = canvas();
            QPainter g(&p);
            g.setPen(QPen(QColor(60, 60, 140), 1));
            g.setBrush(QColor(240, 240, 255));
            g.drawRect(1, 3, 13, 10);
            g.drawLine(1, 3, 8, 9);
            g.drawLine(14, 3, 8, 9);
            return QIcon(p);
        }(),
        [] {
            QPixmap p = canvas();
            QPainter g(&p);
            g.setRenderHint(QPainter::Antialiasing);
            g.setPen(QPen(QColor(200, 120, 0), 3));
            g.drawLine(3, 13, 12, 4);
            g.setPen(QPen(Qt::black, 1));
            g.drawLine(2, 14, 4, 12);
            return QIcon(p);
        }(),
        dot(QColor(0, 170, 0)),      // valid and certified
        dot(QColor(230, 180, 0)),    // valid, not certified
        dot(QColor(140, 140, 140)),  // expired
        dot(QColor(210, 0, 0)),      // revoked
    };
    auto i = static_cast<int>(which);
    return i >= 0 && i < kKeyTreeIconCount ? icons[i] : QIcon();
}

void KeyTreeModel::setRows(KeyTreeList rows)
{
    beginResetModel();
    rows_ = std::move(rows);
    nodes_.clear();
    nodes_.push_back(Node {});
    int lastKey = -1, lastUserId = -1;
    auto add = [&](int row, int parent) {
        Node n;
        n.row = row;
        n.parent = parent;
        n.position = static_cast<int>(nodes_[static_cast<std::size_t>(parent)].children.size());
        nodes_.push_back(n);
        int id = static_cast<int>(nodes_.size()) - 1;
        nodes_[static_cast<std::size_t>(parent)].children.push_back(id);
        return id;
    };
    for (int r = 0; r < static_cast<int>(rows_.size()); ++r) {
        const int level = std::abs(rows_[static_cast<std::size_t>(r)].Level);
        if (level <= 1 || lastKey < 0) {
            lastKey = add(r, 0);
            lastUserId = -1;
        } else if (level == 2 || lastUserId < 0) {
            lastUserId = add(r, lastKey);
        } else {
            add(r, lastUserId);
        }
    }
    buildSearchTexts();
    endResetModel();
}

// What a filter is matched against, made once per fill: each key's user
// IDs, key ID and fingerprint (with and without "0x"), in lower case.
void KeyTreeModel::buildSearchTexts()
{
    const std::vector<int>& keys = nodes_[0].children;
    searchTexts_.assign(keys.size(), QString());
    for (std::size_t k = 0; k < keys.size(); ++k) {
        const Node& key = nodes_[static_cast<std::size_t>(keys[k])];
        const KeyTreeRow& row = rows_[static_cast<std::size_t>(key.row)];
        QString text = QString::fromStdString(row.Name + "\n" + row.KeyIDText + "\n" + row.Fingerprint);
        for (int child : key.children)
            text += "\n" + QString::fromStdString(rows_[static_cast<std::size_t>(nodes_[static_cast<std::size_t>(child)].row)].Name);
        searchTexts_[k] = text.toLower();
    }
}

bool KeyTreeModel::keyMatches(int topRow, const QStringList& words) const
{
    if (topRow < 0 || static_cast<std::size_t>(topRow) >= searchTexts_.size())
        return false;
    const QString& text = searchTexts_[static_cast<std::size_t>(topRow)];
    return std::all_of(words.begin(), words.end(), [&](const QString& w) { return text.contains(w); });
}

QModelIndex KeyTreeModel::index(int row, int column, const QModelIndex& parent) const
{
    if (column < 0 || column >= ColumnCount || row < 0)
        return {};
    const int p = parent.isValid() ? static_cast<int>(parent.internalId()) : 0;
    const auto& children = nodes_[static_cast<std::size_t>(p)].children;
    if (row >= static_cast<int>(children.size()))
        return {};
    return createIndex(row, column, static_cast<quintptr>(children[static_cast<std::size_t>(row)]));
}

QModelIndex KeyTreeModel::parent(const QModelIndex& child) const
{
    if (!child.isValid())
        return {};
    const Node& n = nodes_[child.internalId()];
    if (n.parent <= 0)
        return {};
    return createIndex(nodes_[static_cast<std::size_t>(n.parent)].position, 0, static_cast<quintptr>(n.parent));
}

const KeyTreeRow* KeyTreeModel::keyRowOf(const QModelIndex& index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    std::size_t node = index.internalId();
    while (nodes_[node].parent > 0)
        node = static_cast<std::size_t>(nodes_[node].parent);
    return &rows_[static_cast<std::size_t>(nodes_[node].row)];
}

QStringList KeyTreeModel::pathOf(const QModelIndex& index) const
{
    QStringList path;
    if (!index.isValid() || index.model() != this)
        return path;
    for (std::size_t node = index.internalId(); node > 0; node = static_cast<std::size_t>(nodes_[node].parent)) {
        const KeyTreeRow& r = rows_[static_cast<std::size_t>(nodes_[node].row)];
        path.prepend(QString::fromStdString(nodes_[node].parent == 0 ? r.KeyIDText : r.Name));
    }
    return path;
}

const KeyTreeRow* KeyTreeModel::keyRowWithId(const std::string& keyId) const
{
    for (const KeyTreeRow& row : rows_)
        if (std::abs(row.Level) == 1 && row.KeyIDText == keyId)
            return &row;
    return nullptr;
}

QModelIndex KeyTreeModel::indexOfPath(const QStringList& path) const
{
    QModelIndex at;
    for (int depth = 0; depth < path.size(); ++depth) {
        QModelIndex next;
        for (int r = 0; r < rowCount(at) && !next.isValid(); ++r) {
            const QModelIndex child = index(r, 0, at);
            const KeyTreeRow& row = rows_[static_cast<std::size_t>(nodes_[child.internalId()].row)];
            if (QString::fromStdString(depth == 0 ? row.KeyIDText : row.Name) == path[depth])
                next = child;
        }
        if (!next.isValid())
            return {};
        at = next;
    }
    return at;
}

int KeyTreeModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() && parent.column() != 0)
        return 0;
    const int p = parent.isValid() ? static_cast<int>(parent.internalId()) : 0;
    return static_cast<int>(nodes_[static_cast<std::size_t>(p)].children.size());
}

int KeyTreeModel::columnCount(const QModelIndex&) const { return ColumnCount; }

QString KeyTreeModel::validityText(KeyTreeIcon dot)
{
    switch (dot) {
    case KeyTreeIcon::ValidityDot: return "Valid: yours, or certified or verified by you";
    case KeyTreeIcon::UncertifiedDot: return "Valid, but not certified or verified";
    case KeyTreeIcon::ExpiredDot: return "Expired";
    case KeyTreeIcon::RevokedDot: return "Revoked";
    default: return {};
    }
}

QVariant KeyTreeModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid())
        return {};
    const KeyTreeRow& r = rows_[static_cast<std::size_t>(nodes_[index.internalId()].row)];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case Keys: return QString::fromStdString(r.Name);
        case Size: return r.Size ? QVariant(r.Size) : QVariant(QString());
        case Description: return QString::fromStdString(r.Description);
        case KeyId: return QString::fromStdString(r.KeyIDText);
        case Expiration: return QString::fromStdString(r.Expiration);
        case Creation: return QString::fromStdString(creationDateText(r.Creation));
        default: return QString();  // "Validity" (a dot), "Trust" and "ADK" are never filled
        }
    }
    if (role == Qt::DecorationRole) {
        if (index.column() == Keys)
            return icon(r.Icon);
        if (index.column() == Validity && r.ValidityIcon != KeyTreeIcon::None)
            return icon(r.ValidityIcon);
    }
    if (role == Qt::ToolTipRole && index.column() == Validity)
        return validityText(r.ValidityIcon);
    if (role == Qt::TextAlignmentRole &&
        (index.column() == Size || index.column() == Creation || index.column() == Expiration))
        return QVariant(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant KeyTreeModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const names[ColumnCount] = {"Keys",    "Validity",   "Trust",    "Size", "Description",
                                                   "Key ID",  "Expiration", "Creation", "ADK"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < ColumnCount)
        return QString(names[section]);
    return {};
}
