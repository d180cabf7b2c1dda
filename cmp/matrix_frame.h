// The matrix frame of the block coders (ADC, NDC): a checksummed, chained envelope built in
// place around the coded data. The frame starts 26 bytes in front of the coded data; behind the
// data it needs the chain CRC and the end mark.
#pragma once
#include <cstdint>

#include "cmp/control_block.h"
#include "crypt/frame_cipher.h"  // kFramePrefix

// Frame length K without the data (crypt mode 0 and 16), and the AES frame block added with 32.
inline constexpr std::uint32_t kFrameOverhead = 30;
inline constexpr std::uint32_t kFrameAesBlock = 34;
inline constexpr std::uint8_t kFrameEndMark[4] = {0x54, 0x4F, 0x52, 0x51};

// Builds the frame around the L coded bytes at frame + 26: prefix, whitening, chain CRC, end
// mark. The block coder has written bytes 5-7 and 24-25. Returns K + 4, the bytes to write.
// L of 1 to 3 cannot be framed (the caller refuses it).
std::uint32_t BuildMatrixFrame(CmpControlBlock& cb, std::uint8_t* frame, std::uint32_t length);

// Checks and restores a frame whose K + 4 bytes stand at frame (K already there), as the
// reader copied it. L comes back; the coded data are at frame + 26 afterwards.
// encrypted: bit 0x10 of the matrix header's second byte.
std::int32_t CheckMatrixFrame(CmpControlBlock& cb, std::uint8_t* frame, std::uint32_t& length,
                              bool encrypted);

// Test seam: fixes the block id and machine id every container open for writing takes.
void CmpFixFrameIds(bool fixed, std::uint32_t blockId, std::uint32_t machineId);
// The ids of a container open: the fixed ones, or the time and the machine.
void CmpFrameIds(std::uint32_t& blockId, std::uint32_t& machineId);
