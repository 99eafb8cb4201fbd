// A child for the kill test: `dig WORLD` digs at random and commits as fast
// as it can, folding the log as the program does, printing a line after
// each commit, until it is killed; `check WORLD` opens the world as the
// program does and prints what it holds.
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>

#include "world/BasicMapGenerator.h"
#include "world/Map.h"
#include "world/WorldFile.h"

namespace {

int Fail(const std::string& reason)
{
    std::printf("refused %s\n", reason.c_str());
    return 9;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[1], "dig") != 0 && std::strcmp(argv[1], "check") != 0)) {
        std::fprintf(stderr, "usage: %s dig|check WORLD\n", argv[0]);
        return 4;
    }
    const bool dig = std::strcmp(argv[1], "dig") == 0;
    WorldFile world;
    std::string reason;
    if (world.Open(argv[2], WorldAccess::ReadWrite, 20261209u, reason) != WorldOpened::Ok)
        return Fail(reason);
    Map map(new BasicMapGenerator(StandardRandom(), world.Facts().seed));
    if (!world.Load(map, reason))
        return Fail(reason);
    std::printf("loaded save %lld checksum %016llX\n", static_cast<long long>(world.Facts().saves),
                static_cast<unsigned long long>(world.CommittedChecksum()));
    std::fflush(stdout);
    if (!dig)
        return world.Close(reason) ? 0 : Fail(reason);
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> across(0, map.width - 1), up(40, 140), carves(1, 12);
    for (;;) {
        for (int n = carves(random); n > 0; --n)
            map.CarveSphere(across(random), across(random), up(random), 4.0f);
        world.BeginRound();
        world.Prepare(1u << 20);
        if (!world.Commit(reason))
            return Fail(reason);
        // Folded as the program folds, so that kills land in folds too.
        if (world.LogBytes() >= WorldFormat::FoldAbove)
            world.BeginFold();
        while (world.Folding())
            std::this_thread::yield();
        std::printf("saved save %lld checksum %016llX\n", static_cast<long long>(world.Facts().saves),
                    static_cast<unsigned long long>(world.CommittedChecksum()));
        std::fflush(stdout);
    }
}
