#include "wizard/outbox/core/OutboxEntries.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <cstdarg>

#include "base/DynamicLibrary.h"
#include "base/UniqueFd.h"
#include "wizard/job/OutboxMessage.h"
#include "wizard/job/OutboxReader.h"

namespace {

QString Clock(std::time_t t) {
    return QDateTime::fromSecsSinceEpoch(t).toString(QStringLiteral("HH:mm"));
}

// A message or state file: a regular file read without following a link.
std::string ReadSmall(const std::string& path) {
    return ReadSmallFile(path, kMaxMessageFileBytes).value_or({});
}

// The time in a folder's name ("1700000000", "1700000000-2"), or 0.
std::time_t NameTime(const std::string& name) {
    std::time_t t = 0;
    std::size_t i = 0;
    for (; i < name.size() && i < 12 && std::isdigit(static_cast<unsigned char>(name[i])); ++i)
        t = t * 10 + (name[i] - '0');
    return i > 0 && (i == name.size() || name[i] == '-') ? t : 0;
}

void Describe(OutboxEntry& e, const OutboxMessage& message) {
    QString numbers;
    e.recipients = RecipientNames(message.to, &numbers);
    QStringList docs;
    for (const auto& a : message.attachments) {
        const std::string base = AttachmentFileName(a);
        docs << QString::fromStdString(base);
        e.files.push_back(e.folder + "/" + base);
    }
    e.documents = docs.join(QStringLiteral(", "));
    const QDateTime when = QDateTime::fromSecsSinceEpoch(e.when);
    e.haystack = QStringList{e.recipients,
                             numbers,
                             e.documents,
                             QString::fromStdString(message.subject),
                             when.toString(QStringLiteral("yyyy-MM-dd HH:mm")),
                             QLocale().toString(when, QLocale::ShortFormat),
                             QLocale().toString(when.date(), QLocale::LongFormat),
                             e.stateText}
                     .join(QChar('\n'))
                     .toLower();
}

int SilentTiffExt(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// libtiff, loaded on the first page count: a program that never counts pages
// (the wizard until a document comes) does not load it at start.
struct TiffApi {
    DynamicLibrary library;
    bool complete = false;
    decltype(&::TIFFOpenOptionsAlloc) OpenOptionsAlloc = nullptr;
    decltype(&::TIFFOpenOptionsFree) OpenOptionsFree = nullptr;
    decltype(&::TIFFOpenOptionsSetErrorHandlerExtR) OpenOptionsSetErrorHandlerExtR = nullptr;
    decltype(&::TIFFOpenOptionsSetWarningHandlerExtR) OpenOptionsSetWarningHandlerExtR = nullptr;
    decltype(&::TIFFOpenExt) OpenExt = nullptr;
    decltype(&::TIFFNumberOfDirectories) NumberOfDirectories = nullptr;
    decltype(&::TIFFClose) Close = nullptr;
};

const TiffApi& Tiff() {
    static const TiffApi api = [] {
        TiffApi a;
        a.library = DynamicLibrary::OpenForRun("libtiff.so.6");
        a.complete = a.library && a.library.Bind(a.OpenOptionsAlloc, "TIFFOpenOptionsAlloc") &&
                     a.library.Bind(a.OpenOptionsFree, "TIFFOpenOptionsFree") &&
                     a.library.Bind(a.OpenOptionsSetErrorHandlerExtR,
                                    "TIFFOpenOptionsSetErrorHandlerExtR") &&
                     a.library.Bind(a.OpenOptionsSetWarningHandlerExtR,
                                    "TIFFOpenOptionsSetWarningHandlerExtR") &&
                     a.library.Bind(a.OpenExt, "TIFFOpenExt") &&
                     a.library.Bind(a.NumberOfDirectories, "TIFFNumberOfDirectories") &&
                     a.library.Bind(a.Close, "TIFFClose");
        return a;
    }();
    return api;
}

}  // namespace

const char* ListName(OutboxEntry::List list) {
    return list == OutboxEntry::List::Outbox ? "outbox" : "sent";
}

QString ShortCause(const std::string& lastError) {
    QString cause = QString::fromStdString(lastError).trimmed();
    const int colon = cause.lastIndexOf(QStringLiteral(": "));
    if (colon >= 0) cause = cause.mid(colon + 2);
    while (cause.endsWith(QChar('.'))) cause.chop(1);
    if (cause.size() > 1 && cause[0].isUpper() && cause[1].isLower()) cause[0] = cause[0].toLower();
    return cause;
}

QString StateText(const SendState& s, FaxState faxState, std::time_t now) {
    switch (faxState) {
        case FaxState::Held:
            return QCoreApplication::translate("OutboxWindow", "Held");
        case FaxState::Sending:
            return QCoreApplication::translate("OutboxWindow", "Sending now");
        case FaxState::Unknown:
            if (s.unknownWhy.empty())
                return QCoreApplication::translate(
                           "OutboxWindow",
                           "May have been sent: the program stopped while sending at %1")
                    .arg(Clock(s.sendingSince));
            return QCoreApplication::translate("OutboxWindow", "May have been sent: %1 (at %2)")
                .arg(QString::fromStdString(s.unknownWhy), Clock(s.sendingSince));
        case FaxState::Failed:
            return QCoreApplication::translate("OutboxWindow", "Failed after %n tries: %1", nullptr,
                                               s.attempts)
                .arg(ShortCause(s.lastError));
        case FaxState::Sent:
            return QCoreApplication::translate("OutboxWindow",
                                               "Sent; not yet moved to the sent faxes");
        case FaxState::Waiting:
            break;
    }
    if (s.attempts == 0) return QCoreApplication::translate("OutboxWindow", "Waiting to be sent");
    const std::time_t next = NextAttemptAt(s);
    if (next <= now)
        return QCoreApplication::translate("OutboxWindow", "Waiting: next try now (%1)")
            .arg(ShortCause(s.lastError));
    return QCoreApplication::translate("OutboxWindow", "Waiting: next try at %1 (%2)")
        .arg(Clock(next), ShortCause(s.lastError));
}

QString RecipientNames(const std::string& to, QString* numbers) {
    QStringList names, all;
    // Entries are separated by commas outside double quotes.
    std::vector<std::string> entries(1);
    bool quoted = false;
    for (const char c : to) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted)
            entries.emplace_back();
        else
            entries.back() += c;
    }
    for (std::string entry : entries) {
        const auto first = entry.find_first_not_of(' ');
        if (first == std::string::npos) continue;
        entry = entry.substr(first, entry.find_last_not_of(' ') - first + 1);
        std::string name, address = entry;
        const auto open = entry.rfind('<');
        if (open != std::string::npos && entry.back() == '>') {
            address = entry.substr(open + 1, entry.size() - open - 2);
            name = entry.substr(0, open);
            name.erase(std::remove(name.begin(), name.end(), '"'), name.end());
            while (!name.empty() && name.back() == ' ') name.pop_back();
        }
        const auto at = address.find('@');
        if (at != std::string::npos && at > 0 &&
            std::all_of(address.begin(), address.begin() + static_cast<long>(at),
                        [](unsigned char c) { return std::isdigit(c); }))
            address.resize(at);  // a fax number at the gateway
        all << QString::fromStdString(address);
        names << QString::fromStdString(name.empty() ? address : name);
    }
    if (numbers) *numbers = all.join(QStringLiteral("; "));
    return names.join(QStringLiteral("; "));
}

int CountDocumentPages(const std::string& path) {
    const TiffApi& tiffs = Tiff();
    if (!tiffs.complete) return -1;
    TIFFOpenOptions* options = tiffs.OpenOptionsAlloc();
    if (!options) return -1;
    tiffs.OpenOptionsSetErrorHandlerExtR(options, SilentTiffExt, nullptr);
    tiffs.OpenOptionsSetWarningHandlerExtR(options, SilentTiffExt, nullptr);
    // Read, not mapped: the count visits one small directory per page, and
    // touching each page of a mapped file costs more than reading it.
    TIFF* tiff = tiffs.OpenExt(path.c_str(), "rhm", options);
    tiffs.OpenOptionsFree(options);
    if (!tiff) return -1;
    const int pages = tiffs.NumberOfDirectories(tiff);
    tiffs.Close(tiff);
    return pages > 0 ? pages : -1;
}

std::vector<std::string> SentNames(const std::string& localFolders) {
    std::vector<std::pair<std::time_t, std::string>> found;
    if (DIR* dir = ::opendir((localFolders + "sent").c_str())) {
        while (const dirent* d = ::readdir(dir))
            if (d->d_name[0] != '.' && (d->d_type == DT_DIR || d->d_type == DT_UNKNOWN))
                found.emplace_back(NameTime(d->d_name), d->d_name);
        ::closedir(dir);
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a > b; });
    std::vector<std::string> names;
    names.reserve(found.size());
    for (auto& f : found) names.push_back(std::move(f.second));
    return names;
}

OutboxEntry ReadSentEntry(const std::string& localFolders, const std::string& name) {
    OutboxEntry e;
    e.list = OutboxEntry::List::Sent;
    e.name = name;
    e.folder = localFolders + "sent/" + name;
    e.state = FaxState::Sent;
    const SendState state = SendState::Parse(ReadSmall(e.folder + "/" + kSendStateName));
    e.when = state.lastAttempt ? state.lastAttempt : NameTime(name);
    e.stateText = QCoreApplication::translate("OutboxWindow", "Sent");
    const auto message = OutboxMessage::Parse(ReadSmall(e.folder + "/" + kMessageFileName));
    if (!message) {
        e.usable = false;
        e.stateText = QCoreApplication::translate("OutboxWindow", "Unreadable");
    }
    Describe(e, message ? *message : OutboxMessage{});
    return e;
}

std::vector<std::string> OutboxNames(const std::string& localFolders) {
    std::vector<std::string> names;
    if (DIR* dir = ::opendir((localFolders + "outbox").c_str())) {
        while (const dirent* d = ::readdir(dir))
            if (d->d_name[0] != '.') names.emplace_back(d->d_name);
        ::closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::optional<OutboxEntry> ReadOutboxEntry(const OutboxReader& reader, const std::string& name,
                                           std::time_t now) {
    const std::optional<StoredFax> found = reader.Read(name, now);
    if (!found) return std::nullopt;
    const StoredFax& fax = *found;
    OutboxEntry e;
    e.name = fax.name;
    e.folder = fax.folder;
    e.when = NameTime(fax.name);
    e.state = fax.faxState;
    switch (fax.status) {
        case StoredFax::Status::Ready:
        case StoredFax::Status::Accepted:
            e.stateText = StateText(fax.state, fax.faxState, now);
            break;
        case StoredFax::Status::Writing:
            e.usable = false;
            e.stateText = QCoreApplication::translate("OutboxWindow", "Being stored");
            break;
        case StoredFax::Status::Broken:
            e.usable = false;
            e.stateText = QCoreApplication::translate("OutboxWindow", "Cannot be sent: %1")
                              .arg(QString::fromStdString(fax.problem));
            break;
    }
    Describe(e, fax.message);
    return e;
}

bool MatchesSearch(const OutboxEntry& entry, const QStringList& words) {
    return std::all_of(words.begin(), words.end(),
                       [&](const QString& w) { return entry.haystack.contains(w); });
}

int OutboxLoader::PagesOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return -1;
    const auto found = pageCache_.find(path);
    if (found != pageCache_.end() && found->second.mtime == st.st_mtime &&
        found->second.size == st.st_size)
        return found->second.pages;
    const int pages = CountDocumentPages(path);
    pageCache_[path] = {st.st_mtime, static_cast<long long>(st.st_size), pages};
    return pages;
}

void OutboxLoader::Load(std::time_t now, const std::stop_token& stop,
                        const std::function<void(OutboxBatch)>& deliver) {
    OutboxBatch batch;
    std::size_t limit = kFirstBatch, shown = 0;
    // The first few rows make the first screen; the rest follows in larger batches.
    auto full = [&] {
        if (++shown < limit) return;
        deliver(std::move(batch));
        batch = {};
        shown = 0;
        limit = kBatch;
    };
    std::vector<std::pair<OutboxEntry::List, std::pair<std::string, std::vector<std::string>>>>
        documents;
    const OutboxReader reader(local_);
    for (const auto& name : OutboxNames(local_)) {
        if (stop.stop_requested()) return;
        auto e = ReadOutboxEntry(reader, name, now);
        if (!e) continue;
        documents.push_back({OutboxEntry::List::Outbox, {e->name, e->files}});
        batch.outbox.push_back(std::move(*e));
        full();
    }
    std::map<std::string, OutboxEntry> cache;
    for (const auto& name : SentNames(local_)) {
        if (stop.stop_requested()) return;
        auto found = sentCache_.find(name);
        OutboxEntry e = found != sentCache_.end() && found->second.usable
                            ? found->second
                            : ReadSentEntry(local_, name);
        cache.emplace(name, e);
        documents.push_back({OutboxEntry::List::Sent, {name, e.files}});
        batch.sent.push_back(std::move(e));
        full();
    }
    sentCache_ = std::move(cache);
    batch.entriesDone = true;
    deliver(std::move(batch));

    batch = {};
    for (const auto& [list, doc] : documents) {
        if (stop.stop_requested()) return;
        int pages = -1;
        for (const auto& file : doc.second) {
            const int n = PagesOf(file);
            if (n < 0) {
                pages = -1;
                break;
            }
            pages = std::max(pages, 0) + n;
        }
        if (pages >= 0) batch.pages.emplace_back(list, doc.first, pages);
        if (batch.pages.size() >= kBatch) {
            deliver(std::move(batch));
            batch = {};
        }
    }
    batch.done = true;
    deliver(std::move(batch));
}
