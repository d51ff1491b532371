#pragma once

#include <QString>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <stop_token>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "wizard/job/FaxState.h"

class OutboxReader;

// One fax as the outbox window lists it: a stored fax of LocalFolders/outbox/
// or a sent one of LocalFolders/sent/.
struct OutboxEntry {
    enum class List { Outbox, Sent };
    List list = List::Outbox;
    std::string name;                // the folder's name
    std::string folder;              // its path, without a trailing "/"
    QString recipients;              // names where the recipient line has them, else numbers
    QString documents;               // the documents' file names
    std::vector<std::string> files;  // the documents as sent, for the page viewer
    int pages = -1;                  // -1: not counted (yet), or not countable
    std::time_t when = 0;            // stored (outbox) or sent (history)
    FaxState state = FaxState::Held;
    // A complete stored fax; false: malformed or still being written.
    bool usable = true;
    QString stateText;
    // Everything the search looks in, lower case.
    QString haystack;
};

// The list's name as the fax actions take it: "outbox" or "sent".
[[nodiscard]] const char* ListName(OutboxEntry::List list);

// The state of a stored fax in words: "Held", "Waiting: next try at 14:05
// (the service did not answer)", "Failed after 10 tries: the account was
// refused", "May have been sent: ...", "Sending now".
[[nodiscard]] QString StateText(const SendState& state, FaxState faxState, std::time_t now);
// The cause of a recorded failure, short: "Getting the upload address failed:
// the connection was refused." gives "the connection was refused".
[[nodiscard]] QString ShortCause(const std::string& lastError);
// "Bob; 5551234; ann@example.com": who a recipient line names, the display
// name where there is one, else the number (gateway domain dropped) or
// address. numbers gets every number and address.
[[nodiscard]] QString RecipientNames(const std::string& to, QString* numbers = nullptr);
// Pages of a TIFF document; -1 for anything else or a damaged file.
[[nodiscard]] int CountDocumentPages(const std::string& path);
// The sent faxes' folder names, newest first (by the time in their names).
[[nodiscard]] std::vector<std::string> SentNames(const std::string& localFolders);
// One sent fax read back; usable false when its message file is unreadable.
[[nodiscard]] OutboxEntry ReadSentEntry(const std::string& localFolders, const std::string& name);
// The outbox's entry names, sorted (names beginning with "." left out).
[[nodiscard]] std::vector<std::string> OutboxNames(const std::string& localFolders);
// One stored fax as the reader finds it; nullopt for no such entry or a
// plain file.
[[nodiscard]] std::optional<OutboxEntry> ReadOutboxEntry(const OutboxReader& reader,
                                                         const std::string& name, std::time_t now);
// True when every word of the lower-case search text occurs in the entry.
[[nodiscard]] bool MatchesSearch(const OutboxEntry& entry, const QStringList& words);

// One delivery of a load: entries to add (or, once complete, the whole
// lists) and page counts found.
struct OutboxBatch {
    std::vector<OutboxEntry> outbox;
    std::vector<OutboxEntry> sent;
    bool entriesDone = false;  // every entry of both lists was delivered
    bool done = false;         // pages too
    // (list, name, pages)
    std::vector<std::tuple<OutboxEntry::List, std::string, int>> pages;
};

// Reads both lists for the window: the outbox first, then the sent faxes
// newest first, a small first batch so a screen fills at once, then the
// page counts. Sent faxes and page counts already read are kept between
// loads (a sent fax does not change), so a reload reads what is new.
class OutboxLoader {
  public:
    explicit OutboxLoader(std::string localFolders) : local_(std::move(localFolders)) {}
    // Runs on any one thread at a time; deliver gets each batch.
    void Load(std::time_t now, const std::stop_token& stop,
              const std::function<void(OutboxBatch)>& deliver);

    static constexpr std::size_t kFirstBatch = 60;
    static constexpr std::size_t kBatch = 2000;

  private:
    struct Pages {
        std::time_t mtime;
        long long size;
        int pages;
    };
    int PagesOf(const std::string& path);

    std::string local_;
    std::map<std::string, OutboxEntry> sentCache_;
    std::map<std::string, Pages> pageCache_;
};
