// SPDX-License-Identifier: GPL-3.0-or-later
// The score of the demonstration: a melody over style 4 with chord changes in
// C# minor, A, B and E major, ending with a drum fill.

#include "keyboard/demo_score.h"

#include "app/main_window.h"

#include <array>

namespace varkelon {

namespace {

struct Act {
    DemoOp op;
    std::uint8_t value;
    std::uint8_t mask;
};

constexpr Act press(int k) {
    return {DemoOp::Press, static_cast<std::uint8_t>(k), 0};
}
constexpr Act press_lowered(int k) {
    return {DemoOp::PressLowered, static_cast<std::uint8_t>(k), 0};
}
constexpr Act release(int k) {
    return {DemoOp::Release, static_cast<std::uint8_t>(k), 0};
}
constexpr Act chord(int k, int mask = 0) {
    return {DemoOp::Chord, static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(mask)};
}
constexpr Act restart_pattern() {
    return {DemoOp::RestartPattern, 0, 0};
}
constexpr Act percussion(int note) {
    return {DemoOp::Percussion, static_cast<std::uint8_t>(note), 0};
}
constexpr Act half_percussion(int note) {
    return {DemoOp::HalfPercussion, static_cast<std::uint8_t>(note), 0};
}
constexpr Act stop() {
    return {DemoOp::Stop, 0, 0};
}

struct Row {
    std::int16_t step;
    Act act;
};

// Notes are those of octave 4.
constexpr Row kRows[] = {
    {3, press(20)}, // note 68
    {5, release(20)},
    {5, press(25)}, // note 73
    {7, release(25)},
    {7, press(28)}, // note 76
    {8, restart_pattern()},
    {9, chord(1, kShift)}, // C# minor
    {9, release(28)},
    {9, press(32)}, // note 80
    {19, release(32)},
    {19, press(20)}, // note 68
    {21, release(20)},
    {21, press(25)}, // note 73
    {23, release(25)},
    {23, press(28)}, // note 76
    {25, chord(9)},  // A major
    {25, release(1)},
    {25, release(28)},
    {25, press(33)}, // note 81
    {35, release(33)},
    {35, press(20)}, // note 68
    {37, release(20)},
    {37, press(25)}, // note 73
    {39, release(25)},
    {39, press(28)}, // note 76
    {41, release(9)},
    {41, chord(11)}, // B major
    {41, release(28)},
    {41, press(30)}, // note 78
    {47, release(11)},
    {47, release(30)},
    {47, press(35)}, // note 83
    {53, release(35)},
    {53, press(30)}, // note 78
    {57, release(30)},
    {57, press(33)}, // note 81
    {63, release(33)},
    {63, press(32)}, // note 80
    {67, release(32)},
    {67, press(20)}, // note 68
    {69, release(20)},
    {69, press(25)}, // note 73
    {71, release(25)},
    {71, press(28)}, // note 76
    {73, release(28)},
    {73, chord(1, kShift)}, // C# minor
    {73, press(32)},        // note 80
    {83, release(32)},
    {83, press(20)}, // note 68
    {85, release(20)},
    {85, press(25)}, // note 73
    {87, release(25)},
    {87, press(28)}, // note 76
    {89, release(1)},
    {89, chord(9)}, // A major
    {89, release(28)},
    {89, press(33)}, // note 81
    {99, release(33)},
    {99, press(20)}, // note 68
    {101, release(20)},
    {101, press(25)}, // note 73
    {103, release(25)},
    {103, press(28)}, // note 76
    {105, release(9)},
    {105, chord(11)}, // B major
    {105, release(28)},
    {105, press(30)}, // note 78
    {111, release(11)},
    {111, release(30)},
    {111, press(35)}, // note 83
    {117, release(35)},
    {117, press(30)}, // note 78
    {121, release(30)},
    {121, press(33)}, // note 81
    {127, release(33)},
    {127, press(32)}, // note 80
    {131, release(32)},
    {131, press(20)}, // note 68
    {133, release(20)},
    {133, press(25)}, // note 73
    {135, release(25)},
    {135, press(28)}, // note 76
    {137, release(28)},
    {137, chord(9)},  // A major
    {137, press(25)}, // note 73
    {149, release(9)},
    {149, release(25)},
    {149, press(13)}, // note 61
    {151, release(13)},
    {151, press(15)}, // note 63
    {153, release(15)},
    {153, press(16)}, // note 64
    {159, release(16)},
    {159, press(21)}, // note 69
    {160, release(21)},
    {160, press(23)}, // note 71
    {161, release(23)},
    {161, press(25)}, // note 73
    {165, release(25)},
    {165, press(13)}, // note 61
    {169, release(13)},
    {169, chord(4)},          // E major
    {169, press_lowered(23)}, // note 59
    {181, release(4)},
    {181, release(23)},
    {181, press(16)}, // note 64
    {183, release(16)},
    {183, press(18)}, // note 66
    {185, release(18)},
    {185, press(20)}, // note 68
    {191, release(20)},
    {191, press(20)}, // note 68
    {192, release(20)},
    {192, press(21)}, // note 69
    {193, release(21)},
    {193, press(23)}, // note 71
    {197, release(23)},
    {197, press(20)}, // note 68
    {201, release(20)},
    {201, chord(2)},  // D major
    {201, press(18)}, // note 66
    {213, release(2)},
    {213, release(18)},
    {213, press(18)}, // note 66
    {215, release(18)},
    {215, press(20)}, // note 68
    {217, release(20)},
    {217, press(21)}, // note 69
    {223, release(21)},
    {223, press(26)}, // note 74
    {224, release(26)},
    {224, press(28)}, // note 76
    {225, release(28)},
    {225, press(30)}, // note 78
    {229, release(30)},
    {229, press(18)}, // note 66
    {233, release(18)},
    {233, chord(1, kShift)}, // C# minor
    {233, press(16)},        // note 64
    {245, release(1)},
    {245, release(16)},
    {245, press(16)}, // note 64
    {247, release(16)},
    {247, press(18)}, // note 66
    {249, release(18)},
    {249, press(20)}, // note 68
    {255, release(20)},
    {255, press(25)}, // note 73
    {256, release(25)},
    {256, press(27)}, // note 75
    {257, release(27)},
    {257, press(28)}, // note 76
    {261, release(28)},
    {261, press(20)}, // note 68
    {265, release(20)},
    {265, press(25)},           // note 73
    {269, half_percussion(57)}, // Crash Cymbal 2
    {279, percussion(50)},      // High Tom
    {280, percussion(50)},      // High Tom
    {281, percussion(48)},      // Hi-Mid Tom
    {283, percussion(48)},      // Hi-Mid Tom
    {287, percussion(47)},      // Low-Mid Tom
    {289, percussion(47)},      // Low-Mid Tom
    {291, release(25)},
    {291, press(23)}, // note 71
    {292, release(23)},
    {292, press(21)}, // note 69
    {293, release(21)},
    {293, press(20)}, // note 68
    {294, release(20)},
    {294, press(18)}, // note 66
    {295, release(18)},
    {295, press(16)}, // note 64
    {296, release(16)},
    {296, press(15)}, // note 63
    {297, release(15)},
    {297, press(13)},      // note 61
    {311, percussion(45)}, // Low Tom
    {312, percussion(45)}, // Low Tom
    {313, percussion(43)}, // High Floor Tom
    {315, percussion(43)}, // High Floor Tom
    {319, percussion(41)}, // Low Floor Tom
    {321, percussion(41)}, // Low Floor Tom
    {329, stop()},
};

constexpr std::array<DemoAction, std::size(kRows)> make_score() {
    std::array<DemoAction, std::size(kRows)> score{};
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        score[i] = {kRows[i].step, kRows[i].act.op, kRows[i].act.value, kRows[i].act.mask};
    }
    return score;
}

constexpr auto kScore = make_score();

} // namespace

std::span<const DemoAction> demo_score() {
    return kScore;
}

} // namespace varkelon
