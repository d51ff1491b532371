// recipients_bench: the recipient-line rewrite (FaxNumbersToAddresses), the
// recipients page filled from the job (against adding its lines one at a
// time, and against a bare sorted vector), and the removal of selected lines
// (each line chosen, or all at once as Ctrl+A does, against a bare clear),
// at 1,000, 10,000 and 100,000 recipients, with the fitted growth exponent of
// each; the longest the event loop is held while a shown page is filled.
//
//   recipients_bench [rounds] [largest]        (defaults 5 and 100000)
#include <QApplication>
#include <QEventLoop>
#include <QItemSelection>
#include <QListWidget>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "bench/support/EventLoopGap.h"
#include "bench/support/Growth.h"
#include "pages/CSelRecipient.h"
#include "wizard/job/FaxJob.h"

namespace {

std::string Number(int i) { return "1212555" + std::to_string(1000000 + i).substr(1); }

// Every third entry is an e-mail address, the others fax numbers.
std::string RecipientLine(int n) {
    std::string line;
    for (int i = 0; i < n; ++i) {
        if (i > 0) line += ", ";
        line += "\"Person " + std::to_string(i) + "\" <";
        line += i % 3 == 2 ? "p" + std::to_string(i) + "@example.com" : Number(i);
        line += ">";
    }
    return line;
}

// n recipients in an order unlike the sorted one, with names that differ in
// case only.
void FillJob(FaxJob& job, int n) {
    for (int i = 0; i < n; ++i) {
        const int k = static_cast<int>((static_cast<long long>(i) * 7919) % n);
        auto r = std::make_unique<Recipient>();
        r->displayLine = std::string(k % 2 ? "\"person " : "\"Person ") + std::to_string(k) +
                         "\" <" + Number(k) + ">";
        r->faxNumber = Number(k);
        job.RecipientList.push_back(std::move(r));
    }
}

// A page of its own holding a job of n recipients.
struct Page {
    explicit Page(int n) {
        job.faxNumbersAllowed = 1;
        page = std::make_unique<CSelRecipient>(job);
        page->EnsureInitialized();
        FillJob(job, n);
    }
    FaxJob job;
    std::unique_ptr<CSelRecipient> page;
};

void Expect(bool ok, const char* what) {
    if (ok) return;
    std::fprintf(stderr, "%s\n", what);
    std::exit(1);
}

// Selects every step-th line of the list, each on its own, as clicks do.
void Choose(QAbstractItemView* list, int step) {
    QItemSelection chosen;
    for (int row = 0; row < list->model()->rowCount(); row += step)
        chosen.select(list->model()->index(row, 0), list->model()->index(row, 0));
    list->selectionModel()->select(chosen, QItemSelectionModel::Select);
}

// Seconds to remove the chosen rows (every step-th) of a filled page; with
// step 0, every row chosen at once, as Ctrl+A does.
double Removal(int n, int step) {
    Page p(n);
    p.page->RefillList();
    if (step == 0)
        p.page->list()->selectAll();
    else
        Choose(p.page->list(), step);
    const double t = bench::Seconds([&] { p.page->RemoveSelected(); });
    const int left = step <= 1 ? 0 : n / 2;
    Expect(p.page->lineCount() == left && static_cast<int>(p.job.RecipientList.size()) == left,
           "removal left the wrong lines");
    return t;
}

// Seconds to fill the page's list box from the job.
double Refill(int n) {
    Page p(n);
    const double t = bench::Seconds([&] { p.page->RefillList(); });
    Expect(p.page->lineCount() == n, "refill lost lines");
    return t;
}

// A line of a list box of its own, sorted into place as the page's lines are.
class SortedItem final : public QListWidgetItem {
  public:
    using QListWidgetItem::QListWidgetItem;
    bool operator<(const QListWidgetItem& other) const override {
        return CSelRecipient::ShownBefore(text(), other.text());
    }
};

// The same lines added to a sorted list box one at a time, each sorted into
// place, as the page once filled its list.
double OneAtATime(int n) {
    Page p(n);
    QListWidget list;
    list.setSortingEnabled(true);
    return bench::Seconds([&] {
        for (const auto& r : p.job.RecipientList) {
            auto* item = new SortedItem(QString::fromStdString(r->displayLine));
            item->setData(CSelRecipient::kRecipientRole,
                          QVariant::fromValue(reinterpret_cast<quintptr>(r.get())));
            list.addItem(item);
        }
    });
}

// The lines alone put into a vector and sorted in the list box's order.
double BareSortedVector(int n) {
    FaxJob job;
    FillJob(job, n);
    return bench::Seconds([&] {
        std::vector<QString> lines;
        lines.reserve(job.RecipientList.size());
        for (const auto& r : job.RecipientList)
            lines.push_back(QString::fromStdString(r->displayLine));
        std::stable_sort(lines.begin(), lines.end(), CSelRecipient::ShownBefore);
    });
}

// Every line read once, in the job's order, into one fresh block: the least
// a fill can do, and how the memory the lines live in bends with the list.
double BareRead(int n) {
    FaxJob job;
    FillJob(job, n);
    return bench::Seconds([&] {
        std::string all;
        all.reserve(job.RecipientList.size() * 32);
        for (const auto& r : job.RecipientList) all += r->displayLine;
        Expect(!all.empty(), "nothing read");
    });
}

// The lines alone and the records freed, without a list box.
double BareClear(int n) {
    Page p(n);
    std::vector<CSelRecipient::Line> lines;
    for (const auto& r : p.job.RecipientList) lines.push_back({r.get()});
    return bench::Seconds([&] {
        lines.clear();
        p.job.RecipientList.clear();
    });
}

// The longest the event loop is held while a shown page is filled, laid out
// and painted.
double ShownRefillGap(int n) {
    Page p(n);
    p.page->resize(640, 480);
    p.page->show();
    QCoreApplication::processEvents();
    bench::EventLoopGap gap;
    QEventLoop loop;
    gap.Start();
    QTimer::singleShot(5, [&] { p.page->RefillList(); });
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    gap.Stop();
    return gap.LongestSeconds();
}

template <class F>
double MedianOf(int rounds, F&& f) {
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) times.push_back(f());
    return bench::Median(times);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto [rounds, largest] = bench::ReadArguments(argc, argv, 100000, 1000);

    bench::Series rewrite("FaxNumbersToAddresses"), removal("remove every other line"),
        removeAll("remove all lines, each chosen"), removeSelectAll("remove all lines, Ctrl+A"),
        bareClear("  bare clear"), refill("fill the page"), oneByOne("  one line at a time"),
        bareSort("  bare sorted vector"), bareRead("  bare read of every line"),
        gap("longest event-loop gap, fill shown");
    for (int n = 1000; n <= largest; n *= 10) {
        const std::string line = RecipientLine(n);
        std::size_t size = 0;
        rewrite.Add(
            n, bench::MedianSeconds(rounds, [&] { size = FaxNumbersToAddresses(line).size(); }));
        if (size == 0) return 1;
    }
    for (int n = 1000; n <= largest; n *= 10) {
        refill.Add(n, MedianOf(rounds, [n] { return Refill(n); }));
        oneByOne.Add(n, MedianOf(rounds, [n] { return OneAtATime(n); }));
        bareSort.Add(n, MedianOf(rounds, [n] { return BareSortedVector(n); }));
        bareRead.Add(n, MedianOf(rounds, [n] { return BareRead(n); }));
        removal.Add(n, MedianOf(rounds, [n] { return Removal(n, 2); }));
        removeAll.Add(n, MedianOf(rounds, [n] { return Removal(n, 1); }));
        removeSelectAll.Add(n, MedianOf(rounds, [n] { return Removal(n, 0); }));
        bareClear.Add(n, MedianOf(rounds, [n] { return BareClear(n); }));
        gap.Add(n, MedianOf(rounds, [n] { return ShownRefillGap(n); }));
    }
    std::printf("median of %d rounds\n", rounds);
    for (const bench::Series* s : {&rewrite, &refill, &oneByOne, &bareSort, &bareRead, &removal,
                                   &removeAll, &removeSelectAll, &bareClear, &gap})
        s->Print();
    return 0;
}
