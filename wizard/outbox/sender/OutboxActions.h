#pragma once

#include <ctime>
#include <string>

#include "app/core/Clock.h"
#include "base/Failure.h"

// What the user does to stored and sent faxes besides sending them. Each
// takes the fax's folder lock, so nothing is changed under a sender's hands.
// localFolders ends with "/".

// Folders of deleted faxes live this long in localFolders + "deleted/".
inline constexpr std::time_t kDeletedKeepSeconds = 30 * 24 * 3600;

// Holds a stored fax: it is not sent until the user sends it. A fax that is
// being sent, was sent, or may have been sent is not changed.
Result<> HoldFax(const std::string& localFolders, const std::string& name);

// Moves a fax of the list "outbox" or "sent" to localFolders + "deleted/",
// where it is kept for kDeletedKeepSeconds (its own name, or "<name>-N").
// Nothing is removed.
Result<> DeleteFax(const std::string& localFolders, const std::string& list,
                   const std::string& name, std::time_t now);

// Removes the deleted faxes older than kDeletedKeepSeconds; the number
// removed.
int PurgeDeleted(const std::string& localFolders, std::time_t now);

// A new stored fax (waiting, sent at the next chance) with the recipients
// and documents of the sent fax sentName. Its folder name, or the cause.
Result<std::string> SendAgain(const std::string& localFolders, const std::string& sentName,
                              const Clock& clock);
