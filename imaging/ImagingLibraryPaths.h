#pragma once

// Path helpers shared by the parts of ImagingLibrary.

#include <string>

#include "imaging/ImagingLibrary.h"

namespace imaging_paths {

// The library's calls take paths in buffers of kMaxPath characters.
inline bool FitsPathBuffer(const std::string& path) {
    return !path.empty() && path.size() < ImagingLibrary::kMaxPath;
}

// folder with one slash at its end (empty stays empty).
inline std::string Folder(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + "/";
}

}  // namespace imaging_paths
