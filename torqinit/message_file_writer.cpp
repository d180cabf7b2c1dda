#include "torqinit/message_file_writer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "support/environment.h"
#include "support/heap.h"
#include "support/message_catalog_format.h"
#include "support/message_table.h"
#include "support/paths.h"
#include "torqinit/data_file_output.h"

namespace {

struct BlockInfo {
  int column;
  const char* letters;
  std::uint8_t language;
};
constexpr BlockInfo kBlocks[] = {{kMsgColumnGerman, "DEU", kMsgLanguageGerman},
                                 {kMsgColumnEnglish, "ENG", kMsgLanguageEnglish}};

}  // namespace

void CalcLenAndCount(int column, std::int32_t* length, std::int32_t* count) {
  std::int32_t n = 0, c = 0;
  for (const ErrMsgRow& row : ErrMsg) {
    const MsgText& m = row.lang[column];
    n += static_cast<std::int32_t>(std::strlen(m.text) + kMsgEntryOverhead);
    ++c;
    if (m.nr == -1) {
      ++n;  // the closing entry carries a second NUL
      break;
    }
  }
  *length = n;
  *count = c;
}

char* MakeMsgBuf(char* buffer, int column, std::int32_t length) {
  if (length < 0) return nullptr;
  std::unique_ptr<char, HeapBlockDeleter> taken;
  if (!buffer) {
    taken.reset(static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(length))));
    if (!taken) return nullptr;
    buffer = taken.get();
  }
  const std::size_t capacity = static_cast<std::size_t>(length);
  std::size_t p = 0;
  for (const ErrMsgRow& row : ErrMsg) {
    const MsgText& m = row.lang[column];
    const bool last = m.nr == -1;
    const std::size_t textLength = std::strlen(m.text);
    const std::size_t entryLength = textLength + kMsgEntryOverhead + (last ? 1 : 0);
    if (textLength > kMsgMaxTextLength || entryLength > capacity - p) return nullptr;
    char digits[5];
    std::snprintf(digits, sizeof digits, "%04x", static_cast<unsigned>(m.nr) & 0xFFFFu);
    buffer[p] = static_cast<char>(textLength + 5);
    std::memcpy(buffer + p + 1, digits, 4);
    buffer[p + 5] = ':';
    std::memcpy(buffer + p + 6, m.text, textLength);
    buffer[p + 6 + textLength] = '\0';
    if (last) buffer[p + 7 + textLength] = '\0';
    p += entryLength;
    if (last) break;
  }
  taken.release();
  return buffer;
}

int MakeMsgDat() {
  DataFileOutput file(TorqMgsdatName, kMsgDatFile);
  if (!file.Opened()) return 1;
  for (const BlockInfo& block : kBlocks) {
    std::int32_t n = 0, c = 0;
    CalcLenAndCount(block.column, &n, &c);
    if (n + kMsgHeaderSize > kMsgMaxBlockLength) {
      file.Fail(EFBIG);
      break;
    }
    MsgHeader header{};
    header.length = static_cast<std::uint16_t>(n + kMsgHeaderSize);
    header.count = static_cast<std::uint16_t>(c);
    std::memcpy(header.letters, block.letters, 3);
    header.language = block.language;
    std::printf("%s (0x%02x) Len= %d  (+ Header= %d) Count=%d\n", block.letters, block.language, n,
                n + static_cast<int>(kMsgHeaderSize), c);
    std::unique_ptr<char, HeapBlockDeleter> entries(MakeMsgBuf(nullptr, block.column, n));
    if (!entries) {
      file.Fail(ENOMEM);
      break;
    }
    if (!file.Write(&header, sizeof header) || !file.Write(entries.get(), static_cast<std::size_t>(n))) break;
  }
  if (!file.Commit()) return 1;
  std::printf("%s: %d *OK*\n", TorqMgsdatName, static_cast<int>(file.Written()));
  return 0;
}
