// A remote access library for tests: entries, active connections and the
// course of each dial are scripted through the FakeRas_* calls. Errors reach
// the notifier from a thread of the library's own, as on the real platform.
#include <strings.h>

#include <cstring>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "connect/RasApi.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Entry {
    std::string name, phone, user, password;
};
struct Active {
    std::string entry;
    HRASCONN handle;
};
struct Dial {
    HRASCONN handle = 0;
    std::vector<std::string> tokens;
    std::size_t next = 0;
    std::int32_t state = RASCS_OpenPort;
    RASDIALFUNC1 notifier = nullptr;
    bool hungUp = false;
};

struct State {
    std::vector<Entry> entries;
    std::vector<Active> active;
    std::vector<std::string> scripts;  // one per attempt; the last one repeats
    std::vector<Dial> dials;
    std::vector<HRASCONN> hangUps;
    std::uint32_t dialResult = 0;
    RASDIALPARAMSA lastParams{};
    const char* lastPhonebook = nullptr;
    int notifierCalls = 0;
    int notifierOnCallerThread = 0;
    int statusQueries = 0;
};

std::mutex g_mutex;
State g_state;

[[maybe_unused]] std::vector<std::string> Split(const std::string& script) {
    std::istringstream in(script);
    std::vector<std::string> tokens;
    for (std::string t; in >> t;) tokens.push_back(t);
    return tokens;
}

[[maybe_unused]] Dial* Find(HRASCONN h) {
    for (Dial& d : g_state.dials)
        if (d.handle == h) return &d;
    return nullptr;
}

template <std::size_t N>
void Put(char (&field)[N], const std::string& s) {
    std::strncpy(field, s.c_str(), N - 1);
    field[N - 1] = '\0';
}

}  // namespace

// ---- control -------------------------------------------------------------

FAKE_EXPORT void FakeRas_Reset() {
    std::lock_guard lock(g_mutex);
    g_state = State{};
}
FAKE_EXPORT void FakeRas_AddEntry(const char* name, const char* phone, const char* user,
                                  const char* password) {
    std::lock_guard lock(g_mutex);
    g_state.entries.push_back({name, phone, user, password});
}
FAKE_EXPORT void FakeRas_AddActive(const char* entry, HRASCONN handle) {
    std::lock_guard lock(g_mutex);
    g_state.active.push_back({entry, handle});
}
// Space-separated tokens, one consumed per status query: a number is the
// state reported; "!E" or "!E/X" first sends error E (extended X) to the
// notifier and goes on with the next token. After the last token the last
// state stays.
FAKE_EXPORT void FakeRas_ScriptAttempt(const char* script) {
    std::lock_guard lock(g_mutex);
    g_state.scripts.emplace_back(script);
}
FAKE_EXPORT void FakeRas_SetDialResult(std::uint32_t rc) {
    std::lock_guard lock(g_mutex);
    g_state.dialResult = rc;
}
FAKE_EXPORT int FakeRas_DialCount() {
    std::lock_guard lock(g_mutex);
    return static_cast<int>(g_state.dials.size());
}
FAKE_EXPORT int FakeRas_HangUpCount() {
    std::lock_guard lock(g_mutex);
    return static_cast<int>(g_state.hangUps.size());
}
FAKE_EXPORT HRASCONN FakeRas_HungUp(int i) {
    std::lock_guard lock(g_mutex);
    return i >= 0 && i < static_cast<int>(g_state.hangUps.size()) ? g_state.hangUps[i] : 0;
}
FAKE_EXPORT int FakeRas_StatusQueries() {
    std::lock_guard lock(g_mutex);
    return g_state.statusQueries;
}
FAKE_EXPORT int FakeRas_NotifierOnCallerThread() {
    std::lock_guard lock(g_mutex);
    return g_state.notifierOnCallerThread;
}
FAKE_EXPORT void FakeRas_LastParams(RASDIALPARAMSA* out, int* phonebookGiven) {
    std::lock_guard lock(g_mutex);
    *out = g_state.lastParams;
    *phonebookGiven = g_state.lastPhonebook != nullptr;
}

// ---- the remote access functions -----------------------------------------

FAKE_EXPORT uint32_t RasGetErrorStringA(uint32_t error, char* buffer, uint32_t size) {
    const char* text = nullptr;
    switch (error) {
        case ERROR_NO_ANSWER:
            text = "The remote computer did not respond.";
            break;
        case ERROR_LINE_BUSY:
            text = "The line is busy.";
            break;
        case ERROR_NO_DIALTONE:
            text = "There is no dial tone.";
            break;
        case ERROR_AUTHENTICATION_FAILURE:
            text = "Access was denied.";
            break;
        case ERROR_CANNOT_FIND_PHONEBOOK_ENTRY:
            text = "The entry was not found.";
            break;
        default:
            return 87;
    }
    if (!buffer || size == 0) return ERROR_BUFFER_INVALID;
    std::strncpy(buffer, text, size - 1);
    buffer[size - 1] = '\0';
    return 0;
}

FAKE_EXPORT uint32_t RasEnumConnectionsA(RASCONNA* list, uint32_t* bytes, uint32_t* count) {
    std::lock_guard lock(g_mutex);
    if (!list || !bytes || !count) return 87;
    if (list[0].dwSize != sizeof(RASCONNA)) return ERROR_INVALID_SIZE;
    const uint32_t n = static_cast<uint32_t>(g_state.active.size());
    *count = n;
    if (*bytes < n * sizeof(RASCONNA)) {
        *bytes = n * sizeof(RASCONNA);
        return n == 0 ? 0 : ERROR_BUFFER_TOO_SMALL;
    }
    for (uint32_t i = 0; i < n; ++i) {
        list[i] = RASCONNA{};
        list[i].dwSize = sizeof(RASCONNA);
        list[i].hrasconn = g_state.active[i].handle;
        Put(list[i].szEntryName, g_state.active[i].entry);
    }
    return 0;
}

#ifndef FAKE_RAS_PARTIAL

FAKE_EXPORT uint32_t RasGetEntryDialParamsA(const char* phonebook, RASDIALPARAMSA* params,
                                            int32_t* passwordStored) {
    (void)phonebook;
    std::lock_guard lock(g_mutex);
    if (params->dwSize != sizeof(RASDIALPARAMSA)) return ERROR_INVALID_SIZE;
    for (const Entry& e : g_state.entries) {
        if (::strcasecmp(e.name.c_str(), params->szEntryName) != 0) continue;
        Put(params->szPhoneNumber, e.phone);
        Put(params->szUserName, e.user);
        Put(params->szPassword, e.password);
        if (passwordStored) *passwordStored = !e.password.empty();
        return 0;
    }
    return ERROR_CANNOT_FIND_PHONEBOOK_ENTRY;
}

FAKE_EXPORT uint32_t RasDialA(RASDIALEXTENSIONS*, const char* phonebook, RASDIALPARAMSA* params,
                              uint32_t notifierType, void* notifier, HRASCONN* connection) {
    std::lock_guard lock(g_mutex);
    g_state.lastParams = *params;
    g_state.lastPhonebook = phonebook;
    Dial d;
    d.handle = static_cast<HRASCONN>(100 + g_state.dials.size());
    std::size_t attempt = g_state.dials.size();
    if (!g_state.scripts.empty())
        d.tokens = Split(g_state.scripts[std::min(attempt, g_state.scripts.size() - 1)]);
    d.notifier = notifierType == 1 ? reinterpret_cast<RASDIALFUNC1>(notifier) : nullptr;
    *connection = d.handle;
    g_state.dials.push_back(d);
    return g_state.dialResult;
}

FAKE_EXPORT uint32_t RasGetConnectStatusA(HRASCONN h, RASCONNSTATUSA* status) {
    std::unique_lock lock(g_mutex);
    ++g_state.statusQueries;
    if (status->dwSize != sizeof(RASCONNSTATUSA)) return ERROR_INVALID_SIZE;
    Dial* d = Find(h);
    if (!d || d->hungUp) {
        status->rasconnstate = RASCS_Disconnected;
        return ERROR_INVALID_PORT_HANDLE;
    }
    while (d->next < d->tokens.size()) {
        const std::string t = d->tokens[d->next++];
        if (t[0] != '!') {
            d->state = std::stoi(t);
            break;
        }
        uint32_t err = static_cast<uint32_t>(std::stoul(t.substr(1)));
        uint32_t ext = 0;
        if (auto slash = t.find('/'); slash != std::string::npos)
            ext = static_cast<uint32_t>(std::stoul(t.substr(slash + 1)));
        if (RASDIALFUNC1 fn = d->notifier) {
            const HRASCONN handle = d->handle;
            const int32_t state = d->state;
            const auto caller = std::this_thread::get_id();
            bool onCaller = false;
            ++g_state.notifierCalls;
            lock.unlock();
            std::thread([&] {
                onCaller = std::this_thread::get_id() == caller;
                fn(handle, WM_RASDIALEVENT, state, err, ext);
            }).join();
            lock.lock();
            if (onCaller) ++g_state.notifierOnCallerThread;
            d = Find(h);
        }
    }
    status->rasconnstate = d->state;
    status->dwError = 0;
    return 0;
}

FAKE_EXPORT uint32_t RasHangUpA(HRASCONN h) {
    std::lock_guard lock(g_mutex);
    g_state.hangUps.push_back(h);
    if (Dial* d = Find(h)) {
        d->hungUp = true;
        return 0;
    }
    for (auto it = g_state.active.begin(); it != g_state.active.end(); ++it) {
        if (it->handle == h) {
            g_state.active.erase(it);
            return 0;
        }
    }
    return ERROR_INVALID_PORT_HANDLE;
}

#endif
