#include "cmp/record_release.h"

#include "cmp/cmp.h"
#include "cmp/record_matrix_buffer.h"
#include "fio/fio.h"
#include "support/heap.h"

std::int32_t TrqCloseCoder(RecordHandle& h, std::int32_t& closeWord) {
  const RecordMethod* const m = TrqMethod(h.method);
  if (m && m->closeCoder) return m->closeCoder(h, closeWord);
  return 0;
}

void TrqRelease(RecordHandle*& slot) {
  RecordHandle* const h = TrqHandle(&slot);
  if (!h) return;
  std::int32_t rc = 0, closeWord = 0;
  TrqCloseCoder(*h, closeWord);
  if (h->kernel) nuccls(h->kernel, rc, closeWord);
  TrqFreeMatrix(*h);
  std::uint32_t blocks = 0, low = 0, high = 0;
  if (h->container) cmpcls(h->container, rc, blocks, low, high);
  if (h->file) fiocls(h->file, rc);
  h->self = nullptr;
  rmHeapFree0(&slot);
}
