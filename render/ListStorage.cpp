// ListStorage: generations of compiled display lists and the choice of the
// one to compact.
#include "render/ListStorage.h"

ListStorage::ListStorage(std::size_t generationVertices, std::size_t deadLimit)
    : generationVertices(generationVertices), deadLimit(deadLimit)
{
}

int ListStorage::Compiled(std::size_t vertices)
{
    Generation& g = generations[current];
    g.compiled += vertices;
    g.live += vertices;
    live += vertices;
    const int generation = current;
    if (g.compiled >= generationVertices) {
        // Finished: what its lists lose from now on counts as dead.
        dead += g.compiled - g.live;
        ++current;
    }
    return generation;
}

void ListStorage::Deleted(int generation, std::size_t vertices)
{
    const auto found = generations.find(generation);
    if (found == generations.end())
        return;
    Generation& g = found->second;
    if (g.setAside) {
        // Whatever held it back may be the list just deleted: ask again.
        g.setAside = false;
        setAsideDead -= g.compiled - g.live;
    }
    const std::size_t lost = vertices < g.live ? vertices : g.live;
    g.live -= lost;
    live -= lost;
    if (generation == current)
        return;
    dead += lost;
    if (g.live == 0) {
        // Every list is gone, so the driver has freed the storage.
        dead -= g.compiled;
        generations.erase(found);
    }
}

int ListStorage::GenerationToCompact()
{
    if (target >= 0 && generations.count(target) != 0)
        return target;
    target = -1;
    if (dead - setAsideDead <= deadLimit)
        return -1;
    // The sparsest finished generation frees the most storage per vertex
    // recompiled.
    double bestLiveShare = 2.0;
    for (const auto& entry : generations) {
        if (entry.first == current || entry.second.setAside)
            continue;
        const double liveShare = static_cast<double>(entry.second.live) / entry.second.compiled;
        if (liveShare < bestLiveShare) {
            bestLiveShare = liveShare;
            target = entry.first;
        }
    }
    return target;
}

void ListStorage::SetAside(int generation)
{
    const auto found = generations.find(generation);
    if (found == generations.end() || generation == current || found->second.setAside)
        return;
    found->second.setAside = true;
    setAsideDead += found->second.compiled - found->second.live;
    if (target == generation)
        target = -1;
}
