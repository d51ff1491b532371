// An online-service dialer library that simulates the service's client from
// a state file (CORVINAPORT_QRVAOL_STATE; format in docs/DIALUP.md). The
// client's course (started, sign-on window, connected) is kept in memory and
// starts afresh whenever the file's content changes. No file means no client
// that could be started; a malformed file means the client's information is
// unavailable, so no sign-on is attempted.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>

#include "connect/dialer_api/QrvAolApi.h"

#define QV_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

struct Client {
    bool malformed = false;
    bool running = false;
    bool signOnWindow = false;
    int signOnWindowAfter = 0;  // window queries after the start; -1 never
    bool connected = false;
    int connectedAfter = 0;  // connection queries after the sign-on; -1 never
    bool cs2k = false;
    int info = 0;
    int startResult = 0;
    int signOnResult = 0;
    std::string screenName, password;  // required when not empty
    // Course of the simulation.
    bool started = false;
    bool signedOn = false;
};

std::mutex g_mutex;
std::string g_content;
bool g_loaded = false;
Client g_client;

bool ParseInt(const std::string& s, int& out) {
    if (s.empty() || s.size() > 9) return false;
    std::size_t i = s[0] == '-' ? 1 : 0;
    if (i == s.size()) return false;
    for (std::size_t k = i; k < s.size(); ++k)
        if (s[k] < '0' || s[k] > '9') return false;
    out = std::stoi(s);
    return true;
}

bool ParseBool(const std::string& s, bool& out) {
    if (s == "1" || s == "yes" || s == "true") return out = true, true;
    if (s == "0" || s == "no" || s == "false") return out = false, true;
    return false;
}

Client Parse(const std::string& content, const char* path) {
    Client c;
    std::istringstream in(content);
    int lineNo = 0;
    for (std::string line; std::getline(in, line);) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#') continue;
        std::size_t eq = line.find('=');
        bool ok = eq != std::string::npos;
        std::string key, value;
        if (ok) {
            key = line.substr(first, eq - first);
            while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
            value = line.substr(eq + 1);
            std::size_t v = value.find_first_not_of(" \t");
            value = v == std::string::npos ? "" : value.substr(v);
            while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
                value.pop_back();
        }
        if (!ok) {
        } else if (key == "running") {
            ok = ParseBool(value, c.running);
        } else if (key == "signon-window") {
            ok = ParseBool(value, c.signOnWindow);
        } else if (key == "signon-window-after") {
            ok = ParseInt(value, c.signOnWindowAfter) && c.signOnWindowAfter >= -1;
        } else if (key == "connected") {
            ok = ParseBool(value, c.connected);
        } else if (key == "connected-after") {
            ok = ParseInt(value, c.connectedAfter) && c.connectedAfter >= -1;
        } else if (key == "cs2k") {
            ok = ParseBool(value, c.cs2k);
        } else if (key == "info") {
            ok = ParseInt(value, c.info);
        } else if (key == "start-result") {
            ok = ParseInt(value, c.startResult);
        } else if (key == "signon-result") {
            ok = ParseInt(value, c.signOnResult);
        } else if (key == "screen-name") {
            c.screenName = value;
        } else if (key == "password") {
            c.password = value;
        } else {
            ok = false;
        }
        if (!ok) {
            std::fprintf(stderr, "qrvaol: %s: line %d is not understood\n", path, lineNo);
            Client bad;
            bad.malformed = true;
            return bad;
        }
    }
    if (c.cs2k && QRVAOL_VERSION < 40) c.cs2k = false;  // no such client of version 3
    return c;
}

// The simulated client, reloaded when the state file changed. Called with
// the lock held; null when there is no state file.
Client* Current() {
    const char* path = std::getenv("CORVINAPORT_QRVAOL_STATE");
    std::string content;
    bool present = false;
    if (path && *path) {
        std::ifstream in(path, std::ios::binary);
        if (in) {
            present = true;
            content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    }
    if (!present) {
        g_loaded = false;
        return nullptr;
    }
    if (!g_loaded || content != g_content) {
        g_client = Parse(content, path);
        g_content = content;
        g_loaded = true;
    }
    return &g_client;
}

// A state that turns on after the given number of further polls (never
// while the count is negative).
void CountDown(bool& state, int& pollsLeft) {
    if (state || pollsLeft < 0) return;
    if (pollsLeft > 0)
        --pollsLeft;
    else
        state = true;
}

}  // namespace

QV_EXPORT int QvDialerIsAOLConnected(void) {
    std::lock_guard lock(g_mutex);
    Client* c = Current();
    if (!c || c->malformed) return 0;
    if (c->signedOn) CountDown(c->connected, c->connectedAfter);
    return c->connected ? 1 : 0;
}

QV_EXPORT int QvDialerGetAOLInfo(void) {
    std::lock_guard lock(g_mutex);
    Client* c = Current();
    if (!c) return 0;
    return c->malformed ? 1 : c->info;
}

QV_EXPORT int QvDialerIsCs2k(void) {
    std::lock_guard lock(g_mutex);
    Client* c = Current();
    return c && !c->malformed && c->cs2k ? 1 : 0;
}

QV_EXPORT int QvDialerIsAOLWindowOn(void) {
    std::lock_guard lock(g_mutex);
    Client* c = Current();
    return c && !c->malformed && c->running ? 1 : 0;
}

QV_EXPORT int QvDialerIsSignOnWindowOn(void) {
    std::lock_guard lock(g_mutex);
    Client* c = Current();
    if (!c || c->malformed || !c->running) return 0;
    if (c->started) CountDown(c->signOnWindow, c->signOnWindowAfter);
    return c->signOnWindow ? 1 : 0;
}

QV_EXPORT int QvDialerCreateAOLProcess(void) {
    std::lock_guard lock(g_mutex);
    Client* c = Current();
    if (!c || c->malformed) return 1;
    if (c->startResult != 0) return c->startResult;
    c->running = true;
    c->started = true;
    return 0;
}

QV_EXPORT int QvDialerSignOnAOL(const char* screenName, const char* password) {
    std::lock_guard lock(g_mutex);
    Client* c = Current();
    if (!c || c->malformed || !c->running || !c->signOnWindow) return 1;
    if (c->signOnResult != 0) return c->signOnResult;
    const std::string name = screenName ? screenName : "";
    const std::string pass = password ? password : "";
    if ((!c->screenName.empty() && name != c->screenName) ||
        (!c->password.empty() && pass != c->password))
        return 2;  // refused account
    c->signedOn = true;
    return 0;
}
