#pragma once
// Crash-safe writing: a file is written under a temporary name in its own folder, flushed to the
// disk and renamed over the target, so the target always holds either its old or its new content,
// whatever happens meanwhile (a crash, a kill, a full disk). Every file the program writes goes
// through here.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tavrel {

class FileReplacer {
public:
    // Writes the file's new content into the temporary path it is given; false means failure.
    using Writer = std::function<bool(const std::string& temporary)>;

    // Replaces target with what write puts into a temporary file beside it. A target that is a
    // symbolic link has the file it points to replaced; a device or pipe is written in place. An
    // existing target keeps its permission bits. On any failure the temporary file is removed, the
    // target is left as it was and the result is false; what write throws is passed on after the
    // same clean-up.
    static bool Replace(const std::string& target, const Writer& write);
    // The same for content held in memory.
    static bool Replace(const std::string& target, std::string_view bytes);
    // Copies a file's bytes to target the same way.
    static bool Copy(const std::string& source, const std::string& target);

    // Files under a scratch folder (the timeline's working directory, emptied whenever the
    // editor starts or opens a project) are still replaced whole but not flushed to the disk:
    // nothing there outlives the session, and each flush waits for the disk (opening a project
    // of many clips spent most of its time there).
    static void AddScratchFolder(const std::string& folder);
    // How many files have been flushed to the disk so far.
    static int64_t FlushCount();

    // The same for a writer that works over a longer time (an export): the temporary file keeps
    // the target's extension (writers choose their format by it) and is removed unless Commit
    // succeeds.
    class Pending {
    public:
        explicit Pending(const std::string& target);
        ~Pending();
        Pending(const Pending&) = delete;
        Pending& operator=(const Pending&) = delete;

        bool IsOpen() const { return !temporary_.empty(); }
        const std::string& TempPath() const { return temporary_; }
        const std::string& Target() const { return target_; }
        // Flushes the temporary file and renames it over the target; false (and the temporary
        // file removed) when it cannot.
        bool Commit();

    private:
        std::string target_;
        std::string final_;
        std::string temporary_;
        bool inPlace_ = false;
        bool done_ = false;
    };
};

}  // namespace tavrel
