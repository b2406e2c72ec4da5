#pragma once
// A whole file mapped read-only into memory; reads are bounded by Size().
#include <cstddef>
#include <cstdint>
#include <string>

namespace tavrel {

class CMappedFile {
public:
    CMappedFile() = default;
    ~CMappedFile();
    CMappedFile(const CMappedFile&) = delete;
    CMappedFile& operator=(const CMappedFile&) = delete;

    // False when the file cannot be opened or mapped. An empty file opens with Size() 0.
    bool Open(const std::string& path);
    void Close();

    const uint8_t* Data() const { return data_; }
    size_t Size() const { return size_; }

private:
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace tavrel
