// The record interface to a TORQFILE: open it (trqopn, trqopd, trqopf), put records member by
// member (headers, trqput, trqflu) or get them back (header gets, TrqGetRecord, trqget,
// trqpos), and close it (trqcls). Every operation takes the slot that holds the handle first
// and the return code second; all arguments are by reference.
#pragma once
#include <cstdint>

#include "cmp/record_handle.h"
#include "fio/fio.h"

// Allocates the handle and begins an open. Open modes 0 read, 1 or 2 write, 9 append. With
// attributesGiven 0 the whole open runs at once with the defaults.
void trqopn(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& attributesGiven,
            const std::int32_t& openMode, const char* fileName, const std::int32_t& optionWord);
// Opens the container file through the record layer and checks its attributes. The in/out
// arguments come back as the record layer settles them. containerOnly 0 goes on with trqopf.
void trqopd(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& containerOnly,
            std::int32_t& nameLength, char* fileName, std::int32_t& organisation,
            std::int32_t& recordFormat, std::int32_t& recordLength, std::uint32_t& delimiter,
            const std::int32_t& passThrough, std::int32_t& blockLength,
            std::int32_t& closeDisposition, std::int32_t& device);
// Opens the container: control block, matrix buffer, coder. The values are normalised in
// place; on reading the container's come back. The ninth argument is not used.
void trqopf(RecordHandle*& slot, std::int32_t& rc, std::int32_t& formatLevel,
            std::int32_t& charCode, std::int32_t& modeWord, std::int32_t& bufferSize,
            std::int32_t& security, std::int32_t& mostRecords, const void* unused,
            std::int32_t& fixedBlock, const char* exitName1, const char* exitName2);
// Options before the container is written: what 1 the crypt mode (16, 32), what 2 the
// security option (0, 1, 3).
void trqset(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& what,
            const std::int32_t& value);
// The password or key.
void trqpwd(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& length,
            const std::uint8_t* password);
// Reading: switches the coder and the matrix buffer to a member's attributes; 0 or a code.
std::int32_t new_file(RecordHandle* handle, std::int32_t modeWord, std::int32_t charCode,
                      std::int32_t formatLevel, std::int32_t bufferSize);

// Headers of a member; the arguments go through to the container layer.
void trqphd(RecordHandle*& slot, std::int32_t& rc, std::int32_t& nameLength, const char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            const void* unused8, const void* unused9, std::int32_t& blockSize,
            const void* unused11, const std::uint8_t* originPair, std::int32_t& moreHeaders);
void trqpsh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& kind, const std::uint8_t* data,
            std::int32_t& moreHeaders);
void trqpuh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length,
            const std::uint8_t* data);
void trqghd(RecordHandle*& slot, std::int32_t& rc, std::int32_t& nameLength, char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            const void* unused8, const void* unused9, std::int32_t& blockSize,
            const void* unused11, std::uint8_t* originPair);
// length: the capacity on entry, the length on return.
void trqgsh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer);
void trqguh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer);

// Adds one record to the current matrix; a full matrix is coded and written first.
void trqput(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& length,
            const std::uint8_t* record);
// The next record, in place in the matrix buffer (valid until the next call). rc 0; 2 end of
// the container; 3 a gap; 6 a new member begins; 7 the member needs a password.
void TrqGetRecord(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length,
                  std::uint8_t*& record);
// Runs of records without a call per record. TrqPutRun puts the records in order as trqput
// would, stopping at the first one trqput answers with anything but 0 (rc); `taken` counts the
// records put. TrqGetRun hands out, in place, up to `most` further records of the matrix at
// hand, each as TrqGetRecord would with rc 0; count 0 means the next record needs
// TrqGetRecord (the next matrix, a header, a gap or a bad length). Valid until the next call.
void TrqPutRun(RecordHandle*& slot, std::int32_t& rc, const RecordRef* records,
               std::int32_t count, std::int32_t& taken);
void TrqGetRun(RecordHandle*& slot, std::int32_t& rc, RecordRef* records, std::int32_t most,
               std::int32_t& count);
// The next record copied into buffer; 111 when it was cut to the buffer length.
void trqget(RecordHandle*& slot, std::int32_t& rc, std::int32_t& length, std::uint8_t* buffer,
            const std::int32_t& bufferLength);
// Position 99999998: the next member.
void trqpos(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& position);
// Ends a member. The counts are the totals since the open, bytes as two-part counters.
void trqflu(RecordHandle*& slot, std::int32_t& rc, std::uint32_t& records,
            std::uint32_t& bytesLow, std::uint32_t& bytesHigh, std::uint32_t& blocks,
            std::uint32_t& blockBytesLow, std::uint32_t& blockBytesHigh);
// Ends the container, frees everything and clears the slot.
void trqcls(RecordHandle*& slot, std::int32_t& rc, std::int32_t& closeWord,
            std::uint32_t& records, std::uint32_t& bytesLow, std::uint32_t& bytesHigh,
            std::uint32_t& blocks, std::uint32_t& blockBytesLow, std::uint32_t& blockBytesHigh);

// The member's ModeWord when the member's file header was just taken and the word is 0.
void trqrdmod(RecordHandle*& slot, std::int32_t& rc, std::int32_t& modeWord);
// Reads the next header record: its kind and the member's ModeWord.
void trqrdblh(RecordHandle*& slot, std::int32_t& rc, std::int32_t& kind, std::int32_t& modeWord);
// Codes 351 and 352: the member counter.
void trqinfo(RecordHandle*& slot, std::int32_t& rc, const std::int32_t& code,
             std::int32_t& value);
