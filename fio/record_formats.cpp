#include "fio/record_formats.h"

#include <array>

#include "fio/buffered_file_api.h"
#include "fio/file_control_block.h"
#include "support/message_output.h"

const MapEntry RecFormsMap[kRecFormsMapRows + 1] = {
    {1, "fix"},
    {9, "fix"},
    {2, "undefined"},
    {24, "vfc"},
    {3, "text"},
    {11, "text"},
    {12, "dtext"},
    {0, "variable"},
    {8, "variable"},
    {16, "var2b_data"},
    {0, "var_2b"},
    {32, "var_4b"},
    {40, "var_ascii"},
    {48, "var_ebcdic"},
    {56, "var_intel"},
    {64, "var_2b_in"},
    {72, "var_4b_in"},
    {96, "dtaus_d"},
    {104, "dtaus_d_ae"},
    {112, "dtaus_d_ea0"},
    {120, "dtaus_d_ea1"},
    {128, "dtaus_d_dt"},
    {88, "dtaus_dt_ae"},
    {136, "dtaus_dt_ea0"},
    {144, "dtaus_dt_ea1"},
    {152, "dtaus_t"},
    {160, "dtaus_t_ae"},
    {168, "dtaus_t_ea0"},
    {184, "dtaus_t_ea1"},
    {192, "dtaus_td"},
    {200, "dtaus_td_ae"},
    {208, "asn1"},
    {216, "asn1_blk"},
    {224, "asn1_stream"},
    {80, "dtaus_td_ea0"},
    {176, "dtaus_td_ea1"},
    {18, "eaf"},
    {-1, nullptr},
};

const MapEntry FormatMap[6] = {
    {0, "sequential"},   {1, "indexed-sequential"}, {2, "relative"},
    {4, "unstructured"}, {12, "odd unstructured"},  {-1, nullptr},
};

const MapEntry DeviceMap[7] = {
    {0, "disk"},     {1, "tape"},   {2, "diskette"}, {3, "streamer"},
    {6, "$RECEIVE"}, {7, "userio"}, {-1, nullptr},
};

const MapEntry CloseMap[4] = {
    {0, "rewind"},
    {1, "unload"},
    {2, "norewind"},
    {-1, nullptr},
};

std::int32_t NormaliseInputFormat(std::int32_t code) {
  return code == kFmtText || code == kFmtDtext ? kFmtTextStored : code;
}

std::int32_t NormaliseOutputFormat(std::int32_t code) {
  if (code > 255) code -= 256;
  switch (code) {
    case kFmtVariable8:
    case kFmtVfc:
      return kFmtVar2b;
    case kFmtFix9:
    case kFmtFix17:
    case kFmtFix25:
      return kFmtFix;
    case kFmtAsn1:
      return kFmtUndefined;
    case kFmtVar2b:
    case kFmtFix:
    case kFmtUndefined:
    case kFmtText:
    case kFmtDtext:
    case kFmtVar2bData:
    case kFmtEaf:
    case kFmtVar4b:
    case kFmtVarAscii:
    case kFmtVarEbcdic:
    case kFmtVarIntel:
    case kFmtVar2bIn:
    case kFmtVar4bIn:
    case kFmtAsn1Blk:
    case kFmtAsn1Stream:
      return code;
    default:
      return IsDtausFormat(code) ? code : kFmtText;
  }
}

namespace {

// The 23 letter values of a form, spread over a 256-entry table; every byte outside the 23
// positions from the letter base is no letter.
constexpr std::array<std::uint8_t, 256> MakeLetterTable(bool ebcdic) {
  std::array<std::uint8_t, 256> t{};
  for (auto& v : t) v = kNoLetter;
  const int base = ebcdic ? kLetterBaseEbcdic : kLetterBaseAscii;
  for (int i = 0; i < static_cast<int>(kFcbLetterValues); ++i) {
    std::uint8_t v = 0;
    if (!ebcdic) {
      v = i < 16 ? static_cast<std::uint8_t>(i) : 0;
    } else if (i <= 8) {
      v = static_cast<std::uint8_t>(i);  // 0xC1-0xC9: A-I
    } else if (i >= 16) {
      v = static_cast<std::uint8_t>(i - 7);  // 0xD1-0xD7: J-P
    }
    t[static_cast<std::size_t>(base + i)] = v;
  }
  return t;
}

constexpr std::array<std::uint8_t, 256> kLettersAscii = MakeLetterTable(false);
constexpr std::array<std::uint8_t, 256> kLettersEbcdic = MakeLetterTable(true);

static_assert(kLettersEbcdic[0xC9] == 8 && kLettersEbcdic[0xCA] == 0 && kLettersEbcdic[0xD1] == 9 &&
              kLettersEbcdic[0xD7] == 15 && kLettersEbcdic[0xD8] == kNoLetter);
static_assert(kLettersAscii[0x41] == 0 && kLettersAscii[0x50] == 15 && kLettersAscii[0x57] == 0 &&
              kLettersAscii[0x58] == kNoLetter && kLettersAscii[0x40] == kNoLetter);

// The value of a length letter in the detection; a byte that is no letter counts 0 there (the
// record reader refuses it).
std::int32_t LetterValue(const std::uint8_t* table, std::uint8_t b) {
  return table[b] == kNoLetter ? 0 : table[b];
}

}  // namespace

const std::uint8_t* LetterDecodeTable(std::uint16_t letterBase) {
  if (letterBase == kLetterBaseAscii) return kLettersAscii.data();
  if (letterBase == kLetterBaseEbcdic) return kLettersEbcdic.data();
  return nullptr;
}

ContainerFraming DetectFraming(const std::uint8_t* probe) {
  const std::int32_t first = (probe[0] << 8) | probe[1];
  if (probe[3] == 4) return {kFmtTorqRecord, first + 2, kFmtFix, 0};
  if (probe[5] == 4) return {kFmtTorqBlock, first, kFmtVar2b, 0};
  std::uint16_t base = 0;
  if (probe[3] == 0x66 || probe[3] == 0x62) base = kLetterBaseAscii;   // "f" or "b"
  if (probe[3] == 0x86 || probe[3] == 0x82) base = kLetterBaseEbcdic;  // the same in EBCDIC
  if (base != 0) {
    const std::uint8_t* t = LetterDecodeTable(base);
    const std::int32_t length = 256 * LetterValue(t, probe[0]) + 16 * LetterValue(t, probe[1]) +
                                LetterValue(t, probe[2]) + 4;
    return {kFmtPrintable, length, kFmtText, base};
  }
  return {kFmtTorqRecord, 32760, kFmtFix, 0};
}

void DetectContainer(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& recordFormat,
                     std::int32_t& recordLength) {
  std::uint32_t got = 0;
  if (!BasicReadUpdate(fcb.io, fcb.probe, kFcbProbeSize, &got)) {
    const std::uint32_t error = BasicSystemError(fcb.io);
    MsgPutSystemError(static_cast<std::int32_t>(error));
    rc = FioSystemError(error);
    return;
  }
  if (got == 0) {
    rc = kFioEmpty;
    return;
  }
  if (got < kFcbProbeSize) {
    rc = kFioNotTorqfile;
    return;
  }
  BasicUnget(fcb.io);
  fcb.probeLength = static_cast<std::uint8_t>(kFcbProbeSize);

  const ContainerFraming f = DetectFraming(fcb.probe);
  fcb.recordFormat = f.recordFormat;
  fcb.letterBase = f.letterBase;
  if (const std::uint8_t* t = LetterDecodeTable(f.letterBase)) {
    for (std::uint32_t i = 0; i < kFcbLetterValues; ++i) fcb.letterValues[i] = t[f.letterBase + i];
  }
  recordFormat = f.callerFormat;
  recordLength = f.recordLength;
  rc = kFioOk;
}
