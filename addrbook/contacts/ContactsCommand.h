#pragma once

#include <cstdio>
#include <string>
#include <vector>

// What corvinaport-contacts does without a window: --import FILE... and
// --export FILE on the book in folder. Messages go to out and err.
struct ContactsCommand {
    enum Status {
        kDone = 0,        // everything imported or exported
        kFailed = 1,      // nothing written: a file or the book could not be used
        kBadUsage = 2,    // the command line was wrong
        kSomeSkipped = 3  // imported, but cards or rows were skipped (listed)
    };
    std::vector<std::string> imports;
    std::string exportTo;
    // Where remembered CSV column mappings are kept.
    std::string mappingsPath;

    [[nodiscard]] int Run(const std::string& folder, std::FILE* out, std::FILE* err) const;
};
