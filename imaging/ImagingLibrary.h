#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/DynamicLibrary.h"
#include "imaging/ImagingEnvironment.h"
#include "imaging/PrintSpooler.h"
#include "platform/bitmani/Bitmani.h"
#include "platform/tiff32/Tiff32.h"

class Clock;

// The 18 entry points of the two imaging libraries, in binding order, and the
// drawing-context stand-ins of the bitmap library. Each is nullptr until bound
// and stays nullptr when its library lacks it.
struct ImagingEntryPoints {
    decltype(&::ConvertToMonochromeBitmap) ConvertToMonochromeBitmap = nullptr;
    decltype(&::ConvertBitmapToDIB) ConvertBitmapToDIB = nullptr;
    decltype(&::CombineDIB) CombineDIB = nullptr;
    decltype(&::PaletteSize) PaletteSize = nullptr;
    decltype(&::GetNumberOfImagesInTiffFile) GetNumberOfImagesInTiffFile = nullptr;
    decltype(&::CopyTiffImageInFile) CopyTiffImageInFile = nullptr;
    decltype(&::DIBTextOverlay) DIBTextOverlay = nullptr;
    decltype(&::LoadTiffIntoDIB) LoadTiffIntoDIB = nullptr;
    decltype(&::DropTiffImage) DropTiffImage = nullptr;
    decltype(&::EncodeTiffImage) EncodeTiffImage = nullptr;
    decltype(&::DefineGeneralTags) DefineGeneralTags = nullptr;
    decltype(&::DefineTiffImage) DefineTiffImage = nullptr;
    decltype(&::CloseTiffFile) CloseTiffFile = nullptr;
    decltype(&::ModiTiffFileInfo) ModiTiffFileInfo = nullptr;
    decltype(&::OpenTiffFile) OpenTiffFile = nullptr;
    decltype(&::DefineTiffImageInfoBuffer) DefineTiffImageInfoBuffer = nullptr;
    decltype(&::DefineTiffImageInfo) DefineTiffImageInfo = nullptr;
    decltype(&::GetTiffVersion) GetTiffVersion = nullptr;

    decltype(&::CreateBitmapFromBits) CreateBitmapFromBits = nullptr;
    decltype(&::StretchBitmap) StretchBitmap = nullptr;
    decltype(&::DeleteBitmapHandle) DeleteBitmapHandle = nullptr;
    decltype(&::FreeDIB) FreeDIB = nullptr;
};

// One pending text overlay of the next composed image.
struct TextItem {
    std::string text;
    std::string fontFace;
    int size = 0;
    int x = 0;
    int y = 0;
};

// Compression codes of WriteImageAsTiff.
enum TiffWriteCode : int {
    kTiffNone = 201,
    kTiffPackBits = 202,
    kTiffLzw = 203,
    kTiffLzwPredictor = 204,
    kTiffModifiedHuffman = 205,
    kTiffGroup3 = 206,
    kTiffGroup3Options = 207,
    kTiffGroup4 = 208,
};

// The imaging binding: printer checks, hand-over of a printed image, page
// counting and merging, and the cover sheet.
//
// Hand-over road: this platform answers IsNtPlatform() true, so start-up takes
// the printed image over itself. The fax printer writes the group file and
// bi_group.ini in CORVINAPORT_WINDIR (default /var/spool/corvinaport) and
// starts the wizard with the group file on its command line, or, when a wizard
// runs already, sends it the "KESTRO message". PrepareInitialDocument follows
// the command line's group file when it still exists, and otherwise the one
// that bi_group.ini names; so the message reaches a running wizard whatever its
// own command line was, and a wizard started from the menu picks up a print
// nobody has taken over yet (without one it runs in attach mode).
class ImagingLibrary final : public ImagingEnvironment {
  public:
    static constexpr const char* kTiffLibraryName = "libtiff32.so";
    static constexpr const char* kBitmapLibraryName = "libbitmani.so";
    // Text before the library's version in the Software tag.
    static constexpr const char* kSoftwareIdent = "Corvinaport Fax Imaging (Quorvane) ";
    // Fixed path buffers of the original design hold this many characters
    // including the terminator; longer paths are refused.
    static constexpr std::size_t kMaxPath = 260;

    // spooler: nullptr uses CUPS. Library names are bare names (searched on
    // the run path) or paths.
    explicit ImagingLibrary(std::unique_ptr<PrintSpooler> spooler = nullptr,
                            std::string tiffLibrary = kTiffLibraryName,
                            std::string bitmapLibrary = kBitmapLibraryName);
    ~ImagingLibrary() override;

    bool IsNtPlatform() override;
    bool PrinterPresent(const std::string& printerName) override;
    bool PrinterDriverPresent(const std::string& driverName) override;
    bool Bind() override;
    bool PrepareInitialDocument(const std::string& commandLine, const DirectorySettings& directory,
                                FaxMessage& message) override;
    std::uint32_t CountImages(const std::string& path) override;
    bool MergePages(const std::string& first, const std::string& second,
                    const std::string& destination) override;
    bool MergePagesReporting(const std::string& first, const std::string& second,
                             const std::string& destination, const PageProgress& progress) override;
    std::string ComposeCoverSheet(CoverSheetFields& fields, const FaxJob& job,
                                  const DirectorySettings& directory) override;

    // The two roads of PrepareInitialDocument, each on its own.
    // From the group file named on the command line (text after the first
    // blank and double quote, up to the next double quote).
    [[nodiscard]] bool PrepareFromCommandLine(const std::string& commandLine,
                                              const DirectorySettings& directory,
                                              FaxMessage& message);
    // From the group file that bi_group.ini in WindowsDirectory() names.
    [[nodiscard]] bool PrepareFromDriverSettings(const std::string& commandLine,
                                                 const DirectorySettings& directory,
                                                 FaxMessage& message);
    // The printer driver's folder: env CORVINAPORT_WINDIR or /var/spool/corvinaport.
    [[nodiscard]] static std::string WindowsDirectory();

    // Text items of the next composed image.
    void AddTextItem(const std::string& text, int x, int y, const std::string& fontFace, int size);
    void ClearTextItems() { textItems_.clear(); }
    [[nodiscard]] const std::vector<TextItem>& TextItems() const { return textItems_; }

    // Template, logo (empty: none) and the pending text items into result
    // (Group 3). Answers true, as callers do not test it; RenderSucceeded()
    // tells whether the file was written.
    bool Render(const std::string& templatePath, const std::string& resultPath,
                const std::string& logoPath);
    [[nodiscard]] bool RenderSucceeded() const { return lastRenderOk_; }

    // Writes the DIB as a one-page TIFF; code from TiffWriteCode, photometric
    // 0, 1, 2 or 3, fillOrder 1 or 2.
    [[nodiscard]] bool WriteImageAsTiff(const std::string& path, HDIB dib, int compressionCode,
                                        int photometric, int fillOrder);
    // Breaks lines longer than width and keeps at most limit lines (CR LF).
    [[nodiscard]] static std::string WrapMemo(std::string text, std::size_t width,
                                              std::size_t limit);
    // A new one-bit bitmap of the whole source stretched to width x height.
    [[nodiscard]] HBITMAP ScaleBitmap(HBITMAP source, int width, int height);
    // The recipient field: name, two blanks and the fax number (or e-mail)
    // of a sole recipient, else "1 of N recipients".
    [[nodiscard]] static std::string RecipientText(const FaxJob& job);
    // "%B %d, %Y" in English, as the cover shows today's date.
    [[nodiscard]] static std::string CoverDateText(std::time_t when);
    // Logo fit into the 1500 x 400 band at the top of a 1728-pixel page.
    struct LogoPlacement {
        int width = 0, height = 0, x = 0, y = 0;
    };
    [[nodiscard]] static LogoPlacement PlaceLogo(int logoWidth, int logoHeight);

    [[nodiscard]] const ImagingEntryPoints& entries() const { return entries_; }
    [[nodiscard]] bool bound() const { return tiff_.loaded() && bitmani_.loaded(); }

    // Tests: the road IsNtPlatform answers, and the clock for the cover's date.
    void SetNtPlatform(bool nt) { ntPlatform_ = nt; }
    void SetClock(const Clock* clock) { clock_ = clock; }

  private:
    bool TakeOverImage(const std::string& imagePath, const std::string& groupFile,
                       const DirectorySettings& directory, FaxMessage& message);
    HBITMAP LoadLogo(const std::string& path);

    // The logo last laid on a cover, scaled and made two-colour: used again
    // while its file is unchanged, so a cover composed again costs no scaling.
    struct PreparedLogo {
        std::string path;
        std::int64_t size = -1, modifiedNs = -1, inode = -1;
        LogoPlacement place;
        std::shared_ptr<BITMAPINFOHEADER> overlay;  // freed by the library
    };
    [[nodiscard]] const PreparedLogo* PrepareLogo(const std::string& path);

    std::unique_ptr<PrintSpooler> spooler_;
    std::string tiffName_;
    std::string bitmapName_;
    DynamicLibrary tiff_;
    DynamicLibrary bitmani_;
    ImagingEntryPoints entries_;
    std::vector<TextItem> textItems_;
    bool ntPlatform_ = true;
    bool lastRenderOk_ = false;
    const Clock* clock_ = nullptr;
    // Last, so that it goes before the libraries that free it.
    PreparedLogo logo_;
};
