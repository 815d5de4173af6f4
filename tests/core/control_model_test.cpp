// SPDX-License-Identifier: GPL-3.0-or-later
// The control model: control names, the keyboard's geometry and stacking, and
// which control an input event reaches.

#include "app/layout.h"
#include "core_fixture.h"

#include <algorithm>

namespace varkelon::test {
namespace {

struct ParseCase {
    const char* text;
    bool ok;
    std::optional<ControlId> id; // empty: well formed, but no control has the name
};

TEST(ControlIdParse, Table) {
    const ParseCase cases[] = {
        {"Command2", true, ControlId{Ctl::Command2}},
        {"key(7)", true, ControlId{Ctl::key, 7}},
        {"key(0)", true, ControlId{Ctl::key, 0}},
        {"device(10)", true, ControlId{Ctl::device, 10}},
        {"Command17(3)", true, ControlId{Ctl::Command17, 3}},
        {"vyhod", true, ControlId{Ctl::vyhod}},
        {"key(99)", true, ControlId{Ctl::key, 99}}, // a member the model does not have
        {"nosuch", true, std::nullopt},
        {"Key(1)", true, std::nullopt},
        {"", false, std::nullopt},
        {"key(", false, std::nullopt},
        {"key()", false, std::nullopt},
        {"key(-1)", false, std::nullopt},
        {"key(+1)", false, std::nullopt},
        {"key( 1)", false, std::nullopt},
        {"key(1x)", false, std::nullopt},
        {"key(3", false, std::nullopt},
        {"key(3)x", false, std::nullopt},
        {"key(3)(4)", false, std::nullopt},
        {"(3)", false, std::nullopt},
        {"key)3", false, std::nullopt},
        {"key(99999999999)", false, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::optional<ControlId> id = ControlId{Ctl::base, 99};
        EXPECT_EQ(ControlId::parse(c.text, id), c.ok);
        if (c.ok) {
            EXPECT_EQ(id, c.id);
        }
        if (id) {
            EXPECT_EQ(id->to_string(), c.text);
        }
    }
}

// Every control of the table is in the model once, under its own name.
TEST(ControlTable, EveryControlAndMemberOnceUnderItsName) {
    const ControlModel model{make_form1_controls()};
    std::size_t members = 0;
    for (int i = 0; i < kCtlCount; ++i) {
        const auto c = static_cast<Ctl>(i);
        EXPECT_EQ(control_named(control_name(c)), c);
        const int n = member_count(c);
        members += n == 0 ? 1 : static_cast<std::size_t>(n);
        for (int k = (n == 0 ? -1 : 0); k < (n == 0 ? 0 : n); ++k) {
            const Control* found = model.find(ControlId{c, k});
            ASSERT_NE(found, nullptr) << control_name(c) << " " << k;
            EXPECT_EQ(found->id, (ControlId{c, k}));
        }
        EXPECT_EQ(model.find(ControlId{c, n == 0 ? 0 : n}), nullptr) << control_name(c);
    }
    EXPECT_EQ(model.all().size(), members);
}

bool is_black(int k) {
    const int p = k % 12;
    return p == 1 || p == 3 || p == 6 || p == 8 || p == 10;
}

class Keyboard : public ::testing::Test {
protected:
    ControlModel model{make_form1_controls()};
    const Control& key(int k) const { return model.at(ControlId{Ctl::key, k}); }
    int white_left(int whites_to_the_left) const { return 480 + 360 * whites_to_the_left; }
};

TEST_F(Keyboard, WhiteKeysStepBy360AndBlackKeysStand120LeftOfTheNextWhite) {
    int whites = 0;
    for (int k = 0; k < kKeyCount; ++k) {
        SCOPED_TRACE(k);
        EXPECT_EQ(key(k).top, 2520);
        EXPECT_EQ(key(k).container, std::nullopt) << "on the window";
        if (is_black(k)) {
            EXPECT_EQ(key(k).left, white_left(whites) - 120);
            EXPECT_EQ(key(k).width, 255);
            EXPECT_EQ(key(k).height, 1095);
            EXPECT_EQ(key(k).left, key(k + 1).left - 120);
        } else {
            EXPECT_EQ(key(k).left, white_left(whites));
            EXPECT_EQ(key(k).width, 375);
            EXPECT_EQ(key(k).height, 1815);
            ++whites;
        }
    }
    EXPECT_EQ(whites, 22);
}

TEST_F(Keyboard, SomeKeysWhereTheLayoutTablePutsThem) {
    const std::pair<int, int> lefts[] = {{0, 480},   {1, 720},   {4, 1200},  {5, 1560},
                                         {11, 2640}, {12, 3000}, {13, 3240}, {22, 5040},
                                         {30, 6840}, {34, 7560}, {35, 7680}, {36, 8040}};
    for (const auto& [k, left] : lefts) {
        EXPECT_EQ(key(k).left, left) << k;
    }
}

TEST_F(Keyboard, CaptionsNameTheComputerKeys) {
    const char* captions[kKeyCount] = {"Z", "S", "X", "D", "C", "V", "G", "B", "H", "N",
                                       "J", "M", "<", "L", ">", ";", "/", "Q", "2", "W",
                                       "3", "E", "4", "R", "T", "6", "Y", "7", "U", "I",
                                       "9", "O", "0", "P", "-", "[", "]"};
    for (int k = 0; k < kKeyCount; ++k) {
        EXPECT_EQ(key(k).caption, captions[k]) << k;
    }
}

TEST_F(Keyboard, BlackKeysLieAboveTheWhiteKeys) {
    const auto& all = model.all();
    auto position = [&](int k) {
        return std::find_if(all.begin(), all.end(),
                            [k](const Control& c) {
                                return c.id == ControlId{Ctl::key, k};
                            }) -
               all.begin();
    };
    for (int black = 0; black < kKeyCount; ++black) {
        if (!is_black(black)) {
            continue;
        }
        for (int white = 0; white < kKeyCount; ++white) {
            if (!is_black(white)) {
                EXPECT_GT(position(black), position(white)) << black << " over " << white;
            }
        }
    }
}

TEST_F(Keyboard, DesignColoursBeforeLoad) {
    for (int k = 0; k < kKeyCount; ++k) {
        EXPECT_EQ(key(k).back_color, is_black(k) ? colors::kMenuText : colors::kButtonHighlight)
            << k;
    }
}

class Routing : public ::testing::Test {
protected:
    void SetUp() override { core.start(); }
    Core core;
};

TEST_F(Routing, DisabledOrHiddenControlReceivesNoPress) {
    core.control(Ctl::key, 5).enabled = false;
    core.control(Ctl::Command17, 2).visible = false;
    core.control(Ctl::chan, 0).enabled = false;
    const auto from = core.mark();

    core.mouse_down(Ctl::key, 5);
    core.mouse_down(Ctl::Command17, 2);
    core.click(Ctl::chan, 0);

    EXPECT_EQ(core.mark(), from);
    EXPECT_EQ(core.back_color(Ctl::key, 5), colors::kWhite);
    EXPECT_EQ(core.back_color(Ctl::Command17, 2), colors::kWhite);
    EXPECT_TRUE(core.control(Ctl::chan, 0).checked);
}

TEST_F(Routing, ReleaseReachesTheControlWhereThePressBegan) {
    core.mouse_down(Ctl::key, 5);
    core.mouse_down(Ctl::Command17, 2, kRightButton);
    core.control(Ctl::key, 5).enabled = false;
    core.control(Ctl::Command17, 2).visible = false;
    const auto from = core.mark();

    core.mouse_up(Ctl::key, 5);
    core.mouse_up(Ctl::Command17, 2, kRightButton);

    EXPECT_EQ(core.sent_since(from),
              (std::vector<std::uint32_t>{note_off(14, 41), 0x00007BBEU, note_off(16, 53)}));
    EXPECT_EQ(core.back_color(Ctl::key, 5), colors::kWhite);
    EXPECT_EQ(core.back_color(Ctl::Command17, 2), colors::kWhite);
}

// A release pairs with the last press of its own mouse button, and only
// with one that a control accepted.
TEST_F(Routing, AReleaseWithoutAnAcceptedPressOfItsButtonDoesNothing) {
    core.control(Ctl::key, 5).enabled = false;
    const auto from = core.mark();
    core.mouse_down(Ctl::key, 5);
    core.mouse_up(Ctl::key, 5);
    core.mouse_up(Ctl::key, 6, kMiddleButton);

    core.control(Ctl::key, 5).enabled = true;
    core.mouse_down(Ctl::key, 5, kRightButton);
    core.control(Ctl::key, 5).enabled = false;
    core.mouse_down(Ctl::key, 5, kRightButton); // refused: the earlier press has ended
    core.mouse_up(Ctl::key, 5, kRightButton);
    core.mouse_up(Ctl::key, 5, kLeftButton);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{note_on(16, 53, 78)});
}

TEST_F(Routing, UnknownControlsAreIgnored) {
    const auto from = core.mark();
    core.mouse_down(Ctl::key, 37);
    core.mouse_up(Ctl::key, 37);
    core.mouse_down(Ctl::Command17, 8);
    EXPECT_EQ(core.mark(), from);
}

TEST_F(Routing, SettingASliderToItsValueRunsNoHandler) {
    const auto from = core.mark();
    core.scroll(Ctl::HScroll1, 4);
    EXPECT_EQ(core.mark(), from) << "no preview note";
}

TEST_F(Routing, SliderIsKeptInItsRange) {
    core.scroll(Ctl::HScroll2, 500);
    EXPECT_EQ(core.control(Ctl::HScroll2).value, 127);
    EXPECT_EQ(core.r().solo_volume, 127);
    core.scroll(Ctl::HScroll1, -3);
    EXPECT_EQ(core.control(Ctl::HScroll1).value, 0);
    EXPECT_EQ(core.r().octave, 0);
}

TEST(Register, VariablesReadBackByName) {
    Core core;
    core.start();
    EXPECT_EQ(core.r().get("midi_device_id"), "-1");
    EXPECT_EQ(core.r().get("solo_base_note"), "48");
    EXPECT_EQ(core.r().get("accomp_mode"), "0");
    core.r().accomp_mode = kTrue;
    EXPECT_EQ(core.r().get("accomp_mode"), "-1");
    EXPECT_EQ(core.r().get("note_names"),
              "\"C\" \"C#\" \"D\" \"D#\" \"E\" \"F\" \"F#\" \"G\" \"G#\" \"A\" \"A#\" \"B\"");
    EXPECT_EQ(core.r().get("no_such_variable"), std::nullopt);
}

TEST(ColourText, RgbAndSystemNames) {
    EXPECT_EQ(Color::rgb(187, 255, 119).to_string(), "RGB(187, 255, 119)");
    EXPECT_EQ(colors::kButtonFace.to_string(), "ButtonFace");
    EXPECT_NE(Color::rgb(255, 255, 255), colors::kButtonHighlight);
}

} // namespace
} // namespace varkelon::test
