#include "uikit/CRTimer.h"

#include <QTimerEvent>
#include <array>
#include <mutex>

namespace tavrel {
namespace {

std::mutex tableLock;
std::array<bool, CRTimer::kMaxIdentifiers + 1> taken{};  // index 0 unused

int TakeIdentifier() {
    std::lock_guard lock(tableLock);
    for (int id = 1; id <= CRTimer::kMaxIdentifiers; ++id) {
        if (!taken[id]) {
            taken[id] = true;
            return id;
        }
    }
    return 0;
}

void GiveBack(int id) {
    std::lock_guard lock(tableLock);
    if (id > 0) taken[id] = false;
}

}  // namespace

CRTimer::CRTimer(QObject* owner, int intervalMs)
    : owner_(owner), identifier_(TakeIdentifier()), intervalMs_(intervalMs) {}

CRTimer::~CRTimer() {
    Stop();
    GiveBack(identifier_);
}

void CRTimer::SetOwner(QObject* owner) {
    Stop();
    owner_ = owner;
}

bool CRTimer::Start() {
    if (!identifier_ || !owner_) return false;
    Stop();
    qtTimer_ = startTimer(intervalMs_, Qt::PreciseTimer);
    running_ = qtTimer_ != 0;
    return running_;
}

void CRTimer::Stop() {
    if (!running_) return;
    killTimer(qtTimer_);
    qtTimer_ = 0;
    running_ = false;
}

int CRTimer::IdentifiersInUse() {
    std::lock_guard lock(tableLock);
    int count = 0;
    for (bool t : taken) count += t;
    return count;
}

void CRTimer::timerEvent(QTimerEvent* event) {
    if (event->timerId() != qtTimer_ || !running_) return;
    if (handler_) handler_(identifier_);
}

}  // namespace tavrel
