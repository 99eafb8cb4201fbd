// Chunk: one 16 x 16 x 16 render unit and its OpenGL display list.
#pragma once
#include <cstddef>
#include <vector>

#include "render/ChunkMesher.h"

class Map;

struct Chunk {
    VertexArray vertices; // scratch; empty between builds
    bool queued = false;               // has an entry in the renderer's queue
    bool hasGeometry = false;          // the last build made a display list
    float boundsMin[3] = {0, 0, 0};
    float boundsMax[3] = {0, 0, 0};
    unsigned int displayList = 0;
    std::size_t listVertices = 0; // vertices in the display list
    int storageGeneration = -1;    // see ListStorage

    Chunk() = default;
    ~Chunk();
    Chunk(const Chunk&) = delete;
    Chunk& operator=(const Chunk&) = delete;
};

// Compiles the vertices as GL_TRIANGLES into a new display list and returns
// its name. Needs the vertex, normal and colour client arrays enabled and at
// least one vertex.
unsigned int CompileDisplayList(const VertexArray& vertices);

// Replaces the chunk's display list with its current faces and sets its
// bounds. Needs a current OpenGL context with the vertex, normal and colour
// client arrays enabled; no list is made for a chunk without faces. Returns
// the number of vertices compiled (listVertices), 0 for none.
std::size_t BuildChunk(const Map& map, Chunk& chunk, int cx, int cy, int cz);
