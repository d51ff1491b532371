#include "platform/relay_server/FormParts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <functional>

#include "base/UniqueFd.h"

namespace {

// Both kinds of body are read with a CR LF in front, so that the first
// delimiter looks like every other one.
class TextBody {
  public:
    explicit TextBody(const std::string& body) : text_("\r\n" + body) {}
    [[nodiscard]] std::uint64_t size() const { return text_.size(); }
    [[nodiscard]] std::string Read(std::uint64_t at, std::size_t n) const {
        return at < text_.size() ? text_.substr(at, n) : std::string();
    }
    [[nodiscard]] std::vector<std::uint64_t> FindAll(const std::string& delimiter) const {
        std::vector<std::uint64_t> found;
        for (std::size_t at = text_.find(delimiter); at != std::string::npos;
             at = text_.find(delimiter, at + 1))
            found.push_back(at);
        return found;
    }

  private:
    std::string text_;
};

class FileBody {
  public:
    explicit FileBody(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {
        struct stat st {};
        if (fd_.get() >= 0 && ::fstat(fd_.get(), &st) == 0 && S_ISREG(st.st_mode))
            size_ = static_cast<std::uint64_t>(st.st_size) + 2;
    }
    [[nodiscard]] std::uint64_t size() const { return size_; }

    // Up to n bytes from at; fewer at the end or on a read error.
    [[nodiscard]] std::string Read(std::uint64_t at, std::size_t n) const {
        std::string out;
        if (at >= size_) return out;
        n = static_cast<std::size_t>(std::min<std::uint64_t>(n, size_ - at));
        out.resize(n);
        std::size_t got = 0;
        for (; got < n && at + got < 2; ++got) out[got] = "\r\n"[at + got];
        while (got < n) {
            const ssize_t r =
                ::pread(fd_.get(), out.data() + got, n - got, static_cast<off_t>(at + got - 2));
            if (r <= 0) break;
            got += static_cast<std::size_t>(r);
        }
        out.resize(got);
        return out;
    }

    // Read a megabyte at a time, with the delimiter's length less one byte
    // carried over between pieces.
    [[nodiscard]] std::vector<std::uint64_t> FindAll(const std::string& delimiter) const {
        std::vector<std::uint64_t> found;
        const std::boyer_moore_horspool_searcher search(delimiter.begin(), delimiter.end());
        const std::size_t keep = delimiter.size() - 1;
        std::string window;  // carried bytes, then the new piece
        std::uint64_t windowAt = 0;
        for (std::uint64_t at = 0; at < size_;) {
            const std::string piece = Read(at, 1 << 20);
            if (piece.empty()) break;
            at += piece.size();
            window += piece;
            for (auto it = std::search(window.cbegin(), window.cend(), search); it != window.cend();
                 it = std::search(it + 1, window.cend(), search))
                found.push_back(windowAt + static_cast<std::uint64_t>(it - window.cbegin()));
            if (window.size() > keep) {
                windowAt += window.size() - keep;
                window.erase(0, window.size() - keep);
            }
        }
        return found;
    }

  private:
    UniqueFd fd_;
    std::uint64_t size_ = 0;
};

// The parts of a body, each with its content as the span [offset, offset +
// size) of the body as read (CR LF in front included).
template <class Body>
std::vector<FormPart> Frame(const Body& body, const std::string& boundary) {
    std::vector<FormPart> parts;
    if (boundary.empty()) return parts;
    const std::string delimiter = "\r\n--" + boundary;
    const std::vector<std::uint64_t> found = body.FindAll(delimiter);
    std::size_t i = 0;
    while (i < found.size()) {
        const std::uint64_t start = found[i] + delimiter.size();
        const std::string after = body.Read(start, 2);
        if (after == "--") break;    // closing delimiter
        if (after != "\r\n") break;  // not a delimiter line
        while (i < found.size() && found[i] < start) ++i;
        if (i == found.size()) break;
        const std::uint64_t from = start + 2, next = found[i];
        const std::uint64_t length = next - from;
        FormPart p;
        const std::string head = body.Read(
            from, static_cast<std::size_t>(std::min<std::uint64_t>(length, kMaxPartHeaders)));
        const std::size_t blank = head.find("\r\n\r\n");
        if (blank == std::string::npos) {
            if (length > kMaxPartHeaders) break;
            p.headers = head;
            p.offset = next;
        } else {
            p.headers = head.substr(0, blank + 2);
            p.offset = from + blank + 4;
            p.size = next - p.offset;
        }
        p.name = DispositionParam(p.headers, "name");
        p.filename = DispositionParam(p.headers, "filename");
        parts.push_back(std::move(p));
    }
    return parts;
}

}  // namespace

std::string DispositionParam(const std::string& headers, const std::string& key) {
    const std::string open = "; " + key + "=\"";
    const std::size_t at = headers.find(open);
    if (at == std::string::npos) return {};
    const std::size_t from = at + open.size();
    const std::size_t end = headers.find('"', from);
    if (end == std::string::npos) return {};
    return headers.substr(from, end - from);
}

std::vector<FormPart> ParseFormParts(const std::string& body, const std::string& boundary) {
    const TextBody text(body);
    std::vector<FormPart> parts = Frame(text, boundary);
    for (FormPart& p : parts) p.content = text.Read(p.offset, static_cast<std::size_t>(p.size));
    return parts;
}

std::vector<FormPart> ParseFormPartsInFile(const std::string& bodyFile,
                                           const std::string& boundary) {
    const FileBody body(bodyFile);
    if (body.size() == 0) return {};
    std::vector<FormPart> parts = Frame(body, boundary);
    for (std::size_t i = 0; i < parts.size(); ++i) {
        FormPart& p = parts[i];
        // The document or value is what comes before the CR LF that the
        // body puts in front of the next delimiter.
        if (p.size >= 2 && body.Read(p.offset + p.size - 2, 2) == "\r\n") p.size -= 2;
        if (p.filename.empty() && p.size > kMaxFieldValue) {
            parts.resize(i);
            break;
        }
        if (p.filename.empty()) p.content = body.Read(p.offset, static_cast<std::size_t>(p.size));
        p.offset -= 2;  // in the file, without the CR LF read in front
    }
    return parts;
}

bool CopyFileRange(const std::string& from, std::uint64_t offset, std::uint64_t size,
                   const std::string& to) {
    const UniqueFd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    const UniqueFd out(
        ::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (in.get() < 0 || out.get() < 0) return false;
    auto at = static_cast<off_t>(offset);
    while (size > 0) {
        const ssize_t n = ::copy_file_range(
            in.get(), &at, out.get(), nullptr,
            static_cast<std::size_t>(std::min<std::uint64_t>(size, std::uint64_t{1} << 30)), 0);
        if (n <= 0) return false;
        size -= static_cast<std::uint64_t>(n);
    }
    return ::fsync(out.get()) == 0;
}
