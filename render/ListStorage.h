// ListStorage: an account of the memory the OpenGL driver holds for the
// chunks' display lists, so that rebuilds cannot pile up dead storage.
//
// Mesa packs the vertices of consecutively compiled lists into shared
// buffers and frees a buffer only when every list in it is deleted, so a
// rebuilt chunk's old vertices stay in memory while any list compiled next to
// them survives. The account groups compiles into generations of consecutive
// vertices; when the vertices of deleted lists in finished generations pass
// a limit, the renderer recompiles the survivors of the sparsest generation,
// after which its buffers hold nothing and the driver frees them.
// No OpenGL here: the renderer reports compiles and deletions.
#pragma once
#include <cstddef>
#include <map>

class ListStorage {
public:
    // `generationVertices`: vertices compiled before a generation is finished;
    // `deadLimit`: deleted vertices in finished generations tolerated before
    // compaction is asked for.
    ListStorage(std::size_t generationVertices, std::size_t deadLimit);

    // Records a list of `vertices` (more than 0) compiled now; returns the
    // generation it was compiled in.
    int Compiled(std::size_t vertices);
    // Records that a list of `vertices` compiled in `generation` was deleted.
    void Deleted(int generation, std::size_t vertices);
    // The finished generation whose surviving lists should be recompiled, or
    // -1 while the deleted vertices in finished generations are within the
    // limit. Once chosen, a generation stays the answer until it is empty or
    // set aside.
    int GenerationToCompact();
    // The renderer will not recompile a list of `generation` (too costly for
    // one frame): it is no longer asked for, and its deleted vertices no
    // longer count toward the limit, until it loses another list.
    void SetAside(int generation);

    // Vertices of deleted lists in generations whose storage is still held
    // (set-aside generations included).
    std::size_t DeadVertices() const { return dead; }
    // Of those, the ones compaction may still give back: the backlog that
    // asks for it (set-aside generations left out).
    std::size_t CountedDeadVertices() const { return dead - setAsideDead; }
    // Vertices of lists alive now.
    std::size_t LiveVertices() const { return live; }

private:
    struct Generation {
        std::size_t compiled = 0; // every vertex compiled into it
        std::size_t live = 0;     // of those, the ones in lists not deleted
        bool setAside = false;
    };
    std::size_t generationVertices;
    std::size_t deadLimit;
    std::map<int, Generation> generations; // only those with live lists, and the current one
    int current = 0;
    int target = -1;
    std::size_t dead = 0; // deleted vertices in finished generations
    std::size_t setAsideDead = 0; // the part of `dead` in set-aside generations
    std::size_t live = 0;
};
