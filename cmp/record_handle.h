// The record interface's handle: one zeroed block of the counting heap per open TORQFILE,
// holding the container control block, the coder context, the container file and the record
// matrix buffer, and the call-state word that keeps the operations in order.
#pragma once
#include <cstdint>

#include "nuc/kernel.h"

struct CmpControlBlock;
struct FileControlBlock;

// Bits of the call-state word.
inline constexpr std::uint16_t kTrqOpened = 0x0001;
inline constexpr std::uint16_t kTrqFileOpen = 0x0004;
inline constexpr std::uint16_t kTrqContainerOpen = 0x0010;
inline constexpr std::uint16_t kTrqFileHeader = 0x0040;
inline constexpr std::uint16_t kTrqSystemHeader = 0x0100;
inline constexpr std::uint16_t kTrqHeadersDone = 0x0400;
inline constexpr std::uint16_t kTrqRecords = 0x8000;

// Return codes of the record interface (each positive one is its catalogue message).
inline constexpr std::int32_t kTrqBadCall = -1;
inline constexpr std::int32_t kTrqEndOfFile = 2;
inline constexpr std::int32_t kTrqGap = 3;
inline constexpr std::int32_t kTrqNoRecord = 5;
inline constexpr std::int32_t kTrqNewMember = 6;
inline constexpr std::int32_t kTrqNoPassword = 7;
inline constexpr std::int32_t kTrqNoSystemHeader = 9;
inline constexpr std::int32_t kTrqBadFormat = 11;
inline constexpr std::int32_t kTrqRecordTooLong = 15;
inline constexpr std::int32_t kTrqRecordTooLarge = 16;
inline constexpr std::int32_t kTrqBadOpenMode = 20;
inline constexpr std::int32_t kTrqBadMethod = 22;
inline constexpr std::int32_t kTrqBadRecordLength = 25;
inline constexpr std::int32_t kTrqPassword = 29;
inline constexpr std::int32_t kTrqBadName = 39;
inline constexpr std::int32_t kTrqUnknownWhat = 81;
inline constexpr std::int32_t kTrqBadValue = 82;
inline constexpr std::int32_t kTrqTruncated = 111;
// Codes from a lower layer carry this tag.
inline constexpr std::uint32_t kTrqTag = 0xF0000000u;

// The positions trqpos knows: the next member; and two that name no record.
inline constexpr std::int32_t kTrqNextMember = 99999998;
inline constexpr std::int32_t kTrqNoPosition = 99999999;

// Capacity of the gap bitmap of one matrix on reading.
inline constexpr std::int32_t kTrqGapMapCapacity = 2049;

inline constexpr std::uint32_t kTrqFileNameSize = 774;
inline constexpr std::int32_t kTrqFileNameCapacity = 254;  // handed to the record layer
inline constexpr std::uint32_t kTrqExitNameSize = 33;

struct RecordHandle {
  RecordHandle* self;           // the block's own address
  CmpControlBlock* container;   // slot of the container control block
  NucContext* kernel;           // slot of the kernel context (CX8, CX7, VR8)
  void* blockCoder;             // slot of the ADC or DC8 context
  FileControlBlock* file;       // slot of the container file
  std::uint8_t* codedArea;      // where a coder writes a matrix and a decoder reads one
  std::uint8_t* matrixEnd;      // end of the matrix buffer
  std::uint8_t* matrixBuffer;   // the heap block of the matrix buffer
  std::uint8_t* dataArea;       // start of the record data
  std::uint8_t* dataLimit;      // end of the record data (block coders)
  std::uint8_t* lastRecord;     // start of the last record added (block coders)
  std::uint8_t* dataCursor;     // where the next record's data goes or comes from
  std::uint8_t* lengthArray;    // record descriptors, or 32-bit lengths (block coders)
  RecordDescriptor* descriptorCursor;
  std::uint32_t* lengthCursor;  // next 32-bit record length (block coders)
  std::uint64_t byteCount;      // record bytes moved since the open
  std::uint32_t matrixDataBytes;
  std::uint32_t codedCapacity;  // size of the coded-block area
  std::int32_t charCode;
  std::int32_t memberCharCode;
  std::int32_t direction;       // 0 read, 1 write
  std::int32_t openMode;
  std::int32_t method;          // method of the open coder
  std::int32_t memberMode;      // ModeWord of the member being read (method | crypt mode)
  std::int32_t passwordGiven;
  std::int32_t passwordNeeded;  // reading: the password state of the member
  std::int32_t optionWord;
  std::int32_t securityOption;
  std::int32_t fixedBlock;
  std::int32_t formatLevel;
  std::int32_t memberFormatLevel;
  std::int32_t containerRecordLength;  // = block size
  std::int32_t exitWord1;
  std::int32_t exitWord2;
  std::int32_t systemHeaderKind;
  std::int32_t matricesRead;    // in the current member
  std::int32_t headerState;     // reading: 128 + kind pending, 1 file header taken, 0 switched
  std::int32_t securityFlag;
  std::int32_t cryptMode;
  std::int32_t memberMacSkip;
  std::int32_t nameLength;
  std::int32_t codedLength;
  std::int32_t mostRecords;     // writing: most records per matrix
  std::int32_t matrixRecords;   // reading: records in the current matrix
  std::int32_t matrixKind;
  std::int32_t bufferSize;      // of the matrix buffer allocated
  std::int32_t memberBufferSize;
  std::int32_t longestRecord;   // room of an empty matrix
  std::int32_t matrixRoom;      // room left in the current matrix
  std::int32_t closeCounters[3];
  std::int32_t memberRecords;
  std::uint32_t recordCount;    // records moved since the open
  std::int32_t gapMapLength;
  std::int32_t passwordLength;
  std::int32_t blockLength;
  std::int32_t recordFormat;
  std::int32_t recordLength;
  std::int32_t device;
  std::int32_t organisation;
  std::int32_t closeDisposition;
  std::int32_t recordsInMatrix; // put into (writing) or taken from (reading) the current matrix
  std::int32_t passThrough;
  std::uint32_t recordsRead;
  std::uint16_t memberContent;  // writing: 1 header put, 2 matrix written; reading: 2 end, 6 new
  std::uint16_t callState;
  char fileName[kTrqFileNameSize];
  std::uint8_t attributes[512];
  std::uint8_t gapMap[kTrqGapMapCapacity];
  std::uint8_t fillPair[2];
  std::uint32_t delimiter;
  std::uint8_t origin[2];       // maker code, operating-system code
  char exitName1[kTrqExitNameSize];
  char exitName2[kTrqExitNameSize];
};

// The handle a slot holds when it names itself; null otherwise.
inline RecordHandle* TrqHandle(RecordHandle* const* slot) {
  if (!slot || !*slot || (*slot)->self != *slot) return nullptr;
  return *slot;
}

// A code of the record layer or of the open steps: 12 and above carry the tag.
constexpr std::int32_t TrqTagged(std::int32_t code) {
  return code >= 12 ? static_cast<std::int32_t>(static_cast<std::uint32_t>(code) | kTrqTag) : code;
}
