#include "imaging/IniFile.h"

#include <fstream>

#include "base/Text.h"

namespace {

constexpr std::size_t kMaxProfileSize = 1 << 20;

}  // namespace

std::optional<std::string> ReadProfileString(const std::string& path, const std::string& section,
                                             const std::string& key) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::string content;
    content.resize(kMaxProfileSize + 1);
    in.read(content.data(), static_cast<std::streamsize>(content.size()));
    const auto got = static_cast<std::size_t>(in.gcount());
    if (got > kMaxProfileSize) return std::nullopt;
    content.resize(got);
    if (content.rfind("\xEF\xBB\xBF", 0) == 0) content.erase(0, 3);

    bool inSection = false;
    std::size_t start = 0;
    while (start <= content.size()) {
        std::size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        const std::string_view line = Trim(std::string_view(content).substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            inSection = close != std::string::npos &&
                        EqualsNoCase(Trim(line.substr(1, close - 1)), section);
            continue;
        }
        if (!inSection) continue;
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos || !EqualsNoCase(Trim(line.substr(0, equals)), key))
            continue;
        std::string_view value = Trim(line.substr(equals + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return std::string(value);
    }
    return std::nullopt;
}
