// Value parsers of the parameter language. Every length is checked against the room of the
// field written; nothing is read past the token or the text being parsed.
#include "torqup/value_parsers.h"

#include "support/build_stamp.h"

#include <algorithm>
#include <cstring>

#include "support/code_tables.h"
#include "support/environment.h"
#include "support/heap.h"

TORQ_BUILD_STAMP("TorqValues")

namespace {

constexpr std::uint32_t kInvalidCount = 0xFF000000u;
constexpr std::int32_t kMaxName = 255;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// An output-name pattern may not hold a comma, so "|" stands for it there.
void PatternCommas(std::uint8_t* text, std::size_t n) {
  if (n == 0 || text[0] != '[') return;
  for (std::size_t i = 0; i < n; ++i)
    if (text[i] == '|') text[i] = ',';
}

// Length byte, text, NUL at `out`.
void StoreName(std::uint8_t* out, const char* text, std::size_t n) {
  out[0] = static_cast<std::uint8_t>(n);
  std::memcpy(out + 1, text, n);
  out[1 + n] = 0;
  PatternCommas(out + 1, n);
}

std::int32_t RefuseList(RunContext& ctx) {
  rmHeapFree0(&ctx.nameListBuffer);
  return 82;
}

std::int32_t CharN(RunContext& ctx, std::int32_t limit) {
  const char* text = ctx.token;
  std::int32_t n = ctx.tokenLength;
  if (n > 0 && text[0] == '"') {
    ++text;
    n -= 2;
  }
  if (n < 0 || n > limit) return 255;
  if (ctx.defaultsMarker == 'd' && n == 4 && std::memcmp(text, "NONE", 4) == 0) {
    ctx.dest[0] = 0;
    ctx.dest[1] = ' ';
    return 0;
  }
  StoreName(ctx.dest, text, static_cast<std::size_t>(n));
  return 0;
}

std::int32_t StorePassword(RunContext& ctx) {
  const std::int32_t n = ctx.tokenLength;
  if (n > kRunPasswordMax) return 89;
  std::memcpy(ctx.password, ctx.token, static_cast<std::size_t>(n));
  ctx.password[n] = 0;
  ctx.passwordLength = n;
  return 0;
}

}  // namespace

std::int32_t HexToChar(const char* digits) {
  const int high = HexDigit(digits[0]);
  if (high < 0) return -1;
  const int low = HexDigit(digits[1]);
  if (low < 0) return -1;
  return high * 16 + low;
}

std::int32_t parval_fil(RunContext& ctx) {
  const std::int32_t n = ctx.tokenLength;
  if (n > kMaxName) return 82;
  ctx.nameCount = 1;
  ctx.nameListBuffer = nullptr;
  const char* text = ctx.token;
  if (ctx.defaultsMarker == 'd' && n == 4 && std::memcmp(text, "NONE", 4) == 0) {
    ctx.dest[0] = 0;
    ctx.dest[1] = ' ';
    return 0;
  }
  std::size_t len = static_cast<std::size_t>(n);
  bool list = false;
  if (len > 0 && text[0] == '(') {
    if (text[len - 1] != ')') {
      // The tokenizer stopped at the first ",": the rest of the list follows in the text.
      list = true;
      ctx.nameListBuffer = static_cast<std::uint8_t*>(rmHeapAlloc(kRunNameList));
      if (!ctx.nameListBuffer) return -1;
      ctx.dest = ctx.nameListBuffer;
    } else {
      --len;
    }
    ++text;
    --len;
    if (list && len == 0) return RefuseList(ctx);
  }
  StoreName(ctx.dest, text, len);
  if (!list) return 0;
  if (ctx.defaultsMarker == 'd') return RefuseList(ctx);

  std::size_t used = 1 + len + 1;
  char* p = ctx.parse;
  char* const end = ctx.textEnd;
  while (p < end) {
    char* start = p;
    while (p < end && *p != ',' && *p != ')') ++p;
    const std::size_t nameLen = static_cast<std::size_t>(p - start);
    // Each entry needs its length byte, text and NUL, and the list its closing zero.
    if (nameLen == 0 || nameLen > kMaxName || used + nameLen + 2 + 1 > kRunNameList) {
      ctx.parse = p;
      return RefuseList(ctx);
    }
    StoreName(ctx.nameListBuffer + used, start, nameLen);
    used += nameLen + 2;
    ++ctx.nameCount;
    if (p < end && *p == ',') {
      ++p;
      continue;
    }
    if (p < end && *p == ')') {
      ++p;
      if (p < end && *p == ',') ++p;
    }
    break;
  }
  ctx.parse = p;
  return 0;
}

std::uint32_t parval_Delim(RunContext& ctx) {
  char* text = ctx.token;
  std::int32_t n = ctx.tokenLength;
  if (n > 0 && text[0] == '"') {
    ++text;
    n -= 2;
  }
  if (n != 2 && n != 4) return kInvalidCount;
  std::uint32_t bytes[2] = {0, 0};
  for (std::int32_t i = 0; i < n / 2; ++i) {
    const std::int32_t b = HexToChar(text + 2 * i);
    if (b < 0) return kInvalidCount;
    bytes[i] = static_cast<std::uint32_t>(b);
  }
  if (n == 2) return (1u << 24) | bytes[0];
  return (2u << 24) | (bytes[1] << 8) | bytes[0];
}

std::int32_t parval_char8(RunContext& ctx) { return CharN(ctx, 8); }
std::int32_t parval_char32(RunContext& ctx) { return CharN(ctx, 32); }

std::uint32_t parval_hexa(const char* text, std::int32_t n) {
  if (n > 0 && text[0] == '"') {
    if (n < 2 || text[n - 1] != '"') return kInvalidCount;
    ++text;
    n -= 2;
  }
  if (n != 2 && n != 4) return kInvalidCount;
  const std::int32_t first = HexToChar(text);
  if (first < 0) return kInvalidCount;
  if (n == 2) return (1u << 24) | static_cast<std::uint32_t>(first);
  const std::int32_t second = HexToChar(text + 2);
  if (second < 0) return kInvalidCount;
  return (2u << 24) | (static_cast<std::uint32_t>(first) << 8) | static_cast<std::uint32_t>(second);
}

std::uint32_t parval_hexa(RunContext& ctx) { return parval_hexa(ctx.token, ctx.tokenLength); }

std::int32_t parval_hexa_str(RunContext& ctx) {
  const std::int32_t pairs = ctx.tokenLength / 2;
  if (pairs > 255) return 255;
  for (std::int32_t i = 0; i < pairs; ++i) {
    const std::int32_t b = HexToChar(ctx.token + 2 * i);
    if (b < 0) return 255;
    ctx.dest[i] = static_cast<std::uint8_t>(b);
  }
  ctx.dest[pairs > 0 ? pairs : 0] = 0;
  return 0;
}

std::int32_t parval_code(RunContext& ctx, const char* entry, std::int32_t length) {
  const char* colon = static_cast<const char*>(std::memchr(entry, ':', static_cast<std::size_t>(length)));
  if (!colon) return 90;
  const auto indexLength = static_cast<std::int32_t>(colon - entry);
  const std::uint32_t index = parval_hexa(entry, indexLength);
  const std::uint32_t value = parval_hexa(colon + 1, length - indexLength - 1);
  const std::uint32_t indexCount = index >> 24;
  const std::uint32_t valueCount = value >> 24;
  if (indexCount < 1 || indexCount > 2 || valueCount < 1 || valueCount > 2) return 90;
  const std::uint32_t slot = index & 0x00FFFFFFu;
  if (slot > 255) return 90;
  ctx.dest[slot] = static_cast<std::uint8_t>(value & 0xFF);
  return 0;
}

std::int32_t GetPasswordAscii(RunContext& ctx) {
  const std::int32_t rc = StorePassword(ctx);
  if (rc == 0) HidePassword(ctx);
  return rc;
}

std::int32_t GetPasswordEbcdic(RunContext& ctx) {
  const std::int32_t rc = StorePassword(ctx);
  if (rc != 0) return rc;
  const std::uint8_t* table = gDefstr ? gDefstr->ca2e : ca2e;
  for (std::uint8_t* p = ctx.password; *p; ++p) *p = table[*p];
  HidePassword(ctx);
  return 0;
}

std::int32_t GetPasswordHex(RunContext& ctx) {
  const std::int32_t n = ctx.tokenLength;
  if (n > 2 * kRunPasswordMax) return 89;
  if (n % 2 != 0) return 82;
  std::uint8_t bytes[kRunPasswordMax];
  for (std::int32_t i = 0; i < n / 2; ++i) {
    const std::int32_t b = HexToChar(ctx.token + 2 * i);
    if (b < 0) return 82;
    bytes[i] = static_cast<std::uint8_t>(b);
  }
  std::memcpy(ctx.password, bytes, static_cast<std::size_t>(n / 2));
  ctx.password[n / 2] = 0;
  ctx.passwordLength = n / 2;
  HidePassword(ctx);
  return 0;
}

void HidePassword(RunContext& ctx) {
  char* copy = ctx.parString;
  if (!copy || !ctx.keyword || ctx.tokenLength <= 0) return;
  char* const copyEnd = copy + std::strlen(copy);
  if (ctx.keyword < copy || ctx.keyword >= copyEnd) return;
  char* eq = ctx.keyword;
  while (eq < copyEnd && *eq != '=' && *eq != ',') ++eq;
  if (eq >= copyEnd || *eq != '=') return;
  char* value = eq + 1;
  // The value as it stood in the text, brackets and quotes included, reaches to the parse
  // position less the separator there; the token may be shorter.
  std::size_t n = std::min(static_cast<std::size_t>(copyEnd - value), static_cast<std::size_t>(ctx.tokenLength));
  if (ctx.parse > value && ctx.parse <= copyEnd) {
    const char* end = ctx.parse;
    if (end[-1] == ',') --end;
    n = std::max(n, static_cast<std::size_t>(end - value));
  }
  if (n == 0) return;
  value[0] = '*';
  std::memset(value + 1, ' ', n - 1);
}
