#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The print spooler as the printer checks see it.
class PrintSpooler {
  public:
    virtual ~PrintSpooler() = default;
    // Names of the local print queues; nullopt when the spooler cannot be asked.
    [[nodiscard]] virtual std::optional<std::vector<std::string>> LocalPrinters() = 0;
    // Names of the installed printer drivers; nullopt when they cannot be listed.
    [[nodiscard]] virtual std::optional<std::vector<std::string>> InstalledDrivers() = 0;
};

// CUPS: the queues are the destinations of the default server; the drivers
// are the server's PPDs (make-and-model, product and PPD name without folder
// and ".ppd"/".ppd.gz"), or, when the server cannot be asked, the PPD files in
// the model folders (file name without extension, ModelName and NickName).
class CupsSpooler final : public PrintSpooler {
  public:
    // Loaded on first use, so that a run that never asks does not load it.
    static constexpr const char* kLibraryName = "libcups.so.2";
    std::optional<std::vector<std::string>> LocalPrinters() override;
    std::optional<std::vector<std::string>> InstalledDrivers() override;
    // Folders searched for PPD files when the server does not answer.
    std::vector<std::string> modelFolders = {"/usr/share/ppd", "/usr/share/cups/model",
                                             "/usr/local/share/ppd", "/etc/cups/ppd"};
};
