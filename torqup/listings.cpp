#include "torqup/listings.h"

#include "support/build_stamp.h"

#include <algorithm>
#include <string>

#include "cmp/buffer_sizes.h"
#include "fio/record_formats.h"
#include "support/environment.h"
#include "support/format.h"
#include "support/message_output.h"
#include "support/origin_names.h"
#include "support/sysinfo.h"
#include "support/torqutil.h"
#include "torqup/listing_maps.h"
#include "torqup/shown_names.h"

TORQ_BUILD_STAMP("TorqListings")

namespace {

constexpr std::int32_t kCommentShown = 50;

void BannerLine(int kind, std::int32_t value = 0) { MsgListF("%s\n", Banner(kind, value, 0)); }

// A name as shown (control bytes escaped), or the standard stream an empty one stands for.
std::string NameOr(const std::uint8_t* slot, const char* standardStream) {
  return slot[0] == 0 || slot[1] == '\0' ? standardStream : ShownSlot(slot);
}

bool Set(std::uint8_t option) { return option == 1; }

void ShowComment(const RunContext& ctx) {
  if (ctx.comment == nullptr || ctx.commentLength <= 0) return;
  BannerLine(9);
  MsgPutText(ctx.comment, std::min(ctx.commentLength, kCommentShown));
}

void ShowCodeTable(const RunContext& ctx) {
  if (ctx.codeTableName[0] == 0) return;
  MsgPut(2003, SlotText(ctx.codeTableName));
  if (ctx.codeTable == nullptr) return;
  if (ctx.codeTable[0x41] == 0xC1 && ctx.translate != 1) {
    MsgListF("*WARN* ASCII:EBCDIC\n");
  } else if (ctx.codeTable[0xC1] == 0x41 && ctx.translate != 2) {
    MsgListF("*WARN* EBCDIC:ASCII\n");
  }
}

void ShowExit(std::int32_t label, const std::uint8_t* exitSlot) {
  if (exitSlot[0] != 0) MsgPut(label, SlotText(exitSlot));
}

}  // namespace

void msg_title(RunContext*& handle) {
  for (int kind : {0, 1, 3, 5}) BannerLine(kind);
  std::string shown = handle->parString != nullptr ? handle->parString : "";
  MsgListF("Parameter:%s\n", ParRmc(shown.data(), 1));
  BannerLine(5);
}

void msg_komp_attr(RunContext*& handle) {
  const RunContext& ctx = *handle;
  MsgPut(2014, FindEntryTxt(FunctionMap, 1));
  MsgPut(2029, FindEntryTxt(ModeMap, ctx.mode));
  if (ctx.passwordLength != 0) MsgPut(2004, FindEntryTxt(CryptMap, ctx.cryptmode));
  // The size the container is written with, which for DC8 may be less than the one asked for.
  MsgPut(2026, WriteBufferSize(ctx.mode | ctx.cryptmode, ctx.maxbuffer));
  MsgPut(2027, ctx.maxrecords);
  MsgPut(2010, FindEntryTxt(TorqCodeMap, ctx.torqcode));
  MsgPut(2000, FindEntryTxt(AttribMap, ctx.fileinfo * 16 + ctx.header));
  MsgPut(2049, FindEntryTxt(ShowMap, ctx.show));
  MsgPut(2050, FindEntryTxt(TranslateMap, ctx.translate));
  ShowCodeTable(ctx);
  ShowComment(ctx);
}

void msg_deko_attr(RunContext*& handle) {
  const RunContext& ctx = *handle;
  MsgPut(2014, FindEntryTxt(FunctionMap, 0));
  if (ctx.outpath[0] != 0) MsgPut(2037, SlotText(ctx.outpath));
  MsgPut(2049, FindEntryTxt(ShowMap, ctx.show));
  MsgPut(2050, FindEntryTxt(TranslateMap, ctx.translate));
  ShowCodeTable(ctx);
  BannerLine(11);
}

void msg_komp_torqin(RunContext*& handle) {
  const RunContext& ctx = *handle;
  BannerLine(8, ctx.memberNumber);
  MsgPut(2012, NameOr(ctx.inputName, "STDIN$").c_str());
  if (ctx.show == kShowStatistic) return;
  if (ctx.iOrg >= 0) MsgPut(2020, FindEntryTxt(FormatMap, ctx.iOrg));
  if (ctx.iBlksize > 0) MsgPut(2015, ctx.iBlksize);
  if (ctx.iRecsize > 0) MsgPut(2024, ctx.iRecsize);
  const std::int32_t format = ctx.streamformat > 0 && ctx.streamformat != ctx.iRecform ? ctx.streamformat : ctx.iRecform;
  MsgPut(2023, FindEntryTxt(RecFormsMap, format));
  if (RecformDelimeted(format)) MsgPutDelim(2021, ctx.iDelim);
  if (Set(ctx.cut)) MsgPut(2030, "cut");
  if (Set(ctx.nopath)) MsgPut(2030, "nopath");
  if (ctx.iClosedisp > 0) MsgPut(2016, FindEntryTxt(CloseMap, ctx.iClosedisp));
  if (ctx.iUserio == 1) MsgPut(2025, "yes");
  if (ctx.iDelete == 1) MsgPut(2017, "yes");
  ShowExit(2008, ctx.exk10);
}

void msg_komp_torqfile(RunContext*& handle) {
  const RunContext& ctx = *handle;
  BannerLine(10);
  MsgPut(2011, NameOr(ctx.containerName, "STDOUT$").c_str());
  if (ctx.show == kShowStatistic) return;
  MsgPut(2031, FindEntryTxt(FormatMap, ctx.kOrg));
  if (ctx.kBlksize > 0) MsgPut(2001, ctx.kBlksize);
  if (ctx.kRecsize > 0) MsgPut(2048, ctx.kRecsize);
  if (ctx.kRecform >= 0) MsgPut(2047, FindEntryTxt(RecFormsMap, ctx.kRecform));
  if (ctx.kClosedisp > 0) MsgPut(2002, FindEntryTxt(CloseMap, ctx.kClosedisp));
  if (Set(ctx.add)) MsgPut(2030, "add");
  if (ctx.kUserio == 1) MsgPut(2052, "yes");
  ShowExit(2009, ctx.exk20);
  ShowComment(ctx);
}

void msg_deko_torqfile(RunContext*& handle) {
  BannerLine(10);
  MsgPut(2011, NameOr(handle->containerName, "STDIN$").c_str());
}

void msg_deko_torqin(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (ctx.containerListed == 0) {
    ctx.containerListed = 1;
    MsgPut(2011, NameOr(ctx.containerName, "STDIN$").c_str());
    if (ctx.kClosedisp > 0) MsgPut(2002, FindEntryTxt(CloseMap, ctx.kClosedisp));
    if (ctx.kDelete == 1) MsgPut(2017, "yes");
    if (ctx.kUserio == 1) MsgPut(2052, "yes");
    ShowExit(2007, ctx.exd20);
    if (ctx.kOrg >= 0) MsgPut(2031, FindEntryTxt(FormatMap, ctx.kOrg));
    if (ctx.kRecform >= 0) MsgPut(2047, FindEntryTxt(RecFormsMap, ctx.kRecform));
    if (ctx.kRecsize >= 0) MsgPut(2048, ctx.kRecsize);
  }
  BannerLine(8, ctx.memberNumber);
  if (ctx.comment != nullptr && ctx.commentLength > 0) {
    MsgPutText(ctx.comment, std::min(ctx.commentLength, kCommentShown));
    ctx.commentLength = 0;
    BannerLine(9);
  }
  MsgPut(1130, ShownSlot(ctx.memberName).c_str());
  MsgPut(1000, GetBetriebsSystem(ctx.originPair));
  MsgPut(2010, FindEntryTxt(TorqCodeMap, ctx.torqcode));
  MsgPut(2029, FindEntryTxt(ModeMap, ctx.mode));
  if (ctx.cryptmode != 0) MsgPut(2004, FindEntryTxt(CryptMap, ctx.cryptmode));
  if (ctx.iOrg >= 0) MsgPut(2020, FindEntryTxt(FormatMap, ctx.iOrg));
  if (ctx.iRecform >= 0) MsgPut(2023, FindEntryTxt(RecFormsMap, ctx.iRecform));
  if (ctx.iRecsize > 0) MsgPut(2024, ctx.iRecsize);
}

void msg_deko_torqout(RunContext*& handle) {
  const RunContext& ctx = *handle;
  MsgPut(2013, NameOr(ctx.outputName, "STDOUT$").c_str());
  if (ctx.show == kShowStatistic) return;
  MsgPut(2036, FindEntryTxt(FormatMap, ctx.oOrg));
  MsgPut(2040, FindEntryTxt(RecFormsMap, ctx.oRecform));
  if (RecformDelimeted(ctx.oRecform)) MsgPutDelim(2038, ctx.oDelim);
  if (Set(ctx.append)) MsgPut(2030, "append");
  if (Set(ctx.cut)) MsgPut(2030, "cut");
  if (Set(ctx.suppress)) {
    MsgPut(2030, "suppress");
    MsgPut(2051, ctx.trimchar & 0xFF);
  }
  if (ctx.translate > 0) MsgPut(2050, FindEntryTxt(TranslateMap, ctx.translate));
  if (ctx.oBlksize > 0) MsgPut(2032, ctx.oBlksize);
  if (ctx.oRecsize > 0) MsgPut(2041, ctx.oRecsize);
  if (RecformPadded(ctx.oRecform)) MsgPut(2043, ctx.fillPair[0]);
  if (ctx.oClosedisp > 0) MsgPut(2033, FindEntryTxt(CloseMap, ctx.oClosedisp));
  if (ctx.oUserio == 1) MsgPut(2042, "yes");
  ShowExit(2006, ctx.exd10);
}

void stat_komp(RunContext*& handle, const std::int32_t& records, const std::int32_t& bytesLow,
               const std::int32_t& bytesHigh) {
  const RunContext& ctx = *handle;
  MsgPut(1120, FormatUint32(static_cast<std::uint32_t>(records)));
  MsgPut(1121, FormatOfl(bytesHigh, bytesLow));
  if (ctx.function == 1) {
    MsgPut(1124, FormatEffizienzOfl(static_cast<std::uint32_t>(bytesHigh), static_cast<std::uint32_t>(bytesLow),
                                    static_cast<std::uint32_t>(ctx.uncompressedTotals[2]),
                                    static_cast<std::uint32_t>(ctx.uncompressedTotals[1])));
  }
}

void stat_unkomp(RunContext*&, const std::int32_t& records, const std::int32_t& bytesLow,
                 const std::int32_t& bytesHigh) {
  MsgPut(1122, FormatUint32(static_cast<std::uint32_t>(records)));
  MsgPut(1123, FormatOfl(bytesHigh, bytesLow));
}

std::int32_t torq_list(const char*) {
  const DefStruct* def = gDefstr;
  if (def == nullptr) return -1;
  for (int kind : {5, 0, 1, 3, 5}) MsgListF("%s\n", Banner(kind, 0, 0));
  MsgListOemF("%s\n", torqutil::gInfo);
  MsgListF("\n");
  MsgListCodeTab("Default Code Table ascii_ebcic:", def->ca2e);
  MsgListF("\n");
  MsgListCodeTab("Default Code Table ebcic_ ascii:", def->ce2a);
  MsgListF("\n");
  auto slot = [](const std::uint8_t* s) { return reinterpret_cast<const char*>(s + 1); };
  const char* attributes = def->header == 0 ? "none" : def->fileinfo == 1 ? "all" : "common";
  MsgList(2000, attributes);
  MsgList(2001, def->general.blksize);
  MsgList(2002, FindEntryTxt(CloseMap, def->general.closedisp));
  MsgList(2004, FindEntryTxt(CryptMap, def->cryptmode));
  MsgList(2005, FindEntryTxt(DeviceMap, def->general.device));
  MsgList(2006, slot(def->exd10));
  MsgList(2007, slot(def->exd20));
  MsgList(2008, slot(def->exk10));
  MsgList(2009, slot(def->exk20));
  MsgList(2010, FindEntryTxt(TorqCodeMap, def->torqcode));
  MsgList(2011, slot(def->torqfile));
  MsgList(2012, slot(def->torqin));
  MsgList(2013, slot(def->torqout));
  MsgList(2014, FindEntryTxt(FunctionMap, def->function));
  MsgList(2015, def->input.blksize);
  MsgList(2016, FindEntryTxt(CloseMap, def->input.closedisp));
  MsgList(2017, FindEntryTxt(YesNoMap, def->input.del));
  MsgList(2018, FindEntryTxt(DeviceMap, def->input.device));
  MsgList(2020, FindEntryTxt(FormatMap, def->input.org));
  MsgList(2023, FindEntryTxt(RecFormsMap, def->input.recform));
  MsgList(2024, def->input.recsize);
  MsgListDelim(2021, def->input.delim);
  MsgList(2025, FindEntryTxt(YesNoMap, def->input.userio));
  MsgList(2026, def->maxbuffer);
  MsgList(2027, def->maxrecords);
  MsgList(2029, FindEntryTxt(ModeMap, def->mode));
  MsgList(2031, FindEntryTxt(FormatMap, def->general.org));
  MsgList(2033, FindEntryTxt(CloseMap, def->output.closedisp));
  MsgList(2034, FindEntryTxt(DeviceMap, def->output.device));
  MsgList(2036, FindEntryTxt(FormatMap, def->output.org));
  MsgList(2040, FindEntryTxt(RecFormsMap, def->output.recform));
  MsgList(2041, def->output.recsize);
  MsgListDelim(2038, def->output.delim);
  MsgList(2042, FindEntryTxt(YesNoMap, def->output.userio));
  MsgList(2043, def->padchar);
  MsgList(2044, slot(def->paramfile));
  MsgListDelim(2045, def->general.delim);
  MsgList(2047, FindEntryTxt(RecFormsMap, def->general.recform));
  MsgList(2048, def->general.recsize);
  MsgList(2049, FindEntryTxt(ShowMap, def->show));
  return 0;
}
