#pragma once

#include <string>

// True when path is the file name inside a staging folder of its own
// (".stage-" and six characters) directly inside folder, which ends with "/".
inline bool StagedIn(const std::string& path, const std::string& folder, const std::string& name) {
    const std::string prefix = folder + ".stage-";
    return path.size() == prefix.size() + 6 + 1 + name.size() && path.starts_with(prefix) &&
           path.ends_with("/" + name) &&
           path.substr(prefix.size(), 6).find('/') == std::string::npos;
}
