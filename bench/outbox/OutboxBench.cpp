// outbox_bench: the outbox window against a plain listing of its folders
// (opendir/readdir of outbox/ and sent/ and a read(2) of each msg.qvm), at
// 100, 1,000 and 10,000 sent faxes with a tenth as many stored: the first
// screen shown, every fax listed, the page counts filled in, and the slowest
// and median typed letter of a search, with the fitted growth exponent of
// each series.
//
//   outbox_bench [rounds] [largest]        (defaults 3 and 10000)
#include <dirent.h>
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <QApplication>
#include <QLineEdit>
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/core/Clock.h"
#include "bench/support/Growth.h"
#include "wizard/job/OutboxMessage.h"
#include "wizard/outbox/ui/OutboxWindow.h"

namespace fs = std::filesystem;

namespace {

// A one-page G4 TIFF, the document of every fax.
std::string TiffBytes(const fs::path& scratch) {
    const std::string path = (scratch / "page.tif").string();
    TIFF* t = TIFFOpen(path.c_str(), "w");
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, 1728);
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, 64);
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, 1);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
    TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, 64);
    std::vector<unsigned char> row(1728 / 8, 0);
    for (int y = 0; y < 64; ++y) TIFFWriteScanline(t, row.data(), static_cast<unsigned>(y), 0);
    TIFFClose(t);
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteFax(const fs::path& folder, int i, const std::string& tiff) {
    fs::create_directories(folder);
    const std::string doc = "offer" + std::to_string(i) + ".tif";
    std::ofstream((folder / doc).string(), std::ios::binary) << tiff;
    OutboxMessage m;
    m.from = "jane@example.com";
    m.to = std::to_string(5550000 + i) + "@fax.corvinaport.net, \"Person" + std::to_string(i) +
           " Example\" <person" + std::to_string(i) + "@example.com>";
    m.subject = "Offer " + std::to_string(i);
    m.dir = folder.filename().string();
    m.msgtype = 1;
    m.attachments.push_back((folder / doc).string());
    (void)m.WriteMessageFile((folder / "msg.qvm").string());
    std::ofstream((folder / "send.state").string())
        << "attempts: 1\nlast-attempt: " << (1700000000 + i) << "\naccepted: 1\n";
}

fs::path MakeFolders(const fs::path& root, int sent, const std::string& tiff) {
    fs::path local = root / std::to_string(sent);
    for (int i = 0; i < sent; ++i)
        WriteFax(local / "sent" / std::to_string(1600000000 + i * 60), i, tiff);
    for (int i = 0; i < sent / 10; ++i)
        WriteFax(local / "outbox" / std::to_string(1700000000 + i * 60), sent + i, tiff);
    // Stored faxes are waiting, not accepted.
    for (const auto& e : fs::directory_iterator(local / "outbox"))
        std::ofstream((e.path() / "send.state").string()) << "attempts: 0\n";
    return local;
}

// What any listing has to do at least.
std::size_t PlainListing(const fs::path& local) {
    std::size_t bytes = 0;
    std::vector<char> buffer(64 * 1024);
    for (const char* list : {"outbox", "sent"}) {
        const std::string dir = (local / list).string();
        DIR* d = ::opendir(dir.c_str());
        if (!d) continue;
        while (const dirent* e = ::readdir(d)) {
            if (e->d_name[0] == '.') continue;
            const std::string msg = dir + "/" + e->d_name + "/msg.qvm";
            const int fd = ::open(msg.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) continue;
            ssize_t n;
            while ((n = ::read(fd, buffer.data(), buffer.size())) > 0) bytes += n;
            ::close(fd);
        }
        ::closedir(d);
    }
    return bytes;
}

template <class Done>
void Pump(Done done) {
    while (!done()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

struct WindowTimes {
    double first = 0, listed = 0, pages = 0, slowest = 0, letter = 0;
};

WindowTimes Window(const fs::path& local) {
    OutboxWindowOptions o;
    o.localFolders = local.string() + "/";
    o.outboxCommand = QStringLiteral("/bin/false");
    o.clock = &DefaultClock();
    WindowTimes t;
    const auto start = bench::Steady::now();
    auto since = [&start] {
        return std::chrono::duration<double>(bench::Steady::now() - start).count();
    };
    bool first = false, listed = false;
    auto w = std::make_unique<OutboxWindow>(o);
    QObject::connect(w.get(), &OutboxWindow::firstScreen, [&] { first = true; });
    QObject::connect(w.get(), &OutboxWindow::loaded, [&] { listed = true; });
    w->show();
    Pump([&] { return first; });
    QApplication::processEvents();  // painted
    t.first = since();
    Pump([&] { return listed; });
    t.listed = since();
    Pump([&] { return !w->loading(); });
    t.pages = since();

    // A recipient's name typed letter by letter, each shown.
    std::vector<double> letters;
    const QString name = QStringLiteral("person7 example");
    for (int i = 1; i <= name.size(); ++i)
        letters.push_back(bench::Seconds([&] {
            w->searchField()->setText(name.left(i));
            QApplication::processEvents();
        }));
    t.slowest = *std::max_element(letters.begin(), letters.end());
    t.letter = bench::Median(letters);
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const bench::Arguments args = bench::ReadArguments(argc, argv, 10000, 100);
    const fs::path root =
        fs::temp_directory_path() / ("outbox-bench-" + std::to_string(::getpid()));
    fs::create_directories(root);
    const std::string tiff = TiffBytes(root);

    bench::Series plain("plain listing (readdir + read)"), first("window: first screen"),
        listed("window: every fax listed"), pages("window: page counts filled in"),
        slowest("search: slowest typed letter"), letter("search: median typed letter");
    for (int n = 100; n <= args.largest; n *= 10) {
        const fs::path local = MakeFolders(root, n, tiff);
        const int stored = n / 10;
        const double total = n + stored;
        plain.Add(total, bench::MedianSeconds(args.rounds, [&] { (void)PlainListing(local); }));
        std::vector<WindowTimes> runs;
        for (int r = 0; r < args.rounds; ++r) runs.push_back(Window(local));
        auto median = [&runs](double WindowTimes::*field) {
            std::vector<double> v;
            for (const auto& r : runs) v.push_back(r.*field);
            return bench::Median(v);
        };
        first.Add(total, median(&WindowTimes::first));
        listed.Add(total, median(&WindowTimes::listed));
        pages.Add(total, median(&WindowTimes::pages));
        slowest.Add(total, median(&WindowTimes::slowest));
        letter.Add(total, median(&WindowTimes::letter));
    }
    std::printf("faxes (sent + stored), median of %d rounds\n", args.rounds);
    for (const auto* s : {&plain, &first, &listed, &pages, &slowest, &letter}) s->Print();
    std::error_code ec;
    fs::remove_all(root, ec);
    return 0;
}
