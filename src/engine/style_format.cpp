// SPDX-License-Identifier: GPL-3.0-or-later
#include "engine/style_format.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

namespace varkelon {

namespace {

bool reachable(const StyleBytes& bytes, std::size_t offset) {
    return offset < bytes.size() && offset <= kMaxReachableOffset;
}

std::string hex2(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", value & 0xFFu);
    return text;
}

// Where a note can land after decoding and transposition, over every chord
// the keys can make: roots C to B and modifier values 0 to 7 (Shift, Ctrl,
// Alt and their sums). Signed arithmetic shows how far it would leave 0..127.
struct NoteRange {
    int low = 0;
    int high = 0;
};

NoteRange sent_note_range(std::uint8_t status, std::uint8_t data1) {
    NoteRange range{255, -255};
    const int channel = status_channel(status);
    for (int modifier = 0; modifier <= 7; ++modifier) {
        std::vector<int> notes;
        if (is_scale_coded(status, data1)) {
            const int degree = scale_code_degree(data1);
            const int octave = scale_code_octave(data1);
            // Degree 7 repeats whatever semitone was decoded last.
            for (int previous_degree = 0; previous_degree < 7; ++previous_degree) {
                const int previous = degree_semitone(previous_degree, modifier, 0);
                notes.push_back(12 * octave + degree_semitone(degree, modifier, previous));
            }
        } else {
            notes.push_back(data1);
        }
        for (const int note : notes) {
            for (int root = 0; root < 12; ++root) {
                const int sent = transposed_note(channel, note, root, modifier);
                range.low = std::min(range.low, sent);
                range.high = std::max(range.high, sent);
            }
        }
    }
    return range;
}

void check_event(const StyleEvent& event, int style, std::vector<StyleBreach>& breaches) {
    auto breach = [&](std::size_t offset, std::string message) {
        breaches.push_back({style, event.tick, offset, std::move(message)});
    };
    const std::uint8_t status = event.status;
    if (!is_channel_status(status)) {
        breach(event.offset, "status " + hex2(status) + " is not a channel message");
        return;
    }
    const int channel = status_channel(status);
    if (channel == kLiveChordBassChannel || channel == kLiveChordChannel) {
        breach(event.offset, "channel " + std::to_string(channel) + " (status " + hex2(status) +
                                 ") belongs to the live chord");
    } else if (channel == kSoloChannel) {
        breach(event.offset, "channel " + std::to_string(channel) + " (status " + hex2(status) +
                                 ") belongs to the solo voice");
    }
    if (!is_note_status(status) && event.data1 > kMaxDataValue) {
        breach(event.offset + 1, "data 1 is " + std::to_string(event.data1) + "; at most 127");
    }
    if (event.data2 > kMaxDataValue) {
        breach(event.offset + 2, "data 2 is " + std::to_string(event.data2) + "; at most 127");
    }
    if (is_note_status(status)) {
        const NoteRange range = sent_note_range(status, event.data1);
        if (range.low < 0 || range.high > kMaxDataValue) {
            breach(event.offset + 1, "note " + hex2(event.data1) + " on channel " +
                                         std::to_string(channel) + " can be sent as " +
                                         std::to_string(range.low < 0 ? range.low : range.high) +
                                         " for some chord; keep it within 0..127");
        }
    }
}

void check_block(const StyleBlock& block, std::vector<StyleBreach>& breaches) {
    const int style = block.style;
    if (block.instrument && *block.instrument > kMaxInstrument) {
        breaches.push_back(
            {style, -1, block.offset,
             "default instrument is " + std::to_string(*block.instrument) + "; at most 127"});
    }
    if (block.tempo && *block.tempo > kMaxTempo) {
        breaches.push_back({style, -1, block.offset + 1,
                            "default tempo is " + std::to_string(*block.tempo) + "; at most 254"});
    }
    int tick = -1;
    int recorded = 0;
    for (const StyleEvent& event : block.events) {
        if (event.tick != tick) {
            tick = event.tick;
            recorded = 0;
        }
        check_event(event, style, breaches);
        if (is_recorded_note_on(event.status, style) &&
            ++recorded == kMaxRecordedNoteOnsPerTick + 1) {
            breaches.push_back({style, tick, event.offset,
                                "more than 15 recorded note-ons (status 0x90, 0x91, 0x94" +
                                    std::string(style == kStyleRecordingChannel6 ? ", 0x95" : "") +
                                    ") in one tick; the replay buffer has 16 slots"});
        }
    }
    if (!block.complete()) {
        const bool past_limit = block.end > kMaxReachableOffset;
        const std::string where =
            past_limit ? "offset 32766, the last the player can reach" : "the end of the file";
        const int at_tick = static_cast<int>(block.tick_marks.size());
        const std::string what = block.tempo ? "stream has " + std::to_string(at_tick) +
                                                   " of 16 tick marks before " + where
                                             : "block header runs past " + where;
        breaches.push_back({style, block.tempo ? at_tick : -1, block.end, what});
    }
}

} // namespace

std::uint32_t style_file_byte_sum(const StyleBytes& bytes) {
    return std::accumulate(bytes.begin(), bytes.end(), std::uint32_t{0});
}

bool style_file_is_original(const StyleBytes& bytes) {
    return bytes.size() == kStyleFileSize && style_file_byte_sum(bytes) == kStyleFileByteSum;
}

std::optional<std::size_t> style_block_offset(const StyleBytes& bytes, int style) {
    if (style < 1 || style > kStyleCount) {
        return std::nullopt;
    }
    const std::size_t low = kStyleTableEntrySize * static_cast<std::size_t>(style - 1);
    if (low + 1 >= bytes.size()) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(bytes[low]) + 256 * static_cast<std::size_t>(bytes[low + 1]);
}

std::optional<StyleBlock> read_style_block(const StyleBytes& bytes, int style) {
    const std::optional<std::size_t> offset = style_block_offset(bytes, style);
    if (!offset) {
        return std::nullopt;
    }
    StyleBlock block;
    block.style = style;
    block.offset = *offset;
    std::size_t pos = *offset;
    if (!reachable(bytes, pos)) {
        block.end = pos;
        return block;
    }
    block.instrument = bytes[pos++];
    if (!reachable(bytes, pos)) {
        block.end = pos;
        return block;
    }
    block.tempo = bytes[pos++];
    while (!block.complete()) {
        if (!reachable(bytes, pos)) {
            break;
        }
        if (bytes[pos] == kTickMark) {
            block.tick_marks.push_back(pos++);
            continue;
        }
        if (!reachable(bytes, pos + 2)) {
            pos = reachable(bytes, pos + 1) ? pos + 2 : pos + 1;
            break;
        }
        block.events.push_back({pos, static_cast<int>(block.tick_marks.size()), bytes[pos],
                                bytes[pos + 1], bytes[pos + 2]});
        pos += kEventSize;
    }
    block.end = pos;
    return block;
}

std::vector<int> programs_used_by_styles(const StyleBytes& bytes) {
    std::vector<int> programs;
    for (int style = 1; style <= kStyleCount; ++style) {
        const std::optional<StyleBlock> block = read_style_block(bytes, style);
        if (!block) {
            continue;
        }
        if (block->instrument) {
            programs.push_back(std::min<int>(*block->instrument, kMaxInstrument));
        }
        for (const StyleEvent& e : block->events) {
            if (status_kind(e.status) == kProgramChange &&
                status_channel(e.status) != kDrumChannel) {
                programs.push_back(data_value(e.data1));
            }
        }
    }
    std::sort(programs.begin(), programs.end());
    programs.erase(std::unique(programs.begin(), programs.end()), programs.end());
    return programs;
}

std::vector<StyleBreach> validate_style_file(const StyleBytes& bytes) {
    std::vector<StyleBreach> breaches;
    if (bytes.size() != kStyleFileSize) {
        breaches.push_back({0, -1, bytes.size(),
                            "file is " + std::to_string(bytes.size()) + " bytes; it must be " +
                                std::to_string(kStyleFileSize)});
    }
    if (const std::uint32_t sum = style_file_byte_sum(bytes); sum != kStyleFileByteSum) {
        breaches.push_back({0, -1, 0,
                            "byte sum is " + std::to_string(sum) + "; it must be " +
                                std::to_string(kStyleFileByteSum)});
    }
    std::vector<StyleBlock> blocks;
    for (int style = 1; style <= kStyleCount; ++style) {
        const std::size_t entry = kStyleTableEntrySize * static_cast<std::size_t>(style - 1);
        const std::optional<StyleBlock> block = read_style_block(bytes, style);
        if (!block) {
            breaches.push_back({style, -1, entry, "table entry lies past the end of the file"});
            continue;
        }
        if (bytes[entry + 1] > kMaxTableHighByte) {
            breaches.push_back({style, -1, entry + 1,
                                "table high byte is " + hex2(bytes[entry + 1]) +
                                    "; at most 0x7F, so the block offset " +
                                    std::to_string(block->offset) + " cannot be reached"});
            continue;
        }
        check_block(*block, breaches);
        blocks.push_back(*block);
    }
    // A stream short of tick marks borrows them from whatever follows; when
    // that is another block, its header and events play as this style's.
    for (const StyleBlock& block : blocks) {
        for (const StyleBlock& other : blocks) {
            if (other.offset > block.offset && other.offset < block.end) {
                const auto inside = std::lower_bound(block.tick_marks.begin(),
                                                     block.tick_marks.end(), other.offset);
                breaches.push_back(
                    {block.style, static_cast<int>(inside - block.tick_marks.begin()), other.offset,
                     "stream runs into the block of style " + std::to_string(other.style) +
                         "; a tick mark is missing before it"});
            }
        }
    }
    std::stable_sort(breaches.begin(), breaches.end(), [](const auto& a, const auto& b) {
        return a.style != b.style ? a.style < b.style : a.offset < b.offset;
    });
    return breaches;
}

std::string describe_breach(const StyleBreach& breach) {
    std::string text;
    if (breach.style > 0) {
        text += "style " + std::to_string(breach.style) + ", ";
    }
    if (breach.tick >= 0) {
        text += "tick " + std::to_string(breach.tick) + ", ";
    }
    char offset[48];
    std::snprintf(offset, sizeof offset, "offset %zu (0x%04zX): ", breach.offset, breach.offset);
    return text + offset + breach.message;
}

} // namespace varkelon
