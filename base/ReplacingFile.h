#pragma once
// A file written under a temporary name beside its target and renamed over it at the end, so
// that a failed or cancelled write leaves neither a partial file nor a damaged old one.
#include <string>

namespace tavrel {

class CReplacingFile {
public:
    // The temporary name keeps the target's extension (writers choose their format by it).
    explicit CReplacingFile(const std::string& target);
    // Removes the temporary file unless Commit succeeded.
    ~CReplacingFile();
    CReplacingFile(const CReplacingFile&) = delete;
    CReplacingFile& operator=(const CReplacingFile&) = delete;

    const std::string& TempPath() const { return temp_; }
    const std::string& Target() const { return target_; }
    // Renames the temporary file to the target; false (and the temporary file removed) when
    // it cannot.
    bool Commit();

private:
    std::string target_;
    std::string temp_;
    bool committed_ = false;
};

}  // namespace tavrel
