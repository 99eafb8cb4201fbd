// WorldCheck: a world file checked before it is used, without writing a
// byte to it or beside it: the file's first bytes, its folder (for play),
// its log (for a replay), then everything in it (WorldInspect), through a
// connection that is closed again before the world is accepted.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "world/WorldFormat.h"
#include "world/WorldInspect.h"

// Checks the world file `file`, which the caller holds locked, for `access`;
// `world` names it in the reason. Ok with what it holds in `contents`.
WorldOpened CheckWorldFile(const std::string& file, WorldAccess access, const std::string& world,
                           WorldContents& contents, std::string& reason);

// Checks an in-memory image of a world file as CheckWorldFile does.
WorldOpened CheckWorldImage(const std::uint8_t* data, std::size_t size, const std::string& world,
                            WorldContents& contents, std::string& reason);
