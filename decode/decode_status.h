// Values shared by the codecs for "this cannot be valid packed data".
#pragma once

#include <cstdint>

// Returned by a codec's symbol or position decoder instead of a value when the packed data
// is damaged; the decode loop then fails the member. No real symbol or position reaches it.
inline constexpr uint32_t kDamagedValue = 0xFFFFFFFFu;
