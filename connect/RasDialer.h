#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "app/core/Clock.h"
#include "app/core/MessageBoxService.h"
#include "app/core/TaskProgress.h"
#include "base/DynamicLibrary.h"
#include "connect/dialer_api/RasApi.h"

// Dials a dial-up networking entry through the remote access library, bound
// at run time (the program runs without it). One dialer serves one dial; the
// connection it makes stays up after it.
class RasDialer {
  public:
    // Dial's result when the library has no RasDialA.
    static constexpr std::uint32_t kNoDialFunction = 0xFFFFFFFFu;

    explicit RasDialer(std::string libraryName = RASAPI_LIBRARY_NAME);
    ~RasDialer();
    RasDialer(const RasDialer&) = delete;
    RasDialer& operator=(const RasDialer&) = delete;

    // Loads the library and looks the six functions up (each may be missing);
    // true when the library loaded.
    [[nodiscard]] bool Bind();
    void Unbind();
    [[nodiscard]] bool bound() const { return bound_; }

    // The number of active connections (0 without the enumeration function).
    [[nodiscard]] int ActiveConnectionCount();
    // The entry's stored phone number, user name and password into params
    // (entry name and size field set by the caller); 621 without the function.
    [[nodiscard]] std::uint32_t GetEntryDialParams(RASDIALPARAMSA& params,
                                                   std::int32_t& passwordStored);
    // Starts dialling; the new handle is kept. kNoDialFunction when missing.
    std::uint32_t Dial(const std::string& entry, RASDIALFUNC1 notifier, const std::string& phone,
                       const std::string& user, const std::string& password,
                       const std::string& domain, const std::string& phonebook);
    // Sets `text` to the sentence of the current connection state (unlisted
    // states leave it); true when the dial has ended (connected or
    // disconnected), `connected` only for the connected state.
    [[nodiscard]] bool StatusText(std::string& text, bool& connected);
    // The text of an error number, with the extended code appended if any.
    void ErrorText(std::uint32_t error, std::uint32_t extendedError, std::string& text);
    // Hangs up the dialer's connection or, without one, the active connection
    // of that entry name (compared ignoring case); true on success.
    bool HangUp(const std::string& entry);

    // The dial procedure: asks "Connect to the Internet?", then up to three
    // attempts of up to 300 one-second polls in a progress window. True when
    // connected (also when some connection was up already).
    [[nodiscard]] bool DialEntry(MessageBoxService& boxes, TaskProgressFactory& progress,
                                 Clock& clock, const std::string& entry, const std::string& user,
                                 const std::string& password);

    // The notifier handed to RasDialA; runs on a thread of the library's.
    // Keeps the first non-zero error of the current attempt.
    static void Notifier(HRASCONN connection, std::uint32_t message, std::int32_t state,
                         std::uint32_t error, std::uint32_t extendedError);
    static void ClearNotifiedError();
    // The stored error and extended error, read together (0 = none).
    [[nodiscard]] static std::pair<std::uint32_t, std::uint32_t> NotifiedError();

    [[nodiscard]] HRASCONN connection() const { return connection_; }
    [[nodiscard]] const RASCONNSTATUSA& status() const { return status_; }

  private:
    HRASCONN connection_ = 0;
    RASCONNSTATUSA status_{};
    DynamicLibrary library_;
    bool bound_ = false;
    std::string libraryName_;

    PFN_RasGetEntryDialParamsA getEntryDialParams_ = nullptr;
    PFN_RasDialA dial_ = nullptr;
    PFN_RasGetConnectStatusA getConnectStatus_ = nullptr;
    PFN_RasGetErrorStringA getErrorString_ = nullptr;
    PFN_RasEnumConnectionsA enumConnections_ = nullptr;
    PFN_RasHangUpA hangUp_ = nullptr;
};

// The sentence for a connection state, or null for states without one.
[[nodiscard]] const char* RasStateText(std::int32_t state);
