// The CX8 decoder's state for one chunk, and the decoding of a row of chunks with two code
// chains at once (for the matrix decoder).
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>

// A chunk to decode: its coded bytes, how far the input may be read (at least to the chunk's
// end; reading on into the following bytes lets the fast path run to the end), the output with
// rldcx8's capacity and the room that may be written there (at least the capacity), and
// rldcx8's results.
struct Cx8Chunk {
  const std::uint8_t* input;
  std::uint16_t length;
  const std::uint8_t* readEnd;
  std::uint8_t* output;
  std::uint32_t capacity;
  std::uint32_t room;
  std::int32_t rc;
  std::uint16_t outLength;
};

// A chunk being decoded. Steps of the fast path may start while p < stepInput (128 bytes may be
// read there) and o < stepOutput (160 bytes may be written there); the chunk's own ends are
// `end` and `oend`, and a step that runs past either is taken back.
struct Cx8Stream {
  const std::uint8_t* p;
  const std::uint8_t* end;
  const std::uint8_t* stepInput;
  std::uint8_t* o;
  std::uint8_t* oend;
  std::uint8_t* stepOutput;
  bool inTail;
  alignas(16) std::uint8_t tail[256];  // the last input bytes, followed by zeros

  void Start(const std::uint8_t* input, std::uint16_t length, const std::uint8_t* readEnd,
             std::uint8_t* output, std::uint32_t capacity, std::uint32_t room) {
    p = input;
    end = input + length;
    o = output;
    inTail = false;
    stepInput = readEnd - input >= 128 ? readEnd - 128 : input;
    // The out length is 16 bits wide: a chunk can never produce more.
    oend = output + (capacity < 0xFFFFu ? capacity : 0xFFFFu);
    stepOutput = room >= 160 ? output + (room - 160) : output;
  }
  void Start(const Cx8Chunk& c) { Start(c.input, c.length, c.readEnd, c.output, c.capacity, c.room); }
  bool CanStep() const { return p < stepInput && o < stepOutput; }
  // CanStep, moving into the tail buffer first when the input has run short.
  bool PairReady() {
    if (p >= stepInput && p < end && !inTail) EnterTail();
    return CanStep();
  }
  // Moves the rest of the input (at most 128 bytes) into the tail buffer, so that steps can
  // go on to the end of the chunk.
  void EnterTail() {
    const std::size_t left = static_cast<std::size_t>(end - p);
    std::memset(tail, 0, sizeof tail);
    std::memcpy(tail, p, left);
    p = tail;
    end = tail + left;
    stepInput = end;
    inTail = true;
  }
};

// Decodes chunks in their order, two at a time: each call finishes one chunk and decodes the
// next one beside it as far as it gets; that one is carried on by the following call, so that
// the two code chains stay busy across chunk ends. Each chunk gets the results rldcx8 would
// give it (rc, and outLength when rc is 0) when it is finished.
class Cx8ChunkPipe {
 public:
  Cx8ChunkPipe(std::uint32_t spaceChar, std::uint32_t zeroChar);
  Cx8ChunkPipe(const Cx8ChunkPipe&) = delete;
  Cx8ChunkPipe& operator=(const Cx8ChunkPipe&) = delete;
  // `first` is the chunk given as `next` to the call before, or a new one; `next`, if given, is
  // new and must be the following call's `first`.
  void Run(Cx8Chunk& first, Cx8Chunk* next);

 private:
  std::uint8_t fill_[4];
  Cx8Stream streams_[2];
  Cx8Chunk* carried_ = nullptr;  // decoded by streams_[carriedIndex_]
  int carriedIndex_ = 0;
  std::int32_t carriedRc_ = 0;   // the carried chunk's return code when it failed already
};
