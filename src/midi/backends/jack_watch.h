// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Guards sends to a JACK port through RtMidi. RtMidi 5 passes each message
// to its JACK process callback through a 16 KiB ring buffer, and when that is
// full, sendMessage spins until there is room. If the JACK server dies or
// stalls, nothing empties the buffer and the GUI thread would spin forever.
// A client of our own (no ports) counts the server's process cycles: what
// was written more than two cycles ago has been taken out, so the bytes
// written since then bound what the buffer holds, and a send that would
// pass a safe budget is dropped instead.

#include <jack/jack.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace varkelon {

// Bytes written to a ring buffer that a consumer empties once a cycle, by
// the cycle in which they were written.
class CycleBudget {
public:
    // Well under RtMidi's 16 KiB, even counting a cycle we did not see.
    static constexpr std::size_t kBudgetBytes = std::size_t{6} * 1024;

    // True, and counts the bytes, when writing them now keeps within the
    // budget; `cycle` is the consumer's cycle count as seen now.
    bool take(std::uint64_t cycle, std::size_t bytes);

    // True when everything written has been taken out by the consumer.
    bool drained(std::uint64_t cycle) const {
        return by_cycle_.empty() || by_cycle_.back().first + 3 <= cycle;
    }

private:
    std::deque<std::pair<std::uint64_t, std::size_t>> by_cycle_;
    std::size_t pending_ = 0;
};

// The full names of the JACK MIDI ports a client can send to, as RtMidi's
// JACK output lists them (its getPortName), asked through a client that is
// never activated: RtMidi's own would join the server's graph just to be
// asked, and leave it again, which costs the start-up tens of milliseconds.
// `client_name` must differ from the program's other clients', which would
// otherwise take a suffix while this one exists. Nothing when no JACK
// server answers.
std::optional<std::vector<std::string>> jack_midi_input_ports(const std::string& client_name);

class JackWatch {
public:
    // Null when no JACK server answers.
    static std::unique_ptr<JackWatch> start(const std::string& client_name);
    ~JackWatch();
    JackWatch(const JackWatch&) = delete;
    JackWatch& operator=(const JackWatch&) = delete;

    std::uint64_t cycles() const { return cycles_.load(std::memory_order_acquire); }
    // The server has shut down or thrown this client out.
    bool server_gone() const { return gone_.load(std::memory_order_acquire); }
    // How many connections the port named `port` has in the graph the server
    // runs now (a new connection counts only once its cycles use it); 0 when
    // there is no such port.
    std::size_t connections(const std::string& port) const;

private:
    JackWatch() = default;
    static int on_process(jack_nframes_t frames, void* self);
    static void on_shutdown(void* self);

    jack_client_t* client_ = nullptr;
    std::atomic<std::uint64_t> cycles_{0};
    std::atomic<bool> gone_{false};
};

} // namespace varkelon
