// The script host's print and addMapLoadedCallbacks, and settings loading.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

#include "script/ScriptHost.h"
#include "script/Settings.h"

namespace {

// Runs Lua code in a fresh host while capturing the output and error streams.
struct HostFixture : ::testing::Test {
    ScriptHost host;
    std::ostringstream out, err;
    std::streambuf* oldOut = nullptr;
    std::streambuf* oldErr = nullptr;

    void SetUp() override
    {
        host.Start();
        oldOut = std::cout.rdbuf(out.rdbuf());
        oldErr = std::cerr.rdbuf(err.rdbuf());
    }
    void TearDown() override
    {
        std::cout.rdbuf(oldOut);
        std::cerr.rdbuf(oldErr);
        host.Stop();
    }
    // Returns the error message, or "" when the code ran.
    std::string Run(const std::string& code)
    {
        if (luaL_loadbuffer(host.state, code.data(), code.size(), "test") != 0 ||
            lua_pcall(host.state, 0, 0, 0) != 0) {
            std::string message = lua_tostring(host.state, -1);
            lua_pop(host.state, 1);
            return message;
        }
        return "";
    }
    Settings Load(const std::string& script)
    {
        // One file per process: CTest runs the tests in parallel.
        const std::string name = ::testing::TempDir() + "settings_test_" + std::to_string(getpid()) + ".lua";
        std::ofstream(name, std::ios::binary) << script;
        Settings s = defaultSettings;
        LoadSettings(host, name, s);
        std::remove(name.c_str());
        return s;
    }
};

} // namespace

TEST_F(HostFixture, PrintWritesTabSeparatedLine)
{
    EXPECT_EQ(Run("print('a string', 1, nil, true) print() print('x\\0hidden')"), "");
    EXPECT_EQ(out.str(), "a string\t1\tnil\ttrue\n\nx\n");
}

TEST_F(HostFixture, PrintUsesTheCurrentTostringAndReportsBadResults)
{
    EXPECT_EQ(Run("tostring = function(v) return 42 end print('q')"), "");
    EXPECT_EQ(out.str(), "42\n");
    out.str("");
    const std::string error = Run("tostring = function(v) return {} end print('a', 'b')");
    EXPECT_NE(error.find("'tostring' must return a string to 'print'"), std::string::npos) << error;
    EXPECT_EQ(out.str(), "");
    out.str("");
    const std::string later = Run("local n = 0 tostring = function(v) n = n + 1 if n == 3 then return {} end "
                                  "return v end print('a', 'b', 'c')");
    EXPECT_NE(later.find("'print'"), std::string::npos);
    EXPECT_EQ(out.str(), "a\tb"); // partial output, no end of line
}

TEST_F(HostFixture, CallbacksRecordedInOrderAsStrings)
{
    EXPECT_EQ(Run("addMapLoadedCallbacks('one', 'two') addMapLoadedCallbacks(3) addMapLoadedCallbacks()"
                  " addMapLoadedCallbacks('a\\0b')"),
              "");
    EXPECT_EQ(host.mapLoadedCallbacks, (std::vector<std::string>{"one", "two", "3", "a"}));

    const std::string error = Run("local n = 0 tostring = function(v) n = n + 1 if n == 2 then return true end "
                                  "return v end addMapLoadedCallbacks('k1', 'k2', 'k3')");
    EXPECT_NE(error.find("'tostring' must return a string to 'addMapLoadedCallbacks'"), std::string::npos);
    EXPECT_EQ(host.mapLoadedCallbacks.back(), "k1"); // the arguments before the failure stay recorded
    EXPECT_EQ(host.mapLoadedCallbacks.size(), 5u);
}

TEST_F(HostFixture, SettingsAllFiveAndPrintIntoTheLog)
{
    const Settings s = Load("screenWidth = 1024 screenHeight = 768 fullscreen = false antialiasing = 4 "
                            "vsync = true print('from settings')");
    EXPECT_EQ(s.screenWidth, 1024);
    EXPECT_EQ(s.screenHeight, 768);
    EXPECT_FALSE(s.fullscreen);
    EXPECT_EQ(s.antialiasing, 4);
    EXPECT_TRUE(s.vsync);
    EXPECT_EQ(out.str(), "from settings\n");
    EXPECT_EQ(err.str(), "");
}

TEST_F(HostFixture, SettingsMissingValuesAreZeroNotDefaults)
{
    Settings s = defaultSettings;
    LoadSettings(host, ::testing::TempDir() + "no_such_settings.lua", s);
    EXPECT_EQ(s.screenWidth, 0);
    EXPECT_EQ(s.screenHeight, 0);
    EXPECT_FALSE(s.fullscreen);
    EXPECT_FALSE(s.vsync);
    EXPECT_NE(err.str().find("cannot open"), std::string::npos);

    s = Load("screenWidth = 640");
    EXPECT_EQ(s.screenWidth, 640);
    EXPECT_EQ(s.screenHeight, 0);
    EXPECT_FALSE(s.fullscreen);
    EXPECT_FALSE(s.vsync);
}

TEST_F(HostFixture, SettingsConversions)
{
    Settings s = Load("fullscreen = 0 screenWidth = '1024' screenHeight = {} antialiasing = 'many' vsync = 'no'");
    EXPECT_TRUE(s.fullscreen); // only nil and false are false
    EXPECT_EQ(s.screenWidth, 1024);
    EXPECT_EQ(s.screenHeight, 0);
    EXPECT_EQ(s.antialiasing, 0);
    EXPECT_TRUE(s.vsync);

    s = Load("screenWidth = 5000000000 screenHeight = -5000000000 antialiasing = 1e300 ");
    EXPECT_EQ(s.screenWidth, INT_MAX);
    EXPECT_EQ(s.screenHeight, INT_MIN);
    EXPECT_EQ(s.antialiasing, INT_MAX);
    s = Load("screenWidth = -1e300 screenHeight = 0/0 antialiasing = 2.9");
    EXPECT_EQ(s.screenWidth, INT_MIN);
    EXPECT_EQ(s.screenHeight, 0);
    EXPECT_EQ(s.antialiasing, 2);
}

TEST_F(HostFixture, SettingsErrorHalfWayKeepsEarlierValuesAndReportsOneLine)
{
    const Settings s = Load("screenWidth = 800\nerror('bad\\nthing')\nscreenHeight = 600\n");
    EXPECT_EQ(s.screenWidth, 800);
    EXPECT_EQ(s.screenHeight, 0);
    EXPECT_NE(err.str().find(".lua:2: bad thing"), std::string::npos) << err.str();
    const std::string errors = err.str();
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
}

TEST_F(HostFixture, SettingsSyntaxErrorsPrecompiledChunksAndEndlessLoopsAreRefused)
{
    Settings s = Load("screenWidth = = 3");
    EXPECT_EQ(s.screenWidth, 0);
    EXPECT_NE(err.str().find(".lua:1:"), std::string::npos) << err.str();

    err.str("");
    s = Load(std::string(LUA_SIGNATURE) + "\x51\x00garbage");
    EXPECT_EQ(s.screenWidth, 0);
    EXPECT_NE(err.str().find("precompiled"), std::string::npos) << err.str();

    err.str("");
    s = Load("#!/usr/bin/lua\nscreenWidth = 320 while true do end");
    EXPECT_EQ(s.screenWidth, 320);
    EXPECT_NE(err.str().find("instruction budget"), std::string::npos) << err.str();

    err.str("");
    s = Load("screenHeight = 200 local s = string.rep(string.rep('x', 64), 2^27)");
    EXPECT_EQ(s.screenHeight, 200);
    EXPECT_NE(err.str().find("memory"), std::string::npos) << err.str();
}
