// Wiping of key material: every key area, schedule and pad is cleared with explicit_bzero
// before its memory is released or its call ends.
#pragma once
#include <cstddef>

namespace torq::crypt {

// Clears n bytes so that the compiler cannot drop the stores.
void WipeSecret(void* p, std::size_t n);

// Test seam: called after every wipe with the wiped bytes, while they are still valid.
using WipeProbe = void (*)(const void* p, std::size_t n);
WipeProbe SetWipeProbe(WipeProbe probe);

// Wipes an object when the guard leaves scope.
class WipeGuard {
 public:
  WipeGuard(void* p, std::size_t n) : p_(p), n_(n) {}
  WipeGuard(const WipeGuard&) = delete;
  WipeGuard& operator=(const WipeGuard&) = delete;
  ~WipeGuard() { WipeSecret(p_, n_); }

 private:
  void* p_;
  std::size_t n_;
};

}  // namespace torq::crypt
