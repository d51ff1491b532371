#pragma once

// A private message bus and a NetworkManager the test plays on it, so that
// the real D-Bus conversation of the connection-state code and of the remote
// access library is exercised without any system service.
#include <dbus/dbus.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

extern char** environ;

// A dbus-daemon of the test's own, ended with the object.
class PrivateBus {
  public:
    PrivateBus() {
        int out[2];
        if (::pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        ::posix_spawn_file_actions_addclose(&actions, out[0]);
        ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const char* argv[] = {"dbus-daemon",
                              "--session",
                              "--nofork",
                              "--print-address=1",
                              "--address=unix:tmpdir=/tmp",
                              nullptr};
        if (::posix_spawnp(&pid_, "dbus-daemon", &actions, nullptr, const_cast<char**>(argv),
                           environ) != 0)
            pid_ = -1;
        ::posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        char c;
        while (pid_ > 0 && ::read(out[0], &c, 1) == 1 && c != '\n') address_ += c;
        ::close(out[0]);
    }
    ~PrivateBus() {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;
    [[nodiscard]] const std::string& address() const { return address_; }

    // The number of connections on the bus besides the one asking, or -1.
    [[nodiscard]] int Clients() const {
        struct Closer {
            void operator()(DBusConnection* c) const {
                ::dbus_connection_close(c);
                ::dbus_connection_unref(c);
            }
        };
        struct Unref {
            void operator()(DBusMessage* m) const { ::dbus_message_unref(m); }
        };
        DBusError error;
        ::dbus_error_init(&error);
        std::unique_ptr<DBusConnection, Closer> c(
            ::dbus_connection_open_private(address_.c_str(), &error));
        int n = -1;
        if (c && ::dbus_bus_register(c.get(), &error)) {
            std::unique_ptr<DBusMessage, Unref> call(::dbus_message_new_method_call(
                DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "ListNames"));
            std::unique_ptr<DBusMessage, Unref> reply(
                ::dbus_connection_send_with_reply_and_block(c.get(), call.get(), 2000, &error));
            DBusMessageIter top, names;
            if (reply && ::dbus_message_iter_init(reply.get(), &top) &&
                ::dbus_message_iter_get_arg_type(&top) == DBUS_TYPE_ARRAY) {
                n = -1;  // the asking connection is listed too
                for (::dbus_message_iter_recurse(&top, &names);
                     ::dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING;
                     ::dbus_message_iter_next(&names)) {
                    const char* name = nullptr;
                    ::dbus_message_iter_get_basic(&names, &name);
                    if (name && name[0] == ':') ++n;
                }
            }
        }
        ::dbus_error_free(&error);
        return n;
    }
    // True once Clients() is n, within a bound (the daemon notices a closed
    // connection a moment later).
    [[nodiscard]] bool ClientsBecome(int n) const {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (Clients() != n) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

  private:
    pid_t pid_ = -1;
    std::string address_;
};

// DBUS_SYSTEM_BUS_ADDRESS set to `address` while the object lives.
class ScopedSystemBus {
  public:
    explicit ScopedSystemBus(const std::string& address) {
        if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) saved_ = old;
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }
    ~ScopedSystemBus() {
        if (saved_.empty())
            ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
        else
            ::setenv("DBUS_SYSTEM_BUS_ADDRESS", saved_.c_str(), 1);
    }
    ScopedSystemBus(const ScopedSystemBus&) = delete;
    ScopedSystemBus& operator=(const ScopedSystemBus&) = delete;

  private:
    std::string saved_;
};

// NetworkManager on a bus: the manager object, connection profiles, active
// connections and devices, answered from a model the test changes at will.
//
// Played: Properties.Get of ActiveConnections on the manager, of State, Type,
// Id and Devices on an active connection and of State on a device;
// Settings.ListConnections; Settings.Connection.GetSettings;
// ActivateConnection, which makes an active connection of the profile on the
// first device, activating unless told otherwise; DeactivateConnection, which removes
// it. Anything else is answered with an error, as NetworkManager does.
class FakeNetworkManager {
  public:
    static constexpr const char* kPath = "/org/freedesktop/NetworkManager";
    static constexpr const char* kActivePrefix =
        "/org/freedesktop/NetworkManager/ActiveConnection/";
    static constexpr const char* kDevicePrefix = "/org/freedesktop/NetworkManager/Devices/";

    struct Active {
        std::string path, type;
        std::uint32_t state = 0;
        std::string id;
        std::vector<std::string> devices;
    };
    struct Call {
        std::string method, path, argument;
    };
    using Settings = std::map<std::string, std::map<std::string, std::string>>;

    explicit FakeNetworkManager(const std::string& address, std::vector<Active> active = {})
        : active_(std::move(active)) {
        DBusError error;
        ::dbus_error_init(&error);
        bus_ = ::dbus_connection_open_private(address.c_str(), &error);
        if (bus_ && ::dbus_bus_register(bus_, &error) &&
            ::dbus_bus_request_name(bus_, "org.freedesktop.NetworkManager",
                                    DBUS_NAME_FLAG_DO_NOT_QUEUE,
                                    &error) == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
            ::dbus_connection_add_filter(bus_, &FakeNetworkManager::Filter, this, nullptr);
            thread_ = std::thread([this] {
                while (!stop_ && ::dbus_connection_read_write_dispatch(bus_, 20)) {
                }
            });
        }
        ::dbus_error_free(&error);
    }
    ~FakeNetworkManager() { Leave(); }
    FakeNetworkManager(const FakeNetworkManager&) = delete;
    FakeNetworkManager& operator=(const FakeNetworkManager&) = delete;

    [[nodiscard]] bool running() const { return thread_.joinable(); }

    // Drops off the bus, as a stopped NetworkManager does.
    void Leave() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (bus_) {
            ::dbus_connection_close(bus_);
            ::dbus_connection_unref(bus_);
            bus_ = nullptr;
        }
    }

    // A profile with id and type; `settings` adds groups and keys of string
    // values. Returns its object path.
    std::string AddProfile(const std::string& id, const std::string& type, Settings settings = {}) {
        std::lock_guard lock(m_);
        std::string path =
            "/org/freedesktop/NetworkManager/Settings/" + std::to_string(profiles_.size() + 1);
        settings["connection"]["id"] = id;
        settings["connection"]["type"] = type;
        settings["connection"]["uuid"] =
            "00000000-0000-4000-8000-00000000000" + std::to_string(profiles_.size() + 1);
        profiles_.push_back({path, std::move(settings)});
        return path;
    }
    std::string AddDevice(std::uint32_t state) {
        std::lock_guard lock(m_);
        std::string path = kDevicePrefix + std::to_string(devices_.size() + 1);
        devices_[path] = state;
        return path;
    }
    void AddActive(Active a) {
        std::lock_guard lock(m_);
        active_.push_back(std::move(a));
    }
    void SetActiveState(const std::string& path, std::uint32_t state) {
        std::lock_guard lock(m_);
        for (Active& a : active_)
            if (a.path == path) a.state = state;
    }
    void RemoveActive(const std::string& path) {
        std::lock_guard lock(m_);
        std::erase_if(active_, [&](const Active& a) { return a.path == path; });
    }
    void SetDeviceState(const std::string& path, std::uint32_t state) {
        std::lock_guard lock(m_);
        devices_[path] = state;
    }
    // The state a new active connection starts in (activating unless set).
    void SetActivationState(std::uint32_t state) {
        std::lock_guard lock(m_);
        activationState_ = state;
    }
    // An ActivateConnection answered with this D-Bus error; empty: accepted.
    void RefuseActivation(std::string errorName) {
        std::lock_guard lock(m_);
        refusal_ = std::move(errorName);
    }

    // Method calls other than Properties.Get, in order.
    [[nodiscard]] std::vector<Call> Calls() const {
        std::lock_guard lock(m_);
        return calls_;
    }
    // The active connections ActivateConnection made, in order.
    [[nodiscard]] std::vector<std::string> Activated() const {
        std::lock_guard lock(m_);
        return activated_;
    }
    // Properties.Get calls answered so far.
    [[nodiscard]] int Gets() const {
        std::lock_guard lock(m_);
        return gets_;
    }

  private:
    struct MessageUnref {
        void operator()(DBusMessage* m) const { ::dbus_message_unref(m); }
    };
    using Message = std::unique_ptr<DBusMessage, MessageUnref>;
    struct Profile {
        std::string path;
        Settings settings;
    };

    static DBusHandlerResult Filter(DBusConnection* c, DBusMessage* m, void* self) {
        if (::dbus_message_get_type(m) != DBUS_MESSAGE_TYPE_METHOD_CALL)
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        auto* nm = static_cast<FakeNetworkManager*>(self);
        Message reply = nm->Answer(m);
        ::dbus_connection_send(c, reply.get(), nullptr);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    static Message Error(DBusMessage* m, const char* name) {
        return Message(::dbus_message_new_error(m, name, "refused by the test"));
    }

    static void AppendPaths(DBusMessageIter& to, const std::vector<std::string>& paths) {
        DBusMessageIter array;
        ::dbus_message_iter_open_container(&to, DBUS_TYPE_ARRAY, "o", &array);
        for (const std::string& p : paths) {
            const char* s = p.c_str();
            ::dbus_message_iter_append_basic(&array, DBUS_TYPE_OBJECT_PATH, &s);
        }
        ::dbus_message_iter_close_container(&to, &array);
    }

    // A reply holding one variant of the given basic type or object paths.
    static Message Variant(DBusMessage* m, const char* signature,
                           const std::function<void(DBusMessageIter&)>& fill) {
        Message reply(::dbus_message_new_method_return(m));
        DBusMessageIter top, variant;
        ::dbus_message_iter_init_append(reply.get(), &top);
        ::dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, signature, &variant);
        fill(variant);
        ::dbus_message_iter_close_container(&top, &variant);
        return reply;
    }
    static Message Uint(DBusMessage* m, std::uint32_t n) {
        return Variant(m, "u", [&](DBusMessageIter& v) {
            dbus_uint32_t u = n;
            ::dbus_message_iter_append_basic(&v, DBUS_TYPE_UINT32, &u);
        });
    }
    static Message String(DBusMessage* m, const std::string& s) {
        return Variant(m, "s", [&](DBusMessageIter& v) {
            const char* p = s.c_str();
            ::dbus_message_iter_append_basic(&v, DBUS_TYPE_STRING, &p);
        });
    }

    Message Answer(DBusMessage* m) {
        const std::string path = ::dbus_message_get_path(m) ? ::dbus_message_get_path(m) : "";
        const char* first = nullptr;
        const char* second = nullptr;
        DBusMessageIter args;
        if (::dbus_message_iter_init(m, &args)) {
            int t = ::dbus_message_iter_get_arg_type(&args);
            if (t == DBUS_TYPE_STRING || t == DBUS_TYPE_OBJECT_PATH) {
                ::dbus_message_iter_get_basic(&args, &first);
                if (::dbus_message_iter_next(&args) &&
                    ::dbus_message_iter_get_arg_type(&args) == DBUS_TYPE_STRING)
                    ::dbus_message_iter_get_basic(&args, &second);
            }
        }
        const std::string a = first ? first : "", b = second ? second : "";
        std::lock_guard lock(m_);
        if (::dbus_message_is_method_call(m, DBUS_INTERFACE_PROPERTIES, "Get")) {
            ++gets_;
            return Property(m, path, a, b);
        }
        const char* member = ::dbus_message_get_member(m);
        calls_.push_back({member ? member : "", path, a});
        if (::dbus_message_is_method_call(m, "org.freedesktop.NetworkManager.Settings",
                                          "ListConnections") &&
            path == "/org/freedesktop/NetworkManager/Settings") {
            Message reply(::dbus_message_new_method_return(m));
            DBusMessageIter top;
            ::dbus_message_iter_init_append(reply.get(), &top);
            std::vector<std::string> paths;
            for (const Profile& p : profiles_) paths.push_back(p.path);
            AppendPaths(top, paths);
            return reply;
        }
        if (::dbus_message_is_method_call(m, "org.freedesktop.NetworkManager.Settings.Connection",
                                          "GetSettings"))
            if (const Profile* p = FindProfile(path)) return SettingsReply(m, *p);
        if (::dbus_message_is_method_call(m, "org.freedesktop.NetworkManager",
                                          "ActivateConnection") &&
            path == kPath) {
            if (!refusal_.empty()) return Error(m, refusal_.c_str());
            const Profile* p = FindProfile(a);
            if (!p) return Error(m, "org.freedesktop.NetworkManager.UnknownConnection");
            Active made;
            made.path = kActivePrefix + std::to_string(101 + activated_.size());
            made.type = p->settings.at("connection").at("type");
            made.id = p->settings.at("connection").at("id");
            made.state = activationState_;
            if (!devices_.empty()) made.devices.push_back(devices_.begin()->first);
            active_.push_back(made);
            activated_.push_back(made.path);
            Message reply(::dbus_message_new_method_return(m));
            const char* s = made.path.c_str();
            ::dbus_message_append_args(reply.get(), DBUS_TYPE_OBJECT_PATH, &s, DBUS_TYPE_INVALID);
            return reply;
        }
        if (::dbus_message_is_method_call(m, "org.freedesktop.NetworkManager",
                                          "DeactivateConnection") &&
            path == kPath) {
            if (!FindActive(a))
                return Error(m, "org.freedesktop.NetworkManager.ConnectionNotActive");
            std::erase_if(active_, [&](const Active& x) { return x.path == a; });
            return Message(::dbus_message_new_method_return(m));
        }
        return Error(m, DBUS_ERROR_UNKNOWN_METHOD);
    }

    Message Property(DBusMessage* m, const std::string& path, const std::string& iface,
                     const std::string& name) {
        if (path == kPath && iface == "org.freedesktop.NetworkManager" &&
            name == "ActiveConnections") {
            std::vector<std::string> paths;
            for (const Active& x : active_) paths.push_back(x.path);
            return Variant(m, "ao", [&](DBusMessageIter& v) { AppendPaths(v, paths); });
        }
        if (const Active* x = FindActive(path);
            x && iface == "org.freedesktop.NetworkManager.Connection.Active") {
            if (name == "State") return Uint(m, x->state);
            if (name == "Type") return String(m, x->type);
            if (name == "Id") return String(m, x->id);
            if (name == "Devices")
                return Variant(m, "ao", [&](DBusMessageIter& v) { AppendPaths(v, x->devices); });
        }
        if (auto d = devices_.find(path); d != devices_.end() &&
                                          iface == "org.freedesktop.NetworkManager.Device" &&
                                          name == "State")
            return Uint(m, d->second);
        return Error(m, DBUS_ERROR_UNKNOWN_OBJECT);
    }

    // a{sa{sv}}: the profile's strings, and a truth value as NetworkManager
    // mixes in.
    static Message SettingsReply(DBusMessage* m, const Profile& p) {
        Message reply(::dbus_message_new_method_return(m));
        DBusMessageIter top, groups;
        ::dbus_message_iter_init_append(reply.get(), &top);
        ::dbus_message_iter_open_container(&top, DBUS_TYPE_ARRAY, "{sa{sv}}", &groups);
        for (const auto& [group, keys] : p.settings) {
            DBusMessageIter g, kvs;
            ::dbus_message_iter_open_container(&groups, DBUS_TYPE_DICT_ENTRY, nullptr, &g);
            const char* gs = group.c_str();
            ::dbus_message_iter_append_basic(&g, DBUS_TYPE_STRING, &gs);
            ::dbus_message_iter_open_container(&g, DBUS_TYPE_ARRAY, "{sv}", &kvs);
            auto entry = [&](const char* key, int type, const char* sig, const void* value) {
                DBusMessageIter kv, var;
                ::dbus_message_iter_open_container(&kvs, DBUS_TYPE_DICT_ENTRY, nullptr, &kv);
                ::dbus_message_iter_append_basic(&kv, DBUS_TYPE_STRING, &key);
                ::dbus_message_iter_open_container(&kv, DBUS_TYPE_VARIANT, sig, &var);
                ::dbus_message_iter_append_basic(&var, type, value);
                ::dbus_message_iter_close_container(&kv, &var);
                ::dbus_message_iter_close_container(&kvs, &kv);
            };
            for (const auto& [key, value] : keys) {
                const char* vs = value.c_str();
                entry(key.c_str(), DBUS_TYPE_STRING, "s", &vs);
            }
            if (group == "connection") {
                dbus_bool_t yes = TRUE;
                entry("autoconnect", DBUS_TYPE_BOOLEAN, "b", &yes);
            }
            ::dbus_message_iter_close_container(&g, &kvs);
            ::dbus_message_iter_close_container(&groups, &g);
        }
        ::dbus_message_iter_close_container(&top, &groups);
        return reply;
    }

    const Profile* FindProfile(const std::string& path) const {
        for (const Profile& p : profiles_)
            if (p.path == path) return &p;
        return nullptr;
    }
    const Active* FindActive(const std::string& path) const {
        for (const Active& a : active_)
            if (a.path == path) return &a;
        return nullptr;
    }

    mutable std::mutex m_;
    std::vector<Active> active_;
    std::vector<Profile> profiles_;
    std::map<std::string, std::uint32_t> devices_;
    std::vector<Call> calls_;
    std::string refusal_;
    int gets_ = 0;
    std::vector<std::string> activated_;
    std::uint32_t activationState_ = 1;  // activating
    DBusConnection* bus_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};
