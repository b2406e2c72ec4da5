#include "timeline/FileNameSet.h"

#include <algorithm>

namespace tavrel {

bool CFileNameSet::Add(const std::string& name) {
    if (names_.Find(name)) return false;
    return names_.InsertSorted(name) >= 0;
}

bool CFileNameSet::Contains(const std::string& name) const {
    return std::find(names_.begin(), names_.end(), name) != names_.end();
}

bool CFileNameSet::Remove(const std::string& name) {
    if (!names_.Find(name)) return false;
    names_.RemoveCurrent();
    return true;
}

std::vector<std::string> CFileNameSet::Names() const {
    return std::vector<std::string>(names_.begin(), names_.end());
}

}  // namespace tavrel
