// SPDX-License-Identifier: GPL-3.0-or-later
// The program plays into a JACK MIDI port of another client. The test runs
// its own JACK server with the dummy driver under a name of its own, so it
// needs no sound card and disturbs no server of the user's.

#include "midi/backends/midi_keyboard_input.h"
#include "midi/backends/open_codes.h"
#include "midi/backends/system_midi.h"
#include "midi/recording_midi.h"
#include "midi/tee_midi.h"

#include "app/program.h"
#include "jack_fixture.h"
#include "test_support.h"

#include <RtMidi.h>
#include <gtest/gtest.h>
#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <mutex>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace varkelon {
namespace {

using namespace std::chrono_literals;
using jack_test::Clock;
using jack_test::FakeKeyboard;
using jack_test::JackServer;
using jack_test::kReceiverClient;
using jack_test::Receiver;

// A MIDI input port that only has to be listed: a JACK client of its own with
// one port "in", never activated. RtMidi's inputs will not do for a dozen:
// closing them one after another now and then crashed the last one's process
// thread inside libjack.
class IdleInput {
public:
    explicit IdleInput(const std::string& client_name) {
        jack_status_t status{};
        client_ = jack_client_open(client_name.c_str(), JackNoStartServer, &status);
        if (client_ != nullptr) {
            port_ = jack_port_register(client_, "in", JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
        }
    }
    ~IdleInput() {
        if (client_ != nullptr) {
            jack_client_close(client_);
        }
    }
    IdleInput(const IdleInput&) = delete;
    IdleInput& operator=(const IdleInput&) = delete;

    bool ok() const { return port_ != nullptr; }

private:
    jack_client_t* client_ = nullptr;
    jack_port_t* port_ = nullptr;
};

// The whole program over a given MIDI system, with the shipped style file.
struct ProgramOn {
    explicit ProgramOn(MidiSystem& midi) : program({midi, settings, style, dialogs}) {}
    MemorySettingsStore settings;
    MemoryStyleFile style = test::style_data_file();
    ScriptedDialogs dialogs;
    Program program;
};

class JackPorts : public testing::Test {
protected:
    void SetUp() override {
        std::string why;
        server_ = JackServer::start(why);
        if (!server_) {
            GTEST_SKIP() << "cannot start a JACK server for the test: " << why;
        }
    }

    // No SoundFont: "MIDI Mapper" fails at once instead of playing into the
    // test's JACK server; these tests are about the ports.
    static SystemMidi::Options port_options() {
        SystemMidi::Options options;
        options.synth.soundfont = "/nonexistent/GM.sf2";
        options.ports.apis = {RtMidi::UNIX_JACK};
        return options;
    }

    static int menu_index_of(Form1& form, const std::string& caption) {
        for (int i = 1; i <= 10; ++i) {
            if (form.device_item(i).visible && form.device_item(i).caption == caption) {
                return i;
            }
        }
        return -1;
    }

    std::unique_ptr<JackServer> server_;
};

TEST_F(JackPorts, ProgramPlaysIntoTheChosenPortExactlyWhatItSends) {
    Receiver receiver;
    SystemMidi system(port_options());
    std::vector<std::uint32_t> played; // what reaches the open port
    TeeMidiSystem midi(system, [&played](std::uint32_t m) { played.push_back(m); });
    ProgramOn app(midi);
    ASSERT_TRUE(app.program.start());
    Form1& form = app.program.form1();

    const int item = menu_index_of(form, "midi-receiver-test: in");
    ASSERT_GT(item, 0) << "the receiver's port is in the device menu";
    const auto shown_before = app.dialogs.shown.size();
    form.click(ControlId{Ctl::device, item});
    EXPECT_EQ(app.dialogs.shown.size(), shown_before) << "opening the port succeeded";
    EXPECT_EQ(form.r.midi_out_handle, 1);

    form.key_down(90, 0); // a solo key
    form.key_up(90, 0);
    form.key_down(116, 0); // F5: a drum pad
    form.key_up(116, 0);
    form.click(ControlId{Ctl::Command7, -1}); // accompaniment mode, where the core has it
    form.key_down(90, 0);                     // then a chord key
    form.key_up(90, 0);

    const auto sent = played;
    const auto sent_status = [&](std::uint32_t status) {
        return std::any_of(sent.begin(), sent.end(),
                           [&](std::uint32_t m) { return (m & 0xFFU) == status; });
    };
    ASSERT_TRUE(sent_status(0x9F)) << "the key played a solo note";
    ASSERT_TRUE(sent_status(0x99)) << "the pad played a drum";
    if (!sent_status(0x9D)) {
        std::cout << "[   NOTE   ] no chord sent: accompaniment mode is not in the core yet\n";
    }
    EXPECT_EQ(receiver.wait_for(sent.size(), 3s), sent);

    // Choosing another device silences this port before closing it: the
    // all-notes-off arrives after everything else.
    form.click(ControlId{Ctl::device, 0});
    const auto all_sent = played;
    ASSERT_EQ(all_sent.size(), sent.size() + 16);
    for (int channel = 0; channel < 16; ++channel) {
        EXPECT_EQ(all_sent[sent.size() + static_cast<std::size_t>(channel)],
                  pack_short_message(0xB0 | channel, 123, 0));
    }
    EXPECT_EQ(receiver.wait_for(all_sent.size(), 3s), all_sent);
}

TEST_F(JackPorts, PortThatDisappearsWhileOpenTakesSendsNowhere) {
    auto receiver = std::make_unique<Receiver>();
    SystemMidi system(port_options());
    ProgramOn app(system);
    ASSERT_TRUE(app.program.start());
    Form1& form = app.program.form1();
    const int item = menu_index_of(form, "midi-receiver-test: in");
    ASSERT_GT(item, 0);
    form.click(ControlId{Ctl::device, item});
    ASSERT_EQ(form.r.midi_out_handle, 1);

    receiver.reset(); // the receiving program quits
    for (int i = 0; i < 200; ++i) {
        form.key_down(90, 0);
        form.key_up(90, 0);
    }

    // Choosing it again finds it gone: the message, and the program goes on.
    const auto shown_before = app.dialogs.shown.size();
    form.click(ControlId{Ctl::device, item});
    ASSERT_EQ(app.dialogs.shown.size(), shown_before + 1);
    EXPECT_EQ(app.dialogs.shown.back().text,
              "Couldn't open midi out, rc = " + std::to_string(kNoSuchPort));
    form.key_down(90, 0);
    form.key_up(90, 0);
    form.unload();
}

// Every port is listed, in the same order each time; the core offers the
// first ten in its menu and still counts them all.
TEST_F(JackPorts, ListsEveryPortInAStableOrderAndTheMenuShowsTen) {
    std::vector<std::unique_ptr<IdleInput>> inputs;
    for (const int i : {11, 3, 0, 7, 10, 1, 9, 2, 8, 4, 6, 5}) { // registered out of order
        const std::string client = "receiver-" + std::string(i < 10 ? "0" : "") + std::to_string(i);
        inputs.push_back(std::make_unique<IdleInput>(client));
        ASSERT_TRUE(inputs.back()->ok()) << client;
    }
    SystemMidi system(port_options());
    const auto first = system.output_names();
    ASSERT_EQ(first.size(), 12U);
    EXPECT_EQ(system.output_names(), first);
    EXPECT_EQ(first.front(), "receiver-00: in");
    EXPECT_EQ(first.back(), "receiver-11: in");
    EXPECT_TRUE(std::is_sorted(first.begin(), first.end()));

    ProgramOn app(system);
    ASSERT_TRUE(app.program.start());
    Form1& form = app.program.form1();
    EXPECT_EQ(form.r.midi_device_count, 12);
    for (int i = 1; i <= 10; ++i) {
        EXPECT_TRUE(form.device_item(i).visible) << i;
        EXPECT_EQ(form.device_item(i).caption, first[static_cast<std::size_t>(i - 1)]);
    }
    form.unload();
}

// A burst beyond what the server takes in a cycle drops sends, yet the
// server is alive: closing must still release our client and its port,
// not treat the server as gone and leave them registered.
TEST_F(JackPorts, BurstBeyondTheBudgetStillClosesThePort) {
    Receiver receiver;
    SystemMidi system(port_options());
    const auto names = system.output_names();
    const auto it = std::find(names.begin(), names.end(), "midi-receiver-test: in");
    ASSERT_NE(it, names.end());
    ASSERT_EQ(system.open(static_cast<int>(it - names.begin())), kOpenOk);
    for (int i = 0; i < 5000; ++i) {
        system.send(pack_short_message(0x9F, 60, 100));
        system.send(pack_short_message(0x8F, 60, 0));
    }
    system.close();

    jack_status_t status{};
    jack_client_t* probe = jack_client_open("probe", JackNoStartServer, &status);
    ASSERT_NE(probe, nullptr);
    const char** ours = jack_get_ports(probe, "^Варкелон", nullptr, 0);
    std::vector<std::string> left;
    for (const char** p = ours; p != nullptr && *p != nullptr; ++p) {
        left.emplace_back(*p);
    }
    jack_free(static_cast<void*>(ours));
    jack_client_close(probe);
    EXPECT_EQ(left, std::vector<std::string>{}) << "our port is gone from the server";
}

// Last in the file: it leaves this process's libjack holding clients of a
// server that has gone.
TEST_F(JackPorts, ServerThatQuitsWhileOpenNeverBlocksSendOrClose) {
    // libjack frees the clients of a server that has gone, so this one must
    // not be closed afterwards; it is let go at the end.
    auto receiver = std::make_unique<Receiver>();
    SystemMidi system(port_options());
    const auto names = system.output_names();
    const auto it = std::find(names.begin(), names.end(), "midi-receiver-test: in");
    ASSERT_NE(it, names.end());
    const int id = static_cast<int>(it - names.begin());
    ASSERT_EQ(system.open(id), kOpenOk);

    server_->stop();
    // Far more than any buffer between us and the server holds: a send that
    // waited for room would wait forever.
    for (int i = 0; i < 20000; ++i) {
        system.send(pack_short_message(0x9F, 60, 100));
    }
    system.close();
    EXPECT_EQ(system.open(id), kNoSuchPort);
    EXPECT_TRUE(system.output_names().empty());
    static_cast<void>(receiver.release());
}

} // namespace
} // namespace varkelon

namespace varkelon {
namespace {

// The program's input port feeding the whole program, as the event loop
// would: what the port's thread hands over is delivered here, in order.
struct KeyboardInputProgram {
    RecordingMidiSystem midi;
    ProgramOn on{midi};
    std::mutex mutex;
    std::vector<std::function<void(Form1&)>> inbox;
    std::unique_ptr<MidiKeyboardInput> input;

    KeyboardInputProgram() {
        on.program.start();
        input = MidiKeyboardInput::start({
            [this](std::uint8_t s, std::uint8_t n, std::uint8_t v) {
                const std::lock_guard lock(mutex);
                inbox.emplace_back([s, n, v](Form1& f) { f.midi_in(s, n, v, 0); });
            },
            [this] {
                const std::lock_guard lock(mutex);
                inbox.emplace_back([](Form1& f) { f.midi_keyboard_gone(); });
            },
        });
    }
    // Delivers what has arrived until `done` holds or the time is up.
    bool deliver_until(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
        const auto deadline = Clock::now() + timeout;
        while (Clock::now() < deadline) {
            std::vector<std::function<void(Form1&)>> now;
            {
                const std::lock_guard lock(mutex);
                now.swap(inbox);
            }
            for (auto& event : now) {
                event(on.program.form1());
            }
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(5ms);
        }
        return false;
    }
    bool sent(std::uint32_t message) const {
        const auto s = midi.sent();
        return std::find(s.begin(), s.end(), message) != s.end();
    }
};

TEST_F(JackPorts, AMidiKeyboardPluggedInLaterPlaysTheKeysAndItsUnplugReleasesThem) {
    KeyboardInputProgram p;
    ASSERT_TRUE(p.input && p.input->on_jack());
    const std::string own = p.input->jack_port_name();
    EXPECT_EQ(own.substr(own.find(':') + 1), "Варкелон");

    FakeKeyboard software("software-midi-test", false);
    FakeKeyboard keyboard("usb-keyboard-test");
    ASSERT_TRUE(keyboard.ok() && software.ok());
    ASSERT_TRUE(p.deliver_until([&] { return keyboard.connected_to(own); }, 5s))
        << "a hardware port that appears is connected by itself";
    EXPECT_FALSE(software.connected_to(own)) << "software ports are left alone";

    // Note 48 at octave 4 is key 0: at full touch the same messages as the Z key.
    p.midi.clear();
    keyboard.play(0x90, 48, 127);
    ASSERT_TRUE(p.deliver_until([&] { return p.sent(0x004E309FU); }, 5s));
    EXPECT_EQ(p.on.program.form1().key(0).value, 1);
    keyboard.play(0x80, 48, 64);
    ASSERT_TRUE(p.deliver_until([&] { return p.sent(0x0000308FU); }, 5s));
    EXPECT_EQ(p.on.program.form1().key(0).value, 0);

    // Unplugged with a key held: the program lets go of it.
    keyboard.play(0x90, 60, 100);
    ASSERT_TRUE(p.deliver_until([&] { return p.on.program.form1().key(12).value == 1; }, 5s));
    p.midi.clear();
    keyboard.unplug();
    EXPECT_TRUE(p.deliver_until([&] { return p.sent(0x00003C8FU); }, 5s));
    EXPECT_EQ(p.on.program.form1().key(12).value, 0);
}

} // namespace
} // namespace varkelon
