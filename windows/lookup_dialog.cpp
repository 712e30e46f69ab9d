#include "windows/lookup_dialog.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "app/prompts.h"
#include "core/app_config.h"
#include "sdk/key_details.h"
#include "sdk/key_tree.h"
#include "windows/job_runner.h"
#include "windows/window_controls.h"

namespace {

QString dateOr(PGPTime t, const char* none)
{
    return t ? QString::fromStdString(creationDateText(t)) : QString(none);
}

QString expiryText(const sdk::FoundKey& k) { return k.revoked ? QString("revoked") : dateOr(k.expires, "never"); }

}  // namespace

LookupDialog::LookupDialog(QWidget* parent, const QString& query) : QDialog(parent)
{
    setObjectName("lookupDialog");
    setWindowTitle("Look up keys");
    resize(780, 400);  // room for a whole fingerprint
    query_ = new QLineEdit(query, this);
    query_->setObjectName("query");
    query_->setPlaceholderText("e-mail address, fingerprint, key ID or name");
    lookUpButton_ = new QPushButton("Look up", this);
    lookUpButton_->setObjectName("lookUpButton");
    lookUpButton_->setDefault(true);
    cancelButton_ = new QPushButton("Cancel", this);
    cancelButton_->setObjectName("cancelButton");
    progress_ = new QProgressBar(this);
    progress_->setObjectName("lookupProgress");
    progress_->setRange(0, 0);  // a look-up tells no percent
    results_ = new QTreeWidget(this);
    results_->setObjectName("results");
    results_->setHeaderLabels({"Key", "Created", "Expires", "Found at"});
    results_->header()->setStretchLastSection(false);
    results_->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    results_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    notes_ = new QLabel(this);
    notes_->setObjectName("lookupNotes");
    notes_->setWordWrap(true);
    notes_->setTextFormat(Qt::PlainText);
    importButton_ = new QPushButton("Import", this);
    importButton_->setObjectName("importButton");
    auto* close = new QPushButton("Close", this);
    close->setObjectName("closeButton");
    auto* row = new QHBoxLayout;
    row->addWidget(query_, 1);
    row->addWidget(lookUpButton_);
    auto* busyRow = new QHBoxLayout;
    busyRow->addWidget(progress_, 1);
    busyRow->addWidget(cancelButton_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(importButton_);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(busyRow);
    layout->addWidget(results_, 1);
    layout->addWidget(notes_);
    layout->addLayout(buttons);
    jobs_ = new JobRunner(this);
    connect(lookUpButton_, &QPushButton::clicked, this, &LookupDialog::lookUp);
    connect(query_, &QLineEdit::returnPressed, this, &LookupDialog::lookUp);
    connect(importButton_, &QPushButton::clicked, this, &LookupDialog::importChosen);
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
    connect(cancelButton_, &QPushButton::clicked, this, [this] {
        if (stop_)
            stop_->store(true);
    });
    setRunning(false);
    importButton_->setEnabled(false);
}

LookupDialog::~LookupDialog()
{
    if (stop_)
        stop_->store(true);  // the worker ends its look-up before the dialog goes
}

bool LookupDialog::busy() const { return jobs_->busy(); }

void LookupDialog::setRunning(bool running)
{
    progress_->setVisible(running);
    cancelButton_->setVisible(running);
    lookUpButton_->setEnabled(!running);
    query_->setEnabled(!running);
}

void LookupDialog::lookUp()
{
    const sdk::KeyQuery query = sdk::parseKeyQuery(query_->text().toStdString());
    if (query.kind == sdk::QueryKind::Invalid)
        return notes_->setText("Look up an e-mail address, a fingerprint (40 hex digits), a key ID (16 hex digits) "
                               "or a name (at least 3 characters).");
    if (busy())
        return;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    auto result = std::make_shared<sdk::LookupResult>();
    const LookupSettings settings = readLookupSettings(AppConfig::instance().snapshot().IniPath);
    setRunning(true);
    notes_->setText("Looking up " + query_->text() + "…");
    jobs_->start([query, settings, result, stop = stop_] { *result = sdk::lookUpKeys(query, settings, stop.get()); },
                 [this, result] {
                     setRunning(false);
                     showFound(*result);
                 });
}

void LookupDialog::showFound(const sdk::LookupResult& result)
{
    found_ = result.keys;
    results_->clear();
    for (const sdk::FoundKey& k : found_) {
        auto* item = new QTreeWidgetItem(results_, {QString::fromStdString(sdk::groupedFingerprint(k.fingerprint)),
                                                    dateOr(k.created, ""), expiryText(k),
                                                    QString::fromStdString(k.source)});
        item->setCheckState(0, Qt::Checked);
        for (const std::string& uid : k.userIds)
            new QTreeWidgetItem(item, {QString::fromStdString(uid)});
        item->setExpanded(true);
    }
    QStringList notes;
    for (const std::string& n : result.notes)
        notes << QString::fromStdString(n);
    if (found_.empty())
        notes.prepend("No key was found.");
    notes_->setText(notes.join("\n"));
    importButton_->setEnabled(!found_.empty());
}

void LookupDialog::importChosen()
{
    std::vector<sdk::FoundKey> chosen;
    for (int i = 0; i < results_->topLevelItemCount(); ++i)
        if (results_->topLevelItem(i)->checkState(0) == Qt::Checked)
            chosen.push_back(found_[static_cast<std::size_t>(i)]);
    if (chosen.empty() || busy())
        return;
    struct Imported {
        std::optional<sdk::ImportCounts> counts;
        std::vector<std::string> notes;
    };
    auto imported = std::make_shared<Imported>();
    const QString keyserver = readLookupSettings(AppConfig::instance().snapshot().IniPath).keyserver;
    stop_ = std::make_shared<std::atomic<bool>>(false);
    setRunning(true);
    // Keys only listed by the keyserver are got first, each by itself.
    jobs_->start([chosen, keyserver, imported, stop = stop_]() mutable {
                     sdk::fetchListedKeys(chosen, keyserver, imported->notes, stop.get());
                     if (!chosen.empty())
                         imported->counts = sdk::importFoundKeys(chosen);
                 },
                 [this, imported] { showImported(imported->counts, imported->notes); });
}

void LookupDialog::showImported(const std::optional<sdk::ImportCounts>& counts, const std::vector<std::string>& notes)
{
    setRunning(false);
    QStringList lines;
    if (counts) {
        const QString done = QString::fromStdString(sdk::importConfirmation(*counts));
        lines << done;
        showStatusNote(parentWidget(), done);
    }
    for (const std::string& n : notes)
        lines << QString::fromStdString(n);
    if (!lines.isEmpty())  // else the binding told why nothing was imported
        notes_->setText(lines.join("\n"));
}
