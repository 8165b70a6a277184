#include "zip/deflate.h"

#include "zip/block_coder.h"
#include "zip/cpu_ops.h"
#include "zip/deflate_state.h"
#include "zip/match_finder.h"

#include <memory>
#include <new>

namespace {
// The state (about 810 KiB) is kept for the thread's next entry: making and
// clearing it per entry would cost a small file more than compressing it.
// An entry takes it out while it runs, so a nested entry makes its own.
thread_local std::unique_ptr<DeflateState> t_spare_state;
} // namespace

GW_ALIGN_STACK DeflateResult DeflateEntry(DeflateRead read, void* read_context, DeflateSink& sink,
                                          int level, std::uint16_t& flags) {
    DeflateResult result;
    std::unique_ptr<DeflateState> state = std::move(t_spare_state);
    if (!state) {
        state.reset(new (std::nothrow) DeflateState());
        if (!state) {
            result.check_message = "out of memory for the compressor state";
            return result;
        }
    }
    DeflateState& s = *state;
    static_cast<DeflateEntryState&>(s) = DeflateEntryState{};
    s.sink = &sink;
    ct_init(s);
    lz_start(s, level, flags, read, read_context);
    result.compressed_size = lz_run(s);
    result.check_message = s.check_message;
    // In stream mode every byte should have left through the sink's write by
    // now; bytes still pending mean the last flushes failed.
    result.output_lost = s.output_lost || (sink.stream && sink.fill != 0);
    lz_finish(s);
    t_spare_state = std::move(state);
    return result;
}
