// The bytes a peer sends after "BURST\r": both ends compute them, so a lost,
// doubled or reordered packet shows as a mismatch, not just as a count.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace usbvm {

inline constexpr size_t kBurstBytes = 10000;
// Chunk sizes around the chip's 62-byte packet payload and well beyond it,
// repeated until the burst is complete; a short pause follows each chunk.
inline const std::vector<size_t> kBurstChunks = {1, 61, 62, 63, 64, 65, 127, 128, 500, 1000, 2000};
inline constexpr double kBurstPauseMs = 15;

inline unsigned char BurstByte(size_t i)
{
    return static_cast<unsigned char>((i * 131 + (i >> 8) * 29) & 0xFF);
}

inline std::string BurstPattern(size_t n = kBurstBytes)
{
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>(BurstByte(i));
    return s;
}

}  // namespace usbvm
