#include "wizard/Outbox.h"

#include <ctime>
#include <filesystem>
#include <limits>
#include <system_error>

#include "wizard/FileReplace.h"
#include "wizard/OutboxMessage.h"

namespace fs = std::filesystem;

namespace {

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name that can be created inside the message folder and written on one
// line of the message file.
std::string StoredName(std::string name) {
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20) c = '_';
    return name;
}

// Makes a new folder below outbox for the time now, or for the next free
// second; the folder's name, or the empty text when none could be made.
std::string MakeMessageFolder(const std::string& outbox, std::time_t now, std::string& dir) {
    std::error_code ec;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        dir = std::to_string(static_cast<long long>(now) + attempt);
        const std::string folder = outbox + dir;
        if (fs::create_directory(folder, ec)) return folder;
        std::error_code probe;
        if (ec && !fs::exists(folder, probe)) return {};
    }
    return {};
}

// Sum of the lengths of the plain files in folder (32 bits, as stored).
std::int32_t FolderSize(const std::string& folder) {
    std::uint64_t total = 0;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code entryError;
        if (it->is_directory(entryError)) continue;
        const auto length = it->file_size(entryError);
        if (!entryError) total += length;
    }
    constexpr std::uint64_t kMax = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(total > kMax ? kMax : total);
}

}  // namespace

std::string StageAttachment(const std::string& localFolders, const std::string& attachedPath) {
    const std::string outbox = localFolders + "outbox/";
    const std::string name = FileNameOf(attachedPath);
    if (name.empty() || name == "." || name == "..") return {};
    std::error_code ec;
    fs::create_directories(outbox, ec);
    const std::string copy = outbox + name;
    if (!CopyFileReplacing(attachedPath, copy)) return {};
    return copy;
}

bool SaveToOutbox(const std::string& localFolders, const std::string& folderName,
                  const FaxMessage& message, const Clock& clock, std::string_view gatewayDomain,
                  std::string* storedFolder) {
    OutboxMessage record;
    record.from = message.from;
    record.to = FaxNumbersToAddresses(message.to, gatewayDomain);
    record.cc = message.cc;
    record.bcc = message.bcc;
    record.subject = message.subject;
    record.body = message.body;

    const std::time_t now = clock.Now();
    std::tm local{};
    if (!localtime_r(&now, &local)) return false;
    record.year = local.tm_year + 1900;
    record.month = local.tm_mon + 1;
    record.day = local.tm_mday;
    record.hour = local.tm_hour;
    record.minute = local.tm_min;
    record.second = local.tm_sec;
    record.msgtype = 1;
    // A header that cannot be stored fails before anything is made on disk.
    if (!record.Render()) return false;

    const std::string outbox = localFolders + folderName + "/";
    std::error_code ec;
    fs::create_directories(outbox, ec);
    const std::string folder = MakeMessageFolder(outbox, now, record.dir);
    if (folder.empty()) return false;

    // Until the message is complete, a failure removes the folder again and
    // the document stays where it was.
    bool complete = false;
    struct Cleanup {
        const std::string& folder;
        const bool& complete;
        ~Cleanup() {
            std::error_code ignored;
            if (!complete) fs::remove_all(folder, ignored);
        }
    } cleanup{folder, complete};

    const std::string& document = message.documentPath;
    const std::string name = FileNameOf(document);
    const bool hasDocument = !name.empty() && name != "." && name != "..";
    if (hasDocument) {
        const std::string target = folder + "/" + StoredName(name);
        if (!CopyFileReplacing(document, target)) return false;
        record.attachments.push_back(target);
    }

    const std::string messageFile = folder + "/msg.qvm";
    if (!record.WriteMessageFile(messageFile)) return false;
    // The size covers the document and the message file as first written.
    record.size = FolderSize(folder);
    if (!record.WriteMessageFile(messageFile)) return false;

    complete = true;
    if (hasDocument) (void)fs::remove(document, ec);
    if (storedFolder) *storedFolder = folder;
    return true;
}
