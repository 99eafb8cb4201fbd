// ScriptHost: interpreter lifetime and the two functions offered to scripts.
#include "script/ScriptHost.h"

#include <cstdlib>
#include <iostream>
#include <string>

#include "core/ExitStatus.h"
#include "core/Fatal.h"

extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}

namespace {

// Lua's allocator with a ceiling: refusing an allocation makes Lua raise
// "not enough memory", which the protected call catches.
void* LimitedAlloc(void* ud, void* ptr, std::size_t osize, std::size_t nsize)
{
    ScriptHost* host = static_cast<ScriptHost*>(ud);
    if (nsize == 0) {
        std::free(ptr);
        host->memoryInUse -= osize;
        return nullptr;
    }
    if (nsize > osize && host->memoryInUse - osize + nsize > ScriptHost::MemoryLimit)
        return nullptr;
    void* block = std::realloc(ptr, nsize);
    if (block)
        host->memoryInUse = host->memoryInUse - osize + nsize;
    return block;
}

int Panic(lua_State* L)
{
    // Only the host's own unprotected calls at start-up can get here, and
    // they fail only for want of memory.
    const char* message = lua_tostring(L, -1);
    FatalExit(ExitStatus::OutOfMemory, std::string("Lua panic: ") + (message ? message : "unknown error"));
}

// Calls the `tostring` at stack index 1 on argument i and leaves the result
// on the stack top; raises the library's error when it is not a string.
const char* ToStringArgument(lua_State* L, int i, const char* caller)
{
    lua_pushvalue(L, 1);
    lua_pushvalue(L, i + 1);
    lua_call(L, 1, 1);
    const char* s = lua_tostring(L, -1);
    if (s == nullptr)
        luaL_error(L, "'tostring' must return a string to '%s'", caller);
    return s;
}

int Print(lua_State* L)
{
    const int n = lua_gettop(L);
    lua_getfield(L, LUA_GLOBALSINDEX, "tostring");
    lua_insert(L, 1);
    for (int i = 1; i <= n; ++i) {
        const char* s = ToStringArgument(L, i, "print");
        if (i > 1)
            std::cout << "\t";
        std::cout << s;
        lua_pop(L, 1);
    }
    std::cout << std::endl;
    return 0;
}

int AddMapLoadedCallbacks(lua_State* L)
{
    ScriptHost* host = static_cast<ScriptHost*>(lua_touserdata(L, lua_upvalueindex(1)));
    const int n = lua_gettop(L);
    lua_getfield(L, LUA_GLOBALSINDEX, "tostring");
    lua_insert(L, 1);
    for (int i = 1; i <= n; ++i) {
        const char* s = ToStringArgument(L, i, "addMapLoadedCallbacks");
        host->mapLoadedCallbacks.emplace_back(s);
        lua_pop(L, 1);
    }
    return 0;
}

} // namespace

void ScriptHost::Start()
{
    mapLoadedCallbacks.clear();
    memoryInUse = 0;
    state = lua_newstate(LimitedAlloc, this);
    if (state == nullptr) {
        FatalExit(ExitStatus::OutOfMemory, "cannot create the Lua interpreter (out of memory)");
    }
    lua_atpanic(state, Panic);
    luaL_openlibs(state);
    lua_pushcclosure(state, Print, 0);
    lua_setfield(state, LUA_GLOBALSINDEX, "print");
    // The host travels as an upvalue so the function needs no global lookup.
    lua_pushlightuserdata(state, this);
    lua_pushcclosure(state, AddMapLoadedCallbacks, 1);
    lua_setfield(state, LUA_GLOBALSINDEX, "addMapLoadedCallbacks");
}

void ScriptHost::Stop()
{
    if (state != nullptr)
        lua_close(state);
    state = nullptr;
    std::vector<std::string>().swap(mapLoadedCallbacks);
}
