// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Style data files built byte by byte, independent of the style compiler, for
// the tests that need a file the compiler would refuse or a layout it would
// not choose.

#include "engine/style_format.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace varkelon::test_support {

// A file built by hand, independent of the compiler: each style's stream
// follows its two header bytes (instrument 0, tempo 130) right after the
// previous block, and the tail is filled so length and sum are the original's.
struct Built {
    StyleBytes bytes;
    std::array<std::size_t, kStyleCount> offsets{};
};

inline std::vector<std::uint8_t> empty_bar() {
    return std::vector<std::uint8_t>(kTicksPerBar, 0);
}

// Events placed into tick `tick` of an otherwise empty bar.
inline std::vector<std::uint8_t> bar_with(int tick, const std::vector<std::uint8_t>& events) {
    std::vector<std::uint8_t> bar;
    for (int t = 0; t < kTicksPerBar; ++t) {
        if (t == tick) {
            bar.insert(bar.end(), events.begin(), events.end());
        }
        bar.push_back(kTickMark);
    }
    return bar;
}

inline Built build(std::array<std::vector<std::uint8_t>, kStyleCount> streams,
                   std::size_t size = kStyleFileSize) {
    Built built;
    built.bytes.assign(kStyleTableSize, 0);
    for (int s = 0; s < kStyleCount; ++s) {
        const std::size_t offset = built.bytes.size();
        built.offsets[static_cast<std::size_t>(s)] = offset;
        built.bytes[2 * static_cast<std::size_t>(s)] = static_cast<std::uint8_t>(offset & 0xFF);
        built.bytes[2 * static_cast<std::size_t>(s) + 1] = static_cast<std::uint8_t>(offset >> 8);
        built.bytes.push_back(0);
        built.bytes.push_back(130);
        const auto& stream = streams[static_cast<std::size_t>(s)];
        built.bytes.insert(built.bytes.end(), stream.begin(), stream.end());
    }
    // An even fill leaves no 0 byte in the tail, so a stream that misses a
    // tick mark reads on instead of stopping at a stray one.
    const std::uint32_t needed = kStyleFileByteSum - style_file_byte_sum(built.bytes);
    const auto tail = static_cast<std::uint32_t>(size - built.bytes.size());
    for (std::uint32_t i = 0; i < tail; ++i) {
        built.bytes.push_back(static_cast<std::uint8_t>(needed / tail + (i < needed % tail)));
    }
    return built;
}

inline Built plain_file() {
    std::array<std::vector<std::uint8_t>, kStyleCount> streams;
    streams.fill(empty_bar());
    return build(streams);
}

// Keeps the byte sum while changing one byte, by taking the difference from
// the last bytes of the file, which no block reads.
inline void set_keeping_sum(StyleBytes& bytes, std::size_t offset, std::uint8_t value) {
    int delta = static_cast<int>(value) - static_cast<int>(bytes[offset]);
    bytes[offset] = value;
    for (auto it = bytes.rbegin(); delta != 0; ++it) {
        const int now = std::clamp(static_cast<int>(*it) - delta, 0, 255);
        delta -= static_cast<int>(*it) - now;
        *it = static_cast<std::uint8_t>(now);
    }
}

} // namespace varkelon::test_support
