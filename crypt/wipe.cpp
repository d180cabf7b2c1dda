#include "crypt/wipe.h"

#include <string.h>

namespace torq::crypt {

namespace {
WipeProbe gProbe = nullptr;
}

void WipeSecret(void* p, std::size_t n) {
  if (p == nullptr || n == 0) return;
  explicit_bzero(p, n);
  if (gProbe != nullptr) gProbe(p, n);
}

WipeProbe SetWipeProbe(WipeProbe probe) {
  WipeProbe old = gProbe;
  gProbe = probe;
  return old;
}

}  // namespace torq::crypt
