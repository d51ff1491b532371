#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

// Accepts connections on 127.0.0.1 one after the other, reads each request
// whole (head and Content-Length body) exactly as it came over the wire,
// answers with fixed bytes (which need not be HTTP at all) and hangs up.
class RawReplyServer {
  public:
    explicit RawReplyServer(std::string reply) : reply_(std::move(reply)) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        ::listen(listener_, 4);
        thread_ = std::thread([this] { Serve(); });
    }
    ~RawReplyServer() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        thread_.join();
    }
    RawReplyServer(const RawReplyServer&) = delete;
    RawReplyServer& operator=(const RawReplyServer&) = delete;

    [[nodiscard]] std::string Url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    void SetReply(std::string reply) {
        std::lock_guard lock(mutex_);
        reply_ = std::move(reply);
    }
    // Body of the last request, and how many requests came.
    [[nodiscard]] std::string LastBody() const {
        std::lock_guard lock(mutex_);
        return body_;
    }
    [[nodiscard]] std::string LastHead() const {
        std::lock_guard lock(mutex_);
        return head_;
    }
    [[nodiscard]] int Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

  private:
    void Serve() {
        for (;;) {
            const int fd = ::accept(listener_, nullptr, nullptr);
            if (fd < 0) return;
            std::string data;
            char buf[65536];
            std::size_t need = std::string::npos;
            for (;;) {
                const std::size_t headEnd = data.find("\r\n\r\n");
                if (headEnd != std::string::npos && need == std::string::npos) {
                    const std::size_t cl = data.find("Content-Length: ");
                    const std::size_t length =
                        cl < headEnd ? std::strtoul(data.c_str() + cl + 16, nullptr, 10) : 0;
                    need = headEnd + 4 + length;
                }
                if (need != std::string::npos && data.size() >= need) break;
                const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
                if (n <= 0) break;
                data.append(buf, static_cast<std::size_t>(n));
            }
            std::string reply;
            {
                std::lock_guard lock(mutex_);
                ++requests_;
                const std::size_t headEnd = data.find("\r\n\r\n");
                head_ = data.substr(0, headEnd);
                body_ = headEnd == std::string::npos ? "" : data.substr(headEnd + 4);
                reply = reply_;
            }
            (void)!::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::shutdown(fd, SHUT_RDWR);
            ::close(fd);
        }
    }

    mutable std::mutex mutex_;
    std::string reply_;
    std::string head_;
    std::string body_;
    int requests_ = 0;
    int listener_ = -1;
    int port_ = 0;
    std::thread thread_;
};

// A peer on 127.0.0.1 that lets connections in (through the listen queue) but
// never reads nor answers: a stalled service.
class SilentPeer {
  public:
    SilentPeer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        socklen_t len = sizeof addr;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        ::listen(fd_, 4);
    }
    ~SilentPeer() { ::close(fd_); }
    SilentPeer(const SilentPeer&) = delete;
    SilentPeer& operator=(const SilentPeer&) = delete;
    [[nodiscard]] std::string Url() const {
        return "http://127.0.0.1:" + std::to_string(port_) + "/";
    }

  private:
    int fd_ = -1;
    int port_ = 0;
};
