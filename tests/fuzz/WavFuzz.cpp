// WAV sound files, as the sound track's player reads them.
#include "media/RWave.h"
#include "tests/fuzz/FuzzSupport.h"
#include "tests/media/WaveFiles.h"

std::vector<std::string> tavrel::fuzz::Seeds() {
    using namespace tavrel::testing;
    return {Wav({}, Samples(64)), Wav({1, 1, 8000, 8}, Samples(9)),
            Riff(Chunk("fmt ", ExtensiblePayload({3, 2, 44100, 32}, 3)) + Chunk("LIST", "INFO") +
                 Chunk("data", Samples(32)))};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = tavrel::fuzz::WriteInput(data, size, "in.wav");
    tavrel::CRWave wave;
    if (wave.LoadWaveFile(path) && wave.HasData()) {
        // The data the reader hands out must lie inside what it holds.
        volatile uint8_t last = wave.Data()[wave.DataSize() - 1];
        (void)last;
        (void)wave.LengthMilliseconds();
    }
    return 0;
}
