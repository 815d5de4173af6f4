// SPDX-License-Identifier: GPL-3.0-or-later
// varkelon-sim's script reader on any text: the whole simulator runs it. It
// must not crash, must end with status 0 or 2, and everything it prints as
// sent must be a valid short message.
//
// Scripts that ask for more than 10,000 ticks or milliseconds in one line are
// skipped: running them takes long by design, which is no fault of the reader.

#include "script.h"
#include "support/midi_stream_checker.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

namespace {

using namespace varkelon;

bool asks_for_long_run(const std::string& script) {
    std::istringstream in(script);
    std::string line;
    while (std::getline(in, line)) {
        std::vector<sim::Token> tokens;
        std::string error;
        if (!sim::tokenize(line, tokens, error) || tokens.empty()) {
            continue;
        }
        if (tokens[0].text != "tick" && tokens[0].text != "wait") {
            continue;
        }
        for (const auto& t : tokens) {
            const auto digits = t.text.find_first_of("0123456789");
            if (digits != std::string::npos && t.text.size() - digits > 4) {
                return true;
            }
        }
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string script(reinterpret_cast<const char*>(data), size);
    if (asks_for_long_run(script)) {
        return -1; // not worth keeping in the corpus
    }
    sim::Options options;
    options.data = VARKELON_DATA_FILE;
    options.devices = {"A", "B"};
    std::ostringstream out;
    std::ostringstream err;
    std::istringstream in(script);
    int rc = 0;
    {
        sim::Simulator simulator(options, out, ".");
        rc = simulator.run(in, err);
    }
    if (rc != 0 && rc != 2) {
        std::abort();
    }
    test_support::MidiStreamChecker checker;
    std::istringstream printed(out.str());
    std::string line;
    while (std::getline(printed, line)) {
        if (line.rfind("midi 0x", 0) == 0) {
            checker.send(static_cast<std::uint32_t>(std::stoul(line.substr(7), nullptr, 16)));
        }
    }
    if (!checker.faults().empty()) {
        std::fputs(checker.report().c_str(), stderr);
        std::abort();
    }
    return 0;
}
