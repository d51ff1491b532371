#include "connect/NetworkState.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <memory>
#include <optional>

#include "platform/nm_bus/NmBus.h"

namespace {

constexpr int kDbusTimeoutMs = 2000;
constexpr std::uint32_t kActivated = 2;  // NM_ACTIVE_CONNECTION_STATE_ACTIVATED

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

struct IfAddrsDeleter {
    void operator()(ifaddrs* p) const { ::freeifaddrs(p); }
};

// The activated connections, or nullopt when NetworkManager cannot be asked.
std::optional<std::vector<ActiveConnection>> QueryNetworkManager() {
    using namespace nmbus;
    Bus bus = OpenSystemBus();
    if (!bus) return std::nullopt;

    DBusMessageIter value;
    Message reply =
        GetProperty(bus.get(), kPath, kInterface, "ActiveConnections", value, kDbusTimeoutMs);
    if (!reply || ::dbus_message_iter_get_arg_type(&value) != DBUS_TYPE_ARRAY) return std::nullopt;

    std::vector<ActiveConnection> result;
    for (const std::string& path : ObjectPaths(value)) {
        ActiveConnection c;
        DBusMessageIter v;
        Message typeReply =
            GetProperty(bus.get(), path.c_str(), kActiveInterface, "Type", v, kDbusTimeoutMs);
        if (typeReply && ::dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_STRING) {
            const char* type = nullptr;
            ::dbus_message_iter_get_basic(&v, &type);
            if (type) c.type = type;
        }
        Message stateReply =
            GetProperty(bus.get(), path.c_str(), kActiveInterface, "State", v, kDbusTimeoutMs);
        if (stateReply && ::dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_UINT32) {
            dbus_uint32_t state = 0;
            ::dbus_message_iter_get_basic(&v, &state);
            c.state = state;
        }
        // A connection that went away between the two questions is skipped.
        if (typeReply && stateReply) result.push_back(std::move(c));
    }
    return result;
}

}  // namespace

std::vector<InterfaceAddress> ReadInterfaces() {
    std::vector<InterfaceAddress> result;
    ifaddrs* raw = nullptr;
    if (::getifaddrs(&raw) != 0) return result;
    std::unique_ptr<ifaddrs, IfAddrsDeleter> list(raw);
    for (const ifaddrs* a = raw; a; a = a->ifa_next) {
        if (!a->ifa_addr) continue;
        char text[INET6_ADDRSTRLEN] = {};
        InterfaceAddress entry;
        if (a->ifa_addr->sa_family == AF_INET) {
            const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
            // Each byte of the address as an unsigned decimal number, joined by ".".
            const auto* b = reinterpret_cast<const unsigned char*>(&in->sin_addr.s_addr);
            entry.address = std::to_string(b[0]) + "." + std::to_string(b[1]) + "." +
                            std::to_string(b[2]) + "." + std::to_string(b[3]);
            entry.family = 4;
        } else if (a->ifa_addr->sa_family == AF_INET6) {
            const auto* in6 = reinterpret_cast<const sockaddr_in6*>(a->ifa_addr);
            if (!::inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof text)) continue;
            entry.address = text;
            entry.family = 6;
        } else {
            continue;
        }
        entry.name = a->ifa_name ? a->ifa_name : "";
        entry.up = (a->ifa_flags & IFF_UP) != 0;
        entry.loopback = (a->ifa_flags & IFF_LOOPBACK) != 0;
        entry.pointToPoint = (a->ifa_flags & IFF_POINTOPOINT) != 0;
        result.push_back(std::move(entry));
    }
    return result;
}

std::uint32_t FlagsFromInterfaces(const std::vector<InterfaceAddress>& interfaces) {
    std::uint32_t flags = 0;
    for (const InterfaceAddress& a : interfaces) {
        if (!a.up || a.loopback || a.address.empty()) continue;
        // IPv6 link-local addresses come up on every cable-less interface.
        if (a.family == 6 && StartsWith(a.address, "fe80:")) continue;
        if (a.pointToPoint || StartsWith(a.name, "ppp") || StartsWith(a.name, "wwan"))
            flags |= INTERNET_CONNECTION_MODEM;
        else
            flags |= INTERNET_CONNECTION_LAN;
    }
    return flags;
}

std::uint32_t FlagsFromActiveConnections(const std::vector<ActiveConnection>& connections) {
    std::uint32_t flags = 0;
    for (const ActiveConnection& c : connections) {
        if (c.state != kActivated || c.type == "loopback") continue;
        if (c.type == "gsm" || c.type == "cdma" || c.type == "pppoe" || c.type == "adsl" ||
            c.type == "bluetooth")
            flags |= INTERNET_CONNECTION_MODEM;
        else
            flags |= INTERNET_CONNECTION_LAN;
    }
    return flags;
}

bool SystemNetworkState::GetConnectedState(std::uint32_t& flags) {
    if (auto active = QueryNetworkManager())
        flags = FlagsFromActiveConnections(*active);
    else
        flags = FlagsFromInterfaces(ReadInterfaces());
    return flags != 0;
}

NetworkState& DefaultNetworkState() {
    static SystemNetworkState state;
    return state;
}
