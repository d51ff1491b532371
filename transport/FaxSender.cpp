#include "transport/FaxSender.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

#include "app/core/AppSettings.h"
#include "app/core/MessageBoxService.h"
#include "app/core/TaskProgress.h"
#include "app/window_messages/WindowMessage.h"
#include "base/FileReplace.h"
#include "base/Text.h"
#include "transport/FailureWords.h"
#include "transport/HttpRequest.h"
#include "transport/RelayMessage.h"
#include "wizard/job/FaxJob.h"

namespace {

bool IsPlainByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

// "https" of "HTTPS://host/...", empty without a scheme.
std::string SchemeOf(const std::string& url) {
    const auto end = url.find("://");
    if (end == std::string::npos) return {};
    return Lower(std::string_view(url).substr(0, end));
}

const char* StepText(SendOutcome::Step step) {
    switch (step) {
        case SendOutcome::Step::Prepare:
            return QT_TRANSLATE_NOOP("Message", "Preparing the fax");
        case SendOutcome::Step::Location:
            return QT_TRANSLATE_NOOP("Message", "Getting the upload address");
        case SendOutcome::Step::Upload:
            return QT_TRANSLATE_NOOP("Message", "The upload");
        case SendOutcome::Step::None:
            break;
    }
    return QT_TRANSLATE_NOOP("Message", "Sending");
}

}  // namespace

std::string SendOutcome::Detail() const {
    if (accepted) return {};
    return TranslatedText(QT_TRANSLATE_NOOP("Message", "%1 failed: %2."),
                          TranslatedText(StepText(step)), reason);
}

Failure SendOutcome::failure() const {
    if (accepted) return {};
    return Fail(Detail(), PlainFailure(cause, httpStatus, uncertain));
}

std::string EncodeQueryValue(const std::string& value) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(value.size());
    for (char ch : value) {
        const auto c = static_cast<unsigned char>(ch);
        if (IsPlainByte(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0x0F];
        }
    }
    return out;
}

std::string BuildServiceQuery(const GeneralSettings& general, const std::string& cfunc,
                              const std::string& func) {
    std::string query = "cfunc=" + EncodeQueryValue(cfunc);
    query += "&prodname=" + EncodeQueryValue(general.ProductName);
    query += "&username=" + EncodeQueryValue(general.WebmailUserName);
    query += "&custnum=" + EncodeQueryValue(general.UserID);
    query += "&machname=" + EncodeQueryValue(general.MachineName);
    query += "&version=" + EncodeQueryValue(general.Version);
    query += "&prodlevel=" + EncodeQueryValue(general.ProductLevel);
    query += "&gateway=" + EncodeQueryValue(general.Gateway);
    query += "&password=" + EncodeQueryValue(general.WebmailPassword);
    if (!func.empty()) query += "#func=" + EncodeQueryValue(func);
    return query;
}

FaxSender::FaxSender(const AppSettings& settings, MessageBoxService& messageBox,
                     TaskProgressFactory& progress, AddressRewriter faxNumbersToAddresses,
                     Clock& clock)
    : settings_(settings),
      messageBox_(&messageBox),
      progress_(&progress),
      toAddresses_(std::move(faxNumbersToAddresses)),
      clock_(clock) {}

FaxSender::FaxSender(const AppSettings& settings, Clock& clock)
    : settings_(settings), clock_(clock) {}

std::string FaxSender::BuildServiceQuery(const std::string& cfunc, const std::string& func) const {
    return ::BuildServiceQuery(settings_.general, cfunc, func);
}

bool FaxSender::Failed(SendOutcome::Step step, HttpFailure cause, std::string reason) {
    outcome.step = step;
    outcome.cause = cause;
    outcome.reason = std::move(reason);
    failure = outcome.failure();
    return false;
}

bool FaxSender::RelayUpload(RelayMessage& message) {
    outcome = SendOutcome{};
    failure = {};

    // A field that holds the boundary would end its part early: the relay
    // would take a cut fax for a whole one.
    if (const char* field = message.FieldHoldingBoundary())
        return Failed(SendOutcome::Step::Prepare, HttpFailure::BodyFile,
                      TranslatedText(QT_TRANSLATE_NOOP("Message",
                                                       "the %1 text holds the line that separates "
                                                       "the parts of a fax (%2); change it"),
                                     std::string(field), std::string(kRelayBoundary)));

    // The body file of this submission: a name of its own, readable by the
    // user alone, locked while it is used; removed at the end.
    ScratchFile body(message.workFolder + kBodyFilePrefix, kBodyFileSuffix);
    if (!WriteBody(message, body)) return false;
    const std::string uploadAddress = AskUploadAddress(message);
    if (uploadAddress.empty()) return false;
    if (beforeUpload)
        if (auto ready = beforeUpload(); !ready)
            return Failed(SendOutcome::Step::Prepare, HttpFailure::BodyFile, ready.failure().cause);
    return Upload(uploadAddress, body.path(), message.progressWindow);
}

bool FaxSender::WriteBody(RelayMessage& message, ScratchFile& body) {
    if (!body.made())
        return Failed(
            SendOutcome::Step::Prepare, HttpFailure::BodyFile,
            TranslatedText(QT_TRANSLATE_NOOP("Message", "cannot make a body file in %1: %2"),
                           message.workFolder, std::string(std::strerror(errno))));
    // A body that is not whole (disk full, unreadable document) is never
    // posted: the relay would send a fax without its document.
    for (const auto& a : message.attachments) {
        if (::access(a->path.c_str(), R_OK) != 0)
            return Failed(
                SendOutcome::Step::Prepare, HttpFailure::BodyFile,
                TranslatedText(QT_TRANSLATE_NOOP("Message", "cannot read the document %1"),
                               a->path));
    }
    if (!message.WriteBodyTo(body.Release()))
        return Failed(SendOutcome::Step::Prepare, HttpFailure::BodyFile,
                      TranslatedText(QT_TRANSLATE_NOOP("Message", "cannot write the body file %1"),
                                     body.path()));
    return true;
}

std::string FaxSender::AskUploadAddress(const RelayMessage& message) {
    HttpRequest location;
    location.maxRequests = 1;
    location.timeoutSeconds = locationTimeoutSeconds;
    location.clock = &clock_;
    // The progress window is pumped meanwhile, so the interface stays alive
    // for up to the time limit and the user can stop the wait; nothing has
    // been sent yet, and the fax goes to the outbox.
    location.progressWindow = message.progressWindow;
    if (!location.PostForm(message.relayUrl, message.formData)) {
        outcome.httpStatus = location.httpStatus;
        (void)Failed(SendOutcome::Step::Location, location.failureKind, location.failure.cause);
        return {};
    }
    std::string address = HttpRequest::ExtractReplyValue(location.ReplyHeaders(), kLocationKey);
    if (address.empty()) {
        (void)Failed(
            SendOutcome::Step::Location, HttpFailure::Other,
            TranslatedText(QT_TRANSLATE_NOOP(
                "Message",
                "the service refused the account (it gave no upload address); check the account "
                "name and password in the settings (corvinaport-sendfax --settings)")));
        return {};
    }
    // The body carries the password: never over a weaker connection than the
    // relay address asks for.
    if (SchemeOf(message.relayUrl) == "https" && SchemeOf(address) != "https") {
        (void)Failed(SendOutcome::Step::Location, HttpFailure::BadAddress,
                     TranslatedText(QT_TRANSLATE_NOOP("Message",
                                                      "the service named an upload address "
                                                      "without encryption (%1); refused"),
                                    address.substr(0, address.find("://"))));
        return {};
    }
    return address;
}

bool FaxSender::Upload(const std::string& address, const std::string& bodyPath,
                       TaskProgress* progress) {
    HttpRequest upload;
    upload.progressWindow = progress;
    upload.clock = &clock_;
    upload.lowSpeedBytes = lowSpeedBytes;
    upload.lowSpeedSeconds = lowSpeedSeconds;
    upload.SetHeaders(kRelayUploadHeader);
    if (!upload.PostFile(address, bodyPath)) {
        // A reply that came says what the service did; with none after the
        // last byte went out, nobody knows.
        const bool answered = upload.failureKind == HttpFailure::HttpStatus ||
                              upload.failureKind == HttpFailure::NoSuccessMark;
        outcome.uncertain = upload.wholeBodyHandedOver && !answered;
        outcome.httpStatus = upload.httpStatus;
        return Failed(SendOutcome::Step::Upload, upload.failureKind, upload.failure.cause);
    }
    outcome.accepted = true;
    return true;
}

SendOutcome FaxSender::Submit(const std::string& from, const std::string& to,
                              const std::vector<std::string>& documentPaths,
                              TaskProgress* progress) {
    // The user's private runtime folder, or one made for this submission
    // alone where that cannot be had (another user made it first).
    const PrivateWorkFolder own(bodyFolder.empty());
    std::string folder = bodyFolder;
    if (folder.empty()) {
        auto ownPath = own.path();
        if (!ownPath) {
            outcome = SendOutcome{};
            (void)Failed(SendOutcome::Step::Prepare, HttpFailure::BodyFile,
                         ownPath.failure().cause);
            return outcome;
        }
        folder = ownPath.value();
    }

    const GeneralSettings& general = settings_.general;
    RelayMessage message;
    message.progressWindow = progress;
    message.SetWorkFolder(folder.back() == '/' ? folder : folder + "/");
    message.SetFormData(BuildServiceQuery("relaymail", "send") + "&end=yes");
    message.SetRelayUrl(settings_.directory.RmMessages);
    message.SetFrom(from);
    message.AddTo(to);
    message.AddCc("");
    message.SetSubject("FAXDOC");
    message.AddHeader("X-CORVN-UID: " + general.WebmailUserName);
    message.AddHeader("X-Tessaline: MsgType=Fax");
    for (const std::string& path : documentPaths) message.AddAttachment(path);
    (void)RelayUpload(message);
    return outcome;
}

bool FaxSender::SendFax(FaxJob& job) {
    using namespace std::chrono_literals;
    clock_.Sleep(100ms);

    std::unique_ptr<TaskProgress> progress;
    if (progress_) {
        // The bar follows the upload's bytes.
        progress = progress_->Create(QT_TRANSLATE_NOOP("Message", "Send a Fax"), true, true);
        progress->SetText(kSendingText);
        progress->SetRange(0, 100, 1);
    }

    const std::string to = toAddresses_ ? toAddresses_(job.message.to) : std::string();
    if (to.empty()) return false;

    const SendOutcome result =
        Submit(job.message.from, to, job.message.Documents(), progress.get());
    progress.reset();

    if (result.accepted) {
        if (messageBox_)
            (void)messageBox_->Show(kFaxSentText, kMessageCaption, MbButtons::Ok, MbIcon::None);
        job.message.sendStatus = "sent";
        std::error_code ignored;
        for (const std::string& path : job.message.Documents())
            std::filesystem::remove(path, ignored);
    } else {
        // The user reads what went wrong and what happens next; the
        // technical cause is one click away, and on standard error.
        const Failure why = result.failure();
        const std::string& technical = why.cause;
        std::string words = why.sentence;
        if (nextStep) {
            const std::string next = nextStep(result);
            if (!next.empty()) words += " " + next;
        }
        std::fprintf(stderr, "corvinaport-sendfax: fax not sent: %s\n", technical.c_str());
        if (messageBox_)
            if (messageBox_->ShowOffering(kFaxFailedText, kMessageCaption, MbIcon::None, words,
                                          technical, openOutbox ? kOpenOutboxText : "") &&
                openOutbox)
                openOutbox();
        job.message.sendStatus = "fail";
    }
    return result.accepted;
}
