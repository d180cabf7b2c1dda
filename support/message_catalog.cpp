#include "support/message_catalog.h"

#include "support/build_stamp.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "support/environment.h"
#include "support/heap.h"
#include "support/last_error.h"
#include "support/message_catalog_format.h"
#include "support/message_conversions.h"
#include "support/message_table.h"
#include "support/paths.h"
#include "support/platform/file_io.h"
#include "support/sysinfo.h"

TORQ_BUILD_STAMP("TorqMsgCat")

char* gTorqMsgText = nullptr;
std::int32_t AnzMsg = 0;
MapEntry* ErrorMap = nullptr;
std::uint16_t gLaguageId = 0;

const MapEntry ListMap[kListMapRows] = {
    {2000, "attributes=%s"},
    {2001, "blocksize=%d"},
    {2002, "closedisposition=%s"},
    {2003, "codetable=%s"},
    {2004, "cryptmode=%s"},
    {2005, "device=%s"},
    {2006, "exitd10=%s"},
    {2007, "exitd20=%s"},
    {2008, "exitk10=%s"},
    {2009, "exitk20=%s"},
    {2010, "torqcode=%s"},
    {2011, "torqfile=%s"},
    {2012, "torqin=%s"},
    {2013, "torqout=%s"},
    {2014, "%s"},
    {2015, "inblocksize=%d"},
    {2016, "inclosedisposition=%s"},
    {2017, "indelete=%s"},
    {2018, "indevice=%s"},
    {2019, "inoptions=%s"},
    {2020, "inorganization=%s"},
    {2021, "inrecdelim=%02x"},
    {2022, "inrecdelim=%04x"},
    {2023, "inrecformat=%s"},
    {2024, "inrecsize=%d"},
    {2025, "inuserio=%s"},
    {2026, "maxbuffer=%d"},
    {2027, "maxrecords=%d"},
    {2028, "messagefiel=%s"},
    {2029, "mode=%s"},
    {2030, "options=%s"},
    {2031, "organization=%s"},
    {2032, "outblocksize=%d"},
    {2033, "outclosedisposition=%s"},
    {2034, "outdevice=%s"},
    {2035, "outoptions=%s"},
    {2036, "outorganization=%s"},
    {2037, "outpath=%s"},
    {2038, "outrecdelim=%02x"},
    {2039, "outrecdelim=%04x"},
    {2040, "outrecformat=%s"},
    {2041, "outrecsize=%d"},
    {2042, "outuserio=%s"},
    {2043, "padchar=%02x"},
    {2044, "paramfile=%s"},
    {2045, "recdelim=%02x"},
    {2046, "recdelim=%04x"},
    {2047, "recformat=%s"},
    {2048, "recsize=%d"},
    {2049, "show=%s"},
    {2050, "translate=%s"},
    {2051, "trimchar=%02x"},
    {2052, "userio=%s"},
    {-1, nullptr},
};

namespace {

constexpr std::size_t kMaxFileSize = 2 * kMsgMaxBlockLength;

using HeapBytes = std::unique_ptr<unsigned char, HeapBlockDeleter>;

int HexDigit(unsigned char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

MsgHeader ReadHeader(const unsigned char* p) {
  MsgHeader h;
  std::memcpy(&h, p, sizeof h);
  return h;
}

// Checks one block's entries: every entry lies inside the block with its NUL where its length
// byte says, numbers are four hex digits, the first entry reads "0000:TORQ", only the last one
// is "ffff" (with its extra NUL, ending the block exactly), and every text takes the same
// arguments as the built-in English row of its number.
bool BlockIsSound(const unsigned char* entries, std::size_t size, std::uint32_t count) {
  if (count == 0) return false;
  std::size_t p = 0;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (size - p < 6) return false;
    const int length = static_cast<signed char>(entries[p]);
    if (length < 5) return false;
    const std::size_t end = p + static_cast<std::size_t>(length) + 2;
    const bool last = i + 1 == count;
    if (end + (last ? 1 : 0) > size) return false;
    std::uint32_t number = 0;
    for (int k = 1; k <= 4; ++k) {
      const int digit = HexDigit(entries[p + k]);
      if (digit < 0) return false;
      number = number << 4 | static_cast<std::uint32_t>(digit);
    }
    if (entries[p + 5] != ':') return false;
    const char* text = reinterpret_cast<const char*>(entries + p + 6);
    const std::size_t textLength = static_cast<std::size_t>(length) - 5;
    if (std::memchr(text, '\0', textLength) != nullptr || text[textLength] != '\0') return false;
    // The first entry reads "0000:TORQ": its text holds at least the four letters.
    if (i == 0 && (textLength < 4 || std::memcmp(entries + p + 1, "0000:TORQ", 9) != 0)) return false;
    if ((number == kMsgClosingNumber) != last) return false;
    if (last && (entries[end] != '\0' || end + 1 != size)) return false;
    const char* builtin = BuiltinEnglishText(number);
    if (!SameConversionTypes(text, builtin ? builtin : "")) return false;
    p = end;
  }
  return true;
}

int Refuse(int code, const char* name) {
  TorqClearSysError();
  TorqSetLastError(code, name);
  return code;
}

}  // namespace

std::uint32_t HexToDec(const char* text) {
  std::uint32_t value = 0;
  for (int digit; text && (digit = HexDigit(static_cast<unsigned char>(*text))) >= 0; ++text)
    value = value * 16 + static_cast<std::uint32_t>(digit);
  return value;
}

const char* FindEntryTxt(const MapEntry* map, std::int32_t key) {
  if (!map) return "*ERROR* No MsgTab loaded***";
  for (; (static_cast<std::uint32_t>(map->key) & 0xFFFFu) != 0xFFFFu; ++map)
    if (map->key == key) return map->text ? map->text : "";
  return "***unknown***";
}

const char* FindMsgText(std::int32_t number) {
  return static_cast<std::uint32_t>(number) < 2000 ? FindEntryTxt(ErrorMap, number)
                                                   : FindEntryTxt(ListMap, number);
}

void FreeMessageTab() {
  rmHeapFree0(&gTorqMsgText);
  rmHeapFree0(&ErrorMap);
  AnzMsg = 0;
}

int LoadMessageTab(const char* fileName) {
  FreeMessageTab();
  const char* name = fileName ? fileName : TorqMgsdatName;
  if (!name) return TorqSetLastError(-1, "torqmsg.dat");

  torq::platform::FileHandle handle = torq::platform::kInvalidFile;
  if (const int error = torq::platform::FileOpenReadRegular(name, handle)) {
    TorqSetLastSysError(error, name);
    // A pipe or device in the file's place is a damaged catalogue, not a missing one.
    return TorqSetLastError(error == ESPIPE || error == ENODEV ? 45 : -1, name);
  }
  struct Closer {
    torq::platform::FileHandle h;
    ~Closer() { torq::platform::FileClose(h); }
  } closer{handle};
  // The language is settled once the file is open, whatever its contents turn out to be.
  if (gLaguageId == 0) gLaguageId = GetUserLaguageID();
  std::uint64_t fileSize = 0;
  if (!TorqGetFileSize(handle, &fileSize)) {
    TorqSetLastSysError(-1, name);
    return TorqSetLastError(45, name);
  }
  // Two blocks of at most 65,535 bytes each make the largest catalogue.
  if (fileSize > kMaxFileSize || fileSize < 2 * kMsgHeaderSize) return Refuse(45, name);
  const std::size_t size = static_cast<std::size_t>(fileSize);
  HeapBytes data(static_cast<unsigned char*>(rmHeapAlloc(static_cast<std::uint32_t>(size))));
  if (!data) {
    TorqSetLastSysError(-1, name);
    return TorqSetLastError(-1, name);
  }
  std::size_t got = 0;
  if (torq::platform::FileReadFull(handle, data.get(), size, got) != 0 || got != size) {
    TorqSetLastSysError(-1, name);
    return TorqSetLastError(45, name);
  }

  // Exactly two blocks, nothing before, between or after them.
  const MsgHeader first = ReadHeader(data.get());
  if (first.length < kMsgHeaderSize || first.length > size - kMsgHeaderSize) return Refuse(45, name);
  const MsgHeader second = ReadHeader(data.get() + first.length);
  if (second.length < kMsgHeaderSize || std::size_t{first.length} + second.length != size)
    return Refuse(45, name);
  if (!BlockIsSound(data.get() + kMsgHeaderSize, first.length - kMsgHeaderSize, first.count) ||
      !BlockIsSound(data.get() + first.length + kMsgHeaderSize, second.length - kMsgHeaderSize,
                    second.count))
    return Refuse(45, name);

  const bool useFirst = first.language == (gLaguageId & 0xFFu);
  const MsgHeader& header = useFirst ? first : second;
  const unsigned char* entries = data.get() + (useFirst ? 0 : first.length) + kMsgHeaderSize;
  const std::size_t entriesSize = header.length - kMsgHeaderSize;

  gTorqMsgText = static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(entriesSize + 4)));
  ErrorMap = static_cast<MapEntry*>(
      rmHeapAlloc(static_cast<std::uint32_t>((header.count + 1u) * sizeof(MapEntry))));
  if (!gTorqMsgText || !ErrorMap) {
    TorqSetLastSysError(-1, name);
    FreeMessageTab();
    return TorqSetLastError(-1, name);
  }
  std::memcpy(gTorqMsgText, entries, entriesSize);
  AnzMsg = header.count;
  std::size_t p = 0;
  for (std::int32_t i = 0; i < AnzMsg; ++i) {
    ErrorMap[i].key = static_cast<std::int32_t>(HexToDec(gTorqMsgText + p + 1));
    ErrorMap[i].text = gTorqMsgText + p + 6;
    p += static_cast<std::size_t>(static_cast<signed char>(gTorqMsgText[p])) + 2;
  }
  return 0;
}
