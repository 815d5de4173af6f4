// SPDX-License-Identifier: GPL-3.0-or-later
// The computer keyboard as two piano keyboards, the function keys, the mouse
// on the keys, and the key tooltips.

#include "core_fixture.h"

#include <set>

namespace varkelon::test {
namespace {

struct KeyCode {
    int index;
    int code;
    const char* key; // on a US layout
};

// The whole map, written out from the layout of the two rows.
const KeyCode kKeyMap[] = {
    {0, 90, "Z"},          {1, 83, "S"},  {2, 88, "X"},       {3, 68, "D"},
    {4, 67, "C"},          {5, 86, "V"},  {6, 71, "G"},       {7, 66, "B"},
    {8, 72, "H"},          {9, 78, "N"},  {10, 74, "J"},      {11, 77, "M"},
    {12, 188, "comma"},    {13, 76, "L"}, {14, 190, "stop"},  {15, 186, "semicolon"},
    {16, 191, "slash"},    {17, 81, "Q"}, {18, 50, "2"},      {19, 87, "W"},
    {20, 51, "3"},         {21, 69, "E"}, {22, 52, "4"},      {23, 82, "R"},
    {24, 84, "T"},         {25, 54, "6"}, {26, 89, "Y"},      {27, 55, "7"},
    {28, 85, "U"},         {29, 73, "I"}, {30, 57, "9"},      {31, 79, "O"},
    {32, 48, "0"},         {33, 80, "P"}, {34, 189, "minus"}, {35, 219, "lbracket"},
    {36, 221, "rbracket"},
};

void PrintTo(const KeyCode& k, std::ostream* os) {
    *os << k.key << " (" << k.code << ")";
}

class KeyMap : public ::testing::TestWithParam<KeyCode> {};

TEST_P(KeyMap, CodeMapsToItsKey) {
    EXPECT_EQ(Form1::map_key_code(GetParam().code), GetParam().index);
}

TEST_P(KeyMap, KeyDownPlaysItAndKeyUpReleasesIt) {
    Core core;
    core.start();
    const int k = GetParam().index;

    auto from = core.mark();
    core.form().key_down(GetParam().code, 0);
    EXPECT_EQ(core.r().key_index, k);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, 48 + k, 78)});
    EXPECT_EQ(core.control(Ctl::key, k).value, 1);

    from = core.mark();
    core.form().key_up(GetParam().code, 0);
    EXPECT_EQ(core.sent_since(from), (std::vector<std::uint32_t>{note_off(14, 36 + k), 0x00007BBEU,
                                                                 note_off(16, 48 + k)}));
    EXPECT_EQ(core.control(Ctl::key, k).value, 0);
}

INSTANTIATE_TEST_SUITE_P(AllKeys, KeyMap, ::testing::ValuesIn(kKeyMap), [](const auto& test_case) {
    return "key" + std::to_string(test_case.param.index) + "_" + test_case.param.key;
});

TEST(KeyMapOthers, EveryOtherCodeMapsToNoKey) {
    std::set<int> mapped;
    for (const auto& k : kKeyMap) {
        mapped.insert(k.code);
    }
    for (int code = -1; code <= 300; ++code) {
        if (mapped.count(code) == 0) {
            EXPECT_EQ(Form1::map_key_code(code), 45) << code;
        }
    }
}

class Input : public ::testing::Test {
protected:
    void SetUp() override { core.start(); }
    Core core;
};

TEST_F(Input, ShiftAloneDoesNothingAndItsReleaseWhitensPad3) {
    core.mouse_down(Ctl::Command17, 3);
    core.r().key_index = 7;
    const auto from = core.mark();

    core.form().key_down(kShiftKey, kShift);
    EXPECT_EQ(core.mark(), from);
    EXPECT_EQ(core.r().key_index, 7) << "Shift alone does not even look up the map";
    EXPECT_EQ(core.back_color(Ctl::Command17, 3), colors::kPadLit);

    core.form().key_up(kShiftKey, 0);
    EXPECT_EQ(core.mark(), from) << "no key is released";
    EXPECT_EQ(core.back_color(Ctl::Command17, 3), colors::kWhite);
}

TEST_F(Input, UnmappedKeyChangesNothingButPad3OnRelease) {
    core.mouse_down(Ctl::Command17, 3);
    core.mouse_down(Ctl::Command17, 5);
    const auto from = core.mark();

    core.form().key_down(kKeyA, 0);
    EXPECT_EQ(core.mark(), from);
    core.form().key_up(kKeyA, 0);
    EXPECT_EQ(core.mark(), from);
    EXPECT_EQ(core.back_color(Ctl::Command17, 3), colors::kWhite);
    EXPECT_EQ(core.back_color(Ctl::Command17, 5), colors::kPadLit);
}

TEST_F(Input, FunctionKeysStrikePadsAndNeverPressKeys) {
    const int notes[] = {36, 41, 45, 48, 38, 46, 42, 57};
    for (int i = 0; i < 8; ++i) {
        SCOPED_TRACE(i);
        auto from = core.mark();
        core.form().key_down(kF1 + i, 0);
        EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(10, notes[i], 100)});
        EXPECT_EQ(core.back_color(Ctl::Command17, i), colors::kPadLit);
        EXPECT_EQ(core.r().key_index, 45);
        EXPECT_EQ(core.r().pad_index, i);

        from = core.mark();
        core.form().key_up(kF1 + i, 0);
        EXPECT_EQ(core.mark(), from);
        EXPECT_EQ(core.back_color(Ctl::Command17, i), colors::kWhite);
    }
    for (int k = 0; k < 37; ++k) {
        EXPECT_EQ(core.control(Ctl::key, k).value, 0) << k;
    }
}

TEST_F(Input, ModifiersReachThePressAsTheirMask) {
    const int masks[] = {0, kShift, kCtrl, kShift | kCtrl, kAlt, kShift | kCtrl | kAlt};
    for (const int mask : masks) {
        core.form().key_down(kKeyT, mask);
        EXPECT_EQ(core.r().shift_state, mask);
        core.form().key_up(kKeyT, 0);
        EXPECT_EQ(core.r().shift_state, mask) << "a release leaves the mask alone";
    }
    core.mouse_down(Ctl::key, 30, kLeftButton, kShift | kCtrl);
    EXPECT_EQ(core.r().shift_state, 3);
}

TEST_F(Input, HeldKeyRepeatsItsPressUntilTheOneRelease) {
    const auto from = core.mark();
    core.form().key_down(kKeyT, 0);
    core.form().key_down(kKeyT, 0);
    core.form().key_down(kKeyT, 0);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>(3, note_on(16, 72, 78)));
    EXPECT_EQ(core.back_color(Ctl::key, 24), colors::kLightBlue);
    core.form().key_up(kKeyT, 0);
    EXPECT_EQ(core.back_color(Ctl::key, 24), colors::kWhite);
}

TEST_F(Input, KeyUpWithoutKeyDownStillReleases) {
    const auto from = core.mark();
    core.form().key_up(kKeyB, 0);
    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_off(14, 43), 0x00007BBEU, note_off(16, 55)}));
    EXPECT_EQ(core.back_color(Ctl::key, 7), colors::kWhite);
}

TEST_F(Input, EveryMouseButtonPlays) {
    for (const int button : {kLeftButton, kRightButton, kMiddleButton}) {
        SCOPED_TRACE(button);
        auto from = core.mark();
        core.mouse_down(Ctl::key, 5, button);
        EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, 53, 78)});
        from = core.mark();
        core.mouse_up(Ctl::key, 5, button);
        EXPECT_EQ(core.sent_since(from),
                  (std::vector<std::uint32_t>{note_off(14, 41), 0x00007BBEU, note_off(16, 53)}));
    }
}

struct TooltipCase {
    int octave;
    int key;
    const char* tooltip;
};

TEST_F(Input, TooltipsFollowTheOctave) {
    const TooltipCase cases[] = {
        {4, 0, " C - 0 "},  {4, 1, " C# - 0 "}, {4, 13, " C# - 1 "}, {4, 11, " B - 0 "},
        {4, 36, " C - 3 "}, {0, 0, " C - -4 "}, {0, 23, " B - -3 "}, {0, 36, " C - -1 "},
        {7, 0, " C - 3 "},  {7, 36, " C - 6 "}, {5, 22, " A# - 2 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "octave " << c.octave << " key " << c.key);
        core.scroll(Ctl::HScroll1, c.octave);
        EXPECT_EQ(core.control(Ctl::key, c.key).tooltip, c.tooltip);
    }
}

} // namespace
} // namespace varkelon::test
