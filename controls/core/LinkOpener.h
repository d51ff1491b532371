#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class MessageBoxService;
class ShellLauncher;

// How a link's address is opened, and how a failure is told; no widgets.
class LinkOpener {
  public:
    // The longest command line the .htm fallback starts.
    static constexpr std::size_t kMaxCommandLine = 528;

    // Opens address: the desktop's opener, else the program of the .htm
    // association (registry store, then the desktop's text/html default).
    // done gets the shell result code (greater than 32 is success), on the
    // caller's thread, once the launcher has answered.
    static void OpenUrl(const std::string& address, int showCommand, ShellLauncher& launcher,
                        std::function<void(int)> done);
    static void ReportOpenError(int code, MessageBoxService& boxes);
    [[nodiscard]] static std::string OpenErrorText(int code);
    // Default value of the key under HKEY_CLASSES_ROOT; 0 or the registry error.
    [[nodiscard]] static std::int32_t ReadClassesRootValue(const std::string& keyPath,
                                                           std::string& out);
    // The program and leading arguments of an association command line, cut
    // at its "%1" placeholder; double quotes group, and are removed.
    [[nodiscard]] static std::vector<std::string> CommandPrefix(const std::string& commandLine);
};
