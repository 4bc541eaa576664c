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

// Packs data; when trace is given, records the codes of every block in stream order.
std::vector<uint8_t> encodeMember(const MethodShape& shape, PackLevel level, const uint8_t* data, size_t size,
                                  std::vector<BlockRecord>* trace = nullptr);

}  // namespace lzhpack
