#pragma once

#include <QString>
#include <string>
#include <vector>

// The program's own command line around the product's switches: --help and
// --version, and documents named to be attached (from a terminal, a file
// manager or the menu entry). Everything else ("/s", "/n", "/id", the
// printer driver's group file) is passed on to start-up unchanged.
struct ProgramArgs {
    enum class Action { Run, Settings, Help, Version, BadUsage };
    Action action = Action::Run;
    // The arguments for start-up's command line, in their order.
    std::vector<std::string> passOn;
    // Existing files to attach, in their order (the wizard attaches the first).
    std::vector<std::string> documents;
    // For BadUsage: what is wrong.
    QString error;
};

// args are argv[1] onwards, without the options Qt took. --settings opens the
// settings window alone (nothing else may be given with it). --help and --version
// win wherever they stand; any other "-" option is bad usage. A group file is a ".grp" file; a
// value after
// "/n" or "/id" is not a document.
[[nodiscard]] ProgramArgs ParseProgramArgs(const std::vector<std::string>& args);

// What --help prints and --version prints.
[[nodiscard]] QString UsageText(const QString& program);
[[nodiscard]] QString VersionText(const QString& program);
