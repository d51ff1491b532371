#include "platform/nm_bus/NmBus.h"

#include <algorithm>
#include <cstdlib>

namespace nmbus {

namespace {
constexpr const char* kDefaultSystemBus = "unix:path=/var/run/dbus/system_bus_socket";
}

Bus OpenSystemBus() {
    const char* env = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    DBusError error;
    ::dbus_error_init(&error);
    Bus bus(::dbus_connection_open_private(env && *env ? env : kDefaultSystemBus, &error));
    if (bus) {
        ::dbus_connection_set_exit_on_disconnect(bus.get(), FALSE);
        if (!::dbus_bus_register(bus.get(), &error)) bus.reset();
    }
    ::dbus_error_free(&error);
    return bus;
}

Message Call(DBusConnection* bus, Message call, int timeoutMs, bool* serviceMissing) {
    DBusError error;
    ::dbus_error_init(&error);
    Message reply(::dbus_connection_send_with_reply_and_block(bus, call.get(), timeoutMs, &error));
    if (serviceMissing)
        *serviceMissing = !reply && (::dbus_error_has_name(&error, DBUS_ERROR_SERVICE_UNKNOWN) ||
                                     ::dbus_error_has_name(&error, DBUS_ERROR_NAME_HAS_NO_OWNER) ||
                                     ::dbus_error_has_name(&error, DBUS_ERROR_NO_REPLY) ||
                                     ::dbus_error_has_name(&error, DBUS_ERROR_TIMEOUT));
    ::dbus_error_free(&error);
    return reply;
}

Message GetProperty(DBusConnection* bus, const char* path, const char* interface, const char* name,
                    DBusMessageIter& value, int timeoutMs, bool* serviceMissing) {
    Message call(::dbus_message_new_method_call(kService, path, DBUS_INTERFACE_PROPERTIES, "Get"));
    if (!call || !::dbus_message_append_args(call.get(), DBUS_TYPE_STRING, &interface,
                                             DBUS_TYPE_STRING, &name, DBUS_TYPE_INVALID))
        return nullptr;
    Message reply = Call(bus, std::move(call), timeoutMs, serviceMissing);
    DBusMessageIter top;
    if (!reply || !::dbus_message_iter_init(reply.get(), &top) ||
        ::dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_VARIANT)
        return nullptr;
    ::dbus_message_iter_recurse(&top, &value);
    return reply;
}

std::vector<std::string> ObjectPaths(DBusMessageIter& array) {
    std::vector<std::string> result;
    if (::dbus_message_iter_get_arg_type(&array) != DBUS_TYPE_ARRAY) return result;
    DBusMessageIter item;
    ::dbus_message_iter_recurse(&array, &item);
    while (::dbus_message_iter_get_arg_type(&item) == DBUS_TYPE_OBJECT_PATH) {
        const char* p = nullptr;
        ::dbus_message_iter_get_basic(&item, &p);
        if (p) result.emplace_back(p);
        ::dbus_message_iter_next(&item);
    }
    return result;
}

std::optional<std::string> StringProperty(DBusConnection* bus, const std::string& path,
                                          const char* interface, const char* name, int timeoutMs) {
    DBusMessageIter v;
    Message reply = GetProperty(bus, path.c_str(), interface, name, v, timeoutMs);
    if (!reply || ::dbus_message_iter_get_arg_type(&v) != DBUS_TYPE_STRING) return std::nullopt;
    const char* s = nullptr;
    ::dbus_message_iter_get_basic(&v, &s);
    return std::string(s ? s : "");
}

std::optional<std::uint32_t> UintProperty(DBusConnection* bus, const std::string& path,
                                          const char* interface, const char* name, int timeoutMs) {
    DBusMessageIter v;
    Message reply = GetProperty(bus, path.c_str(), interface, name, v, timeoutMs);
    if (!reply || ::dbus_message_iter_get_arg_type(&v) != DBUS_TYPE_UINT32) return std::nullopt;
    dbus_uint32_t n = 0;
    ::dbus_message_iter_get_basic(&v, &n);
    return n;
}

Flat ProfileSettings(DBusConnection* bus, const std::string& path, int timeoutMs) {
    Flat flat;
    Message call(::dbus_message_new_method_call(
        kService, path.c_str(), "org.freedesktop.NetworkManager.Settings.Connection",
        "GetSettings"));
    if (!call) return flat;
    Message reply = Call(bus, std::move(call), timeoutMs);
    DBusMessageIter top, groups;
    if (!reply || !::dbus_message_iter_init(reply.get(), &top) ||
        ::dbus_message_iter_get_arg_type(&top) != DBUS_TYPE_ARRAY)
        return flat;
    ::dbus_message_iter_recurse(&top, &groups);
    while (::dbus_message_iter_get_arg_type(&groups) == DBUS_TYPE_DICT_ENTRY) {
        DBusMessageIter g, keys;
        ::dbus_message_iter_recurse(&groups, &g);
        const char* group = nullptr;
        if (::dbus_message_iter_get_arg_type(&g) == DBUS_TYPE_STRING) {
            ::dbus_message_iter_get_basic(&g, &group);
            ::dbus_message_iter_next(&g);
            if (::dbus_message_iter_get_arg_type(&g) == DBUS_TYPE_ARRAY) {
                ::dbus_message_iter_recurse(&g, &keys);
                while (::dbus_message_iter_get_arg_type(&keys) == DBUS_TYPE_DICT_ENTRY) {
                    DBusMessageIter kv, var;
                    ::dbus_message_iter_recurse(&keys, &kv);
                    const char* key = nullptr;
                    if (::dbus_message_iter_get_arg_type(&kv) == DBUS_TYPE_STRING) {
                        ::dbus_message_iter_get_basic(&kv, &key);
                        ::dbus_message_iter_next(&kv);
                        if (::dbus_message_iter_get_arg_type(&kv) == DBUS_TYPE_VARIANT) {
                            ::dbus_message_iter_recurse(&kv, &var);
                            if (::dbus_message_iter_get_arg_type(&var) == DBUS_TYPE_STRING) {
                                const char* s = nullptr;
                                ::dbus_message_iter_get_basic(&var, &s);
                                flat[std::string(group) + "." + key] = s ? s : "";
                            }
                        }
                    }
                    ::dbus_message_iter_next(&keys);
                }
            }
        }
        ::dbus_message_iter_next(&groups);
    }
    return flat;
}

bool IsDialUpType(const std::string& type) {
    return type == "gsm" || type == "cdma" || type == "pppoe" || type == "adsl" ||
           type == "bluetooth";
}

std::vector<std::string> DialUpEntryNames(DBusConnection* bus, int timeoutMs) {
    std::vector<std::string> names;
    Message call(::dbus_message_new_method_call(
        kService, "/org/freedesktop/NetworkManager/Settings",
        "org.freedesktop.NetworkManager.Settings", "ListConnections"));
    if (!call) return names;
    Message reply = Call(bus, std::move(call), timeoutMs);
    DBusMessageIter top;
    if (!reply || !::dbus_message_iter_init(reply.get(), &top)) return names;
    for (const std::string& path : ObjectPaths(top)) {
        Flat s = ProfileSettings(bus, path, timeoutMs);
        if (IsDialUpType(s["connection.type"]) && !s["connection.id"].empty())
            names.push_back(s["connection.id"]);
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace nmbus
