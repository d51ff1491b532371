#pragma once

#include <string>
#include <string_view>

// Files are replaced by writing a temporary file in the target's folder and
// renaming it over the target, so readers never see a half-written file. The
// temporary file is created exclusively under a name of its own and never
// through a symbolic link; renaming replaces whatever stood at the target's
// name (a planted link included) without writing into it.

// Who may read a file the program writes: the user alone (0600), or as far
// as the user's umask allows (0666 less the umask). A file that is replaced
// never becomes more readable than the file it replaces.
enum class FileAccess { Shared, Private };

// Writes bytes to path, replacing an existing file. False when the folder is
// missing or not writable, or the data did not reach the disk; an existing
// file is then left as it was.
[[nodiscard]] bool WriteFileReplacing(const std::string& path, std::string_view bytes,
                                      FileAccess access = FileAccess::Shared);

// Copies the file at from to to, replacing an existing file. False when from
// cannot be read or to cannot be written; to is then left as it was. Copying
// a file onto itself succeeds and leaves it unchanged.
[[nodiscard]] bool CopyFileReplacing(const std::string& from, const std::string& to,
                                     FileAccess access = FileAccess::Shared);

// Makes a new folder of the user's alone (0700) inside parent, named prefix
// followed by six random characters. Its path, ending with "/"; empty when
// it could not be made.
[[nodiscard]] std::string MakePrivateFolder(const std::string& parent, std::string_view prefix);

// Work files (a staged document, a merged or a composed image) live in
// folders that may be shared with other runs of the program and other users.
// Each one gets a new private folder ".stage-XXXXXX" inside folder (which is
// created when missing) and keeps its own name inside it, so two runs
// never meet at a name and nobody can plant a link where the file will be.
// Answers the path for name; the file itself is not created. Empty when no
// folder could be made.
[[nodiscard]] std::string StagingPath(const std::string& folder, const std::string& name);

// Removes a file, and with it the private folder StagingPath made for it
// once nothing else is left there.
void RemoveStaged(const std::string& path);

// Flushes a folder's entries (new names, renames) to the disk.
bool SyncFolder(const std::string& folder);
