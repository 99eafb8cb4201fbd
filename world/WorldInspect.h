// WorldInspect: a world database read through and checked whole before
// anything in it is used: SQLite's own check of every page, the marker,
// the row of facts and every stored chunk. Reads only.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "world/WorldFormat.h"

struct sqlite3;

// What a world that passed the checks holds.
struct WorldContents {
    WorldFacts facts;
    // The player's row (format 2); a format-1 world keeps none.
    bool hasPose = false;
    PlayerPose pose;
    // The poses a server kept by player name (format 2, when served).
    std::map<std::string, PlayerPose> named;
    // The stored chunks in the order of their numbers, inflated and checked.
    std::vector<std::pair<int, std::vector<std::uint8_t>>> chunks;
};

// Checks the world open in `db`, called `world` in the reason (`world
// "NAME"`): Ok with what it holds in `contents`; Held when another
// connection holds the database; Refused, with the reason, otherwise.
WorldOpened InspectWorld(sqlite3* db, const std::string& world, WorldContents& contents, std::string& reason);
