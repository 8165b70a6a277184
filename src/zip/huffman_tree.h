// Huffman tree construction for the block coder: a heap ordered by frequency
// and depth, length limiting, and canonical code assignment.
#pragma once

#include "zip/deflate_state.h"

/* Reverses the low length bits of code (length 1..15). */
std::uint32_t ct_bit_reverse(std::uint32_t code, int length);

/* Builds the code lengths of desc's tree from its frequencies: sets
   desc.max_code, the code length of every symbol up to it and desc.next_code,
   and adds the tree's cost to the state's optimal (and, with a fixed
   counterpart, fixed) length; checks that the lengths form a complete code
   ("inconsistent bit counts"). A tree with fewer than two used symbols gets
   two codes of length 1. The nodes are paired from a heap in which node a is
   smaller than node b when its frequency is lower, or equal with a depth not
   above b's; of two smaller children the right one is taken when it is
   smaller. The frequencies stay until the codes are given (ct_assign_codes,
   or ct_count_runs for the literal and distance trees). */
void ct_build_lengths(DeflateState& s, CtTreeDesc& desc);

/* Replaces the frequency of every symbol 0..max_code of desc's tree that has
   a length with its canonical code, bit-reversed, from the first codes that
   ct_build_lengths left in desc.next_code (used up by this call). */
void ct_assign_codes(CtTreeDesc& desc);

/* ct_build_lengths, then ct_assign_codes. */
void ct_build(DeflateState& s, CtTreeDesc& desc);

/* Assigns lengths from the sorted area of the last build, limits them to
   desc.max_length (moving codes between lengths and correcting the optimal
   length), counts codes per length and adds the optimal and fixed lengths. */
void ct_limit_lengths(DeflateState& s, CtTreeDesc& desc);

/* Gives every symbol 0..max_code of tree with a non-zero length its canonical
   code, bit-reversed, from the state's codes-per-length counts. Checks that
   the lengths form a complete code ("inconsistent bit counts"). */
void gen_codes(DeflateState& s, CtNode* tree, int max_code);
