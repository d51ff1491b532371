#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

// A real HTTP server on 127.0.0.1 at a free port, serving from its own thread
// for the life of the object. Handlers that must hang wait on Hold() until
// the test (or the destructor) calls Release().
class LoopbackServer {
  public:
    LoopbackServer() {
        port_ = server.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server.listen_after_bind(); });
        // The socket already listens; wait for the loop so stop() finds it.
        while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ~LoopbackServer() {
        Release();
        server.stop();
        thread_.join();
    }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    [[nodiscard]] std::string Url(const std::string& path) const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    [[nodiscard]] int port() const { return port_; }

    void Hold() {
        std::unique_lock lock(mutex_);
        released_.wait(lock, [this] { return open_; });
    }
    void Release() {
        {
            std::lock_guard lock(mutex_);
            open_ = true;
        }
        released_.notify_all();
    }

    httplib::Server server;

  private:
    int port_ = 0;
    std::thread thread_;
    std::mutex mutex_;
    std::condition_variable released_;
    bool open_ = false;
};
