#include "media/RWaveOut.h"

#include <algorithm>
#include <cstring>
#include <system_error>

#include "base/DebugOutput.h"

namespace tavrel {
namespace {

// Counts the plays being started in the whole process, from -1: a play that does not raise it
// to 0 finds another one starting and gives up.
std::atomic<int> g_playEntries{-1};

class PlayEntry {
public:
    PlayEntry() : first_(g_playEntries.fetch_add(1) + 1 == 0) {}
    ~PlayEntry() { g_playEntries.fetch_sub(1); }
    bool First() const { return first_; }

private:
    bool first_;
};

}  // namespace

CRWaveOut::CRWaveOut(std::unique_ptr<CWaveOutDevice> device) : device_(std::move(device)) {}

CRWaveOut::~CRWaveOut() {
    Stop();
    if (callbackThread_.joinable()) {
        Post({MessageKind::Quit, nullptr, 0});
        callbackThread_.join();
    }
}

bool CRWaveOut::Load(const std::string& path) {
    return LoadWaveFile(path);
}

bool CRWaveOut::LoadWaveFile(const std::string& path) {
    Stop();
    return CRWave::LoadWaveFile(path);
}

void CRWaveOut::Clear() {
    Stop();
    CRWave::Clear();
}

bool CRWaveOut::Play() {
    if (!HasData()) return false;
    uint64_t start = 0;
    {
        std::lock_guard lock(stateMutex_);
        start = MillisecondsToBytes(*Format(), startPosition_);
    }
    return PlayBytes(start, DataSize());
}

bool CRWaveOut::PlayBytes(uint64_t startByte, uint64_t endByte) {
    PlayEntry entry;
    if (!entry.First() || playing_ || !HasData() || !device_) return false;
    Stop();

    std::lock_guard lock(stateMutex_);
    const WaveFormat& format = *Format();
    endPosition_ = std::min<uint64_t>(endByte, DataSize());
    playPosition_ = writePosition_ = restartPosition_ = std::min(startByte, endPosition_);
    // Nothing to queue: the device is not even opened.
    if (writePosition_ >= endPosition_) return false;
    chunkSize_ = uint32_t(MillisecondsToBytes(format, kChunkMilliseconds));
    if (chunkSize_ == 0 || !dataPool_.SetBlockSize(chunkSize_)) {
        DebugOutput("CRWaveOut::Play failed: no memory for the buffers\n");
        return false;
    }
    if (!callbackThread_.joinable()) {
        try {
            callbackThread_ = std::thread([this] { RunCallbackThread(); });
        } catch (const std::system_error&) {
            DebugOutput("CRWaveOut::Play failed: cannot create the callback thread\n");
            return false;
        }
    }

    ++generation_;
    const uint64_t session = ++session_;
    WaveOutEvents events;
    events.done = [this](WaveHeader* header) {
        Post({MessageKind::BufferDone, header, header->tag});
    };
    events.lost = [this, session] { Post({MessageKind::DeviceLost, nullptr, session}); };
    if (!device_->Open(format, std::move(events))) {
        DebugOutput("CRWaveOut::Play failed: cannot open wave device !\n");
        return false;
    }
    deviceOpen_ = true;
    device_->Pause();
    if (FillQueue() == 0) {
        device_->Reset();
        ReclaimQueue();
        device_->Close();
        deviceOpen_ = false;
        ++generation_;
        return false;
    }
    stopping_ = false;
    seekPending_ = false;
    playing_ = true;
    device_->Restart();
    return true;
}

void CRWaveOut::SetPosition(uint32_t milliseconds) {
    std::lock_guard lock(stateMutex_);
    startPosition_ = milliseconds;
    if (!deviceOpen_ || !playing_ || !Format()) return;
    pendingPosition_ = MillisecondsToBytes(*Format(), milliseconds);
    // The callback thread moves the stream at once rather than when the next buffer comes
    // back, so a loop of the timeline is heard where it is seen. Several requests before it
    // gets to them are one seek, to the last position asked.
    if (!seekPending_) {
        seekPending_ = true;
        Post({MessageKind::Seek, nullptr, session_});
    }
}

bool CRWaveOut::MoveBytes(uint64_t startByte, uint64_t endByte) {
    std::lock_guard lock(stateMutex_);
    if (!deviceOpen_ || !playing_ || stopping_) return false;
    endPosition_ = std::min<uint64_t>(endByte, DataSize());
    pendingPosition_ = startByte;
    if (!seekPending_) {
        seekPending_ = true;
        Post({MessageKind::Seek, nullptr, session_});
    }
    return true;
}

void CRWaveOut::Stop() {
    std::unique_lock lock(stateMutex_);
    if (deviceOpen_) {
        seekPending_ = false;
        // One request is enough; an Abort may have made it already.
        if (!stopping_.exchange(true)) Post({MessageKind::Stop, nullptr, session_});
        stopped_.wait(lock, [this] { return !deviceOpen_; });
    }
    playing_ = false;
}

bool CRWaveOut::Abort() {
    std::lock_guard lock(stateMutex_);
    if (!deviceOpen_ || !playing_) return false;
    // A play already ending is aborted once: one notification, one request.
    if (stopping_.exchange(true)) return true;
    OnStateChanged(1);
    seekPending_ = false;
    Post({MessageKind::Stop, nullptr, session_});
    return true;
}

uint32_t CRWaveOut::StartPosition() const {
    std::lock_guard lock(stateMutex_);
    return startPosition_;
}

uint32_t CRWaveOut::GetPosition() const {
    std::lock_guard lock(stateMutex_);
    if (!deviceOpen_ || !Format()) return startPosition_;
    const uint64_t bytes = seekPending_ ? pendingPosition_ : PlayedPosition();
    return uint32_t(BytesToMilliseconds(*Format(), bytes));
}

int CRWaveOut::QueuedBuffers() const {
    std::lock_guard lock(stateMutex_);
    return queued_;
}

uint32_t CRWaveOut::BufferedMilliseconds() const {
    std::lock_guard lock(stateMutex_);
    if (!deviceOpen_ || seekPending_ || !Format()) return 0;
    return uint32_t(BytesToMilliseconds(*Format(), writePosition_ - PlayedPosition()));
}

int CRWaveOut::FreeBlocks() const {
    std::lock_guard lock(stateMutex_);
    return int(dataPool_.FreeCount());
}

uint64_t CRWaveOut::PlayedPosition() const {
    return std::min(restartPosition_ + device_->PlayedBytes(), writePosition_);
}

void CRWaveOut::Post(const Message& message) {
    {
        std::lock_guard lock(messageMutex_);
        if (messageCount_ == messages_.size()) {
            // Cannot happen with at most nine buffers out; dropping beats blocking a device.
            DebugOutput("CRWaveOut::Post failed: message ring full\n");
            return;
        }
        messages_[(messageHead_ + messageCount_) % messages_.size()] = message;
        ++messageCount_;
    }
    messageReady_.notify_one();
}

void CRWaveOut::RunCallbackThread() {
    for (;;) {
        Message message;
        {
            std::unique_lock lock(messageMutex_);
            messageReady_.wait(lock, [this] { return messageCount_ > 0; });
            message = messages_[messageHead_];
            messageHead_ = (messageHead_ + 1) % messages_.size();
            --messageCount_;
        }
        std::lock_guard lock(stateMutex_);
        // Ending the thread waits until no device is open.
        if (message.kind == MessageKind::Quit) {
            if (!deviceOpen_) return;
            continue;
        }
        Handle(message);
    }
}

void CRWaveOut::Handle(const Message& message) {
    if (!deviceOpen_) return;
    switch (message.kind) {
        case MessageKind::BufferDone:
            // Buffers of an earlier generation were forgotten by a reset and reclaimed.
            if (message.stamp == generation_) BufferFinished(message.header);
            break;
        case MessageKind::DeviceLost:
            if (message.stamp != session_) break;
            DebugOutput("CRWaveOut: the wave device went away while playing\n");
            OnStateChanged(1);
            EndPlaying();
            break;
        case MessageKind::Seek:
            if (message.stamp == session_ && seekPending_) ResolveSeek();
            break;
        case MessageKind::Stop:
            if (message.stamp == session_) EndPlaying();
            break;
        case MessageKind::Quit:
            break;
    }
}

bool CRWaveOut::Fill() {
    if (writePosition_ >= endPosition_) return false;
    const uint32_t chunk = uint32_t(std::min<uint64_t>(chunkSize_, endPosition_ - writePosition_));
    OnBeforeFill(chunkSize_);
    WaveBufferRecord* record = TakeRecord();
    if (!record) return false;
    record->block = dataPool_.Take();
    if (!record->block) {
        GiveBack(record);
        return false;
    }
    std::memcpy(record->block, Data() + writePosition_, chunk);
    record->header.data = record->block;
    record->header.length = chunk;
    record->header.tag = generation_;
    if (!device_->Write(&record->header)) {
        GiveBack(record);
        return false;
    }
    OnBufferQueued(*record);
    if (queueTail_) {
        queueTail_->next = record;
    } else {
        queueHead_ = record;
    }
    queueTail_ = record;
    ++queued_;
    writePosition_ += chunk;
    return true;
}

int CRWaveOut::FillQueue() {
    int filled = 0;
    while (queued_ < kMaxQueued && Fill()) ++filled;
    return filled;
}

void CRWaveOut::BufferFinished(const WaveHeader* header) {
    // Devices hand buffers back in order; anything else is not ours any more.
    if (!queueHead_ || &queueHead_->header != header) return;
    if (seekPending_) {
        ResolveSeek();
        return;
    }
    WaveBufferRecord* record = queueHead_;
    queueHead_ = record->next;
    if (!queueHead_) queueTail_ = nullptr;
    --queued_;
    playPosition_ += record->header.length;
    OnPositionAdvanced(playPosition_, *record);
    GiveBack(record);
    if (!stopping_) Fill();
    if (queued_ == 0) EndPlaying();
}

void CRWaveOut::ResolveSeek() {
    seekPending_ = false;
    device_->Reset();
    ReclaimQueue();
    ++generation_;
    playPosition_ = writePosition_ = restartPosition_ = std::min(pendingPosition_, endPosition_);
    device_->Pause();
    FillQueue();
    device_->Restart();
    // A seek past the end queues nothing: playing ends here.
    if (queued_ == 0) EndPlaying();
}

void CRWaveOut::EndPlaying() {
    device_->Reset();
    ReclaimQueue();
    device_->Close();
    ++generation_;
    deviceOpen_ = false;
    seekPending_ = false;
    stopping_ = false;
    playing_ = false;
    stopped_.notify_all();
    OnStateChanged(0);
}

void CRWaveOut::ReclaimQueue() {
    while (WaveBufferRecord* record = queueHead_) {
        queueHead_ = record->next;
        GiveBack(record);
    }
    queueTail_ = nullptr;
    queued_ = 0;
}

WaveBufferRecord* CRWaveOut::TakeRecord() {
    for (WaveBufferRecord& record : records_) {
        if (!record.used) {
            record = WaveBufferRecord{};
            record.used = true;
            return &record;
        }
    }
    return nullptr;
}

void CRWaveOut::GiveBack(WaveBufferRecord* record) {
    dataPool_.Give(record->block);
    *record = WaveBufferRecord{};
}

}  // namespace tavrel
