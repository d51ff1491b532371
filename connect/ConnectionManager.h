#pragma once

#include <string>
#include <vector>

#include "app/core/Clock.h"
#include "app/core/MessageBoxService.h"
#include "app/core/TaskProgress.h"
#include "connect/DialerLibrary.h"
#include "connect/NetworkState.h"
#include "connect/dialer_api/RasApi.h"

// The run-time libraries the manager loads; tests point them elsewhere.
struct ConnectionLibraries {
    std::string ras = RASAPI_LIBRARY_NAME;
    DialerLibrary::Files dialer;
};

// Decides, from the configured connection type, whether the PC is on-line,
// and gets it on-line when it is not: a local network is only checked, a
// dial-up entry is dialled, an online service is signed on to. Settings are
// read afresh from the Connection key at every call.
class ConnectionManager {
  public:
    enum class Kind { LocalNetwork, DialUp, OnlineService };

    explicit ConnectionManager(NetworkState& network = DefaultNetworkState(),
                               Clock& clock = DefaultClock(), ConnectionLibraries libraries = {});

    // True when the PC is on-line at the end of the call. The owner window
    // shows the questions and messages (boxes) and the progress windows.
    [[nodiscard]] bool EnsureOnline(MessageBoxService& boxes, TaskProgressFactory& progress);

    [[nodiscard]] bool IsOnline(Kind kind);

    // Dotted-decimal IPv4 addresses of the interfaces that are up, loopback
    // addresses excluded.
    [[nodiscard]] std::vector<std::string> LocalAddresses();

    // The online-service dialer binding, kept between calls once bound.
    [[nodiscard]] DialerLibrary& dialer() { return dialer_; }

  private:
    NetworkState& network_;
    Clock& clock_;
    ConnectionLibraries libraries_;
    DialerLibrary dialer_;
};

// The local addresses among these interface addresses.
[[nodiscard]] std::vector<std::string> LocalAddressesOf(
    const std::vector<InterfaceAddress>& interfaces);
