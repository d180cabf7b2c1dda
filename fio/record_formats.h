// Record format codes, the organisation, device and close-disposition codes with their listing
// maps, the normalisation of a format code for reading and for writing, and the detection of
// a TORQFILE's framing from its first 18 bytes.
#pragma once
#include <cstdint>

#include "support/message_catalog.h"

struct FileControlBlock;

// Record format codes.
inline constexpr std::int32_t kFmtVar2b = 0;
inline constexpr std::int32_t kFmtFix = 1;
inline constexpr std::int32_t kFmtUndefined = 2;
inline constexpr std::int32_t kFmtText = 3;
inline constexpr std::int32_t kFmtVariable8 = 8;
inline constexpr std::int32_t kFmtFix9 = 9;
inline constexpr std::int32_t kFmtTextStored = 11;
inline constexpr std::int32_t kFmtDtext = 12;
inline constexpr std::int32_t kFmtVar2bData = 16;
inline constexpr std::int32_t kFmtFix17 = 17;
inline constexpr std::int32_t kFmtEaf = 18;
inline constexpr std::int32_t kFmtVfc = 24;
inline constexpr std::int32_t kFmtFix25 = 25;
inline constexpr std::int32_t kFmtVar4b = 32;
inline constexpr std::int32_t kFmtVarAscii = 40;
inline constexpr std::int32_t kFmtVarEbcdic = 48;
inline constexpr std::int32_t kFmtVarIntel = 56;
inline constexpr std::int32_t kFmtVar2bIn = 64;
inline constexpr std::int32_t kFmtVar4bIn = 72;
inline constexpr std::int32_t kFmtDtausFirst = 80;  // sixteen codes, 80 to 200 in steps of 8
inline constexpr std::int32_t kFmtDtausLast = 200;
inline constexpr std::int32_t kFmtAsn1 = 208;
inline constexpr std::int32_t kFmtAsn1Blk = 216;
inline constexpr std::int32_t kFmtAsn1Stream = 224;
inline constexpr std::int32_t kFmtDetect = 256;      // input: detect the TORQFILE framing
inline constexpr std::int32_t kFmtTorqRecord = 257;  // TORQFILE records, 2-byte length in front
inline constexpr std::int32_t kFmtTorqBlock = 288;   // TORQFILE records, block length in front
inline constexpr std::int32_t kFmtPrintable = 768;   // printable TORQFILE (letters)
inline constexpr std::int32_t kFmtPrintable2 = 800;  // read like 768

// The DTAUS codes by name.
inline constexpr std::int32_t kFmtDtausTdEa0 = 80;
inline constexpr std::int32_t kFmtDtausDtAe = 88;
inline constexpr std::int32_t kFmtDtausD = 96;
inline constexpr std::int32_t kFmtDtausDAe = 104;
inline constexpr std::int32_t kFmtDtausDEa0 = 112;
inline constexpr std::int32_t kFmtDtausDEa1 = 120;
inline constexpr std::int32_t kFmtDtausDt = 128;
inline constexpr std::int32_t kFmtDtausDtEa0 = 136;
inline constexpr std::int32_t kFmtDtausDtEa1 = 144;
inline constexpr std::int32_t kFmtDtausT = 152;
inline constexpr std::int32_t kFmtDtausTAe = 160;
inline constexpr std::int32_t kFmtDtausTEa0 = 168;
inline constexpr std::int32_t kFmtDtausTdEa1 = 176;
inline constexpr std::int32_t kFmtDtausTEa1 = 184;
inline constexpr std::int32_t kFmtDtausTd = 192;
inline constexpr std::int32_t kFmtDtausTdAe = 200;

// One of the sixteen DTAUS codes.
constexpr bool IsDtausFormat(std::int32_t code) {
  return code >= kFmtDtausFirst && code <= kFmtDtausLast && code % 8 == 0;
}
// The DTAUS families: _ae converts ASCII to EBCDIC, _ea0 EBCDIC to 7-bit German ASCII, _ea1
// EBCDIC to the 8-bit PC code page.
constexpr bool IsDtausAe(std::int32_t code) {
  return code == 88 || code == 104 || code == 160 || code == 200;
}
constexpr bool IsDtausEa0(std::int32_t code) {
  return code == 80 || code == 112 || code == 136 || code == 168;
}
constexpr bool IsDtausEa1(std::int32_t code) {
  return code == 120 || code == 144 || code == 176 || code == 184;
}

// Organisation codes.
inline constexpr std::int32_t kOrgSequential = 0;
inline constexpr std::int32_t kOrgIndexed = 1;
inline constexpr std::int32_t kOrgRelative = 2;
inline constexpr std::int32_t kOrgUnstructured = 4;
inline constexpr std::int32_t kOrgUnstructuredOdd = 12;

// Device codes.
inline constexpr std::int32_t kDeviceDisk = 0;
inline constexpr std::int32_t kDeviceTape = 1;
inline constexpr std::int32_t kDeviceDiskette = 2;
inline constexpr std::int32_t kDeviceStreamer = 3;
inline constexpr std::int32_t kDeviceReceive = 6;
inline constexpr std::int32_t kDeviceUserIo = 7;

// Close dispositions.
inline constexpr std::int32_t kCloseRewind = 0;
inline constexpr std::int32_t kCloseUnload = 1;
inline constexpr std::int32_t kCloseNoRewind = 2;

// Delimiter descriptor: byte 0 the first character, byte 1 the second, byte 3 the count.
inline constexpr std::uint32_t kDelimCrLf = 0x02000A0D;
// The default of a local text file on this system: LF alone.
inline constexpr std::uint32_t kDelimLf = 0x0100000A;
inline constexpr std::uint32_t kDelimDefault = kDelimLf;

constexpr std::uint32_t DelimCount(std::uint32_t d) { return d >> 24; }
constexpr std::uint8_t DelimFirst(std::uint32_t d) { return static_cast<std::uint8_t>(d); }
constexpr std::uint8_t DelimSecond(std::uint32_t d) { return static_cast<std::uint8_t>(d >> 8); }
constexpr std::uint32_t MakeDelimiter(std::uint8_t first, std::uint8_t second,
                                      std::uint32_t count) {
  return (count << 24) | (static_cast<std::uint32_t>(second) << 8) | first;
}

// Listing maps, {code, text} rows ended by the code -1.
inline constexpr int kRecFormsMapRows = 37;
extern const MapEntry RecFormsMap[kRecFormsMapRows + 1];
extern const MapEntry FormatMap[6];
extern const MapEntry DeviceMap[7];
extern const MapEntry CloseMap[4];

// The absolute value of a record format argument (the not-given marker becomes 0x7FFFFFFF).
constexpr std::int32_t PositiveFormat(std::int32_t code) {
  if (code >= 0) return code;
  return code == INT32_MIN ? INT32_MAX : -code;
}
// The code a block stores for reading: 3 and 12 become 11; every other code as given (256 is
// resolved by the detection, not here).
std::int32_t NormaliseInputFormat(std::int32_t code);
// The code written for an already positive code: above 255 loses 256; 8 and 24 become 0; 9, 17
// and 25 become 1; 208 becomes 2; the writable codes stay; everything else becomes 3.
std::int32_t NormaliseOutputFormat(std::int32_t code);

// The printable letter tables: nibble value of every byte of the form, or kNoLetter for a
// byte that is no length letter (below "A" or above the last of the 23 letter positions).
inline constexpr std::uint8_t kNoLetter = 0xFF;
inline constexpr std::uint16_t kLetterBaseAscii = 65;
inline constexpr std::uint16_t kLetterBaseEbcdic = 193;
// The 256-entry table for a letter base (65 or 193); null for any other base.
const std::uint8_t* LetterDecodeTable(std::uint16_t letterBase);

// Result of the framing detection over the 18-byte probe.
struct ContainerFraming {
  std::int32_t recordFormat;  // 257, 288 or 768
  std::int32_t recordLength;  // record length found
  std::int32_t callerFormat;  // handed back to the caller: 1, 0 or 3
  std::uint16_t letterBase;   // 768: 65 or 193; else 0
};
// Classifies a probe of 18 bytes; never fails (an unknown probe is 257 with 32760).
ContainerFraming DetectFraming(const std::uint8_t* probe);

// The detection step of fiopen: reads the probe through the block's file object, puts it back
// and sets up the block. rc 0; 30 empty file; 10 shorter than 18 bytes; system error (its
// line printed). On success the record format and record length arguments are set.
void DetectContainer(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& recordFormat,
                     std::int32_t& recordLength);
