#pragma once

#include <string>
#include <utility>

#include "app/core/Clock.h"
#include "app/core/TaskProgress.h"
#include "base/DynamicLibrary.h"
#include "connect/dialer_api/QrvAolApi.h"

// The binding of the online-service dialer library, which drives the online
// service's client program. Which file is loaded follows the client's
// registry keys; the library stays loaded as long as this object lives.
class DialerLibrary {
  public:
    struct Files {
        std::string version4 = QRVAOL40_LIBRARY_NAME;  // 4.0 and later, CompuServe 2000
        std::string version3 = QRVAOL30_LIBRARY_NAME;  // version 3 client
    };

    DialerLibrary() = default;
    explicit DialerLibrary(Files files) : files_(std::move(files)) {}

    // Loads the library the installed client calls for and looks the seven
    // functions up (missing ones stay null). False when no client key is
    // found or the file does not load. Every call binds anew.
    [[nodiscard]] bool Bind();
    [[nodiscard]] bool bound() const { return library_.loaded(); }

    // True when the CompuServe 2000 query is bound and says so.
    [[nodiscard]] bool IsCs() const { return IsCs2k && IsCs2k() != 0; }

    // Signs on with the client (starting it if needed), waiting in a progress
    // window until it reports a connection or the user stops. True when on-line.
    [[nodiscard]] bool SignOn(TaskProgressFactory& progress, Clock& clock,
                              const std::string& screenName, const std::string& password);

    PFN_QvDialerIsAOLConnected IsAOLConnected = nullptr;
    PFN_QvDialerGetAOLInfo GetAOLInfo = nullptr;
    PFN_QvDialerIsCs2k IsCs2k = nullptr;
    PFN_QvDialerIsAOLWindowOn IsAOLWindowOn = nullptr;
    PFN_QvDialerIsSignOnWindowOn IsSignOnWindowOn = nullptr;
    PFN_QvDialerCreateAOLProcess CreateAOLProcess = nullptr;
    PFN_QvDialerSignOnAOL SignOnAOL = nullptr;

  private:
    [[nodiscard]] bool Complete() const;

    Files files_;
    DynamicLibrary library_;
};

// Registry keys (under HKEY_LOCAL_MACHINE) that call for the version 4 file,
// tried in this order, and the key of the version 3 client.
inline constexpr const char* kDialer4Keys[] = {
    "SOFTWARE\\America Online\\America Online\\4.0",
    "SOFTWARE\\America Online\\America Online\\4.0i",
    "SOFTWARE\\America Online\\America Online\\CurrentVersion",
    "SOFTWARE\\CompuServe\\CompuServe\\CurrentVersion",
};
inline constexpr const char* kDialer3Key = "SOFTWARE\\America Online\\AOL\\CurrentVersion";
