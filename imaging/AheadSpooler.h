#pragma once

#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/PrintSpooler.h"

// A spooler asked ahead: Start() asks the given spooler for its queues and
// drivers on a thread of its own, so that the answers are ready when the
// printer checks want them; asked before Start(), it asks at once. Each
// question goes to the given spooler once.
class AheadSpooler final : public PrintSpooler {
  public:
    explicit AheadSpooler(std::unique_ptr<PrintSpooler> spooler);
    // Waits for the questions asked ahead.
    ~AheadSpooler() override;
    AheadSpooler(const AheadSpooler&) = delete;
    AheadSpooler& operator=(const AheadSpooler&) = delete;

    // Starts asking; once only, and not after an answer was wanted.
    void Start();
    std::optional<std::vector<std::string>> LocalPrinters() override;
    std::optional<std::vector<std::string>> InstalledDrivers() override;

  private:
    using Names = std::optional<std::vector<std::string>>;
    struct Answers {
        Names printers;
        Names drivers;
    };
    const Answers& Wait();

    std::unique_ptr<PrintSpooler> spooler_;
    std::future<Answers> asking_;
    std::optional<Answers> answers_;
};
