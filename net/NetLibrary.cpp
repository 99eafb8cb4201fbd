#include "net/NetLibrary.h"

#include <atomic>

#include <enet/enet.h>

namespace {
// ENet's setup is process-wide: a second owner's end would pull it from
// under the first.
std::atomic<bool> owned{false};
} // namespace

NetLibrary::NetLibrary()
{
    if (owned.exchange(true)) {
        reason = "ENet is set up already by another part of the program";
        return;
    }
    if (enet_initialize() != 0) {
        owned = false;
        reason = "ENet could not start the system's network sockets";
        return;
    }
    ok = true;
}

NetLibrary::~NetLibrary()
{
    if (!ok)
        return;
    enet_deinitialize();
    owned = false;
}
