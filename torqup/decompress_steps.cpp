#include <fcntl.h>

#include "support/build_stamp.h"
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cmp/record_interface.h"
#include "fio/fio.h"
#include "support/heap.h"
#include "support/message_output.h"
#include "support/paths.h"
#include "support/sysinfo.h"
#include "torqup/key_exit.h"
#include "torqup/listing_maps.h"
#include "torqup/listings.h"
#include "torqup/output_names.h"
#include "torqup/replace_output.h"
#include "torqup/run_state.h"
#include "torqup/shown_names.h"
#include "torqup/steps.h"
#include "torqup/temporary_files.h"
#include "torqup/two_part_counts.h"

TORQ_BUILD_STAMP("TorqDeko")

namespace {

constexpr std::uint32_t kOutputTag = 0xA0000000u;
constexpr std::int32_t kWorkBufferSize = 32767;

void ReportContainerError(const RunContext& ctx, std::int32_t rc) {
  if (ctx.show == kShowNone) return;
  MsgListF("%s\n", Banner(11, 0, 0));
  MsgPut(1129, ShownSlot(ctx.containerName).c_str());
  MsgPutReturnCode(rc);
}

// Systems whose members carry a system header after the file header.
bool SystemHeaderExpected(const std::uint8_t* origin) {
  const std::uint8_t system = origin[0], maker = origin[1];
  if (system == 0 && maker == 224) return true;
  if ((system >= 17 && system <= 31) || system == 12 || system == 15) return true;
  if (system == 1 && maker == 6) return true;
  if (system == 13) return maker >= 3;
  return system >= 2 && maker >= 2;
}

// The listing shows each member's own method and crypt mode.
void ShowMemberMode(RunContext& ctx, std::int32_t modeWord) {
  ctx.mode = modeWord & 0x0F;
  ctx.cryptmode = modeWord & 0xF0;
}

// A record length or block size as the record layer reads it: the not-given marker is none,
// a negative value counts by its size.
std::uint32_t AsRecordLayerReads(std::int32_t value) {
  if (value == kNotGiven || value == INT32_MIN) return 0;
  return value < 0 ? static_cast<std::uint32_t>(-value) : static_cast<std::uint32_t>(value);
}

// No record format holds a record longer than a matrix carries (65,536 bytes) or a block larger
// than the record layer moves at once. A member header that says more is damaged, and must
// not size the output's buffers.
bool RecordSizesFit(std::int32_t recordLength, std::int32_t blockSize) {
  constexpr std::uint32_t kLongestRecord = 65536;
  return AsRecordLayerReads(recordLength) <= kLongestRecord && AsRecordLayerReads(blockSize) <= kIoPieceSize;
}

// Takes back an output that was not written whole: its temporary file goes, and a target
// appended to in place is cut back to what stood there before (or removed when the open made it).
void DiscardOutput(RunState& state) {
  state.output.Discard();
  if (state.keptLength >= 0 && !state.appendedName.empty()) {
    if (state.targetCreated) {
      if (state.appendLock.Names(state.appendedName)) unlink(state.appendedName.c_str());
    } else if (ftruncate(state.appendLock.Descriptor(), static_cast<off_t>(state.keptLength)) != 0) {
      MsgPutSystemError(errno);
    }
    ReleaseTemporary(state.appendedName);
  }
  state.appendLock.Release();
  state.appendedName.clear();
  state.keptLength = -1;
  state.targetCreated = false;
}

// An output that cannot be opened: the code tagged with its origin, the name the user gave and
// the reason.
void OutputOpenFailed(RunContext& ctx, const std::string& target, std::int32_t rc) {
  ctx.stepRc = Tagged(kOutputTag, rc);
  MsgPut(2013, ShownName(target).c_str());
  MsgPutReturnCode(rc);
}

// An output write that failed names the output; its code stays as the record layer gave it.
void ReportOutputFailure(const RunContext& ctx) { MsgPut(2013, ShownSlot(ctx.outputName).c_str()); }

// Prepares the output of `target` in the run state: a regular file (or a new name) is written
// under a temporary name, or appended to in place under a lock; anything else is written as it
// is. The name fiopen opens, or an errno value.
int PrepareOutput(RunState& state, const std::string& target, bool append, std::string& opened) {
  state.targetName = target;
  state.outputKey.clear();
  state.output.Discard();
  state.appendLock.Release();
  state.appendedName.clear();
  state.keptLength = -1;
  state.targetCreated = false;
  state.outputFailed = false;
  opened = target;
  std::string resolved;
  if (target.empty() || !ReplaceableTarget(target, resolved)) return 0;
  state.outputKey = resolved;
  if (!append) {
    if (const int error = state.output.Begin(target, false); error != 0) return error;
    opened = state.output.Name();
    // What the file held (members restored earlier in this run) goes when it is replaced.
    state.processed.OutputReplaced(resolved);
    return 0;
  }
  // Another run appending to the same file waits for this one, then appends behind it.
  bool created = false;
  if (const int error = state.appendLock.Acquire(resolved, true, created); error != 0) return error;
  state.appendedName = resolved;
  state.keptLength = created ? 0 : state.appendLock.Length();
  state.targetCreated = created;
  RegisterAppended(resolved, state.keptLength, created);
  opened = resolved;
  return 0;
}

}  // namespace

void open_deko_torqfile(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (ctx.containerOpen) return;
  if (RunState* state = CurrentRunState()) state->currentContainer = state->processed.BeginContainer();
  ctx.containerListed = 0;
  ctx.outOpenMode = ctx.append == 1 ? 9 : 1;
  ctx.userExitWord = 0;
  ctx.nameLength = 254;
  ctx.attrLength = 0;
  ctx.maxrecords = 0;
  ctx.recordExitWord = 0;
  std::fill(std::begin(ctx.memberCounts), std::end(ctx.memberCounts), 0);
  ctx.memberNumber = 0;
  char* name = reinterpret_cast<char*>(ctx.containerName + 1);
  std::int32_t rc = 0;
  trqopn(ctx.recordHandle, rc, 1, ctx.containerOpenMode, name, ctx.show);
  if (rc != 0 && rc != 2) {
    ctx.stepRc = rc;
    return;
  }
  std::int32_t word = 254;
  if (ctx.kUserio == 1) ctx.kDevice = 7;
  trqopd(ctx.recordHandle, rc, 1, word, name, ctx.kOrg, ctx.kRecform, ctx.kRecsize, ctx.kDelim, ctx.trqopdWord,
         ctx.kBlksize, ctx.kClosedisp, ctx.kDevice);
  if (rc != 0 && rc != 2) {
    ReportContainerError(ctx, rc);
    ctx.stepRc = rc;
    return;
  }
  SetSlotLength(ctx.containerName);
  std::int32_t modeWord = ctx.mode | ctx.cryptmode;
  trqopf(ctx.recordHandle, rc, word, ctx.torqcode, modeWord, ctx.maxbuffer, ctx.header, ctx.maxrecords, nullptr,
         ctx.blkmode, reinterpret_cast<const char*>(ctx.exk20 + 1), reinterpret_cast<const char*>(ctx.exd20 + 1));
  if (rc != 0 && rc != 2) {
    ReportContainerError(ctx, rc);
    ctx.stepRc = rc;
    return;
  }
  ctx.cryptmode = modeWord & 0xF0;
  ctx.mode = modeWord & 0x0F;
  ctx.containerOpen = 1;
  ctx.userHeaderLength = kWorkBufferSize;
  std::int32_t headerRc = 0;
  trqguh(ctx.recordHandle, headerRc, ctx.userHeaderLength, ctx.workBuffer);
  if (headerRc != 0 || ctx.userHeaderLength < 0 || ctx.userHeaderLength > kWorkBufferSize) ctx.userHeaderLength = 0;
  rc = 0;
  if (ctx.exitProc != nullptr) {
    rc = KmExitDecompress(ctx);
    if (rc != 0) {
      ctx.stepRc = rc;
      return;
    }
  } else if (ctx.userHeaderLength > 0) {
    if (ctx.comment != nullptr && ctx.commentLength > 0) {
      MsgPutText(ctx.comment, std::min(ctx.commentLength, 50));
      MsgListF("%s\n", Banner(11, 0, 0));
    }
    rmHeapFree0(&ctx.comment);
    ctx.comment = static_cast<char*>(rmHeapAlloc(static_cast<std::uint32_t>(ctx.userHeaderLength) + 1));
    if (ctx.comment == nullptr) {
      MsgPutSystemError(-1);
      ctx.commentLength = 0;
      ctx.stepRc = -1;
      return;
    }
    std::memcpy(ctx.comment, ctx.workBuffer, static_cast<std::size_t>(ctx.userHeaderLength));
    ctx.commentLength = ctx.userHeaderLength;
  }
  if (ctx.cryptmode != 0 && Shows(ctx, {kShowAll, kShowAttributes, kShowStatistic})) {
    MsgPut(2004, FindEntryTxt(CryptMap, ctx.cryptmode));
  }
  if (ctx.passwordLength != 0) trqpwd(ctx.recordHandle, rc, ctx.passwordLength, ctx.password);
  ctx.stepRc = rc;
}

void get_header(RunContext*& handle) {
  RunContext& ctx = *handle;
  ctx.memberNumber += 1;
  if (RunState* state = CurrentRunState()) state->firstRecordRead = false;
  if (ctx.header != 1 && ctx.show != kShowAll && ctx.show != kShowAttributes) return;
  // The attribute listing goes through every member of the container here.
  const bool listing = ctx.show == kShowAttributes;
  // The ModeWord of the header record that began the member: for a member without file header
  // the matrix read last (at the open, the container's first).
  std::int32_t startMode = ctx.mode | ctx.cryptmode;
  std::int32_t rc = 0;
  for (;;) {
    std::memset(ctx.memberName, 0, sizeof ctx.memberName);
    ctx.nameLength = 254;
    ctx.recordExitWord = 0;
    trqghd(ctx.recordHandle, rc, ctx.nameLength, reinterpret_cast<char*>(ctx.memberName + 1), ctx.iOrg, ctx.iRecform,
           ctx.iRecsize, &ctx.iDelim, &ctx.exitWord, ctx.iBlksize, &ctx.exitWord, ctx.originPair);
    ctx.memberName[kRunNameSlot - 1] = 0;
    SetSlotLength(ctx.memberName);
    if (rc == 0 && SystemHeaderExpected(ctx.originPair)) {
      ctx.attrLength = static_cast<std::int32_t>(kRunAttrSize);
      trqgsh(ctx.recordHandle, rc, ctx.attrLength, ctx.attributes);
      if (rc == 0) {
        ctx.attrLength = std::clamp<std::int32_t>(ctx.attrLength, 0, static_cast<std::int32_t>(kRunAttrSize));
        ctx.iDelim = 0;
        rec_form_delim(handle);
      } else if (rc == 9) {
        rc = 0;
      }
    }
    if (!listing) break;
    // A member without file header (written with noheader) is listed without a name.
    const bool withoutHeader = rc == 9;
    if (withoutHeader) {
      rc = 0;
      ctx.iOrg = ctx.iRecform = -1;  // not known: not listed
      ctx.iRecsize = 0;
      ctx.originPair[0] = ctx.originPair[1] = 0;
    }
    if (rc != 0 && rc != 2) break;
    std::int32_t kind = 0, modeWord = 0;
    if (!withoutHeader) {
      // The next header record is the member's first matrix, which carries the member's own
      // method; the rest of the member is passed over. A file header there begins the next
      // member at once (a member without records).
      trqrdblh(ctx.recordHandle, rc, kind, modeWord);
      if (rc == 0 || rc == 2) startMode = modeWord;
      ShowMemberMode(ctx, startMode);
      msg_deko_torqin(handle);
      if (rc == 0 && kind != 1) trqpos(ctx.recordHandle, rc, kTrqNextMember);
    } else {
      // Its first matrix has been read already. Its further matrices are passed over up to the
      // next member: one marked as a member's start, one with a file header, or the end.
      ShowMemberMode(ctx, startMode);
      msg_deko_torqin(handle);
      do {
        trqrdblh(ctx.recordHandle, rc, kind, modeWord);
      } while (rc == 0 && kind == 0);
      startMode = modeWord;
    }
    if (rc != 0) {
      if (rc == 7) rc = 29;
      break;
    }
    ctx.memberNumber += 1;
  }
  // The listing ends at the end of the container.
  if (listing && rc == 2) rc = 0;
  ctx.stepRc = rc;
}

void open_torqout(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (ctx.fileOpen) return;
  if (ctx.oUserio == 1) ctx.oDevice = 7;
  if (ctx.streamformat > 1) ctx.oRecform = ctx.streamformat;
  const std::string target(SlotView(ctx.outputName));
  if (!RecordSizesFit(ctx.oRecsize, ctx.oBlksize)) {
    OutputOpenFailed(ctx, target, kFioLengthError);
    return;
  }
  RunState* state = CurrentRunState();
  const std::int32_t openMode = ctx.outOpenMode;
  std::string opened = target;
  if (state != nullptr && ctx.oDevice != 7) {
    // Each output is written under a temporary name and replaces what stood there only when
    // whole; appending writes in place and can be cut back. Standard output, devices and the
    // user I/O exit are written as they come.
    if (const int error = PrepareOutput(*state, target, openMode == kOpenAppend, opened); error != 0) {
      OutputOpenFailed(ctx, target, static_cast<std::int32_t>(0x0F000000u | (error & 0xFFFFFF)));
      return;
    }
  }
  // The temporary name may be longer than a name slot: it is passed whole, never cut.
  std::vector<char> name(std::max(opened.size() + 1, kRunNameSlot), '\0');
  std::memcpy(name.data(), opened.c_str(), opened.size());
  std::uint8_t scratchOrigin[2] = {};
  ctx.nameLength = 254;
  std::int32_t rc = 0;
  fiopen(ctx.fileSlot, rc, openMode, ctx.userExitWord, ctx.oClosedisp, ctx.fillPair, "=TORQOUT", ctx.nameLength, name.data(),
         ctx.oOrg, ctx.oRecform, ctx.oRecsize, ctx.oDelim, ctx.exitWord, ctx.oBlksize, ctx.exitWord, ctx.oDevice,
         ctx.attrLength, ctx.attributes, scratchOrigin);
  if (rc != 0) {
    if (state != nullptr) DiscardOutput(*state);
    OutputOpenFailed(ctx, target, rc);
    return;
  }
  ctx.fileOpen = 1;
}

void deko_file(RunContext*& handle) {
  RunContext& ctx = *handle;
  RunState* state = CurrentRunState();
  const std::uint8_t* table =
      ctx.translate > 0 && ctx.translate != static_cast<std::int32_t>(0x80000001u) ? ctx.codeTable : nullptr;
  const bool trim = ctx.suppress == 1 && (ctx.oRecform == 3 || ctx.oRecform == 11 || ctx.oRecform == 12);
  std::vector<std::uint8_t> local;
  std::vector<std::uint8_t>& copy = state != nullptr ? state->translated : local;
  bool firstRead = state != nullptr ? state->firstRecordRead : false;
  // Plain records go in runs, in place from the matrix into the output's buffer; whatever a
  // run leaves (a new matrix or member, gaps, translation, padded or cut records) takes the
  // record-by-record road.
  std::array<RecordRef, 256> run;
  std::int32_t rc = 0;
  for (;;) {
    if (firstRead && table == nullptr) {
      std::int32_t count = 0, done = 0;
      TrqGetRun(ctx.recordHandle, rc, run.data(), static_cast<std::int32_t>(run.size()), count);
      if (rc != 0) break;
      if (trim) {
        for (std::int32_t i = 0; i < count; ++i) {
          RecordRef& r = run[static_cast<std::size_t>(i)];
          while (r.length > 0 && r.data[r.length - 1] == static_cast<std::uint8_t>(ctx.trimchar)) --r.length;
        }
      }
      // A record the run does not write goes through fioput, and the run goes on behind it.
      while (rc == 0 && done < count) {
        std::int32_t written = 0;
        FioPutRun(ctx.fileSlot, rc, run.data() + done, count - done, written);
        done += written;
        if (rc != 0 || done == count) break;
        const RecordRef& r = run[static_cast<std::size_t>(done++)];
        std::uint8_t empty = 0;
        std::int32_t length = r.length;
        fioput(ctx.fileSlot, rc, length, r.data != nullptr ? const_cast<std::uint8_t*>(r.data) : &empty);
        if (rc == 4 || (rc == 111 && ctx.cut == 1)) {
          if (ctx.warning == 0) ctx.warning = rc;
          rc = 0;
        }
      }
      if (rc != 0) {
        ReportOutputFailure(ctx);
        break;
      }
      if (count > 0) continue;
    }
    std::int32_t length = 0;
    std::uint8_t* record = nullptr;
    TrqGetRecord(ctx.recordHandle, rc, length, record);
    if (!firstRead) {
      firstRead = true;
      std::int32_t modeRc = 0, modeWord = 0;
      trqrdmod(ctx.recordHandle, modeRc, modeWord);
      if (modeRc == 0 && modeWord != 0) ctx.mode = modeWord & 0x0F;
    }
    if (rc == 3) continue;
    if (rc == 7) {
      rc = 29;
      break;
    }
    if (rc != 0) break;
    if (length < 0 || (length > 0 && record == nullptr)) {
      rc = 11;
      break;
    }
    if (trim) {
      while (length > 0 && record[length - 1] == static_cast<std::uint8_t>(ctx.trimchar)) --length;
    }
    if (table != nullptr || trim) {
      copy.assign(record, record + length);
      if (table != nullptr) {
        for (std::uint8_t& b : copy) b = table[b];
      }
      record = copy.data();
    }
    std::uint8_t empty = 0;
    fioput(ctx.fileSlot, rc, length, record != nullptr ? record : &empty);
    if (rc == 4 || (rc == 111 && ctx.cut == 1)) {
      if (ctx.warning == 0) ctx.warning = rc;
      rc = 0;
      continue;
    }
    if (rc != 0) {
      ReportOutputFailure(ctx);
      break;
    }
  }
  if (state != nullptr) {
    state->firstRecordRead = firstRead;
    // A member counter out of step (351) is found in the next member's security header, after
    // this member ended with its trailer checked: its output is whole.
    if (rc != 2 && rc != 6 && rc != kNextMemberOutOfStep) state->outputFailed = true;
    if (rc == 2 || rc == 6) state->processed.MemberRestored(state->currentContainer, state->outputKey);
  }
  std::uint32_t t[6] = {};
  std::int32_t flushRc = 0;
  trqflu(ctx.recordHandle, flushRc, t[0], t[1], t[2], t[3], t[4], t[5]);
  if (flushRc == 0) {
    ctx.containerTotals[3] = static_cast<std::int32_t>(t[0]);
    ctx.containerTotals[4] = static_cast<std::int32_t>(t[1]);
    ctx.containerTotals[5] = static_cast<std::int32_t>(t[2]);
    ctx.containerTotals[0] = static_cast<std::int32_t>(t[3]);
    ctx.containerTotals[1] = static_cast<std::int32_t>(t[4]);
    ctx.containerTotals[2] = static_cast<std::int32_t>(t[5]);
    // The output's running counts grow by this member's records and bytes.
    TwoPartAccumulate(ctx.uncompressedTotals, ctx.containerTotals + 3, ctx.memberCounts);
    std::copy(ctx.containerTotals + 3, ctx.containerTotals + 6, ctx.memberCounts);
  } else if (rc == 0) {
    rc = flushRc;
  }
  ctx.stepRc = rc;
}

void close_torqout(RunContext*& handle) {
  RunContext& ctx = *handle;
  if (!ctx.fileOpen) return;
  if (Shows(ctx, {kShowAll, kShowStatistic})) msg_deko_torqout(handle);
  ctx.gapCount = 0;
  std::int32_t rc = 0;
  fiocls(ctx.fileSlot, rc);
  if (rc != 0) KeepFirst(ctx, Tagged(kOutputTag, rc));
  if (RunState* state = CurrentRunState(); state != nullptr) {
    bool whole = rc == 0 && !state->outputFailed;
    if (whole) {
      // A run that deletes its containers at the end needs the outputs on the disk first: the
      // bytes are flushed through the new file's own descriptor before it takes its place, or
      // through the locked one of a file appended to.
      const bool sync = ctx.kDelete == 1;
      int error = state->output.Commit(sync);
      if (error == 0 && sync && state->appendLock.Descriptor() >= 0 && fsync(state->appendLock.Descriptor()) != 0 &&
          errno != EINVAL) {
        error = errno;
      }
      if (error != 0) {
        const auto code = static_cast<std::int32_t>(0x0F000000u | (error & 0xFFFFFF));
        KeepFirst(ctx, Tagged(kOutputTag, code));
        MsgPut(2013, ShownName(state->targetName).c_str());
        MsgPutReturnCode(code);
        whole = false;
      }
    }
    if (whole) {
      if (!state->appendedName.empty()) ReleaseTemporary(state->appendedName);
      state->appendLock.Release();
      state->appendedName.clear();
      state->keptLength = -1;
      state->targetCreated = false;
    } else {
      DiscardOutput(*state);
    }
    state->outputFailed = false;
  }
  if (Shows(ctx, {kShowAll, kShowStatistic})) {
    stat_unkomp(handle, ctx.uncompressedTotals[0], ctx.uncompressedTotals[1], ctx.uncompressedTotals[2]);
  }
  std::fill(std::begin(ctx.uncompressedTotals), std::end(ctx.uncompressedTotals), 0);
  ctx.fileOpen = 0;
}

namespace {
void CloseContainer(RunContext*& handle, bool report) {
  RunContext& ctx = *handle;
  if (!ctx.containerOpen) {
    ReleaseHalfOpenContainer(ctx);
    return;
  }
  if (report && Shows(ctx, {kShowAll, kShowStatistic})) msg_deko_torqfile(handle);
  std::uint32_t u[3] = {}, c[3] = {};
  std::int32_t rc = 0;
  trqcls(ctx.recordHandle, rc, ctx.coderCloseWord, u[0], u[1], u[2], c[0], c[1], c[2]);
  for (int i = 0; i < 3; ++i) {
    ctx.containerTotals[3 + i] = static_cast<std::int32_t>(u[i]);
    ctx.compressedTotals[i] = static_cast<std::int32_t>(c[i]);
  }
  KeepFirst(ctx, rc);
  if (report && Shows(ctx, {kShowAll, kShowStatistic})) {
    stat_komp(handle, ctx.compressedTotals[0], ctx.compressedTotals[1], ctx.compressedTotals[2]);
  }
  if (report && ctx.show == kShowAll) MsgListF("%s\n", Banner(11, 0, 0));
  ctx.containerOpen = 0;
}
}  // namespace

void close_deko_torqfile(RunContext*& handle) { CloseContainer(handle, true); }

void close_deko_torqfile_err(RunContext*& handle) { CloseContainer(handle, false); }

void msg_deko_norepl(RunContext*& handle) {
  MsgPut(1110, SlotText(handle->containerName));
  MsgPut(92);
}

void msg_deko_inv_fn(RunContext*& handle) {
  MsgPut(1113, SlotText(handle->outputName));
  MsgPut(39);
}

std::int32_t copnam(RunContext* ctx, const std::uint8_t* source, std::uint8_t* output, std::int32_t& kind,
                    const std::uint8_t* pattern, bool storedName) {
  const std::string_view patternText = SlotView(pattern);
  kind = !patternText.empty() && patternText[0] == '[' ? -3 : 0;
  std::string name;
  bool fromSource = false;
  std::int32_t rc = ApplyNamePattern(SlotView(source), patternText, ctx->memberNumber, name, fromSource);
  if (rc != 0) return rc;
  if (storedName && fromSource && !ConfineStoredName(name)) return kRcInvalidName;
  std::string outputPath(SlotView(ctx->outpath));
  rc = FinishOutputName(name, outputPath);
  if (rc != 0) return rc;
  if (!outputPath.empty()) SetSlot(ctx->outpath, outputPath);
  SetSlot(output, name);
  return 0;
}

void chknam(RunContext*& handle, std::int32_t& rc, const std::uint8_t* first, const std::uint8_t* second) {
  const bool compress = handle->function == 1;
  rc = SameFileCheck(SlotView(first), compress ? STDIN_FILENO : STDOUT_FILENO, SlotView(second),
                     compress ? STDOUT_FILENO : STDIN_FILENO);
}
