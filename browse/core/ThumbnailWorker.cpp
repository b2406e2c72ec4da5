#include "browse/core/ThumbnailWorker.h"

#include "settings/FileNameRules.h"

namespace tavrel {

void CThumbnailWorker::Start(std::string folder, std::vector<std::string> names, int width,
                             int height, Delivery delivery) {
    Stop();
    running_ = true;
    finished_ = false;
    done_ = 0;
    thread_ = std::thread(&CThumbnailWorker::Run, this, std::move(folder), std::move(names), width,
                          height, std::move(delivery));
}

void CThumbnailWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

void CThumbnailWorker::Run(std::string folder, std::vector<std::string> names, int width,
                           int height, Delivery delivery) {
    for (size_t i = 0; i < names.size() && running_; ++i) {
        ThumbnailPtr picture =
            cache_.GetPicture(JoinPath(folder, names[i]), maker_, width, height, shared_);
        if (picture && delivery) delivery(i, std::move(picture));
        ++done_;
    }
    finished_ = true;
}

}  // namespace tavrel
