#include "imaging/AheadSpooler.h"

#include <utility>

namespace {

template <typename Answers>
Answers Ask(PrintSpooler& spooler) {
    Answers answers;
    answers.printers = spooler.LocalPrinters();
    answers.drivers = spooler.InstalledDrivers();
    return answers;
}

}  // namespace

AheadSpooler::AheadSpooler(std::unique_ptr<PrintSpooler> spooler) : spooler_(std::move(spooler)) {}

AheadSpooler::~AheadSpooler() {
    if (asking_.valid()) asking_.wait();
}

void AheadSpooler::Start() {
    if (asking_.valid() || answers_) return;
    asking_ =
        std::async(std::launch::async, [&spooler = *spooler_] { return Ask<Answers>(spooler); });
}

const AheadSpooler::Answers& AheadSpooler::Wait() {
    if (!answers_) answers_ = asking_.valid() ? asking_.get() : Ask<Answers>(*spooler_);
    return *answers_;
}

std::optional<std::vector<std::string>> AheadSpooler::LocalPrinters() { return Wait().printers; }

std::optional<std::vector<std::string>> AheadSpooler::InstalledDrivers() { return Wait().drivers; }
