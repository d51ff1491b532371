#pragma once

#include <functional>
#include <string>
#include <vector>

// Where a link is opened: the desktop's opener and the start of a program.
// Answers that need an outside program come through a callback on the
// caller's thread, so the user interface never waits for them. Tests put a
// recording stand-in in its place.
class ShellLauncher {
  public:
    using ResultFn = std::function<void(int)>;
    using CommandFn = std::function<void(const std::string&)>;

    virtual ~ShellLauncher() = default;
    // Opens address with the desktop's opener; done gets a shell result code
    // (greater than 32 is success).
    virtual void ShellOpen(const std::string& address, int showCommand, ResultFn done) = 0;
    // Starts argv[0] with the rest as its arguments, each passed on as one
    // argument and never through a shell; greater than 31 is success.
    [[nodiscard]] virtual int Start(const std::vector<std::string>& argv, int showCommand) = 0;
    // done gets the command line of the desktop's default program for
    // text/html in the form the .htm association uses ("%1" marks the
    // address); empty if none.
    virtual void DesktopHtmlCommand(CommandFn done) = 0;
};

// xdg-open, posix_spawn and xdg-mime, each waited for through its process's
// signals; an opener still running after five seconds counts as started.
class DesktopShellLauncher final : public ShellLauncher {
  public:
    static constexpr int kWaitMs = 5000;

    void ShellOpen(const std::string& address, int showCommand, ResultFn done) override;
    int Start(const std::vector<std::string>& argv, int showCommand) override;
    void DesktopHtmlCommand(CommandFn done) override;
};
