// Parameter and password files are text files read line by line through the record layer;
// lines end with LF or CR LF and hold at most kParLineSize bytes.
#include "torqup/parameter_files.h"

#include "support/build_stamp.h"

#include <cctype>
#include <cstring>

#include "fio/fio.h"
#include "support/heap.h"
#include "support/message_output.h"
#include "support/paths.h"
#include "torqup/keyword_matching.h"
#include "torqup/secret_values.h"
#include "torqup/value_parsers.h"

TORQ_BUILD_STAMP("TorqParFiles")

namespace {

constexpr std::int32_t kMsgParamFile = 2044;  // "paramfile=%s"

const char* SlotText(const std::uint8_t* slot) { return reinterpret_cast<const char*>(slot + 1); }

bool IsSystemError(std::int32_t code) { return (code & 0x0F000000) == 0x0F000000; }

void ReportReadError(const char* name, std::int32_t code) {
  MsgPut(kMsgParamFile, name);
  if (IsSystemError(code)) {
    MsgPutSystemError(code & 0x00FFFFFF);
  } else {
    MsgPutError(2, code, "");
  }
}

// Appends [begin, end) to the block; the block always has room for one more line.
void Append(RunContext& ctx, std::size_t& used, const char* begin, std::size_t n) {
  if (used + n + 1 >= kParBlockSize) n = kParBlockSize - 1 - used;
  std::memcpy(ctx.parBlock + used, begin, n);
  used += n;
}

}  // namespace

std::int32_t OpenParameterFile(RunContext& ctx, const char* name) {
  if (ctx.parFile) {
    MsgPutF("Internal Errror Open PasswordFile\n");
    MsgPutError(2, -1, "");
    return -1;
  }
  char openName[kRunNameSlot];
  std::strncpy(openName, name, sizeof openName - 1);
  openName[sizeof openName - 1] = '\0';
  std::int32_t rc = 0;
  std::int32_t closeDisposition = 0;
  std::uint8_t fillPair[2] = {0, 0};
  std::int32_t nameLength = static_cast<std::int32_t>(std::strlen(openName));
  std::int32_t organisation = 0;
  std::int32_t recordFormat = 3;
  std::int32_t recordLength = 0;
  std::uint32_t delimiter = 0;
  std::int32_t blockSize = 0;
  std::int32_t device = 0;
  std::int32_t attributeLevel = 0;
  std::uint8_t origin[2];
  const std::int32_t zero = 0;
  const std::int32_t openMode = kOpenInput;
  if (openName[0] == '\0') {
    // A parameter file is never standard input: the parser must not wait for a terminal.
    rc = 0x0F000002;
  } else {
    fiopen(ctx.parFile, rc, openMode, zero, closeDisposition, fillPair, nullptr, nameLength, openName,
           organisation, recordFormat, recordLength, delimiter, zero, blockSize, zero, device,
           attributeLevel, nullptr, origin);
  }
  ctx.parFileStatus = rc;
  if (rc != 0) {
    ctx.parFile = nullptr;
    MsgPut(kMsgParamFile, name);
    MsgPutSystemError(rc & 0x00FFFFFF);
    return rc;
  }
  // A full name longer than a slot's length byte can say is kept as given (at most 255).
  char full[kTorqMaxPath];
  const std::uint32_t n = F_GetFullPathName(name, sizeof full, full, nullptr);
  const bool whole = n > 0 && n <= kRunSlotTextMax;
  const std::size_t len = whole ? n : std::strlen(openName);
  ctx.parFileFullName[0] = static_cast<std::uint8_t>(len);
  std::memcpy(ctx.parFileFullName + 1, whole ? full : openName, len);
  ctx.parFileFullName[1 + len] = 0;
  return 0;
}

std::int32_t ReadParameterFile(RunContext& ctx, const char* name) {
  for (;;) {
    std::int32_t rc = 0;
    std::int32_t length = 0;
    const std::int32_t capacity = static_cast<std::int32_t>(kParLineSize);
    fioget(ctx.parFile, rc, length, reinterpret_cast<std::uint8_t*>(ctx.parLine), capacity);
    if (rc == 2) return 2;
    if (rc == kFioNoDelimiter) {
      // The last line is still read; the warning names the file.
      MsgPut(kMsgParamFile, name);
      MsgPutError(1, kFioNoDelimiter);
    } else if (rc != 0) {
      ReportReadError(name, rc);
      return rc;
    }
    if (length < 0) length = 0;
    if (length > capacity) length = capacity;
    // A NUL ends the line; a CR before the LF is not part of it.
    const void* nul = std::memchr(ctx.parLine, 0, static_cast<std::size_t>(length));
    if (nul) length = static_cast<std::int32_t>(static_cast<const char*>(nul) - ctx.parLine);
    if (length > 0 && ctx.parLine[length - 1] == '\r') --length;
    ctx.parLine[length] = '\0';
    ctx.lineLength = length;
    char* p = ctx.parLine;
    char* const end = ctx.parLine + length;
    while (p < end && static_cast<unsigned char>(*p) < 33) ++p;
    if (p == end || *p == '!' || *p == ';') continue;
    ctx.keyword = p;
    ctx.token = end;
    return 0;
  }
}

void CloseParameterFile(RunContext& ctx) {
  if (!ctx.parFile) return;
  std::int32_t rc = 0;
  fiocls(ctx.parFile, rc);
  ctx.parFile = nullptr;
}

std::int32_t ReadParameterBlock(RunContext& ctx) {
  const char* name = SlotText(ctx.parFileName);
  if (!ctx.parFile) {
    const std::int32_t rc = OpenParameterFile(ctx, name);
    if (rc != 0) {
      ctx.parFilePending = 0;
      return rc;
    }
  }
  std::size_t used = 0;
  for (;;) {
    const std::int32_t rc = ReadParameterFile(ctx, name);
    if (rc == 2) {
      CloseParameterFile(ctx);
      ctx.parFilePending = 0;
      break;
    }
    if (rc != 0) {
      CloseParameterFile(ctx);
      ctx.parFilePending = 0;
      return rc;
    }
    const char* p = ctx.keyword;
    const char* const end = ctx.token;
    for (;;) {
      if (p < end && *p == ',') ++p;
      const char* start = p;
      while (p < end && *p != ',' && *p != ' ' && *p != '!') ++p;
      if (p > start || (p < end && *p == ',')) {
        // An item, or an empty one between two commas, which the parser refuses.
        Append(ctx, used, start, static_cast<std::size_t>(p - start));
        Append(ctx, used, ",", 1);
      }
      if (p >= end || *p != ',') break;
    }
    // Lines are taken whole; the mark is looked at between lines.
    if (used > kParBlockMark) break;
  }
  ctx.parBlock[used] = '\0';
  ctx.parse = ctx.parBlock;
  ctx.textEnd = ctx.parBlock + used;
  return 0;
}

std::int32_t GetPasswordFromFile(RunContext& ctx, bool* noneAsked) {
  bool none = false;
  const char* name = SlotText(ctx.pafileName);
  std::int32_t rc = OpenParameterFile(ctx, name);
  if (rc != 0) return rc;
  for (;;) {
    rc = ReadParameterFile(ctx, name);
    if (rc == 2) {
      rc = 0;
      break;
    }
    if (rc != 0) break;
    char* p = ctx.keyword;
    char* const end = ctx.token;
    std::size_t n = 0;
    while (p + n < end && p[n] != ',' && p[n] != '=' && n + 1 < kRunValueSize) {
      ctx.value[n] = static_cast<char>(std::tolower(static_cast<unsigned char>(p[n])));
      ++n;
    }
    ctx.value[n] = '\0';
    ctx.tokenLength = static_cast<std::int32_t>(n);
    ctx.parse = p + n;
    ctx.textEnd = end;
    const KeywordTable* table = nullptr;
    switch (ctx.value[0]) {
      case 'c': table = &tabc; break;
      case 'l': table = &tabl; break;
      case 'p': table = &tabp; break;
      default: break;
    }
    const std::int32_t code = table ? ParKeyPar(ctx, *table) : kNoMatch;
    std::int32_t err = 0;
    switch (code) {
      case 141:
      case 142:
      case 143:
        if (ctx.passwordLength == 0) {
          err = code == 141 ? GetPasswordAscii(ctx) : code == 142 ? GetPasswordEbcdic(ctx) : GetPasswordHex(ctx);
          none = false;
        }
        break;
      case 146: {
        const std::int32_t mode = parval_str(ctx, tabcry);
        if (mode == kNoMatch) {
          err = 90;
        } else {
          ctx.cryptmode = mode;
          if (mode == 0) ctx.passwordLength = 0;
          none = mode == 0;
        }
        break;
      }
      case 147:
        err = GetPasswordAscii(ctx);
        if (err == 0) ctx.cryptmode = 32;
        none = false;
        break;
      case 149:
        if (ctx.tokenLength > 0 && !ctx.comment) {
          ctx.comment = rmStrDup(ctx.value);
          if (!ctx.comment) {
            err = -1;
          } else {
            ctx.commentLength = ctx.tokenLength;
          }
        }
        break;
      default:
        // Any other line ends the reading.
        CloseParameterFile(ctx);
        if (noneAsked) *noneAsked = none;
        return 0;
    }
    if (err != 0) {
      CloseParameterFile(ctx);
      MsgPutError(2, err, MaskSecrets(ctx.keyword, SecretReach::kLine).c_str());
      return err;
    }
  }
  CloseParameterFile(ctx);
  if (noneAsked) *noneAsked = none;
  return rc;
}
