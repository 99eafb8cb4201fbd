// NetAddress: "HOST[:PORT]" as a player types it, checked before anything is
// resolved or sent.
#pragma once
#include <cstdint>
#include <string>

// The UDP port a server listens on, and a client connects to, unless told otherwise.
constexpr std::uint16_t DefaultPort = 30517;

struct HostPort {
    std::string host; // an IPv4 address in dotted decimal, or a name to resolve
    std::uint16_t port = DefaultPort;
};

// Parses "HOST[:PORT]": HOST four numbers 0-255 without leading zeros
// ("192.168.1.20"), or a name of dot-separated labels of 1-63 letters, digits
// and inner hyphens, 253 characters at most, whose last label is not a
// number; PORT 1-65535 in decimal without leading zeros, DefaultPort when
// absent. IPv6 is refused. False with the reason when the text is anything else.
bool ParseHostPort(const std::string& text, HostPort& out, std::string& reason);
