#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/core/AppSettings.h"
#include "base/FileReplace.h"
#include "base/Text.h"
#include "imaging/ImagingLibrary.h"
#include "imaging/ImagingLibraryPaths.h"
#include "imaging/IniFile.h"
#include "wizard/job/FaxJob.h"

using imaging_paths::FitsPathBuffer;
using imaging_paths::Folder;

namespace {

bool FileExists(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

// ---- hand-over of a printed image -----------------------------------------

std::string ImagingLibrary::WindowsDirectory() {
    const char* value = std::getenv("CORVINAPORT_WINDIR");
    return value != nullptr && value[0] != '\0' ? std::string(value) : "/var/spool/corvinaport";
}

namespace {
// The group file named on the command line: after the first blank and double
// quote, up to the next double quote.
std::string GroupFileOf(const std::string& commandLine) {
    const std::size_t open = commandLine.find(" \"");
    if (open == std::string::npos) return {};
    const std::size_t begin = open + 2;
    const std::size_t close = commandLine.find('"', begin);
    return close == std::string::npos ? std::string() : commandLine.substr(begin, close - begin);
}

// Claims a group file for this process by renaming it aside: of several
// wizards told about one print, exactly one takes it over and the others find
// nothing. The claimed name; empty when the file is gone (taken by another).
std::string ClaimGroupFile(const std::string& groupFile) {
    static std::atomic<unsigned> claims{0};
    const std::string claimed =
        groupFile + ".taking-" + std::to_string(::getpid()) + "-" + std::to_string(++claims);
    return std::rename(groupFile.c_str(), claimed.c_str()) == 0 ? claimed : std::string();
}

// Puts a claimed group file back when the print could not be taken over, so
// that it is not lost.
bool Unclaim(const std::string& claimed, const std::string& groupFile) {
    std::rename(claimed.c_str(), groupFile.c_str());
    return false;
}
}  // namespace

bool ImagingLibrary::PrepareInitialDocument(const std::string& commandLine,
                                            const DirectorySettings& directory,
                                            FaxMessage& message) {
    if (!IsNtPlatform()) return PrepareFromDriverSettings(commandLine, directory, message);
    const std::string line(TrimLeft(commandLine));
    if (line.rfind("/s", 0) == 0) return false;
    const std::string groupFile = GroupFileOf(line);
    if (!groupFile.empty() && FileExists(groupFile))
        return PrepareFromCommandLine(line, directory, message);
    return PrepareFromDriverSettings(line, directory, message);
}

bool ImagingLibrary::PrepareFromCommandLine(const std::string& commandLine,
                                            const DirectorySettings& directory,
                                            FaxMessage& message) {
    const std::string line(TrimLeft(commandLine));
    if (line.empty() || line.rfind("/s", 0) == 0) return false;
    const std::string groupFile = GroupFileOf(line);
    if (!FitsPathBuffer(groupFile)) return false;
    const std::string claimed = ClaimGroupFile(groupFile);
    if (claimed.empty()) return false;
    const auto image = ReadProfileString(claimed, "Print Page Appended", "Image File Name");
    if (!image || !FitsPathBuffer(*image) || !TakeOverImage(*image, claimed, directory, message))
        return Unclaim(claimed, groupFile);
    return true;
}

bool ImagingLibrary::PrepareFromDriverSettings(const std::string& commandLine,
                                               const DirectorySettings& directory,
                                               FaxMessage& message) {
    const std::string line(TrimLeft(commandLine));
    if (line.rfind("/s", 0) == 0) return false;
    const std::string settings = Folder(WindowsDirectory()) + "bi_group.ini";
    if (!FitsPathBuffer(settings)) return false;
    const auto section = ReadProfileString(settings, "Current setting", "Name and Port");
    if (!section || section->empty()) return false;
    const auto groupFile = ReadProfileString(settings, *section, "Groupfile name");
    if (!groupFile || !FitsPathBuffer(*groupFile)) return false;
    const std::string claimed = ClaimGroupFile(*groupFile);
    if (claimed.empty()) return false;
    const auto image = ReadProfileString(claimed, "Page1", "Plane1");
    if (!image || !FitsPathBuffer(*image) || !TakeOverImage(*image, claimed, directory, message))
        return Unclaim(claimed, *groupFile);
    return true;
}

bool ImagingLibrary::TakeOverImage(const std::string& imagePath, const std::string& groupFile,
                                   const DirectorySettings& directory, FaxMessage& message) {
    const std::size_t cut = imagePath.find_last_of("/\\");
    const std::string name = cut == std::string::npos ? imagePath : imagePath.substr(cut + 1);
    if (name.empty() || directory.LocalFolders.empty()) return false;
    if (!FileExists(imagePath)) return false;
    // A staging folder of its own: other runs may take over prints of the
    // same name at the same time.
    const std::string destination = StagingPath(Folder(directory.LocalFolders) + "outbox/", name);
    if (!FitsPathBuffer(destination) ||
        !CopyFileReplacing(imagePath, destination, FileAccess::Private)) {
        RemoveStaged(destination);
        return false;
    }
    std::remove(imagePath.c_str());
    std::remove(groupFile.c_str());
    message.documentPath = destination;
    return true;
}
