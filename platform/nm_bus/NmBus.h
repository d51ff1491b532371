#pragma once

#include <dbus/dbus.h>

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Talking to NetworkManager on the system D-Bus: shared by the connection
// state of the connect library and by the substitute remote access library.
namespace nmbus {

inline constexpr const char* kService = "org.freedesktop.NetworkManager";
inline constexpr const char* kPath = "/org/freedesktop/NetworkManager";
inline constexpr const char* kInterface = "org.freedesktop.NetworkManager";
inline constexpr const char* kActiveInterface = "org.freedesktop.NetworkManager.Connection.Active";

struct BusCloser {
    void operator()(DBusConnection* c) const {
        ::dbus_connection_close(c);
        ::dbus_connection_unref(c);
    }
};
using Bus = std::unique_ptr<DBusConnection, BusCloser>;

struct MessageUnref {
    void operator()(DBusMessage* m) const { ::dbus_message_unref(m); }
};
using Message = std::unique_ptr<DBusMessage, MessageUnref>;

// A private connection to the system bus, or null. The address
// (DBUS_SYSTEM_BUS_ADDRESS, else the standard socket) is read at every call:
// the library's own shared connection would keep the first one for the life
// of the process.
[[nodiscard]] Bus OpenSystemBus();

// A method call waiting at most timeoutMs; the reply, or null. With
// serviceMissing given, it tells a NetworkManager that is not there (or does
// not answer) apart from one that refused the call.
[[nodiscard]] Message Call(DBusConnection* bus, Message call, int timeoutMs,
                           bool* serviceMissing = nullptr);

// Properties.Get of one of NetworkManager's properties; the reply, with
// `value` positioned at the variant's contents, or null on any error.
[[nodiscard]] Message GetProperty(DBusConnection* bus, const char* path, const char* interface,
                                  const char* name, DBusMessageIter& value, int timeoutMs,
                                  bool* serviceMissing = nullptr);

// The object paths of an array of them; empty for anything else.
[[nodiscard]] std::vector<std::string> ObjectPaths(DBusMessageIter& array);

// A property of string or 32-bit unsigned type; nullopt on any error or
// another type.
[[nodiscard]] std::optional<std::string> StringProperty(DBusConnection* bus,
                                                        const std::string& path,
                                                        const char* interface, const char* name,
                                                        int timeoutMs);
[[nodiscard]] std::optional<std::uint32_t> UintProperty(DBusConnection* bus,
                                                        const std::string& path,
                                                        const char* interface, const char* name,
                                                        int timeoutMs);

// The settings of one connection profile as "group.key" -> text, string
// values only; empty on any error.
using Flat = std::map<std::string, std::string>;
[[nodiscard]] Flat ProfileSettings(DBusConnection* bus, const std::string& path, int timeoutMs);

// True for the profile types that dial: mobile broadband, PPPoE, DSL, Bluetooth.
[[nodiscard]] bool IsDialUpType(const std::string& type);

// The names (ids) of the dial-up profiles NetworkManager knows, sorted;
// empty when it does not answer.
[[nodiscard]] std::vector<std::string> DialUpEntryNames(DBusConnection* bus, int timeoutMs);

}  // namespace nmbus
