#pragma once

// A private message bus and a NetworkManager the test plays on it, so that
// the real D-Bus conversation of the connection-state code and of the remote
// access library is exercised without any system service.
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
#include <mutex>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <vector>

#include "platform/nmbus/NmBus.h"

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

    // True once the bus has n connections besides the one asking, within a
    // bound (the daemon notices a closed connection a moment later).
    [[nodiscard]] bool ClientsBecome(int n) const {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        while (Clients() != n) {
            if (std::chrono::steady_clock::now() > limit) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    }

  private:
    [[nodiscard]] int Clients() const {
        DBusError error;
        ::dbus_error_init(&error);
        nmbus::Bus c(::dbus_connection_open_private(address_.c_str(), &error));
        ::dbus_error_free(&error);
        if (!c || !::dbus_bus_register(c.get(), nullptr)) return -1;
        nmbus::Message reply =
            nmbus::Call(c.get(),
                        nmbus::Message(::dbus_message_new_method_call(
                            DBUS_SERVICE_DBUS, DBUS_PATH_DBUS, DBUS_INTERFACE_DBUS, "ListNames")),
                        2000);
        DBusMessageIter top, names;
        if (!reply || !::dbus_message_iter_init(reply.get(), &top)) return -1;
        int n = -1;  // the asking connection is listed too
        for (::dbus_message_iter_recurse(&top, &names);
             ::dbus_message_iter_get_arg_type(&names) == DBUS_TYPE_STRING;
             ::dbus_message_iter_next(&names)) {
            const char* name = nullptr;
            ::dbus_message_iter_get_basic(&names, &name);
            if (name && name[0] == ':') ++n;
        }
        return n;
    }

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

// NetworkManager on a bus, answering from a model the test changes at will:
// Properties.Get of the manager's ActiveConnections, of an active
// connection's State, Type, Id and Devices and of a device's State;
// Settings.ListConnections and Settings.Connection.GetSettings of the
// profiles; ActivateConnection, which makes an active connection of the
// profile on the first device; DeactivateConnection, which removes it.
// Anything else is answered with an error, as NetworkManager does.
class FakeNetworkManager {
  public:
    static constexpr const char* kActivePrefix =
        "/org/freedesktop/NetworkManager/ActiveConnection/";

    struct Active {
        Active(std::string p, std::string t, std::uint32_t s, std::string i = "",
               std::vector<std::string> d = {})
            : path(std::move(p)),
              type(std::move(t)),
              state(s),
              id(std::move(i)),
              devices(std::move(d)) {}
        std::string path, type;
        std::uint32_t state;
        std::string id;
        std::vector<std::string> devices;
    };
    struct Call {
        std::string method, argument;
    };
    using Settings = std::map<std::string, std::map<std::string, std::string>>;
    struct Model {
        std::vector<Active> active;
        std::map<std::string, Settings> profiles;      // by object path
        std::map<std::string, std::uint32_t> devices;  // state by object path
        std::uint32_t activationState = 1;             // activating
        std::string refusal;                           // ActivateConnection's error
        std::vector<Call> calls;                       // all but Properties.Get
        std::vector<std::string> activated;            // active connections made
    };

    explicit FakeNetworkManager(const std::string& address, std::vector<Active> active = {}) {
        model_.active = std::move(active);
        DBusError error;
        ::dbus_error_init(&error);
        bus_.reset(::dbus_connection_open_private(address.c_str(), &error));
        if (bus_ && ::dbus_bus_register(bus_.get(), &error) &&
            ::dbus_bus_request_name(bus_.get(), nmbus::kService, DBUS_NAME_FLAG_DO_NOT_QUEUE,
                                    &error) == DBUS_REQUEST_NAME_REPLY_PRIMARY_OWNER) {
            ::dbus_connection_add_filter(bus_.get(), &FakeNetworkManager::Filter, this, nullptr);
            thread_ = std::thread([this] {
                while (!stop_ && ::dbus_connection_read_write_dispatch(bus_.get(), 20)) {
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
        bus_.reset();
    }

    // Changes the model under the lock.
    void Edit(const std::function<void(Model&)>& change) {
        std::lock_guard lock(m_);
        change(model_);
    }
    [[nodiscard]] Model Snapshot() const {
        std::lock_guard lock(m_);
        return model_;
    }

    // A profile with id and type and these further settings; its object path.
    std::string AddProfile(const std::string& id, const std::string& type, Settings settings = {}) {
        std::lock_guard lock(m_);
        std::string path = "/org/freedesktop/NetworkManager/Settings/" +
                           std::to_string(model_.profiles.size() + 1);
        settings["connection"]["id"] = id;
        settings["connection"]["type"] = type;
        model_.profiles[path] = std::move(settings);
        return path;
    }

  private:
    static DBusHandlerResult Filter(DBusConnection* c, DBusMessage* m, void* self) {
        if (::dbus_message_get_type(m) != DBUS_MESSAGE_TYPE_METHOD_CALL)
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        nmbus::Message reply = static_cast<FakeNetworkManager*>(self)->Answer(m);
        ::dbus_connection_send(c, reply.get(), nullptr);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    static nmbus::Message Error(DBusMessage* m, const char* name) {
        return nmbus::Message(::dbus_message_new_error(m, name, "refused by the test"));
    }

    static void Paths(DBusMessageIter& to, const std::vector<std::string>& paths) {
        DBusMessageIter array;
        ::dbus_message_iter_open_container(&to, DBUS_TYPE_ARRAY, "o", &array);
        for (const std::string& p : paths) {
            const char* s = p.c_str();
            ::dbus_message_iter_append_basic(&array, DBUS_TYPE_OBJECT_PATH, &s);
        }
        ::dbus_message_iter_close_container(&to, &array);
    }

    // A reply holding one variant of this signature.
    static nmbus::Message Variant(DBusMessage* m, const char* signature,
                                  const std::function<void(DBusMessageIter&)>& fill) {
        nmbus::Message reply(::dbus_message_new_method_return(m));
        DBusMessageIter top, variant;
        ::dbus_message_iter_init_append(reply.get(), &top);
        ::dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, signature, &variant);
        fill(variant);
        ::dbus_message_iter_close_container(&top, &variant);
        return reply;
    }
    static void Basic(DBusMessageIter& to, std::uint32_t n) {
        dbus_uint32_t u = n;
        ::dbus_message_iter_append_basic(&to, DBUS_TYPE_UINT32, &u);
    }
    static void Basic(DBusMessageIter& to, const std::string& s) {
        const char* p = s.c_str();
        ::dbus_message_iter_append_basic(&to, DBUS_TYPE_STRING, &p);
    }
    template <class T>
    static nmbus::Message Value(DBusMessage* m, const T& v) {
        return Variant(m, std::is_same_v<T, std::string> ? "s" : "u",
                       [&](DBusMessageIter& it) { Basic(it, v); });
    }

    nmbus::Message Answer(DBusMessage* m) {
        const std::string path = ::dbus_message_get_path(m) ? ::dbus_message_get_path(m) : "";
        std::string a, b;  // the first two string or object path arguments
        DBusMessageIter args;
        for (bool more = ::dbus_message_iter_init(m, &args); more && b.empty();
             more = ::dbus_message_iter_next(&args)) {
            const int t = ::dbus_message_iter_get_arg_type(&args);
            if (t != DBUS_TYPE_STRING && t != DBUS_TYPE_OBJECT_PATH) break;
            const char* s = nullptr;
            ::dbus_message_iter_get_basic(&args, &s);
            (a.empty() ? a : b) = s ? s : "";
        }
        std::lock_guard lock(m_);
        Model& model = model_;
        if (::dbus_message_is_method_call(m, DBUS_INTERFACE_PROPERTIES, "Get")) {
            if (path == nmbus::kPath && b == "ActiveConnections") {
                std::vector<std::string> paths;
                for (const Active& x : model.active) paths.push_back(x.path);
                return Variant(m, "ao", [&](DBusMessageIter& v) { Paths(v, paths); });
            }
            if (const Active* x = FindActive(path); x && a == nmbus::kActiveInterface) {
                if (b == "State") return Value(m, x->state);
                if (b == "Type") return Value(m, x->type);
                if (b == "Id") return Value(m, x->id);
                if (b == "Devices")
                    return Variant(m, "ao", [&](DBusMessageIter& v) { Paths(v, x->devices); });
            }
            if (auto d = model.devices.find(path); d != model.devices.end() && b == "State")
                return Value(m, d->second);
            return Error(m, DBUS_ERROR_UNKNOWN_OBJECT);
        }
        const char* member = ::dbus_message_get_member(m);
        model.calls.push_back({member ? member : "", a});
        auto profile = model.profiles.find(path);
        if (::dbus_message_has_member(m, "ListConnections")) {
            nmbus::Message reply(::dbus_message_new_method_return(m));
            DBusMessageIter top;
            ::dbus_message_iter_init_append(reply.get(), &top);
            std::vector<std::string> paths;
            for (const auto& [p, settings] : model.profiles) paths.push_back(p);
            Paths(top, paths);
            return reply;
        }
        if (::dbus_message_has_member(m, "GetSettings") && profile != model.profiles.end())
            return SettingsReply(m, profile->second);
        if (::dbus_message_has_member(m, "ActivateConnection")) {
            if (!model.refusal.empty()) return Error(m, model.refusal.c_str());
            auto chosen = model.profiles.find(a);
            if (chosen == model.profiles.end())
                return Error(m, "org.freedesktop.NetworkManager.UnknownConnection");
            Active made(kActivePrefix + std::to_string(101 + model.activated.size()),
                        chosen->second.at("connection").at("type"), model.activationState,
                        chosen->second.at("connection").at("id"));
            if (!model.devices.empty()) made.devices.push_back(model.devices.begin()->first);
            model.active.push_back(made);
            model.activated.push_back(made.path);
            nmbus::Message reply(::dbus_message_new_method_return(m));
            const char* s = made.path.c_str();
            ::dbus_message_append_args(reply.get(), DBUS_TYPE_OBJECT_PATH, &s, DBUS_TYPE_INVALID);
            return reply;
        }
        if (::dbus_message_has_member(m, "DeactivateConnection")) {
            if (!FindActive(a))
                return Error(m, "org.freedesktop.NetworkManager.ConnectionNotActive");
            std::erase_if(model.active, [&](const Active& x) { return x.path == a; });
            return nmbus::Message(::dbus_message_new_method_return(m));
        }
        return Error(m, DBUS_ERROR_UNKNOWN_METHOD);
    }

    // a{sa{sv}}: the profile's strings, and a truth value as NetworkManager
    // mixes in.
    static nmbus::Message SettingsReply(DBusMessage* m, const Settings& settings) {
        nmbus::Message reply(::dbus_message_new_method_return(m));
        DBusMessageIter top, groups;
        ::dbus_message_iter_init_append(reply.get(), &top);
        ::dbus_message_iter_open_container(&top, DBUS_TYPE_ARRAY, "{sa{sv}}", &groups);
        for (const auto& [group, keys] : settings) {
            DBusMessageIter g, kvs;
            ::dbus_message_iter_open_container(&groups, DBUS_TYPE_DICT_ENTRY, nullptr, &g);
            Basic(g, group);
            ::dbus_message_iter_open_container(&g, DBUS_TYPE_ARRAY, "{sv}", &kvs);
            auto entry = [&](const std::string& key, int type, const char* sig, const void* value) {
                DBusMessageIter kv, var;
                ::dbus_message_iter_open_container(&kvs, DBUS_TYPE_DICT_ENTRY, nullptr, &kv);
                Basic(kv, key);
                ::dbus_message_iter_open_container(&kv, DBUS_TYPE_VARIANT, sig, &var);
                ::dbus_message_iter_append_basic(&var, type, value);
                ::dbus_message_iter_close_container(&kv, &var);
                ::dbus_message_iter_close_container(&kvs, &kv);
            };
            for (const auto& [key, value] : keys) {
                const char* vs = value.c_str();
                entry(key, DBUS_TYPE_STRING, "s", &vs);
            }
            dbus_bool_t yes = TRUE;
            entry("autoconnect", DBUS_TYPE_BOOLEAN, "b", &yes);
            ::dbus_message_iter_close_container(&g, &kvs);
            ::dbus_message_iter_close_container(&groups, &g);
        }
        ::dbus_message_iter_close_container(&top, &groups);
        return reply;
    }

    const Active* FindActive(const std::string& path) const {
        for (const Active& a : model_.active)
            if (a.path == path) return &a;
        return nullptr;
    }

    mutable std::mutex m_;
    Model model_;
    nmbus::Bus bus_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};
