#include "connect/NetworkState.h"

#include <arpa/inet.h>
#include <dbus/dbus.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <cstdlib>
#include <memory>
#include <optional>

namespace {

constexpr int kDbusTimeoutMs = 2000;
constexpr const char* kSystemBusAddress = "unix:path=/var/run/dbus/system_bus_socket";
constexpr std::uint32_t kActivated = 2;  // NM_ACTIVE_CONNECTION_STATE_ACTIVATED

const char* const kNmService = "org.freedesktop.NetworkManager";
const char* const kNmPath = "/org/freedesktop/NetworkManager";
const char* const kNmInterface = "org.freedesktop.NetworkManager";
const char* const kNmActiveInterface = "org.freedesktop.NetworkManager.Connection.Active";

bool StartsWith(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

struct IfAddrsDeleter {
    void operator()(ifaddrs* p) const { ::freeifaddrs(p); }
};

struct ConnectionCloser {
    void operator()(DBusConnection* c) const {
        ::dbus_connection_close(c);
        ::dbus_connection_unref(c);
    }
};
using Connection = std::unique_ptr<DBusConnection, ConnectionCloser>;

struct MessageUnref {
    void operator()(DBusMessage* m) const { ::dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// Properties.Get of one property; the reply, positioned at the variant's
// contents in `value`, or null on any error (NetworkManager absent included).
Message GetProperty(DBusConnection* bus, const char* path, const char* interface,
                    const char* property, DBusMessageIter& value) {
    Message call(
        ::dbus_message_new_method_call(kNmService, path, "org.freedesktop.DBus.Properties", "Get"));
    if (!call) return nullptr;
    if (!::dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING,
                                    &property, DBUS_TYPE_INVALID))
        return nullptr;
    DBusError error;
    ::dbus_error_init(&error);
    Message reply(
        ::dbus_connection_send_with_reply_and_block(bus, call.get(), kDbusTimeoutMs, &error));
    ::dbus_error_free(&error);
    if (!reply) return nullptr;
    DBusMessageIter top;
    if (!::dbus_message_iter_init(reply.get(), &top) ||
        ::dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_VARIANT)
        return nullptr;
    ::dbus_message_iter_recurse(&top, &value);
    return reply;
}

// The activated connections, or nullopt when NetworkManager cannot be asked.
std::optional<std::vector<ActiveConnection>> QueryNetworkManager() {
    // The address is looked up at every call (the library's own bus look-up
    // would keep the first one for the life of the process).
    const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const char* address = env && *env ? env : kSystemBusAddress;
    DBusError error;
    ::dbus_error_init(&error);
    Connection bus(::dbus_connection_open_private(address, &error));
    if (bus) {
        ::dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
        if (!::dbus_bus_register(bus.get(), &error)) bus.reset();
    }
    ::dbus_error_free(&error);
    if (!bus) return std::nullopt;

    DBusMessageIter value;
    Message reply = GetProperty(bus.get(), kNmPath, kNmInterface, "ActiveConnections", value);
    if (!reply || ::dbus_message_iter_get_arg_type(&value) != DBUS_TYPE_ARRAY) return std::nullopt;

    std::vector<std::string> paths;
    DBusMessageIter item;
    ::dbus_message_iter_recurse(&value, &item);
    while (::dbus_message_iter_get_arg_type(&item) == DBUS_TYPE_OBJECT_PATH) {
        const char* path = nullptr;
        ::dbus_message_iter_get_basic(&item, &path);
        if (path) paths.emplace_back(path);
        ::dbus_message_iter_next(&item);
    }

    std::vector<ActiveConnection> result;
    for (const std::string& path : paths) {
        ActiveConnection c;
        DBusMessageIter v;
        Message typeReply = GetProperty(bus.get(), path.c_str(), kNmActiveInterface, "Type", v);
        if (typeReply && ::dbus_message_iter_get_arg_type(&v) == DBUS_TYPE_STRING) {
            const char* type = nullptr;
            ::dbus_message_iter_get_basic(&v, &type);
            if (type) c.type = type;
        }
        Message stateReply = GetProperty(bus.get(), path.c_str(), kNmActiveInterface, "State", v);
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
