#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Flags of the connection state, as the platform's connected-state query
// reports them.
inline constexpr std::uint32_t INTERNET_CONNECTION_MODEM = 0x01;
inline constexpr std::uint32_t INTERNET_CONNECTION_LAN = 0x02;
inline constexpr std::uint32_t INTERNET_CONNECTION_PROXY = 0x04;
inline constexpr std::uint32_t INTERNET_CONNECTION_MODEM_BUSY = 0x08;

// One address of a network interface.
struct InterfaceAddress {
    std::string name;     // interface name, e.g. "eth0", "ppp0"
    std::string address;  // numeric text: dotted decimal for IPv4
    int family = 4;       // 4 or 6
    bool up = false;
    bool loopback = false;
    bool pointToPoint = false;
};

// One active connection as NetworkManager reports it.
struct ActiveConnection {
    std::string type;         // the profile type, e.g. "802-3-ethernet", "gsm"
    std::uint32_t state = 0;  // 2 = activated
};

// What the connection manager asks of the machine's network.
class NetworkState {
  public:
    virtual ~NetworkState() = default;
    // The connected-state query: true when some connection is up, with its
    // INTERNET_CONNECTION_* flags in `flags`; false (flags 0) otherwise.
    [[nodiscard]] virtual bool GetConnectedState(std::uint32_t& flags) = 0;
    // The addresses of all interfaces, up or not.
    [[nodiscard]] virtual std::vector<InterfaceAddress> Interfaces() = 0;
};

// The interfaces' addresses from getifaddrs (IPv4 and IPv6).
[[nodiscard]] std::vector<InterfaceAddress> ReadInterfaces();

// Flags from interfaces alone: an up, non-loopback interface with an address
// is a connection; a point-to-point or "ppp"/"wwan" one counts as a modem.
[[nodiscard]] std::uint32_t FlagsFromInterfaces(const std::vector<InterfaceAddress>& interfaces);

// Flags from NetworkManager's activated connections: a modem, mobile or PPP
// profile gives the modem flag, any other (loopback aside) the LAN flag.
[[nodiscard]] std::uint32_t FlagsFromActiveConnections(
    const std::vector<ActiveConnection>& connections);

// NetworkManager over the system D-Bus when it runs, the interfaces when it
// does not (no bus, no NetworkManager, or no reply within a short time).
class SystemNetworkState final : public NetworkState {
  public:
    bool GetConnectedState(std::uint32_t& flags) override;
    std::vector<InterfaceAddress> Interfaces() override { return ReadInterfaces(); }
};

// The process's network state.
[[nodiscard]] NetworkState& DefaultNetworkState();
