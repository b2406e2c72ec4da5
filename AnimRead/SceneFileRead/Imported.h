#pragma once
// A scene read by the importer, released with the object. The importer's library is opened
// when a scene file is first read, not when the program starts: it is large, and most sessions
// read no scene file.
#include <string>

struct aiScene;
struct aiPropertyStore;

namespace tavrel::scenefile {

struct ASSIMPLIBRARY;

class IMPORTED {
public:
    // Reads a file through the importer after the checks that need no reading.
    explicit IMPORTED(const char* path);
    // Reads a COLLADA document held in memory (a part of a file read before).
    explicit IMPORTED(const std::string& collada);
    ~IMPORTED();
    IMPORTED(const IMPORTED&) = delete;
    IMPORTED& operator=(const IMPORTED&) = delete;

    const aiScene& Scene() const { return *scene_; }
    // The file's extension in lower case, which says whose quirks its scene has.
    const std::string& Extension() const { return extension_; }

private:
    template <class Read>
    void Import(const Read& read);

    const ASSIMPLIBRARY* library_;
    const aiScene* scene_ = nullptr;
    std::string extension_;
};

}  // namespace tavrel::scenefile
