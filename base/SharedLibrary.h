#pragma once
// A shared library opened by the program when it first needs it, not by the loader when the
// program starts: the video, picture and sound libraries bring about a hundred more libraries
// with them, which an editor that shows no video yet need not map, relocate and keep resident.
// Opened libraries stay loaded for the rest of the process.
#include <initializer_list>
#include <memory>
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

    // A table of functions that all exist in the files, or null: findEach(files, table) looks
    // each up (with TAVREL_FIND_FUNCTION) and tells whether every one was found.
    template <class Table, class FindEach>
    static std::unique_ptr<Table> Load(std::initializer_list<const char*> sonames,
                                       FindEach findEach) {
        SharedLibrary files(sonames);
        if (!files.IsOpen()) return nullptr;
        auto table = std::make_unique<Table>();
        return findEach(files, *table) ? std::move(table) : nullptr;
    }

private:
    void* Lookup(const char* name) const;

    std::vector<void*> handles_;
    bool open_ = true;
};

}  // namespace tavrel

// For a FindEach of SharedLibrary::Load over SharedLibrary& files and Table& table.
#define TAVREL_FIND_FUNCTION(name) found &= files.Find(#name, &table.name);
