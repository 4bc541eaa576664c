// The member encoder of the static-Huffman methods, below the public encodeStaticHuffman.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "pack/block_writer.h"
#include "pack/pack.h"

namespace lzhpack {

// Window, position alphabet and count field of a method (lh5, lh6 or lh7).
MethodShape methodShape(PackMethod method);

// A member is packed in segments of this many input bytes, each on its own (so segments can
// be packed in parallel), with the previous segment's last window of bytes as match history.
// Parser state, statistics and blocks start afresh in every segment; the segments' bit
// streams are joined into one. The cuts depend only on the input, so the packed bytes are
// the same however many threads pack them. On the 80 MB benchmark (-lh7-, normal) the cuts
// cost 502 bytes of 21.5 MB.
inline constexpr uint32_t kSegmentBytes = 4u << 20;

// Whole blocks, not padded: bitCount may end inside the last byte.
struct PackedBits {
  std::vector<uint8_t> bytes;
  uint64_t bitCount = 0;
};

// Packs data[history, size) into blocks; data[0, history) only serves as match history.
// The result replaces out's content (its buffer is reused). When trace is given, records
// the codes of every block in stream order.
void encodeSegment(const MethodShape& shape, PackLevel level, const uint8_t* data, size_t history, size_t size,
                   PackedBits& out, std::vector<BlockRecord>* trace = nullptr);

// Packs a whole member held in memory, segment after segment, as one stream.
std::vector<uint8_t> encodeMember(const MethodShape& shape, PackLevel level, const uint8_t* data, size_t size,
                                  std::vector<BlockRecord>* trace = nullptr);

}  // namespace lzhpack
