// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/main_window.h"

#include <functional>
#include <unordered_map>

namespace varkelon {

namespace {

std::string quoted(const std::string& s) {
    return "\"" + s + "\"";
}

template <std::size_t N> std::string list(const std::array<std::string, N>& items) {
    std::string out;
    for (std::size_t i = 0; i < N; ++i) {
        out += (i == 0 ? "" : " ") + quoted(items[i]);
    }
    return out;
}

using Getter = std::function<std::string(const Form1Register&)>;

#define VARKELON_NUMBER(field)                                                                     \
    {                                                                                              \
#field,                                                                                    \
            [](const Form1Register& r) { return std::to_string(static_cast<long long>(r.field)); } \
    }

const std::unordered_map<std::string_view, Getter>& getters() {
    static const std::unordered_map<std::string_view, Getter> table = {
        VARKELON_NUMBER(midi_out_handle),
        VARKELON_NUMBER(midi_device_id),
        VARKELON_NUMBER(midi_device_count),
        VARKELON_NUMBER(solo_volume),
        VARKELON_NUMBER(accomp_volume),
        VARKELON_NUMBER(master_volume),
        VARKELON_NUMBER(key_index),
        VARKELON_NUMBER(shift_state),
        VARKELON_NUMBER(pad_index),
        VARKELON_NUMBER(chord_root),
        VARKELON_NUMBER(chord_minor),
        VARKELON_NUMBER(demo_running),
        VARKELON_NUMBER(demo_step),
        VARKELON_NUMBER(sttil),
        VARKELON_NUMBER(sttil1),
        VARKELON_NUMBER(style_count),
        VARKELON_NUMBER(style_start),
        VARKELON_NUMBER(style_header_size),
        VARKELON_NUMBER(stream_pos),
        VARKELON_NUMBER(tick_in_bar),
        VARKELON_NUMBER(event_status),
        VARKELON_NUMBER(event_data1),
        VARKELON_NUMBER(event_data2),
        VARKELON_NUMBER(replay_count),
        VARKELON_NUMBER(chord_note),
        VARKELON_NUMBER(scale_degree),
        VARKELON_NUMBER(degree_semitone),
        VARKELON_NUMBER(degree_octave),
        VARKELON_NUMBER(out_note),
        VARKELON_NUMBER(rhythm_running),
        VARKELON_NUMBER(sync_armed),
        VARKELON_NUMBER(accomp_mode),
        VARKELON_NUMBER(accomp_active),
        VARKELON_NUMBER(saved_accomp_mode),
        VARKELON_NUMBER(tempo),
        VARKELON_NUMBER(solo_program),
        VARKELON_NUMBER(saved_program),
        VARKELON_NUMBER(octave),
        VARKELON_NUMBER(solo_base_note),
        VARKELON_NUMBER(saved_octave),
        {"note_names", [](const Form1Register& r) { return list(r.note_names); }},
        {"style_names", [](const Form1Register& r) { return list(r.style_names); }},
        {"instrument_names", [](const Form1Register& r) { return list(r.instrument_names); }},
        {"replay_buffer",
         [](const Form1Register& r) {
             std::string out;
             for (const auto& slot : r.replay_buffer) {
                 out += (out.empty() ? "" : " ") + std::to_string(slot[0]) + "," +
                        std::to_string(slot[1]) + "," + std::to_string(slot[2]);
             }
             return out;
         }},
    };
    return table;
}

#undef VARKELON_NUMBER

} // namespace

std::optional<std::string> Form1Register::get(std::string_view name) const {
    const auto& table = getters();
    const auto it = table.find(name);
    if (it == table.end()) {
        return std::nullopt;
    }
    return it->second(*this);
}

} // namespace varkelon
