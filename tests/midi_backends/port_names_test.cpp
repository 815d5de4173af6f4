// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/rtmidi_ports.h"

#include <gtest/gtest.h>

namespace varkelon {
namespace {

struct NamingCase {
    const char* what;
    RtMidi::Api api;
    std::vector<std::string> names;
    std::vector<std::string> captions; // of the ports offered, in order
};

void PrintTo(const NamingCase& c, std::ostream* os) {
    *os << c.what;
}

class PortNaming : public testing::TestWithParam<NamingCase> {};

TEST_P(PortNaming, OffersOtherProgramsPortsWithReadableCaptions) {
    const NamingCase& c = GetParam();
    const auto ports = offered_ports(c.api, c.names, "Varkelon");
    std::vector<std::string> captions;
    for (const auto& p : ports) {
        captions.push_back(p.caption);
        EXPECT_EQ(p.api, c.api);
    }
    EXPECT_EQ(captions, c.captions);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PortNaming,
    testing::Values(NamingCase{"alsa address dropped, client named once",
                               RtMidi::LINUX_ALSA,
                               {"USB Keystation:USB Keystation MIDI 1 20:0"},
                               {"USB Keystation MIDI 1"}},
                    NamingCase{"alsa client and port differ",
                               RtMidi::LINUX_ALSA,
                               {"FLUID Synth (4242):Synth input port (4242:0) 128:0"},
                               {"FLUID Synth (4242): Synth input port (4242:0)"}},
                    NamingCase{"loopback and own ports left out",
                               RtMidi::LINUX_ALSA,
                               {"Midi Through:Midi Through Port-0 14:0", "Varkelon:out 130:0",
                                "Qsynth:in 131:0"},
                               {"Qsynth: in"}},
                    NamingCase{"two ports of one name keep their full names apart",
                               RtMidi::LINUX_ALSA,
                               {"Synth:Synth 128:0", "Synth:Synth 129:0"},
                               {"Synth", "Synth:Synth 129:0"}},
                    NamingCase{"jack ports",
                               RtMidi::UNIX_JACK,
                               {"midi-receiver-test:in", "Varkelon-01:in", "VarkelonX:in",
                                "a2j:Midi Through [14] (playback): Midi Through Port-0"},
                               {"midi-receiver-test: in", "VarkelonX: in"}},
                    NamingCase{"a name without a client part stays as it is",
                               RtMidi::UNIX_JACK,
                               {"lonely"},
                               {"lonely"}}),
    [](const testing::TestParamInfo<NamingCase>& p) { return "case" + std::to_string(p.index); });

TEST(RtMidiPorts, NoMidiSystemAtAllGivesNoPortsAndRefusesToOpen) {
    // With no ALSA sequencer device and no JACK server (as in a container),
    // RtMidi's constructor throws or finds nothing; neither escapes.
    RtMidiPorts ports(RtMidiPorts::Options{"Varkelon", {RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK}});
    const auto listed = ports.list();
    EXPECT_NE(ports.open(OutputPort{RtMidi::UNIX_JACK, "nobody:nothing", "nothing"}), 0);
    EXPECT_FALSE(ports.is_open());
    ports.send(0x007F3C90); // lost quietly
    ports.close();
}

} // namespace
} // namespace varkelon
