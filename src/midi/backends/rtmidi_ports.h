// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The system's MIDI output ports through RtMidi: ALSA sequencer ports and,
// while a JACK server runs, JACK MIDI ports.

#include <RtMidi.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace varkelon {

struct OutputPort {
    RtMidi::Api api = RtMidi::UNSPECIFIED;
    std::string name;    // RtMidi's name for it; finds the port again when opening
    std::string caption; // what the menu shows
    friend bool operator==(const OutputPort&, const OutputPort&) = default;
};

// Picks the ports to offer from RtMidi's names for one API, in the order
// given: leaves out the ports of our own client (`own_client`) and the
// "Midi Through" loopbacks, and gives each a readable caption.
std::vector<OutputPort> offered_ports(RtMidi::Api api, const std::vector<std::string>& names,
                                      std::string_view own_client);

class RtMidiPorts {
public:
    struct Options {
        std::string client_name = "Варкелон";
        std::vector<RtMidi::Api> apis{RtMidi::LINUX_ALSA, RtMidi::UNIX_JACK};
    };

    explicit RtMidiPorts(Options options);
    ~RtMidiPorts();
    RtMidiPorts(const RtMidiPorts&) = delete;
    RtMidiPorts& operator=(const RtMidiPorts&) = delete;

    // Every port present now, ALSA first. The core decides how many to offer.
    std::vector<OutputPort> list();
    // 0, kNoSuchPort when the port has gone, or kOpenFailed.
    int open(const OutputPort& port);
    // Sends one short message, with as many bytes as its status calls for.
    void send(std::uint32_t message);
    void close();
    bool is_open() const { return out_ != nullptr; }

private:
    struct Client;

    // A new RtMidi client of `api`; null when that API is not available here
    // (no ALSA sequencer device, say).
    std::unique_ptr<Client> make_client(RtMidi::Api api) const;
    // Finds `port` by name among the ports of `c` and opens it.
    static int open_on(Client& c, const OutputPort& port);

    Options options_;
    // ALSA: one client for listing and sending, kept. JACK: a client only
    // while a port is open, since a JACK client must not be touched after
    // its server has gone (libjack frees it behind our back).
    std::unique_ptr<Client> alsa_;
    std::unique_ptr<Client> jack_;
    Client* out_ = nullptr; // the client whose port is open
};

} // namespace varkelon
