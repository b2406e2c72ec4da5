#include "timeline/UnsavedChangesGuard.h"

#include <utility>

namespace tavrel {

CUnsavedChangesGuard::CUnsavedChangesGuard(Question ask, Save save, Discarded discarded)
    : ask_(std::move(ask)), save_(std::move(save)), discarded_(std::move(discarded)) {}

bool CUnsavedChangesGuard::MayLeave(bool modified, const std::string& projectName) const {
    if (!modified) return true;
    switch (ask_ ? ask_(projectName) : SaveAnswer::kCancel) {
        case SaveAnswer::kSave:
            return save_ && save_();
        case SaveAnswer::kDiscard:
            if (discarded_) discarded_();
            return true;
        case SaveAnswer::kCancel:
            break;
    }
    return false;
}

}  // namespace tavrel
