// The ADC/NDC block coder context and its entry points, which stand beside the kernel's for
// the compression modes 3 (ADC) and 4 (NDC).
//
// An ADC block at S: D (24 bits) at S-21, L (16 bits) at S-2, the length part of L bytes at S,
// the data part behind it. The 16 bytes between belong to the matrix frame.
#pragma once
#include <cstddef>
#include <cstdint>

#include "coders/adc_coder_state.h"
#include "coders/adc_decoder_state.h"
#include "coders/adc_tables.h"

inline constexpr std::uint32_t kAdcPlaneArea = 16384;  // four byte planes of 4096 lengths
inline constexpr std::uint32_t kAdcMaxRecords = 4096;
inline constexpr std::uint32_t kAdcLengthArea = 16384;  // the record bytes follow the lengths
inline constexpr std::uint32_t kAdcMaxData = 65536;
inline constexpr std::ptrdiff_t kAdcDataLengthAt = -21;  // D, 3 bytes before S
inline constexpr std::ptrdiff_t kAdcPartLengthAt = -2;   // L, 2 bytes before S

inline constexpr std::uint32_t kAdcModeAdc = 3;
inline constexpr std::uint32_t kAdcModeNdc = 4;

struct AdcContext {
  AdcContext* self;  // the block's own address; every entry point compares it first
  // Length planes, with 4 bytes behind them that the coder borrows for its sentinel; also the
  // rebuild's work area.
  std::uint8_t planeArea[kAdcPlaneArea + 4];
  std::uint32_t direction;                // 1 compress, 0 decompress
  std::uint32_t compressionMode;          // 3 ADC, 4 NDC
  std::uint32_t charCode;                 // 0 EBCDIC, 1 ASCII
  std::uint16_t stab[8];                  // copies taken at open
  std::uint8_t ctab[256];
  std::uint32_t stateWord;
  adc::DecoderState decoder;
  adc::CoderState coder;
};

// Entry points. The slot first; 0 success, -1 a foreign context or no memory, else the
// kernel return code (60 corrupted, 73 bad length).
std::int32_t nucopn_adc(AdcContext*& slot, std::int32_t direction, std::int32_t charCode,
                        std::int32_t compressionMode);
// lengths: the matrix buffer's n record lengths; the record bytes begin kAdcLengthArea bytes
// after them. length: in D, out the block length from S on.
std::int32_t nuccmp_adc(AdcContext*& slot, std::uint32_t* lengths, std::int32_t n,
                        std::uint8_t* blockStart, std::int32_t& length);
// output: a matrix buffer (4096 lengths, then 65536 record bytes) to fill.
std::int32_t nucdcm_adc(AdcContext*& slot, const std::uint8_t* blockStart,
                        std::int32_t blockLength, std::uint32_t* output,
                        const std::int32_t& count);
// Frees the context and clears the slot.
std::int32_t nuccls_adc(AdcContext*& slot);

// Decodes one part (length or data part) of at most `room` bytes into output: deflate or
// fast LZ behind their prefixes, else ADC code. rc 0, or 60/73; inputLength is set to the
// bytes consumed after ADC code; outputLength to the bytes decoded.
void trqadcd(AdcContext*& slot, std::int32_t& rc, const std::uint8_t* input,
             std::uint32_t& inputLength, std::uint8_t* output, std::int32_t& outputLength,
             std::uint32_t room);
// Codes input as ADC code; outputLength = the coded size, or inputLength when the coder gave
// up (the input does not compress, or the coded size would reach room). The 4 bytes after the
// input are borrowed and restored; the output needs room + 3 bytes.
void trqadcc(AdcContext*& slot, std::uint8_t* input, const std::int32_t& inputLength,
             std::uint8_t* output, std::int32_t& outputLength, std::uint32_t room);
// Codes a data part with the coder the environment chooses (deflate, fast LZ or ADC code).
// outputLength not below inputLength means: store the data. The output needs inputLength + 5
// bytes of room.
void trqxadcc(AdcContext*& slot, std::uint8_t* input, const std::int32_t& inputLength,
              std::uint8_t* output, std::int32_t& outputLength);
