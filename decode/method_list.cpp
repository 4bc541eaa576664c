#include "decode/method_list.h"

#include <cstring>

int findMethodNumber(const uint8_t id[5]) {
  if (id[0] != '-' || id[4] != '-') return -1;
  for (int number = 0; number < METHOD_COUNT; ++number) {
    if (std::memcmp(id + 1, METHODS[number].letters, 3) == 0) return number;
  }
  return -1;
}
