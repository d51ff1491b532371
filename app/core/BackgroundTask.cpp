#include "app/core/BackgroundTask.h"

#include <QCoreApplication>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "app/core/TaskProgress.h"

void RunInBackground(const std::function<void(std::stop_token)>& work, TaskProgress* progress,
                     const std::function<void()>& eachTurn) {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::exception_ptr error;
    // Tells the end once the worker's thread-local objects are gone too:
    // libraries close the files they keep per thread there, which can take
    // a while, and the join below must not wait for it.
    struct EndNotice {
        std::mutex* mutex = nullptr;
        std::condition_variable* ended = nullptr;
        bool* done = nullptr;
        ~EndNotice() {
            if (mutex == nullptr) return;
            const std::lock_guard guard(*mutex);
            *done = true;
            ended->notify_all();
        }
    };
    {
        std::jthread worker([&](const std::stop_token& stop) {
            // Made first, so it goes last.
            thread_local EndNotice notice;
            notice.mutex = &mutex;
            notice.ended = &ended;
            notice.done = &done;
            try {
                work(stop);
            } catch (...) {
                error = std::current_exception();
            }
        });
        for (;;) {
            // A window that was stopped pumps no more; the loop still turns.
            if (progress && !progress->cancelled())
                progress->PumpMessages(true);
            else if (QCoreApplication::instance())
                QCoreApplication::processEvents(QEventLoop::AllEvents);
            if (eachTurn) eachTurn();
            if (progress && progress->cancelled()) worker.request_stop();
            std::unique_lock lock(mutex);
            if (ended.wait_for(lock, std::chrono::milliseconds(4), [&done] { return done; })) break;
        }
    }
    if (error) std::rethrow_exception(error);
}
