#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// How the stand-in relay misbehaves, for tests of the sending side.
enum class RelayFault {
    None,         // answers like the service
    Status500,    // the location request is answered with status 500
    NoLocation,   // the location request is answered without an upload address
    Stall,        // the location request is never answered (until Stop)
    BrokenReply,  // the upload's reply breaks off in the middle of its body
    NoSuccess,    // the upload is answered without "success=true"
    FillDisk,     // once a fax is stored, its file system is filled ("filler-N"
                  // files in the store folder) before the answer goes out
};

// "none", "500", "no-location", "stall", "broken", "no-success", "fill-disk".
[[nodiscard]] std::optional<RelayFault> ParseRelayFault(const std::string& name);

// The service's relay function on loopback. The location request (a
// url-encoded form posted to any path) is answered with a reply header that
// names a one-time upload address; the multipart/form-data upload posted
// there is parsed and stored, then answered with "success=true".
//
// Every accepted fax becomes a folder "msg-NNNN" in the store folder, made
// whole before it appears (written under a temporary name, then renamed):
//   query.txt   the location request's form, as received
//   fields.txt  "name: value" per text field of the upload (CR and LF of a
//               value written as \r and \n)
//   <file>      each attachment under its own base name, bytes as sent
class RelayServer {
  public:
    explicit RelayServer(std::filesystem::path storeDir, RelayFault fault = RelayFault::None);
    ~RelayServer();
    RelayServer(const RelayServer&) = delete;
    RelayServer& operator=(const RelayServer&) = delete;

    // Listens on 127.0.0.1 (port 0: a free one) and serves from a thread of
    // its own. False when the port cannot be bound or the store folder cannot
    // be made.
    [[nodiscard]] bool Start(int port = 0);
    // Ends serving; a stalled upload is let go first.
    void Stop();

    [[nodiscard]] int port() const;
    // The address to configure as the relay function ("RmMessages").
    [[nodiscard]] std::string serviceUrl() const;
    // Folders of the faxes received so far, oldest first.
    [[nodiscard]] std::vector<std::filesystem::path> ReceivedMessages() const;

  private:
    struct State;
    std::unique_ptr<State> state_;
};
