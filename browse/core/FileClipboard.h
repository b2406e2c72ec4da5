#pragma once
// The gallery's own file clipboard: copy and cut remember paths and change nothing on disk;
// paste copies or moves them into a folder. A file never overwrites another: when the target
// name is taken (also when a file is pasted into its own folder) the user is offered a derived
// name instead, with message 61269.
#include <functional>
#include <string>
#include <vector>

#include "browse/core/LibraryFolders.h"
#include "settings/Message.h"

namespace tavrel {

enum class FileTransfer { kCopy, kMove };

// Asked when the target name is taken: the message to show and the derived path it offers.
// True pastes under the derived path, false skips the file.
using NameClashQuestion = std::function<bool(const Message& message, const std::string& derived)>;

struct TransferResult {
    std::vector<std::string> done;    // the new paths
    std::vector<std::string> failed;  // sources that could not be copied or moved
    size_t skipped = 0;               // declined by the user, or already in place
};

// Copies or moves each file into the folder. Moving a file onto itself leaves it in place. A
// move to another file system copies, then removes the original; when that remove fails the
// copy goes again and the file counts as failed, so that it is never in both places.
TransferResult TransferFiles(const std::vector<std::string>& files, const std::string& folder,
                             FileTransfer transfer, const NameClashQuestion& ask,
                             const MoveSteps& steps = {});

class CFileClipboard {
public:
    void Copy(std::vector<std::string> paths) { Set(std::move(paths), FileTransfer::kCopy); }
    void Cut(std::vector<std::string> paths) { Set(std::move(paths), FileTransfer::kMove); }
    bool IsEmpty() const { return paths_.empty(); }
    bool IsCut() const { return transfer_ == FileTransfer::kMove; }
    const std::vector<std::string>& Paths() const { return paths_; }
    void Clear() { paths_.clear(); }

    // Copies or moves the remembered files into the folder. After a cut the moved files leave
    // the clipboard (their old paths are gone); copied files stay for further pastes.
    TransferResult Paste(const std::string& folder, const NameClashQuestion& ask);

private:
    void Set(std::vector<std::string> paths, FileTransfer transfer);

    std::vector<std::string> paths_;
    FileTransfer transfer_ = FileTransfer::kCopy;
};

}  // namespace tavrel
