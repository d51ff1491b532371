#pragma once

#include <string>
#include <string_view>

#include "app/Clock.h"
#include "wizard/FaxJob.h"

// The outbox: localFolders + "outbox/" holds the staged document of the job
// being composed; each stored fax is a folder below it named by the time it
// was stored, holding "msg.qvm" and the document.

// Copies the attached file into localFolders + "outbox/" under its own file
// name, replacing a file of that name, and returns the copy's path. The
// attached file stays where it was. The outbox folder is created when it is
// missing. Returns the empty text when the copy could not be made, so that a
// stale file of the same name is never taken for the document.
[[nodiscard]] std::string StageAttachment(const std::string& localFolders,
                                          const std::string& attachedPath);

// Stores message under localFolders + folderName + "/" + dir, dir being the
// time of storing in seconds since 1970 (the next free second when a fax
// stored in the same second holds that folder already). The document moves
// into that folder and is listed as the attachment. The folders are created
// when missing. Returns false, leaving the document where it was and no
// message folder behind, when the folder, the document copy or the message
// file could not be made. When storedFolder is given it receives the
// message folder's path on success.
[[nodiscard]] bool SaveToOutbox(const std::string& localFolders, const std::string& folderName,
                                const FaxMessage& message, const Clock& clock = DefaultClock(),
                                std::string_view gatewayDomain = kFaxGatewayDomain,
                                std::string* storedFolder = nullptr);
