#include "settings/UserDataFolder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "base/DebugOutput.h"
#include "settings/FileNameRules.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

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

// Tavrel in the XDG folder the variable names, or in its default under the home folder; the XDG
// rules ignore a relative path.
std::string XdgFolder(const char* variable, const char* fallback) {
    std::string base = Environment(variable);
    if (base.empty() || base.front() != '/') base = JoinPath(HomeFolder(), fallback);
    return JoinPath(WithoutTrailingSeparator(base), "Tavrel");
}

// A folder of this user's that no one else may write into, looked at without following a link.
bool IsClosedFolderOfMine(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    const bool closed = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) &&
                        info.st_uid == ::getuid() && (info.st_mode & 077) == 0;
    ::close(fd);
    return closed;
}

// In a folder that others write into, a name is taken only as a new folder, or as one of this
// user's that was closed all along: one that was open to others may hold what they put there.
bool MakeClosedFolder(const std::string& path) {
    return ::mkdir(path.c_str(), 0700) == 0 || IsClosedFolderOfMine(path);
}

// The user's own fallback for the shared temporary folder: under their cache folder, in their
// home, where no other user can take the name.
std::string HomeTempFolder() {
    const fs::path folder = fs::path(UserCacheFolder()) / "tmp";
    if (!folder.is_absolute()) return {};
    std::error_code error;
    fs::create_directories(folder.parent_path(), error);
    return MakePrivateFolder(folder.string()) ? folder.string() : std::string();
}

}  // namespace

std::string UserDataFolder() {
    if (std::string home = Environment("TAVREL_HOME"); !home.empty()) {
        return WithoutTrailingSeparator(home);
    }
    return XdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string UserCacheFolder() {
    if (std::string home = Environment("TAVREL_HOME"); !home.empty()) {
        return JoinPath(WithoutTrailingSeparator(home), "cache");
    }
    return XdgFolder("XDG_CACHE_HOME", ".cache");
}

std::string BundledDataFolder() {
    std::error_code error;
    const fs::path exe = fs::read_symlink("/proc/self/exe", error);
    return (exe.parent_path().parent_path() / "share" / "tavrel").string();
}

std::string AvatarDataFolder() {
    const std::string user = UserDataFolder();
    std::error_code error;
    if (fs::exists(fs::path(user) / "avatar.scx", error)) return user;
    return BundledDataFolder();
}

bool EnsureDefaultMotionLibrary(const std::string& library, const std::string& samples) {
    std::error_code error;
    if (fs::exists(library, error)) return fs::is_directory(library, error);
    fs::create_directories(library, error);
    if (error) return false;
    // Copies what it can: a sample that cannot be copied is left out, not a reason to stop.
    fs::copy(samples, library, fs::copy_options::recursive | fs::copy_options::skip_existing,
             error);
    return fs::is_directory(library, error);
}

std::string SystemTempPath() {
    const char* tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

bool MakePrivateFolder(const std::string& path) {
    if (::mkdir(path.c_str(), 0700) == 0) return true;
    // Opened without following a link, the folder checked is the folder narrowed.
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info;
    const bool mine = ::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
    const bool narrowed = mine && ((info.st_mode & 0777) == 0700 || ::fchmod(fd, 0700) == 0);
    ::close(fd);
    return narrowed;
}

std::string UserTempFolder(std::string_view temp) {
    const std::string base = temp.empty() ? SystemTempPath() : std::string(temp);
    const std::string folder = JoinPath(base, UserTempFolderName());
    if (MakeClosedFolder(folder)) return folder;
    DebugOutput("UserTempFolder: " + folder +
                " is not this user's alone; the home folder's is used\n");
    return HomeTempFolder();
}

std::string UserRuntimeFolder() {
    const std::string runtime = Environment("XDG_RUNTIME_DIR");
    if (!runtime.empty() && runtime.front() == '/' && IsClosedFolderOfMine(runtime))
        return WithoutTrailingSeparator(runtime);
    return UserTempFolder();
}

std::string UserTempFolderName() {
    return "tavrel-" + std::to_string(::getuid());
}

}  // namespace tavrel
