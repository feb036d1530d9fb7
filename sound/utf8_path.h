// File names travel through the program as UTF-8. On Windows a path made from a narrow
// string would be read in the ANSI code page, which cannot hold most names, so every file
// the program opens or creates goes through these two.
#pragma once

#include <filesystem>
#include <string>

inline std::filesystem::path pathFromUtf8(const std::string& name) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(name.begin(), name.end()));
#else
    return std::filesystem::path(name); // bytes as they are, whatever the locale
#endif
}

inline std::string utf8FromPath(const std::filesystem::path& path) {
#ifdef _WIN32
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
#else
    return path.string();
#endif
}
