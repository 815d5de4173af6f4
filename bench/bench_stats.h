// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Small helpers the in-program benchmarks share.

#include "midi/midi_port.h"

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace varkelon::bench {

// The p-quantile (0..1] of `v` by the nearest-rank rule; NaN for none.
inline double percentile(std::vector<double> v, double p) {
    if (v.empty()) {
        return NAN;
    }
    std::sort(v.begin(), v.end());
    const auto at = static_cast<std::size_t>(std::ceil(p * static_cast<double>(v.size())) - 1);
    return v[std::min(at, v.size() - 1)];
}

// CPU time of this process so far (all threads, user and system), in ms.
inline double cpu_ms() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    const auto ms = [](const timeval& t) {
        return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_usec) / 1000.0;
    };
    return ms(use.ru_utime) + ms(use.ru_stime);
}

// A MIDI output that passes every call on to `inner`; a benchmark's probe
// overrides what it watches (send, mostly) and calls inner() from there.
class WrappedMidi : public MidiSystem {
public:
    explicit WrappedMidi(std::unique_ptr<MidiSystem> inner) : inner_(std::move(inner)) {}
    std::vector<std::string> output_names() override { return inner_->output_names(); }
    int open(int id) override { return inner_->open(id); }
    void send(std::uint32_t message) override { inner_->send(message); }
    void close() override { inner_->close(); }
    void set_message_time(MidiClock::time_point at) override { inner_->set_message_time(at); }
    MidiSystem& inner() { return *inner_; }

private:
    std::unique_ptr<MidiSystem> inner_;
};

} // namespace varkelon::bench
