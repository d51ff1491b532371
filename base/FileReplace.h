#pragma once

#include <string>
#include <string_view>

#include "base/Failure.h"
#include "base/UniqueFd.h"

// Files are replaced by writing a temporary file in the target's folder and
// renaming it over the target, so readers never see a half-written file. The
// temporary file is created exclusively under a name of its own and never
// through a symbolic link; renaming replaces whatever stood at the target's
// name (a planted link included) without writing into it.

// Who may read a file the program writes: the user alone (0600), or as far
// as the user's umask allows (0666 less the umask). A file that is replaced
// never becomes more readable than the file it replaces. Kept gives the new
// file the modes of the file it replaces (Shared when there is none), for
// files others read that an administrator edits.
enum class FileAccess { Shared, Private, Kept };

// A new file that replaces path whole: made exclusively, under a name of its
// own, in path's folder. Commit() flushes it to the disk and renames it over
// path; without Commit() it is removed again and path is left as it was.
class ReplacementFile {
  public:
    explicit ReplacementFile(std::string path, FileAccess access = FileAccess::Shared);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // The file, open for reading and writing; -1 when it could not be made.
    [[nodiscard]] int fd() const { return fd_.get(); }
    // Its name until Commit().
    [[nodiscard]] const std::string& name() const { return name_; }
    // False, with errno set, when the data did not reach the disk or the
    // rename failed; path is then left as it was.
    [[nodiscard]] bool Commit();

  private:
    std::string target_;
    std::string name_;
    UniqueFd fd_;
};

// A work file of the user's alone (0600): made exclusively, never through a
// link, named prefix (a path) followed by six random characters and suffix;
// locked (flock) while it lives, so a later run can tell a file whose writer
// is gone (see RemoveAbandonedFiles); removed again when it goes.
class ScratchFile {
  public:
    explicit ScratchFile(const std::string& prefix, std::string_view suffix = {});
    ~ScratchFile();
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    // False, with errno set, when it could not be made.
    [[nodiscard]] bool made() const { return !path_.empty(); }
    [[nodiscard]] const std::string& path() const { return path_; }
    [[nodiscard]] int fd() const { return fd_.get(); }
    // Hands a descriptor of the file over (to a writer that closes it); the
    // file and its lock stay until this goes. -1 when none could be made.
    [[nodiscard]] int Release();

  private:
    std::string path_;
    UniqueFd fd_;
};

// Removes the files named prefix...suffix directly in folder that belong to
// the user, are older than minAgeSeconds and whose ScratchFile is gone (no
// lock held on them). The number removed.
int RemoveAbandonedFiles(const std::string& folder, std::string_view prefix,
                         std::string_view suffix, long minAgeSeconds);

// Writes all of bytes to fd; false when a write failed.
[[nodiscard]] bool WriteAll(int fd, std::string_view bytes);

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

// Makes the folder when it is missing (mode 0700); an existing one must be a
// real folder owned by the user, and loses any access of others. Fails, with
// the cause, when it cannot be used.
Result<> EnsurePrivateFolder(const std::string& folder);
// The same for a folder whose parents may be missing too: each missing one
// is made 0700; parents that exist are left as they are.
Result<> EnsurePrivateFolderPath(const std::string& folder);

// Work files (a staged document, a merged or a composed image) live in
// folders that may be shared with other runs of the program and other users.
// Each one gets a new private folder ".stage-XXXXXX" inside folder (which is
// created when missing) and keeps its own name inside it, so two runs
// never meet at a name and nobody can plant a link where the file will be.
// The folder holds a lock file, kStageLockName, locked (flock) by this
// process until the folder goes or the process ends, so that a later run
// can tell a folder whose owner is gone (RemoveAbandonedStaging). Answers
// the path for name; the file itself is not created. Empty when no folder
// could be made.
[[nodiscard]] std::string StagingPath(const std::string& folder, const std::string& name);

inline constexpr std::string_view kStageLockName = ".lock";

// Removes a file, and with it the private folder StagingPath made for it
// (its lock file included) once nothing else is left there.
void RemoveStaged(const std::string& path);

// True when path lies in a staging folder this process made and still holds.
[[nodiscard]] bool HeldStaged(const std::string& path);

// Clears the staging folders directly in folder whose owner is gone: a
// folder whose lock file nobody holds (its run ended or crashed), and a
// folder without a lock file (made by an older version, or one that is being
// made right now) once it is older than unlockedAgeSeconds. A folder a
// running program holds is never touched. Only the user's own real folders
// are cleared; links inside them are removed, never followed. The documents
// such a folder holds (a print whose wizard crashed) are first moved into the
// private folder recovered (made when missing; nothing is kept when it is
// empty), never replacing a file there; a folder whose documents cannot be
// moved stays. The number of folders removed.
int RemoveAbandonedStaging(const std::string& folder, const std::string& recovered,
                           long unlockedAgeSeconds = 24L * 60 * 60);

// Flushes a folder's entries (new names, renames) to the disk.
bool SyncFolder(const std::string& folder);

// Flushes a file's content to the disk, whoever wrote it.
[[nodiscard]] bool SyncFile(const std::string& path);
