#include "crypt/password_setup.h"

#include "crypt/wipe.h"
#include "support/heap.h"

namespace {

constexpr int kPasswordWrong = 29;

void FreeState(PwdCipherState** state) {
  if (*state == nullptr) return;
  torq::crypt::WipeSecret(*state, sizeof **state);
  rmHeapFree0(state);
}

}  // namespace

int CryptSetPassword(int cryptMode, bool reading, std::uint32_t member, const std::uint8_t* password,
                     std::int32_t length, PwdCipherState** state, AesKeyArea* keys) {
  const std::int32_t most = cryptMode == kCryptAes ? static_cast<std::int32_t>(kAesMaxPassword) : kTorqencMaxPassword;
  if (length < 0 || length > most || (length > 0 && password == nullptr)) return kPasswordWrong;
  // Key material of an earlier set-up goes first, whichever cipher it was for.
  FreeState(state);
  if (cryptMode == kCryptAes) {
    faesi(keys, password, static_cast<std::uint32_t>(length));
    if (reading) faesm(keys, member);
    return 0;
  }
  torq::crypt::WipeSecret(keys, sizeof *keys);
  auto* fresh = static_cast<PwdCipherState*>(rmHeapAlloc(sizeof(PwdCipherState)));
  if (fresh == nullptr) return -1;
  trqpwdi(password, &length, fresh);
  *state = fresh;
  return 0;
}

void CryptRelease(PwdCipherState** state, AesKeyArea* keys) {
  FreeState(state);
  if (keys != nullptr) torq::crypt::WipeSecret(keys, sizeof *keys);
}
