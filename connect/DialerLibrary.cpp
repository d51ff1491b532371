#include "connect/DialerLibrary.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>

#include "app/core/RegistryKey.h"
#include "app/core/Translate.h"

namespace {

using namespace std::chrono_literals;

bool KeyOpens(const char* path) {
    RegistryKey key;
    return key.SetRootKey(HKEY_LOCAL_MACHINE) && key.SetKeyPath(path);
}

// A text cut to what the library accepts.
std::string Limited(const std::string& text) {
    return text.substr(0, std::min<std::size_t>(text.size(), QVDIALER_MAX_TEXT));
}

}  // namespace

bool DialerLibrary::Bind() {
    library_.Close();
    IsAOLConnected = nullptr;
    GetAOLInfo = nullptr;
    IsCs2k = nullptr;
    IsAOLWindowOn = nullptr;
    IsSignOnWindowOn = nullptr;
    CreateAOLProcess = nullptr;
    SignOnAOL = nullptr;

    bool version4 = false;
    for (const char* key : kDialer4Keys) {
        if (KeyOpens(key)) {
            version4 = true;
            break;
        }
    }
    if (version4)
        library_ = DynamicLibrary::Open(files_.version4);
    else if (KeyOpens(kDialer3Key))
        library_ = DynamicLibrary::Open(files_.version3);
    if (!library_) return false;

    IsAOLConnected = library_.Function<PFN_QvDialerIsAOLConnected>("QvDialerIsAOLConnected");
    GetAOLInfo = library_.Function<PFN_QvDialerGetAOLInfo>("QvDialerGetAOLInfo");
    IsCs2k = library_.Function<PFN_QvDialerIsCs2k>("QvDialerIsCs2k");
    IsAOLWindowOn = library_.Function<PFN_QvDialerIsAOLWindowOn>("QvDialerIsAOLWindowOn");
    IsSignOnWindowOn = library_.Function<PFN_QvDialerIsSignOnWindowOn>("QvDialerIsSignOnWindowOn");
    CreateAOLProcess = library_.Function<PFN_QvDialerCreateAOLProcess>("QvDialerCreateAOLProcess");
    SignOnAOL = library_.Function<PFN_QvDialerSignOnAOL>("QvDialerSignOnAOL");
    return true;
}

bool DialerLibrary::Complete() const {
    return GetAOLInfo && IsAOLWindowOn && IsAOLConnected && CreateAOLProcess && SignOnAOL &&
           IsSignOnWindowOn;
}

bool DialerLibrary::SignOn(TaskProgressFactory& progress, Clock& clock,
                           const std::string& screenName, const std::string& password) {
    if (!Complete() && (!Bind() || !Complete())) return false;
    if (IsAOLConnected() != 0) return true;

    const bool cs = IsCs();
    const std::string name = Limited(screenName);
    const std::string pass = Limited(password);

    std::unique_ptr<TaskProgress> window =
        progress.Create(QT_TRANSLATE_NOOP("Message", "Connecting to the Internet"), true, false);
    window->SetConfirmPrompt(
        QT_TRANSLATE_NOOP("Message", "Do you want to stop connecting to the Internet?"));
    window->SetRange(0, 300, 1);
    window->Show();

    auto end = [&](const char* text, bool result) {
        window->SetText(text);
        window.reset();
        return result;
    };
    // Polls once a second until the condition holds; false when the user stops.
    auto wait = [&](const std::function<bool()>& condition) {
        for (;;) {
            window->StepIt();
            window->PumpMessages(true);
            if (window->cancelled()) return false;
            clock.Sleep(1s);
            if (condition()) return true;
        }
    };
    const char* unableToConnect =
        cs ? QT_TRANSLATE_NOOP("Message", "Unable to connect to CompuServe 2000.")
           : QT_TRANSLATE_NOOP("Message", "Unable to connect to America Online.");
    const char* connectedText =
        cs ? QT_TRANSLATE_NOOP("Message", "Connected to CompuServe 2000 successfully!")
           : QT_TRANSLATE_NOOP("Message", "Connected to America Online successfully!");
    const char* stopText = QT_TRANSLATE_NOOP("Message", "Stop connecting to the Internet.");

    if (GetAOLInfo() != 0) return end(QT_TRANSLATE_NOOP("Message", "Unable to connect..."), false);
    window->SetText(cs ? QT_TRANSLATE_NOOP("Message", "Start CompuServe 2000...")
                       : QT_TRANSLATE_NOOP("Message", "Start America Online..."));

    if (IsAOLWindowOn() != 0) {
        if (IsSignOnWindowOn() == 0)
            return end(QT_TRANSLATE_NOOP("Message", "Unable to connect..."), false);
        window->SetText(
            cs ? QT_TRANSLATE_NOOP("Message", "Connecting to CompuServe 2000...")
               : QT_TRANSLATE_NOOP("Message", "Connecting to America Online server..."));
        if (IsAOLConnected() != 0) {
            window.reset();
            return true;
        }
        if (SignOnAOL(name.c_str(), pass.c_str()) != 0) return end(unableToConnect, false);
        if (!wait([&] { return IsAOLConnected() != 0; })) return end(stopText, false);
        return end(connectedText, true);
    }

    if (CreateAOLProcess() != 0)
        return end(cs ? QT_TRANSLATE_NOOP("Message", "Unable to start CompuServe 2000.")
                      : QT_TRANSLATE_NOOP("Message", "Unable to start America Online."),
                   false);
    if (!wait([&] { return IsSignOnWindowOn() != 0; })) return end(stopText, false);
    clock.Sleep(2500ms);
    window->SetText(cs ? QT_TRANSLATE_NOOP("Message", "Connecting to CompuServe 2000...")
                       : QT_TRANSLATE_NOOP("Message", "Connecting to America Online..."));
    if (SignOnAOL(name.c_str(), pass.c_str()) != 0) return end(unableToConnect, false);
    if (!wait([&] { return IsAOLConnected() != 0; })) return end(stopText, false);
    return end(connectedText, true);
}
