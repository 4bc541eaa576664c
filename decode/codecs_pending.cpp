// Stand-in for the decoders of methods 1 to 9 until they are part of the build: such a
// member fails with its own status, so no wrong bytes are ever written for it.
#include "decode/frame_internal.h"

DecodeResult decodeCompressed(const CompressedMemberJob& /*job*/) {
  DecodeResult result;
  result.status = DecodeStatus::methodNotBuilt;
  return result;
}
