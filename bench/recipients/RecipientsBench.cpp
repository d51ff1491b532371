// recipients_bench: the recipient-line rewrite (FaxNumbersToAddresses) and the
// removal of selected lines on the recipients page, at 1,000, 10,000 and
// 100,000 recipients, with the fitted growth exponent of each.
//
//   recipients_bench [rounds] [largest]        (defaults 5 and 100000)
#include <QApplication>
#include <QItemSelection>
#include <QListWidget>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "bench/support/Growth.h"
#include "pages/CSelRecipient.h"
#include "wizard/FaxJob.h"

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

// Fills the page with n recipients, selects every other line and removes them.
double Removal(int n) {
    FaxJob job;
    job.faxNumbersAllowed = 1;
    CSelRecipient page(job);
    page.EnsureInitialized();
    for (int i = 0; i < n; ++i) {
        auto r = std::make_unique<Recipient>();
        r->displayLine = "\"Person " + std::to_string(i) + "\" <" + Number(i) + ">";
        r->faxNumber = Number(i);
        job.RecipientList.push_back(std::move(r));
    }
    page.RefillList();
    QListWidget* list = page.list();
    QItemSelection chosen;
    for (int row = 0; row < list->count(); row += 2)
        chosen.select(list->model()->index(row, 0), list->model()->index(row, 0));
    list->selectionModel()->select(chosen, QItemSelectionModel::Select);
    const double t = bench::Seconds([&] { page.RemoveSelected(); });
    if (list->count() != n / 2 || static_cast<int>(job.RecipientList.size()) != n / 2) {
        std::fprintf(stderr, "removal left %d lines\n", list->count());
        std::exit(1);
    }
    return t;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const auto [rounds, largest] = bench::ReadArguments(argc, argv, 100000, 1000);

    bench::Series rewrite("FaxNumbersToAddresses"), removal("remove every other line");
    for (int n = 1000; n <= largest; n *= 10) {
        const std::string line = RecipientLine(n);
        std::size_t size = 0;
        rewrite.Add(
            n, bench::MedianSeconds(rounds, [&] { size = FaxNumbersToAddresses(line).size(); }));
        if (size == 0) return 1;
    }
    for (int n = 1000; n <= largest; n *= 10) {
        std::vector<double> times;
        for (int r = 0; r < rounds; ++r) times.push_back(Removal(n));
        removal.Add(n, bench::Median(times));
    }
    std::printf("median of %d rounds\n", rounds);
    rewrite.Print();
    removal.Print();
    return 0;
}
