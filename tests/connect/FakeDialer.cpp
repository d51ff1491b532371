// An online-service dialer library for tests: the simulated client's state is
// set and read through FakeQv_Set / FakeQv_Get.
#include <cstring>
#include <map>
#include <string>

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

// Keys: connected, info, cs2k, aolWindow, signOnWindow, createResult,
// signOnResult, signOnWindowAfter (queries after the start before the sign-on
// window shows), connectedAfter (queries after the sign-on before the
// connection shows); counters: created, signOns, connectedQueries.
std::map<std::string, int> g_values;
std::string g_name, g_password;

int& V(const char* key) { return g_values[key]; }

}  // namespace

FAKE_EXPORT void FakeQv_Reset() {
    g_values.clear();
    g_name.clear();
    g_password.clear();
}
FAKE_EXPORT void FakeQv_Set(const char* key, int value) { V(key) = value; }
FAKE_EXPORT int FakeQv_Get(const char* key) { return V(key); }
FAKE_EXPORT const char* FakeQv_LastName() { return g_name.c_str(); }
FAKE_EXPORT const char* FakeQv_LastPassword() { return g_password.c_str(); }
FAKE_EXPORT int FakeQv_Version() { return FAKE_QV_VERSION; }

FAKE_EXPORT int QvDialerIsAOLConnected() {
    ++V("connectedQueries");
    if (V("signOns") > 0 && !V("connected")) {
        if (V("connectedAfter") > 0)
            --V("connectedAfter");
        else if (V("connectedAfter") == 0)
            V("connected") = 1;
    }
    return V("connected");
}
FAKE_EXPORT int QvDialerGetAOLInfo() { return V("info"); }
#ifndef FAKE_QV_NO_CS2K
FAKE_EXPORT int QvDialerIsCs2k() { return V("cs2k"); }
#endif
FAKE_EXPORT int QvDialerIsAOLWindowOn() { return V("aolWindow"); }
FAKE_EXPORT int QvDialerIsSignOnWindowOn() {
    if (V("created") > 0 && !V("signOnWindow")) {
        if (V("signOnWindowAfter") > 0)
            --V("signOnWindowAfter");
        else if (V("signOnWindowAfter") == 0)
            V("signOnWindow") = 1;
    }
    return V("signOnWindow");
}
FAKE_EXPORT int QvDialerCreateAOLProcess() {
    ++V("created");
    if (V("createResult") == 0) V("aolWindow") = 1;
    return V("createResult");
}
#ifndef FAKE_QV_PARTIAL
FAKE_EXPORT int QvDialerSignOnAOL(const char* screenName, const char* password) {
    ++V("signOns");
    g_name = screenName ? screenName : "";
    g_password = password ? password : "";
    return V("signOnResult");
}
#endif
