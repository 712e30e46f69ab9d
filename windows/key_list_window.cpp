#include "windows/key_list_window.h"

#include <QAction>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMimeData>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSplitter>
#include <QTextBrowser>
#include <QToolButton>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeView>
#include <QVBoxLayout>

#include <memory>

#include "app/dialog_units.h"
#include "app/main_frame.h"
#include "app/prompts.h"
#include "core/key_ring_events.h"
#include "sdk/key_details.h"
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
    sizeColumns();
    filter_ = new QLineEdit(this);
    filter_->setObjectName("keyFilter");
    filter_->setPlaceholderText("Search: name, e-mail, key ID or fingerprint");
    filter_->setClearButtonEnabled(true);
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName("tabs");
    tabs->addTab(tree_, "Public Ring");
    detailsJobs_ = new JobRunner(this);
    details_ = new QTextBrowser;
    details_->setObjectName("keyDetails");
    auto* split = new QSplitter(Qt::Vertical);
    split->addWidget(tabs);
    split->addWidget(details_);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(closeButton);
    buttons->addWidget(refreshButton_);
    buttons->addStretch();
    QHBoxLayout* actionRow = actionButtons();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addLayout(actionRow);
    layout->addWidget(busyIndicator());
    layout->addWidget(filter_);
    layout->addWidget(split, 1);
    setAcceptDrops(true);
    buildContextMenu();
    auto* pasteShortcut = new QShortcut(QKeySequence::Paste, this, this, &KeyListWindow::paste);
    pasteShortcut->setContext(Qt::WidgetWithChildrenShortcut);
    // The Delete key deletes, after the same questions as the button.
    auto* deleteShortcut = new QShortcut(QKeySequence::Delete, tree_, tree_, [this] {
        if (controlsEnabled_)
            commands_.deleteKey();
    });
    deleteShortcut->setContext(Qt::WidgetShortcut);
    connect(closeButton, &QPushButton::clicked, this, [this] { closeChildWindow(this); });
    connectSignals();
}

// The tree's context menu: the key actions, then the network ones, the
// key pair's edits and the recipient groups.
void KeyListWindow::buildContextMenu()
{
    tree_->setContextMenuPolicy(Qt::ActionsContextMenu);
    tree_->addActions(QList<QAction*>(keyActions_.begin(), keyActions_.end()));
    // Only in the context menu: the Part's "Refresh" button refills the list.
    for (QAction* network : networkActions())
        tree_->addAction(network);
    tree_->addAction(editMenu_->menuAction());
    for (auto [label, name, run] : {std::tuple {"Add to group…", "addToGroup", &GroupCommands::addToGroup},
                                    std::tuple {"Remove from group…", "removeFromGroup", &GroupCommands::removeFromGroup}}) {
        auto* action = new QAction(label, this);
        action->setObjectName(name);
        connect(action, &QAction::triggered, this, [this, run = run] { (groupCommands_.*run)(); });
        keyActions_.push_back(action);  // enabled with the others
        tree_->addAction(action);
    }
}

// The old columns' widths, with room for 16-digit key IDs and the longer
// descriptions; the window is as wide as its columns (never narrower than
// 450 units).
void KeyListWindow::sizeColumns()
{
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
}

// The key actions as a row of buttons.
QHBoxLayout* KeyListWindow::actionButtons()
{
    auto* actionRow = new QHBoxLayout;
    buildActions();
    for (QAction* action : keyActions_) {
        auto* button = new QToolButton;
        button->setDefaultAction(action);
        button->setObjectName(action->objectName() + "Button");
        button->setToolButtonStyle(Qt::ToolButtonTextOnly);
        actionRow->addWidget(button);
    }
    editMenu_ = keyPairEdits();
    auto* edit = new QToolButton;
    edit->setObjectName("editKeyPairButton");
    edit->setText(editMenu_->title());
    edit->setMenu(editMenu_);
    edit->setPopupMode(QToolButton::InstantPopup);
    actionRow->addWidget(edit);
    actionRow->addStretch();
    return actionRow;
}

void KeyListWindow::connectSignals()
{
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, &KeyListWindow::showDetails);
    connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, &KeyListWindow::offerKeyPairActions);
    // Another window's change (or this one's): the list is read again, after
    // the job under way if there is one.
    connect(&KeyRingEvents::instance(), &KeyRingEvents::keysChanged, this, [this] {
        stale_ = true;
        if (!busy())
            refresh();
    });
    connect(jobs(), &JobRunner::busyChanged, this, [this](bool running) {
        if (!running && (stale_ || !pending_.empty()))
            QMetaObject::invokeMethod(this, &KeyListWindow::startNext, Qt::QueuedConnection);
    });

    connect(refreshButton_, &QPushButton::clicked, this, &KeyListWindow::refresh);
    connect(filter_, &QLineEdit::textChanged, this, &KeyListWindow::applyFilter);
    connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
        if (index.isValid())
            resortByColumn(index.column());
    });
}

void KeyListWindow::open(MainFrame& frame) { openOfferingImport(frame, {}); }

void KeyListWindow::openOfferingImport(MainFrame& frame, const QString& path)
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
        [window, rows, path] {
            window->model_->setRows(std::move(*rows));
            if (path.isEmpty())
                return;
            QTimer::singleShot(0, window, [window, path] {
                if (Prompts::question("Import", "Import the keys of " + path + "?"))
                    window->commands_.importFiles({path.toStdString()});
            });
        });
}

void KeyListWindow::startNext()
{
    if (busy())
        return;
    if (pending_.empty()) {
        if (stale_)
            refresh();
        return;
    }
    auto [job, done] = std::move(pending_.front());
    pending_.pop_front();
    jobs()->start(std::move(job), std::move(done));
}

void KeyListWindow::setControlsEnabled(bool enabled)
{
    controlsEnabled_ = enabled;
    refreshButton_->setEnabled(enabled);
    tree_->setEnabled(enabled);
    for (QAction* action : keyActions_)
        action->setEnabled(enabled);
    offerKeyPairActions();
}

void KeyListWindow::offerKeyPairActions()
{
    const KeyTreeRow* key = currentKey();
    const bool pair = controlsEnabled_ && (!key || key->IsSecret);  // with none chosen, the action says why
    changePassphrase_->setEnabled(pair);
    revoke_->setEnabled(pair);
    editMenu_->setEnabled(pair);
    if (publish_)
        publish_->setEnabled(pair);
}

void KeyListWindow::refresh()
{
    if (busy()) {
        stale_ = true;  // read once the job under way has ended
        return;
    }
    stale_ = false;
    auto rows = std::make_shared<KeyTreeList>();
    const std::int32_t order = ordering_;
    jobs()->start([rows, order] { *rows = fillKeyTree(order); }, [this, rows] { setRowsKeepingView(std::move(*rows)); });
}

void KeyListWindow::expandedPaths(const QModelIndex& parent, QList<QStringList>& out) const
{
    for (int r = 0; r < model_->rowCount(parent); ++r) {
        const QModelIndex child = model_->index(r, 0, parent);
        if (tree_->isExpanded(child)) {
            out << model_->pathOf(child);
            expandedPaths(child, out);
        }
    }
}

void KeyListWindow::setRowsKeepingView(KeyTreeList rows)
{
    QList<QStringList> expanded;
    expandedPaths({}, expanded);
    const QStringList current = model_->pathOf(tree_->currentIndex());
    model_->setRows(std::move(rows));
    for (const QStringList& path : expanded)
        tree_->expand(model_->indexOfPath(path));
    const QModelIndex chosen = model_->indexOfPath(current);
    if (chosen.isValid())
        tree_->setCurrentIndex(chosen);
    else
        details_->clear();
    applyFilter();
    offerKeyPairActions();
}

void KeyListWindow::applyFilter()
{
    const QStringList words = filter_->text().toLower().split(' ', Qt::SkipEmptyParts);
    const int keys = model_->rowCount();
    tree_->setUpdatesEnabled(false);
    for (int r = 0; r < keys; ++r)
        tree_->setRowHidden(r, {}, !words.isEmpty() && !model_->keyMatches(r, words));
    tree_->setUpdatesEnabled(true);
}

void KeyListWindow::resortByColumn(int column)
{
    const std::int32_t order = orderingForColumn(column);
    if (order > 0)
        ordering_ = order;
    refresh();
}

namespace {

QString detailsHtml(const sdk::KeyDetails& d)
{
    QString html = "<b>" + QString::fromStdString(d.userId).toHtmlEscaped() + "</b><br>Fingerprint: <tt>" +
                   QString::fromStdString(sdk::groupedFingerprint(d.fingerprint)) + "</tt>";
    html += "<table cellspacing=6><tr><th align=left>Key</th><th align=left>Use</th><th align=left>Algorithm</th>"
            "<th align=left>Size</th><th align=left>Created</th><th align=left>Expires</th><th></th></tr>";
    for (std::size_t i = 0; i < d.parts.size(); ++i) {
        const sdk::KeyPart& p = d.parts[i];
        const QString state = p.revoked ? "revoked" : p.expired ? "expired" : QString();
        html += QString("<tr><td>%1 <tt>%2</tt></td><td>%3</td><td>%4</td><td>%5</td><td>%6</td><td>%7</td><td>%8</td></tr>")
                    .arg(i ? "Subkey" : "Primary", QString::fromStdString(p.keyId), QString::fromStdString(p.use),
                         QString::fromStdString(p.algorithm), p.bits ? QString::number(p.bits) : QString(),
                         QString::fromStdString(creationDateText(p.created)),
                         p.expires ? QString::fromStdString(creationDateText(p.expires)) : QString("never"), state);
    }
    return html + "</table>";
}

}  // namespace

void KeyListWindow::showDetails()
{
    const KeyTreeRow* key = model_->keyRowOf(tree_->currentIndex());
    if (!key || detailsJobs_->busy())
        return;
    const std::string id = key->KeyIDText;
    auto details = std::make_shared<std::optional<sdk::KeyDetails>>();
    detailsJobs_->start([id, details] { *details = sdk::keyDetails(id); },
                        [this, id, details] {
                            if (*details)
                                details_->setHtml(detailsHtml(**details));
                            else
                                details_->clear();
                            // The selection moved on meanwhile: its key is shown next.
                            const KeyTreeRow* now = model_->keyRowOf(tree_->currentIndex());
                            if (now && now->KeyIDText != id)
                                showDetails();
                        });
}

QAction* KeyListWindow::addKeyAction(const QString& label, const char* name, void (KeyListCommands::*run)())
{
    auto* action = new QAction(label, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this, [this, run] { (commands_.*run)(); });
    keyActions_.push_back(action);
    return action;
}

QList<QAction*> KeyListWindow::networkActions()
{
    auto* refresh = new QAction("Refresh", this);
    refresh->setObjectName("refreshFromNetwork");
    refresh->setToolTip("Look the selected key (or all keys) up again on the keyserver");
    connect(refresh, &QAction::triggered, this, [this] { commands_.refreshFromNetwork(); });
    publish_ = new QAction("Publish…", this);
    publish_->setObjectName("publish");
    connect(publish_, &QAction::triggered, this, [this] { commands_.publish(); });
    keyActions_.push_back(refresh);
    keyActions_.push_back(publish_);
    return {refresh, publish_};
}

void KeyListWindow::buildActions()
{
    addKeyAction("Generate…", "generate", &KeyListCommands::generateKey);
    addKeyAction("Import…", "import", &KeyListCommands::importKeys);
    addKeyAction("Export…", "export", &KeyListCommands::exportKey);
    addKeyAction("Delete", "delete", &KeyListCommands::deleteKey);
    // These two live in the "Edit key pair" menu, not the row of buttons.
    changePassphrase_ = addKeyAction("Change passphrase…", "changePassphrase", &KeyListCommands::changePassphrase);
    keyActions_.pop_back();
    addKeyAction("Certify…", "certify", &KeyListCommands::certifyKey);
    auto* verify = new QAction("Verify…", this);
    verify->setObjectName("verifyKey");
    verify->setToolTip("Compare the key's fingerprint with its owner, and mark the key as checked here");
    connect(verify, &QAction::triggered, this, [this] { pairCommands_.verifyKey(); });
    keyActions_.push_back(verify);
    revoke_ = addKeyAction("Revoke…", "revoke", &KeyListCommands::revokeKey);
    keyActions_.pop_back();
    addKeyAction("Copy public key", "copyPublicKey", &KeyListCommands::copyPublicKey);
    addKeyAction("Look up…", "lookUp", &KeyListCommands::lookUp);
}

// The edits of one of the user's key pairs, in a menu of their own (a
// button beside the others, and the context menu).
QMenu* KeyListWindow::keyPairEdits()
{
    auto* menu = new QMenu("Edit key pair", this);
    menu->setObjectName("editKeyPairMenu");
    menu->addAction(changePassphrase_);
    menu->addAction(revoke_);
    menu->addSeparator();
    const std::pair<const char*, const char*> items[] = {
        {"Change expiry…", "changeExpiry"}, {"Add user ID…", "addUserId"},     {"Make user ID primary…", "makePrimary"},
        {"Revoke user ID…", "revokeUserId"}, {"Add subkey…", "addSubkey"},      {"Revoke subkey…", "revokeSubkey"}};
    void (KeyPairCommands::*runs[])() = {&KeyPairCommands::changeExpiry, &KeyPairCommands::addUserId,
                                         &KeyPairCommands::makePrimaryUserId, &KeyPairCommands::revokeUserId,
                                         &KeyPairCommands::addSubkey, &KeyPairCommands::revokeSubkey};
    for (std::size_t i = 0; i < std::size(items); ++i) {
        QAction* action = menu->addAction(items[i].first);
        action->setObjectName(items[i].second);
        connect(action, &QAction::triggered, this, [this, run = runs[i]] { (pairCommands_.*run)(); });
    }
    return menu;
}

void KeyListWindow::runKeyJob(std::function<void()> job, std::function<void()> done)
{
    if (!done)
        done = [] {};
    if (busy())
        pending_.emplace_back(std::move(job), std::move(done));  // after the job under way
    else
        jobs()->start(std::move(job), std::move(done));
}

const KeyTreeRow* KeyListWindow::currentKey() const { return model_->keyRowOf(tree_->currentIndex()); }

void KeyListWindow::paste() { commands_.paste(); }

void KeyListWindow::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void KeyListWindow::dropEvent(QDropEvent* event)
{
    std::vector<std::string> paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile())
            paths.push_back(url.toLocalFile().toStdString());
    if (!paths.empty()) {
        event->acceptProposedAction();
        commands_.importFiles(paths);
    }
}
