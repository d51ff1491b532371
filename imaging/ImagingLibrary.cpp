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
    auto bind = [](const DynamicLibrary& library, auto& entry, const char* name) {
        entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(library.Symbol(name));
    };
    ImagingEntryPoints& e = entries_;
    bind(bitmani_, e.ConvertToMonochromeBitmap, "ConvertToMonochromeBitmap");
    bind(bitmani_, e.ConvertBitmapToDIB, "ConvertBitmapToDIB");
    bind(bitmani_, e.CombineDIB, "CombineDIB");
    bind(bitmani_, e.PaletteSize, "PaletteSize");
    bind(tiff_, e.GetNumberOfImagesInTiffFile, "GetNumberOfImagesInTiffFile");
    bind(tiff_, e.CopyTiffImageInFile, "CopyTiffImageInFile");
    bind(tiff_, e.DIBTextOverlay, "DIBTextOverlay");
    bind(tiff_, e.LoadTiffIntoDIB, "LoadTiffIntoDIB");
    bind(tiff_, e.DropTiffImage, "DropTiffImage");
    bind(tiff_, e.EncodeTiffImage, "EncodeTiffImage");
    bind(tiff_, e.DefineGeneralTags, "DefineGeneralTags");
    bind(tiff_, e.DefineTiffImage, "DefineTiffImage");
    bind(tiff_, e.CloseTiffFile, "CloseTiffFile");
    bind(tiff_, e.ModiTiffFileInfo, "ModiTiffFileInfo");
    bind(tiff_, e.OpenTiffFile, "OpenTiffFile");
    bind(tiff_, e.DefineTiffImageInfoBuffer, "DefineTiffImageInfoBuffer");
    bind(tiff_, e.DefineTiffImageInfo, "DefineTiffImageInfo");
    bind(tiff_, e.GetTiffVersion, "GetTiffVersion");
    bind(bitmani_, e.CreateBitmapFromBits, "CreateBitmapFromBits");
    bind(bitmani_, e.StretchBitmap, "StretchBitmap");
    bind(bitmani_, e.DeleteBitmapHandle, "DeleteBitmapHandle");
    bind(bitmani_, e.FreeDIB, "FreeDIB");
    return true;
}
