// SPDX-License-Identifier: GPL-3.0-or-later
// varkelon-sim: runs the whole system headless from a script on standard
// input and prints what it does. See README.md for the commands.

#include "adapters/disk_style_file.h"
#include "script.h"

#include <cstring>
#include <iostream>
#include <string>

namespace {

int usage() {
    std::cerr << "usage: varkelon-sim [--data FILE] [--settings FILE] [--devices \"A;B\"] "
                 "[--open-fail RC] [--smf FILE] < script\n";
    return 2;
}

std::vector<std::string> split_devices(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size() && !list.empty()) {
        const auto end = list.find(';', start);
        names.push_back(
            list.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return names;
}

} // namespace

int main(int argc, char** argv) {
    varkelon::sim::Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) {
            return usage();
        }
        const std::string value = argv[++i];
        if (arg == "--data") {
            options.data = value;
        } else if (arg == "--settings") {
            options.settings = value;
        } else if (arg == "--devices") {
            options.devices = split_devices(value);
        } else if (arg == "--open-fail") {
            try {
                options.open_fail = std::stoi(value);
            } catch (const std::exception&) {
                return usage();
            }
        } else if (arg == "--smf") {
            options.smf = value;
        } else {
            return usage();
        }
    }
    std::ios::sync_with_stdio(false);
    varkelon::sim::Simulator sim(options, std::cout, varkelon::executable_dir());
    const int rc = sim.run(std::cin, std::cerr);
    std::cout.flush();
    return rc;
}
