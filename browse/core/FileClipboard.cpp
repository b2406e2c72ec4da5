#include "browse/core/FileClipboard.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "base/DebugOutput.h"
#include "base/RegularFile.h"
#include "browse/core/LibraryFolders.h"
#include "settings/FileNameRules.h"
#include "settings/StringIds.h"

namespace tavrel {

namespace fs = std::filesystem;

namespace {

bool SameFile(const fs::path& a, const fs::path& b) {
    std::error_code error;
    return fs::equivalent(a, b, error);
}

// Never replaces an existing file: the target was checked, and copy_file refuses by default.
bool CopyOne(const fs::path& from, const fs::path& to) {
    std::error_code error;
    return fs::copy_file(from, to, fs::copy_options::none, error) && !error;
}

bool MoveOne(const fs::path& from, const fs::path& to, const MoveSteps& steps) {
    if (steps.rename(from.string(), to.string())) return true;
    if (errno != EXDEV) return false;
    // Another file system: copy, and remove the original only once the copy is complete.
    if (!CopyOne(from, to)) return false;
    if (steps.remove(from.string())) return true;
    std::error_code error;
    fs::remove(to, error);
    return false;
}

}  // namespace

TransferResult TransferFiles(const std::vector<std::string>& files, const std::string& folder,
                             FileTransfer transfer, const NameClashQuestion& ask,
                             const MoveSteps& steps) {
    TransferResult result;
    for (const std::string& file : files) {
        std::error_code error;
        const fs::path from(file);
        if (!IsRegularFile(file)) {
            result.failed.push_back(file);
            continue;
        }
        fs::path to = fs::path(folder) / from.filename();
        if (transfer == FileTransfer::kMove && SameFile(from, to)) {
            ++result.skipped;  // already where it should go
            continue;
        }
        if (fs::exists(to, error)) {
            const std::string derived = MakeDerivedName(to.string());
            const Message question =
                MakeMessage(strings::kPasteNameClash,
                            {{std::string(kFileNameToken), fs::path(derived).filename().string()}});
            if (derived.empty() || !ask || !ask(question, derived)) {
                ++result.skipped;
                continue;
            }
            to = derived;
        }
        const bool done = transfer == FileTransfer::kCopy ? CopyOne(from, to) : MoveOne(from, to, steps);
        if (done) {
            result.done.push_back(to.string());
        } else {
            DebugPrintf("TransferFiles failed: %s -> %s\n", file.c_str(), to.c_str());
            result.failed.push_back(file);
        }
    }
    return result;
}

void CFileClipboard::Set(std::vector<std::string> paths, FileTransfer transfer) {
    paths_ = std::move(paths);
    transfer_ = transfer;
}

TransferResult CFileClipboard::Paste(const std::string& folder, const NameClashQuestion& ask) {
    TransferResult result = TransferFiles(paths_, folder, transfer_, ask);
    if (transfer_ == FileTransfer::kMove) {
        std::erase_if(paths_, [](const std::string& p) {
            std::error_code error;
            return !fs::exists(p, error);
        });
    }
    return result;
}

}  // namespace tavrel
