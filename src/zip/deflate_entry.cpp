#include "zip/deflate.h"

#include "zip/block_coder.h"
#include "zip/deflate_state.h"
#include "zip/match_finder.h"

#include <memory>
#include <new>

DeflateResult DeflateEntry(DeflateRead read, void* read_context, DeflateSink& sink, int level,
                           std::uint16_t& flags) {
    DeflateResult result;
    // The state is large (about 750 KiB); it lives on the heap for one entry.
    std::unique_ptr<DeflateState> state(new (std::nothrow) DeflateState);
    if (!state) {
        result.check_message = "out of memory for the compressor state";
        return result;
    }
    DeflateState& s = *state;
    s.sink = &sink;
    ct_init(s);
    lz_start(s, level, flags, read, read_context);
    result.compressed_size = lz_run(s);
    result.check_message = s.check_message;
    // In stream mode every byte should have left through the sink's write by
    // now; bytes still pending mean the last flushes failed.
    result.output_lost = s.output_lost || (sink.stream && sink.fill != 0);
    return result;
}
