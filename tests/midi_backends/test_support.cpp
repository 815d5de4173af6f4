#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

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
    std::ifstream in(VARKELON_TEST_DATA_FILE, std::ios::binary);
    StyleFileSource::Result result;
    if (in) {
        result.status = StyleFileSource::Status::Ok;
        result.bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return MemoryStyleFile(result);
}

} // namespace varkelon::test
