#pragma once

#include <chrono>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "wizard/OutboxMessage.h"
#include "wizard/UniqueFd.h"

// Reading the outbox back for sending later. Each stored fax is a folder
// below localFolders + "outbox/" with "msg.qvm" and its document; what the
// senders learn about it (attempts, last error, acceptance) is kept beside
// "msg.qvm" in "send.state", never inside it.

inline constexpr const char* kSendStateName = "send.state";
inline constexpr const char* kMessageFileName = "msg.qvm";

// The senders' record of one stored fax.
struct SendState {
    int attempts = 0;
    std::time_t lastAttempt = 0;
    std::string lastError;
    // The relay said success: the fax is sent, whether or not its folder has
    // reached sent/ yet.
    bool accepted = false;

    // Lines "key: value"; unknown or garbled lines are ignored.
    [[nodiscard]] static SendState Parse(std::string_view bytes);
    [[nodiscard]] std::string Render() const;
};

// The wait before the next automatic attempt after `attempts` failed ones:
// 1, 5, 15 and 60 minutes, then hourly.
[[nodiscard]] std::chrono::seconds RetryDelay(int attempts);
// True when the fax is due for an automatic attempt at `now`.
[[nodiscard]] bool RetryDue(const SendState& state, std::time_t now);

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
};

// A message folder younger than this, that fails to read, counts as still
// being written rather than broken.
inline constexpr std::time_t kWritingGraceSeconds = 10;
// A message file larger than this is not a message file of this product.
inline constexpr std::size_t kMaxMessageFileBytes = 256 * 1024;

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
// for a whole send-and-move; another sender finds it busy.
class OutboxLock {
  public:
    explicit OutboxLock(const std::string& folder);
    [[nodiscard]] bool held() const { return fd_.valid(); }

  private:
    UniqueFd fd_;
};

// Replaces the folder's send.state.
[[nodiscard]] bool WriteSendState(const std::string& folder, const SendState& state);

// Moves a message folder into sentFolder (made 0700 when missing) under its
// own name, or the first free "<name>-N". The new path, or nullopt with the
// reason.
[[nodiscard]] std::optional<std::string> MoveToSent(const std::string& folder,
                                                    const std::string& name,
                                                    const std::string& sentFolder,
                                                    std::string* problem = nullptr);
