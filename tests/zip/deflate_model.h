// A plain model of the compressor's decisions: a match finder with one chain
// link per position (indexed modulo 32,768) and byte-by-byte comparison, the
// block-end rules of the symbol tally, and the block coder's trees and choice
// of stored, fixed or dynamic coding. The product takes faster roads (keyed
// chains, sixteen-byte compares, a wide bit buffer); its blocks, symbols and
// code lengths must be the model's. The model tests and the differential
// fuzz target both compare with it.
#pragma once

#include "deflate_test_support.h"

#include <cstdint>
#include <string>
#include <vector>

/* Compresses input with the product at level, reading at most chunk bytes at
   a time (0: as many as asked for), and compares its blocks with the
   model's: the same boundaries and block types, the same symbols in every
   coded block and the same code lengths in every dynamic one. The entry's
   result must be sound too: no check message (for levels outside 1..8 exactly
   "bad pack level"), no lost output, the returned size equal to the bytes
   written and the level's flags. Returns "" when all agree, else where they
   first differ. */
std::string ModelMismatch(const Bytes& input, int level, std::uint32_t chunk = 0);

// A Huffman tree built as the block coder builds it: a heap ordered by
// frequency then depth, lengths limited by moving codes, and the optimal and
// fixed sizes summed over the used symbols.
struct ModelTree {
    std::vector<std::uint32_t> lengths; // per symbol
    int max_code = -1;
};

/* Builds the tree of the frequencies freq (lengths limited to limit) as the
   block coder does, and adds its optimal size (and, with fixed lengths, its
   fixed size) in bits to opt and fixed_len; extra holds the extra bits of the
   symbols from extra_base on. */
ModelTree BuildTree(std::vector<std::uint32_t> freq, int limit, const std::uint8_t* extra,
                    int extra_base, const std::vector<std::uint32_t>* fixed, std::uint32_t& opt,
                    std::uint32_t& fixed_len);

/* Extra bits of the 29 length codes. */
extern const std::uint8_t kLengthExtra[29];
