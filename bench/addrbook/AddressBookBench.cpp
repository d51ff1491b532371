// addrbook_bench: times AddressBook::Load and Save of a generated
// addrbook.ldif with 10,000 contacts, and a plain read of the same file into
// a string, and prints the medians and the load / plain-read ratio.
//
//   addrbook_bench [contacts] [rounds]        (defaults 10000 and 9)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "addrbook/AddressBook.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

template <class F>
double Seconds(F&& f) {
    const auto t0 = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// A contact with every field the product fills in, as the product writes it.
void WriteContact(std::ostream& out, int i) {
    const std::string n = std::to_string(i);
    const std::string name = "Person" + n + " Example";
    out << "dn: cn=" << name << ",mail=person" << n << "@example.com\r\n"
        << "cn: " << name << "\r\n"
        << "givenname: Person" << n << "\r\nsn: Example\r\n"
        << "mail: person" << n << "@example.com\r\n"
        << "homephone: +1 212 555 " << (1000 + i % 9000) << "\r\n"
        << "telephonenumber: +1 646 555 " << (1000 + i % 9000) << "\r\n"
        << "facsimiletelephonenumber: +1 212 555 " << (2000 + i % 8000) << "\r\n"
        << "cellphone: +1 917 555 " << (3000 + i % 7000) << "\r\n"
        << "xqrvnote: met at the trade fair, call before noon\r\n"
        << "xqrvuid: {" << (100000 + i) << "-BENCH}\r\n"
        << "xqrvchanged: no\r\n\r\n";
}

}  // namespace

int main(int argc, char** argv) {
    const int contacts = argc > 1 ? std::atoi(argv[1]) : 10000;
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 9;
    const fs::path dir =
        fs::temp_directory_path() / ("addrbook-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / AddressBook::kFileName;
    {
        std::ofstream out(file, std::ios::binary);
        for (int i = 0; i < contacts; ++i) WriteContact(out, i);
    }

    std::vector<double> plain, load, save;
    std::size_t bytes = 0;
    for (int r = 0; r < rounds; ++r) {
        plain.push_back(Seconds([&] {
            std::ifstream in(file, std::ios::binary);
            std::ostringstream s;
            s << in.rdbuf();
            bytes = s.str().size();
        }));
        AddressBook book;
        book.SetFolder(dir.string());
        bool loaded = false;
        load.push_back(Seconds([&] { loaded = book.Load(); }));
        if (!loaded || book.GetCount() != contacts) {
            std::fprintf(stderr, "load failed: %d contacts\n", book.GetCount());
            return 1;
        }
        bool saved = false;
        save.push_back(Seconds([&] { saved = book.Save(); }));
        if (!saved) {
            std::fprintf(stderr, "save failed\n");
            return 1;
        }
    }

    const double p = Median(plain), l = Median(load), s = Median(save);
    std::printf("addrbook.ldif: %d contacts, %.1f MiB, %d rounds, medians\n", contacts,
                static_cast<double>(bytes) / (1 << 20), rounds);
    std::printf("  plain read (ifstream)  %8.2f ms\n", p * 1e3);
    std::printf("  AddressBook::Load      %8.2f ms\n", l * 1e3);
    std::printf("  AddressBook::Save      %8.2f ms\n", s * 1e3);
    std::printf("  load / plain read: %.1fx\n", l / p);
    std::error_code ec;
    fs::remove_all(dir, ec);
    return 0;
}
