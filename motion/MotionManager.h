#pragma once
// The process-wide cache of loaded motions, keyed by exact path, at most 16 at a time.
#include <map>
#include <memory>
#include <random>
#include <string>

#include "motion/Motion.h"

namespace tavrel {

class CMotionManager {
public:
    static constexpr size_t kCapacity = 16;

    CMotionManager();
    ~CMotionManager();

    // The cached motion of the path, or a newly loaded one (which may have no data). The
    // reference is valid until the entry is deleted, reloaded, cleared or evicted.
    CMotion* GetMotion(const std::string& path);
    int DeleteMotion(const std::string& path);
    CMotion* ReloadMotion(const std::string& path);
    void Clear();
    size_t GetCount() const { return motions_.size(); }
    bool IsCached(const std::string& path) const { return motions_.count(path) != 0; }

private:
    std::map<std::string, std::unique_ptr<CMotion>> motions_;
    std::mt19937 random_;
};

}  // namespace tavrel
