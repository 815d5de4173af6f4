// SPDX-License-Identifier: GPL-3.0-or-later
// The computer keyboard as two small piano keyboards, the mouse on the keys,
// and the note names of the key tooltips.

#include "app/layout.h"
#include "app/main_window.h"
#include "keyboard/virtual_keys.h"

#include <array>

namespace varkelon {

namespace {

// Windows virtual-key code of the key that plays each virtual key.
constexpr std::array<int, kKeyCount> kKeyCodes = {
    'Z',       'S',       'X',           'D', 'C',
    'V',       'G',       'B',           'H', 'N',
    'J',       'M',       vk::kOemComma, 'L', vk::kOemPeriod,
    vk::kOem1, vk::kOem2, 'Q',           '2', 'W',
    '3',       'E',       '4',           'R', 'T',
    '6',       'Y',       '7',           'U', 'I',
    '9',       'O',       '0',           'P', vk::kOemMinus,
    vk::kOem4, vk::kOem6};

constexpr std::int16_t kPadOfOtherKeys = 3; // "Переход-3" is whitened by every other key-up

} // namespace

std::int16_t Form1::map_key_code(int key_code) {
    for (std::size_t k = 0; k < kKeyCodes.size(); ++k) {
        if (kKeyCodes[k] == key_code) {
            return static_cast<std::int16_t>(k);
        }
    }
    return kNoKey;
}

void Form1::Form_KeyDown(int key_code, int mask) {
    if (key_code == vk::kShift) {
        return;
    }
    if (key_code >= vk::kF1 && key_code <= vk::kF8) {
        r.pad_index = static_cast<std::int16_t>(key_code - vk::kF1);
        strike_pad();
    }
    r.key_index = map_key_code(key_code);
    if (r.key_index != kNoKey) {
        r.shift_state = static_cast<std::int16_t>(mask);
        press_key();
    }
}

void Form1::Form_KeyUp(int key_code, int /*mask*/) {
    const int p = key_code >= vk::kF1 && key_code <= vk::kF8 ? key_code - vk::kF1 : kPadOfOtherKeys;
    pad(p).back_color = colors::kWhite;
    r.key_index = map_key_code(key_code);
    if (r.key_index != kNoKey) {
        release_key();
    }
}

void Form1::key_MouseDown(int index, int /*button*/, int mask) {
    r.key_index = static_cast<std::int16_t>(index);
    r.shift_state = static_cast<std::int16_t>(mask);
    press_key();
}

void Form1::key_MouseUp(int index, int /*button*/, int /*mask*/) {
    r.key_index = static_cast<std::int16_t>(index);
    release_key();
}

void Form1::refresh_key_tooltips() {
    for (int i = 0; i < kKeyCount; ++i) {
        const int octave_number = r.octave + i / 12 - 4;
        key(i).tooltip = " " + r.note_names[static_cast<std::size_t>(i % 12)] + " - " +
                         std::to_string(octave_number) + " ";
    }
}

} // namespace varkelon
