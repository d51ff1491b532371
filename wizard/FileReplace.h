#pragma once

#include <string>
#include <string_view>

// Files are replaced by writing a temporary file in the target's folder and
// renaming it over the target, so readers never see a half-written file.

// Writes bytes to path, replacing an existing file. False when the folder is
// missing or not writable, or the data did not reach the disk; an existing
// file is then left as it was.
[[nodiscard]] bool WriteFileReplacing(const std::string& path, std::string_view bytes);

// Copies the file at from to to, replacing an existing file. False when from
// cannot be read or to cannot be written; to is then left as it was. Copying
// a file onto itself succeeds and leaves it unchanged.
[[nodiscard]] bool CopyFileReplacing(const std::string& from, const std::string& to);
