// The installed program's folder: where it is, what the first start puts
// there, and what later starts leave alone.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/CommandLine.h"
#include "core/UserFolder.h"

namespace fs = std::filesystem;

namespace {

std::string Read(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Write(const fs::path& p, const std::string& text)
{
    std::ofstream(p, std::ios::binary) << text;
}

} // namespace

TEST(UserFolder, WhereItIsAndHowArgumentsAreRead)
{
    EXPECT_EQ(UserFolderFor("/x/data", "/home/u"), "/x/data/veldmarrow");
    EXPECT_EQ(UserFolderFor(nullptr, "/home/u"), "/home/u/.local/share/veldmarrow");
    EXPECT_EQ(UserFolderFor("", "/home/u"), "/home/u/.local/share/veldmarrow");
    EXPECT_EQ(UserFolderFor("relative", "/home/u"), "/home/u/.local/share/veldmarrow");
    EXPECT_EQ(UserFolderFor(nullptr, nullptr), "");
    EXPECT_EQ(UserFolderFor("", "relative"), "");

    EXPECT_EQ(AbsoluteFrom("/where/typed", "bug.demo"), "/where/typed/bug.demo");
    EXPECT_EQ(AbsoluteFrom("/where/typed", "../b.demo"), "/where/typed/../b.demo");
    EXPECT_EQ(AbsoluteFrom("/where/typed", "/abs/c.demo"), "/abs/c.demo");

    const char* args[] = {"veldmarrow", "--data-dir", "/usr/share/games/veldmarrow", "--record", "a.demo"};
    const CommandLine c = ParseCommandLine(5, args);
    EXPECT_EQ(c.mode, RunMode::Record);
    EXPECT_EQ(c.demoFile, "a.demo");
    EXPECT_EQ(c.dataDir, "/usr/share/games/veldmarrow");
    const char* twice[] = {"veldmarrow", "--data-dir", "a", "--data-dir", "b"};
    EXPECT_EQ(ParseCommandLine(5, twice).mode, RunMode::Invalid);
    const char* bare[] = {"veldmarrow", "--data-dir"};
    EXPECT_EQ(ParseCommandLine(2, bare).mode, RunMode::Invalid);
}

TEST(UserFolder, FirstStartSeedsItAndLaterStartsLeaveTheUsersFilesAlone)
{
    const char* tmp = std::getenv("TMPDIR");
    const fs::path root = fs::path(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") /
                          ("veldmarrow-userfolder-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    const fs::path packaged = root / "packaged";
    const fs::path folder = root / "home" / "veldmarrow";
    fs::create_directories(packaged);
    Write(packaged / "settings.lua", "screenWidth = 640\n");
    Write(packaged / "splash.png", "packaged");
    Write(packaged / "menu.bmp", "packaged");
    const fs::path before = fs::current_path();
    std::string reason;

    ASSERT_TRUE(EnterUserFolder(folder.string(), packaged.string(), reason)) << reason;
    EXPECT_EQ(fs::current_path(), fs::canonical(folder));
    EXPECT_EQ(Read(folder / "settings.lua"), "screenWidth = 640\n");
    EXPECT_FALSE(fs::exists(folder / ".settings.lua.partial"));

    // The user edits the settings and puts a splash picture of their own beside them.
    Write(folder / "settings.lua", "screenWidth = 1920\n");
    Write(folder / "splash.png", "mine");
    Write(packaged / "settings.lua", "screenWidth = 800\n"); // a newer package's default
    ASSERT_TRUE(EnterUserFolder(folder.string(), packaged.string(), reason)) << reason;
    EXPECT_EQ(Read(folder / "settings.lua"), "screenWidth = 1920\n");
    packagedDataFolder = packaged.string();
    EXPECT_EQ(DataFilePath("splash.png"), "splash.png");
    EXPECT_EQ(DataFilePath("menu.bmp"), (packaged / "menu.bmp").string());
    packagedDataFolder.clear();
    EXPECT_EQ(DataFilePath("menu.bmp"), "menu.bmp");

    // A folder that cannot be made is refused with the reason, nothing copied.
    const fs::path blocked = root / "a-file";
    Write(blocked, "");
    EXPECT_FALSE(EnterUserFolder((blocked / "veldmarrow").string(), packaged.string(), reason));
    EXPECT_NE(reason.find((blocked / "veldmarrow").string()), std::string::npos) << reason;

    fs::current_path(before);
    fs::remove_all(root);
}
