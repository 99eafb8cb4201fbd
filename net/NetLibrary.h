// NetLibrary: ENet's global state (on Windows, the system's sockets and its
// timer resolution), owned once in the program while it uses the network.
#pragma once
#include <string>

class NetLibrary {
public:
    // Initialises ENet; Ok() is false with Reason() when it cannot, or when
    // another NetLibrary owns it already.
    NetLibrary();
    // Deinitialises ENet when this one initialised it.
    ~NetLibrary();
    NetLibrary(const NetLibrary&) = delete;
    NetLibrary& operator=(const NetLibrary&) = delete;

    // Whether ENet is ready for endpoints.
    bool Ok() const { return ok; }
    // Why it is not; empty when it is.
    const std::string& Reason() const { return reason; }

private:
    bool ok = false;
    std::string reason;
};
