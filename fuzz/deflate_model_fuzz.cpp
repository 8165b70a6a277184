// libFuzzer target: the compressor's blocks, symbols and code lengths against
// the plain model of its decisions that the model tests use, at the level and
// read size the input's control byte picks. A faster road that changes one
// decision is a finding.
#include "deflate_fuzz_input.h"
#include "deflate_model.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const DeflateFuzzInput input = DecodeDeflateFuzzInput(data, size);
    const std::string mismatch = ModelMismatch(input.data, input.level, input.chunk);
    if (!mismatch.empty()) {
        std::fprintf(stderr, "the compressor and its model differ: %s\n", mismatch.c_str());
        std::abort();
    }
    return 0;
}
