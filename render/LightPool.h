// LightPool: the program-wide stack of free OpenGL light ids.
#pragma once
#include <vector>

class LightPool {
public:
    std::vector<int> ids;

    // Fills the pool with GL_LIGHT0 ... GL_LIGHT7, ascending, so GL_LIGHT7 is on top.
    void Fill();
    // Releases the pool's storage.
    void Clear();
    // Takes the id on top; 0 (no light) when the pool is empty.
    int Acquire();
    // Gives an id back; 0 is ignored.
    void Release(int id);
};

extern LightPool lightPool;
