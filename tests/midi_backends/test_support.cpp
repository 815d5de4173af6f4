// SPDX-License-Identifier: GPL-3.0-or-later
#include "test_support.h"

#include "adapters/disk_style_file.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace varkelon::test {

namespace {

// As the program entry does before any thread starts: no JACK client here may
// start a server of its own (FluidSynth's audio driver would try), which
// stalls for seconds on a machine without one.
class NoJackServerStart : public testing::Environment {
public:
    void SetUp() override { setenv("JACK_NO_START_SERVER", "1", 0); }
};

const testing::Environment* const kNoJackServerStart =
    testing::AddGlobalTestEnvironment(new NoJackServerStart);

} // namespace

MemoryStyleFile style_data_file() {
    return MemoryStyleFile(DiskStyleFile{VARKELON_DATA_FILE}.read());
}

} // namespace varkelon::test
