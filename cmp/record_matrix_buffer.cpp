#include "cmp/record_matrix_buffer.h"

#include "cmp/buffer_sizes.h"
#include "support/heap.h"

void TrqFreeMatrix(RecordHandle& h) {
  rmHeapFree0(&h.matrixBuffer);
  h.matrixEnd = h.codedArea = h.dataArea = h.dataLimit = h.lastRecord = h.dataCursor = nullptr;
  h.lengthArray = nullptr;
  h.descriptorCursor = nullptr;
  h.lengthCursor = nullptr;
  h.codedCapacity = 0;
  h.longestRecord = 0;
  h.matrixRoom = 0;
  h.recordsInMatrix = 0;
  h.matrixRecords = 0;
}

std::int32_t TrqAllocateMatrix(RecordHandle& h, const RecordMethod& method,
                               std::int32_t bufferSize) {
  TrqFreeMatrix(h);
  if (!method.matrixBytes || !method.layOut || !method.startMatrix) return kTrqBadMethod;
  const std::int32_t size = GetBufSize(GetBufSizeId(bufferSize));
  const std::uint64_t bytes = method.matrixBytes(static_cast<std::uint32_t>(size));
  if (bytes > 0xFFFFFFFFu) return kTrqBadCall;
  h.matrixBuffer = static_cast<std::uint8_t*>(rmHeapAlloc(static_cast<std::uint32_t>(bytes)));
  if (!h.matrixBuffer) return kTrqBadCall;
  h.bufferSize = size;
  method.layOut(h);
  method.startMatrix(h);
  return 0;
}
