#pragma once

#include <QObject>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/FileReplace.h"
#include "base/UniqueFd.h"

class QSocketNotifier;

// Window messages that reach a running wizard from outside: each wizard
// listens on its own Unix-domain socket in a folder private to the user, and
// a message travels as one line of text:
//
//   CORVMSG 1 <wParam> <lParam> <identity>\n
//
// The parameters are unsigned numbers (decimal, or hexadecimal after "0x");
// the identity is "#" and a message number, or the name of a registered
// message (the rest of the line, blanks allowed).
//
// A wizard answers each message it handled on the same connection with
//
//   CORVANS 1 <answer>\n
//
// (for the printed-document hand-over "taken" or "declined"). Senders that
// do not wait for the answer simply close the connection; wizards that do
// not answer are waited for only a bounded time.
inline constexpr std::uint32_t WM_USER = 0x0400;
inline constexpr std::uint32_t WM_RELOADSETTINGS = WM_USER + 1001;
inline constexpr const char* kKestroMessage = "KESTRO message";

struct WindowMessage {
    std::uint32_t id = 0;        // message number; 0 for a registered message
    std::string registeredName;  // set for a registered message
    std::uint64_t wParam = 0;
    std::uint64_t lParam = 0;
};

inline constexpr std::size_t kMaxMessageLine = 512;
inline constexpr std::size_t kMaxRegisteredName = 255;

// The line for a message, with its line feed.
[[nodiscard]] std::string FormatMessageLine(const WindowMessage& message);
// The message of one line (without or with its line feed); nothing when the
// line is not a well-formed message.
[[nodiscard]] std::optional<WindowMessage> ParseMessageLine(std::string_view line);

// Answers of a wizard to the printed-document hand-over.
inline constexpr const char* kAnswerTaken = "taken";
inline constexpr const char* kAnswerDeclined = "declined";

// The answer line, with its line feed; empty when the answer cannot travel
// (empty, too long, or holding control characters).
[[nodiscard]] std::string FormatAnswerLine(std::string_view answer);
// The answer of one line (without or with its line feed).
[[nodiscard]] std::optional<std::string> ParseAnswerLine(std::string_view line);

// The number of a registered message: the same name (without regard to
// case) gives the same number for the life of the process, from 0xC000 on.
[[nodiscard]] std::uint32_t RegisterWindowMessageA(const std::string& name);

// A message parameter: decimal, or hexadecimal after "0x".
[[nodiscard]] std::optional<std::uint64_t> ParseParameter(std::string_view text);

// The folder of the sockets: $XDG_RUNTIME_DIR/corvinaport, or
// /tmp/corvinaport-<uid> when XDG_RUNTIME_DIR is unset or empty.
[[nodiscard]] std::string MessageFolder();
// True when the folder exists, is a real folder and belongs to the user.
[[nodiscard]] bool IsOwnFolder(const std::string& folder);
[[nodiscard]] std::string SocketPathFor(const std::string& folder, long pid);

// Body files of fax submissions (they carry the account password) live in
// the private folder too: "qrvmsg-XXXXXX.txt".
inline constexpr const char* kBodyFilePrefix = "qrvmsg-";
inline constexpr const char* kBodyFileSuffix = ".txt";

// The folder for the user's private work files: MessageFolder() where it is
// the user's own, else a new folder of its own in the temporary folder
// ("corvinaport-<uid>-XXXXXX", 0700), removed again (when empty) as this
// goes. Another user who made MessageFolder() first cannot stop a send.
class PrivateWorkFolder {
  public:
    explicit PrivateWorkFolder(bool wanted = true);
    ~PrivateWorkFolder();
    PrivateWorkFolder(const PrivateWorkFolder&) = delete;
    PrivateWorkFolder& operator=(const PrivateWorkFolder&) = delete;
    // Ends with "/"; fails with the cause when no folder could be had.
    [[nodiscard]] Result<std::string> path() const;

  private:
    std::string path_;
    Failure why_;
    bool made_ = false;
};

// Removes body files whose writer is gone (no lock held, older than a
// seconds) from MessageFolder() and from this user's stand-in folders, and
// those folders once empty. The number of files removed.
int RemoveAbandonedBodyFiles();

// Receives window messages for one wizard. Messages are read on the thread
// the listener lives on (the user-interface thread) and reported through
// messageReceived; malformed input is dropped without a trace.
class WindowMessageListener : public QObject {
    Q_OBJECT
  public:
    // Limits of one connection: its lines, its bytes, its time.
    static constexpr int kMaxMessagesPerConnection = 16;
    static constexpr std::size_t kMaxConnectionBytes = 8192;
    static constexpr int kConnectionTimeoutMs = 2000;

    // Called for each message after messageReceived; a non-empty result is
    // sent back to the sender as the answer.
    using Answerer = std::function<std::string(const WindowMessage&)>;

    explicit WindowMessageListener(QObject* parent = nullptr);
    ~WindowMessageListener() override;

    void SetAnswerer(Answerer answerer) { answerer_ = std::move(answerer); }

    // Listens on folder/sendfax-<pid>.sock; fails with the cause when it cannot.
    Result<> Listen(const std::string& folder, long pid);
    // Listens in MessageFolder() under the process id.
    Result<> Listen();
    void Close();
    [[nodiscard]] const std::string& socketPath() const { return path_; }
    [[nodiscard]] bool listening() const;

  signals:
    void messageReceived(const WindowMessage& message);

  private:
    class Connection;
    void OnConnection();
    void OnReadable(Connection& connection);

    UniqueFd socket_;
    QSocketNotifier* acceptor_ = nullptr;
    std::string path_;
    Answerer answerer_;
};

// What a broadcast did.
struct BroadcastResult {
    int delivered = 0;
    int removedStale = 0;
    int failed = 0;
};

// Sends the message to every wizard listening in folder, removing the
// sockets nobody listens on any more.
[[nodiscard]] BroadcastResult Broadcast(const WindowMessage& message, const std::string& folder,
                                        int timeoutMs = 1000);

// What one wizard said to a message sent by AskInTurn.
struct WizardAnswer {
    std::string socketPath;
    // Nothing when the wizard gave no answer in time (older wizards never do).
    std::optional<std::string> answer;
};

struct AskResult : BroadcastResult {
    std::vector<WizardAnswer> answers;  // in the order asked
};

// Sends the message to the wizards listening in folder one at a time, the
// longest running first, waiting up to answerTimeoutMs for each answer, and
// stops after the first answer for which enough() is true. Stale sockets are
// removed as by Broadcast.
[[nodiscard]] AskResult AskInTurn(const WindowMessage& message, const std::string& folder,
                                  const std::function<bool(const std::string& answer)>& enough,
                                  int answerTimeoutMs = 3000, int timeoutMs = 1000);

Q_DECLARE_METATYPE(WindowMessage)
