// Settings: loading the settings script and binding its globals.
#include "script/Settings.h"

#include "core/FaultHandler.h"
#include "script/ScriptHost.h"

#include <climits>
#include <cmath>
#include <fstream>
#include <iostream>
#include <iterator>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

namespace {

// The hook counts in steps of this many instructions.
const int HookInterval = 10000;

struct SettingBinding {
    const char* name;
    void* destination;
    bool isInteger;
    long long min;
    long long max;
};

long instructionsLeft = 0;

// Counts the budget, and at every call too (a script that waits in library
// calls runs few instructions) stops a script when the program is to quit.
void CountHook(lua_State* L, lua_Debug* event)
{
    if (QuitSignal() != 0)
        luaL_error(L, "settings script stopped: the program was asked to quit");
    if (event->event != LUA_HOOKCOUNT)
        return;
    instructionsLeft -= HookInterval;
    if (instructionsLeft <= 0)
        luaL_error(L, "settings script exceeded its instruction budget");
}

// One line on the error stream, whatever newlines the message holds.
void ReportScriptError(const char* what, const char* message)
{
    std::string line = message ? message : "unknown error";
    for (char& c : line)
        if (c == '\n' || c == '\r')
            c = ' ';
    std::cerr << what << line << std::endl;
}

// Loads the file as source text only: Lua 5.1 runs precompiled chunks without
// verifying them, so a binary file could crash the interpreter.
int LoadSourceFile(lua_State* L, const std::string& fileName)
{
    std::ifstream file(fileName, std::ios::binary);
    if (!file) {
        lua_pushfstring(L, "cannot open %s", fileName.c_str());
        return LUA_ERRFILE;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (file.bad()) {
        lua_pushfstring(L, "cannot read %s", fileName.c_str());
        return LUA_ERRFILE;
    }
    // Like the stock loader, a first line starting with '#' is skipped but
    // its newline kept, so line numbers still match the file.
    std::size_t start = 0;
    if (!text.empty() && text[0] == '#') {
        start = text.find('\n');
        if (start == std::string::npos)
            start = text.size();
    }
    if (start < text.size() && text[start] == LUA_SIGNATURE[0]) {
        lua_pushfstring(L, "%s: precompiled chunks are not accepted", fileName.c_str());
        return LUA_ERRSYNTAX;
    }
    const std::string chunkName = "@" + fileName;
    return luaL_loadbuffer(L, text.data() + start, text.size() - start, chunkName.c_str());
}

// lua_tointeger's double-to-integer cast is undefined for values beyond the
// integer type; convert the number ourselves, truncating toward zero.
long long ToClampedInteger(lua_State* L, int index, long long min, long long max)
{
    const lua_Number n = lua_tonumber(L, index);
    if (std::isnan(n))
        return 0;
    const double t = std::trunc(static_cast<double>(n));
    if (t >= static_cast<double>(max))
        return max;
    if (t <= static_cast<double>(min))
        return min;
    return static_cast<long long>(t);
}

} // namespace

void LoadSettings(ScriptHost& host, const std::string& fileName, Settings& out, long instructionBudget)
{
    lua_State* L = host.state;
    const int top = lua_gettop(L);
    Settings working = defaultSettings;

    const int loaded = LoadSourceFile(L, fileName);
    if (loaded == 0) {
        instructionsLeft = instructionBudget;
        lua_sethook(L, CountHook, LUA_MASKCOUNT | LUA_MASKCALL, HookInterval);
        const int ran = lua_pcall(L, 0, LUA_MULTRET, 0);
        lua_sethook(L, nullptr, 0, 0);
        if (ran != 0 && QuitSignal() == 0)
            ReportScriptError("settings script error: ", lua_tostring(L, -1));
    } else {
        ReportScriptError("settings not loaded: ", lua_tostring(L, -1));
    }
    // Results and error messages are not needed; leave the stack as found.
    lua_settop(L, top);

    const SettingBinding bindings[] = {
        {"screenWidth", &working.screenWidth, true, INT_MIN, INT_MAX},
        {"screenHeight", &working.screenHeight, true, INT_MIN, INT_MAX},
        {"fullscreen", &working.fullscreen, false, 0, 0},
        {"antialiasing", &working.antialiasing, true, INT_MIN, INT_MAX},
        {"vsync", &working.vsync, false, 0, 0},
    };
    for (const SettingBinding& b : bindings) {
        lua_getfield(L, LUA_GLOBALSINDEX, b.name);
        if (b.isInteger) {
            const long long v = ToClampedInteger(L, -1, b.min, b.max);
            lua_settop(L, -2);
            *static_cast<int*>(b.destination) = static_cast<int>(v);
        } else {
            const bool v = lua_toboolean(L, -1) != 0;
            lua_settop(L, -2);
            *static_cast<bool*>(b.destination) = v;
        }
    }
    out = working;
}

void LoadSettings()
{
    LoadSettings(scriptHost, settingsFileName, settings);
}

std::string TextSetting(ScriptHost& host, const char* name, const char* what)
{
    lua_State* L = host.state;
    lua_getfield(L, LUA_GLOBALSINDEX, name);
    std::string text;
    if (lua_type(L, -1) == LUA_TSTRING) {
        std::size_t length = 0;
        const char* value = lua_tolstring(L, -1, &length);
        text.assign(value, length);
    } else if (!lua_isnil(L, -1)) {
        std::cerr << "settings: " << name << " must be a string (" << what << "); ignored" << std::endl;
    }
    lua_settop(L, -2);
    return text;
}

std::string WorldFileSetting(ScriptHost& host) { return TextSetting(host, "worldFile", "a file name"); }

int WholeSetting(ScriptHost& host, const char* name, int low, int high)
{
    lua_State* L = host.state;
    lua_getfield(L, LUA_GLOBALSINDEX, name);
    int value = 0;
    if (lua_type(L, -1) == LUA_TNUMBER) {
        const lua_Number n = lua_tonumber(L, -1);
        if (n >= low && n <= high && n == static_cast<int>(n))
            value = static_cast<int>(n);
    }
    if (value == 0 && !lua_isnil(L, -1))
        std::cerr << "settings: " << name << " must be a whole number from " << low << " to " << high << "; ignored"
                  << std::endl;
    lua_settop(L, -2);
    return value;
}
