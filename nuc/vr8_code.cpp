// Placeholder until the VR8 bit code lands: the tables stay zero and every chunk is refused.
#include "nuc/vr8.h"

void Vr8FillDecodeTables(std::uint8_t*, std::uint8_t) {}
void Vr8FillEncodeTables(std::uint8_t*, std::uint8_t) {}

void rlcvr8(std::uint8_t*, std::int32_t, const std::uint8_t*, std::uint8_t*,
            std::uint16_t& outLength) {
  outLength = 0;
}

void rldvr8(const std::uint8_t*, std::uint16_t, std::uint32_t, std::uint32_t,
            const std::uint8_t*, std::uint8_t*, std::uint32_t, std::int32_t& rc,
            std::uint16_t&) {
  rc = 60;
}
