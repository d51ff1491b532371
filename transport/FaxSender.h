#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "app/Clock.h"
#include "app/Translate.h"

struct AppSettings;
struct FaxJob;
struct GeneralSettings;
class MessageBoxService;
class RelayMessage;
class TaskProgressFactory;

// Texts and fixed values of a fax submission.
inline constexpr const char* kFaxSentText = QT_TRANSLATE_NOOP("Message", "Your fax has been sent!");
inline constexpr const char* kFaxFailedText = QT_TRANSLATE_NOOP(
    "Message", "Your fax could not be sent! It will be saved so you can try to send it later.");
inline constexpr const char* kSendingText =
    QT_TRANSLATE_NOOP("Message", "Sending your fax, please wait...");
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

    // True when the service accepted the fax: the user has been told, the
    // job's sendStatus reads "sent" and its document is deleted. On failure
    // the status reads "fail" (the caller stores the job in the outbox),
    // except when no recipient is left: then false and nothing else.
    [[nodiscard]] bool SendFax(FaxJob& job);

    [[nodiscard]] std::string BuildServiceQuery(const std::string& cfunc,
                                                const std::string& func) const;

    // Writes the message's body file into its work folder, asks the relay
    // function for the upload address and uploads the body there. Nothing is
    // sent when the body file cannot be written whole.
    [[nodiscard]] bool RelayUpload(RelayMessage& message);

    // Time limit of the location request.
    std::int32_t locationTimeoutSeconds = 45;
    // Why the last RelayUpload failed, for diagnosis.
    std::string failure;

  private:
    const AppSettings& settings_;
    MessageBoxService& messageBox_;
    TaskProgressFactory& progress_;
    AddressRewriter toAddresses_;
    Clock& clock_;
};
