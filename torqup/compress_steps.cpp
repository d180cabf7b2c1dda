#include <algorithm>
#include <array>

#include "support/build_stamp.h"
#include <cerrno>
#include <cstring>

#include "cmp/record_interface.h"
#include "fio/fio.h"
#include "support/heap.h"
#include "support/message_output.h"
#include "support/paths.h"
#include "torqup/listings.h"
#include "torqup/run_state.h"
#include "torqup/steps.h"
#include "torqup/two_part_counts.h"

TORQ_BUILD_STAMP("TorqKomp")

namespace {

constexpr std::uint32_t kInputTag = 0xE0000000u;
constexpr std::int32_t kDefaultRecordBuffer = 32768;

void ReleaseRecordBuffer(RunContext& ctx) {
  if (ctx.recordBuffer != nullptr && ctx.recordBuffer != ctx.builtinRecord) rmHeapFree(ctx.recordBuffer);
  ctx.recordBuffer = nullptr;
}

}  // namespace

void open_torqin(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (ctx.fileOpen) return;
  ctx.inOpenMode = 0;
  ctx.userExitWord = 0;
  ctx.nameLength = 254;
  ctx.attrLength = 512;
  ctx.recordExitWord = 0;
  if (ctx.streamformat == 1) {
    ctx.iRecform = 18;
  } else if (ctx.streamformat > 1) {
    ctx.iRecform = ctx.streamformat;
  }
  if (ctx.iUserio == 1) ctx.iDevice = 7;
  std::int32_t rc = 0;
  fiopen(ctx.fileSlot, rc, ctx.inOpenMode, ctx.userExitWord, ctx.iClosedisp, ctx.fillPair, "=TORQIN", ctx.nameLength,
         reinterpret_cast<char*>(ctx.inputName + 1), ctx.iOrg, ctx.iRecform, ctx.iRecsize, ctx.iDelim, ctx.exitWord,
         ctx.iBlksize, ctx.exitWord, ctx.iDevice, ctx.attrLength, ctx.attributes, ctx.originPair);
  SetSlotLength(ctx.inputName);
  if (rc == 0) {
    ctx.fileOpen = 1;
    ctx.memberNumber += 1;
    ctx.stepRc = 0;
  } else {
    ctx.stepRc = Tagged(kInputTag, rc);
  }
}

void open_komp_torqfile(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (ctx.containerOpen) return;
  std::fill(std::begin(ctx.memberCounts), std::end(ctx.memberCounts), 0);
  std::fill(ctx.containerTotals, ctx.containerTotals + 3, 0);
  ctx.containerListed = 0;
  char* name = reinterpret_cast<char*>(ctx.containerName + 1);
  if (ctx.containerName[0] != 0 && *name != '\0') {
    char full[kTorqMaxPath];
    const std::uint32_t n = F_GetFullPathName(name, sizeof full, full, nullptr);
    const bool fits = n > 0 && n <= kRunNameSlot - 6;
    if (fits) {
      std::memcpy(name, full, n + 1);
      SetSlotLength(ctx.containerName);
    }
    if (!fits || !F_ForceDirectories(F_ExtractFilePath(name))) {
      ctx.stepRc = Tagged(0xFF000000u, fits ? errno & 0xFFFFFF : ENAMETOOLONG);
      MsgPutSystemError(-1);
      MsgPutF("*ERROR* %s\n", name);
      return;
    }
  }
  std::int32_t rc = 0;
  trqopn(ctx.recordHandle, rc, 1, ctx.containerOpenMode, name, ctx.show);
  SetSlotLength(ctx.containerName);
  if (rc != 0) {
    ctx.stepRc = rc;
    return;
  }
  if (ctx.kUserio == 1) ctx.kDevice = 7;
  std::int32_t nameLength = 254;
  trqopd(ctx.recordHandle, rc, 1, nameLength, name, ctx.kOrg, ctx.kRecform, ctx.kRecsize, ctx.kDelim, ctx.trqopdWord,
         ctx.kBlksize, ctx.kClosedisp, ctx.kDevice);
  SetSlotLength(ctx.containerName);
  if (rc != 0) {
    ctx.stepRc = rc;
    return;
  }
  std::int32_t ignored = 0;
  trqset(ctx.recordHandle, ignored, 2, ctx.secureinfo);
  std::int32_t formatLevel = 2;
  std::int32_t modeWord = ctx.cryptmode | ctx.mode;
  trqopf(ctx.recordHandle, rc, formatLevel, ctx.torqcode, modeWord, ctx.maxbuffer, ctx.header, ctx.maxrecords, nullptr,
         ctx.blkmode, reinterpret_cast<const char*>(ctx.exk20 + 1), reinterpret_cast<const char*>(ctx.exd20 + 1));
  if (rc != 0) {
    ctx.stepRc = rc;
    return;
  }
  ctx.mode = modeWord & 0x0F;
  ctx.cryptmode = modeWord & 0xF0;
  ctx.containerOpen = 1;
  if (ctx.passwordLength != 0) trqpwd(ctx.recordHandle, rc, ctx.passwordLength, ctx.password);
  ctx.stepRc = rc;
}

void put_header(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (Shows(ctx, {kShowAll, kShowStatistic})) msg_komp_torqin(handle);
  if (ctx.header == 0) return;
  const bool exitInUse = ctx.exitProc != nullptr;
  const bool comment = ctx.comment != nullptr && ctx.commentLength > 0;
  std::int32_t follow = 1;
  std::int32_t nameLength = 254;
  if (ctx.fileinfo == 0) {
    nameLength = 0;
    follow = ctx.secureinfo == 1 ? 1 : 0;
  }
  if (comment || exitInUse) follow = 1;
  char stored[kTorqMaxPath] = "";
  const char* input = SlotText(ctx.inputName);
  if (ctx.fileinfo != 0 && *input != '\0') {
    const std::uint32_t n = F_GetFullPathName(input, sizeof stored, stored, nullptr);
    if (n == 0 || n >= sizeof stored) std::strncpy(stored, input, sizeof stored - 1);
    if (ctx.nopath == 1) std::memmove(stored, F_ExtractFileName(stored), std::strlen(F_ExtractFileName(stored)) + 1);
  }
  nameLength = ctx.fileinfo == 0 ? 0 : static_cast<std::int32_t>(std::min<std::size_t>(std::strlen(stored), 254));
  stored[nameLength] = '\0';
  std::int32_t rc = 0;
  trqphd(ctx.recordHandle, rc, nameLength, stored, ctx.iOrg, ctx.iRecform, ctx.iRecsize, &ctx.iDelim, &ctx.exitWord,
         ctx.iBlksize, &ctx.exitWord, ctx.originPair, follow);
  if (rc == 0 && follow != 0) {
    if (ctx.secureinfo != 1 && !exitInUse && !comment) follow = 0;
    trqpsh(ctx.recordHandle, rc, ctx.attrLength, ctx.attributes, follow);
  }
  if (rc == 0 && follow != 0) {
    if (exitInUse) {
      trqpuh(ctx.recordHandle, rc, ctx.keyLength, ctx.keyBuffer);
    } else {
      std::int32_t length = comment ? ctx.commentLength : 0;
      trqpuh(ctx.recordHandle, rc, length, reinterpret_cast<const std::uint8_t*>(ctx.comment));
      ctx.commentLength = 0;
    }
  }
  ctx.stepRc = rc;
}

void komp_file(RunContext*& handle) {
  RunContext& ctx = *handle;
  const bool recordLengthGiven = ctx.iRecsize > 0;
  std::int32_t size = recordLengthGiven ? std::max<std::int32_t>(ctx.iRecsize, kRunRecordSize) : kDefaultRecordBuffer;
  ReleaseRecordBuffer(ctx);
  if (size > static_cast<std::int32_t>(kRunRecordSize)) {
    ctx.recordBuffer = static_cast<std::uint8_t*>(rmHeapAlloc(static_cast<std::uint32_t>(size)));
    if (ctx.recordBuffer == nullptr) {
      ctx.stepRc = -1;
      return;
    }
  } else {
    ctx.recordBuffer = ctx.builtinRecord;
  }
  ctx.recordBufferSize = size;
  const bool relative = ctx.iOrg == 2;
  const std::uint8_t* table = ctx.translate != 0 && ctx.translate != static_cast<std::int32_t>(0x80000001u) ? ctx.codeTable : nullptr;
  bool lastWithoutDelimiter = false;
  bool readFailed = false;
  // Plain records go in runs, in place from the input's buffer into the matrix; whatever a run
  // leaves (the edges of the file, translation, gaps) takes the record-by-record road.
  const bool runs = table == nullptr && !relative;
  std::array<RecordRef, 256> run;
  std::int32_t rc = 0;
  while (rc == 0) {
    if (runs) {
      std::int32_t count = 0;
      FioGetRun(ctx.fileSlot, rc, ctx.recordBufferSize, run.data(), static_cast<std::int32_t>(run.size()), count);
      if (rc != 0) {
        readFailed = rc != 2;
        break;
      }
      if (count > 0) {
        std::int32_t taken = 0;
        TrqPutRun(ctx.recordHandle, rc, run.data(), count, taken);
        continue;
      }
    }
    std::int32_t length = 0;
    fioget(ctx.fileSlot, rc, length, ctx.recordBuffer, ctx.recordBufferSize);
    if (rc == 105) {
      lastWithoutDelimiter = true;
      rc = 0;
    }
    if (relative && rc == 3) {
      ctx.gapCount += 1;
      rc = 0;
      continue;
    }
    if (rc != 0) {
      readFailed = rc != 2;
      break;
    }
    if (ctx.gapCount > 0) {
      trqpos(ctx.recordHandle, rc, ctx.gapCount);
      ctx.gapCount = 0;
      if (rc != 0) break;
    }
    if (table != nullptr) {
      for (std::int32_t i = 0; i < length; ++i) ctx.recordBuffer[i] = table[ctx.recordBuffer[i]];
    }
    trqput(ctx.recordHandle, rc, length, ctx.recordBuffer);
  }
  if (readFailed) rc = Tagged(kInputTag, rc);
  if (rc == 2 && lastWithoutDelimiter) rc = 105;
  ctx.stepRc = rc;
}

void flush_komp_torqfile(RunContext*& handle) {
  RunContext& ctx = *handle;
  std::int32_t previous[3] = {ctx.containerTotals[0], ctx.containerTotals[1], ctx.containerTotals[2]};
  std::uint32_t t[6] = {};
  std::int32_t rc = 0;
  trqflu(ctx.recordHandle, rc, t[0], t[1], t[2], t[3], t[4], t[5]);
  if (rc == 0) {
    for (int i = 0; i < 6; ++i) ctx.containerTotals[i] = static_cast<std::int32_t>(t[i]);
  }
  KeepFirst(ctx, rc);
  TwoPartDifference(ctx.containerTotals, previous, ctx.memberCounts);
}

void close_torqin(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (!ctx.fileOpen) return;
  std::int32_t rc = 0;
  if (ctx.gapCount > 0 && ctx.recordHandle != nullptr) {
    trqpos(ctx.recordHandle, rc, ctx.gapCount);
    KeepFirst(ctx, rc);
  }
  ctx.gapCount = 0;
  fiocls(ctx.fileSlot, rc);
  if (rc != 0) KeepFirst(ctx, Tagged(kInputTag, rc));
  ReleaseRecordBuffer(ctx);
  if (Shows(ctx, {kShowAll, kShowStatistic})) stat_unkomp(handle, ctx.memberCounts[0], ctx.memberCounts[1], ctx.memberCounts[2]);
  ctx.fileOpen = 0;
  if (RunState* state = CurrentRunState(); state != nullptr && ctx.stepRc == 0) {
    state->processedInputs.emplace_back(SlotText(ctx.inputName));
  }
}

void close_komp_torqfile(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (!ctx.containerOpen) {
    ReleaseHalfOpenContainer(ctx);
    return;
  }
  std::int32_t rc = 0;
  if (ctx.gapCount > 0) {
    trqpos(ctx.recordHandle, rc, ctx.gapCount);
    KeepFirst(ctx, rc);
  }
  ctx.memberNumber = 0;
  std::uint32_t u[3] = {}, c[3] = {};
  trqcls(ctx.recordHandle, rc, ctx.coderCloseWord, u[0], u[1], u[2], c[0], c[1], c[2]);
  for (int i = 0; i < 3; ++i) {
    ctx.uncompressedTotals[i] = static_cast<std::int32_t>(u[i]);
    ctx.compressedTotals[i] = static_cast<std::int32_t>(c[i]);
  }
  KeepFirst(ctx, rc);
  if (Shows(ctx, {kShowAll, kShowStatistic})) {
    msg_komp_torqfile(handle);
    stat_komp(handle, ctx.compressedTotals[0], ctx.compressedTotals[1], ctx.compressedTotals[2]);
  }
  ctx.containerOpen = 0;
  if (RunState* state = CurrentRunState(); state != nullptr) state->writtenFiles.emplace_back(SlotText(ctx.containerName));
}

void rec_form_delim(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (ctx.attrLength < 1 || ctx.attrLength > 4) return;
  ctx.iRecform = ctx.attributes[0];
  if (ctx.attrLength == 1) return;
  const std::uint8_t second = ctx.attributes[1];
  if (ctx.attrLength == 3 && ctx.originPair[1] == 128 && second == 1 && ctx.attributes[2] == 10) {
    ctx.iDelim = MakeDelimiter(0x0A, 0, 1);
  } else if (ctx.iRecform == 216) {
    ctx.delimPadPair[0] = second;
    ctx.delimPadPair[1] = 1;
  } else {
    const std::uint8_t third = ctx.attrLength >= 3 ? ctx.attributes[2] : 0;
    ctx.iDelim = MakeDelimiter(second, third, third != 0 ? 2 : 1);
  }
}
