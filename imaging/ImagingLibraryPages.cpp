#include <cstdio>
#include <filesystem>

#include "base/FileReplace.h"
#include "imaging/ImagingLibrary.h"
#include "imaging/ImagingLibraryPaths.h"

using imaging_paths::FitsPathBuffer;

// ---- pages ----------------------------------------------------------------

std::uint32_t ImagingLibrary::CountImages(const std::string& path) {
    if (!FitsPathBuffer(path) || entries_.GetNumberOfImagesInTiffFile == nullptr) return 0;
    const std::int32_t count = entries_.GetNumberOfImagesInTiffFile(path.c_str());
    return count > 0 ? static_cast<std::uint32_t>(count) : 0;
}

bool ImagingLibrary::MergePages(const std::string& first, const std::string& second,
                                const std::string& destination) {
    return MergePagesReporting(first, second, destination, {});
}

bool ImagingLibrary::MergePagesReporting(const std::string& first, const std::string& second,
                                         const std::string& destination,
                                         const PageProgress& progress) {
    if (!FitsPathBuffer(first) || !FitsPathBuffer(second) || !FitsPathBuffer(destination))
        return false;
    if (entries_.GetNumberOfImagesInTiffFile == nullptr || entries_.CopyTiffImageInFile == nullptr)
        return false;
    // Writing over one of the inputs would destroy it.
    std::error_code error;
    if (std::filesystem::equivalent(destination, first, error) ||
        std::filesystem::equivalent(destination, second, error) || destination == first ||
        destination == second)
        return false;
    const std::int32_t pages = entries_.GetNumberOfImagesInTiffFile(second.c_str());
    bool ok = pages > 0 && entries_.CopyTiffImageInFile(first.c_str(), 0, destination.c_str(),
                                                        TIFF32_COPY_START) != 0;
    // Consecutive pages of one file into one file: the library goes on with
    // the handles of the previous call, so each page costs the same.
    const auto total = static_cast<std::uint32_t>(pages > 0 ? pages + 1 : 0);
    if (ok && progress) ok = progress(1, total);
    for (std::int32_t i = 0; ok && i < pages; ++i) {
        ok = entries_.CopyTiffImageInFile(second.c_str(), i, destination.c_str(),
                                          TIFF32_COPY_APPEND) != 0;
        if (ok && progress) ok = progress(static_cast<std::uint32_t>(i) + 2, total);
    }
    // The first page reached the disk with the new file; the appended ones
    // are flushed once, here, before the merge is reported done.
    ok = ok && SyncFile(destination);
    if (!ok) std::remove(destination.c_str());
    return ok;
}
