// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Reading the system's font configuration is the largest single step of the
// start: Qt does it when the first widget needs a font, and fontconfig parses
// some tens of files for it. FontConfigWarmup does it on a thread of its own
// from the top of main, while the application and the MIDI outputs start;
// join() before the first widget is made, so that Qt finds it done instead
// of reading it a second time beside the thread.

#include <thread>

namespace varkelon {

class FontConfigWarmup {
public:
    FontConfigWarmup();
    ~FontConfigWarmup();
    FontConfigWarmup(const FontConfigWarmup&) = delete;
    FontConfigWarmup& operator=(const FontConfigWarmup&) = delete;

    void join();

private:
    std::thread thread_;
};

} // namespace varkelon
