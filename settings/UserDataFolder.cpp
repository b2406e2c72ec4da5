#include "settings/UserDataFolder.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

#include "settings/FileNameRules.h"

namespace tavrel {
namespace {

std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

std::string HomeFolder() {
    std::string home = Environment("HOME");
    if (home.empty()) {
        if (const passwd* entry = ::getpwuid(::getuid())) home = entry->pw_dir;
    }
    return home;
}

std::string WithoutTrailingSeparator(std::string path) {
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

}  // namespace

std::string UserDataFolder() {
    if (std::string home = Environment("TAVREL_HOME"); !home.empty()) {
        return WithoutTrailingSeparator(home);
    }
    // The XDG rules ignore a relative XDG_DATA_HOME.
    std::string data = Environment("XDG_DATA_HOME");
    if (data.empty() || data.front() != '/') data = JoinPath(HomeFolder(), ".local/share");
    return JoinPath(WithoutTrailingSeparator(data), "Tavrel");
}

}  // namespace tavrel
