// addrbook_bench: the address book at 1,000 to 1,000,000 contacts, each
// series against its reference from the same run, with the fitted growth
// exponent:
//   search   - the name index, for the worst letter (no name begins with it)
//              and the median of the single letters, against the linear scan
//              of the folded names that it replaced;
//   load     - AddressBook::Load against one read(2) loop of the whole file
//              into one buffer;
//   dialog   - the address-book dialog: until it is shown, until every
//              contact is in, and the longest gap between two turns of the
//              event loop while it fills, against the same plain read.
//
//   addrbook_bench [rounds] [largest]        (defaults 3 and 1000000)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "addrbook/AddressBook.h"
#include "addrbook/NameIndex.h"
#include "addrbook/ui/CAddressBookDlg.h"
#include "addrbook/ui/ContactListModel.h"
#include "app/core/MessageBoxService.h"
#include "bench/support/EventLoopGap.h"
#include "bench/support/Growth.h"
#include "wizard/job/FaxJob.h"

namespace fs = std::filesystem;

namespace {

class SilentBoxes final : public MessageBoxService {
  public:
    MbResult Show(const std::string&, const std::string&, MbButtons, MbIcon) override {
        return MbResult::Ok;
    }
};

// Names begin with a..y, never z: "z" is the letter no name begins with.
std::string NameOf(int i) {
    static const char* const kSyllables[] = {"an", "be", "co", "da", "el", "fi", "go", "ha", "is",
                                             "jo", "ka", "lu", "ma", "ne", "ol", "pa", "qu", "ri",
                                             "sa", "to", "ul", "ve", "wi", "xa", "yo"};
    unsigned x = static_cast<unsigned>(i) * 2654435761u;
    std::string name = kSyllables[x % 25];
    name[0] = static_cast<char>(name[0] - 'a' + 'A');
    name += kSyllables[(x >> 8) % 25];
    name += kSyllables[(x >> 16) % 25];
    return name + " Example" + std::to_string(i);
}

// A contact with every field the product fills in, as the product writes it.
void WriteContact(std::ostream& out, int i) {
    const std::string n = std::to_string(i);
    const std::string name = NameOf(i);
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

// The plain read: one buffer the file's size, filled by a read(2) loop.
bool PlainRead(const fs::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool ok = ::fstat(fd, &info) == 0;
    const auto size = static_cast<std::size_t>(info.st_size);
    std::unique_ptr<char[]> buffer(new char[size]);  // left unfilled, as read fills it
    std::size_t got = 0;
    while (ok && got < size) {
        const ssize_t n = ::read(fd, buffer.get() + got, size - got);
        if (n <= 0) ok = n == 0;
        if (n <= 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    return ok && got == size;
}

// The search before the name index: every name folded and compared from the
// top, as on the first letter typed into a freshly opened dialog.
int LinearScan(const AddressBook& book, const QString& text) {
    const std::string wanted = text.toCaseFolded().toStdString();
    for (int row = 0; row < book.size(); ++row)
        if (FoldName(book.GetField(row, 0)).starts_with(wanted)) return row;
    return -1;
}

struct DialogTimes {
    double shown = 0, filled = 0, gap = 0;
    bool complete = false;
};

// Makes and shows the dialog on the book in dir, then lets the event loop
// run until every contact is in, minding the longest gap between its turns.
DialogTimes Dialog(const fs::path& dir, int contacts) {
    SilentBoxes boxes;
    FaxJob job;
    job.faxNumbersAllowed = 1;
    DialogTimes t;
    std::unique_ptr<CAddressBookDlg> dialog;
    QElapsedTimer clock;
    clock.start();
    dialog = std::make_unique<CAddressBookDlg>(job, dir.string(), boxes);
    dialog->show();
    QApplication::processEvents();
    t.shown = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    bench::EventLoopGap gap;
    gap.Start();
    while (dialog->loading()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    gap.Stop();
    t.filled = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    t.gap = gap.LongestSeconds();
    t.complete = dialog->contactsList()->model()->rowCount() == contacts;
    dialog.reset();
    QApplication::processEvents();
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    bench::Arguments args = bench::ReadArguments(argc, argv, 1000000, 1000);
    if (argc <= 1) args.rounds = 3;
    const auto [rounds, largest] = args;
    const fs::path root =
        fs::temp_directory_path() / ("addrbook-bench-" + std::to_string(::getpid()));
    std::error_code ec;
    bench::Series plain("plain read(2) of the file"), load("AddressBook::Load"),
        scanWorst("old linear scan, worst letter"), worst("name index, worst letter"),
        scanMedian("old linear scan, median letter"), median("name index, median letter"),
        shown("dialog shown"), filled("dialog filled"), gap("longest event-loop gap");
    for (int n = 1000; n <= largest; n *= 10) {
        const fs::path dir = WriteBook(root, n);
        const fs::path file = dir / AddressBook::kFileName;
        bool ok = true;
        plain.Add(n, bench::MedianSeconds(rounds, [&] { ok = PlainRead(file) && ok; }));
        load.Add(n, bench::MedianSeconds(rounds, [&] {
                     AddressBook book;
                     book.SetFolder(dir.string());
                     ok = book.Load() && book.GetCount() == n && ok;
                 }));

        AddressBook book;
        book.SetFolder(dir.string());
        ok = book.Load() && ok;
        ContactListModel model(book);
        (void)model.FindNamePrefix(QStringLiteral("a"));  // the index is made
        const QString z = QStringLiteral("z");
        worst.Add(
            n, bench::MedianSeconds(rounds * 10, [&] { ok = model.FindNamePrefix(z) < 0 && ok; }));
        scanWorst.Add(n, bench::MedianSeconds(rounds, [&] { ok = LinearScan(book, z) < 0 && ok; }));
        std::vector<double> ours, theirs;
        for (char c = 'a'; c <= 'z'; ++c) {
            const QString letter(QChar::fromLatin1(c));
            int found = -2;
            ours.push_back(
                bench::MedianSeconds(rounds * 10, [&] { found = model.FindNamePrefix(letter); }));
            theirs.push_back(
                bench::MedianSeconds(1, [&] { ok = LinearScan(book, letter) == found && ok; }));
        }
        median.Add(n, bench::Median(ours));
        scanMedian.Add(n, bench::Median(theirs));

        std::vector<double> shownTimes, filledTimes, gaps;
        for (int r = 0; r < rounds; ++r) {
            const DialogTimes t = Dialog(dir, n);
            ok = t.complete && ok;
            shownTimes.push_back(t.shown);
            filledTimes.push_back(t.filled);
            gaps.push_back(t.gap);
        }
        shown.Add(n, bench::Median(shownTimes));
        filled.Add(n, bench::Median(filledTimes));
        gap.Add(n, bench::Median(gaps));
        fs::remove_all(dir, ec);
        if (!ok) {
            std::fprintf(stderr, "wrong result at %d contacts\n", n);
            fs::remove_all(root, ec);
            return 1;
        }
    }
    std::printf("median of %d rounds (searches: of %d)\n", rounds, rounds * 10);
    std::printf("search\n");
    for (const bench::Series* s : {&scanWorst, &worst, &scanMedian, &median}) s->Print(true);
    std::printf("load\n");
    for (const bench::Series* s : {&plain, &load}) s->Print();
    std::printf("dialog (reference: the plain read above)\n");
    for (const bench::Series* s : {&shown, &filled, &gap}) s->Print();
    fs::remove_all(root, ec);
    return 0;
}
