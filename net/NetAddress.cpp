#include "net/NetAddress.h"

#include <cstddef>

namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// Whether `text` is a decimal number without leading zeros of at most
// `maxDigits` digits; its value in `value`.
bool DecimalNumber(const std::string& text, std::size_t maxDigits, unsigned long& value)
{
    if (text.empty() || text.size() > maxDigits || (text[0] == '0' && text.size() > 1))
        return false;
    value = 0;
    for (char c : text) {
        if (!IsDigit(c))
            return false;
        value = value * 10 + static_cast<unsigned long>(c - '0');
    }
    return true;
}

// An IPv4 address in dotted decimal: the resolver would read other forms
// ("10.1", "010.0.0.1" in octal) as addresses nobody meant.
bool CheckIpv4(const std::string& host, std::string& reason)
{
    std::size_t parts = 0, start = 0;
    for (;;) {
        const std::size_t dot = host.find('.', start);
        const std::string part = host.substr(start, dot == std::string::npos ? std::string::npos : dot - start);
        unsigned long value = 0;
        if (!DecimalNumber(part, 3, value) || value > 255) {
            reason = "an IPv4 address is four numbers from 0 to 255, without leading zeros";
            return false;
        }
        ++parts;
        if (dot == std::string::npos)
            break;
        start = dot + 1;
    }
    if (parts != 4) {
        reason = "an IPv4 address is four numbers from 0 to 255, without leading zeros";
        return false;
    }
    return true;
}

bool CheckName(const std::string& host, std::string& reason)
{
    if (host.size() > 253) {
        reason = "a host name has at most 253 characters";
        return false;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t dot = host.find('.', start);
        const std::size_t end = dot == std::string::npos ? host.size() : dot;
        const std::size_t length = end - start;
        if (length == 0 || length > 63) {
            reason = "each dot-separated part of a host name has 1 to 63 characters";
            return false;
        }
        for (std::size_t i = start; i < end; ++i) {
            const char c = host[i];
            if (!IsLetter(c) && !IsDigit(c) && c != '-') {
                reason = "a host name holds only letters, digits, hyphens and dots";
                return false;
            }
        }
        if (host[start] == '-' || host[end - 1] == '-') {
            reason = "a part of a host name neither starts nor ends with a hyphen";
            return false;
        }
        if (dot == std::string::npos)
            return true;
        start = dot + 1;
    }
}

} // namespace

bool ParseHostPort(const std::string& text, HostPort& out, std::string& reason)
{
    const std::size_t colon = text.find(':');
    if (colon != std::string::npos && text.find(':', colon + 1) != std::string::npos) {
        reason = "more than one ':' (IPv6 addresses are not supported)";
        return false;
    }
    const std::string host = text.substr(0, colon);
    if (host.empty()) {
        reason = "no host before the port";
        return false;
    }
    HostPort parsed;
    if (colon != std::string::npos) {
        unsigned long port = 0;
        if (!DecimalNumber(text.substr(colon + 1), 5, port) || port < 1 || port > 65535) {
            reason = "the port is a number from 1 to 65535, without leading zeros";
            return false;
        }
        parsed.port = static_cast<std::uint16_t>(port);
    }
    // The last label tells a number from a name: no top-level domain is all digits.
    const std::size_t lastDot = host.rfind('.');
    const std::string last = host.substr(lastDot == std::string::npos ? 0 : lastDot + 1);
    bool numeric = !last.empty();
    for (char c : last)
        numeric = numeric && IsDigit(c);
    if (numeric ? !CheckIpv4(host, reason) : !CheckName(host, reason))
        return false;
    parsed.host = host;
    out = parsed;
    return true;
}
