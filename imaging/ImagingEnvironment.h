#pragma once

#include <cstdint>
#include <string>

struct FaxMessage;
struct DirectorySettings;

// What start-up and the wizard ask of the imaging binding and the fax printer.
// ImagingLibrary implements it; AbsentImaging stands for a machine without
// the printer, its driver or the imaging libraries.
class ImagingEnvironment {
public:
    virtual ~ImagingEnvironment() = default;
    [[nodiscard]] virtual bool IsNtPlatform() = 0;
    [[nodiscard]] virtual bool PrinterPresent(const std::string& printerName) = 0;
    [[nodiscard]] virtual bool PrinterDriverPresent(const std::string& driverName) = 0;
    [[nodiscard]] virtual bool Bind() = 0;
    // Takes over a printed image into LocalFolders + "outbox/" and sets the
    // message's documentPath; true when the hand-over took place.
    [[nodiscard]] virtual bool PrepareInitialDocument(const std::string& commandLine,
                                                      const DirectorySettings& directory,
                                                      FaxMessage& message) = 0;
    [[nodiscard]] virtual std::uint32_t CountImages(const std::string& path) = 0;
    // Page 0 of first, then every page of second, into destination.
    [[nodiscard]] virtual bool MergePages(const std::string& first, const std::string& second,
                                          const std::string& destination) = 0;
};

class AbsentImaging final : public ImagingEnvironment {
public:
    bool IsNtPlatform() override { return false; }
    bool PrinterPresent(const std::string&) override { return false; }
    bool PrinterDriverPresent(const std::string&) override { return false; }
    bool Bind() override { return false; }
    bool PrepareInitialDocument(const std::string&, const DirectorySettings&,
                                FaxMessage&) override {
        return false;
    }
    std::uint32_t CountImages(const std::string&) override { return 0; }
    bool MergePages(const std::string&, const std::string&, const std::string&) override {
        return false;
    }
};
