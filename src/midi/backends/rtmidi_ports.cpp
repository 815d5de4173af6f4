// SPDX-License-Identifier: GPL-3.0-or-later
#include "midi/backends/rtmidi_ports.h"

#include "midi/backends/jack_watch.h"
#include "midi/backends/library_noise.h"
#include "midi/backends/open_codes.h"
#include "midi/midi_facts.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <iostream>
#include <thread>

namespace varkelon {

namespace {

// RtMidi names an ALSA port "Client:Port 128:0"; the address at the end
// means nothing to a player.
std::string_view without_alsa_address(std::string_view name) {
    const auto blank = name.rfind(' ');
    if (blank == std::string_view::npos) {
        return name;
    }
    const std::string_view tail = name.substr(blank + 1);
    const auto colon = tail.find(':');
    const auto all_digits = [](std::string_view s) {
        return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) {
            return std::isdigit(static_cast<unsigned char>(c)) != 0;
        });
    };
    if (colon == std::string_view::npos || !all_digits(tail.substr(0, colon)) ||
        !all_digits(tail.substr(colon + 1))) {
        return name;
    }
    return name.substr(0, blank);
}

// JACK gives a second client of the same name a suffix: "Варкелон-01".
bool is_own_client(std::string_view client, std::string_view own) {
    if (client.substr(0, own.size()) != own) {
        return false;
    }
    const std::string_view rest = client.substr(own.size());
    return rest.empty() || (rest.size() > 1 && rest[0] == '-' &&
                            std::all_of(rest.begin() + 1, rest.end(), [](char c) {
                                return std::isdigit(static_cast<unsigned char>(c)) != 0;
                            }));
}

} // namespace

std::vector<OutputPort> offered_ports(RtMidi::Api api, const std::vector<std::string>& names,
                                      std::string_view own_client) {
    std::vector<OutputPort> ports;
    for (const std::string& name : names) {
        if (name.empty() || name.find("Midi Through") != std::string::npos) {
            continue;
        }
        const std::string_view shown =
            api == RtMidi::LINUX_ALSA ? without_alsa_address(name) : std::string_view(name);
        const auto colon = shown.find(':');
        const std::string_view client = shown.substr(0, colon);
        if (is_own_client(client, own_client)) {
            continue;
        }
        std::string caption(shown);
        if (colon != std::string_view::npos) {
            const std::string_view port = shown.substr(colon + 1);
            caption = port.substr(0, client.size()) == client
                          ? std::string(port)
                          : std::string(client) + ": " + std::string(port);
        }
        // Two ports of the same name: the full name tells them apart.
        const bool taken = std::any_of(ports.begin(), ports.end(),
                                       [&](const OutputPort& p) { return p.caption == caption; });
        ports.push_back(OutputPort{api, name, taken ? name : caption});
    }
    return ports;
}

struct RtMidiPorts::Client {
    RtMidi::Api api;
    std::unique_ptr<RtMidiOut> out;
    std::string last_error;
    // JACK only, while a port is open: see jack_watch.h.
    std::unique_ptr<JackWatch> watch;
    CycleBudget budget;

    static void on_error(RtMidiError::Type /*type*/, const std::string& text, void* self) {
        // Kept rather than printed: a missing JACK server is normal here.
        static_cast<Client*>(self)->last_error = text;
    }
};

// RtMidi and JackWatch open their JACK clients with JackNoStartServer.
RtMidiPorts::RtMidiPorts(Options options) : options_(std::move(options)) {}

RtMidiPorts::~RtMidiPorts() {
    close();
}

std::unique_ptr<RtMidiPorts::Client> RtMidiPorts::make_client(RtMidi::Api api) const {
    auto c = std::make_unique<Client>();
    c->api = api;
    // RtMidi prints the failure of a missing API before it throws; the throw
    // says enough.
    std::streambuf* const cerr_buffer = std::cerr.rdbuf();
    if (audio_libraries_quiet()) {
        std::cerr.rdbuf(nullptr);
    }
    try {
        c->out = std::make_unique<RtMidiOut>(api, options_.client_name);
    } catch (const std::exception&) {
        c->out.reset(); // RtMidiError: this API has no device here
    }
    std::cerr.rdbuf(cerr_buffer);
    if (!c->out) {
        return nullptr;
    }
    // From here on RtMidi reports errors to the callback instead of throwing.
    c->out->setErrorCallback(&Client::on_error, c.get());
    return c;
}

std::vector<OutputPort> RtMidiPorts::list() {
    std::vector<OutputPort> all;
    for (const RtMidi::Api api : options_.apis) {
        std::vector<std::string> names;
        if (api == RtMidi::LINUX_ALSA) {
            if (!alsa_) {
                alsa_ = make_client(api);
            }
            if (!alsa_) {
                continue;
            }
            try {
                const unsigned count = alsa_->out->getPortCount();
                for (unsigned i = 0; i < count; ++i) {
                    names.push_back(alsa_->out->getPortName(i));
                }
            } catch (const std::exception&) {
                continue;
            }
        } else if (api == RtMidi::UNIX_JACK) {
            auto jack = jack_midi_input_ports(options_.client_name + "-ports");
            if (!jack) {
                continue;
            }
            names = std::move(*jack);
        } else {
            continue;
        }
        auto ports = offered_ports(api, names, options_.client_name);
        // JACK lists ports in no fixed order; by name they stay put.
        if (api == RtMidi::UNIX_JACK) {
            std::stable_sort(
                ports.begin(), ports.end(),
                [](const OutputPort& a, const OutputPort& b) { return a.name < b.name; });
        }
        all.insert(all.end(), ports.begin(), ports.end());
    }
    return all;
}

int RtMidiPorts::open(const OutputPort& port) {
    close();
    if (port.api == RtMidi::LINUX_ALSA) {
        if (!alsa_) {
            alsa_ = make_client(port.api);
        }
        if (!alsa_) {
            return kNoSuchPort;
        }
        const int rc = open_on(*alsa_, port);
        out_ = rc == kOpenOk ? alsa_.get() : nullptr;
        return rc;
    }
    if (port.api != RtMidi::UNIX_JACK) {
        return kNoSuchPort;
    }
    auto c = make_client(port.api);
    if (!c) {
        return kNoSuchPort;
    }
    c->watch = JackWatch::start(options_.client_name + "-watch");
    if (!c->watch) {
        return kNoSuchPort; // no server answers
    }
    const std::size_t connected_before = c->watch->connections(port.name);
    const int rc = open_on(*c, port);
    if (rc != kOpenOk) {
        return rc;
    }
    // RtMidi has asked for the connection to `port`, but the server runs the
    // new graph only from a later cycle, and what is sent before then goes
    // nowhere: on a loaded machine the first notes played were lost.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (c->watch->connections(port.name) <= connected_before && !c->watch->server_gone() &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    jack_ = std::move(c);
    out_ = jack_.get();
    return rc;
}

int RtMidiPorts::open_on(Client& c, const OutputPort& port) {
    try {
        // The port may have moved in the list, or gone, since it was listed.
        const unsigned count = c.out->getPortCount();
        for (unsigned i = 0; i < count; ++i) {
            if (c.out->getPortName(i) != port.name) {
                continue;
            }
            c.last_error.clear();
            c.out->openPort(i, "out");
            return c.out->isPortOpen() ? kOpenOk : kOpenFailed;
        }
    } catch (const std::exception&) {
        return kOpenFailed;
    }
    return kNoSuchPort;
}

void RtMidiPorts::send(std::uint32_t message) {
    if (out_ == nullptr) {
        return;
    }
    const ShortMessage m = unpack_short_message(message);
    if (!is_channel_status(m.status)) {
        return; // only channel messages travel this way
    }
    const std::size_t length = 1 + static_cast<std::size_t>(data_byte_count(m.status));
    if (out_->watch) {
        // RtMidi stores each message behind its length, an int.
        if (out_->watch->server_gone() ||
            !out_->budget.take(out_->watch->cycles(), sizeof(int) + length)) {
            return;
        }
    }
    const unsigned char bytes[3] = {m.status, data_value(m.data1), data_value(m.data2)};
    try {
        out_->out->sendMessage(bytes, length);
    } catch (const std::exception&) {
        // A port that has gone takes the message nowhere.
    }
}

void RtMidiPorts::close() {
    if (out_ == nullptr) {
        return;
    }
    Client* c = out_;
    out_ = nullptr;
    if (c == jack_.get()) {
        // RtMidi's close waits for one process cycle at most, which a loaded
        // machine can miss: wait until the server has taken everything sent,
        // the all-notes-off before closing among it, so no note hangs. A
        // server that only stalled for a while drains within this wait.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
        while (!c->budget.drained(c->watch->cycles()) && !c->watch->server_gone() &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        if (c->watch->server_gone() || !c->budget.drained(c->watch->cycles())) {
            // Its server has gone, or still takes nothing: closing would wait
            // for it in vain, and libjack frees a dead server's clients
            // itself, so touching this one again could crash. Let it go
            // without closing it.
            static_cast<void>(jack_.release());
            return;
        }
    }
    try {
        c->out->closePort();
    } catch (const std::exception&) {
    }
    if (c == jack_.get()) {
        jack_.reset();
    }
}

} // namespace varkelon
