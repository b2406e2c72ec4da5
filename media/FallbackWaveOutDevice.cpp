#include "media/FallbackWaveOutDevice.h"

#include "base/DebugOutput.h"
#include "media/NullWaveOutDevice.h"
#include "media/PortAudioWaveOutDevice.h"

namespace tavrel {

CFallbackWaveOutDevice::CFallbackWaveOutDevice(std::unique_ptr<CWaveOutDevice> first,
                                               std::unique_ptr<CWaveOutDevice> second)
    : first_(std::move(first)), second_(std::move(second)) {}

bool CFallbackWaveOutDevice::Open(const WaveFormat& format, WaveOutEvents events) {
    if (active_) return false;
    if (first_ && first_->Open(format, events)) {
        active_ = first_.get();
        return true;
    }
    if (second_ && second_->Open(format, std::move(events))) {
        DebugOutput("CFallbackWaveOutDevice::Open: no sound card, playing silently\n");
        active_ = second_.get();
        return true;
    }
    return false;
}

bool CFallbackWaveOutDevice::Write(WaveHeader* header) {
    CWaveOutDevice* device = active_;
    return device && device->Write(header);
}

void CFallbackWaveOutDevice::Reset() {
    if (CWaveOutDevice* device = active_) device->Reset();
}

void CFallbackWaveOutDevice::Pause() {
    if (CWaveOutDevice* device = active_) device->Pause();
}

void CFallbackWaveOutDevice::Restart() {
    if (CWaveOutDevice* device = active_) device->Restart();
}

void CFallbackWaveOutDevice::Close() {
    if (CWaveOutDevice* device = active_.exchange(nullptr)) device->Close();
}

uint64_t CFallbackWaveOutDevice::PlayedBytes() const {
    CWaveOutDevice* device = active_;
    return device ? device->PlayedBytes() : 0;
}

std::unique_ptr<CWaveOutDevice> MakeDefaultWaveOutDevice() {
    return std::make_unique<CFallbackWaveOutDevice>(std::make_unique<CPortAudioWaveOutDevice>(),
                                                    std::make_unique<CNullWaveOutDevice>());
}

}  // namespace tavrel
