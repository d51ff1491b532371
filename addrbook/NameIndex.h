#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

// The case-folded UTF-8 of a contact's name, as the name search compares it.
[[nodiscard]] std::string FoldName(std::string_view name);

// Contacts' folded names sorted, so that the first row whose name begins
// with a text is found by binary search. Rows are added in runs of
// consecutive rows (as a book arrives); each run is sorted on its own and
// Merged() makes one run of all. Copies share the names' memory, which
// never changes once added, so a copy may be handed to another thread.
class NameIndex {
  public:
    // Adds the rows first, first + 1, ... with these folded names as one run.
    void Add(int first, const std::vector<std::string>& folded);
    // Adds the runs of other (rows after this index's own).
    void Append(NameIndex&& other);
    // The same rows as one sorted run; an empty index when stopped says so
    // before it is done.
    [[nodiscard]] NameIndex Merged(const std::function<bool()>& stopped = {}) const;

    // The first row, from the top, whose folded name begins with folded
    // (every row for empty text), among the rows below limit; -1 for none.
    [[nodiscard]] int Find(std::string_view folded, int limit = INT32_MAX) const;
    // Rows indexed.
    [[nodiscard]] int size() const { return rows_; }
    [[nodiscard]] int runs() const { return static_cast<int>(runs_.size()); }

  private:
    struct Key {
        std::string_view name;
        std::int32_t row;
    };
    // Keys sorted by name, then row, with the least row of every stretch
    // (a minimum tree over the keys' rows: leaves at size..2*size).
    struct Run {
        std::vector<Key> keys;
        std::vector<std::int32_t> least;
        void Build();
        [[nodiscard]] std::int32_t Least(std::size_t from, std::size_t to) const;
    };

    std::vector<std::shared_ptr<const std::string>> names_;  // where keys point
    std::vector<Run> runs_;
    int rows_ = 0;
};
