#include "transport/RelayMessage.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

#include "base/Text.h"
#include "base/UniqueFd.h"

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

constexpr std::string_view kCrLf = "\r\n";

std::string Upper(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

// A value with a line break of its own could end its part early and forge
// fields or mail headers at the relay; each CR and LF becomes a blank.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::replace(text.begin(), text.end(), '\n', ' ');
    return text;
}

// A file name goes inside a quoted parameter: quote and line breaks are
// escaped as form-submitting browsers do.
std::string QuotedFileName(const std::string& name) {
    std::string out;
    out.reserve(name.size());
    for (char c : name) {
        if (c == '"')
            out += "%22";
        else if (c == '\r')
            out += "%0D";
        else if (c == '\n')
            out += "%0A";
        else
            out += c;
    }
    return out;
}

// Writes the body file and remembers the first failure; later writes still
// run so the layout stays whole where the disk allows.
class BodyWriter {
  public:
    explicit BodyWriter(std::FILE* file) : file_(file) {}

    void Put(std::string_view bytes) {
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size())
            ok_ = false;
    }

    void Delimiter() {
        if (!first_) Put(kCrLf);
        first_ = false;
        Put(delimiter_);
        Put(kCrLf);
    }

    // Copies a file's bytes unchanged. False when it cannot be read in full
    // or holds the delimiter (a parser would cut the document there). Each
    // chunk is searched where it lies; only the delimiter's length less one
    // byte is carried over to find a delimiter split between two chunks.
    bool CopyFile(const std::string& path) {
        File in(std::fopen(path.c_str(), "rb"));
        if (!in) return false;
        const std::size_t keep = delimiter_.size() - 1;
        std::string seam;  // end of the last chunk, then the start of the next
        bool clean = true;
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), in.get());
            if (n == 0) break;
            Put(std::string_view(buffer.data(), n));
            if (!clean) continue;
            seam.append(buffer.data(), std::min(n, keep));
            if (Holds(seam) || Holds(std::string_view(buffer.data(), n))) clean = false;
            // What the next chunk's seam begins with.
            if (n >= keep)
                seam.assign(buffer.data() + n - keep, keep);
            else if (seam.size() > keep)
                seam.erase(0, seam.size() - keep);
        }
        return clean && !std::ferror(in.get());
    }

    void Finish() {
        Put(kCrLf);
        Put(delimiter_);
        Put("--");
        Put(kCrLf);
    }

    [[nodiscard]] bool ok() const { return ok_; }

  private:
    [[nodiscard]] bool Holds(std::string_view bytes) const {
        return std::search(bytes.begin(), bytes.end(), searcher_) != bytes.end();
    }

    std::FILE* file_;
    const std::string delimiter_ = std::string("--") + kRelayBoundary;
    // Skips ahead by up to the delimiter's length, so text full of dashes
    // is not compared byte by byte.
    const std::boyer_moore_horspool_searcher<std::string::const_iterator> searcher_{
        delimiter_.begin(), delimiter_.end()};
    bool first_ = true;
    bool ok_ = true;
};

void SingleField(BodyWriter& w, const char* name, const std::string& value) {
    w.Delimiter();
    w.Put("Content-Disposition: form-data; name=\"");
    w.Put(name);
    w.Put("\"\r\n\r\n");
    w.Put(OneLine(value));
    w.Put(kCrLf);
}

void ListField(BodyWriter& w, const char* name, const std::vector<std::string>& values) {
    w.Delimiter();
    w.Put("Content-Disposition: form-data; name=\"");
    w.Put(name);
    w.Put("\"\r\n");
    for (const auto& v : values) {
        if (v.empty()) continue;
        w.Put(kCrLf);
        w.Put(OneLine(v));
        w.Put(kCrLf);
    }
}

}  // namespace

std::string MimeTypeForPath(const std::string& path) {
    struct Rule {
        const char* contains;
        const char* type;
    };
    static constexpr Rule kRules[] = {
        {".HTM", "text/html"},
        {".HTML", "text/html"},
        {".WAV", "audio/wav"},
        {".AU", "audio/wav"},
        {".SND", "audio/basic"},
        {".AIF", "audio/aiff"},
        {".RA", "audio/vnd.rn-realaudio"},
        {".TIF", "image/tiff"},
        {".GIF", "image/gif"},
        {".JPG", "image/jpeg"},
        {".AVI", "video/avi"},
        {".RTF", "text/rtf"},
        {".TXT", "text/plain"},
    };
    const std::string upper = Upper(path);
    for (const auto& rule : kRules)
        if (upper.find(rule.contains) != std::string::npos) return rule.type;
    return "application/octet-stream";
}

MessageAttachment::MessageAttachment(std::string filePath)
    : contentType(MimeTypeForPath(filePath)), path(std::move(filePath)) {}

std::string MessageAttachment::FileName() const {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void RelayMessage::AddAttachment(const std::string& path) {
    auto attachment = std::make_unique<MessageAttachment>(path);
    if (Lower(path).find(".wav") != std::string::npos)
        attachments.push_front(std::move(attachment));
    else
        attachments.push_back(std::move(attachment));
}

const char* RelayMessage::FieldHoldingBoundary() const {
    auto holds = [](const std::string& text) {
        return text.find(kRelayBoundary) != std::string::npos;
    };
    auto anyHolds = [&holds](const std::vector<std::string>& list) {
        return std::any_of(list.begin(), list.end(), holds);
    };
    if (holds(formData)) return "headers";
    if (anyHolds(extraHeaders)) return "headers";
    if (anyHolds(bodyLines) || holds(bodyContentType)) return "body";
    if (holds(subject)) return "subject";
    if (holds(from)) return "from";
    if (anyHolds(to)) return "to";
    if (anyHolds(cc)) return "cc";
    if (anyHolds(bcc)) return "bcc";
    for (const auto& a : attachments)
        if (holds(a->FileName()) || holds(a->contentType)) return "file name";
    return nullptr;
}

bool RelayMessage::WriteBody(const std::string& filePath) const {
    File file(std::fopen(filePath.c_str(), "wb"));
    return file && WriteInto(file.release());
}

bool RelayMessage::WriteBodyTo(int fd) const {
    UniqueFd owned(fd);
    File file(::fdopen(owned.get(), "wb"));
    if (!file) return false;
    (void)owned.release();  // the stream closes it now
    return WriteInto(file.release());
}

bool RelayMessage::WriteInto(std::FILE* opened) const {
    std::vector<char> buffer(64 * 1024);  // outlives the file it buffers
    File file(opened);
    std::setvbuf(file.get(), buffer.data(), _IOFBF, buffer.size());

    BodyWriter w(file.get());
    bool attachmentsWhole = true;

    int i = 0;
    for (const auto& a : attachments) {
        ++i;
        w.Delimiter();
        w.Put("Content-Disposition: form-data; name=\"attach" + std::to_string(i) +
              "\"; filename=\"" + QuotedFileName(a->FileName()) + "\"\r\n");
        w.Put("Content-Type: " + OneLine(a->contentType) + "\r\n\r\n");
        if (!w.CopyFile(a->path)) attachmentsWhole = false;
        w.Put(kCrLf);
    }

    SingleField(w, "headers", formData);

    i = 0;
    for (const auto& header : extraHeaders) {
        if (header.empty()) continue;
        ++i;
        w.Delimiter();
        w.Put("Content-Disposition: form-data; name=\"headers" + std::to_string(i) + "\"\r\n\r\n");
        w.Put(OneLine(header));
        w.Put(kCrLf);
    }

    w.Delimiter();
    w.Put("Content-Disposition: form-data; name=\"body\"\r\n");
    w.Put("Content-Type: " + OneLine(bodyContentType) + "\r\n");
    for (const auto& line : bodyLines) {
        if (line.empty()) continue;
        w.Put(kCrLf);
        w.Put(OneLine(line));
        w.Put(kCrLf);
    }

    SingleField(w, "subject", subject);
    SingleField(w, "from", from);
    ListField(w, "to", to);
    ListField(w, "cc", cc);
    ListField(w, "bcc", bcc);
    w.Finish();

    const bool written = w.ok() && std::fflush(file.get()) == 0 && !std::ferror(file.get());
    const bool closed = std::fclose(file.release()) == 0;
    return written && closed && attachmentsWhole;
}
