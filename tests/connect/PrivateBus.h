#pragma once

// A private message bus with NetworkManager played by the test.
#include <signal.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "ConnectTestSupport.h"
#include "platform/nm_bus/NmBus.h"
#include "support/Command.h"
#include "support/SessionBus.h"

// NetworkManager answering the calls the code makes from a model; others are errors.
class FakeNetworkManager {
  public:
    using Value = std::variant<std::uint32_t, std::string, std::vector<std::string>, bool>;
    using Settings = std::map<std::string, std::map<std::string, std::string>>;
    struct Model {
        // By object path: ActiveConnections; State, Type, Id, Devices; a device's State.
        std::map<std::string, std::map<std::string, Value>> objects;
        std::map<std::string, Settings> profiles;  // by object path
        std::string device;                        // of the connections activated
        std::uint32_t activationState = 1;         // activating
        std::string refusal;                       // ActivateConnection's error, if any
        std::vector<std::string> calls;            // "Method argument", all but Properties.Get
        std::vector<std::string> activated;        // the active connections made

        std::vector<std::string>& Active() {
            return std::get<2>(objects[nmbus::kPath]["ActiveConnections"]);
        }
        void AddActive(const std::string& path, const std::string& type, std::uint32_t state,
                       const std::string& id = "") {
            objects[path] = {{"State", state},
                             {"Type", type},
                             {"Id", id},
                             {"Devices", device.empty() ? Strings{} : Strings{device}}};
            Active().push_back(path);
        }
        bool RemoveActive(const std::string& path) {
            std::erase(Active(), path);
            return objects.erase(path) == 1;
        }
    };

    explicit FakeNetworkManager(const std::string& address) {
        model_.objects[nmbus::kPath]["ActiveConnections"] = Strings{};
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

  private:
    static DBusHandlerResult Filter(DBusConnection* c, DBusMessage* m, void* self) {
        if (::dbus_message_get_type(m) != DBUS_MESSAGE_TYPE_METHOD_CALL)
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        nmbus::Message reply = static_cast<FakeNetworkManager*>(self)->Answer(m);
        ::dbus_connection_send(c, reply.get(), nullptr);
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    static void Append(DBusMessageIter& to, const Value& v) {
        if (const auto* u = std::get_if<std::uint32_t>(&v)) {
            const dbus_uint32_t n = *u;
            ::dbus_message_iter_append_basic(&to, DBUS_TYPE_UINT32, &n);
        } else if (const auto* s = std::get_if<std::string>(&v)) {
            const char* p = s->c_str();
            ::dbus_message_iter_append_basic(&to, DBUS_TYPE_STRING, &p);
        } else if (const auto* b = std::get_if<bool>(&v)) {
            const dbus_bool_t truth = *b;
            ::dbus_message_iter_append_basic(&to, DBUS_TYPE_BOOLEAN, &truth);
        } else {
            DBusMessageIter array;
            ::dbus_message_iter_open_container(&to, DBUS_TYPE_ARRAY, "o", &array);
            for (const std::string& path : std::get<2>(v)) {
                const char* p = path.c_str();
                ::dbus_message_iter_append_basic(&array, DBUS_TYPE_OBJECT_PATH, &p);
            }
            ::dbus_message_iter_close_container(&to, &array);
        }
    }
    // Appends a variant of v, or a dictionary entry of key and that variant.
    static void AppendVariant(DBusMessageIter& to, const Value& v, const char* key = nullptr) {
        DBusMessageIter entry, variant;
        DBusMessageIter* into = &to;
        if (key) {
            ::dbus_message_iter_open_container(&to, DBUS_TYPE_DICT_ENTRY, nullptr, &entry);
            Append(entry, std::string(key));
            into = &entry;
        }
        const char* signature[] = {"u", "s", "ao", "b"};
        ::dbus_message_iter_open_container(into, DBUS_TYPE_VARIANT, signature[v.index()], &variant);
        Append(variant, v);
        ::dbus_message_iter_close_container(into, &variant);
        if (key) ::dbus_message_iter_close_container(&to, &entry);
    }

    nmbus::Message Answer(DBusMessage* m) {
        const std::string path = ::dbus_message_get_path(m) ? ::dbus_message_get_path(m) : "";
        std::string args[2];  // the first two string or object path arguments
        DBusMessageIter it;
        bool more = ::dbus_message_iter_init(m, &it);
        for (std::string& a : args) {
            const int t = more ? ::dbus_message_iter_get_arg_type(&it) : DBUS_TYPE_INVALID;
            if (t != DBUS_TYPE_STRING && t != DBUS_TYPE_OBJECT_PATH) break;
            const char* s = nullptr;
            ::dbus_message_iter_get_basic(&it, &s);
            a = s ? s : "";
            more = ::dbus_message_iter_next(&it);
        }
        nmbus::Message reply(::dbus_message_new_method_return(m));
        DBusMessageIter out;
        ::dbus_message_iter_init_append(reply.get(), &out);
        auto error = [&](const char* name) {
            return nmbus::Message(::dbus_message_new_error(m, name, "refused by the test"));
        };
        std::lock_guard lock(m_);
        Model& model = model_;
        if (::dbus_message_is_method_call(m, DBUS_INTERFACE_PROPERTIES, "Get")) {
            auto object = model.objects.find(path);
            if (object == model.objects.end() || !object->second.contains(args[1]))
                return error(DBUS_ERROR_UNKNOWN_OBJECT);
            AppendVariant(out, object->second.at(args[1]));
            return reply;
        }
        const std::string method = ::dbus_message_get_member(m);
        model.calls.push_back(method + " " + args[0]);
        if (method == "ListConnections") {
            Strings paths;
            for (const auto& [p, settings] : model.profiles) paths.push_back(p);
            Append(out, paths);
        } else if (method == "GetSettings" && model.profiles.contains(path)) {
            // a{sa{sv}}: the profile's strings, and a truth value as NetworkManager mixes in.
            DBusMessageIter groups, group, keys;
            ::dbus_message_iter_open_container(&out, DBUS_TYPE_ARRAY, "{sa{sv}}", &groups);
            for (const auto& [name, values] : model.profiles.at(path)) {
                ::dbus_message_iter_open_container(&groups, DBUS_TYPE_DICT_ENTRY, nullptr, &group);
                Append(group, name);
                ::dbus_message_iter_open_container(&group, DBUS_TYPE_ARRAY, "{sv}", &keys);
                for (const auto& [key, value] : values) AppendVariant(keys, value, key.c_str());
                AppendVariant(keys, true, "autoconnect");
                ::dbus_message_iter_close_container(&group, &keys);
                ::dbus_message_iter_close_container(&groups, &group);
            }
            ::dbus_message_iter_close_container(&out, &groups);
        } else if (method == "ActivateConnection") {
            if (!model.refusal.empty()) return error(model.refusal.c_str());
            if (!model.profiles.contains(args[0]))
                return error("org.freedesktop.NetworkManager.UnknownConnection");
            const auto& connection = model.profiles.at(args[0]).at("connection");
            const std::string made = "/org/freedesktop/NetworkManager/ActiveConnection/" +
                                     std::to_string(101 + model.activated.size());
            model.AddActive(made, connection.at("type"), model.activationState,
                            connection.at("id"));
            model.activated.push_back(made);
            const char* p = made.c_str();
            ::dbus_message_iter_append_basic(&out, DBUS_TYPE_OBJECT_PATH, &p);
        } else if (method == "DeactivateConnection") {
            if (!model.RemoveActive(args[0]))
                return error("org.freedesktop.NetworkManager.ConnectionNotActive");
        } else {
            return error(DBUS_ERROR_UNKNOWN_METHOD);
        }
        return reply;
    }

    mutable std::mutex m_;
    Model model_;
    nmbus::Bus bus_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};
