#include "transport/FaxSender.h"

#include <chrono>
#include <filesystem>
#include <memory>

#include "app/AppSettings.h"
#include "app/MessageBoxService.h"
#include "app/TaskProgress.h"
#include "transport/HttpRequest.h"
#include "transport/RelayMessage.h"
#include "wizard/FaxJob.h"

namespace {

bool IsPlainByte(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == '_';
}

}  // namespace

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
      messageBox_(messageBox),
      progress_(progress),
      toAddresses_(std::move(faxNumbersToAddresses)),
      clock_(clock) {}

std::string FaxSender::BuildServiceQuery(const std::string& cfunc, const std::string& func) const {
    return ::BuildServiceQuery(settings_.general, cfunc, func);
}

bool FaxSender::RelayUpload(RelayMessage& message) {
    failure.clear();
    const std::string bodyPath = message.workFolder + kBodyFileName;
    // A body that is not whole (disk full, unreadable document) is never
    // posted: the relay would send a fax without its document, or the body
    // of an earlier fax that the file still holds.
    if (!message.WriteBody(bodyPath)) {
        failure = "cannot write the body file " + bodyPath;
        return false;
    }

    std::string uploadAddress;
    {
        HttpRequest location;
        location.maxRequests = 1;
        location.timeoutSeconds = locationTimeoutSeconds;
        location.clock = &clock_;
        // The progress window is pumped meanwhile, so the interface stays
        // alive for up to the time limit and the user can stop the wait;
        // nothing has been sent yet, and the fax goes to the outbox.
        location.progressWindow = message.progressWindow;
        if (location.PostForm(message.relayUrl, message.formData))
            uploadAddress = HttpRequest::ExtractReplyValue(location.ReplyHeaders(), kLocationKey);
        else
            failure = "location request: " + location.failure;
    }
    if (uploadAddress.empty()) {
        if (failure.empty()) failure = "the relay named no upload address";
        return false;
    }

    HttpRequest upload;
    upload.progressWindow = message.progressWindow;
    upload.clock = &clock_;
    upload.SetHeaders(kRelayUploadHeader);
    const bool ok = upload.PostFile(uploadAddress, bodyPath);
    if (!ok)
        failure = upload.failure.empty() ? "the relay did not confirm the upload"
                                         : "upload: " + upload.failure;
    return ok;
}

bool FaxSender::SendFax(FaxJob& job) {
    using namespace std::chrono_literals;
    clock_.Sleep(100ms);

    std::unique_ptr<TaskProgress> progress =
        progress_.Create(QT_TRANSLATE_NOOP("Message", "Send a Fax"), true, false);
    progress->SetText(kSendingText);

    const std::string to = toAddresses_ ? toAddresses_(job.message.to) : std::string();
    if (to.empty()) return false;

    const GeneralSettings& general = settings_.general;
    RelayMessage message;
    message.progressWindow = progress.get();
    message.SetWorkFolder(settings_.directory.InstallPath);
    message.SetFormData(BuildServiceQuery("relaymail", "send") + "&end=yes");
    message.SetRelayUrl(settings_.directory.RmMessages);
    message.SetFrom(job.message.from);
    message.AddTo(to);
    message.AddCc("");
    message.SetSubject("FAXDOC");
    message.AddHeader("X-CORVN-UID: " + general.WebmailUserName);
    message.AddHeader("X-Tessaline: MsgType=Fax");
    message.AddAttachment(job.message.documentPath);

    const bool ok = RelayUpload(message);
    progress.reset();

    if (ok) {
        (void)messageBox_.Show(kFaxSentText, kMessageCaption, MbButtons::Ok, MbIcon::None);
        job.message.sendStatus = "sent";
        std::error_code ignored;
        std::filesystem::remove(job.message.documentPath, ignored);
    } else {
        (void)messageBox_.Show(kFaxFailedText, kMessageCaption, MbButtons::Ok, MbIcon::None);
        job.message.sendStatus = "fail";
    }
    return ok;
}
