// Fuzzes the settings loader with arbitrary script bytes: nothing crashes or
// leaks, and each value is what the script's global gives under the rules
// (integers truncated and clamped to 32 bits, booleans by Lua truth).
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <unistd.h>

extern "C" {
#include <lua.h>
}

#include "script/ScriptHost.h"
#include "script/Settings.h"

namespace {

long long Expected(lua_State* L, const char* name)
{
    lua_getfield(L, LUA_GLOBALSINDEX, name);
    long long v = 0;
    if (lua_isnumber(L, -1)) {
        const double n = lua_tonumber(L, -1);
        v = std::isnan(n) ? 0 : n >= 2147483647.0 ? INT_MAX : n <= -2147483648.0 ? INT_MIN : static_cast<long long>(n);
    }
    lua_pop(L, 1);
    return v;
}

bool ExpectedFlag(lua_State* L, const char* name)
{
    lua_getfield(L, LUA_GLOBALSINDEX, name);
    const bool v = lua_toboolean(L, -1) != 0;
    lua_pop(L, 1);
    return v;
}

// One file per process, in TMPDIR, removed when the fuzzer exits.
const std::string& ScratchFile()
{
    static const std::string path = [] {
        const char* dir = std::getenv("TMPDIR");
        std::atexit([] { std::remove(ScratchFile().c_str()); });
        return std::string(dir != nullptr && dir[0] != '\0' ? dir : "/tmp") + "/veldmarrow-fuzz-settings-" +
               std::to_string(getpid()) + ".lua";
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& path = ScratchFile();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    std::ostringstream sink;
    std::streambuf* out = std::cout.rdbuf(sink.rdbuf());
    std::streambuf* err = std::cerr.rdbuf(sink.rdbuf());

    ScriptHost host;
    host.Start();
    Settings s = defaultSettings;
    LoadSettings(host, path, s, 200000);
    lua_State* L = host.state;
    // Scripts may change the globals' types after setting them; the values
    // must match what they hold once the script has ended.
    if (s.screenWidth != Expected(L, "screenWidth") || s.screenHeight != Expected(L, "screenHeight") ||
        s.antialiasing != Expected(L, "antialiasing") || s.fullscreen != ExpectedFlag(L, "fullscreen") ||
        s.vsync != ExpectedFlag(L, "vsync"))
        std::abort();
    host.Stop();

    std::cout.rdbuf(out);
    std::cerr.rdbuf(err);
    return 0;
}
