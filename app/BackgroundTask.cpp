#include "app/BackgroundTask.h"

#include <QCoreApplication>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>

#include "app/TaskProgress.h"

void RunInBackground(const std::function<void(std::stop_token)>& work, TaskProgress* progress,
                     const std::function<void()>& eachTurn) {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    std::exception_ptr error;
    {
        std::jthread worker([&](const std::stop_token& stop) {
            try {
                work(stop);
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard guard(mutex);
            done = true;
            ended.notify_all();
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
