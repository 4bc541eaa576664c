#include "decode/method_list.h"

#include <cstring>

int findMethodNumber(const uint8_t id[5]) {
  for (int number = 0; number < METHOD_COUNT; ++number) {
    if (std::memcmp(id, METHODS[number].id, 5) == 0) return number;
  }
  return -1;
}
