// Headless players for a load test: the real client code, no window.
// Usage:
//   veldmarrow-net-bots HOST[:PORT] BOTS SECONDS
// Each bot joins, then for SECONDS walks in a circle sending its pose (at
// most 20 times a second, as a player does) and makes an edit about every
// 0.8 s: digs, places and removes voxels on the ground below it. Then each
// leaves, and says whether its world checksum equals the server's at its
// farewell. Prints the bytes per second per bot each way (ENet's headers
// included). Status 0 when every bot joined and ended with the server's
// checksum, 1 otherwise.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "net/Client.h"
#include "net/NetLibrary.h"
#include "world/VoxelType.h"

namespace {

using Clock = std::chrono::steady_clock;

int Ground(Map& map, int x, int y)
{
    int z = map.height - 1;
    while (z > 0 && map.At(x, y, z) == Air)
        --z;
    return z;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: veldmarrow-net-bots HOST[:PORT] BOTS SECONDS\n");
        return 2;
    }
    HostPort server;
    std::string reason;
    const int count = std::atoi(argv[2]);
    const double seconds = std::atof(argv[3]);
    if (!ParseHostPort(argv[1], server, reason) || count < 1 || count > 256 || !(seconds > 0)) {
        std::fprintf(stderr, "veldmarrow-net-bots: %s\n", reason.empty() ? "BOTS 1-256, SECONDS > 0" : reason.c_str());
        return 2;
    }
    NetLibrary net;
    if (!net.Ok()) {
        std::fprintf(stderr, "veldmarrow-net-bots: %s\n", net.Reason().c_str());
        return 1;
    }
    std::vector<std::unique_ptr<Client>> bots;
    std::vector<double> joins;
    for (int i = 0; i < count; ++i) {
        bots.push_back(std::make_unique<Client>(net, server, "bot" + std::to_string(i), ""));
        const Clock::time_point began = Clock::now();
        bool refused = false;
        if (!bots.back()->Join(10000, reason, refused)) {
            std::fprintf(stderr, "bot%d: %s\n", i, reason.c_str());
            return 1;
        }
        joins.push_back(std::chrono::duration<double>(Clock::now() - began).count());
        // Those joined already answer their server while the next one joins.
        for (auto& bot : bots) {
            std::string ending;
            bool farewell = false;
            if (!bot->Pump(PlayerPose(), ending, farewell)) {
                std::fprintf(stderr, "while joining: %s\n", ending.c_str());
                return 1;
            }
        }
    }
    std::printf("%d bots joined: median join %.3f s\n", count, Median(joins));

    const Clock::time_point began = Clock::now();
    std::vector<double> nextEdit(count);
    for (int i = 0; i < count; ++i)
        nextEdit[i] = 0.8 * i / count;
    int edits = 0;
    std::vector<std::uint64_t> sent0(count), received0(count);
    for (int i = 0; i < count; ++i)
        bots[i]->Traffic(sent0[i], received0[i]);
    for (;;) {
        const double t = std::chrono::duration<double>(Clock::now() - began).count();
        if (t >= seconds)
            break;
        for (int i = 0; i < count; ++i) {
            Client& bot = *bots[i];
            Map& map = *bot.World();
            PlayerPose pose;
            const double a = t * 0.3 + i;
            pose.position[0] = static_cast<float>(256 + 40 * std::cos(a) + (i % 8) * 20 - 70);
            pose.position[1] = static_cast<float>(256 + 40 * std::sin(a) + (i / 8) * 20 - 70);
            const int x = static_cast<int>(pose.position[0]), y = static_cast<int>(pose.position[1]);
            const int ground = Ground(map, x, y);
            pose.position[2] = static_cast<float>(ground + 2.6);
            pose.yaw = static_cast<float>(std::fmod(a * 57.3 + 90, 360.0));
            pose.walking = true;
            if (t >= nextEdit[i]) {
                nextEdit[i] += 0.8;
                const int kind = edits++ % 3;
                VoxelEdit edit;
                edit.x = static_cast<std::uint16_t>(x + 2);
                edit.y = static_cast<std::uint16_t>(y);
                edit.z = static_cast<std::uint16_t>(std::min(map.height - 2, Ground(map, x + 2, y) + (kind == 1 ? 1 : 0)));
                edit.kind = kind == 0 ? EditKind::Dig : kind == 1 ? EditKind::Place : EditKind::Remove;
                edit.type = kind == 1 ? static_cast<std::uint8_t>(Sand + i % 6) : 0;
                bot.Request(edit);
            }
            std::string ending;
            bool farewell = false;
            if (!bot.Pump(pose, ending, farewell)) {
                std::fprintf(stderr, "bot%d: %s\n", i, ending.c_str());
                return 1;
            }
        }
        // Players pass at about 60 frames a second.
        std::this_thread::sleep_for(std::chrono::milliseconds(16));
    }
    const double played = std::chrono::duration<double>(Clock::now() - began).count();
    std::vector<double> up, down;
    for (int i = 0; i < count; ++i) {
        std::uint64_t sent, received;
        bots[i]->Traffic(sent, received);
        up.push_back((sent - sent0[i]) / played);
        down.push_back((received - received0[i]) / played);
    }
    int equal = 0;
    for (int i = 0; i < count; ++i) {
        std::string line;
        bots[i]->Leave(5000, line);
        equal += line.find("(equal)") != std::string::npos;
        if (line.find("(equal)") == std::string::npos)
            std::fprintf(stderr, "bot%d: %s\n", i, line.c_str());
    }
    std::printf("%d edits asked for in %.0f s; bytes per second per bot: to the server median %.0f, max %.0f; "
                "from it median %.0f, max %.0f\n",
                edits, played, Median(up), *std::max_element(up.begin(), up.end()), Median(down),
                *std::max_element(down.begin(), down.end()));
    std::printf("%d of %d bots ended with the server's checksum\n", equal, count);
    return equal == count ? 0 : 1;
}
