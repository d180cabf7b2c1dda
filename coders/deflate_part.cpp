// Deflate data parts over zlib.
#include "coders/deflate_part.h"

#include "support/heap.h"

namespace {

voidpf HeapZalloc(voidpf, uInt items, uInt size) {
  const std::uint64_t bytes = std::uint64_t{items} * size;
  if (bytes == 0 || bytes > 0x7FFFFFFFu) return Z_NULL;
  return rmHeapAlloc(static_cast<std::uint32_t>(bytes));
}

void HeapZfree(voidpf, voidpf block) {
  if (block != Z_NULL) rmHeapFree(block);
}

}  // namespace

z_stream* pvGzpOpn(std::int32_t compress, std::int32_t framing, std::int32_t level) {
  auto* s = static_cast<z_stream*>(rmHeapAlloc(sizeof(z_stream)));
  if (s == nullptr) return nullptr;
  s->zalloc = HeapZalloc;
  s->zfree = HeapZfree;
  s->opaque = Z_NULL;
  const int windowBits = framing != 0 ? 31 : -15;
  const int err = compress != 0
                      ? deflateInit2(s, level, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY)
                      : inflateInit2(s, windowBits);
  if (err != Z_OK) {
    rmHeapFree(s);
    return nullptr;
  }
  return s;
}

void fvGzpCls(z_stream* stream, std::int32_t compress) {
  if (stream == nullptr) return;
  if (compress != 0) {
    deflateEnd(stream);
  } else {
    inflateEnd(stream);
  }
  rmHeapFree(stream);
}

std::int32_t siGzpCmp(const char*& message, z_stream* stream, std::int32_t inputLength,
                      const std::uint8_t* input, std::uint8_t* output) {
  if (stream == nullptr || inputLength < 0) return -1;
  if (deflateReset(stream) != Z_OK) return -1;
  stream->next_in = const_cast<Bytef*>(input);
  stream->avail_in = static_cast<uInt>(inputLength);
  stream->next_out = output;
  stream->avail_out = static_cast<uInt>(inputLength);
  const int err = deflate(stream, Z_FINISH);
  message = stream->msg;
  if (err != Z_OK && err != Z_STREAM_END) return -1;
  return static_cast<std::int32_t>(stream->total_out);
}

std::int32_t siGzpDco(const char*& message, z_stream* stream, std::int32_t inputLength,
                      const std::uint8_t* input, std::uint8_t* output, std::int32_t room) {
  if (stream == nullptr || inputLength < 0 || room < 0) return -2;
  if (inflateReset(stream) != Z_OK) return -2;
  stream->next_in = const_cast<Bytef*>(input);
  stream->avail_in = static_cast<uInt>(inputLength);
  stream->next_out = output;
  stream->avail_out = static_cast<uInt>(room);
  const int err = inflate(stream, Z_FINISH);
  message = stream->msg;
  // Only a stream that ends within the room is a decoded part.
  if (err != Z_STREAM_END) return -2;
  return static_cast<std::int32_t>(stream->total_out);
}
