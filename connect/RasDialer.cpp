#include "connect/RasDialer.h"

#include <dlfcn.h>
#include <strings.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <vector>

#include "app/core/Translate.h"
#include "connect/dialer_api/RasFields.h"

namespace {

using namespace std::chrono_literals;

// The first error of the current attempt and its extended code, packed into
// one word (error high, extended low) so that the user-interface thread never
// sees an error without its extended code.
std::atomic<std::uint64_t> g_notifiedError{0};

constexpr const char* kProgressTitle = QT_TRANSLATE_NOOP("Message", "Connecting to the Internet");
constexpr const char* kStopPrompt =
    QT_TRANSLATE_NOOP("Message", "Do you want to stop connecting to the Internet?");
constexpr int kAttempts = 3;
constexpr int kPollsPerAttempt = 300;

}  // namespace

const char* RasStateText(std::int32_t state) {
    switch (state) {
        case RASCS_OpenPort:
            return QT_TRANSLATE_NOOP("Message", "Opening the port...");
        case RASCS_PortOpened:
            return QT_TRANSLATE_NOOP("Message", "Port has been opened successfully");
        case RASCS_ConnectDevice:
            return QT_TRANSLATE_NOOP("Message", "Connecting to the device...");
        case RASCS_DeviceConnected:
            return QT_TRANSLATE_NOOP("Message", "The device has connected successfully.");
        case RASCS_AllDevicesConnected:
            return QT_TRANSLATE_NOOP(
                "Message", "All devices in the device chain have successfully connected.");
        case RASCS_Authenticate:
            return QT_TRANSLATE_NOOP("Message", "Verifying the user name and password...");
        case RASCS_AuthNotify:
            return QT_TRANSLATE_NOOP("Message", "An authentication event has occurred.");
        case RASCS_AuthRetry:
            return QT_TRANSLATE_NOOP("Message",
                                     "Requested another validation attempt with a new user.");
        case RASCS_AuthCallback:
            return QT_TRANSLATE_NOOP("Message", "Server has requested a callback number.");
        case RASCS_AuthChangePassword:
            return QT_TRANSLATE_NOOP("Message", "The client has requested to change the password");
        case RASCS_AuthProject:
            return QT_TRANSLATE_NOOP("Message", "Registering your computer on the network...");
        case RASCS_AuthLinkSpeed:
            return QT_TRANSLATE_NOOP("Message", "The link-speed calculation phase is starting...");
        case RASCS_AuthAck:
            return QT_TRANSLATE_NOOP("Message", "An authentication request is being acknowledged.");
        case RASCS_ReAuthenticate:
            return QT_TRANSLATE_NOOP("Message", "Reauthentication (after callback) is starting. ");
        case RASCS_Authenticated:
            return QT_TRANSLATE_NOOP("Message",
                                     "The client has successfully completed authentication.");
        case RASCS_PrepareForCallback:
            return QT_TRANSLATE_NOOP("Message", "The line is about to disconnect for callback.");
        case RASCS_WaitForModemReset:
            return QT_TRANSLATE_NOOP("Message",
                                     "Delaying to give the modem time to reset for callback.");
        case RASCS_WaitForCallback:
            return QT_TRANSLATE_NOOP("Message", "Waiting for an incoming call from server.");
        case RASCS_Projected:
            return QT_TRANSLATE_NOOP("Message", "Projection result information is available.");
        case RASCS_StartAuthentication:
            return QT_TRANSLATE_NOOP("Message",
                                     "User authentication is being initiated or retried.");
        case RASCS_CallbackComplete:
            return QT_TRANSLATE_NOOP(
                "Message", "Client has been called back and is about to resume authentication.");
        case RASCS_LogonNetwork:
            return QT_TRANSLATE_NOOP("Message", "Logging on to the network...");
        case RASCS_SubEntryConnected:
            return QT_TRANSLATE_NOOP("Message", "Subentry has been connected");
        case RASCS_SubEntryDisconnected:
            return QT_TRANSLATE_NOOP("Message", "Subentry has been disconnected");
        case RASCS_Interactive:
            return QT_TRANSLATE_NOOP("Message", "Terminal state supported by RASPHONE.EXE.");
        case RASCS_RetryAuthentication:
            return QT_TRANSLATE_NOOP("Message",
                                     "Retry authentication state supported by RASPHONE.EXE.");
        case RASCS_CallbackSetByCaller:
            return QT_TRANSLATE_NOOP("Message", "Callback state supported by RASPHONE.EXE.");
        case RASCS_PasswordExpired:
            return QT_TRANSLATE_NOOP("Message", "Change password state supported by RASPHONE.EXE.");
        case RASCS_Connected:
            return QT_TRANSLATE_NOOP("Message", "Connect to remote server successfully!");
        case RASCS_Disconnected:
            return QT_TRANSLATE_NOOP("Message", "Disconnected");
        default:
            return nullptr;
    }
}

RasDialer::RasDialer(std::string libraryName) : libraryName_(std::move(libraryName)) {
    status_.dwSize = sizeof(RASCONNSTATUSA);
}

RasDialer::~RasDialer() { Unbind(); }

bool RasDialer::Bind() {
    Unbind();
    // The library may keep a thread for a connection that outlives this
    // dialer, so its code stays mapped after the handle is closed.
    library_ = DynamicLibrary::Open(libraryName_, RTLD_NODELETE);
    if (!library_) return false;
    getEntryDialParams_ = library_.Function<PFN_RasGetEntryDialParamsA>("RasGetEntryDialParamsA");
    dial_ = library_.Function<PFN_RasDialA>("RasDialA");
    getConnectStatus_ = library_.Function<PFN_RasGetConnectStatusA>("RasGetConnectStatusA");
    getErrorString_ = library_.Function<PFN_RasGetErrorStringA>("RasGetErrorStringA");
    enumConnections_ = library_.Function<PFN_RasEnumConnectionsA>("RasEnumConnectionsA");
    hangUp_ = library_.Function<PFN_RasHangUpA>("RasHangUpA");
    bound_ = true;
    return true;
}

void RasDialer::Unbind() {
    bound_ = false;
    getEntryDialParams_ = nullptr;
    dial_ = nullptr;
    getConnectStatus_ = nullptr;
    getErrorString_ = nullptr;
    enumConnections_ = nullptr;
    hangUp_ = nullptr;
    library_.Close();
}

int RasDialer::ActiveConnectionCount() {
    if (!enumConnections_) return 0;
    RASCONNA first{};
    first.dwSize = sizeof(RASCONNA);
    std::uint32_t bytes = 0;
    std::uint32_t count = 0;
    std::uint32_t rc = enumConnections_(&first, &bytes, &count);
    if (rc != 0 && rc != ERROR_BUFFER_TOO_SMALL) return 0;
    return static_cast<int>(count > 0x7FFFFFFFu ? 0x7FFFFFFFu : count);
}

std::uint32_t RasDialer::GetEntryDialParams(RASDIALPARAMSA& params, std::int32_t& passwordStored) {
    if (!getEntryDialParams_) return ERROR_CANNOT_OPEN_PHONEBOOK;
    return getEntryDialParams_(nullptr, &params, &passwordStored);
}

std::uint32_t RasDialer::Dial(const std::string& entry, RASDIALFUNC1 notifier,
                              const std::string& phone, const std::string& user,
                              const std::string& password, const std::string& domain,
                              const std::string& phonebook) {
    connection_ = 0;
    RASDIALPARAMSA params{};
    params.dwSize = sizeof(RASDIALPARAMSA);
    CopyField(params.szEntryName, entry);
    CopyField(params.szPhoneNumber, phone);
    CopyField(params.szUserName, user);
    CopyField(params.szPassword, password);
    CopyField(params.szDomain, domain);
    if (!dial_) return kNoDialFunction;
    return dial_(nullptr, phonebook.empty() ? nullptr : phonebook.c_str(), &params, 1,
                 reinterpret_cast<void*>(notifier), &connection_);
}

bool RasDialer::StatusText(std::string& text, bool& connected) {
    connected = false;
    if (!getConnectStatus_) return false;
    status_.dwSize = sizeof(RASCONNSTATUSA);
    (void)getConnectStatus_(connection_, &status_);
    if (const char* sentence = RasStateText(status_.rasconnstate)) text = sentence;
    connected = status_.rasconnstate == RASCS_Connected;
    return status_.rasconnstate == RASCS_Connected || status_.rasconnstate == RASCS_Disconnected;
}

void RasDialer::ErrorText(std::uint32_t error, std::uint32_t extendedError, std::string& text) {
    if (!getErrorString_) return;
    text = QT_TRANSLATE_NOOP("Message", "Fail to get error string");
    if (error == 0) return;
    char buffer[RAS_ErrorStringBuffer] = {};
    if (getErrorString_(error, buffer, sizeof buffer) == 0) {
        buffer[sizeof buffer - 1] = '\0';  // whatever the library wrote
        text = buffer;
    }
    if (extendedError != 0)
        text += QCoreApplication::translate("Message", " Extended Error Code: %1")
                    .arg(extendedError)
                    .toStdString();
}

bool RasDialer::HangUp(const std::string& entry) {
    if (!hangUp_) return false;
    HRASCONN target = connection_;
    if (target == 0) {
        int count = ActiveConnectionCount();
        if (count <= 0 || !enumConnections_) return false;
        std::vector<RASCONNA> list(static_cast<std::size_t>(count));
        list[0].dwSize = sizeof(RASCONNA);
        std::uint32_t bytes = static_cast<std::uint32_t>(list.size() * sizeof(RASCONNA));
        std::uint32_t found = 0;
        if (enumConnections_(list.data(), &bytes, &found) != 0) return false;
        if (found > list.size()) found = static_cast<std::uint32_t>(list.size());
        for (std::uint32_t i = 0; i < found; ++i) {
            if (::strcasecmp(FieldText(list[i].szEntryName).c_str(), entry.c_str()) == 0)
                target = list[i].hrasconn;
        }
        if (target == 0) return false;
    }
    return hangUp_(target) == 0;
}

void RasDialer::Notifier(HRASCONN, std::uint32_t, std::int32_t, std::uint32_t error,
                         std::uint32_t extendedError) {
    if (error == 0) return;
    std::uint64_t packed = (static_cast<std::uint64_t>(error) << 32) | extendedError;
    std::uint64_t none = 0;
    g_notifiedError.compare_exchange_strong(none, packed);
}

void RasDialer::ClearNotifiedError() { g_notifiedError.store(0); }

std::pair<std::uint32_t, std::uint32_t> RasDialer::NotifiedError() {
    std::uint64_t packed = g_notifiedError.load();
    return {static_cast<std::uint32_t>(packed >> 32), static_cast<std::uint32_t>(packed)};
}

bool RasDialer::DialEntry(MessageBoxService& boxes, TaskProgressFactory& progress, Clock& clock,
                          const std::string& entry, const std::string& user,
                          const std::string& password) {
    if (!Bind()) {
        Unbind();
        return false;
    }
    if (ActiveConnectionCount() > 0) return true;

    if (boxes.Show(QT_TRANSLATE_NOOP("Message", "Connect to the Internet?"), kMessageCaption,
                   MbButtons::OkCancel, MbIcon::Question) != MbResult::Ok)
        return false;

    RASDIALPARAMSA params{};
    params.dwSize = sizeof(RASDIALPARAMSA);
    CopyField(params.szEntryName, entry);
    std::int32_t passwordStored = 0;
    if (GetEntryDialParams(params, passwordStored) != 0) {
        Unbind();
        return false;
    }
    if (!user.empty()) CopyField(params.szUserName, user);
    if (!password.empty()) CopyField(params.szPassword, password);
    const std::string phone = FieldText(params.szPhoneNumber);
    const std::string userName = FieldText(params.szUserName);
    const std::string pass = FieldText(params.szPassword);

    std::unique_ptr<TaskProgress> window = progress.Create(kProgressTitle, true, false);
    window->SetConfirmPrompt(kStopPrompt);
    window->SetRange(0, kPollsPerAttempt, 1);
    window->Show();

    bool connected = false;
    bool stopped = false;
    std::string text;
    for (int attempt = 1; attempt <= kAttempts && !connected && !stopped; ++attempt) {
        if (attempt > 1) {
            window->SetText(QT_TRANSLATE_NOOP("Message", "Retry the connection again."));
            clock.Sleep(5s);
        }
        ClearNotifiedError();
        std::uint32_t started = Dial(entry, &RasDialer::Notifier, phone, userName, pass, "", "");
        // A dial that could not even start fails this attempt at once rather
        // than being watched for five minutes.
        if (started != 0) Notifier(connection_, WM_RASDIALEVENT, RASCS_Disconnected, started, 0);

        bool ended = false;
        for (int poll = 0; poll < kPollsPerAttempt && !ended; ++poll) {
            window->StepIt();
            window->PumpMessages(true);
            if (window->cancelled()) {
                window->SetText(QT_TRANSLATE_NOOP("Message", "Stop connecting to the Internet."));
                HangUp(entry);
                stopped = true;
                break;
            }
            const std::string before = text;
            bool finished = StatusText(text, connected);
            if (text != before) window->SetText(text);
            auto [error, extended] = NotifiedError();
            if (error != 0) {
                std::string message;
                ErrorText(error, extended, message);
                window->SetText(QCoreApplication::translate("Message", "Error: %1")
                                    .arg(QString::fromStdString(message))
                                    .toStdString());
                HangUp(entry);
                connected = false;
                break;
            }
            clock.Sleep(1s);
            if (finished) ended = true;
        }
        // An attempt that never ended is hung up before the next one, so that
        // no forgotten dial holds the line or connects later unseen.
        if (!ended && !stopped && !connected && NotifiedError().first == 0) HangUp(entry);
    }
    window.reset();
    Unbind();
    return connected && !stopped;
}
