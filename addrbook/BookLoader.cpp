#include "addrbook/BookLoader.h"

#include <exception>
#include <memory>
#include <utility>
#include <vector>

BookLoader::BookLoader(std::string path, Handlers handlers, QObject* parent)
    : QObject(parent),
      path_(std::move(path)),
      handlers_(std::move(handlers)),
      worker_([this](const std::stop_token& stop) { Run(stop); }) {}

BookLoader::~BookLoader() { Stop(); }

void BookLoader::Stop() {
    worker_.request_stop();
    if (worker_.joinable()) worker_.join();
    loading_ = false;
}

bool BookLoader::WaitForTaker(const std::stop_token& stop) {
    std::unique_lock lock(mutex_);
    if (!taken_.wait(lock, stop, [this] { return !handing_; })) return false;
    handing_ = true;
    return true;
}

void BookLoader::Taken() {
    {
        const std::lock_guard lock(mutex_);
        handing_ = false;
    }
    taken_.notify_all();
}

void BookLoader::Run(const std::stop_token& stop) {
    // Handed over on the loader's thread; a posted call dies with the loader.
    auto post = [this](auto call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    };
    LoadOutcome outcome = LoadOutcome::Unreadable;
    NameIndex all;
    try {
        int row = 0;
        outcome = AddressBook::ReadParts(path_, [&](AddressBook::Part&& part) {
            std::vector<std::string> folded;
            folded.reserve(static_cast<std::size_t>(part.size()));
            for (int i = 0; i < part.size(); ++i) folded.push_back(FoldName(part.Name(i)));
            NameIndex rows;
            rows.Add(row, folded);
            row += part.size();
            all.Append(NameIndex(rows));
            if (!WaitForTaker(stop)) return false;
            auto handed = std::make_shared<std::pair<AddressBook::Part, NameIndex>>(
                std::move(part), std::move(rows));
            post([this, handed] {
                if (handlers_.part)
                    handlers_.part(std::move(handed->first), std::move(handed->second));
                Taken();
            });
            return true;
        });
        if (stop.stop_requested()) return;
        if (outcome == LoadOutcome::Loaded)
            all = all.Merged([&stop] { return stop.stop_requested(); });
    } catch (const std::exception&) {
        // Out of memory: what was handed over is not the whole book.
        outcome = LoadOutcome::Unreadable;
        all = NameIndex();
    }
    if (stop.stop_requested()) return;
    auto merged = std::make_shared<NameIndex>(std::move(all));
    post([this, outcome, merged] {
        loading_ = false;
        if (handlers_.done) handlers_.done(outcome, std::move(*merged));
    });
}
