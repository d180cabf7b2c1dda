#include "torqup/run_driver.h"

#include "support/build_stamp.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "cmp/record_interface.h"
#include "fio/fio.h"
#include "fio/name_expansion.h"
#include "support/format.h"
#include "support/heap.h"
#include "support/message_output.h"
#include "support/sysinfo.h"
#include "torqup/key_exit.h"
#include "torqup/listings.h"
#include "torqup/output_names.h"
#include "torqup/run_state.h"
#include "torqup/shown_names.h"
#include "torqup/steps.h"
#include "torqup/temporary_files.h"

TORQ_BUILD_STAMP("TorqUp")

namespace {

constexpr std::int32_t kWorkBufferSize = 32767;
constexpr std::int32_t kNoMemory = 999;
constexpr std::int32_t kInputNotFound = 31;
constexpr std::int32_t kTooManyOutputs = 102;
constexpr std::int32_t kNothingSelected = 104;
constexpr std::int32_t kNoDelimiterAtEnd = 105;
constexpr std::int32_t kNoFileHeader = 106;
constexpr std::int32_t kRecordsTruncated = 111;
constexpr std::int32_t kInvalidContainerPattern = static_cast<std::int32_t>(0xF0000027u);
constexpr std::int32_t kNoMemberSelected = static_cast<std::int32_t>(0xA0000027u);

bool ShowsTitle(std::int32_t show) { return show >= kShowAll && show <= kShowStatistic; }

void CopySlot(std::uint8_t* to, const std::uint8_t* from) { SetSlot(to, SlotView(from)); }

// Walks a name list: the current entry is copied into `slot` and the cursor steps over it.
// With one name the list is the given slot itself.
class NameList {
 public:
  NameList(std::int32_t count, std::uint8_t* givenName, std::uint8_t* list, std::uint8_t* pattern)
      : cursor_(count > 1 ? list : pattern) {
    if (count <= 1) CopySlot(pattern, givenName);
  }
  void Next(std::uint8_t* slot) {
    if (cursor_ == nullptr) return;
    if (cursor_ == slot) {
      cursor_ = nullptr;
      return;
    }
    CopySlot(slot, cursor_);
    cursor_ += cursor_[0] + 2;
    if (cursor_[0] == 0) cursor_ = nullptr;
  }

 private:
  std::uint8_t* cursor_;
};

class Expansion {
 public:
  ~Expansion() { Close(); }
  void Close() {
    if (context_ == nullptr) return;
    std::int32_t rc = 0, state = kFilpasEnd;
    std::uint8_t scratch[kFilpasResultSize] = {};
    filpas(context_, rc, state, scratch, scratch);
  }
  // rc of the next file of the pattern, its name in `name`.
  std::int32_t Next(const std::uint8_t* pattern, std::uint8_t* name, std::int32_t& state) {
    std::int32_t rc = 0;
    filpas(context_, rc, state, pattern, name);
    return rc;
  }

 private:
  FilpasContext* context_ = nullptr;
};

struct Driver {
  RunContext*& handle;
  RunContext& ctx;
  RunState& state;
  Expansion expansion;
  std::int32_t savedError = 0;

  void Compress();
  void Decompress();
  void DecompressContainer(PatternKind kind, std::int32_t& membersWritten, bool& noHeaderSeen);
  void RestoreOutputAttributes();
  void TakeMemberAttributes();
  void ReportWarning();
};

void Driver::Compress() {
  if (ctx.exitProc != nullptr) {
    if (KmExitCompress(ctx) != 0) {
      ctx.stepRc = kRcExitAbend;
      return;
    }
  }
  const std::int32_t method = ctx.mode & 0x0F;
  if (method <= 2) {
    ctx.maxrecords = std::min(ctx.maxrecords, 255);
  } else if (method == 3 || method == 4) {
    ctx.maxrecords = std::min(ctx.maxrecords, 4095);
    if (ctx.maxbuffer != 64) ctx.maxbuffer = 65536;
  }
  if (ctx.show == kShowAll || ctx.show == kShowStatistic) msg_komp_attr(handle);
  const std::int32_t savedOrg = ctx.iOrg;
  ctx.savedOrg = savedOrg;
  if (ctx.inputCount == 0) ctx.inputCount = 1;
  if (ctx.containerCount == 0) ctx.containerCount = 1;
  NameList inputs(ctx.inputCount, ctx.inputName, ctx.inputCursor, ctx.currentPattern);
  NameList containers(ctx.containerCount, ctx.containerName, ctx.containerCursor, ctx.currentContainerPattern);
  bool stop = false;
  while (ctx.inputCount > 0 && ctx.stepRc == 0 && !stop) {
    ctx.inputCount -= 1;
    ctx.containerCount -= 1;
    inputs.Next(ctx.currentPattern);
    expansion.Close();
    if (ctx.containerCount >= 0) {
      close_komp_torqfile(handle);
      if (ctx.stepRc != 0) break;
      containers.Next(ctx.currentContainerPattern);
    }
    std::int32_t filpasState = kFilpasFirst;
    for (bool first = true;; first = false) {
      std::int32_t rc = expansion.Next(ctx.currentPattern, ctx.inputName, filpasState);
      if (rc != 0) {
        if (rc == 2 && first && ctx.iUserio != 1) rc = kInputNotFound;
        if (rc == 2) break;
        if (ctx.show != kShowNone) {
          MsgPut(1130, ShownSlot(ctx.currentPattern).c_str());
          MsgPutReturnCode(rc);
        }
        ctx.stepRc = rc;
        stop = true;
        break;
      }
      const std::string_view containerPattern = SlotView(ctx.currentContainerPattern);
      if (containerPattern.empty() || containerPattern[0] != '[') {
        CopySlot(ctx.containerName, ctx.currentContainerPattern);
      } else if (containerPattern == "[]" || containerPattern.starts_with("[*")) {
        ctx.stepRc = kInvalidContainerPattern;
        stop = true;
        break;
      } else {
        std::int32_t kind = 0;
        const std::int32_t named = copnam(&ctx, ctx.inputName, ctx.newContainerName, kind, ctx.currentContainerPattern);
        if (named != 0) {
          if (!ReportedWhereBuilt(named)) {
            MsgPut(1130, ShownSlot(ctx.inputName).c_str());
            MsgPutErrorNoInserts(2, named);
          }
          savedError = named;
          continue;
        }
        close_komp_torqfile(handle);
        if (ctx.stepRc != 0) {
          stop = true;
          break;
        }
        CopySlot(ctx.containerName, ctx.newContainerName);
      }
      std::int32_t same = 0;
      chknam(handle, same, ctx.inputName, ctx.containerName);
      if (same != 0) {
        savedError = same;
        MsgPut(1130, ShownSlot(ctx.inputName).c_str());
        MsgPutErrorNoInserts(2, same);
        continue;
      }
      ctx.iOrg = savedOrg;
      open_torqin(handle);
      if (!ctx.containerOpen && ctx.stepRc == 0) open_komp_torqfile(handle);
      if (ctx.stepRc == 0) {
        put_header(handle);
        if (ctx.stepRc == 0) {
          komp_file(handle);
          if (ctx.stepRc == 2) {
            ctx.stepRc = 0;
          } else if (ctx.stepRc == kNoDelimiterAtEnd) {
            MsgPut(1130, ShownSlot(ctx.inputName).c_str());
            MsgPutError(1, kNoDelimiterAtEnd);
            ctx.stepRc = 0;
          } else if (ctx.stepRc != 0) {
            ReportFileFailure(ctx, ctx.stepRc);
          }
        }
        flush_komp_torqfile(handle);
      }
      if (ctx.stepRc != 0) {
        stop = true;
        break;
      }
      close_torqin(handle);
    }
    if (ctx.stepRc == 2) ctx.stepRc = 0;
  }
  close_torqin(handle);
  close_komp_torqfile(handle);
  if (ctx.stepRc == 0 && savedError != 0) ctx.stepRc = savedError;
  if (ctx.stepRc == 0 && ctx.containerCount > 0) ctx.stepRc = kTooManyOutputs;
}

void Driver::RestoreOutputAttributes() {
  ctx.oOrg = ctx.savedOrg;
  ctx.oRecform = ctx.savedOutRecform;
  ctx.oDelim = ctx.savedOutDelim;
  ctx.oRecsize = ctx.savedOutRecsize;
  ctx.oBlksize = ctx.savedOutBlksize;
  ctx.oDevice = ctx.savedOutDevice;
  ctx.oUserio = ctx.savedOutUserio;
  ctx.oClosedisp = ctx.savedOutClosedisp;
  std::memcpy(ctx.fillPair, ctx.savedFillPair, 2);
}

void Driver::TakeMemberAttributes() {
  auto pick = [](std::int32_t given, std::int32_t member) { return given >= 0 ? given : member; };
  ctx.oOrg = pick(ctx.savedOrg, ctx.iOrg);
  ctx.oRecform = pick(ctx.savedOutRecform, ctx.iRecform);
  ctx.oDelim = ctx.savedOutDelim != 0 ? ctx.savedOutDelim : ctx.iDelim;
  ctx.oRecsize = pick(ctx.savedOutRecsize, ctx.iRecsize);
  ctx.oBlksize = pick(ctx.savedOutBlksize, ctx.iBlksize);
  ctx.oDevice = pick(ctx.savedOutDevice, ctx.iDevice);
  ctx.oClosedisp = pick(ctx.savedOutClosedisp, ctx.iClosedisp);
  if (ctx.savedFillPair[1] == 1) std::memcpy(ctx.fillPair, ctx.savedFillPair, 2);
  ctx.oUserio = ctx.savedOutUserio;
}

void Driver::ReportWarning() {
  if (ctx.warning == 0) return;
  // Records extended, or cut as the cut option asked, are a warning: the run goes on.
  MsgPutErrorNoInserts(1, ctx.warning);
  ctx.warning = 0;
}

// One container file: its members into the output files the current pattern names.
void Driver::DecompressContainer(PatternKind kind, std::int32_t& membersWritten, bool& noHeaderSeen) {
  std::int32_t last = 0;
  const bool negative = static_cast<std::int32_t>(kind) < 0;
  do {
    if (ctx.stepRc == 9) {
      if (kind == PatternKind::kWhole || kind == PatternKind::kLastPart) return;
      ctx.stepRc = 0;
    }
    if (!negative) {
      RestoreOutputAttributes();
      ctx.attrLength = 0;
      std::int32_t patternKind = 0;
      const std::int32_t named = copnam(&ctx, ctx.containerName, ctx.newContainerName, patternKind, ctx.currentPattern);
      if (named != 0) {
        // A name too long, or a folder that cannot be made, was reported where it was built; the
        // latter is an output that cannot be opened.
        savedError = named == kRcNameTooLong ? named : ReportedWhereBuilt(named) ? Tagged(0xA0000000u, named) : kRcNotSelected;
        if (!ReportedWhereBuilt(named)) msg_deko_norepl(handle);
        close_deko_torqfile_err(handle);
        return;
      }
      CopySlot(ctx.outputName, ctx.newContainerName);
      std::int32_t same = 0;
      chknam(handle, same, ctx.outputName, ctx.containerName);
      if (same != 0) {
        savedError = same;
        MsgPut(1129, ShownSlot(ctx.containerName).c_str());
        MsgPutErrorNoInserts(2, same);
        close_deko_torqfile_err(handle);
        return;
      }
      ctx.memberListPending = 1;
      open_torqout(handle);
      last = ctx.stepRc;
      while (ctx.stepRc == 0) {
        deko_file(handle);
        last = ctx.stepRc;
        if (ctx.memberListPending && ctx.show == kShowAll) {
          msg_deko_torqin(handle);
          ctx.memberListPending = 0;
        }
        membersWritten += 1;
        ReportWarning();
        // A next member whose header fails leaves this output without its members: not kept.
        if (last == kNextMemberOutOfStep) state.outputFailed = true;
        if (last != 6) break;
        ctx.stepRc = 0;
        get_header(handle);
        if (ctx.stepRc == 9) ctx.stepRc = 0;
        if (ctx.stepRc != 0) {
          // The next member's headers failed: the output lacks its members and is not kept, and
          // the code ends the container instead of a fresh open that would replace the output.
          last = ctx.stepRc;
          state.outputFailed = true;
          break;
        }
        ctx.memberListPending = 1;
      }
      ctx.stepRc = 0;
      close_torqout(handle);
    } else {
      std::int32_t selected = -1;
      while (ctx.stepRc == 0) {
        std::int32_t patternKind = 0;
        selected = copnam(&ctx, ctx.memberName, ctx.newContainerName, patternKind, ctx.currentPattern, true);
        if (selected == 0) break;
        if (selected == kRcInvalidName) {
          MsgPut(1130, ShownSlot(ctx.memberName).c_str());
          MsgPutError(2, kRcInvalidName);
          state.refusedNames += 1;
        }
        if (ReportedWhereBuilt(selected) && savedError == 0) {
          savedError = selected == kRcNameTooLong ? selected : Tagged(0xA0000000u, selected);
        }
        trqpos(ctx.recordHandle, ctx.stepRc, kTrqNextMember);
        if (ctx.stepRc == 0) {
          get_header(handle);
          if (ctx.stepRc == 9) {
            noHeaderSeen = true;
            ctx.stepRc = 0;
          }
        }
      }
      if (selected != 0) {
        if (ctx.stepRc != 2) ctx.stepRc = kNoMemberSelected;
        last = ctx.stepRc;
        ctx.stepRc = 0;
        break;
      }
      CopySlot(ctx.outputName, ctx.newContainerName);
      TakeMemberAttributes();
      open_torqout(handle);
      last = ctx.stepRc;
      if (ctx.stepRc == 0) {
        deko_file(handle);
        last = ctx.stepRc;
        if (ctx.show == kShowAll) msg_deko_torqin(handle);
        membersWritten += 1;
        ReportWarning();
      }
      ctx.stepRc = 0;
      close_torqout(handle);
      if (last == 6 && ctx.stepRc == 0) {
        get_header(handle);
        if (ctx.stepRc == 9) {
          noHeaderSeen = true;
          ctx.stepRc = 0;
        }
      }
    }
  } while (last == 6 && ctx.stepRc == 0);
  if (last != 6 && last != 2 && last != 0) {
    ctx.stepRc = last;
    std::int32_t infoRc = 0;
    trqinfo(ctx.recordHandle, infoRc, last, ctx.memberNumber);
  }
  if (ctx.stepRc == 2) ctx.stepRc = 0;
  if (ctx.stepRc == 0 || last == 2) {
    close_deko_torqfile(handle);
    if (ctx.stepRc == 0) {
      state.processed.ContainerRead(state.currentContainer, std::string(SlotView(ctx.containerName)), ctx.memberNumber);
    }
  }
}

void Driver::Decompress() {
  if (ShowsTitle(ctx.show)) msg_deko_attr(handle);
  ctx.savedOrg = ctx.oOrg;
  ctx.savedOutRecform = ctx.oRecform;
  ctx.savedOutDelim = ctx.oDelim;
  ctx.savedOutRecsize = ctx.oRecsize;
  ctx.savedOutBlksize = ctx.oBlksize;
  ctx.savedOutDevice = ctx.oDevice;
  ctx.savedOutUserio = ctx.oUserio;
  ctx.savedOutClosedisp = ctx.oClosedisp;
  std::memcpy(ctx.savedFillPair, ctx.fillPair, 2);
  if (ctx.outputCount == 0) ctx.outputCount = 1;
  if (ctx.containerCount == 0) ctx.containerCount = 1;
  NameList outputs(ctx.outputCount, ctx.outputName, ctx.outputCursor, ctx.currentPattern);
  NameList containers(ctx.containerCount, ctx.containerName, ctx.containerCursor, ctx.currentContainerPattern);
  while (ctx.containerCount > 0 && ctx.stepRc == 0) {
    ctx.containerCount -= 1;
    containers.Next(ctx.currentContainerPattern);
    expansion.Close();
    ctx.outputCount -= 1;
    if (ctx.outputCount >= 0) {
      close_torqout(handle);
      if (ctx.stepRc != 0) break;
      outputs.Next(ctx.currentPattern);
    }
    std::int32_t membersWritten = 0;
    std::int32_t filpasState = kFilpasFirst;
    std::int32_t loopCode = 0;
    PatternKind kind = PatternKind::kPlain;
    for (bool first = true;; first = false) {
      std::int32_t rc = expansion.Next(ctx.currentContainerPattern, ctx.containerName, filpasState);
      if (rc != 0) {
        if (rc == 2 && first && ctx.kUserio != 1) rc = kInputNotFound;
        if (rc != 2) {
          if (ctx.show != kShowNone) {
            MsgPut(1129, ShownSlot(ctx.currentContainerPattern).c_str());
            MsgPutReturnCode(rc);
          }
          ctx.stepRc = rc;
        }
        loopCode = rc;
        break;
      }
      open_deko_torqfile(handle);
      bool noHeaderSeen = false;
      ctx.memberNumber = 0;
      if (ctx.stepRc == 0) get_header(handle);
      if (ctx.stepRc == 9) {
        noHeaderSeen = true;
        ctx.stepRc = 0;
      }
      if (ctx.stepRc == 0 && ctx.show == kShowAttributes) {
        // The attribute listing has read through every member's headers: the container is
        // listed, not restored.
        close_deko_torqfile(handle);
      } else if (ctx.stepRc == 0) {
        bool balanced = true;
        kind = OutputPatternKind(SlotView(ctx.currentPattern), &balanced);
        if (!balanced) {
          savedError = kRcNotSelected;
          msg_deko_norepl(handle);
          close_deko_torqfile_err(handle);
        } else {
          if (kind == PatternKind::kPlain && ctx.outputCount >= 0) CopySlot(ctx.outputName, ctx.currentPattern);
          DecompressContainer(kind, membersWritten, noHeaderSeen);
        }
      }
      if (static_cast<std::int32_t>(kind) < 0 && noHeaderSeen) MsgPutError(1, kNoFileHeader);
      if (ctx.stepRc != 0) {
        loopCode = ctx.stepRc;
        close_deko_torqfile_err(handle);
        break;
      }
    }
    if (loopCode != 0 && kind == PatternKind::kSelect && membersWritten == 0 && ctx.show != kShowAttributes) {
      if (savedError == 0) savedError = kNothingSelected;
      MsgPutError(2, kNothingSelected);
    }
    if (ctx.stepRc == 2) ctx.stepRc = 0;
  }
  close_deko_torqfile(handle);
  close_torqout(handle);
  if (ctx.stepRc == 0) {
    if (savedError == 0 && state.refusedNames > 0) savedError = kNoMemberSelected;
    if (savedError != 0) {
      ctx.stepRc = savedError;
    } else if (ctx.outputCount > 0) {
      ctx.stepRc = kTooManyOutputs;
    }
  }
}

void ReleaseRun(RunContext*& handle, std::int32_t givenCounts[3]) {
  RunContext& ctx = *handle;
  if (ctx.fileSlot != nullptr) {
    std::int32_t rc = 0;
    fiocls(ctx.fileSlot, rc);
  }
  if (ctx.containerOpen) {
    std::int32_t rc = 0, word = 0;
    std::uint32_t counts[6] = {};
    trqcls(ctx.recordHandle, rc, word, counts[0], counts[1], counts[2], counts[3], counts[4], counts[5]);
  }
  ReleaseHalfOpenContainer(ctx);
  if (ctx.recordBuffer != nullptr && ctx.recordBuffer != ctx.builtinRecord) rmHeapFree0(&ctx.recordBuffer);
  std::uint8_t* lists[3] = {ctx.inputList, ctx.containerList, ctx.outputList};
  for (int i = 0; i < 3; ++i) {
    if (givenCounts[i] > 1 && lists[i] != nullptr && lists[i] != ctx.nameListBuffer) rmHeapFree(lists[i]);
  }
  rmHeapFree0(&ctx.nameListBuffer);
  rmHeapFree0(&ctx.parString);
  rmHeapFree0(&ctx.exitParm);
  rmHeapFree0(&ctx.keyBuffer);
  rmHeapFree0(&ctx.messageBuffer);
  rmHeapFree0(&ctx.workBuffer);
  rmHeapFree0(&ctx.comment);
  if (ctx.exitModule != nullptr) TorqDynFree(ctx.exitModule);
  rmHeapFree0(&handle);
}

}  // namespace

void torqup(RunContext*& handle, std::int32_t& rc, const char* parameterString, const std::uint32_t& length) {
  handle = static_cast<RunContext*>(rmHeapAlloc(sizeof(RunContext)));
  if (handle == nullptr) {
    rc = -1;
    return;
  }
  RunContext& ctx = *handle;
  rc = 0;
  ctx.stepRc = 0;
  ctx.warning = 0;
  ctx.originPair[0] = ctx.originPair[1] = 0;
  ctx.userExitWord = 0;
  const std::size_t textLength = parameterString == nullptr ? 0 : strnlen(parameterString, length);
  ctx.parString = static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(textLength + 1)));
  if (ctx.parString == nullptr) {
    MsgPutSystemError(-1);
    rc = -1;
    rmHeapFree0(&handle);
    return;
  }
  if (textLength > 0) std::memcpy(ctx.parString, parameterString, textLength);
  ctx.tokenLength = static_cast<std::int32_t>(textLength);
  ctx.parse = ctx.parString;
  RunState state;
  SetCurrentRunState(&state);
  std::int32_t givenCounts[3] = {};
  ctx.workBuffer = static_cast<std::uint8_t*>(rmHeapAlloc(kWorkBufferSize));
  if (ctx.workBuffer == nullptr) {
    rc = -1;
  } else {
    ctx.userHeaderLength = 0;
    rc = chparam(handle);
    givenCounts[0] = ctx.inputCount;
    givenCounts[1] = ctx.containerCount;
    givenCounts[2] = ctx.outputCount;
    if (rc == 1) {
      rc = torq_list(ctx.parString);
    } else if (rc == 0 && ctx.defaultsMarker != 'd') {
      Driver driver{handle, ctx, state, {}, 0};
      if (ctx.function == 1 && ctx.cryptmode == 32) ctx.secureinfo = 1;
      if (ShowsTitle(ctx.show)) msg_title(handle);
      ctx.containerOpen = 0;
      ctx.fileOpen = 0;
      std::int32_t exitRc = 0;
      if (NeedKmExit(&ctx, exitRc) != 0) {
        TorqKmExitProc* procedure = TorqDynLoad(ctx.stepRc, ctx.exitModule, SlotText(ctx.exitModuleName), ctx.exitProcName);
        ctx.exitProc = reinterpret_cast<TorqKmeProc>(procedure);
        if (ctx.stepRc != 0) {
          MsgPutF("TKME DLL: %s Procedure: %s\n", SlotText(ctx.exitModuleName), ctx.exitProcName);
          MsgPutErrorNoInserts(2, ctx.stepRc);
        } else if (KmExitStart(ctx) != 0) {
          ctx.stepRc = kRcExitAbend;
        }
      } else {
        ctx.stepRc = exitRc;
      }
      if (ctx.stepRc == 0) {
        if (ctx.function == 1) {
          driver.Compress();
        } else {
          driver.Decompress();
        }
      }
      std::int32_t runRc = ctx.stepRc == -1 ? kNoMemory : ctx.stepRc;
      // A record cut on output comes tagged with the output file's origin.
      if (runRc == kRecordsTruncated || runRc == Tagged(0xA0000000u, kRecordsTruncated)) {
        runRc = ctx.cut == 1 ? 71 : 72;
      }
      if (runRc == 0) {
        const bool deleteInputs = ctx.function == 1 ? ctx.iDelete == 1 : ctx.kDelete == 1;
        if (deleteInputs) {
          // Everything the run wrote reached the disk as it took its place.
          const std::int32_t erased = state.processed.DeleteAll();
          if (erased != 0) runRc = static_cast<std::int32_t>(0xE0000000u | static_cast<std::uint32_t>(erased));
        }
      }
      driver.expansion.Close();
      if (ctx.show != kShowNone && ctx.show != kShowError) {
        char runTime[kFormatProcessTimeSize] = "", cpuTime[kFormatProcessTimeSize] = "";
        F_GetProcessTimes(runTime, cpuTime);
        MsgListF("%s\n", Banner(11, 0, 0));
        MsgPut(1116, runTime, cpuTime);
        MsgListF("%s\n", Banner(11, 0, 0));
      }
      if ((runRc >= 10 && runRc <= 19) || (runRc >= 60 && runRc <= 80)) {
        MsgPut(1129, ctx.containerName[0] != 0 ? ShownSlot(ctx.containerName).c_str() : "STDIN$");
      }
      if (runRc == 351 || runRc == 352) MsgPutError(2, 1369, ctx.memberNumber);
      if (runRc != 0 && ctx.show != kShowNone) {
        MsgPutF("*ERROR* 0x%08X\n", static_cast<std::uint32_t>(runRc));
        MsgPutReturnCode(runRc);
      }
      rc = runRc;
    }
  }
  SetCurrentRunState(nullptr);
  ReleaseRun(handle, givenCounts);
  // Whatever was not renamed into place by now belongs to a failed file.
  RemoveTemporaries();
}
