#pragma once
// A shared library opened by the program when it first needs it, not by the loader when the
// program starts: the video, picture and sound libraries bring about a hundred more libraries
// with them, which an editor that shows no video yet need not map, relocate and keep resident.
// Opened libraries stay loaded for the rest of the process.
#include <initializer_list>
#include <string>
#include <vector>

namespace tavrel {

class SharedLibrary {
public:
    // Opens each of the files (by their sonames); IsOpen() tells whether all could be had.
    explicit SharedLibrary(std::initializer_list<const char*> sonames);
    bool IsOpen() const { return open_; }

    // Sets function to the named function of any of the files; false (with a debug line) when
    // none of them has it.
    template <class Function>
    bool Find(const char* name, Function* function) {
        *function = reinterpret_cast<Function>(Lookup(name));
        return *function != nullptr;
    }

private:
    void* Lookup(const char* name) const;

    std::vector<void*> handles_;
    bool open_ = true;
};

}  // namespace tavrel
