// The connection state over a private message bus on which the test plays
// NetworkManager, so the real D-Bus conversation is exercised without any
// system service.
#include <dbus/dbus.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "connect/NetworkState.h"

extern char** environ;

namespace {

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
    [[nodiscard]] const std::string& address() const { return address_; }

  private:
    pid_t pid_ = -1;
    std::string address_;
};

// Answers Properties.Get for the manager object and its active connections.
class FakeNetworkManager {
  public:
    struct Active {
        std::string path, type;
        std::uint32_t state;
    };

    FakeNetworkManager(const std::string& address, std::vector<Active> active)
        : active_(std::move(active)) {
        DBusError error;
        ::dbus_error_init(&error);
        bus_ = ::dbus_connection_open_private(address.c_str(), &error);
        if (bus_ && ::dbus_bus_register(bus_, &error)) {
            ::dbus_bus_request_name(bus_, "org.freedesktop.NetworkManager",
                                    DBUS_NAME_FLAG_DO_NOT_QUEUE, &error);
            ::dbus_connection_add_filter(bus_, &FakeNetworkManager::Filter, this, nullptr);
            thread_ = std::thread([this] {
                while (!stop_ && ::dbus_connection_read_write_dispatch(bus_, 50)) {
                }
            });
        }
        ::dbus_error_free(&error);
    }
    ~FakeNetworkManager() {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (bus_) {
            ::dbus_connection_close(bus_);
            ::dbus_connection_unref(bus_);
        }
    }
    [[nodiscard]] bool running() const { return thread_.joinable(); }

  private:
    static DBusHandlerResult Filter(DBusConnection* c, DBusMessage* m, void* self) {
        if (!::dbus_message_is_method_call(m, "org.freedesktop.DBus.Properties", "Get"))
            return DBUS_HANDLER_RESULT_NOT_YET_HANDLED;
        const char* interface = nullptr;
        const char* property = nullptr;
        ::dbus_message_get_args(m, nullptr, DBUS_TYPE_STRING, &interface, DBUS_TYPE_STRING,
                                &property, DBUS_TYPE_INVALID);
        static_cast<FakeNetworkManager*>(self)->Answer(c, m, ::dbus_message_get_path(m),
                                                       property ? property : "");
        return DBUS_HANDLER_RESULT_HANDLED;
    }

    void Answer(DBusConnection* c, DBusMessage* m, const std::string& path,
                const std::string& property) {
        DBusMessage* reply = ::dbus_message_new_method_return(m);
        DBusMessageIter top, variant, array;
        ::dbus_message_iter_init_append(reply, &top);
        bool answered = false;
        if (path == "/org/freedesktop/NetworkManager" && property == "ActiveConnections") {
            ::dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, "ao", &variant);
            ::dbus_message_iter_open_container(&variant, DBUS_TYPE_ARRAY, "o", &array);
            for (const Active& a : active_) {
                const char* p = a.path.c_str();
                ::dbus_message_iter_append_basic(&array, DBUS_TYPE_OBJECT_PATH, &p);
            }
            ::dbus_message_iter_close_container(&variant, &array);
            ::dbus_message_iter_close_container(&top, &variant);
            answered = true;
        }
        for (const Active& a : active_) {
            if (a.path != path) continue;
            if (property == "Type") {
                const char* t = a.type.c_str();
                ::dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, "s", &variant);
                ::dbus_message_iter_append_basic(&variant, DBUS_TYPE_STRING, &t);
                ::dbus_message_iter_close_container(&top, &variant);
                answered = true;
            } else if (property == "State") {
                dbus_uint32_t s = a.state;
                ::dbus_message_iter_open_container(&top, DBUS_TYPE_VARIANT, "u", &variant);
                ::dbus_message_iter_append_basic(&variant, DBUS_TYPE_UINT32, &s);
                ::dbus_message_iter_close_container(&top, &variant);
                answered = true;
            }
        }
        if (!answered) {
            ::dbus_message_unref(reply);
            reply = ::dbus_message_new_error(m, "org.freedesktop.DBus.Error.UnknownObject", "no");
        }
        ::dbus_connection_send(c, reply, nullptr);
        ::dbus_message_unref(reply);
    }

    std::vector<Active> active_;
    DBusConnection* bus_ = nullptr;
    std::thread thread_;
    std::atomic<bool> stop_{false};
};

class ScopedSystemBus {
  public:
    explicit ScopedSystemBus(const std::string& address) {
        ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
    }
    ~ScopedSystemBus() { ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS"); }
};

const char* const kActive = "/org/freedesktop/NetworkManager/ActiveConnection/";

TEST(NetworkManagerStateTest, ActivatedConnectionsGiveTheFlags) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    ScopedSystemBus env(bus.address());
    SystemNetworkState state;
    std::uint32_t flags = 0;
    {
        FakeNetworkManager nm(bus.address(), {{std::string(kActive) + "1", "802-3-ethernet", 2},
                                              {std::string(kActive) + "2", "gsm", 2},
                                              {std::string(kActive) + "3", "loopback", 2}});
        ASSERT_TRUE(nm.running());
        EXPECT_TRUE(state.GetConnectedState(flags));
        EXPECT_EQ(flags, INTERNET_CONNECTION_LAN | INTERNET_CONNECTION_MODEM);
    }
    {
        // NetworkManager's word counts even where interfaces are up.
        FakeNetworkManager nm(bus.address(), {{std::string(kActive) + "4", "802-11-wireless", 1},
                                              {std::string(kActive) + "5", "loopback", 2}});
        ASSERT_TRUE(nm.running());
        flags = 0xFF;
        EXPECT_FALSE(state.GetConnectedState(flags));
        EXPECT_EQ(flags, 0u);
    }
}

TEST(NetworkManagerStateTest, WithoutNetworkManagerTheInterfacesDecide) {
    PrivateBus bus;
    ASSERT_FALSE(bus.address().empty());
    SystemNetworkState state;
    std::uint32_t flags = 0xFF;
    const std::uint32_t expected = FlagsFromInterfaces(ReadInterfaces());
    {
        ScopedSystemBus env(bus.address());  // a bus, but nobody owns the name
        EXPECT_EQ(state.GetConnectedState(flags), expected != 0);
        EXPECT_EQ(flags, expected);
    }
    {
        ScopedSystemBus env("unix:path=/nonexistent/corvinaport-bus");
        flags = 0xFF;
        EXPECT_EQ(state.GetConnectedState(flags), expected != 0);
        EXPECT_EQ(flags, expected);
    }
}

}  // namespace
