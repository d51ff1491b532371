#include "imaging/ImagingLibrary.h"

#include <strings.h>

#include <algorithm>

// The binding of the two run-time libraries and the printer checks; the
// hand-over, pages and cover sheet live in ImagingLibrary*.cpp beside it.

// ---- ImagingLibrary -------------------------------------------------------

ImagingLibrary::ImagingLibrary(std::unique_ptr<PrintSpooler> spooler, std::string tiffLibrary,
                               std::string bitmapLibrary)
    : spooler_(spooler ? std::move(spooler) : std::make_unique<CupsSpooler>()),
      tiffName_(std::move(tiffLibrary)),
      bitmapName_(std::move(bitmapLibrary)) {}

ImagingLibrary::~ImagingLibrary() = default;

bool ImagingLibrary::IsNtPlatform() { return ntPlatform_; }

namespace {
bool HasName(const std::vector<std::string>& names, const std::string& wanted) {
    return std::any_of(names.begin(), names.end(), [&](const std::string& name) {
        return strcasecmp(name.c_str(), wanted.c_str()) == 0;
    });
}
}  // namespace

bool ImagingLibrary::PrinterPresent(const std::string& printerName) {
    const auto printers = spooler_->LocalPrinters();
    // A spooler that lists no printers at all does not veto the fax printer;
    // the driver check still decides.
    if (!printers || printers->empty()) return true;
    return HasName(*printers, printerName);
}

bool ImagingLibrary::PrinterDriverPresent(const std::string& driverName) {
    const auto drivers = spooler_->InstalledDrivers();
    return drivers && HasName(*drivers, driverName);
}

bool ImagingLibrary::Bind() {
    if (!tiff_.loaded()) tiff_ = DynamicLibrary::Open(tiffName_);
    if (!bitmani_.loaded()) bitmani_ = DynamicLibrary::Open(bitmapName_);
    if (!tiff_.loaded() || !bitmani_.loaded()) return false;
    ImagingEntryPoints& e = entries_;
    (void)bitmani_.Bind(e.ConvertToMonochromeBitmap, "ConvertToMonochromeBitmap");
    (void)bitmani_.Bind(e.ConvertBitmapToDIB, "ConvertBitmapToDIB");
    (void)bitmani_.Bind(e.CombineDIB, "CombineDIB");
    (void)bitmani_.Bind(e.PaletteSize, "PaletteSize");
    (void)tiff_.Bind(e.GetNumberOfImagesInTiffFile, "GetNumberOfImagesInTiffFile");
    (void)tiff_.Bind(e.CopyTiffImageInFile, "CopyTiffImageInFile");
    (void)tiff_.Bind(e.DIBTextOverlay, "DIBTextOverlay");
    (void)tiff_.Bind(e.LoadTiffIntoDIB, "LoadTiffIntoDIB");
    (void)tiff_.Bind(e.DropTiffImage, "DropTiffImage");
    (void)tiff_.Bind(e.EncodeTiffImage, "EncodeTiffImage");
    (void)tiff_.Bind(e.DefineGeneralTags, "DefineGeneralTags");
    (void)tiff_.Bind(e.DefineTiffImage, "DefineTiffImage");
    (void)tiff_.Bind(e.CloseTiffFile, "CloseTiffFile");
    (void)tiff_.Bind(e.ModiTiffFileInfo, "ModiTiffFileInfo");
    (void)tiff_.Bind(e.OpenTiffFile, "OpenTiffFile");
    (void)tiff_.Bind(e.DefineTiffImageInfoBuffer, "DefineTiffImageInfoBuffer");
    (void)tiff_.Bind(e.DefineTiffImageInfo, "DefineTiffImageInfo");
    (void)tiff_.Bind(e.GetTiffVersion, "GetTiffVersion");
    (void)bitmani_.Bind(e.CreateBitmapFromBits, "CreateBitmapFromBits");
    (void)bitmani_.Bind(e.StretchBitmap, "StretchBitmap");
    (void)bitmani_.Bind(e.DeleteBitmapHandle, "DeleteBitmapHandle");
    (void)bitmani_.Bind(e.FreeDIB, "FreeDIB");
    return true;
}
