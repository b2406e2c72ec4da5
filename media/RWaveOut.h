#pragma once
// Streams the loaded sound to a wave-output device in buffers of a quarter of a second, at
// most four queued at once, from any start position, with seeking while it plays.
//
// Threads: the owner's thread calls Play, SetPosition, Stop, Abort and Load; the object's own
// callback thread refills the device as buffers come back, and carries out seeks and stops.
// Everything that touches the device or the queue while playing runs on the callback thread.
#include <array>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

#include "media/BlockPool.h"
#include "media/RWave.h"
#include "media/WaveOutDevice.h"

namespace tavrel {

// One buffer out at the device: its header, its block of the data pool and the link to the
// next buffer queued.
struct WaveBufferRecord {
    WaveHeader header;
    uint8_t* block = nullptr;
    WaveBufferRecord* next = nullptr;
    bool used = false;
};

class CRWaveOut : public CRWave {
public:
    static constexpr uint32_t kChunkMilliseconds = 250;
    static constexpr int kPoolBlocks = 9;
    static constexpr int kMaxQueued = 4;

    explicit CRWaveOut(std::unique_ptr<CWaveOutDevice> device = MakeDefaultWaveOutDevice());
    ~CRWaveOut() override;

    // Stops, then reads the file. The samples never change under a playing stream: reading
    // or clearing through the base class stops first too.
    bool Load(const std::string& path);
    bool LoadWaveFile(const std::string& path = {}) override;
    void Clear() override;

    // Starts playing from the start position. Only one play may start at a time in the whole
    // process; false when another is starting, when already playing, without data, when the
    // start lies at or past the end, or when no device opens.
    virtual bool Play();
    // Sets where the next play starts; while playing, moves the sound there.
    void SetPosition(uint32_t milliseconds);
    // Ends playing and waits until it has ended.
    void Stop();
    // Ends playing without waiting; false when nothing was playing.
    bool Abort();

    bool IsPlaying() const { return playing_; }
    uint32_t StartPosition() const;
    // The point of the sound heard now, in milliseconds: the device's own clock while playing,
    // the start position otherwise. The timeline follows it to stay in step with the sound.
    uint32_t GetPosition() const;

    // Buffers at the device and free blocks of the data pool (for the owner's diagnostics).
    int QueuedBuffers() const;
    // Milliseconds of sound queued ahead of what is heard; 0 while a seek waits.
    uint32_t BufferedMilliseconds() const;
    int FreeBlocks() const;

protected:
    // Plays [startByte, endByte) of the data; Play and scrubbing use it.
    bool PlayBytes(uint64_t startByte, uint64_t endByte);
    // Moves a play under way to [startByte, endByte) without closing the device; false when
    // nothing plays or it is ending.
    bool MoveBytes(uint64_t startByte, uint64_t endByte);

    // Notifications for derived classes, called on the thread that does the work with the
    // object's state locked: 1 when playing is aborted, 0 when it has ended. A class that
    // replaces them calls Stop in its own destructor, before its members go.
    virtual void OnStateChanged(int /*state*/) {}
    virtual void OnPositionAdvanced(uint64_t /*playPosition*/, const WaveBufferRecord&) {}
    virtual void OnBeforeFill(uint32_t /*chunkSize*/) {}
    virtual void OnBufferQueued(const WaveBufferRecord&) {}

private:
    enum class MessageKind { BufferDone, DeviceLost, Seek, Stop, Quit };
    struct Message {
        MessageKind kind = MessageKind::Quit;
        const WaveHeader* header = nullptr;
        uint64_t stamp = 0;  // a buffer's generation, or the play session of the others
    };

    void Post(const Message& message);
    void RunCallbackThread();
    void Handle(const Message& message);

    // The steps of streaming; all with the state locked.
    bool Fill();
    int FillQueue();
    void BufferFinished(const WaveHeader* header);
    void ResolveSeek();
    void EndPlaying();
    void ReclaimQueue();
    WaveBufferRecord* TakeRecord();
    void GiveBack(WaveBufferRecord* record);
    uint64_t PlayedPosition() const;

    std::unique_ptr<CWaveOutDevice> device_;

    mutable std::mutex stateMutex_;
    std::condition_variable stopped_;
    uint32_t startPosition_ = 0;  // milliseconds
    uint64_t writePosition_ = 0;  // bytes
    uint64_t pendingPosition_ = 0;
    uint64_t playPosition_ = 0;     // end of the buffers the device has handed back
    uint64_t restartPosition_ = 0;  // where the device's played count started from
    uint64_t endPosition_ = 0;      // bytes: where this play stops
    uint32_t chunkSize_ = 0;
    WaveBufferRecord* queueHead_ = nullptr;
    WaveBufferRecord* queueTail_ = nullptr;
    int queued_ = 0;
    uint64_t generation_ = 0;  // changes whenever the device forgets its buffers
    uint64_t session_ = 0;     // changes with every device opened
    bool deviceOpen_ = false;
    std::atomic<bool> playing_{false};
    std::atomic<bool> stopping_{false};
    bool seekPending_ = false;

    std::array<WaveBufferRecord, kPoolBlocks> records_{};
    CBlockPool dataPool_{kPoolBlocks};

    // Messages to the callback thread: a fixed ring, as device threads must not allocate.
    std::mutex messageMutex_;
    std::condition_variable messageReady_;
    std::array<Message, 64> messages_{};
    size_t messageHead_ = 0;
    size_t messageCount_ = 0;
    std::thread callbackThread_;
};

}  // namespace tavrel
