#include <fcntl.h>
#include <unistd.h>

#include <array>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "support/build_stamp.h"

#include "cmp/record_interface.h"
#include "fio/buffered_file_api.h"
#include "fio/fio.h"
#include "support/heap.h"
#include "support/message_output.h"
#include "support/paths.h"
#include "support/torqutil.h"
#include "torqup/listings.h"
#include "torqup/run_state.h"
#include "torqup/shown_names.h"
#include "torqup/steps.h"
#include "torqup/temporary_files.h"
#include "torqup/two_part_counts.h"

TORQ_BUILD_STAMP("TorqKomp")

namespace {

constexpr std::uint32_t kInputTag = 0xE0000000u;
constexpr std::uint32_t kContainerSystemTag = 0xFF000000u;
constexpr std::int32_t kDefaultRecordBuffer = 32768;
constexpr std::int32_t kRcInvalidMode = 22;
constexpr std::int32_t kRcInvalidCharCode = 26;
constexpr std::int32_t kRcReadError = 98;
constexpr std::int32_t kRcWriteError = 99;

void ReleaseRecordBuffer(RunContext& ctx) {
  if (ctx.recordBuffer != nullptr && ctx.recordBuffer != ctx.builtinRecord) rmHeapFree(ctx.recordBuffer);
  ctx.recordBuffer = nullptr;
}

// A container file holds blocks of one form: 7-bit letters in one character code, or 8-bit
// binary. Adding members of another form would leave a file no reader can take, so `add` to
// an existing container is refused unless the run writes the container's own form: 22 for
// the other form, 26 for 7-bit letters of the other character code; 0 when it fits or the
// file is too short to tell.
std::int32_t CheckAddedForm(const RunContext& ctx, const char* name) {
  const int fd = open(name, O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd < 0) return 0;
  std::uint8_t head[18] = {};
  std::size_t got = 0;
  while (got < sizeof head) {
    const ssize_t n = read(fd, head + got, sizeof head - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    got += static_cast<std::size_t>(n);
  }
  close(fd);
  if (got < sizeof head) return 0;
  const bool ascii = torqutil::TorqFileIsCx7Ascii(head) != 0;
  const bool ebcdic = !ascii && torqutil::TorqFileIsCx7Ebcdic(head) != 0;
  const bool sevenBitRun = (ctx.cryptmode | ctx.mode) == 1;
  if ((ascii || ebcdic) != sevenBitRun) return kRcInvalidMode;
  if (sevenBitRun && ascii != (ctx.torqcode != 0)) return kRcInvalidCharCode;
  return 0;
}

// The container takes its name only when it was closed whole; otherwise its temporary goes.
void FinishContainerFile(RunContext& ctx, RunState& state) {
  if (!state.container.Active()) return;
  if (ctx.stepRc != 0) {
    state.container.Discard();
    return;
  }
  const std::string target = state.container.Target();
  if (const int error = state.container.Commit(); error != 0) {
    ctx.stepRc = Tagged(kContainerSystemTag, error & 0xFFFFFF);
    MsgPutSystemError(error);
    MsgPutF("*ERROR* %s\n", ShownName(target).c_str());
  }
}

// A code of the container side that becomes the step's code is reported as such.
void KeepContainerFailure(RunContext& ctx, std::int32_t rc) {
  if (ctx.stepRc != 0 || rc == 0) return;
  ctx.stepRc = rc;
  ReportFileFailure(ctx, rc);
}

}  // namespace

void ReportFileFailure(const RunContext& ctx, std::int32_t rc) {
  const auto code = static_cast<std::uint32_t>(rc);
  const bool container = (code >> 28) == 0xF;
  const char* name = SlotText(container ? ctx.containerName : ctx.inputName);
  MsgPutF("*ERROR* %s\n", *name != '\0' ? ShownName(name).c_str() : (container ? "STDOUT$" : "STDIN$"));
  if ((code & 0x0F000000u) == 0x0F000000u) {
    MsgPutErrorNoInserts(2, container ? kRcWriteError : kRcReadError);
  } else {
    MsgPutErrorNoInserts(2, rc & 0xFFFF);
  }
}

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
      const int error = !fits ? ENAMETOOLONG : errno != 0 ? errno : ENOTDIR;
      ctx.stepRc = Tagged(0xFF000000u, error & 0xFFFFFF);
      MsgPutSystemError(error);
      MsgPutF("*ERROR* %s\n", ShownName(name).c_str());
      return;
    }
  }
  // A container file is written under a temporary name and takes its own name when it is
  // closed whole (close_komp_torqfile); with add the old container is copied there first, so
  // a failed or interrupted run leaves it as it was. Standard output, devices and the user
  // I/O exit are written in place.
  char opened[kTorqMaxPath] = {};
  char* written = name;
  RunState* state = CurrentRunState();
  const std::string target(SlotView(ctx.containerName));
  if (state != nullptr && ctx.kUserio != 1 && WritesThroughTemporary(target)) {
    // With add, the container stays locked until its copy takes its place: a second run that
    // adds to it waits, then adds to what this one leaves.
    const bool add = ctx.containerOpenMode == 9;
    if (const int error = state->container.Begin(target, add); error != 0) {
      ctx.stepRc = Tagged(kContainerSystemTag, error & 0xFFFFFF);
      MsgPutSystemError(error);
      MsgPutF("*ERROR* %s\n", ShownName(target).c_str());
      return;
    }
    if (add) {
      if (const std::int32_t form = CheckAddedForm(ctx, state->container.Name().c_str()); form != 0) {
        state->container.Discard();
        MsgPutF("*ERROR* %s\n", ShownName(target).c_str());
        ctx.stepRc = form;
        return;
      }
    }
    std::strncpy(opened, state->container.Name().c_str(), sizeof opened - 1);
    written = opened;
  }
  std::int32_t rc = 0;
  trqopn(ctx.recordHandle, rc, 1, ctx.containerOpenMode, written, ctx.show);
  SetSlotLength(ctx.containerName);
  if (rc != 0) {
    ctx.stepRc = rc;
    return;
  }
  if (ctx.kUserio == 1) ctx.kDevice = 7;
  std::int32_t nameLength = written == name ? 254 : static_cast<std::int32_t>(sizeof opened - 1);
  trqopd(ctx.recordHandle, rc, 1, nameLength, written, ctx.kOrg, ctx.kRecform, ctx.kRecsize, ctx.kDelim, ctx.trqopdWord,
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
  KeepContainerFailure(ctx, rc);
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
  // What was read is taken down before the close, for indelete: an input that changes after
  // this is not deleted.
  if (RunState* state = CurrentRunState(); state != nullptr && ctx.stepRc == 0) {
    state->processed.AddInput(SlotText(ctx.inputName), BasicHandle(FioBasicHandle(ctx.fileSlot)));
  }
  fiocls(ctx.fileSlot, rc);
  if (rc != 0) {
    KeepFirst(ctx, Tagged(kInputTag, rc));
    if (RunState* state = CurrentRunState(); state != nullptr && !state->processed.files.empty()) {
      state->processed.files.pop_back();
    }
  }
  ReleaseRecordBuffer(ctx);
  if (Shows(ctx, {kShowAll, kShowStatistic})) stat_unkomp(handle, ctx.memberCounts[0], ctx.memberCounts[1], ctx.memberCounts[2]);
  ctx.fileOpen = 0;
}

void close_komp_torqfile(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (!ctx.containerOpen) {
    ReleaseHalfOpenContainer(ctx);
    // A container whose open failed was never whole.
    if (RunState* state = CurrentRunState(); state != nullptr) state->container.Discard();
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
  KeepContainerFailure(ctx, rc);
  if (Shows(ctx, {kShowAll, kShowStatistic})) {
    msg_komp_torqfile(handle);
    stat_komp(handle, ctx.compressedTotals[0], ctx.compressedTotals[1], ctx.compressedTotals[2]);
  }
  ctx.containerOpen = 0;
  if (RunState* state = CurrentRunState(); state != nullptr) FinishContainerFile(ctx, *state);
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
