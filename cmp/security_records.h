// Security header, member and file trailers of a secured container: the images the writer
// puts out and the reader's check of each trailer against its own counts and the MACs.
#pragma once
#include <cstdint>
#include <ctime>
#include <span>

#include "cmp/control_block.h"

inline constexpr std::int32_t kCmpBadCrcOffset = 356;  // "Bad checksum in compressed data (CRC-Offs)"
inline constexpr std::int32_t kCmpBadCrcSample = 357;  // "Bad checksum in compressed data (CRC-5)"
inline constexpr std::int32_t kCmpMemberMacs = 354;  // "AES:      Member MACs wrong"
inline constexpr std::int32_t kCmpFileMacs = 355;    // "AES:      File MACs wrong"

// Layout of the trailer record area (CmpControlBlock::trailerImage): the 3-byte record head,
// the 45-byte image, then 4 zero bytes (crypt mode 16) or the 12-byte MAC (crypt mode 32).
inline constexpr std::uint32_t kTrailerHead = 3;
inline constexpr std::uint32_t kTrailerImageSize = 45;
inline constexpr std::uint32_t kTrailerMacSize = 12;
inline constexpr std::uint8_t kTrailerKindMember = 0x07;
inline constexpr std::uint8_t kTrailerKindFile = 0x0F;

// Record length of the trailer (the head's L) for a crypt mode: 45, 49 or 57; 0 for a crypt
// mode a secured container cannot have.
std::uint32_t TrailerRecordLength(std::uint32_t cryptMode);

// The packed time stamp: 0xA (or the half-byte out[0] holds) and the 13 digits of year, day
// of the year, hour, minute and second. Writes exactly 7 bytes.
void tmstamp(std::span<std::uint8_t, 7> out);
// The same for a given broken-down local time.
void TmstampOf(const std::tm& local, std::span<std::uint8_t, 7> out);

// Builds the security header image and the trailer record head (open for writing).
void init_sec(CmpControlBlock& cb);
// Raises the member counter into the security header image.
void build_memhdr(CmpControlBlock& cb);
// Stores the member counter and the counts into the trailer image.
void build_sectlr(CmpControlBlock& cb);
// Checks the trailer just read into the trailer image (security state 2: member trailer,
// 3: file trailer); 0 or the code.
std::int32_t check_sectlr(CmpControlBlock& cb);
// A crypt mode raised after the open: the crypt type in the security header, the trailer
// head and the image follow it (the time stamp stays).
void RefreshCryptType(CmpControlBlock& cb);

// Takes a trailer record of `length` content bytes read at `content` into the trailer image
// and checks it; 11 for a length the crypt mode does not give.
std::int32_t TakeTrailer(CmpControlBlock& cb, const std::uint8_t* content, std::uint32_t length);

namespace torq::cmp {
// Test seam: a fixed local time for the time stamps of containers opened from now on; null
// returns to the clock.
void SetFixedStampTime(const std::tm* local);
}  // namespace torq::cmp
