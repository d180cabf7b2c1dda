// Printable names of the system a member was compressed on, from its two-byte origin pair.
#pragma once
#include <cstdint>

#include "support/message_catalog.h"

extern const MapEntry BsHerstellerMap[];
extern const MapEntry HerstellerMap[];

// The name for the origin pair (code = second byte << 8 | first byte): the system row of the
// code, else the maker of its low byte, else the code as "%04x".
const char* GetBetriebsSystem(const std::uint8_t* originPair);
// The maker of the code's low byte, else the whole code as "%04x" in a static buffer that the
// next unmatched call overwrites.
const char* GetHersteller(std::uint32_t originCode);
