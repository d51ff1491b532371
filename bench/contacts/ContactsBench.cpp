// contacts_bench: an import of n vCard 3.0 cards (read, checked for
// duplicates against the book and saved), and one edited contact saved into
// a book of n contacts (lock, look for other writers' saves, write the file
// and flush it to the disk), at 1,000, 10,000 and 100,000 contacts, with the
// fitted growth exponent of each series.
//
//   contacts_bench [rounds] [largest]        (defaults 5 and 100000)
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "addrbook/contacts/ContactBook.h"
#include "addrbook/contacts/ContactImport.h"
#include "bench/support/Growth.h"

namespace fs = std::filesystem;

namespace {

// A card as desktop address books export them.
std::string Cards(int n) {
    std::string text;
    for (int i = 0; i < n; ++i) {
        const std::string s = std::to_string(i);
        text += "BEGIN:VCARD\r\nVERSION:3.0\r\nN:Example;Person" + s + ";;;\r\nFN:Person" + s +
                " Example\r\nORG:Example\\, Inc.;\r\nTEL;TYPE=WORK,FAX:+1 212 555 " + s +
                "\r\nTEL;TYPE=HOME,VOICE:+1 646 555 " + s + "\r\nEMAIL;TYPE=INTERNET:person" + s +
                "@example.com\r\nNOTE:met at the trade fair\\, call before noon\r\nEND:VCARD\r\n";
    }
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    const auto [rounds, largest] = bench::ReadArguments(argc, argv, 100000, 1000);
    const fs::path root =
        fs::temp_directory_path() / ("contacts-bench-" + std::to_string(::getpid()));
    bench::Series import("import of n vCards"), edit("one edit saved in a book of n");
    bool ok = true;
    for (int n = 1000; n <= largest; n *= 10) {
        const std::string cards = Cards(n);
        const fs::path dir = root / std::to_string(n);
        import.Add(n, bench::MedianSeconds(rounds, [&] {
                       fs::remove_all(dir);
        fs::create_directories(dir);
        ContactBook book(dir.string());
        ImportSummary summary;
        ok = book.Open() && book.Import(ContactImport::ReadVCards(cards), summary).ok() &&
             summary.added == n && ok;
    }));
    ContactBook book(dir.string());
    ok = book.Open() && book.book().size() == n && ok;
    int round = 0;
    edit.Add(n, bench::MedianSeconds(rounds, [&] {
                 const int index = (round++ * 7919) % n;
                 const Contact before = *book.book().At(index);
                 Contact after = before;
                 after.mail = "changed" + std::to_string(round) + "@example.com";
                 ok = book.Change(index, before, after).ok() && ok;
             }));
}
std::error_code ec;
fs::remove_all(root, ec);
if (!ok) {
    std::fprintf(stderr, "an import or a save failed\n");
    return 1;
}
std::printf("median of %d rounds\n", rounds);
import.Print();
edit.Print();
return 0;
}
