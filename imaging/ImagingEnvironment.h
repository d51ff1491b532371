#pragma once

#include <cstdint>
#include <functional>
#include <string>

struct FaxJob;
struct FaxMessage;
struct DirectorySettings;

// The fields of the cover-sheet page that the cover sheet shows. Composing
// wraps memo and stores the wrapped text back here.
struct CoverSheetFields {
    std::string company;
    std::string sender;
    std::string subject;
    std::string memo;
    std::string logoPath;  // full path of a ".bmp" file; empty for no logo
};

// What start-up, the wizard and the cover-sheet page ask of the imaging
// binding and the fax printer. ImagingLibrary implements it; AbsentImaging
// stands for a machine without the printer, its driver or the libraries.
class ImagingEnvironment {
  public:
    virtual ~ImagingEnvironment() = default;
    [[nodiscard]] virtual bool IsNtPlatform() = 0;
    [[nodiscard]] virtual bool PrinterPresent(const std::string& printerName) = 0;
    [[nodiscard]] virtual bool PrinterDriverPresent(const std::string& driverName) = 0;
    [[nodiscard]] virtual bool Bind() = 0;
    // Takes over a printed image into a staging folder of its own in
    // LocalFolders + "outbox/" (StagingPath) and sets the message's
    // documentPath; true when the hand-over took place.
    [[nodiscard]] virtual bool PrepareInitialDocument(const std::string& commandLine,
                                                      const DirectorySettings& directory,
                                                      FaxMessage& message) = 0;
    // Pages of the TIFF file; 0 when it is missing, damaged or its path too long.
    [[nodiscard]] virtual std::uint32_t CountImages(const std::string& path) = 0;
    // Page 0 of first, then every page of second, into destination.
    [[nodiscard]] virtual bool MergePages(const std::string& first, const std::string& second,
                                          const std::string& destination) = 0;
    // Told after each page of a merge: pages written and pages in all; an
    // answer of false stops the merge.
    using PageProgress = std::function<bool(std::uint32_t done, std::uint32_t total)>;
    // MergePages, telling progress after each page (those that cannot tell
    // merge without it). A stopped merge answers false and leaves no
    // destination behind; the inputs are never changed.
    [[nodiscard]] virtual bool MergePagesReporting(const std::string& first,
                                                   const std::string& second,
                                                   const std::string& destination,
                                                   const PageProgress& progress) {
        (void)progress;
        return MergePages(first, second, destination);
    }
    // Composes "Cover.tif" in a staging folder of its own in
    // LocalFolders + "outbox/" (StagingPath) from the template
    // LocalFolders + "templates/Template.tif"; answers the result path (empty
    // when a path is too long or no cover can be made). Wraps fields.memo in
    // place. Without an imaging binding no cover is made.
    [[nodiscard]] virtual std::string ComposeCoverSheet(CoverSheetFields& fields, const FaxJob& job,
                                                        const DirectorySettings& directory) {
        (void)fields;
        (void)job;
        (void)directory;
        return {};
    }
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
