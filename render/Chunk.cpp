// Chunk: compiling the mesher's vertices into a display list.
#include "render/Chunk.h"

#include <GL/gl.h>

#include "render/ScratchPages.h"

Chunk::~Chunk()
{
    if (displayList != 0)
        glDeleteLists(displayList, 1);
}

unsigned int CompileDisplayList(const VertexArray& vertices)
{
    const GLuint list = glGenLists(1);
    const ChunkVertex* first = vertices.data();
    glVertexPointer(3, GL_FLOAT, sizeof(ChunkVertex), first->position);
    glNormalPointer(GL_FLOAT, sizeof(ChunkVertex), first->normal);
    glColorPointer(3, GL_UNSIGNED_BYTE, sizeof(ChunkVertex), first->color);
    glNewList(list, GL_COMPILE);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
    glEndList();
    return list;
}

std::size_t BuildChunk(const Map& map, Chunk& chunk, int cx, int cy, int cz)
{
    if (chunk.displayList != 0) {
        glDeleteLists(chunk.displayList, 1);
        chunk.displayList = 0;
    }
    for (int a = 0; a < 3; ++a) {
        const int c = a == 0 ? cx : a == 1 ? cy : cz;
        chunk.boundsMin[a] = static_cast<float>(c * ChunkSize);
        chunk.boundsMax[a] = chunk.boundsMin[a] + ChunkSize;
    }
    MeshChunk(map, cx, cy, cz, chunk.vertices);
    chunk.listVertices = chunk.vertices.size();
    if (chunk.vertices.empty()) {
        chunk.hasGeometry = false;
        return 0;
    }
    chunk.hasGeometry = true;
    chunk.displayList = CompileDisplayList(chunk.vertices);
    // The storage stays allocated for the next build; its memory goes back
    // to the system until then.
    chunk.vertices.clear();
    ReleasePages(chunk.vertices.data(), chunk.vertices.capacity() * sizeof(ChunkVertex));
    return chunk.listVertices;
}
