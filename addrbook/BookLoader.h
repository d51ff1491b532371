#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

#include "addrbook/AddressBook.h"
#include "addrbook/NameIndex.h"

// Loads an address-book file on a worker thread. Its records are handed
// over on the thread the loader belongs to, part by part in file order, each
// with the name index of its rows; the next part is read while one is taken
// but handed over only when that one has been. At the end comes the index of
// all rows as one run. Destroying the loader stops the worker and waits for
// it; nothing is handed over after that.
class BookLoader final : public QObject {
    Q_OBJECT
  public:
    struct Handlers {
        // Records of the next rows, and their names' index (rows counted from
        // the file's first record).
        std::function<void(AddressBook::Part&&, NameIndex&&)> part;
        // How the load ended; with Loaded, the index of every row.
        std::function<void(LoadOutcome, NameIndex&&)> done;
    };

    BookLoader(std::string path, Handlers handlers, QObject* parent = nullptr);
    ~BookLoader() override;
    BookLoader(const BookLoader&) = delete;
    BookLoader& operator=(const BookLoader&) = delete;

    // Stops reading and waits for the worker; parts not yet taken are dropped.
    void Stop();
    // True until done has been called (or Stop).
    [[nodiscard]] bool loading() const { return loading_; }

  private:
    void Run(const std::stop_token& stop);
    // Waits until the part handed over last has been taken; false when
    // stopped meanwhile.
    [[nodiscard]] bool WaitForTaker(const std::stop_token& stop);
    void Taken();

    std::string path_;
    Handlers handlers_;
    bool loading_ = true;
    std::mutex mutex_;
    std::condition_variable_any taken_;
    bool handing_ = false;  // a part is on its way to the taker
    std::jthread worker_;   // last: started when the rest is ready
};
