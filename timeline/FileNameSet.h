#pragma once
// A sorted set of file names without duplicates, as the motion track keeps them for its
// reports (removed clips' files, missing files, unused files).
#include <string>
#include <vector>

#include "timeline/CursorList.h"

namespace tavrel {

class CFileNameSet {
public:
    CFileNameSet() : names_(CompareNames) {}

    // False when the name is there already.
    bool Add(const std::string& name);
    bool Contains(const std::string& name) const;
    bool Remove(const std::string& name);
    int Count() const { return names_.Count(); }
    bool IsEmpty() const { return names_.Count() == 0; }
    void Clear() { names_.Clear(); }
    std::vector<std::string> Names() const;

private:
    static int CompareNames(const std::string& a, const std::string& b) { return a.compare(b); }

    CCursorList<std::string> names_;
};

}  // namespace tavrel
