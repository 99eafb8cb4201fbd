// LightPool: light ids handed out as a stack.
#include "render/LightPool.h"

#include <GL/gl.h>

void LightPool::Fill()
{
    ids.clear();
    for (int i = 0; i < 8; ++i)
        ids.push_back(GL_LIGHT0 + i);
}

void LightPool::Clear()
{
    std::vector<int>().swap(ids);
}

int LightPool::Acquire()
{
    if (ids.empty())
        return 0;
    const int id = ids.back();
    ids.pop_back();
    return id;
}

void LightPool::Release(int id)
{
    if (id != 0)
        ids.push_back(id);
}
