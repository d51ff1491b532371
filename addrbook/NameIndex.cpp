#include "addrbook/NameIndex.h"

#include <QString>

#include <algorithm>
#include <iterator>

std::string FoldName(std::string_view name) {
    std::string folded(name);
    for (char& c : folded) {
        // Names beyond ASCII fold by Unicode's rules; the rest (the most)
        // without the round trip through QString.
        if (static_cast<unsigned char>(c) >= 0x80)
            return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))
                .toCaseFolded()
                .toStdString();
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return folded;
}

namespace {

// Byte order (as unsigned bytes): UTF-8 then keeps the names that begin
// with a text together.
bool Before(std::string_view a, std::int32_t ra, std::string_view b, std::int32_t rb) {
    const int c = a.compare(b);
    return c != 0 ? c < 0 : ra < rb;
}

}  // namespace

void NameIndex::Run::Build() {
    const std::size_t n = keys.size();
    least.assign(2 * n, INT32_MAX);
    for (std::size_t i = 0; i < n; ++i) least[n + i] = keys[i].row;
    for (std::size_t i = n; i-- > 1;) least[i] = std::min(least[2 * i], least[2 * i + 1]);
}

std::int32_t NameIndex::Run::Least(std::size_t from, std::size_t to) const {
    std::int32_t best = INT32_MAX;
    const std::size_t n = keys.size();
    for (from += n, to += n; from < to; from /= 2, to /= 2) {
        if (from & 1) best = std::min(best, least[from++]);
        if (to & 1) best = std::min(best, least[--to]);
    }
    return best;
}

void NameIndex::Add(int first, const std::vector<std::string>& folded) {
    if (folded.empty()) return;
    std::string all;
    std::size_t total = 0;
    for (const std::string& s : folded) total += s.size();
    all.reserve(total);
    for (const std::string& s : folded) all += s;
    auto owned = std::make_shared<const std::string>(std::move(all));
    Run run;
    run.keys.reserve(folded.size());
    std::size_t at = 0;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        run.keys.push_back(Key{std::string_view(*owned).substr(at, folded[i].size()),
                               static_cast<std::int32_t>(first + static_cast<int>(i))});
        at += folded[i].size();
    }
    std::sort(run.keys.begin(), run.keys.end(),
              [](const Key& a, const Key& b) { return Before(a.name, a.row, b.name, b.row); });
    run.Build();
    names_.push_back(std::move(owned));
    runs_.push_back(std::move(run));
    rows_ += static_cast<int>(folded.size());
}

void NameIndex::Append(NameIndex&& other) {
    std::move(other.names_.begin(), other.names_.end(), std::back_inserter(names_));
    std::move(other.runs_.begin(), other.runs_.end(), std::back_inserter(runs_));
    rows_ += other.rows_;
    other = NameIndex();
}

NameIndex NameIndex::Merged(const std::function<bool()>& stopped) const {
    NameIndex merged;
    merged.names_ = names_;
    merged.rows_ = rows_;
    if (runs_.empty()) return merged;
    // Neighbours merged pairwise, round by round: each key moves once a
    // round, and there are as many rounds as the runs' count has bits.
    std::vector<std::vector<Key>> level;
    for (const Run& r : runs_) level.push_back(r.keys);
    auto before = [](const Key& a, const Key& b) { return Before(a.name, a.row, b.name, b.row); };
    while (level.size() > 1) {
        if (stopped && stopped()) return {};
        std::vector<std::vector<Key>> next;
        for (std::size_t i = 0; i + 1 < level.size(); i += 2) {
            std::vector<Key> both;
            both.reserve(level[i].size() + level[i + 1].size());
            std::merge(level[i].begin(), level[i].end(), level[i + 1].begin(), level[i + 1].end(),
                       std::back_inserter(both), before);
            next.push_back(std::move(both));
        }
        if (level.size() % 2 != 0) next.push_back(std::move(level.back()));
        level = std::move(next);
    }
    Run run;
    run.keys = std::move(level.front());
    run.Build();
    merged.runs_.push_back(std::move(run));
    return merged;
}

int NameIndex::Find(std::string_view folded, int limit) const {
    // Runs hold consecutive rows in order: the first run with a match has
    // the first row.
    for (const Run& run : runs_) {
        const auto from = std::partition_point(run.keys.begin(), run.keys.end(), [&](const Key& k) {
            return k.name.compare(folded) < 0;
        });
        const auto to = std::partition_point(
            from, run.keys.end(), [&](const Key& k) { return k.name.starts_with(folded); });
        if (from == to) continue;
        const std::int32_t row = run.Least(static_cast<std::size_t>(from - run.keys.begin()),
                                           static_cast<std::size_t>(to - run.keys.begin()));
        return row < limit ? row : -1;
    }
    return -1;
}
