// Names as messages and listings show them. A name stored in a container (or found in the file
// system) may hold control bytes; written raw they would move the cursor or send commands to
// the terminal. They are shown as \xNN instead; the name itself is used unchanged elsewhere.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// Bytes below 0x20, 0x7F, C1 controls (raw or UTF-8 coded) and bytes that are not part of a
// well-formed UTF-8 sequence become \xNN; everything else is kept.
std::string ShownName(std::string_view name);
// The same for a name slot (length byte, text, NUL).
std::string ShownSlot(const std::uint8_t* slot);
