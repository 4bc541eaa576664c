#include "decode/lz_decoder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <type_traits>

#include "decode/crc16.h"
#include "decode/match_copy.h"
#include "decode/dynamic_huffman.h"
#include "decode/larc.h"
#include "decode/lh3.h"
#include "decode/static_huffman.h"

namespace {

// The format's window is a ring of 2^bits bytes that starts filled with spaces and is
// written out whenever it is full. Here the window is the last 2^bits bytes before the write
// position in a linear buffer: history, then a block of new output, then slack. Matches then
// copy without wrapping, several bytes at a time, and each block is flushed (CRC and write)
// in one piece before the history slides back to the front. The bytes produced are the same;
// only the size of the writes differs.
class OutputWindow {
 public:
#ifdef FUZZING_BUILD_MODE_UNSAFE_FOR_PRODUCTION
  // Fuzzing: a small block, so that short inputs already reach the slide of the history and
  // each input allocates little (the sanitizer's allocator maps large blocks afresh).
  static constexpr size_t kBlockBytes = 16 * 1024;
#else
  // Output block between slides: large enough that sliding the history (up to 64 KiB) is
  // cheap, small enough to stay in the L2 cache until the CRC has read it.
  static constexpr size_t kBlockBytes = 256 * 1024;
#endif
  // Beyond the block end: the longest match (287) plus the overrun of 8-byte copies.
  static constexpr size_t kSlackBytes = 512;

  // Only the history starts with known bytes: block and slack are written before they are
  // read, so they are left as allocated.
  OutputWindow(unsigned dictionaryBits, DecodeSink& sink)
      : windowBytes_(size_t{1} << dictionaryBits),
        buffer_(new uint8_t[windowBytes_ + kBlockBytes + kSlackBytes]),
        sink_(sink) {
    std::memset(buffer_.get(), 0x20, windowBytes_);
    cursor_ = buffer_.get() + windowBytes_;
    flushed_ = cursor_;
  }

  uint8_t* history() { return buffer_.get(); }
  uint8_t* cursor() const { return cursor_; }
  void setCursor(uint8_t* p) { cursor_ = p; }
  // Items may start while the cursor is below this; the slack holds the last one.
  uint8_t* blockEnd() { return buffer_.get() + windowBytes_ + kBlockBytes; }
  uint16_t crc() const { return crc_; }

  // CRC and write everything after the last flush; then, when the block is full, move the
  // history to the front.
  bool flush() {
    const size_t n = static_cast<size_t>(cursor_ - flushed_);
    if (n != 0) {
      crc_ = crc16Update(crc_, flushed_, n);
      if (!sink_.write(flushed_, n)) return false;
    }
    flushed_ = cursor_;
    if (cursor_ >= blockEnd()) {
      std::memmove(buffer_.get(), cursor_ - windowBytes_, windowBytes_);
      cursor_ = buffer_.get() + windowBytes_;
      flushed_ = cursor_;
    }
    return true;
  }

 private:
  size_t windowBytes_;
  std::unique_ptr<uint8_t[]> buffer_;
  DecodeSink& sink_;
  uint8_t* cursor_;
  uint8_t* flushed_;
  uint16_t crc_ = 0;
};

template <class Codec>
DecodeResult decodeWith(Codec& codec, PackedInput& input, OutputWindow& window, unsigned dictionaryBits,
                        uint64_t originalSize, DecodeSink& sink) {
  static_assert(Codec::kMaxMatch + 8 <= OutputWindow::kSlackBytes);
  DecodeResult result;
  BitInput in(input);
  const uint32_t distanceMask = (1u << dictionaryBits) - 1;
  uint64_t produced = 0;
  while (produced < originalSize) {
    uint8_t* out = window.cursor();
    uint8_t* const blockStart = out;
    // Stop at the end of the block or of the member, whichever comes first.
    const uint64_t room = std::min<uint64_t>(window.blockEnd() - out, originalSize - produced);
    uint8_t* const stop = out + room;
    // The decoded count (bytes before the current item) is what -lh2- grows its position
    // tree by and what the LArc methods turn positions into distances with.
    const uint32_t countBase = static_cast<uint32_t>(produced) - static_cast<uint32_t>(out - window.history());
    while (out < stop) {
      // The packed data ran out (or the archive ended inside it): stop before inventing
      // more output from 0 bits.
      if (in.failed()) [[unlikely]] {
        result.status = DecodeStatus::damaged;
        return result;
      }
      // -lh4- to -lh7- run their hot loop with the bit state in registers; the item-by-item
      // path below reads their block headers and the last bytes of the packed data.
      if constexpr (std::is_same_v<Codec, StaticHuffmanCodec>) {
        bool damaged = false;
        out = codec.decodeFast(in, out, stop, distanceMask, damaged);
        if (damaged) {
          result.status = DecodeStatus::damaged;
          return result;
        }
        if (out >= stop) break;
      }
      const uint32_t symbol = codec.nextSymbol(in);
      if (symbol < 256) {
        *out++ = static_cast<uint8_t>(symbol);
        continue;
      }
      if (symbol == kDamagedValue) [[unlikely]] {
        result.status = DecodeStatus::damaged;
        return result;
      }
      const uint32_t length = symbol - Codec::kLengthBias;
      const uint32_t position =
          codec.nextPosition(in, countBase + static_cast<uint32_t>(out - window.history()));
      if (position == kDamagedValue) [[unlikely]] {
        result.status = DecodeStatus::damaged;
        return result;
      }
      // Positions are taken modulo the window size (a -lh4- position can name up to 8191).
      copyMatch(out, (position & distanceMask) + 1, length);
      out += length;
    }
    produced += static_cast<uint64_t>(out - blockStart);
    if (produced > originalSize) {
      // The last match runs past the member's size: no valid stream does that.
      result.status = DecodeStatus::damaged;
      return result;
    }
    window.setCursor(out);
    // An abort leaves what the window holds unwritten.
    if (!sink.keepGoing(produced)) {
      result.status = DecodeStatus::aborted;
      result.crc = window.crc();
      return result;
    }
    if (!window.flush()) {
      result.status = DecodeStatus::writeFailed;
      result.systemError = sink.systemError();
      result.crc = window.crc();
      return result;
    }
  }
  // The member was decoded from bytes that the archive did not hold in full, or its last
  // items read further past the packed data than a valid stream's look-ahead does.
  if (in.failed() || in.consumedPastSlack()) result.status = DecodeStatus::damaged;
  result.crc = window.crc();
  return result;
}

template <class Codec, class... Args>
DecodeResult run(unsigned dictionaryBits, PackedInput& input, uint64_t originalSize, DecodeSink& sink,
                 Args... args) {
  // Default-initialised: every codec builds its tables before it reads them, so clearing
  // tens of KiB for each member would be wasted.
  std::unique_ptr<Codec> codec;
  if constexpr (sizeof...(Args) == 0) {
    codec = std::make_unique_for_overwrite<Codec>();
  } else {
    codec = std::make_unique<Codec>(args...);
  }
  OutputWindow window(dictionaryBits, sink);
  if constexpr (std::is_same_v<Codec, Lz5Codec>) Lz5Codec::fillInitialWindow(window.history());
  return decodeWith(*codec, input, window, dictionaryBits, originalSize, sink);
}

}  // namespace

DecodeResult decodeMethod(int methodNumber, PackedInput& input, uint64_t originalSize, DecodeSink& sink) {
  const unsigned bits = dictionaryBitsOf(methodNumber);
  switch (methodNumber) {
    case METHOD_LH1:
      return run<Lh1Codec>(bits, input, originalSize, sink);
    case METHOD_LH2:
      return run<Lh2Codec>(bits, input, originalSize, sink);
    case METHOD_LH3:
      return run<Lh3Codec>(bits, input, originalSize, sink);
    case METHOD_LH4:
    case METHOD_LH5:
    case METHOD_LH6:
    case METHOD_LH7:
      return run<StaticHuffmanCodec>(bits, input, originalSize, sink, bits);
    case METHOD_LZS:
      return run<LzsCodec>(bits, input, originalSize, sink);
    case METHOD_LZ5:
      return run<Lz5Codec>(bits, input, originalSize, sink);
    default:
      return damagedResult();
  }
}
