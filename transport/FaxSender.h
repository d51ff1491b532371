#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/core/Clock.h"
#include "app/core/Translate.h"
#include "transport/HttpRequest.h"

struct AppSettings;
struct FaxJob;
struct GeneralSettings;
class MessageBoxService;
class RelayMessage;
class ScratchFile;
class TaskProgress;
class TaskProgressFactory;

// Texts and fixed values of a fax submission.
inline constexpr const char* kFaxSentText = QT_TRANSLATE_NOOP("Message", "Your fax has been sent!");
inline constexpr const char* kFaxFailedText = QT_TRANSLATE_NOOP(
    "Message", "Your fax could not be sent! It will be saved so you can try to send it later.");
inline constexpr const char* kSendingText =
    QT_TRANSLATE_NOOP("Message", "Sending your fax, please wait...");
// Body files are named "qrvmsg-XXXXXX.txt", one of its own per submission.
inline constexpr const char* kBodyFileName = "qrvmsg.txt";
inline constexpr const char* kLocationKey = "&location=";

// Percent-encodes every byte but ASCII letters, digits and ".-_" (as %XX in
// capitals), so a value can neither end its pair nor start another one.
[[nodiscard]] std::string EncodeQueryValue(const std::string& value);

// The url-encoded service query: cfunc, the account data of the General
// settings and, when func is not empty, "#func=" and func. Values are encoded
// with EncodeQueryValue; the keys stay as the service knows them.
[[nodiscard]] std::string BuildServiceQuery(const GeneralSettings& general,
                                            const std::string& cfunc, const std::string& func);

// How one submission ended: accepted, or which step failed and why.
struct SendOutcome {
    enum class Step { None, Prepare, Location, Upload };
    bool accepted = false;
    Step step = Step::None;
    HttpFailure cause = HttpFailure::None;
    long httpStatus = 0;  // of a reply other than 200
    std::string reason;   // in words, without the step
    // The whole fax went out and no answer came (the reply was lost, or the
    // upload was stopped after its last byte): the service may have it.
    bool uncertain = false;

    // One line naming the step and the reason, for the failure box, the
    // journal and the outbox listing; empty when accepted.
    [[nodiscard]] std::string Detail() const;
    // Detail() as the cause, with the plain sentence of FailureWords; empty
    // when accepted.
    [[nodiscard]] Failure failure() const;
};

// Sends a composed fax to the service's relay function now and tells the user
// the outcome.
class FaxSender {
  public:
    // Rewrites the fax-number entries of a recipient line as mail addresses
    // at the fax gateway (FaxNumbersToAddresses of the fax job).
    using AddressRewriter = std::function<std::string(const std::string& recipients)>;

    FaxSender(const AppSettings& settings, MessageBoxService& messageBox,
              TaskProgressFactory& progress, AddressRewriter faxNumbersToAddresses,
              Clock& clock = DefaultClock());
    // A sender that shows nothing, for sending without a user watching: use
    // Submit, not SendFax.
    explicit FaxSender(const AppSettings& settings, Clock& clock = DefaultClock());

    // True when the service accepted the fax: the user has been told, the
    // job's sendStatus reads "sent" and its documents are deleted. On failure
    // the status reads "fail" (the caller stores the job in the outbox),
    // except when no recipient is left: then false and nothing else.
    [[nodiscard]] bool SendFax(FaxJob& job);

    // The submission itself, without boxes: the fax from `from` to the
    // recipients `to` (already rewritten as addresses) with the documents at
    // documentPaths, attached in their order. The window, when given, shows
    // the upload's progress and its confirmed stop ends the exchange.
    [[nodiscard]] SendOutcome Submit(const std::string& from, const std::string& to,
                                     const std::vector<std::string>& documentPaths,
                                     TaskProgress* progress);

    [[nodiscard]] std::string BuildServiceQuery(const std::string& cfunc,
                                                const std::string& func) const;

    // Writes the message's body into a new file of its own in its work
    // folder (created exclusively, readable by the user alone), asks the
    // relay function for the upload address and uploads the body there; the
    // body file is removed whatever the outcome. Nothing is sent when the body
    // cannot be written whole.
    [[nodiscard]] bool RelayUpload(RelayMessage& message);

    // Called after the upload address is known and before the upload's
    // first byte; a failure ends the submission there, nothing sent. The
    // outbox sender records the attempt here.
    std::function<Result<>()> beforeUpload;

    // Opens the Outbox window, offered beside the failure box; none when
    // empty.
    std::function<void()> openOutbox;
    // What happens next to a fax that failed so, in a sentence for the
    // failure box; nothing when empty.
    std::function<std::string(const SendOutcome&)> nextStep;

    // Time limit of the location request.
    std::int32_t locationTimeoutSeconds = 45;
    // The work folder of the body files; empty: the user's private runtime
    // folder ($XDG_RUNTIME_DIR/corvinaport, made 0700 when missing).
    std::string bodyFolder;
    // Low-speed guard of the upload (see HttpRequest).
    std::int32_t lowSpeedBytes = 256;
    std::int32_t lowSpeedSeconds = 60;
    // The outcome of the last RelayUpload, and its failure().
    SendOutcome outcome;
    Failure failure;

  private:
    // The steps of RelayUpload. Failed records a failure in outcome and
    // failure and answers false; AskUploadAddress answers empty after it.
    bool Failed(SendOutcome::Step step, HttpFailure cause, std::string reason);
    bool WriteBody(RelayMessage& message, ScratchFile& body);
    std::string AskUploadAddress(const RelayMessage& message);
    bool Upload(const std::string& address, const std::string& bodyPath, TaskProgress* progress);

    const AppSettings& settings_;
    MessageBoxService* messageBox_ = nullptr;
    TaskProgressFactory* progress_ = nullptr;
    AddressRewriter toAddresses_;
    Clock& clock_;
};
