// addrbook_bench: AddressBook::Load against a plain read of the same file, and
// the address-book dialog (open, the slowest and the median typed letter of
// the search, close), at 1,000, 10,000 and 100,000 contacts, with the fitted
// growth exponent of each series. "first open" is the process's first dialog,
// on the largest book.
//
//   addrbook_bench [rounds] [largest]        (defaults 5 and 100000)
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "addrbook/AddressBook.h"
#include "addrbook/CAddressBookDlg.h"
#include "app/MessageBoxService.h"
#include "bench/support/Growth.h"
#include "wizard/FaxJob.h"

namespace fs = std::filesystem;

namespace {

class SilentBoxes final : public MessageBoxService {
  public:
    MbResult Show(const std::string&, const std::string&, MbButtons, MbIcon) override {
        return MbResult::Ok;
    }
};

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

fs::path WriteBook(const fs::path& root, int contacts) {
    fs::path dir = root / std::to_string(contacts);
    fs::create_directories(dir);
    std::ofstream out(dir / AddressBook::kFileName, std::ios::binary);
    for (int i = 0; i < contacts; ++i) WriteContact(out, i);
    return dir;
}

struct DialogTimes {
    double open = 0, slowest = 0, letter = 0, close = 0;
};

// Opens the dialog on the book in dir (until it is painted), types the name
// of its last contact into the search letter by letter and closes it.
DialogTimes Dialog(const fs::path& dir, int contacts) {
    SilentBoxes boxes;
    FaxJob job;
    job.faxNumbersAllowed = 1;
    DialogTimes t;
    std::unique_ptr<CAddressBookDlg> dialog;
    t.open = bench::Seconds([&] {
        dialog = std::make_unique<CAddressBookDlg>(job, dir.string(), boxes);
        dialog->show();
        QApplication::processEvents();
    });
    std::vector<double> letters;
    const QString typed = QStringLiteral("Person%1 Example").arg(contacts - 1);
    for (int i = 1; i <= typed.size(); ++i)
        letters.push_back(bench::Seconds([&] {
            dialog->searchEdit()->setText(typed.left(i));
            QApplication::processEvents();
        }));
    t.slowest = *std::max_element(letters.begin(), letters.end());
    t.letter = bench::Median(letters);
    t.close = bench::Seconds([&] {
        dialog->hide();
        dialog.reset();
        QApplication::processEvents();
    });
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto [rounds, largest] = bench::ReadArguments(argc, argv, 100000, 1000);
    const fs::path root =
        fs::temp_directory_path() / ("addrbook-bench-" + std::to_string(::getpid()));
    std::vector<std::pair<int, fs::path>> books;
    for (int n = 1000; n <= largest; n *= 10) books.emplace_back(n, WriteBook(root, n));

    const DialogTimes first = Dialog(books.back().second, books.back().first);
    bench::Series plain("plain read into a string"), load("AddressBook::Load"), open("dialog open"),
        slowestLetter("dialog search, slowest letter"), letter("dialog search, one letter"),
        close("dialog close");
    for (const auto& book : books) {
        const int n = book.first;
        const fs::path& dir = book.second;
        const fs::path file = dir / AddressBook::kFileName;
        plain.Add(n, bench::MedianSeconds(rounds, [&] {
                      std::ifstream in(file, std::ios::binary);
                      std::string text(fs::file_size(file), '\0');
                      in.read(text.data(), static_cast<std::streamsize>(text.size()));
                  }));
        bool loaded = true;
        load.Add(n, bench::MedianSeconds(rounds, [&] {
                     AddressBook book;
                     book.SetFolder(dir.string());
                     loaded = loaded && book.Load() && book.GetCount() == n;
                 }));
        if (!loaded) {
            std::fprintf(stderr, "load failed at %d contacts\n", n);
            return 1;
        }
        std::vector<double> opens, slowests, letters, closes;
        for (int r = 0; r < rounds; ++r) {
            const DialogTimes t = Dialog(dir, n);
            opens.push_back(t.open);
            slowests.push_back(t.slowest);
            letters.push_back(t.letter);
            closes.push_back(t.close);
        }
        open.Add(n, bench::Median(opens));
        slowestLetter.Add(n, bench::Median(slowests));
        letter.Add(n, bench::Median(letters));
        close.Add(n, bench::Median(closes));
    }
    std::printf("median of %d rounds; first open (%d contacts): %.2f ms\n", rounds,
                books.back().first, first.open * 1e3);
    for (const bench::Series* s : {&plain, &load, &open, &slowestLetter, &letter, &close})
        s->Print();
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
