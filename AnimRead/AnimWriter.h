#pragma once
// Writes any motion record as CHA text or CHB bytes. Every motion-file class saves through
// here, so the two layouts live in one place.
#include <cstddef>

class ANIMFILE;

class ANIMWRITER {
public:
    // A file that cannot be created is skipped without a word; a failed write raises code 3
    // (CHA: with the start of the text that was to be written as the detail).
    // Each returns false when the file cannot be created (nothing is written then).
    static bool WriteCha(const ANIMFILE& motion, const char* path);
    static bool WriteChb(const ANIMFILE& motion, const char* path);

    // Room FormatFixed needs: the widest float in "%10.3f" is 39 digits, sign, point, 3 decimals.
    static constexpr size_t kFixedMax = 48;
    // Writes value exactly as printf's "%10.3f" would (no terminator); returns the end.
    static char* FormatFixed(char* out, float value);
};
