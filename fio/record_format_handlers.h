// The readers and writers of the plain, delimited and printable record formats, reached from
// the fioget/fioput dispatch with a valid block of their code. Readers deliver at most
// `capacity` bytes into buffer and set length and rc; writers take `length` bytes.
#pragma once
#include <cstdint>

#include "fio/file_control_block.h"
#include "fio/fio.h"

// Length-prefixed: var_2b, var2b_data, var_4b, var_ascii, var_ebcdic, var_intel, var_2b_in,
// var_4b_in.
void GetVariable(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length,
                 std::uint8_t* buffer, std::int32_t capacity);
void PutVariable(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
                 const std::uint8_t* buffer);
void GetFix(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
            std::int32_t capacity);
void PutFix(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
            const std::uint8_t* buffer);
void GetUndefined(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length,
                  std::uint8_t* buffer, std::int32_t capacity);
void GetEaf(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
            std::int32_t capacity);
// Writes the record as given (undefined, eaf, var_2b_in, var_4b_in).
void PutAsGiven(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
                const std::uint8_t* buffer);

// Text input with a one- or two-character delimiter; they return the rc.
std::int32_t ReadWithDelim1(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t capacity,
                            std::int32_t& length);
std::int32_t ReadWithDelim2(FileControlBlock& fcb, std::uint8_t* buffer, std::int32_t capacity,
                            std::int32_t& length);
// A run of whole text lines in place (FioGetRun); returns the rc.
std::int32_t ReadTextRun(FileControlBlock& fcb, std::int32_t capacity, RecordRef* records,
                         std::int32_t most, std::int32_t& count);
// Text output: data, then the delimiter. Dtext output: the delimiter between records.
void PutText(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
             const std::uint8_t* buffer);
void PutDtext(FileControlBlock& fcb, std::int32_t& rc, std::int32_t length,
              const std::uint8_t* buffer);

// TORQFILE records (257, 288) and the fill skipping between them.
void GetTorqRecord(FileControlBlock& fcb, std::int32_t& rc, std::int32_t& length,
                   std::uint8_t* buffer, std::int32_t capacity);
// Reads past filling to the next record: on rc 0 the record's first 3 bytes are at the buffer
// start (capacity at least 3), `length` is the record length they announce, `inHand` 3 and
// `next` the position behind them. rc 2 at the end of the file.
void SkipFilling(FileControlBlock& fcb, std::int32_t& rc, std::uint8_t* buffer,
                 std::int32_t& length, std::int32_t& inHand, std::uint8_t*& next);

// Printable CX7 records (768, 800).
void read_cx7_record(FileControlBlock*& slot, std::int32_t& rc, std::uint8_t* buffer,
                     std::int32_t& length, const std::int32_t& capacity);
