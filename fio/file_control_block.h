// The file control block of the record layer and the operations that create and end it:
// `fiopen` opens a file (or hands it to the user I/O exit) and settles its record format,
// record length, block size and delimiter; `fiocls` finishes it and releases everything.
// Records are read and written with `fioget` and `fioput` (fio/fio.h).
#pragma once
#include <array>
#include <cstdint>

#include "fio/buffered_file.h"
#include "fio/user_io_exit.h"

// fio return codes; each positive one is also the number of its catalogue message.
inline constexpr std::int32_t kFioOk = 0;
inline constexpr std::int32_t kFioWildcards = 1;         // filpas: the pattern has wildcards
inline constexpr std::int32_t kFioEndOfFile = 2;         // "End of File"
inline constexpr std::int32_t kFioPadded = 4;            // fix output record padded
inline constexpr std::int32_t kFioNotTorqfile = 10;      // container probe shorter than 18 bytes
inline constexpr std::int32_t kFioEmpty = 30;            // container file empty
inline constexpr std::int32_t kFioBadOpenMode = 32;      // "Bad open mode"
inline constexpr std::int32_t kFioBadFileType = 33;      // organisation not allowed for input
inline constexpr std::int32_t kFioBadRecordFormat = 34;  // "Invalid record format"
inline constexpr std::int32_t kFioBadRecordLength = 35;  // "Invalid record length"
inline constexpr std::int32_t kFioBadData = 50;          // incomplete or corrupt record data
inline constexpr std::int32_t kFioLengthError =
    51;  // record longer than a buffer or a prefix allows
inline constexpr std::int32_t kFioNoDelimiter = 105;  // message: "No delimiter at end of file"
inline constexpr std::int32_t kFioTruncated = 111;    // "Record(s) truncated"
inline constexpr std::int32_t kFioBadBlock = -1;      // bad block, no memory, exit refused
inline constexpr std::int32_t kFioSystemErrorBase = 0x0F000000;

// 0x0F000000 plus an operating-system error number in the low 24 bits.
constexpr std::int32_t FioSystemError(std::uint32_t error) {
  return kFioSystemErrorBase + static_cast<std::int32_t>(error & 0x00FFFFFFu);
}

// The marker of an integer argument that was not given.
inline constexpr std::int32_t kNotGiven = static_cast<std::int32_t>(0x80000001u);

// Open modes.
inline constexpr std::int32_t kOpenInput = 0;
inline constexpr std::int32_t kOpenOutput = 1;
inline constexpr std::int32_t kOpenInputUpdate = 2;
inline constexpr std::int32_t kOpenOutputUpdate = 3;
inline constexpr std::int32_t kOpenAppend = 9;

inline constexpr std::int32_t kFcbInput = 0;  // direction
inline constexpr std::int32_t kFcbOutput = 1;
inline constexpr std::int32_t kFcbStdio = 0x10000;  // stdio: standard input or output

inline constexpr std::int32_t kFcbMinBufferSize = 4096;
inline constexpr std::uint32_t kFcbFileNameSize = 258;
inline constexpr std::uint32_t kFcbProbeSize = 18;
inline constexpr std::uint32_t kFcbScratchSize = 146;
inline constexpr std::uint32_t kFcbLetterValues = 23;

// File attribute vector: full form and the short forms fiopen writes itself.
inline constexpr std::int32_t kAttrLevelFull = 44;
inline constexpr std::int32_t kAttrLevelFormat = 1;
inline constexpr std::int32_t kAttrLevelDelimiter = 3;

// The origin system pair every open returns (0xE000, "WINDOWS 9x/NT/200x/XP").
inline constexpr std::uint8_t kOriginSystem0 = 0x00;
inline constexpr std::uint8_t kOriginSystem1 = 0xE0;

// One zero-filled block from the counting heap per open file, held by the caller in a slot.
struct FileControlBlock {
  FileControlBlock* self;     // the block's own address, compared with the slot first
  void* exitArea;             // device 7: the user-exit work area; null otherwise
  std::uint8_t* cursor;       // current position in the read-ahead or block buffer
  std::uint8_t* buffer;       // record and block buffer of bufferSize bytes
  std::uint8_t* bufferEnd;    // end of the valid read-ahead bytes
  std::uint8_t* padBuffer;    // fix output: recordLength fill bytes, made at the first short record
  TBasicIo* io;               // the buffered file object; null for device 7
  double asnPending;          // ASN.1: bytes of an open long element still to come
  std::int32_t device;        // 7 user I/O exit, otherwise 0
  std::int32_t recordFormat;  // internal record format code
  std::int32_t recordLength;  // fix record length; undefined block length; detected length
  std::int32_t blockSize;     // asn1_blk input; block output
  std::int32_t bufferSize;    // the larger of recordLength, blockSize and 4096
  std::int32_t direction;     // 0 input, 1 output
  std::int32_t zeroDigit;     // var_ascii 0x30, var_ebcdic 0xF0 (output length digits)
  std::int32_t stdio;         // 0x10000 for standard input or output
  std::int32_t eafDigits;     // eaf input: length digits of the open set (0, 4 or 6)
  std::int32_t blockFree;     // output: free bytes in the current block; input windows
  std::int32_t asnRest;       // ASN.1: bytes of a long primitive element still to deliver
  std::int32_t dtextStarted;  // dtext output: 1 once a record is out
  std::uint32_t delimiter;    // delimiter descriptor
  std::uint16_t letterBase;   // printable form: the code of "A" (65 or 193)
  std::uint8_t scratch[kFcbScratchSize];        // DTAUS work area
  char fileName[kFcbFileNameSize];              // the name; "STDIN$" or "STDOUT$"
  std::uint8_t probeLength;                     // 18 after a container probe
  std::uint8_t probe[kFcbProbeSize];            // the first 18 bytes of a container file
  std::uint8_t letterValues[kFcbLetterValues];  // printable form: letter to nibble
  std::uint8_t fillByte;                        // pad character
  std::uint8_t dtausState;                      // DTAUS record sequence state
  std::uint8_t dtausLetters[6];                 // DTAUS letters A, C, E for output, then for input
  std::uint8_t dtausZero;                       // DTAUS zero digit
  std::uint8_t dtausBlank;                      // DTAUS blank
  std::uint8_t codeTable[256];                  // DTAUS code table
  std::uint8_t exitWorkArea[kUserIoAreaSize];   // device 7: the user exit's own area
  // Text input with a two-character delimiter: 1 when a first delimiter character that
  // turned out to be data could not be stored any more; it begins the next record.
  std::int32_t textCarry;
};

// The DTAUS code tables: EBCDIC to ASCII and ASCII to EBCDIC.
extern const std::array<std::uint8_t, 256> codetabea;
extern const std::array<std::uint8_t, 256> codetabae;

// Opens a file. All arguments by reference; see the table of arguments in the record layer's
// documentation: the slot receives the new block, rc the result. `name` must have room for
// "STDOUT$" (it is replaced by "STDIN$"/"STDOUT$" for standard I/O); `attributeVector` holds
// `attributeLevel` bytes (null: none); `fillPair` and `originPair` hold 2 bytes each.
void fiopen(FileControlBlock*& slot, std::int32_t& rc, const std::int32_t& openMode,
            const std::int32_t& exitValue1, std::int32_t& closeDisposition, std::uint8_t* fillPair,
            const char* defaultName, std::int32_t& nameLength, char* name,
            std::int32_t& organisation, std::int32_t& recordFormat, std::int32_t& recordLength,
            std::uint32_t& delimiter, const std::int32_t& exitValue2, std::int32_t& blockSize,
            const std::int32_t& exitValue3, std::int32_t& device, std::int32_t& attributeLevel,
            std::uint8_t* attributeVector, std::uint8_t* originPair);

// Finishes and closes the file, releases everything and clears the slot. A slot that holds no
// valid block gives rc -1 and is left alone.
void fiocls(FileControlBlock*& slot, std::int32_t& rc);

// The block's buffered file object, or null for a null block.
TBasicIo* FioBasicHandle(const FileControlBlock* fcb);

// True when the slot holds a block whose self word names it.
inline bool FcbValid(const FileControlBlock* slotValue) {
  return slotValue != nullptr && slotValue->self == slotValue;
}

// The common start of the block operations: rc -1 and false for a slot without a valid block,
// otherwise rc 0 and true.
inline bool FcbEnter(const FileControlBlock* slotValue, std::int32_t& rc) {
  rc = FcbValid(slotValue) ? kFioOk : kFioBadBlock;
  return rc == kFioOk;
}
