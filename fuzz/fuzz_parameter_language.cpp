// Fuzz target for the parameter language: arbitrary text as a parameter string, and arbitrary
// bytes as a parameter file or as a password file. Every run must end with a code the parser
// documents, leave no file open and give back all the memory it took. Names holding '/' are
// skipped, so nothing is read or created outside the target's own scratch folder.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/code_tables.h"
#include "support/environment.h"
#include "support/heap.h"
#include "support/message_catalog.h"
#include "support/message_output.h"
#include "support/message_table.h"
#include "torqup/run_context.h"

namespace {

DefStruct gFactory;
int gStandardError = -1;

void Prepare() {
  static std::vector<MapEntry> english;
  for (const ErrMsgRow& row : ErrMsg) english.push_back({row.lang[1].nr, row.lang[1].text});
  ErrorMap = english.data();
  std::memcpy(gFactory.magic, "QDEF", 4);
  gFactory.torqcode = gFactory.header = gFactory.fileinfo = gFactory.blkmode = 1;
  gFactory.maxbuffer = 32768;
  gFactory.mode = 3;
  gFactory.maxrecords = 4095;
  gFactory.show = 1;
  gFactory.general.recform = 1;
  gFactory.general.recsize = 512;
  gFactory.input.recform = gFactory.output.recform = 3;
  std::memcpy(gFactory.ce2a, ce2a, 256);
  std::memcpy(gFactory.ca2e, ca2e, 256);
  gFactory.padchar = 0x20;
  gFactory.padgiven = 1;
  gDefstr = &gFactory;
  char dir[] = "/tmp/torq_fuzz_par_XXXXXX";
  if (!mkdtemp(dir) || chdir(dir) != 0) std::abort();
  gStandardError = dup(2);
  if (gStandardError < 0) std::abort();
}

bool Documented(std::int32_t rc) {
  if ((rc & 0x0F000000) == 0x0F000000) return true;
  switch (rc) {
    case -1: case 0: case 1: case 2: case 20: case 22: case 29: case 33: case 34: case 35:
    case 50: case 51: case 81: case 82: case 89: case 90: case 112: case 113: case 114:
    case 115: case 999:
      return true;
    default:
      return false;
  }
}

void ParseOnce(const std::string& text) {
  // The message lines are not what is tested here; the fuzzer's own report keeps stderr.
  MsgOpn("/dev/null");
  const std::uint32_t before = rmGetHeapCount();
  auto* ctx = static_cast<RunContext*>(rmHeapAlloc(sizeof(RunContext)));
  ctx->parString = rmStrDup(text.c_str());
  ctx->parse = ctx->parString;
  ctx->tokenLength = static_cast<std::int32_t>(text.size());
  const std::int32_t rc = chparam(ctx);
  dup2(gStandardError, 2);
  if (!Documented(rc)) std::abort();
  if (ctx->parFile) std::abort();
  F_FreeTorqTranslateTable();
  for (char** p : {&ctx->parString, &ctx->comment, &ctx->exitParm}) rmHeapFree0(p);
  for (std::uint8_t** p : {&ctx->nameListBuffer, &ctx->containerList, &ctx->inputList, &ctx->outputList})
    rmHeapFree0(p);
  rmHeapFree0(&ctx);
  if (rmGetHeapCount() != before) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool ready = (Prepare(), true);
  (void)ready;
  if (size < 1) return 0;
  const std::string body(reinterpret_cast<const char*>(data + 1), size - 1);
  if (body.find('/') != std::string::npos || body.find("prio") != std::string::npos) return 0;
  switch (data[0] % 3) {
    case 0:
      ParseOnce(std::string(body.c_str()));
      break;
    default: {
      FILE* f = std::fopen("input.par", "wb");
      if (!f) std::abort();
      std::fwrite(body.data(), 1, body.size(), f);
      std::fclose(f);
      ParseOnce(data[0] % 3 == 1 ? "comp,parfile=input.par" : "comp,pafile=input.par");
      break;
    }
  }
  return 0;
}
