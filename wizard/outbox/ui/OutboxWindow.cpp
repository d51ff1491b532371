#include "wizard/outbox/ui/OutboxWindow.h"

#include <sys/stat.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>
#include <set>

#include "app/core/Clock.h"
#include "app/core/MessageBoxService.h"
#include "controls/core/ShellLauncher.h"
#include "wizard/outbox/sender/OutboxActions.h"

namespace {

using List = OutboxEntry::List;

std::string Caption() {
    return QCoreApplication::translate("OutboxWindow", "Corvinaport Outbox").toStdString();
}

QString Names(const std::vector<OutboxEntry>& entries) {
    QStringList lines;
    for (const auto& e : entries)
        lines << (e.recipients.isEmpty() ? QString::fromStdString(e.name) : e.recipients) +
                     (e.documents.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(e.documents));
    return lines.join(QChar('\n'));
}

bool SameRows(const std::vector<OutboxEntry>& a, const OutboxListModel& model) {
    if (static_cast<int>(a.size()) != model.rowCount()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const OutboxEntry& b = model.entry(static_cast<int>(i));
        if (a[i].name != b.name || a[i].stateText != b.stateText || a[i].when != b.when ||
            a[i].documents != b.documents || a[i].recipients != b.recipients)
            return false;
    }
    return true;
}

QTreeView* MakeView(QAbstractItemModel* model, const QString& name) {
    auto* view = new QTreeView;
    view->setModel(model);
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAlternatingRowColors(true);
    view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAllColumnsShowFocus(true);
    view->setAccessibleName(name);
    view->header()->setAccessibleName(QCoreApplication::translate("OutboxWindow", "Columns"));
    view->header()->setStretchLastSection(true);
    view->setColumnWidth(OutboxListModel::Recipients, 190);
    view->setColumnWidth(OutboxListModel::Documents, 160);
    view->setColumnWidth(OutboxListModel::Pages, 50);
    view->setColumnWidth(OutboxListModel::When, 130);
    return view;
}

}  // namespace

OutboxWindow::OutboxWindow(OutboxWindowOptions options, QWidget* parent)
    : QWidget(parent), options_(std::move(options)), loader_(options_.localFolders) {
    setWindowTitle(tr("Corvinaport Outbox"));
    setAccessibleName(tr("Corvinaport Outbox"));
    resize(900, 520);

    auto* searchLabel = new QLabel(tr("Sear&ch:"));
    search_ = new QLineEdit;
    search_->setClearButtonEnabled(true);
    search_->setPlaceholderText(tr("Recipient, number, document or date"));
    search_->setAccessibleName(tr("Search"));
    search_->setAccessibleDescription(
        tr("Shows the faxes whose recipient, number, document "
           "or date holds every word typed"));
    searchLabel->setBuddy(search_);

    outboxModel_ = new OutboxListModel(List::Outbox, this);
    sentModel_ = new OutboxListModel(List::Sent, this);
    outboxFilter_ = new OutboxFilter(this);
    outboxFilter_->setSourceModel(outboxModel_);
    sentFilter_ = new OutboxFilter(this);
    sentFilter_->setSourceModel(sentModel_);
    outboxView_ = MakeView(outboxFilter_, tr("Faxes in the outbox"));
    sentView_ = MakeView(sentFilter_, tr("Sent faxes"));
    tabs_ = new QTabWidget;
    tabs_->addTab(outboxView_, tr("&Outbox"));
    tabs_->addTab(sentView_, tr("Se&nt"));
    tabs_->setAccessibleName(tr("Lists of faxes"));

    auto button = [this](const QString& text, const QString& description,
                         void (OutboxWindow::*act)()) {
        auto* b = new QPushButton(text);
        b->setAccessibleName(QString(text).remove(QChar('&')));
        b->setAccessibleDescription(description);
        connect(b, &QPushButton::clicked, this, act);
        return b;
    };
    preview_ =
        button(tr("&Preview"), tr("Shows the pages as they are sent"), &OutboxWindow::Preview);
    send_ = button(tr("&Send now"), tr("Sends the selected faxes now"), &OutboxWindow::SendNow);
    hold_ = button(tr("&Hold"), tr("Keeps the selected faxes until you send them"),
                   &OutboxWindow::Hold);
    markSent_ = button(tr("&Mark as sent"),
                       tr("Records a fax that may have been sent as sent, without sending it"),
                       &OutboxWindow::MarkSent);
    sendAgain_ =
        button(tr("Send &again"), tr("Stores a new fax to the same recipients and sends it"),
               &OutboxWindow::SendAgain);
    delete_ = button(tr("&Delete"), tr("Moves the selected faxes to the deleted faxes"),
                     &OutboxWindow::Delete);
    showFolder_ =
        button(tr("Show in &folder"), tr("Opens the fax's folder"), &OutboxWindow::ShowInFolder);
    status_ = new QLabel;
    status_->setAccessibleName(tr("Status"));
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    status_->setWordWrap(true);

    auto* top = new QHBoxLayout;
    top->addWidget(searchLabel);
    top->addWidget(search_, 1);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {preview_, send_, hold_, markSent_, sendAgain_, delete_, showFolder_})
        buttons->addWidget(b);
    buttons->addStretch(1);
    // The account and the address book are one step away.
    const std::pair<QString, std::function<void()>> others[] = {
        {tr("Con&tacts..."), options_.openContacts},
        {tr("Settin&gs..."), options_.openSettings},
    };
    for (const auto& [text, open] : others) {
        if (!open) continue;
        auto* b = new QPushButton(text);
        b->setAccessibleName(QString(text).remove(QChar('&')).remove(QStringLiteral("...")));
        connect(b, &QPushButton::clicked, this, open);
        buttons->addWidget(b);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(tabs_, 1);
    layout->addLayout(buttons);
    layout->addWidget(status_);
    setTabOrder(search_, tabs_);

    connect(search_, &QLineEdit::textChanged, this, [this](const QString& text) {
        outboxFilter_->SetSearch(text);
        sentFilter_->SetSearch(text);
        UpdateButtons();
    });
    for (QTreeView* v : {outboxView_, sentView_}) {
        connect(v->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                &OutboxWindow::UpdateButtons);
        connect(v, &QTreeView::activated, this, &OutboxWindow::Preview);
        auto* del = new QShortcut(QKeySequence::Delete, v, nullptr, nullptr, Qt::WidgetShortcut);
        connect(del, &QShortcut::activated, this, &OutboxWindow::Delete);
    }
    connect(tabs_, &QTabWidget::currentChanged, this, &OutboxWindow::UpdateButtons);
    connect(new QShortcut(QKeySequence::Find, this), &QShortcut::activated, this, [this] {
        search_->setFocus(Qt::ShortcutFocusReason);
        search_->selectAll();
    });
    connect(new QShortcut(QKeySequence::Refresh, this), &QShortcut::activated, this,
            &OutboxWindow::Reload);
    connect(new QShortcut(QKeySequence::Close, this), &QShortcut::activated, this, &QWidget::close);

    // Changes by the watcher, the command or other windows: read again once
    // they settle. The clock's own changes (a next try now due, a lock taken
    // without a write) show within a minute.
    debounce_.setSingleShot(true);
    debounce_.setInterval(250);
    connect(&debounce_, &QTimer::timeout, this, &OutboxWindow::Reload);
    connect(&watcher_, &QFileSystemWatcher::directoryChanged, &debounce_,
            qOverload<>(&QTimer::start));
    periodic_.setInterval(30000);
    connect(&periodic_, &QTimer::timeout, this, &OutboxWindow::Reload);
    periodic_.start();

    UpdateButtons();
    Reload();
}

OutboxWindow::~OutboxWindow() {
    worker_ = {};
    for (QProcess* p : processes_) {
        p->disconnect(this);
        p->waitForFinished(-1);
    }
}

void OutboxWindow::closeEvent(QCloseEvent* event) {
    // Sends under way finish; the window goes at once.
    hide();
    event->accept();
}

QTreeView* OutboxWindow::view(List list) const {
    return list == List::Outbox ? outboxView_ : sentView_;
}
OutboxListModel* OutboxWindow::model(List list) const {
    return list == List::Outbox ? outboxModel_ : sentModel_;
}
OutboxFilter* OutboxWindow::filter(List list) const {
    return list == List::Outbox ? outboxFilter_ : sentFilter_;
}

List OutboxWindow::CurrentList() const {
    return tabs_->currentWidget() == sentView_ ? List::Sent : List::Outbox;
}

std::vector<OutboxEntry> OutboxWindow::Selected() const {
    const List list = CurrentList();
    std::vector<OutboxEntry> entries;
    for (const QModelIndex& index : view(list)->selectionModel()->selectedRows())
        entries.push_back(model(list)->entry(filter(list)->mapToSource(index).row()));
    return entries;
}

void OutboxWindow::Reload() {
    if (loading_) {
        reloadPending_ = true;
        return;
    }
    loading_ = true;
    reloadPending_ = false;
    const unsigned generation = ++generation_;
    const std::time_t now = options_.clock ? options_.clock->Now() : std::time(nullptr);
    const bool purge = !purged_;
    purged_ = true;
    worker_ = std::jthread([this, generation, now, purge](const std::stop_token& stop) {
        if (purge) (void)PurgeDeleted(options_.localFolders, now);
        loader_.Load(now, stop, [this, generation](OutboxBatch batch) {
            auto shared = std::make_shared<OutboxBatch>(std::move(batch));
            QMetaObject::invokeMethod(
                this, [this, generation, shared] { Apply(generation, *shared); },
                Qt::QueuedConnection);
        });
    });
}

void OutboxWindow::Apply(unsigned generation, OutboxBatch& batch) {
    if (generation != generation_) return;
    if (firstLoad_) {
        outboxModel_->Append(std::move(batch.outbox));
        sentModel_->Append(std::move(batch.sent));
        if (!firstShown_) {
            firstShown_ = true;
            for (QTreeView* v : {outboxView_, sentView_})
                if (v->model()->rowCount() > 0 && !v->currentIndex().isValid())
                    v->setCurrentIndex(v->model()->index(0, 0));
            emit firstScreen();
        }
    } else {
        std::move(batch.outbox.begin(), batch.outbox.end(), std::back_inserter(nextOutbox_));
        std::move(batch.sent.begin(), batch.sent.end(), std::back_inserter(nextSent_));
    }
    if (batch.entriesDone) {
        if (!firstLoad_) {
            for (auto* pair : {&nextOutbox_, &nextSent_}) {
                const List list = pair == &nextOutbox_ ? List::Outbox : List::Sent;
                OutboxListModel* m = model(list);
                if (SameRows(*pair, *m)) {
                    // Only page counts may differ: they come below.
                    pair->clear();
                    continue;
                }
                QTreeView* v = view(list);
                std::set<std::string> selected;
                std::string current;
                for (const QModelIndex& i : v->selectionModel()->selectedRows())
                    selected.insert(m->entry(filter(list)->mapToSource(i).row()).name);
                if (v->currentIndex().isValid())
                    current = m->entry(filter(list)->mapToSource(v->currentIndex()).row()).name;
                m->SetEntries(std::move(*pair));
                pair->clear();
                QItemSelection keep;
                for (const auto& name : selected)
                    if (const int row = m->RowOf(name); row >= 0) {
                        const QModelIndex at = filter(list)->mapFromSource(m->index(row, 0));
                        if (at.isValid()) keep.select(at, at);
                    }
                if (const int row = m->RowOf(current); row >= 0)
                    v->selectionModel()->setCurrentIndex(
                        filter(list)->mapFromSource(m->index(row, 0)),
                        QItemSelectionModel::NoUpdate);
                v->selectionModel()->select(
                    keep, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
            }
        }
        firstLoad_ = false;
        WatchFolders();
        UpdateButtons();
        emit loaded();
    }
    for (const auto& [list, name, pages] : batch.pages) model(list)->SetPages(name, pages);
    if (batch.done) {
        loading_ = false;
        if (reloadPending_) Reload();
    }
}

void OutboxWindow::WatchFolders() {
    std::string local = options_.localFolders;
    if (local.size() > 1 && local.back() == '/') local.pop_back();
    QStringList wanted{QString::fromStdString(local),
                       QString::fromStdString(options_.localFolders + "outbox"),
                       QString::fromStdString(options_.localFolders + "sent")};
    // A stored fax's own folder changes as its send.state is written.
    for (int row = 0; row < outboxModel_->rowCount(); ++row)
        wanted << QString::fromStdString(outboxModel_->entry(row).folder);
    const QStringList watched = watcher_.directories();
    QStringList gone;
    for (const QString& path : watched)
        if (!wanted.contains(path)) gone << path;
    if (!gone.isEmpty()) watcher_.removePaths(gone);
    QStringList added;
    for (const QString& path : wanted) {
        struct stat st {};
        if (!watched.contains(path) && ::stat(path.toLocal8Bit().constData(), &st) == 0 &&
            S_ISDIR(st.st_mode))
            added << path;
    }
    if (!added.isEmpty()) (void)watcher_.addPaths(added);
}

void OutboxWindow::UpdateButtons() {
    const List list = CurrentList();
    const bool outbox = list == List::Outbox;
    const std::vector<OutboxEntry> selected = Selected();
    auto any = [&](auto pred) { return std::any_of(selected.begin(), selected.end(), pred); };
    send_->setVisible(outbox);
    hold_->setVisible(outbox);
    markSent_->setVisible(outbox);
    sendAgain_->setVisible(!outbox);
    preview_->setEnabled(selected.size() == 1 && !selected.front().files.empty());
    showFolder_->setEnabled(selected.size() == 1);
    delete_->setEnabled(!selected.empty());
    send_->setEnabled(any([](const OutboxEntry& e) {
        return e.usable && e.state != FaxState::Sending && e.state != FaxState::Sent;
    }));
    hold_->setEnabled(any([](const OutboxEntry& e) {
        return e.usable && (e.state == FaxState::Waiting || e.state == FaxState::Failed);
    }));
    markSent_->setEnabled(any([](const OutboxEntry& e) { return e.state == FaxState::Unknown; }));
    sendAgain_->setEnabled(any([](const OutboxEntry& e) { return e.usable; }));
}

void OutboxWindow::Tell(const QString& text, bool problem) {
    status_->setText(text);
    if (problem && options_.messageBox)
        (void)options_.messageBox->Show(text.toStdString(), Caption(), MbButtons::Ok,
                                        MbIcon::Exclamation);
}

void OutboxWindow::Preview() {
    const auto selected = Selected();
    if (selected.size() != 1 || selected.front().files.empty() || !options_.preview) return;
    options_.preview(this, selected.front().files);
}

void OutboxWindow::SendNow() {
    if (CurrentList() != List::Outbox) return;
    QStringList names, again;
    std::vector<OutboxEntry> unknown;
    for (const auto& e : Selected()) {
        if (!e.usable || e.state == FaxState::Sending || e.state == FaxState::Sent) continue;
        if (e.state == FaxState::Unknown) {
            again << QString::fromStdString(e.name);
            unknown.push_back(e);
        } else {
            names << QString::fromStdString(e.name);
        }
    }
    if (!unknown.empty() && options_.messageBox &&
        options_.messageBox->Show(tr("This fax may have been sent already:\n%1\n\nSend it again?",
                                     nullptr, static_cast<int>(unknown.size()))
                                      .arg(Names(unknown))
                                      .toStdString(),
                                  Caption(), MbButtons::YesNo, MbIcon::Question) == MbResult::Yes)
        RunCommand(QStringList{QStringLiteral("send"), QStringLiteral("--again"),
                               QStringLiteral("--tab")} +
                   again);
    if (!names.isEmpty())
        RunCommand(QStringList{QStringLiteral("send"), QStringLiteral("--tab")} + names);
}

void OutboxWindow::MarkSent() {
    if (CurrentList() != List::Outbox) return;
    std::vector<OutboxEntry> unknown;
    QStringList names;
    for (const auto& e : Selected())
        if (e.state == FaxState::Unknown) {
            unknown.push_back(e);
            names << QString::fromStdString(e.name);
        }
    if (unknown.empty() || !options_.messageBox) return;
    if (options_.messageBox->Show(tr("Record this fax as sent, without sending it?\n%1", nullptr,
                                     static_cast<int>(unknown.size()))
                                      .arg(Names(unknown))
                                      .toStdString(),
                                  Caption(), MbButtons::YesNo, MbIcon::Question) != MbResult::Yes)
        return;
    RunCommand(QStringList{QStringLiteral("mark-sent"), QStringLiteral("--tab")} + names);
}

void OutboxWindow::Hold() {
    if (CurrentList() != List::Outbox) return;
    QStringList problems;
    for (const auto& e : Selected()) {
        if (!e.usable || (e.state != FaxState::Waiting && e.state != FaxState::Failed)) continue;
        if (auto held = HoldFax(options_.localFolders, e.name); !held)
            problems << tr("%1 could not be held: %2")
                            .arg(e.recipients, QString::fromStdString(held.failure().cause));
    }
    if (!problems.isEmpty()) Tell(problems.join(QChar('\n')), true);
    Reload();
}

void OutboxWindow::Delete() {
    const List list = CurrentList();
    const std::vector<OutboxEntry> selected = Selected();
    if (selected.empty() || !options_.messageBox) return;
    const int n = static_cast<int>(selected.size());
    const QString question =
        list == List::Outbox
            ? tr("Delete this fax from the outbox? It will not be sent.\n%1\n\nIt is kept "
                 "among the deleted faxes for 30 days.",
                 nullptr, n)
            : tr("Delete this fax from the sent faxes?\n%1\n\nIt is kept among the deleted "
                 "faxes for 30 days.",
                 nullptr, n);
    if (options_.messageBox->Show(question.arg(Names(selected)).toStdString(), Caption(),
                                  MbButtons::YesNo, MbIcon::Question) != MbResult::Yes)
        return;
    const std::time_t now = options_.clock ? options_.clock->Now() : std::time(nullptr);
    QStringList problems;
    for (const auto& e : selected) {
        if (auto gone = DeleteFax(options_.localFolders, ListName(list), e.name, now); !gone)
            problems << tr("%1 could not be deleted: %2")
                            .arg(e.recipients.isEmpty() ? QString::fromStdString(e.name)
                                                        : e.recipients,
                                 QString::fromStdString(gone.failure().cause));
    }
    if (!problems.isEmpty())
        Tell(problems.join(QChar('\n')), true);
    else
        Tell(tr("Deleted. The deleted faxes are kept for 30 days in %1.")
                 .arg(QString::fromStdString(options_.localFolders + "deleted/")),
             false);
    Reload();
}

void OutboxWindow::SendAgain() {
    if (CurrentList() != List::Sent || !options_.clock) return;
    QStringList stored, problems;
    for (const auto& e : Selected()) {
        if (!e.usable) continue;
        if (const auto name = ::SendAgain(options_.localFolders, e.name, *options_.clock))
            stored << QString::fromStdString(*name);
        else
            problems << tr("%1 could not be stored again: %2")
                            .arg(e.recipients, QString::fromStdString(name.failure().cause));
    }
    if (!problems.isEmpty()) Tell(problems.join(QChar('\n')), true);
    if (!stored.isEmpty())
        RunCommand(QStringList{QStringLiteral("send"), QStringLiteral("--tab")} + stored);
    Reload();
}

void OutboxWindow::ShowInFolder() {
    const auto selected = Selected();
    if (selected.size() != 1 || !options_.shell) return;
    QPointer<OutboxWindow> self(this);
    options_.shell->ShellOpen(selected.front().folder, 1, [self](int result) {
        if (self && result <= 32) self->Tell(tr("The fax's folder could not be opened."), true);
    });
}

void OutboxWindow::RunCommand(const QStringList& arguments) {
    auto* process = new QProcess(this);
    processes_.push_back(process);
    process->setProcessChannelMode(QProcess::SeparateChannels);
    const bool markSent = arguments.front() == QStringLiteral("mark-sent");
    Tell(markSent ? tr("Recording as sent...") : tr("Sending..."), false);
    connect(process, &QProcess::finished, this, [this, process, markSent] {
        QStringList lines;
        for (const QString& line : QString::fromLocal8Bit(process->readAllStandardOutput())
                                       .split(QChar('\n'), Qt::SkipEmptyParts)) {
            const QStringList f = line.split(QChar('\t'));
            if (f.size() < 2) continue;
            const QString& kind = f[1];
            const QString text = f.size() > 2 ? f[2] : QString();
            const int row = outboxModel_->RowOf(f[0].toStdString());
            const QString who = row >= 0 && !outboxModel_->entry(row).recipients.isEmpty()
                                    ? outboxModel_->entry(row).recipients
                                    : f[0];
            if (kind == QLatin1String("sent") || kind == QLatin1String("moved") ||
                kind == QLatin1String("sent-not-moved") || kind == QLatin1String("move-failed"))
                lines << (markSent ? tr("%1: recorded as sent").arg(who) : tr("%1: sent").arg(who));
            else if (kind == QLatin1String("busy"))
                lines << tr("%1: being sent by another program").arg(who);
            else {
                lines << tr("%1: not sent (%2)").arg(who, text.isEmpty() ? kind : text);
            }
        }
        if (lines.isEmpty() && process->exitCode() != 0) {
            const QString err = QString::fromLocal8Bit(process->readAllStandardError()).trimmed();
            lines << tr("The outbox command failed: %1")
                         .arg(err.isEmpty() ? process->errorString() : err);
        }
        Tell(lines.join(QChar('\n')), false);
        processes_.erase(std::remove(processes_.begin(), processes_.end(), process),
                         processes_.end());
        process->deleteLater();
        Reload();
        if (processes_.empty()) emit sendsFinished();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError e) {
        if (e != QProcess::FailedToStart) return;
        status_->setText(
            tr("The outbox command could not be started: %1").arg(process->errorString()));
        processes_.erase(std::remove(processes_.begin(), processes_.end(), process),
                         processes_.end());
        process->deleteLater();
        if (processes_.empty()) emit sendsFinished();
    });
    process->start(options_.outboxCommand, arguments);
}
