// What keeping a world costs, without a window. Usage:
//   veldmarrow-save-bench DEMO WORLD
// replays the demo's passes through the play state's logic in a new world
// file WORLD (built from the demo's seed), paced at 60 passes a second as
// the program paces its commits, and prints the processor time of every
// pass that saved (median, 99th percentile, longest), the longest any pass
// took by the clock (the log is folded in on a thread of its own, which no
// pass should wait for), the log's largest size and the file's size;
// then digs 5,000 carves more and prints the size again; then times what a
// resume adds to a fresh start: opening WORLD and putting its chunks over
// the generated terrain, against generating the terrain alone.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "app/WorldKeeper.h"
#include "platform/Console.h"
#include "render/Camera.h"
#include "demo/DemoReplay.h"
#include "states/FreeLookController.h"
#include "states/PlayState.h"
#include "world/BasicMapGenerator.h"
#include "world/Map.h"

namespace {

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t i = static_cast<std::size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

double Seconds(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

void Sizes(const char* when, const std::string& path, WorldFile& file)
{
    std::error_code e;
    const auto size = std::filesystem::file_size(path, e);
    const auto log = std::filesystem::file_size(path + "-wal", e);
    std::printf("%s: %zu changed chunks, file %.1f KiB (+ log %.1f KiB)\n", when, file.StoredChunks(),
                static_cast<double>(size) / 1024.0, e ? 0.0 : static_cast<double>(log) / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s DEMO WORLD\n", argv[0]);
        return 4;
    }
    Demo demo;
    std::string reason;
    if (!ReadDemoFile(argv[1], demo, reason)) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 5;
    }
    const std::string path = argv[2];
    std::filesystem::remove(path);
    // A new world takes the seed for a new world: the demo's.
    SetProcessEnvironment("VELDMARROW_SEED", std::to_string(demo.worldSeed).c_str());
    WorldKeeper keeper;
    keeper.Open(path, false, nullptr);
    Map map(new BasicMapGenerator(StandardRandom(), demo.worldSeed));
    if (!keeper.File()->Load(map, reason)) {
        std::fprintf(stderr, "%s\n", reason.c_str());
        return 9;
    }

    Camera camera(PlayStartPosition[0], PlayStartPosition[1], PlayStartPosition[2], 80, 0.1f, 10000);
    FreeLookController controller(&camera, PlayStartPosition, 0, 0);
    DemoCursor cursor(demo);
    PassInput input;
    PlayProgress progress;
    auto now = WorldKeeper::Clock::now();
    const auto pass = std::chrono::microseconds(16667);
    double longestWall = 0;
    std::size_t largestLog = 0;
    const auto afterPass = [&] {
        // A real pass takes a frame's time, in which a fold goes on: waited
        // for here, outside the pass, as the frames would wait for nothing.
        while (keeper.File()->Folding())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto began = std::chrono::steady_clock::now();
        keeper.AfterPass(now += pass);
        longestWall = std::max(longestWall, Seconds(began, std::chrono::steady_clock::now()) * 1000.0);
        largestLog = std::max(largestLog, keeper.File()->LogBytes());
    };
    const auto logFigures = [&](const char* when) {
        std::printf("%s: longest pass by the clock %.3f ms; largest log %.1f KiB\n", when, longestWall,
                    static_cast<double>(largestLog) / 1024.0);
    };
    std::size_t passes = 0;
    while (cursor.Next(input)) {
        PlayPass(controller, map, input, progress);
        afterPass();
        ++passes;
    }
    // The rest of the minute's changes, as the program's next passes would.
    for (int i = 0; i < 600 && keeper.File()->HasChanges(); ++i)
        afterPass();
    const std::vector<double> times = keeper.SaveTimes();
    std::printf("typical minute: %zu passes, %zu passes saved, %lld commits\n", passes, times.size(),
                static_cast<long long>(keeper.File()->Facts().saves));
    std::printf("processor time of a saving pass: median %.3f ms, p99 %.3f ms, longest %.3f ms\n",
                Percentile(times, 0.5), Percentile(times, 0.99), Percentile(times, 1.0));
    logFigures("typical minute");
    Sizes("after the typical minute", path, *keeper.File());

    // A player's digging: one carve a pass at the surface under a wandering
    // point, so holes join up and deepen as they do in play.
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> step(-16, 16);
    int x = map.width / 2, y = map.depth / 2;
    for (int i = 0; i < 5000; ++i) {
        x = std::clamp(x + step(random), 0, map.width - 1);
        y = std::clamp(y + step(random), 0, map.depth - 1);
        int z = map.height - 1;
        while (z > 0 && map.At(x, y, z) == 0)
            --z;
        map.CarveSphere(x, y, z, 4.0f);
        afterPass();
    }
    for (int i = 0; i < 6000 && keeper.File()->HasChanges(); ++i)
        afterPass();
    const std::vector<double> all = keeper.SaveTimes();
    std::printf("with 5,000 carves more: %zu passes saved, p99 %.3f ms, longest %.3f ms\n", all.size(),
                Percentile(all, 0.99), Percentile(all, 1.0));
    logFigures("with 5,000 carves more");
    Sizes("after 5,000 carves more", path, *keeper.File());
    const std::size_t chunks = keeper.File()->StoredChunks();
    std::string told;
    keeper.Finish(told);
    std::error_code e;
    std::printf("closed: %zu changed chunks, file %.1f KiB\n", chunks,
                static_cast<double>(std::filesystem::file_size(path, e)) / 1024.0);

    // Resume against a fresh start, alternating, five of each. The program
    // opens and checks the file before the window opens; the rest comes
    // between the key and the first frame of play.
    std::vector<double> fresh, resume, opening;
    for (int run = 0; run < 5; ++run) {
        auto t0 = std::chrono::steady_clock::now();
        {
            Map m(new BasicMapGenerator(StandardRandom(), demo.worldSeed));
        }
        auto t1 = std::chrono::steady_clock::now();
        fresh.push_back(Seconds(t0, t1));
        t0 = std::chrono::steady_clock::now();
        WorldFile w;
        if (w.Open(path, WorldAccess::ReadOnly, 0, reason) != WorldOpened::Ok) {
            std::fprintf(stderr, "%s\n", reason.c_str());
            return 9;
        }
        t1 = std::chrono::steady_clock::now();
        {
            Map m(new BasicMapGenerator(StandardRandom(), w.Facts().seed));
            if (!w.Load(m, reason)) {
                std::fprintf(stderr, "%s\n", reason.c_str());
                return 9;
            }
        }
        const auto t2 = std::chrono::steady_clock::now();
        opening.push_back(Seconds(t0, t1));
        resume.push_back(Seconds(t1, t2));
    }
    const double f = Percentile(fresh, 0.5), o = Percentile(opening, 0.5), r = Percentile(resume, 0.5);
    std::printf("terrain: fresh %.3f s; resume %.3f s to generate and load (%.2fx), plus %.3f s to open and "
                "check the file at start (medians of 5)\n",
                f, r, r / f, o);
    return 0;
}
