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

bool Fail(std::string* why, std::string text) {
    if (why) *why = std::move(text);
    return false;
}

bool PlainName(const std::string& name) {
    return !name.empty() && name[0] != '.' && name.find('/') == std::string::npos;
}

}  // namespace

bool HoldFax(const std::string& localFolders, const std::string& name, std::string* why) {
    const OutboxReader reader(localFolders);
    const std::time_t now = std::time(nullptr);
    auto fax = reader.Read(name, now);
    if (!fax || fax->status == StoredFax::Status::Broken ||
        fax->status == StoredFax::Status::Writing)
        return Fail(why, fax ? fax->problem : "no such stored fax");
    const OutboxLock lock(fax->folder);
    if (!lock.held()) return Fail(why, "it is being sent now");
    fax = reader.Read(name, now);
    if (!fax) return Fail(why, "no such stored fax");
    switch (StateOf(fax->state, false)) {
        case FaxState::Sent:
            return Fail(why, "it was sent");
        case FaxState::Sending:
        case FaxState::Unknown:
            return Fail(why, "it may have been sent");
        case FaxState::Held:
            return true;
        case FaxState::Waiting:
        case FaxState::Failed:
            break;
    }
    SendState state = fax->state;
    state.held = true;
    if (!WriteSendState(fax->folder, state))
        return Fail(why, std::string("cannot write its state: ") + std::strerror(errno));
    return true;
}

bool DeleteFax(const std::string& localFolders, const std::string& list, const std::string& name,
               std::time_t now, std::string* why) {
    if ((list != "outbox" && list != "sent") || !PlainName(name)) return Fail(why, "no such fax");
    const std::string folder = localFolders + list + "/" + name;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return Fail(why, "no such fax");
    // A sender holds it: it goes after the sender is done, not now.
    const OutboxLock lock(folder);
    if (!lock.held()) return Fail(why, "it is being sent now");
    std::string problem;
    const auto moved = MoveToSent(folder, name, localFolders + "deleted/", &problem);
    if (!moved) return Fail(why, problem);
    // The time of deletion, from which it is kept.
    const timespec times[2] = {{now, 0}, {now, 0}};
    (void)::utimensat(AT_FDCWD, moved->c_str(), times, AT_SYMLINK_NOFOLLOW);
    return true;
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

std::optional<std::string> SendAgain(const std::string& localFolders, const std::string& sentName,
                                     const Clock& clock, std::string* why) {
    auto fail = [why](std::string text) -> std::optional<std::string> {
        (void)Fail(why, std::move(text));
        return std::nullopt;
    };
    if (!PlainName(sentName)) return fail("no such sent fax");
    const std::string folder = localFolders + "sent/" + sentName + "/";
    std::string problem;
    std::ifstream in(folder + kMessageFileName, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const auto stored = OutboxMessage::Parse(bytes, &problem);
    if (!stored) return fail("its message file cannot be read: " + problem);
    if (stored->attachments.empty()) return fail("it names no document");
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
    if (message.documentPath.empty()) return fail("its document cannot be copied: " + document);
    std::string made;
    if (!SaveToOutbox(localFolders, "outbox", message, clock, kFaxGatewayDomain, &made)) {
        RemoveStaged(message.documentPath);
        return fail("it cannot be stored in the outbox");
    }
    return fs::path(made).filename().string();
}
