#include "connect/ConnectionManager.h"

#include <utility>

#include "app/core/AppSettings.h"
#include "app/core/Translate.h"
#include "connect/RasDialer.h"

namespace {

constexpr const char* kNotConnectedInternet =
    QT_TRANSLATE_NOOP("Message", "Not Connected to the Internet");

void Tell(MessageBoxService& boxes, const char* text) {
    (void)boxes.Show(text, kMessageCaption, MbButtons::Ok, MbIcon::None);
}

}  // namespace

std::vector<std::string> LocalAddressesOf(const std::vector<InterfaceAddress>& interfaces) {
    std::vector<std::string> result;
    for (const InterfaceAddress& a : interfaces) {
        if (a.family != 4 || !a.up || a.loopback || a.address.empty()) continue;
        if (a.address.rfind("127.", 0) == 0) continue;  // the whole loop-back net
        result.push_back(a.address);
    }
    return result;
}

ConnectionManager::ConnectionManager(NetworkState& network, Clock& clock,
                                     ConnectionLibraries libraries)
    : network_(network),
      clock_(clock),
      libraries_(std::move(libraries)),
      dialer_(libraries_.dialer) {}

std::vector<std::string> ConnectionManager::LocalAddresses() {
    return LocalAddressesOf(network_.Interfaces());
}

bool ConnectionManager::IsOnline(Kind kind) {
    std::uint32_t flags = 0;
    switch (kind) {
        case Kind::LocalNetwork:
            return !LocalAddresses().empty();
        case Kind::DialUp:
            return network_.GetConnectedState(flags) && (flags & INTERNET_CONNECTION_MODEM) != 0;
        case Kind::OnlineService:
            return network_.GetConnectedState(flags) &&
                   (flags & (INTERNET_CONNECTION_MODEM | INTERNET_CONNECTION_LAN |
                             INTERNET_CONNECTION_MODEM_BUSY)) != 0 &&
                   dialer_.Bind() && dialer_.IsAOLConnected && dialer_.IsAOLConnected() != 0;
    }
    return false;
}

bool ConnectionManager::EnsureOnline(MessageBoxService& boxes, TaskProgressFactory& progress) {
    ConnectionSettings settings;
    settings.Load();
    const std::string& type = settings.ConnectionType;

    if (type == "DUN") {
        if (IsOnline(Kind::DialUp)) return true;
        RasDialer dialer(libraries_.ras);
        if (!dialer.DialEntry(boxes, progress, clock_, settings.PrimaryDUN,
                              settings.PrimaryUserName, settings.PrimaryPassword)) {
            Tell(boxes, kNotConnectedInternet);
            return false;
        }
        return true;
    }

    if (type == "AOL") {
        if (IsOnline(Kind::OnlineService)) return true;
        // Bound here too, so that a PC with no connection at all still finds
        // out which client is installed before asking and signing on.
        if (!dialer_.bound()) (void)dialer_.Bind();
        if (dialer_.bound() && dialer_.IsAOLConnected && dialer_.IsAOLConnected() != 0) return true;
        if (dialer_.bound() && dialer_.GetAOLInfo && dialer_.GetAOLInfo() != 0) return false;
        const char* question = dialer_.IsCs()
                                   ? QT_TRANSLATE_NOOP("Message", "Connect to CompuServe?")
                                   : QT_TRANSLATE_NOOP("Message", "Connect to AOL?");
        if (boxes.Show(question, kMessageCaption, MbButtons::OkCancel, MbIcon::Question) !=
            MbResult::Ok)
            return false;
        if (!dialer_.SignOn(progress, clock_, settings.AOLUserName, settings.AOLPassword)) {
            Tell(boxes, dialer_.IsCs() ? QT_TRANSLATE_NOOP("Message", "Not Connected to CompuServe")
                                       : QT_TRANSLATE_NOOP("Message", "Not Connected to AOL"));
            return false;
        }
        return true;
    }

    if (type == "LAN") {
        if (IsOnline(Kind::LocalNetwork)) return true;
        Tell(boxes, kNotConnectedInternet);
        return false;
    }

    return true;
}
