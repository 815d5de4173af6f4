#include "test_support.h"

#include <fstream>
#include <iterator>

namespace varkelon::test {

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
