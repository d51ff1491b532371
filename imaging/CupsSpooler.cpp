#include <cups/cups.h>
#include <dirent.h>
#include <sys/stat.h>

#include <fstream>
#include <functional>

#include "base/DynamicLibrary.h"
#include "imaging/PrintSpooler.h"

namespace {

// libcups is loaded when the spooler is first asked, not when the program
// starts; without it the spooler cannot be asked.
struct CupsApi {
    DynamicLibrary library;
    bool complete = false;
    decltype(&::cupsGetDests2) cupsGetDests2 = nullptr;
    decltype(&::cupsFreeDests) cupsFreeDests = nullptr;
    decltype(&::cupsLastError) cupsLastError = nullptr;
    decltype(&::cupsDoRequest) cupsDoRequest = nullptr;
    decltype(&::ippNewRequest) ippNewRequest = nullptr;
    decltype(&::ippAddStrings) ippAddStrings = nullptr;
    decltype(&::ippGetStatusCode) ippGetStatusCode = nullptr;
    decltype(&::ippFirstAttribute) ippFirstAttribute = nullptr;
    decltype(&::ippNextAttribute) ippNextAttribute = nullptr;
    decltype(&::ippGetName) ippGetName = nullptr;
    decltype(&::ippGetCount) ippGetCount = nullptr;
    decltype(&::ippGetString) ippGetString = nullptr;
    decltype(&::ippDelete) ippDelete = nullptr;
};

const CupsApi& Cups() {
    static const CupsApi api = [] {
        CupsApi a;
        a.library = DynamicLibrary::OpenForRun(CupsSpooler::kLibraryName);
        a.complete = a.library && a.library.Bind(a.cupsGetDests2, "cupsGetDests2") &&
                     a.library.Bind(a.cupsFreeDests, "cupsFreeDests") &&
                     a.library.Bind(a.cupsLastError, "cupsLastError") &&
                     a.library.Bind(a.cupsDoRequest, "cupsDoRequest") &&
                     a.library.Bind(a.ippNewRequest, "ippNewRequest") &&
                     a.library.Bind(a.ippAddStrings, "ippAddStrings") &&
                     a.library.Bind(a.ippGetStatusCode, "ippGetStatusCode") &&
                     a.library.Bind(a.ippFirstAttribute, "ippFirstAttribute") &&
                     a.library.Bind(a.ippNextAttribute, "ippNextAttribute") &&
                     a.library.Bind(a.ippGetName, "ippGetName") &&
                     a.library.Bind(a.ippGetCount, "ippGetCount") &&
                     a.library.Bind(a.ippGetString, "ippGetString") &&
                     a.library.Bind(a.ippDelete, "ippDelete");
        return a;
    }();
    return api;
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// "drv:///x/zephrim.ppd", "lsb/usr/zephrim.ppd.gz" -> "zephrim".
std::string PpdBaseName(std::string name) {
    if (const auto slash = name.find_last_of('/'); slash != std::string::npos)
        name.erase(0, slash + 1);
    for (const char* ext : {".ppd.gz", ".PPD.gz", ".ppd", ".PPD"})
        if (EndsWith(name, ext)) {
            name.resize(name.size() - std::string(ext).size());
            break;
        }
    return name;
}

// The quoted value of a main keyword ("*ModelName: \"x\"") of a plain PPD.
void ReadPpdNames(const std::string& path, std::vector<std::string>& names) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    for (int n = 0; n < 400 && std::getline(in, line); ++n) {
        for (const char* keyword : {"*ModelName:", "*NickName:"}) {
            if (line.rfind(keyword, 0) != 0) continue;
            const auto open = line.find('"');
            const auto close = line.rfind('"');
            if (open != std::string::npos && close > open)
                names.push_back(line.substr(open + 1, close - open - 1));
        }
    }
}

void ScanFolder(const std::string& folder, int depth, std::vector<std::string>& names) {
    if (depth > 4) return;
    DIR* dir = opendir(folder.c_str());
    if (dir == nullptr) return;
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = folder + "/" + name;
        struct stat st {};
        if (stat(path.c_str(), &st) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            ScanFolder(path, depth + 1, names);
        } else if (EndsWith(name, ".ppd") || EndsWith(name, ".PPD") || EndsWith(name, ".ppd.gz") ||
                   EndsWith(name, ".PPD.gz")) {
            names.push_back(PpdBaseName(name));
            if (!EndsWith(name, ".gz")) ReadPpdNames(path, names);
        }
    }
    closedir(dir);
}

// The drivers the scheduler lists; asked is set when it answered.
void AskForDrivers(const CupsApi& cups, std::vector<std::string>& names, bool& asked) {
    ipp_t* request = cups.ippNewRequest(IPP_OP_CUPS_GET_PPDS);
    static const char* const attributes[] = {"ppd-name", "ppd-make-and-model", "ppd-product"};
    cups.ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 3,
                       nullptr, attributes);
    if (ipp_t* response = cups.cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/")) {
        asked = cups.ippGetStatusCode(response) <= IPP_STATUS_OK_EVENTS_COMPLETE;
        for (ipp_attribute_t* a = cups.ippFirstAttribute(response); a != nullptr;
             a = cups.ippNextAttribute(response)) {
            const char* name = cups.ippGetName(a);
            if (name == nullptr || cups.ippGetCount(a) < 1) continue;
            const std::string attribute = name;
            for (int i = 0; i < cups.ippGetCount(a); ++i) {
                const char* value = cups.ippGetString(a, i, nullptr);
                if (value == nullptr) continue;
                if (attribute == "ppd-name")
                    names.push_back(PpdBaseName(value));
                else if (attribute == "ppd-make-and-model" || attribute == "ppd-product")
                    names.emplace_back(value);
            }
        }
        cups.ippDelete(response);
    }
}

}  // namespace

std::optional<std::vector<std::string>> CupsSpooler::LocalPrinters() {
    const CupsApi& cups = Cups();
    if (!cups.complete) return std::nullopt;
    cups_dest_t* dests = nullptr;
    const int count = cups.cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        if (dests[i].instance == nullptr && dests[i].name != nullptr)
            names.emplace_back(dests[i].name);
    cups.cupsFreeDests(count, dests);
    if (count == 0 && cups.cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) return std::nullopt;
    return names;
}

std::optional<std::vector<std::string>> CupsSpooler::InstalledDrivers() {
    std::vector<std::string> names;
    bool asked = false;
    const CupsApi& cups = Cups();
    if (cups.complete) AskForDrivers(cups, names, asked);

    for (const auto& folder : modelFolders) {
        struct stat st {};
        if (stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            asked = true;
            ScanFolder(folder, 0, names);
        }
    }
    if (!asked) return std::nullopt;
    return names;
}
