// The remote access library: six functions over one of two back-ends.
//
// With CORVINAPORT_RAS_SCRIPT naming a file, a scripted back-end plays the
// entries, states, errors and delays that file describes (see docs/DIALUP.md).
// Otherwise an entry is a NetworkManager connection profile of that id: a dial
// activates it over the system D-Bus and watches it on a thread of the
// library's own, a hang-up deactivates it.
//
// CORVINAPORT_RAS_LOG, when set, names a file to which every dial and hang-up
// is appended as one line, for demos and tests; a password is never written.
#include <fcntl.h>
#include <strings.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/Failure.h"
#include "base/UniqueFd.h"
#include "connect/dialer_api/RasApi.h"
#include "connect/dialer_api/RasFields.h"
#include "platform/nm_bus/NmBus.h"

#define RAS_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

using Clock = std::chrono::steady_clock;

// The log is the user's alone and never written through a symbolic link.
void Log(const std::string& line) {
    const char* path = std::getenv("CORVINAPORT_RAS_LOG");
    if (!path || !*path) return;
    UniqueFd fd(::open(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!fd) return;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(::fdopen(fd.get(), "a"), &std::fclose);
    if (!out) return;
    (void)fd.release();  // the stream closes it now
    std::fputs((line + '\n').c_str(), out.get());
}

// Calls the notifier on a thread of the library's, as the platform does.
void Notify(RASDIALFUNC1 fn, HRASCONN h, std::int32_t state, std::uint32_t error,
            std::uint32_t extended) {
    if (!fn) return;
    std::thread([=] { fn(h, WM_RASDIALEVENT, state, error, extended); }).join();
}

struct ErrorText {
    std::uint32_t code;
    const char* text;
};
const ErrorText kErrors[] = {
    {RAS_ERROR_INVALID_HANDLE, "The handle is invalid."},
    {RAS_ERROR_INVALID_PARAMETER, "The parameter is incorrect."},
    {RAS_PENDING, "An operation is pending."},
    {ERROR_INVALID_PORT_HANDLE, "The connection handle is not valid."},
    {ERROR_BUFFER_TOO_SMALL, "The buffer is too small."},
    {ERROR_WRONG_INFO_SPECIFIED, "Wrong information specified."},
    {ERROR_BUFFER_INVALID, "The buffer is not valid."},
    {ERROR_CANNOT_OPEN_PHONEBOOK, "The phone book could not be opened."},
    {ERROR_CANNOT_LOAD_PHONEBOOK, "The phone book could not be read: it is malformed."},
    {ERROR_CANNOT_FIND_PHONEBOOK_ENTRY, "The connection entry was not found."},
    {ERROR_DISCONNECTION, "The connection was closed before it could be completed."},
    {ERROR_REMOTE_DISCONNECTION, "The connection was closed by the remote computer."},
    {ERROR_USER_DISCONNECTION, "The connection was closed by the user."},
    {ERROR_INVALID_SIZE, "The structure size is incorrect."},
    {ERROR_PORT_NOT_AVAILABLE, "The device is not available or is already in use."},
    {ERROR_FROM_DEVICE, "The network service refused to activate the connection profile."},
    {ERROR_NO_CONNECTION, "The connection was terminated."},
    {ERROR_LINE_BUSY, "The line is busy."},
    {ERROR_NO_ANSWER, "The remote computer did not respond."},
    {ERROR_NO_CARRIER, "There is no carrier."},
    {ERROR_NO_DIALTONE, "There is no dial tone."},
    {ERROR_AUTHENTICATION_FAILURE, "Access was denied: the user name or password is wrong."},
    {ERROR_RASMAN_CANNOT_INITIALIZE,
     "The network service (NetworkManager) is not running or cannot be reached."},
    {ERROR_PPP_TIMEOUT, "The remote computer did not answer in time."},
};

// ---- the scripted back-end ------------------------------------------------

struct Step {
    enum Kind { State, Error, Delay } kind;
    std::int32_t a = 0;
    std::uint32_t b = 0;
};
struct Attempt {
    std::vector<Step> steps;
    std::uint32_t dialResult = 0;
};
struct ScriptEntry {
    std::string name, phone, user, password;
};
struct Script {
    std::vector<ScriptEntry> entries;
    std::vector<std::string> active;
    std::vector<Attempt> attempts;
};

struct ScriptDial {
    HRASCONN handle = 0;
    std::string entry;
    Attempt attempt;
    std::size_t next = 0;
    std::int32_t state = RASCS_OpenPort;
    std::optional<Clock::time_point> delayStart;
    RASDIALFUNC1 notifier = nullptr;
    bool hungUp = false;
};

struct ScriptActive {
    std::string entry;
    HRASCONN handle;
};

struct ScriptState {
    std::string path, content;
    bool valid = false;
    Script script;
    std::vector<ScriptDial> dials;
    std::vector<ScriptActive> active;
    HRASCONN nextHandle = 1;
};

std::mutex g_scriptMutex;
ScriptState g_script;

const std::map<std::string, std::int32_t>& StateNames() {
    static const std::map<std::string, std::int32_t> names = {
        {"OpenPort", 0},
        {"PortOpened", 1},
        {"ConnectDevice", 2},
        {"DeviceConnected", 3},
        {"AllDevicesConnected", 4},
        {"Authenticate", 5},
        {"AuthNotify", 6},
        {"AuthRetry", 7},
        {"AuthCallback", 8},
        {"AuthChangePassword", 9},
        {"AuthProject", 10},
        {"AuthLinkSpeed", 11},
        {"AuthAck", 12},
        {"ReAuthenticate", 13},
        {"Authenticated", 14},
        {"PrepareForCallback", 15},
        {"WaitForModemReset", 16},
        {"WaitForCallback", 17},
        {"Projected", 18},
        {"StartAuthentication", 19},
        {"CallbackComplete", 20},
        {"LogonNetwork", 21},
        {"SubEntryConnected", 22},
        {"SubEntryDisconnected", 23},
        {"Interactive", 4096},
        {"RetryAuthentication", 4097},
        {"CallbackSetByCaller", 4098},
        {"PasswordExpired", 4099},
        {"Connected", 8192},
        {"Disconnected", 8193},
    };
    return names;
}

// Whitespace-separated words; a word in double quotes may hold blanks.
std::optional<std::vector<std::string>> Words(const std::string& line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
            ++i;
            continue;
        }
        if (line[i] == '#') break;
        std::string w;
        bool quoted = false;
        while (i < line.size() &&
               (quoted || (line[i] != ' ' && line[i] != '\t' && line[i] != '\r'))) {
            if (line[i] == '"')
                quoted = !quoted;
            else
                w += line[i];
            ++i;
        }
        if (quoted) return std::nullopt;
        words.push_back(w);
    }
    return words;
}

std::optional<std::uint32_t> Number(const std::string& s) {
    if (s.empty() || s.size() > 10) return std::nullopt;
    for (char c : s)
        if (c < '0' || c > '9') return std::nullopt;
    unsigned long long v = std::stoull(s);
    if (v > 0xFFFFFFFFull) return std::nullopt;
    return static_cast<std::uint32_t>(v);
}

// The script, or an explanation of its first bad line.
Result<Script> ParseScript(const std::string& content) {
    Script script;
    Attempt* current = nullptr;
    auto attempt = [&]() -> Attempt& {
        if (!current) current = &script.attempts.emplace_back();
        return *current;
    };
    std::istringstream in(content);
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        auto bad = [&](const char* what) {
            return Fail("line " + std::to_string(lineNo) + ": " + what);
        };
        auto words = Words(line);
        if (!words) return bad("unclosed quote");
        if (words->empty()) continue;
        const std::string& cmd = (*words)[0];
        const std::size_t n = words->size();
        if (cmd == "entry") {
            if (n < 2 || (*words)[1].empty()) return bad("entry needs a name");
            ScriptEntry e;
            e.name = (*words)[1];
            for (std::size_t k = 2; k < n; ++k) {
                const std::string& w = (*words)[k];
                auto eq = w.find('=');
                if (eq == std::string::npos)
                    return bad("entry fields are phone=, user=, password=");
                std::string key = w.substr(0, eq), value = w.substr(eq + 1);
                if (key == "phone")
                    e.phone = value;
                else if (key == "user")
                    e.user = value;
                else if (key == "password")
                    e.password = value;
                else
                    return bad("entry fields are phone=, user=, password=");
            }
            script.entries.push_back(e);
        } else if (cmd == "active") {
            if (n != 2) return bad("active needs one entry name");
            script.active.push_back((*words)[1]);
        } else if (cmd == "attempt") {
            if (n != 1) return bad("attempt takes nothing");
            current = &script.attempts.emplace_back();
        } else if (cmd == "state") {
            if (n != 2) return bad("state needs one state");
            Step s{Step::State};
            if (auto v = Number((*words)[1]))
                s.a = static_cast<std::int32_t>(*v);
            else if (auto it = StateNames().find((*words)[1]); it != StateNames().end())
                s.a = it->second;
            else
                return bad("unknown state");
            attempt().steps.push_back(s);
        } else if (cmd == "error") {
            if (n < 2 || n > 3) return bad("error needs a number and may have an extended number");
            auto e = Number((*words)[1]);
            auto x = n == 3 ? Number((*words)[2]) : std::optional<std::uint32_t>(0);
            if (!e || *e == 0 || !x) return bad("error needs a non-zero number");
            attempt().steps.push_back({Step::Error, static_cast<std::int32_t>(*e), *x});
        } else if (cmd == "delay") {
            auto ms = n == 2 ? Number((*words)[1]) : std::nullopt;
            if (!ms) return bad("delay needs milliseconds");
            attempt().steps.push_back({Step::Delay, 0, *ms});
        } else if (cmd == "dial-result") {
            auto rc = n == 2 ? Number((*words)[1]) : std::nullopt;
            if (!rc) return bad("dial-result needs a number");
            attempt().dialResult = *rc;
        } else {
            return bad("unknown command");
        }
    }
    return script;
}

// Reads the script again; a changed script starts afresh. Returns 0 or the
// error of an unreadable or malformed file. Called with the lock held.
std::uint32_t LoadScript(const char* path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        g_script = ScriptState{};
        std::fprintf(stderr, "rasapi32: cannot read the script %s\n", path);
        return ERROR_CANNOT_OPEN_PHONEBOOK;
    }
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (g_script.path == path && g_script.content == content && !g_script.path.empty())
        return g_script.valid ? 0 : ERROR_CANNOT_LOAD_PHONEBOOK;
    g_script = ScriptState{};
    g_script.path = path;
    g_script.content = content;
    auto s = ParseScript(content);
    if (s) {
        g_script.script = std::move(*s);
        g_script.valid = true;
        for (const std::string& name : g_script.script.active)
            g_script.active.push_back({name, g_script.nextHandle++});
        return 0;
    }
    std::fprintf(stderr, "rasapi32: %s: %s\n", path, s.failure().cause.c_str());
    return ERROR_CANNOT_LOAD_PHONEBOOK;
}

ScriptDial* FindDial(HRASCONN h) {
    for (ScriptDial& d : g_script.dials)
        if (d.handle == h) return &d;
    return nullptr;
}

void RemoveActive(HRASCONN h) {
    for (auto it = g_script.active.begin(); it != g_script.active.end(); ++it)
        if (it->handle == h) {
            g_script.active.erase(it);
            return;
        }
}

// ---- the NetworkManager back-end ------------------------------------------

constexpr int kDbusTimeoutMs = 5000;
const char* const kNm = nmbus::kService;  // also the manager's interface
const char* const kNmPath = nmbus::kPath;
const char* const kNmSettingsPath = "/org/freedesktop/NetworkManager/Settings";
const char* const kActiveIface = nmbus::kActiveInterface;

using nmbus::Bus;
using nmbus::Message;
using nmbus::OpenSystemBus;

// The bus calls of this library, each waiting at most kDbusTimeoutMs.
Message Call(DBusConnection* bus, Message call, bool* serviceMissing = nullptr) {
    return nmbus::Call(bus, std::move(call), kDbusTimeoutMs, serviceMissing);
}

Message GetProperty(DBusConnection* bus, const char* path, const char* iface, const char* name,
                    DBusMessageIter& value, bool* serviceMissing = nullptr) {
    return nmbus::GetProperty(bus, path, iface, name, value, kDbusTimeoutMs, serviceMissing);
}

std::optional<std::string> StringProperty(DBusConnection* bus, const std::string& path,
                                          const char* iface, const char* name) {
    return nmbus::StringProperty(bus, path, iface, name, kDbusTimeoutMs);
}

std::optional<std::uint32_t> UintProperty(DBusConnection* bus, const std::string& path,
                                          const char* iface, const char* name) {
    return nmbus::UintProperty(bus, path, iface, name, kDbusTimeoutMs);
}

using Flat = nmbus::Flat;

Flat ProfileSettings(DBusConnection* bus, const std::string& path) {
    return nmbus::ProfileSettings(bus, path, kDbusTimeoutMs);
}

struct Profile {
    std::string path;
    Flat settings;
};

// The profile whose id is `entry`; the error is 0, 711 (no NetworkManager)
// or 623 (no such profile).
std::uint32_t FindProfile(DBusConnection* bus, const std::string& entry, Profile& out) {
    Message call(::dbus_message_new_method_call(
        kNm, kNmSettingsPath, "org.freedesktop.NetworkManager.Settings", "ListConnections"));
    if (!call) return ERROR_RASMAN_CANNOT_INITIALIZE;
    Message reply = Call(bus, std::move(call));
    DBusMessageIter top;
    if (!reply || !::dbus_message_iter_init(reply.get(), &top))
        return ERROR_RASMAN_CANNOT_INITIALIZE;
    for (const std::string& path : nmbus::ObjectPaths(top)) {
        Flat s = ProfileSettings(bus, path);
        if (s["connection.id"] == entry) {
            out = {path, std::move(s)};
            return 0;
        }
    }
    return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
}

// One dial: its active connection object and the state the watcher saw.
struct NmDial {
    HRASCONN handle = 0;
    std::string entry, activePath;
    std::atomic<std::int32_t> state{RASCS_OpenPort};
    std::atomic<bool> stop{false};
    std::mutex m;
    std::condition_variable cv;
};

std::mutex g_nmMutex;
std::map<HRASCONN, std::shared_ptr<NmDial>> g_nmDials;
HRASCONN g_nmNextHandle = 0x1000;

// Device states of NetworkManager as connection states of a dial.
std::int32_t FromDeviceState(std::uint32_t s) {
    if (s <= 30) return RASCS_OpenPort;       // unknown .. disconnected
    if (s == 40) return RASCS_PortOpened;     // prepare
    if (s == 50) return RASCS_ConnectDevice;  // config
    if (s == 60) return RASCS_Authenticate;   // need-auth
    if (s == 70) return RASCS_AuthProject;    // ip-config
    if (s == 80) return RASCS_Projected;      // ip-check
    if (s == 90) return RASCS_LogonNetwork;   // secondaries
    if (s == 100) return RASCS_Connected;     // activated
    return RASCS_Disconnected;                // deactivating, failed
}

// Watches the active connection until it is up, gone or hung up.
void Watch(std::shared_ptr<NmDial> dial, RASDIALFUNC1 notifier) {
    Bus bus = OpenSystemBus();
    std::int32_t last = RASCS_OpenPort;
    // Nothing is reported once the dial is hung up: neither its state nor the
    // disappearance of the connection the hang-up deactivated.
    auto report = [&](std::int32_t state, std::uint32_t error) {
        {
            std::lock_guard lock(dial->m);
            if (dial->stop) return;
            dial->state = state;
        }
        if (state != last || error != 0) Notify(notifier, dial->handle, state, error, 0);
        last = state;
    };
    while (!dial->stop) {
        if (!bus) {
            report(RASCS_Disconnected, ERROR_RASMAN_CANNOT_INITIALIZE);
            return;
        }
        std::optional<std::uint32_t> active =
            UintProperty(bus.get(), dial->activePath, kActiveIface, "State");
        if (!active || *active >= 3) {  // gone, deactivating or deactivated
            report(RASCS_Disconnected, ERROR_DISCONNECTION);
            return;
        }
        if (*active == 2) {
            report(RASCS_Connected, 0);
            return;
        }
        std::int32_t state = RASCS_ConnectDevice;
        DBusMessageIter v;
        Message devices =
            GetProperty(bus.get(), dial->activePath.c_str(), kActiveIface, "Devices", v);
        if (devices) {
            std::vector<std::string> paths = nmbus::ObjectPaths(v);
            if (!paths.empty())
                if (auto s = UintProperty(bus.get(), paths[0],
                                          "org.freedesktop.NetworkManager.Device", "State"))
                    state = FromDeviceState(*s);
        }
        if (state != RASCS_Connected && state != RASCS_Disconnected) report(state, 0);
        std::unique_lock lock(dial->m);
        dial->cv.wait_for(lock, std::chrono::milliseconds(500), [&] { return dial->stop.load(); });
    }
}

uint32_t NmGetEntryDialParams(RASDIALPARAMSA* params, int32_t* passwordStored) {
    Bus bus = OpenSystemBus();
    if (!bus) return ERROR_RASMAN_CANNOT_INITIALIZE;
    Profile p;
    if (std::uint32_t rc = FindProfile(bus.get(), FieldText(params->szEntryName), p)) return rc;
    const std::string type = p.settings["connection.type"];
    CopyField(params->szPhoneNumber, p.settings[type + ".number"]);
    std::string user = p.settings[type + ".username"];
    if (user.empty()) user = p.settings["ppp.username"];
    CopyField(params->szUserName, user);
    params->szPassword[0] = '\0';  // secrets stay with NetworkManager
    if (passwordStored) *passwordStored = 0;
    return 0;
}

uint32_t NmDialEntry(RASDIALPARAMSA* params, RASDIALFUNC1 notifier, HRASCONN* connection) {
    Bus bus = OpenSystemBus();
    if (!bus) return ERROR_RASMAN_CANNOT_INITIALIZE;
    Profile p;
    const std::string entry = FieldText(params->szEntryName);
    if (std::uint32_t rc = FindProfile(bus.get(), entry, p)) return rc;
    Message call(::dbus_message_new_method_call(kNm, kNmPath, kNm, "ActivateConnection"));
    const char* profile = p.path.c_str();
    const char* any = "/";
    if (!call || !::dbus_message_append_args(call.get(), DBUS_TYPE_OBJECT_PATH, &profile,
                                             DBUS_TYPE_OBJECT_PATH, &any, DBUS_TYPE_OBJECT_PATH,
                                             &any, DBUS_TYPE_INVALID))
        return ERROR_FROM_DEVICE;
    bool missing = false;
    Message reply = Call(bus.get(), std::move(call), &missing);
    const char* active = nullptr;
    if (!reply ||
        !::dbus_message_get_args(reply.get(), nullptr, DBUS_TYPE_OBJECT_PATH, &active,
                                 DBUS_TYPE_INVALID) ||
        !active)
        return missing ? ERROR_RASMAN_CANNOT_INITIALIZE : ERROR_FROM_DEVICE;

    auto dial = std::make_shared<NmDial>();
    dial->entry = entry;
    dial->activePath = active;
    {
        std::lock_guard lock(g_nmMutex);
        dial->handle = g_nmNextHandle++;
        g_nmDials[dial->handle] = dial;
    }
    *connection = dial->handle;
    std::thread(Watch, dial, notifier).detach();
    return 0;
}

std::shared_ptr<NmDial> NmFind(HRASCONN h) {
    std::lock_guard lock(g_nmMutex);
    auto it = g_nmDials.find(h);
    return it == g_nmDials.end() ? nullptr : it->second;
}

// The newest dial on an active connection object that has not ended; the
// object path of an ended dial may be handed out again once NetworkManager
// restarts. Called with g_nmMutex held.
std::shared_ptr<NmDial> NmOnPath(const std::string& activePath) {
    for (auto it = g_nmDials.rbegin(); it != g_nmDials.rend(); ++it)
        if (it->second->activePath == activePath && it->second->state != RASCS_Disconnected)
            return it->second;
    return nullptr;
}

// The handle standing for an active connection object, made on first sight.
HRASCONN NmHandleOf(const std::string& activePath, const std::string& entry) {
    std::lock_guard lock(g_nmMutex);
    if (std::shared_ptr<NmDial> d = NmOnPath(activePath)) return d->handle;
    auto dial = std::make_shared<NmDial>();
    dial->handle = g_nmNextHandle++;
    dial->entry = entry;
    dial->activePath = activePath;
    dial->state = RASCS_Connected;
    g_nmDials[dial->handle] = dial;
    return dial->handle;
}

struct Listed {
    HRASCONN handle;
    std::string entry;
};

uint32_t NmEnum(std::vector<Listed>& out) {
    Bus bus = OpenSystemBus();
    if (!bus) return ERROR_RASMAN_CANNOT_INITIALIZE;
    DBusMessageIter v;
    Message reply = GetProperty(bus.get(), kNmPath, kNm, "ActiveConnections", v);
    if (!reply) return ERROR_RASMAN_CANNOT_INITIALIZE;
    for (const std::string& path : nmbus::ObjectPaths(v)) {
        auto state = UintProperty(bus.get(), path, kActiveIface, "State");
        auto type = StringProperty(bus.get(), path, kActiveIface, "Type");
        auto id = StringProperty(bus.get(), path, kActiveIface, "Id");
        if (!state || !type || !id || *state != 2) continue;
        bool ours = false;
        {
            std::lock_guard lock(g_nmMutex);
            ours = NmOnPath(path) != nullptr;
        }
        // Dial-up kinds, and whatever this library dialled itself.
        if (nmbus::IsDialUpType(*type) || ours) out.push_back({NmHandleOf(path, *id), *id});
    }
    return 0;
}

// Stops the watch, deactivates the connection and forgets the handle, so that
// it reads as unknown afterwards; kept only while NetworkManager is unreachable.
uint32_t NmHangUp(HRASCONN h) {
    std::shared_ptr<NmDial> dial = NmFind(h);
    if (!dial) return ERROR_INVALID_PORT_HANDLE;
    {
        std::lock_guard lock(dial->m);
        dial->stop = true;
        dial->state = RASCS_Disconnected;
    }
    dial->cv.notify_all();
    Bus bus = OpenSystemBus();
    if (!bus) return ERROR_RASMAN_CANNOT_INITIALIZE;
    Message call(::dbus_message_new_method_call(kNm, kNmPath, kNm, "DeactivateConnection"));
    const char* path = dial->activePath.c_str();
    if (!call ||
        !::dbus_message_append_args(call.get(), DBUS_TYPE_OBJECT_PATH, &path, DBUS_TYPE_INVALID))
        return ERROR_INVALID_PORT_HANDLE;
    bool missing = false;
    Message reply = Call(bus.get(), std::move(call), &missing);
    // A connection that had gone already counts as hung up.
    if (!reply && missing) return ERROR_RASMAN_CANNOT_INITIALIZE;
    std::lock_guard lock(g_nmMutex);
    g_nmDials.erase(h);
    return 0;
}

const char* ScriptPath() {
    const char* p = std::getenv("CORVINAPORT_RAS_SCRIPT");
    return p && *p ? p : nullptr;
}

}  // namespace

// ---- the exports ----------------------------------------------------------

RAS_EXPORT uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size) {
    for (const ErrorText& e : kErrors) {
        if (e.code != error) continue;
        if (!buffer || size == 0) return ERROR_BUFFER_INVALID;
        std::size_t n = std::strlen(e.text);
        if (n > size - 1) n = size - 1;
        std::memcpy(buffer, e.text, n);
        buffer[n] = '\0';
        return 0;
    }
    return RAS_ERROR_INVALID_PARAMETER;
}

RAS_EXPORT uint32_t RasGetEntryDialParamsA(const char*, RASDIALPARAMSA* params,
                                           int32_t* passwordStored) {
    if (!params) return RAS_ERROR_INVALID_PARAMETER;
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
    params->szEntryName[RAS_MaxEntryName] = '\0';
    if (passwordStored) *passwordStored = 0;
    const char* path = ScriptPath();
    if (!path) return NmGetEntryDialParams(params, passwordStored);

    std::lock_guard lock(g_scriptMutex);
    if (std::uint32_t rc = LoadScript(path)) return rc;
    for (const ScriptEntry& e : g_script.script.entries) {
        if (::strcasecmp(e.name.c_str(), params->szEntryName) != 0) continue;
        CopyField(params->szPhoneNumber, e.phone);
        CopyField(params->szUserName, e.user);
        CopyField(params->szPassword, e.password);
        if (passwordStored) *passwordStored = !e.password.empty();
        return 0;
    }
    return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
}

RAS_EXPORT uint32_t RasDialA(RASDIALEXTENSIONS*, const char* phonebook, RASDIALPARAMSA* params,
                             uint32_t notifierType, void* notifier, HRASCONN* connection) {
    if (!params || !connection) return RAS_ERROR_INVALID_PARAMETER;
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
    *connection = 0;
    RASDIALFUNC1 fn = notifierType == 1 ? reinterpret_cast<RASDIALFUNC1>(notifier) : nullptr;
    const std::string entry = FieldText(params->szEntryName);
    Log("dial " + entry + " phone=" + FieldText(params->szPhoneNumber) + " user=" +
        FieldText(params->szUserName) + " password=" + (params->szPassword[0] ? "given" : "none") +
        " phonebook=" + (phonebook ? "given" : "default"));

    const char* path = ScriptPath();
    if (!path) return NmDialEntry(params, fn, connection);

    std::lock_guard lock(g_scriptMutex);
    if (std::uint32_t rc = LoadScript(path)) return rc;
    ScriptDial d;
    d.handle = g_script.nextHandle++;
    d.entry = entry;
    const auto& attempts = g_script.script.attempts;
    if (!attempts.empty())
        d.attempt = attempts[std::min(g_script.dials.size(), attempts.size() - 1)];
    d.notifier = fn;
    *connection = d.handle;
    const std::uint32_t result = d.attempt.dialResult;
    if (result != 0) d.hungUp = true;
    g_script.dials.push_back(std::move(d));
    return result;
}

RAS_EXPORT uint32_t RasGetConnectStatusA(HRASCONN h, RASCONNSTATUSA* status) {
    if (!status) return RAS_ERROR_INVALID_PARAMETER;
    if (status->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE;
    status->dwError = 0;
    if (!ScriptPath()) {
        std::shared_ptr<NmDial> dial = NmFind(h);
        status->rasconnstate = dial ? dial->state.load() : RASCS_Disconnected;
        return dial ? 0 : ERROR_INVALID_PORT_HANDLE;
    }

    std::unique_lock lock(g_scriptMutex);
    ScriptDial* d = FindDial(h);
    if (!d || d->hungUp) {
        status->rasconnstate = RASCS_Disconnected;
        return ERROR_INVALID_PORT_HANDLE;
    }
    // One state per query; errors on the way go to the notifier; a delay
    // holds the current state until its time has passed.
    while (d->next < d->attempt.steps.size()) {
        const Step step = d->attempt.steps[d->next];
        if (step.kind == Step::Delay) {
            if (!d->delayStart) d->delayStart = Clock::now();
            if (Clock::now() - *d->delayStart < std::chrono::milliseconds(step.b)) break;
            d->delayStart.reset();
            ++d->next;
            continue;
        }
        ++d->next;
        if (step.kind == Step::Error) {
            RASDIALFUNC1 fn = d->notifier;
            const std::int32_t state = d->state;
            lock.unlock();
            Notify(fn, h, state, static_cast<std::uint32_t>(step.a), step.b);
            lock.lock();
            d = FindDial(h);
            if (!d) break;
            continue;
        }
        d->state = step.a;
        if (step.a == RASCS_Connected) g_script.active.push_back({d->entry, d->handle});
        if (step.a == RASCS_Disconnected) RemoveActive(d->handle);
        RASDIALFUNC1 fn = d->notifier;
        lock.unlock();
        Notify(fn, h, step.a, 0, 0);
        lock.lock();
        d = FindDial(h);
        break;
    }
    status->rasconnstate = d ? d->state : RASCS_Disconnected;
    return 0;
}

RAS_EXPORT uint32_t RasEnumConnectionsA(RASCONNA* connections, uint32_t* bufferBytes,
                                        uint32_t* count) {
    if (!connections || !bufferBytes || !count) return RAS_ERROR_INVALID_PARAMETER;
    if (connections[0].dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE;
    std::vector<Listed> list;
    if (const char* path = ScriptPath()) {
        std::lock_guard lock(g_scriptMutex);
        if (std::uint32_t rc = LoadScript(path)) return rc;
        for (const ScriptActive& a : g_script.active) list.push_back({a.handle, a.entry});
    } else if (std::uint32_t rc = NmEnum(list)) {
        *count = 0;
        return rc;
    }
    const auto n = static_cast<uint32_t>(list.size());
    *count = n;
    if (*bufferBytes < n * sizeof(RASCONNA)) {
        *bufferBytes = n * static_cast<uint32_t>(sizeof(RASCONNA));
        return n == 0 ? 0 : ERROR_BUFFER_TOO_SMALL;
    }
    for (uint32_t i = 0; i < n; ++i) {
        connections[i] = RASCONNA{};
        connections[i].dwSize = sizeof(RASCONNA);
        connections[i].hrasconn = list[i].handle;
        CopyField(connections[i].szEntryName, list[i].entry);
    }
    return 0;
}

RAS_EXPORT uint32_t RasHangUpA(HRASCONN h) {
    Log("hangup " + std::to_string(h));
    if (!ScriptPath()) return NmHangUp(h);
    std::lock_guard lock(g_scriptMutex);
    if (ScriptDial* d = FindDial(h)) {
        d->hungUp = true;
        d->state = RASCS_Disconnected;
        RemoveActive(h);
        return 0;
    }
    for (const ScriptActive& a : g_script.active)
        if (a.handle == h) {
            RemoveActive(h);
            return 0;
        }
    return ERROR_INVALID_PORT_HANDLE;
}
