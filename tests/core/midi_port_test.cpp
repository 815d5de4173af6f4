// SPDX-License-Identifier: GPL-3.0-or-later
// The MIDI output port: the device menu, choosing and opening a port, what
// reaches the old port before it closes, and the packing of short messages.

#include "app/layout.h"
#include "core_fixture.h"

#include <algorithm>

namespace varkelon::test {
namespace {

using Event = RecordingMidiSystem::Event;
using Kind = Event::Kind;

std::vector<Event> events_since(const Core& core, std::size_t from) {
    return {core.midi.events.begin() + static_cast<std::ptrdiff_t>(from), core.midi.events.end()};
}

// What a port gets once it is open: the sounds of the live chord and of the solo voice.
std::vector<Event> program_events(int solo_program) {
    return {Event{Kind::Send, 0, 0, 0x000022CDU}, Event{Kind::Send, 0, 0, 0x000033CEU},
            Event{Kind::Send, 0, 0, static_cast<std::uint32_t>(solo_program << 8 | 0xCF)}};
}

Event last_open(const Core& core) {
    const auto it = std::find_if(core.midi.events.rbegin(), core.midi.events.rend(),
                                 [](const Event& e) { return e.kind == Kind::Open; });
    return it == core.midi.events.rend() ? Event{} : *it;
}

std::vector<Event> all_notes_off_events() {
    std::vector<Event> out;
    for (const auto m : all_notes_off_messages()) {
        out.push_back(Event{Kind::Send, 0, 0, m});
    }
    return out;
}

TEST(DeviceMenu, ThreePortsGetThreeItemsBesideTheMapper) {
    Core core;
    core.midi.names = {"Synth A", "USB MIDI 1", "Port three"};
    core.start();

    EXPECT_EQ(core.control(Ctl::device, 0).caption, "MIDI Mapper");
    EXPECT_TRUE(core.control(Ctl::device, 0).visible);
    const char* names[] = {"Synth A", "USB MIDI 1", "Port three"};
    for (int i = 1; i <= 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(core.control(Ctl::device, i).caption, names[i - 1]);
        EXPECT_TRUE(core.control(Ctl::device, i).visible);
        EXPECT_TRUE(core.control(Ctl::device, i).enabled);
        EXPECT_FALSE(core.control(Ctl::device, i).checked);
    }
    for (int i = 4; i < kDeviceItems; ++i) {
        EXPECT_FALSE(core.control(Ctl::device, i).visible) << i;
        EXPECT_FALSE(core.control(Ctl::device, i).enabled) << i;
    }
    EXPECT_EQ(core.r().midi_device_count, 3);
    EXPECT_TRUE(core.control(Ctl::device, 0).checked);
    EXPECT_EQ(core.r().midi_device_id, -1);
}

TEST(DeviceMenu, TwelvePortsFillTheTenItems) {
    Core core;
    for (int d = 0; d < 12; ++d) {
        core.midi.names.push_back("port " + std::to_string(d));
    }
    core.start();

    for (int i = 1; i <= 10; ++i) {
        EXPECT_EQ(core.control(Ctl::device, i).caption, "port " + std::to_string(i - 1));
        EXPECT_TRUE(core.control(Ctl::device, i).visible) << i;
    }
    EXPECT_EQ(core.form().controls.find(ControlId{Ctl::device, 11}), nullptr);
}

TEST(DeviceMenu, NoPortsLeaveOnlyTheMapper) {
    Core core;
    core.start();
    for (int i = 1; i < kDeviceItems; ++i) {
        EXPECT_FALSE(core.control(Ctl::device, i).visible) << i;
    }
    EXPECT_EQ(core.r().midi_device_count, 0);
}

class DeviceChoice : public ::testing::Test {
protected:
    void SetUp() override {
        core.midi.names = {"one", "two", "three"};
        core.start();
    }
    Core core;
};

TEST_F(DeviceChoice, MovesTheCheckMarkAndOpensThatDevice) {
    core.click(Ctl::device, 2);

    EXPECT_FALSE(core.control(Ctl::device, 0).checked);
    EXPECT_TRUE(core.control(Ctl::device, 2).checked);
    EXPECT_EQ(core.r().midi_device_id, 1);
    EXPECT_EQ(last_open(core), (Event{Kind::Open, 1, 0, 0}));

    core.click(Ctl::device, 3);
    EXPECT_FALSE(core.control(Ctl::device, 2).checked);
    EXPECT_TRUE(core.control(Ctl::device, 3).checked);
    EXPECT_EQ(core.r().midi_device_id, 2);

    core.click(Ctl::device, 0);
    EXPECT_FALSE(core.control(Ctl::device, 3).checked);
    EXPECT_TRUE(core.control(Ctl::device, 0).checked);
    EXPECT_EQ(core.r().midi_device_id, -1);
    EXPECT_EQ(last_open(core), (Event{Kind::Open, kMidiMapperId, 0, 0}));
}

// An external synth would otherwise play the live chord and the solo voice
// in its own default sounds until the next instrument choice.
TEST_F(DeviceChoice, OldPortIsSilencedThenClosedAndTheNewOneGetsTheSounds) {
    core.r().solo_program = 40;
    const auto from = core.mark();
    core.click(Ctl::device, 1);

    auto expected = all_notes_off_events();
    expected.push_back(Event{Kind::Close, 0, 0, 0});
    expected.push_back(Event{Kind::Open, 0, 0, 0});
    for (const Event& e : program_events(40)) {
        expected.push_back(e);
    }
    EXPECT_EQ(events_since(core, from), expected);
}

TEST_F(DeviceChoice, ChoosingTheCheckedItemReopensTheSameDevice) {
    const auto from = core.mark();
    core.click(Ctl::device, 0);

    auto expected = all_notes_off_events();
    expected.push_back(Event{Kind::Close, 0, 0, 0});
    expected.push_back(Event{Kind::Open, kMidiMapperId, 0, 0});
    for (const Event& e : program_events(core.r().solo_program)) {
        expected.push_back(e);
    }
    EXPECT_EQ(events_since(core, from), expected);
    EXPECT_TRUE(core.control(Ctl::device, 0).checked);
}

TEST_F(DeviceChoice, UnloadSilencesThePortBeforeClosingIt) {
    const auto from = core.mark();
    core.program.close(FormId::Form1);

    auto expected = all_notes_off_events();
    expected.push_back(Event{Kind::Close, 0, 0, 0});
    EXPECT_EQ(events_since(core, from), expected);
}

TEST_F(DeviceChoice, FailedOpenIsReportedAndTheMarkStays) {
    core.midi.open_rc = 4;
    core.click(Ctl::device, 2);

    ASSERT_EQ(core.dialogs.shown.size(), 1U);
    EXPECT_EQ(core.dialogs.shown[0].text, "Couldn't open midi out, rc = 4");
    EXPECT_EQ(core.dialogs.shown[0].icon, MessageIcon::None);
    EXPECT_TRUE(core.control(Ctl::device, 2).checked);
    EXPECT_FALSE(core.control(Ctl::device, 0).checked);
    EXPECT_EQ(core.r().midi_device_id, 1);

    const auto from = core.mark();
    core.form().key_down(kKeyZ, 0);
    core.form().key_up(kKeyZ, 0);
    core.mouse_down(Ctl::Command17, 4);
    EXPECT_TRUE(core.sent_since(from).empty()) << "sends are lost while no port is open";
}

TEST_F(DeviceChoice, ChoosingAgainAfterAFailureClearsTheFailedItem) {
    core.midi.open_rc = 4;
    core.click(Ctl::device, 2);
    core.midi.open_rc = 0;
    core.click(Ctl::device, 1);

    EXPECT_FALSE(core.control(Ctl::device, 2).checked);
    EXPECT_TRUE(core.control(Ctl::device, 1).checked);
    EXPECT_EQ(core.dialogs.shown.size(), 1U);

    const auto from = core.mark();
    core.form().key_down(kKeyZ, 0);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{0x004E309FU});
}

TEST_F(DeviceChoice, HiddenItemCannotBeChosen) {
    const auto from = core.mark();
    core.click(Ctl::device, 5);
    EXPECT_EQ(core.mark(), from);
    EXPECT_TRUE(core.control(Ctl::device, 0).checked);
    EXPECT_FALSE(core.control(Ctl::device, 5).checked);
}

// Sees every call, also the sends that a closed port would drop.
class SpyMidi final : public MidiSystem {
public:
    int open_rc = 0;
    std::vector<std::string> calls;
    std::vector<std::string> output_names() override { return {"ext"}; }
    int open(int id) override {
        calls.push_back("open " + std::to_string(id));
        return open_rc;
    }
    void send(std::uint32_t message) override {
        calls.push_back("send " + std::to_string(message));
    }
    void close() override { calls.push_back("close"); }
};

TEST(DeviceChoiceSpy, NothingIsSentTowardsAPortThatFailedToOpen) {
    SpyMidi midi;
    MemorySettingsStore settings;
    MemoryStyleFile style_file{shipped_style_file()};
    ScriptedDialogs dialogs;
    Program program{ProgramPorts{midi, settings, style_file, dialogs}};
    ASSERT_TRUE(program.start());

    midi.open_rc = 4;
    program.form1().click(ControlId{Ctl::device, 1});
    midi.calls.clear();

    midi.open_rc = 0;
    program.form1().click(ControlId{Ctl::device, 0});
    EXPECT_EQ(midi.calls,
              (std::vector<std::string>{"close", "open -1", "send 8909", "send 13262", "send 207"}))
        << "the open port gets its sounds, and no all-notes-off went to the failed one";

    midi.calls.clear();
    midi.open_rc = 4;
    program.form1().click(ControlId{Ctl::device, 1});
    program.close(FormId::Form1);
    ASSERT_FALSE(midi.calls.empty());
    EXPECT_EQ(midi.calls.back(), "close");
    EXPECT_EQ(std::count(midi.calls.begin(), midi.calls.end(), "send 31664"), 1)
        << "all-notes-off reached the open mapper once, not the failed port at unload";
}

TEST(ShortMessage, PacksStatusAndTwoDataBytes) {
    EXPECT_EQ(pack_short_message(0xCD, 34, 0), 0x000022CDU);
    EXPECT_EQ(pack_short_message(0xCE, 51, 0), 0x000033CEU);
    EXPECT_EQ(pack_short_message(0x9F, 60, 78), 0x004E3C9FU);
    EXPECT_EQ(pack_short_message(0xBF, 123, 0), 0x00007BBFU);
    EXPECT_EQ(pack_short_message(0x99, 127, 127), 0x007F7F99U);
}

TEST(ShortMessage, GoesToTheOpenPortAtOnce) {
    Core core;
    core.start();
    const auto from = core.mark();
    core.form().send_short_message(0x9F, 60, 78);
    EXPECT_EQ(core.sent_since(from), std::vector<std::uint32_t>{0x004E3C9FU});
}

} // namespace
} // namespace varkelon::test
