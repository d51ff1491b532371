#include "wizard/outbox/sender/OutboxActions.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "base/FileReplace.h"
#include "wizard/job/FaxState.h"
#include "wizard/job/Outbox.h"
#include "wizard/job/OutboxReader.h"

namespace fs = std::filesystem;

namespace {

bool PlainName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}

}  // namespace

Result<> HoldFax(const std::string& localFolders, const std::string& name) {
    const OutboxReader reader(localFolders);
    const std::time_t now = std::time(nullptr);
    auto fax = reader.Read(name, now);
    if (!fax || fax->status == StoredFax::Status::Broken ||
        fax->status == StoredFax::Status::Writing)
        return Fail(fax ? fax->problem : "no such stored fax");
    const OutboxLock lock(fax->folder);
    if (!lock.held()) return Fail("it is being sent now");
    fax = reader.Read(name, now);
    if (!fax) return Fail("no such stored fax");
    switch (StateOf(fax->state, false)) {
        case FaxState::Sent:
            return Fail("it was sent");
        case FaxState::Sending:
        case FaxState::Unknown:
            return Fail("it may have been sent");
        case FaxState::Held:
            return {};
        case FaxState::Waiting:
        case FaxState::Failed:
            break;
    }
    SendState state = fax->state;
    state.held = true;
    if (!WriteSendState(fax->folder, state)) return FromErrno("cannot write its state");
    return {};
}

Result<> DeleteFax(const std::string& localFolders, const std::string& list,
                   const std::string& name, std::time_t now) {
    if ((list != "outbox" && list != "sent") || !PlainName(name)) return Fail("no such fax");
    const std::string folder = localFolders + list + "/" + name;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Fail("no such fax");
    // A sender holds it: it goes after the sender is done, not now.
    const OutboxLock lock(folder);
    if (!lock.held()) return Fail("it is being sent now");
    const auto moved = MoveToSent(folder, name, localFolders + "deleted/");
    if (!moved) return moved.failure();
    // The time of deletion, from which it is kept.
    const timespec times[2] = {{now, 0}, {now, 0}};
    (void)::utimensat(AT_FDCWD, moved->c_str(), times, AT_SYMLINK_NOFOLLOW);
    return {};
}

int PurgeDeleted(const std::string& localFolders, std::time_t now) {
    int removed = 0;
    std::error_code ec;
    const std::string deleted = localFolders + "deleted/";
    for (fs::directory_iterator it(deleted, ec), end; !ec && it != end; it.increment(ec)) {
        struct stat st {};
        const std::string path = it->path().string();
        if (::lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) ||
            now - st.st_mtime < kDeletedKeepSeconds)
            continue;
        std::error_code gone;
        if (fs::remove_all(path, gone) > 0 && !gone) ++removed;
    }
    return removed;
}

Result<std::string> SendAgain(const std::string& localFolders, const std::string& sentName,
                              const Clock& clock) {
    if (!PlainName(sentName)) return Fail("no such sent fax");
    const std::string folder = localFolders + "sent/" + sentName + "/";
    std::ifstream in(folder + kMessageFileName, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto stored = OutboxMessage::Parse(bytes);
    if (!stored) return Fail("its message file cannot be read: " + stored.failure().cause);
    if (stored->attachments.empty()) return Fail("it names no document");
    const std::string document = folder + fs::path(stored->attachments.front()).filename().string();

    FaxMessage message;
    message.from = stored->from;
    message.to = stored->to;
    message.cc = stored->cc;
    message.bcc = stored->bcc;
    message.subject = stored->subject;
    message.body = stored->body;
    // A copy of its own: storing takes the staged document along.
    message.documentPath = StageAttachment(localFolders, document);
    if (message.documentPath.empty()) return Fail("its document cannot be copied: " + document);
    const auto made = SaveToOutbox(localFolders, "outbox", message, clock, kFaxGatewayDomain);
    if (!made) {
        RemoveStaged(message.documentPath);
        return Fail("it cannot be stored in the outbox");
    }
    return fs::path(*made).filename().string();
}
