#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/core/Clock.h"
#include "base/Failure.h"
#include "wizard/job/FaxJob.h"

struct SendState;

// The outbox: localFolders + "outbox/" holds the staged document of the job
// being composed, each in a private folder of its own (see StagingPath);
// each stored fax is a folder below it named by the time it was stored,
// holding "msg.qvm" and the document.

// Copies the attached file into a private staging folder of
// localFolders + "outbox/" under its own file name and returns the copy's
// path. The attached file stays where it was. The outbox folder is created
// when it is missing. Returns the empty text when the copy could not be made.
// A storedName, when given, names the copy instead of the file's own name.
[[nodiscard]] std::string StageAttachment(const std::string& localFolders,
                                          const std::string& attachedPath,
                                          const std::string& storedName = {});

// Stores message under localFolders + folderName + "/" + dir, dir being the
// time of storing in seconds since 1970 (the next free second when that
// folder exists; an existing folder is never replaced). The folder appears
// complete, under its final name, in one step: it is built under a hidden
// name first. Every document of the message (FaxMessage::Documents) is
// copied into it and listed as an attachment, in order and under a name of
// its own, then removed from its staged place. A recipient line too long for one
// message file is stored as several messages, in consecutive folders, each
// with the recipients that fit and its own copy of the document. The folders
// are created when missing. Returns the (first) message folder's path; fails,
// leaving the document where it was and no message folder behind, when a
// folder, a document copy or a message file could not be made, with the
// cause. A name that localFolders + "sent/" holds
// is never given to a new message. Each message folder starts with its
// senders' record, "send.state": state when given (held, or an attempt
// already made), else a new one (waiting). afterEachDocument, when given, is
// called after every document copied and after every one removed from its
// staged place, so that a caller can keep its windows alive.
Result<std::string> SaveToOutbox(const std::string& localFolders, const std::string& folderName,
                                 const FaxMessage& message, const Clock& clock = DefaultClock(),
                                 std::string_view gatewayDomain = kFaxGatewayDomain,
                                 const SendState* state = nullptr,
                                 const std::function<void()>& afterEachDocument = {});

// Cuts a recipient line into parts of at most maxBytes, each made of whole
// entries (separated by commas outside quotes and angle brackets) with the
// separators between them kept as they were. A line that fits is one part;
// nullopt when one entry alone is longer than maxBytes.
[[nodiscard]] std::optional<std::vector<std::string>> SplitRecipientLine(const std::string& line,
                                                                         std::size_t maxBytes);
