// Kernel contexts of every method and character code, opened once per fuzz process.
#pragma once
#include <cstdint>
#include <cstdlib>

#include "nuc/kernel.h"

struct NucFuzzContexts {
  NucContext* slot[3][2] = {};  // [compression mode][character code]
  explicit NucFuzzContexts(std::int32_t direction) {
    for (std::int32_t mode = 0; mode < 3; ++mode)
      for (std::int32_t code = 0; code < 2; ++code) {
        std::int32_t rc = 0;
        nucopn(slot[mode][code], rc, direction, mode, code, 0);
        if (rc != 0) std::abort();
      }
  }
};
