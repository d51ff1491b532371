#include "app/secret_store/SecretServiceStore.h"

#include <libsecret/secret.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <thread>

#include "base/DynamicLibrary.h"

namespace {

// libsecret (with GIO) is loaded on the first use of the secret store, not
// when the program starts; without it no secret store answers.
struct SecretApi {
    DynamicLibrary library;
    bool complete = false;
    decltype(&::g_object_unref) g_object_unref = nullptr;
    decltype(&::g_bus_get_sync) g_bus_get_sync = nullptr;
    decltype(&::g_dbus_connection_set_exit_on_close) g_dbus_connection_set_exit_on_close = nullptr;
    decltype(&::secret_service_get_type) secret_service_get_type = nullptr;
    decltype(&::secret_service_open_sync) secret_service_open_sync = nullptr;
    decltype(&::secret_service_lookup_sync) secret_service_lookup_sync = nullptr;
    decltype(&::secret_service_store_sync) secret_service_store_sync = nullptr;
    decltype(&::secret_service_clear_sync) secret_service_clear_sync = nullptr;
    decltype(&::secret_value_get) secret_value_get = nullptr;
    decltype(&::secret_value_new) secret_value_new = nullptr;
    decltype(&::secret_value_unref) secret_value_unref = nullptr;
};

const SecretApi& Secret() {
    static const SecretApi api = [] {
        SecretApi a;
        a.library = DynamicLibrary::OpenForRun("libsecret-1.so.0");
        // GIO's and GObject's functions come with it, found through its handle.
        a.complete = a.library && a.library.Bind(a.g_object_unref, "g_object_unref") &&
                     a.library.Bind(a.g_bus_get_sync, "g_bus_get_sync") &&
                     a.library.Bind(a.g_dbus_connection_set_exit_on_close,
                                    "g_dbus_connection_set_exit_on_close") &&
                     a.library.Bind(a.secret_service_get_type, "secret_service_get_type") &&
                     a.library.Bind(a.secret_service_open_sync, "secret_service_open_sync") &&
                     a.library.Bind(a.secret_service_lookup_sync, "secret_service_lookup_sync") &&
                     a.library.Bind(a.secret_service_store_sync, "secret_service_store_sync") &&
                     a.library.Bind(a.secret_service_clear_sync, "secret_service_clear_sync") &&
                     a.library.Bind(a.secret_value_get, "secret_value_get") &&
                     a.library.Bind(a.secret_value_new, "secret_value_new") &&
                     a.library.Bind(a.secret_value_unref, "secret_value_unref");
        return a;
    }();
    return api;
}

const SecretSchema* Schema() {
    static const SecretSchema schema = {
        "com.quorvane.corvinaport.Account",
        SECRET_SCHEMA_NONE,
        {{"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING}},
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr};
    return &schema;
}

struct ObjectUnref {
    void operator()(gpointer object) const { Secret().g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, ObjectUnref>;

struct ErrorHolder {
    GError* error = nullptr;
    ~ErrorHolder() { g_clear_error(&error); }
    ErrorHolder() = default;
    ErrorHolder(const ErrorHolder&) = delete;
    ErrorHolder& operator=(const ErrorHolder&) = delete;
};

struct AttributesUnref {
    void operator()(GHashTable* table) const { g_hash_table_unref(table); }
};
using Attributes = std::unique_ptr<GHashTable, AttributesUnref>;

Attributes AccountAttributes(const std::string& account) {
    Attributes table(g_hash_table_new(g_str_hash, g_str_equal));
    g_hash_table_insert(table.get(), const_cast<char*>("account"),
                        const_cast<char*>(account.c_str()));
    return table;
}

// The session bus's address; empty when there is none. A bus is never
// started for the asking (no autolaunch).
std::string SessionBusAddress() {
    const char* named = std::getenv("DBUS_SESSION_BUS_ADDRESS");
    if (named && *named) return named;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (!runtime || !*runtime) return {};
    const std::string socket = std::string(runtime) + "/bus";
    struct stat st {};
    if (::stat(socket.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode)) return {};
    return "unix:path=" + socket;
}

// The service with a session open, and the bus it is reached on; the service
// null when no secret store answers. The bus is the process's session bus,
// kept from ending the process when it closes.
struct Service {
    GObjectPtr<GDBusConnection> bus;
    GObjectPtr<SecretService> service;
    explicit operator bool() const { return service != nullptr; }
};

Service OpenService() {
    Service s;
    if (SessionBusAddress().empty() || !Secret().complete) return s;
    ErrorHolder e;
    s.bus.reset(Secret().g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &e.error));
    if (!s.bus) return s;
    Secret().g_dbus_connection_set_exit_on_close(s.bus.get(), FALSE);
    s.service.reset(Secret().secret_service_open_sync(Secret().secret_service_get_type(), nullptr,
                                                      SECRET_SERVICE_OPEN_SESSION, nullptr,
                                                      &e.error));
    return s;
}

// Set once a call overran its time: the secret store counts as not running
// for the rest of the process.
std::atomic<bool> g_stuck{false};

// Runs work on a thread of its own and waits at most limit for it, so a
// session bus that does not answer (a stopped one, say) never holds the
// caller. A call that overran leaves its thread behind, waiting on the bus.
template <typename R>
std::optional<R> Bounded(std::chrono::milliseconds limit, std::function<R()> work) {
    if (g_stuck) return std::nullopt;
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(work));
    std::future<R> result = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    if (result.wait_for(limit) != std::future_status::ready) {
        g_stuck = true;
        return std::nullopt;
    }
    return result.get();
}

// Opening a session answers at once where a store runs; a lookup or a save
// may wait on the user unlocking the keyring.
constexpr std::chrono::seconds kOpenLimit{3};
constexpr std::chrono::seconds kUseLimit{120};

std::optional<std::string> LookupNow(const std::string& account) {
    const Service service = OpenService();
    if (!service) return std::nullopt;
    ErrorHolder e;
    const Attributes attributes = AccountAttributes(account);
    SecretValue* value = Secret().secret_service_lookup_sync(service.service.get(), Schema(),
                                                             attributes.get(), nullptr, &e.error);
    if (!value) return std::nullopt;
    gsize length = 0;
    const gchar* bytes = Secret().secret_value_get(value, &length);
    std::string password(bytes, length);
    Secret().secret_value_unref(value);
    return password;
}

bool SaveNow(const std::string& account, const std::string& password) {
    const Service service = OpenService();
    if (!service) return false;
    ErrorHolder e;
    const Attributes attributes = AccountAttributes(account);
    SecretValue* value = Secret().secret_value_new(
        password.data(), static_cast<gssize>(password.size()), "text/plain");
    const std::string label = "Corvinaport fax account " + account;
    const gboolean ok = Secret().secret_service_store_sync(
        service.service.get(), Schema(), attributes.get(), SECRET_COLLECTION_DEFAULT, label.c_str(),
        value, nullptr, &e.error);
    Secret().secret_value_unref(value);
    return ok != FALSE;
}

bool RemoveNow(const std::string& account) {
    const Service service = OpenService();
    if (!service) return false;
    ErrorHolder e;
    const Attributes attributes = AccountAttributes(account);
    (void)Secret().secret_service_clear_sync(service.service.get(), Schema(), attributes.get(),
                                             nullptr, &e.error);
    return e.error == nullptr;
}

}  // namespace

bool SecretServicePasswordStore::Available() {
    return Bounded<bool>(kOpenLimit, [] { return static_cast<bool>(OpenService()); })
        .value_or(false);
}

std::optional<std::string> SecretServicePasswordStore::Lookup(const std::string& account) {
    return Bounded<std::optional<std::string>>(kUseLimit, [account] { return LookupNow(account); })
        .value_or(std::nullopt);
}

bool SecretServicePasswordStore::Save(const std::string& account, const std::string& password) {
    return Bounded<bool>(kUseLimit, [account, password] { return SaveNow(account, password); })
        .value_or(false);
}

bool SecretServicePasswordStore::Remove(const std::string& account) {
    return Bounded<bool>(kUseLimit, [account] { return RemoveNow(account); }).value_or(false);
}
