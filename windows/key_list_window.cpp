#include "windows/key_list_window.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QStyle>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

#include "app/dialog_units.h"
#include "app/main_frame.h"
#include "sdk/sdk_session.h"

KeyListWindow::KeyListWindow(QWidget* parent) : ChildWindow(parent)
{
    setObjectName("PGPKEYLIST");
    setWindowTitle("Key list");
    resize(dluSize(font(), 450, 180));
    auto* closeButton = new QPushButton(style()->standardIcon(QStyle::SP_DialogCloseButton), "Close", this);
    closeButton->setObjectName("closeButton");
    refreshButton_ = new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), "Refresh", this);
    refreshButton_->setObjectName("refreshButton");
    model_ = new KeyTreeModel(this);
    tree_ = new QTreeView;
    tree_->setObjectName("keyTree");
    tree_->setModel(model_);
    tree_->setUniformRowHeights(true);
    tree_->setExpandsOnDoubleClick(false);
    const int widths[KeyTreeModel::ColumnCount] = {125, 30, 20, 33, 80, 53, 53, 45, 20};
    for (int c = 0; c < KeyTreeModel::ColumnCount; ++c)
        tree_->header()->resizeSection(c, dluX(font(), widths[c]));
    // Key IDs have 16 hex digits and descriptions run longer than the old
    // columns held: make room for them.
    const QFontMetrics metrics(tree_->font());
    tree_->header()->resizeSection(KeyTreeModel::KeyId, metrics.horizontalAdvance("0x0000000000000000") + 16);
    tree_->header()->resizeSection(KeyTreeModel::Description,
                                   std::max(dluX(font(), 80), metrics.horizontalAdvance("Disabled DH/DSS public key") + 16));
    // The window is as wide as its columns (and never narrower than 450 units).
    int columns = 0;
    for (int c = 0; c < KeyTreeModel::ColumnCount; ++c)
        columns += tree_->header()->sectionSize(c);
    const int chrome = 2 * style()->pixelMetric(QStyle::PM_ScrollBarExtent) + 48;
    resize(std::max(width(), columns + chrome), height());
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName("tabs");
    tabs->addTab(tree_, "Public Ring");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(closeButton);
    buttons->addWidget(refreshButton_);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(busyIndicator());
    layout->addWidget(tabs, 1);

    connect(closeButton, &QPushButton::clicked, this, [this] { closeChildWindow(this); });
    connect(refreshButton_, &QPushButton::clicked, this, &KeyListWindow::refresh);
    connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            resortByColumn(index.column());
    });
}

void KeyListWindow::open(MainFrame& frame)
{
    auto* window = new KeyListWindow;
    auto rows = std::make_shared<KeyTreeList>();
    auto hasKeys = std::make_shared<bool>(false);
    window->openIn(
        frame,
        [rows, hasKeys] {
            // Without a key set (the user unloaded the keys) there is no window.
            *hasKeys = sdk::sessionSnapshot().KeySet != nullptr;
            if (*hasKeys)
                *rows = fillKeyTree(kPGPUserIDOrdering);
            return *hasKeys;
        },
        [window, rows] { window->model_->setRows(std::move(*rows)); });
}

void KeyListWindow::setControlsEnabled(bool enabled)
{
    refreshButton_->setEnabled(enabled);
    tree_->setEnabled(enabled);
}

void KeyListWindow::refresh()
{
    if (busy())
        return;
    auto rows = std::make_shared<KeyTreeList>();
    const std::int32_t order = ordering_;
    jobs()->start([rows, order] { *rows = fillKeyTree(order); },
                  [this, rows] { model_->setRows(std::move(*rows)); });
}

void KeyListWindow::resortByColumn(int column)
{
    const std::int32_t order = orderingForColumn(column);
    if (order > 0)
        ordering_ = order;
    refresh();
}
