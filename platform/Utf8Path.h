// Utf8Path: file names are UTF-8 strings inside the program. A path built
// from one opens the file by its wide name on Windows (any name the file
// system allows, not only those of the ANSI code page) and by its bytes
// elsewhere. Every file a user names is opened through it.
#pragma once
#include <filesystem>
#include <string>

inline std::filesystem::path Utf8Path(const std::string& name)
{
    return std::filesystem::u8path(name);
}
