#include "torqup/run_state.h"

#include "support/build_stamp.h"

#include "cmp/record_interface.h"

TORQ_BUILD_STAMP("TorqRunState")

namespace {
RunState* gRunState = nullptr;
}

RunState* CurrentRunState() { return gRunState; }

void SetCurrentRunState(RunState* state) { gRunState = state; }

void ReleaseHalfOpenContainer(RunContext& ctx) {
  if (ctx.recordHandle == nullptr) return;
  std::int32_t rc = 0, closeWord = 0;
  std::uint32_t counts[6] = {};
  trqcls(ctx.recordHandle, rc, closeWord, counts[0], counts[1], counts[2], counts[3], counts[4], counts[5]);
  ctx.recordHandle = nullptr;
}
