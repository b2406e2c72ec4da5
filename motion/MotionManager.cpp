#include "motion/MotionManager.h"

#include <chrono>
#include <iterator>

#include "base/DebugOutput.h"

namespace tavrel {

CMotionManager::CMotionManager()
    : random_(static_cast<std::mt19937::result_type>(
          std::chrono::steady_clock::now().time_since_epoch().count())) {}

CMotionManager::~CMotionManager() { Clear(); }

CMotion* CMotionManager::GetMotion(const std::string& path) {
    if (auto found = motions_.find(path); found != motions_.end()) return found->second.get();
    if (motions_.size() >= kCapacity) {
        auto victim = motions_.begin();
        std::advance(victim, random_() % motions_.size());
        DeleteMotion(victim->first);
    }
    auto motion = std::make_unique<CMotion>(path, 0);
    CMotion* result = motion.get();
    motions_.emplace(path, std::move(motion));
    return result;
}

int CMotionManager::DeleteMotion(const std::string& path) {
    auto found = motions_.find(path);
    if (found == motions_.end()) {
        DebugOutput("CMotionManager::DeleteMotion failed: not in cache of manager.\n");
        return 0;
    }
    motions_.erase(found);
    return 1;
}

CMotion* CMotionManager::ReloadMotion(const std::string& path) {
    DeleteMotion(path);
    return GetMotion(path);
}

void CMotionManager::Clear() { motions_.clear(); }

}  // namespace tavrel
