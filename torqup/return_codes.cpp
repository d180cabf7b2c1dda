#include "torqup/return_codes.h"

#include "support/build_stamp.h"

TORQ_BUILD_STAMP("TorqReturnCodes")

std::int32_t file_id(std::int32_t* code) {
  const std::uint32_t value = static_cast<std::uint32_t>(*code);
  auto strip = [&](std::uint32_t mask) { *code = static_cast<std::int32_t>(value & mask); };
  if (value >= 0xA0000001u && value <= 0xAFFFFFFEu) return 1113;
  if (value >= 0xE0000001u && value <= 0xEFFFFFFFu) {
    strip(0x1FFFFFFFu);
    return 1112;
  }
  if (value >= 0xF0000001u && value <= 0xFFFFFFFEu) {
    strip(0x0FFFFFFFu);
    return 1110;
  }
  if (value >= 0xC0000001u && value <= 0xCFFFFFFFu) {
    strip(0x3FFFFFFFu);
    return 1114;
  }
  if (value >= 0xD0000001u && value <= 0xDFFFFFFFu) {
    strip(0x2FFFFFFFu);
    return 1115;
  }
  if (value >= 0x80000001u && value <= 0x8FFFFFFFu) {
    strip(0x7FFFFFFFu);
    return 1270;
  }
  return 0;
}

int ExitStatusOf(std::int32_t rc) {
  const int low = static_cast<int>(static_cast<std::uint32_t>(rc) & 0xFF);
  return rc != 0 && low == 0 ? 255 : low;
}
