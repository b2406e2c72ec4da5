#pragma once
// Where the commands that draw or pose the avatar find the program's data.
#include <cstdlib>
#include <filesystem>
#include <string>

namespace tavrel::cli {

// $TAVREL_HOME when it holds the avatar, else share/tavrel beside bin/.
inline std::string DataFolder() {
    namespace fs = std::filesystem;
    if (const char* home = std::getenv("TAVREL_HOME")) {
        if (fs::exists(fs::path(home) / "avatar.scx")) return home;
    }
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return (exe.parent_path().parent_path() / "share" / "tavrel").string();
}

}  // namespace tavrel::cli
