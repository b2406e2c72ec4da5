#include "timeline/WorkingDirectory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <vector>

#include "base/DebugOutput.h"
#include "base/FileReplacer.h"
#include "base/RegularFile.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"

namespace tavrel {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower;
}

std::string FileNameOf(const std::string& path) {
    return fs::path(path).filename().string();
}

bool IsTaken(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(path, error));
}

Message Failure(int id) {
    return MakeMessage(id);
}

const char* WhyNotCopied(const std::string& path, const std::string& target, bool nulInName) {
    if (nulInName) return "its name cannot be stored";
    if (!IsRegularFile(path)) return "it is not a file that can be read";
    if (IsTaken(target)) return "the working folder has a file of that name";
    return "the copy could not be written";
}

// The file system sees a path only up to a NUL: the rest would silently name another file.
bool HasNul(std::string_view path) {
    return path.find('\0') != std::string_view::npos;
}

constexpr int kMaxEditors = 32;  // running at once, each with a folder of its own

// Locks the file without waiting: a lock that dies with its process (or its last descriptor).
std::shared_ptr<int> TakeLock(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return nullptr;
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_uid != ::getuid() || ::flock(fd, LOCK_EX | LOCK_NB)) {
        ::close(fd);
        return nullptr;
    }
    return std::shared_ptr<int>(new int(fd), [](int* held) {
        ::close(*held);
        delete held;
    });
}

struct ClaimedFolder {
    std::string path;
    std::shared_ptr<int> lock;
};

// The first of name, name-2, name-3... in parent that no other running editor holds, locked
// (its lock file lies beside it: emptying the folder leaves the lock alone) and made private.
std::optional<ClaimedFolder> ClaimFolder(const std::string& parent, const std::string& name) {
    for (int i = 1; i <= kMaxEditors; ++i) {
        const std::string path = JoinPath(parent, i == 1 ? name : name + "-" + std::to_string(i));
        std::shared_ptr<int> lock = TakeLock(path + ".lock");
        if (!lock) continue;
        if (!MakePrivateFolder(path)) return std::nullopt;
        return ClaimedFolder{path, std::move(lock)};
    }
    return std::nullopt;
}

}  // namespace

std::optional<CWorkingDirectory> CWorkingDirectory::Create(std::string_view tempPath,
                                                           const StringLookup& lookup,
                                                           Message* failure) {
    const std::string temp = tempPath.empty() ? SystemTempPath() : std::string(tempPath);
    Message message;
    std::optional<ClaimedFolder> claimed;
    if (temp.empty() || temp.size() > kMaxStoredPathLength) {
        message = Failure(strings::kNoTempPath);
    } else {
        // The level that could not be made, for the message.
        std::string where = JoinPath(temp, UserTempFolderName());
        if (const std::string mine = UserTempFolder(temp); !mine.empty()) {
            where = JoinPath(mine, lookup(strings::kWorkingFolderOuter));
            if (MakePrivateFolder(where)) {
                claimed = ClaimFolder(where, lookup(strings::kWorkingFolderInner));
                where = JoinPath(where, lookup(strings::kWorkingFolderInner));
            }
        }
        if (!claimed) {
            DebugPrintf("CWorkingDirectory::Create failed: cannot make %s\n", where.c_str());
            message =
                MakeMessage(strings::kWorkingDirFailed, {{std::string(kWorkingDirToken), where}});
        }
    }
    if (message) {
        if (failure) *failure = message;
        return std::nullopt;
    }
    // Its files are copies and conversions that the next start or project throws away.
    FileReplacer::AddScratchFolder(claimed->path);
    return CWorkingDirectory(claimed->path, lookup(strings::kNativeMotionExtension),
                             std::move(claimed->lock));
}

ImportResult CWorkingDirectory::CopyInAs(const std::string& path, const std::string& name,
                                         int failureMessage) const {
    if (path.size() > kMaxEnteringPathLength) return {"", Failure(strings::kPathTooLong)};
    const std::string target = JoinPath(path_, name);
    if (target.size() > kMaxStoredPathLength) return {"", Failure(strings::kPathTooLong)};
    if (HasNul(name) || IsTaken(target) || !IsRegularFile(path)) {
        return {"", FileMessage(failureMessage, path, WhyNotCopied(path, target, HasNul(name)))};
    }
    // Copied under a temporary name and renamed: a crash never leaves half a clip behind.
    if (!FileReplacer::Copy(path, target)) {
        DebugPrintf("CWorkingDirectory::CopyIn failed: %s\n", path.c_str());
        return {"", FileMessage(failureMessage, path, "the copy could not be written")};
    }
    return {target, {}};
}

ImportResult CWorkingDirectory::CopyIn(const std::string& path, int failureMessage) const {
    if (path.size() > kMaxEnteringPathLength) return {"", Failure(strings::kPathTooLong)};
    if (!IsRegularFile(path)) {
        return {"", FileMessage(failureMessage, path, "it is not a file that can be read")};
    }
    std::string name = FileNameOf(path);
    // Two files of the same name from different folders must not share one copy.
    if (IsTaken(JoinPath(path_, name))) name = FileNameOf(MakeDerivedName(JoinPath(path_, name)));
    if (name.empty()) return {"", Failure(strings::kPathTooLong)};
    return CopyInAs(path, name, failureMessage);
}

ImportResult CWorkingDirectory::ImportMotionFile(const std::string& path, CMotionSide& motion,
                                                 int fps, ImportNotes* notes,
                                                 const std::string& take) const {
    if (path.size() > kMaxEnteringPathLength) return {"", Failure(strings::kPathTooLong)};
    if (!motion.NeedsConversion(path, fps)) {
        ImportResult copy = CopyIn(path, strings::kMotionFileUnusable);
        if (copy) motion.Forget(copy.path);
        return copy;
    }
    std::string target = JoinPath(path_, fs::path(path).stem().string() + "." + nativeExtension_);
    if (IsTaken(target)) target = MakeDerivedName(target);
    if (target.empty() || target.size() > kMaxStoredPathLength) {
        return {"", Failure(strings::kPathTooLong)};
    }
    if (!IsRegularFile(path) || motion.FrameCount(path) < 1 ||
        !motion.Convert(path, target, fps, notes, take)) {
        return {"", Failure(strings::kMotionFileUnusable)};
    }
    return {target, {}};
}

std::string CWorkingDirectory::NumberedName(std::string_view base) const {
    return MakeNumberedName(path_, base, nativeExtension_);
}

bool CWorkingDirectory::Empty() const {
    return EmptyFolder(path_);
}

void CWorkingDirectory::RemoveFilesWithExtension(std::string_view extension,
                                                 const std::string& keep) const {
    std::error_code error;
    const std::string wanted = "." + Lower(extension);
    for (const auto& entry : fs::directory_iterator(path_, error)) {
        if (Lower(entry.path().extension().string()) == wanted && entry.path() != keep) {
            fs::remove(entry.path(), error);
        }
    }
}

bool EmptyFolder(const std::string& folder) {
    std::error_code error;
    std::vector<fs::path> entries;
    for (auto it = fs::directory_iterator(folder, error); !error && it != fs::directory_iterator();
         it.increment(error)) {
        entries.push_back(it->path());
    }
    if (error) return false;
    bool emptied = true;
    for (const fs::path& path : entries) {
        if (fs::is_directory(fs::symlink_status(path, error))) {
            fs::permissions(path, fs::perms::owner_all, fs::perm_options::add, error);
            emptied = EmptyFolder(path.string()) && emptied;
        }
        if (!fs::remove(path, error)) {
            // A read-only entry loses its read-only state and is deleted again.
            fs::permissions(path, fs::perms::owner_write,
                            fs::perm_options::add | fs::perm_options::nofollow, error);
            if (!fs::remove(path, error)) {
                DebugPrintf("EmptyFolder failed: cannot delete %s\n", path.c_str());
                emptied = false;
            }
        }
    }
    return emptied;
}

}  // namespace tavrel
