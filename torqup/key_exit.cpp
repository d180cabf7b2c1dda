#include "torqup/key_exit.h"

#include "support/build_stamp.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "support/environment.h"
#include "support/heap.h"
#include "support/message_output.h"
#include "support/paths.h"
#include "support/platform/dynamic_library.h"
#include "support/sysinfo.h"
#include "torqup/run_context.h"

TORQ_BUILD_STAMP("TorqKmExit")

int FileExists(const char* path) {
  if (path == nullptr || *path == '\0') return 0;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return 0;
  close(fd);
  return 1;
}

char* ModuleName(const char* name) {
  auto* buffer = static_cast<char*>(rmHeapAlloc(kTorqMaxPath));
  if (buffer == nullptr || name == nullptr) return buffer;
  char dir[kTorqMaxPath], base[kTorqMaxPath], ext[kTorqMaxPath], local[kTorqMaxPath];
  char exeDir[kTorqMaxPath], drive[8];
  const bool known = fnsplit(name, drive, dir, base, ext) != 0 && gTorqExe != nullptr &&
                     fnsplit(gTorqExe, drive, exeDir, local, local) != 0;
  if (known) {
    char besideProgram[kTorqMaxPath];
    fnmerge(besideProgram, "", exeDir, base, ext);
    if (torq::platform::LocalModuleName(besideProgram, local, sizeof local) && FileExists(local)) {
      std::snprintf(buffer, kTorqMaxPath, "%s", besideProgram);
      return buffer;
    }
  }
  std::snprintf(buffer, kTorqMaxPath, "%s", name);
  return buffer;
}

TorqKmExitProc* TorqDynLoad(std::int32_t& rc, void*& moduleSlot, const char* moduleName, const char* procedureName) {
  char* file = ModuleName(moduleName);
  if (file == nullptr) {
    rc = -1;
    return nullptr;
  }
  if (moduleSlot == nullptr) moduleSlot = torq::platform::LoadModule(file);
  rmHeapFree(file);
  if (moduleSlot == nullptr) {
    rc = kRcModuleNotLoaded;
    return nullptr;
  }
  void* procedure = torq::platform::ModuleProcedure(moduleSlot, procedureName);
  if (procedure == nullptr) {
    rc = kRcModuleNotCalled;
    return nullptr;
  }
  rc = 0;
  return reinterpret_cast<TorqKmExitProc*>(procedure);
}

void TorqDynFree(void*& moduleSlot) {
  torq::platform::FreeModule(moduleSlot);
  moduleSlot = nullptr;
}

std::int32_t KmExitAfterCall(const KmExitResult& result, char* message, std::int32_t keyCapacity, bool checkKey,
                             bool checkPassword) {
  std::int32_t rc = 0;
  if (result.msgLength < 0 || result.msgLength > kKmMessageCapacity) {
    MsgPutF("*ERROR* TORQKMEXIT message length %d\n", result.msgLength);
    rc = kRcExitAbend;
  } else if (result.msgLength > 0 && message != nullptr) {
    message[result.msgLength] = '\0';
    MsgPutF("%s\n", message);
  }
  if (checkKey && (result.keyLength < 0 || result.keyLength > keyCapacity)) {
    MsgPutF("*ERROR* TORQKMEXIT key length %d\n", result.keyLength);
    rc = kRcExitAbend;
  }
  if (checkPassword && (result.pwdLength < 0 || result.pwdLength > kKmPasswordCapacity)) {
    MsgPutF("*ERROR* TORQKMEXIT password length %d\n", result.pwdLength);
    rc = kRcExitAbend;
  }
  if (result.rc != 0) {
    MsgPutF("*ERROR* TORQKMEXIT %d (0x%08X)\n", result.rc, static_cast<std::uint32_t>(result.rc));
    rc = kRcExitAbend;
  }
  return rc;
}

namespace {

bool SlotEmpty(const std::uint8_t* slot) { return slot[0] == 0 || slot[1] == 0; }

// Grows the key buffer to hold `length` bytes (2 spare); false when no memory.
bool EnsureKeyCapacity(RunContext& ctx, std::int32_t length) {
  if (ctx.keyBuffer != nullptr && length <= ctx.keyCapacity) return true;
  const std::int32_t capacity = std::max(length, kKmKeyCapacity);
  auto* buffer = static_cast<std::uint8_t*>(rmHeapAlloc(static_cast<std::uint32_t>(capacity) + 2));
  if (buffer == nullptr) return false;
  rmHeapFree0(&ctx.keyBuffer);
  ctx.keyBuffer = buffer;
  ctx.keyCapacity = capacity;
  return true;
}

std::int32_t CallExit(RunContext& ctx, std::int32_t function) {
  KmExitResult result;
  std::int32_t fn = function;
  result.msgLength = ctx.messageCapacity;
  if (function == -1) {
    ctx.exitProc(&fn, &result.rc, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &result.msgLength,
                 ctx.messageBuffer);
  } else {
    result.keyLength = function == 1 ? ctx.keyCapacity : ctx.keyLength;
    result.pwdLength = kKmPasswordCapacity;
    std::int32_t parLength = ctx.exitParmLength;
    ctx.exitProc(&fn, &result.rc, &parLength, ctx.exitParm, &result.keyLength, ctx.keyBuffer, &result.pwdLength,
                 ctx.password, &result.msgLength, ctx.messageBuffer);
  }
  const std::int32_t rc = KmExitAfterCall(result, ctx.messageBuffer, ctx.keyCapacity, function == 1, function != -1);
  ctx.messageLength = std::clamp(result.msgLength, 0, kKmMessageCapacity);
  if (rc != 0) return rc;
  if (function == 1) ctx.keyLength = result.keyLength;
  if (function != -1) {
    ctx.passwordLength = result.pwdLength;
    if (result.pwdLength < kKmPasswordCapacity) ctx.password[result.pwdLength] = 0;
  }
  return 0;
}

}  // namespace

int NeedKmExit(RunContext* ctx, std::int32_t& rc) {
  rc = 0;
  if (ctx->exitParm == nullptr && ctx->exitProcName[0] == '\0' && SlotEmpty(ctx->exitModuleName)) return 0;
  if (ctx->passwordLength != 0) {
    rc = kRcExitWithPassword;
    MsgPutF("%s\n", "Password + KmExit");
    MsgPutError(2, kRcExitWithPassword, "password/paxword/paeword");
    return 0;
  }
  if (ctx->exitProcName[0] == '\0') std::strcpy(ctx->exitProcName, kKmDefaultProcedure);
  if (ctx->exitModuleName[0] == 0) {
    ctx->exitModuleName[0] = sizeof kKmDefaultModule - 1;
    std::memcpy(ctx->exitModuleName + 1, kKmDefaultModule, sizeof kKmDefaultModule);
  }
  if (ctx->exitParm == nullptr) {
    ctx->exitParm = static_cast<char*>(rmHeapAlloc(1));
    ctx->exitParmLength = 0;
  }
  if (ctx->messageBuffer == nullptr) {
    ctx->messageBuffer = static_cast<char*>(rmHeapAlloc(kKmMessageCapacity + 2));
    ctx->messageCapacity = kKmMessageCapacity;
  }
  const bool keyReady = EnsureKeyCapacity(*ctx, kKmKeyCapacity);
  if (ctx->exitParm == nullptr || ctx->messageBuffer == nullptr || !keyReady) {
    MsgPutSystemError(-1);
    rc = -1;
    return 0;
  }
  return 1;
}

std::int32_t KmExitStart(RunContext& ctx) { return CallExit(ctx, -1); }

std::int32_t KmExitCompress(RunContext& ctx) { return CallExit(ctx, 1); }

std::int32_t KmExitDecompress(RunContext& ctx) {
  if (ctx.comment != nullptr && ctx.commentLength > 0) {
    MsgPutText(ctx.comment, std::min(ctx.commentLength, 50));
    MsgListF("%s\n", Banner(11, 0, 0));
    if (ctx.userHeaderLength > 0) {
      const std::int32_t n = std::min(ctx.commentLength, 32767);
      std::memcpy(ctx.workBuffer, ctx.comment, static_cast<std::size_t>(n));
      ctx.userHeaderLength = n;
    }
    ctx.commentLength = 0;
  }
  if (!EnsureKeyCapacity(ctx, ctx.userHeaderLength)) {
    MsgPutSystemError(-1);
    return -1;
  }
  if (ctx.userHeaderLength > 0) std::memcpy(ctx.keyBuffer, ctx.workBuffer, static_cast<std::size_t>(ctx.userHeaderLength));
  ctx.keyLength = ctx.userHeaderLength;
  return CallExit(ctx, 0);
}
