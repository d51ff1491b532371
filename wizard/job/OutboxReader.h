#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/UniqueFd.h"
#include "wizard/job/FaxState.h"
#include "wizard/job/OutboxMessage.h"

// Reading the outbox back for sending later. Each stored fax is a folder
// below localFolders + "outbox/" with "msg.qvm" and its document; what the
// senders learn about it (attempts, last error, acceptance) is kept beside
// "msg.qvm" in "send.state", never inside it.

inline constexpr const char* kMessageFileName = "msg.qvm";

// One entry of the outbox as found.
struct StoredFax {
    enum class Status {
        Ready,     // complete; can be sent
        Accepted,  // sent already; only its move to sent/ is missing
        Writing,   // still being written (too young, or incomplete and young)
        Broken,    // malformed or foreign; never sent, never deleted
    };
    std::string name;    // the folder's name
    std::string folder;  // its path, without a trailing "/"
    Status status = Status::Broken;
    std::string problem;  // why it is not Ready
    OutboxMessage message;
    std::vector<std::string> documents;  // the documents' paths inside the folder, in order
    SendState state;
    // Where it stands (Ready and Accepted entries); Sending while another
    // sender holds its lock.
    FaxState faxState = FaxState::Waiting;
};

// A message folder younger than this, that fails to read, counts as still
// being written rather than broken.
inline constexpr std::time_t kWritingGraceSeconds = 10;
// A message file larger than this is not a message file of this product.
inline constexpr std::size_t kMaxMessageFileBytes = 256 * 1024;

// The file name of an attachment line as any copy of the product wrote it
// (after the last slash or backslash).
[[nodiscard]] std::string AttachmentFileName(const std::string& path);

// Reads a small regular file without following a link. Fails, with the
// cause ("is missing"), when it is missing, not a plain file or larger than
// limit; modified, when given, receives its modification time.
Result<std::string> ReadSmallFile(const std::string& path, std::size_t limit,
                                  std::time_t* modified = nullptr);

class OutboxReader {
  public:
    // localFolders ends with "/".
    explicit OutboxReader(std::string localFolders);

    [[nodiscard]] std::string outbox() const { return localFolders_ + "outbox/"; }
    [[nodiscard]] std::string sentFolder() const { return localFolders_ + "sent/"; }

    // Every entry of the outbox that is or claims to be a stored fax, by
    // name. Names beginning with "." (folders being written) and plain files
    // are left out; symbolic links are listed as broken.
    [[nodiscard]] std::vector<StoredFax> List(std::time_t now) const;
    // One entry by its folder name; nullopt when there is no such entry.
    [[nodiscard]] std::optional<StoredFax> Read(const std::string& name, std::time_t now) const;

  private:
    std::string localFolders_;
};

// An exclusive lock on a message folder (flock on the folder itself), held
// for a whole send-and-move; another sender finds it busy. The lock is bound
// to the folder that stands at the path once it is taken: a folder moved away
// and replaced by another of the same name meanwhile is not held.
class OutboxLock {
  public:
    enum class Result { Held, Busy, Replaced, Missing };
    explicit OutboxLock(const std::string& folder);
    [[nodiscard]] bool held() const { return result_ == Result::Held; }
    [[nodiscard]] Result result() const { return result_; }

  private:
    UniqueFd fd_;
    Result result_ = Result::Missing;
};

// True when a sender holds the folder's lock now.
[[nodiscard]] bool OutboxFolderBusy(const std::string& folder);

// Replaces the folder's send.state and makes the change durable (the file
// and the folder entry synced) before it returns. Where no new file can be
// made (a full disk), the existing send.state is rewritten in place. False
// when neither reached the disk.
[[nodiscard]] bool WriteSendState(const std::string& folder, const SendState& state);

// Moves a message folder into sentFolder (made 0700 when missing) under its
// own name, or the first free "<name>-N". The new path, or the cause.
Result<std::string> MoveToSent(const std::string& folder, const std::string& name,
                               const std::string& sentFolder);
