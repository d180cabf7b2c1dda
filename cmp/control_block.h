// The container control block: one per open TORQFILE, from cmpopn to cmpcls. It holds the
// block buffer and its cursors, the header record being built or read, the matrix header, the
// letter set of the 7-bit form, the counters and the security and key state.
#pragma once
#include <cstdint>

#include "crypt/aes_keys.h"

struct FileControlBlock;
struct PwdCipherState;

// Return codes of the container layer; each positive one is the number of its message.
inline constexpr std::int32_t kCmpOk = 0;
inline constexpr std::int32_t kCmpBad = -1;             // bad block, no memory, unknown request
inline constexpr std::int32_t kCmpEndOfFile = 2;        // end of the container file
inline constexpr std::int32_t kCmpSecurityOn = 2;       // cmpopn: opened with trailers
inline constexpr std::int32_t kCmpPadded = 4;           // block writer: block padded
inline constexpr std::int32_t kCmpNoPassword = 7;       // "No password found"
inline constexpr std::int32_t kCmpNoFileHeader = 9;     // "No file header preserved"
inline constexpr std::int32_t kCmpNotTorqfile = 10;     // "File is not a TORQFILE"
inline constexpr std::int32_t kCmpBadFormat = 11;       // "Bad TORQFILE format"
inline constexpr std::int32_t kCmpBadRecordLength = 12; // "Bad TORQFILE record length"
inline constexpr std::int32_t kCmpUnexpectedEnd = 13;   // "Unexpected end of file encountered"
inline constexpr std::int32_t kCmpBadChecksum = 14;     // "Bad checksum"
inline constexpr std::int32_t kCmpVersion1 = 17;        // "TORQFILE created with TORQ Version 1"
inline constexpr std::int32_t kCmpParallelSplit = 18;   // "TORQFILE is parallel splitted"
inline constexpr std::int32_t kCmpSerialSplit = 19;     // "TORQFILE is serial splitted"
inline constexpr std::int32_t kCmpBadOpenMode = 20;     // "Bad Open Mode"
inline constexpr std::int32_t kCmpBadMode = 22;         // "Invalid compression mode"
inline constexpr std::int32_t kCmpPasswordWrong = 29;   // "Password wrong or missing"
inline constexpr std::int32_t kCmpExitAbend = 43;       // "Abnormal end caused by exit routine"
inline constexpr std::int32_t kCmpHeaderTooLong = 56;   // "TORQFILE file header too long (> 32 kB)"
inline constexpr std::int32_t kCmpSegmentLength = 57;   // "TORQFILE segment length corrupted"
inline constexpr std::int32_t kCmpBadCoded = 60;        // coded matrix the container cannot carry
inline constexpr std::int32_t kCmpBadLength = 73;        // a coded length that cannot be framed
inline constexpr std::int32_t kCmpBadCrc3 = 63;         // "Bad checksum in compressed data (CRC3)"
inline constexpr std::int32_t kCmpBadCrc1 = 64;         // "Bad checksum in compressed data (CRC1)"
inline constexpr std::int32_t kCmpBadVersion = 70;      // "Invalid version of TORQFILE"
inline constexpr std::int32_t kCmpBadCheckLetter = 74;  // "Bad check character"
inline constexpr std::int32_t kCmpUnknownArg = 81;      // "Unknown argument or qualifier: %s%s"
inline constexpr std::int32_t kCmpBadArgValue = 82;     // "Invalid argument value: %s"
inline constexpr std::int32_t kCmpSecureNotAllowed = 114;  // "Secure with given mode not allowed"
inline constexpr std::int32_t kCmpMemberNumber = 351;   // "SECURITY: Member number not contiguous"
inline constexpr std::int32_t kCmpCounters = 352;       // "SECURITY: Member trailer: counters wrong"

// Codes passed up from the record layer carry this tag.
inline constexpr std::uint32_t kCmpTag = 0xF0000000u;

inline constexpr std::int32_t kCmpPositionNext = 99999998;  // cmppos: the next member
inline constexpr std::int32_t kCmpFormatLevel = 200;
inline constexpr std::int32_t kCmpMaxBlockRecords = 4095;  // records of one ADC or NDC matrix
inline constexpr std::int32_t kCmpMaxBlockSize = 32767;
inline constexpr std::int32_t kCmpMaxBlockSize7 = 4095;
inline constexpr std::uint32_t kCmpInlineBlock = 4100;
inline constexpr std::uint32_t kCmpInlineHeader = 2048;
inline constexpr std::uint32_t kCmpMatrixHeaderSize = 532;
inline constexpr std::uint32_t kCmpAesKeyAreaSize = sizeof(AesKeyArea);

// Record kinds the record reader reports.
inline constexpr std::int32_t kKindMatrix = 0;
inline constexpr std::int32_t kKindFileHeader = 1;
inline constexpr std::int32_t kKindTrailer = 2;
inline constexpr std::int32_t kKindFirstPiece = 3;
inline constexpr std::int32_t kKindDc8Matrix = 8;

// Methods (low half of the ModeWord).
inline constexpr std::uint32_t kMethodCx8 = 0;
inline constexpr std::uint32_t kMethodCx7 = 1;
inline constexpr std::uint32_t kMethodVr8 = 2;
inline constexpr std::uint32_t kMethodAdc = 3;
inline constexpr std::uint32_t kMethodNdc = 4;
inline constexpr std::uint32_t kMethodDc8 = 8;
inline constexpr std::uint32_t kMethodDc8Variant = 9;
inline constexpr std::uint32_t kMethodRecognising = 255;

// Callers hold the block in a pointer variable (lpcmp) and pass its address as the slot.
struct CmpControlBlock {
  CmpControlBlock* self;            // the block's own address, compared with the slot first
  FileControlBlock* fcb;            // the container file; its address is the block routines' slot
  std::uint8_t* blockBuffer;        // one physical block: the inline area or a heap block
  std::uint8_t* blockStart;         // start of the current block in the buffer
  std::uint8_t* dataStart;          // first content byte: block start + 4 (8-bit) or + 3 (7-bit)
  std::uint8_t* cursor;             // write position (writing), read position (reading)
  std::uint8_t* headerBuffer;       // the inline header buffer, or a heap block for a long one
  const std::uint8_t* systemHeader; // the caller's system header bytes, kept by cmppsh
  PwdCipherState* pwdState;         // password cipher state, made by cmppwd, freed by cmpcls
  double byteSum;                   // block bytes written or read
  std::uint32_t headerLength;       // length of the header record built or read
  std::uint32_t matrixHeaderLength; // length of the last matrix header read or written
  std::uint32_t systemHeaderLength; // length given to cmppsh
  std::uint32_t passwordLength;     // length given to cmppwd
  std::uint32_t charCode;           // 0 EBCDIC, 1 ASCII
  std::uint32_t optionWord;         // the record interface's option word
  std::uint32_t direction;          // 0 read, 1 write
  std::uint32_t method;             // compression method; 1 is the 7-bit form
  std::uint32_t recordKind;         // last record met: 0 matrix header, 1 file header, 2 trailer
  std::uint32_t memberStartMark;    // 0, 1 (DC8) or 2 (ADC, NDC) for byte 4 of the next block
  std::uint32_t fixedBlock;         // 1: every block has the full block size
  std::uint32_t formatLevel;        // 200
  std::uint32_t blockCoderKind;     // reading: the member-start mark of the last block read
  std::uint32_t secinf;             // security state
  std::uint32_t cryptMode;          // 0, 16 or 32
  std::uint32_t trailerLength;      // 48, 52 or 60
  std::uint32_t positioning;        // 0 normal; 1 after positioning or cmpset; 2 read on since
  std::int32_t roomLeft;            // bytes left in the block (writing) or to read (reading)
  std::uint32_t blockCount;         // blocks written or read
  std::uint32_t blockCapacity;      // size of the block buffer
  std::uint32_t blockSize;          // the container file's record length
  std::uint32_t dataCapacity;       // content room of an empty block
  std::uint32_t blockLength;        // length of the current block
  std::int32_t passwordSet;         // above 0 when a password is set or matrices are encrypted
  std::uint32_t matrixBufferSize;   // buffer size of the member being read
  std::uint32_t letterBase;         // 0x41 or 0xC1 in the 7-bit form
  std::uint32_t mem_cnt;            // member counter
  std::uint32_t prevFrameCrc;       // chain CRC of the last matrix frame
  std::uint32_t machineId;          // machine id taken at open (ADC, NDC)
  std::uint32_t blockId;            // frame counter, starts at the time id taken at open
  std::uint32_t firstRecordWord;    // 8-bit: word for bytes 2-3; 7-bit: length lettered in buffer
  std::uint16_t lastMatrixHeaderWord;   // B0 | (B1 & 0x7F) << 8 of the last matrix header read
  std::uint8_t lastMatrixLetters[4];    // first four letters of the last 7-bit matrix header
  std::uint8_t inlineHeader[kCmpInlineHeader];    // header record buffer
  std::uint8_t matrixHeader[kCmpMatrixHeaderSize]; // matrix header being written or read
  std::uint8_t securityHeader[15];      // security header image
  std::uint8_t trailerImage[64];        // record head, trailer image and MAC area
  std::uint64_t tr_origbyt;             // original bytes handed in by passcount
  std::uint64_t tr_origrec;             // original records handed in by passcount
  std::uint64_t prev_origbyt;           // the counts at the last member end
  std::uint64_t prev_origrec;
  std::uint64_t zkb;                    // compressed bytes counted for the trailers
  std::uint64_t zks;                    // compressed blocks counted for the trailers
  std::uint8_t inlineBlock[kCmpInlineBlock];  // block buffer for blocks up to 4096 bytes
  std::uint8_t e2a[256];                // EBCDIC to ASCII (the defaults record's ce2a)
  std::uint8_t a2e[256];                // ASCII to EBCDIC (the defaults record's ca2e)
  std::uint8_t alphabet[16];            // letters of the 7-bit form, value 0 to 15
  std::uint8_t letterValues[23];        // value of letter (code - letter base)
  std::uint8_t space;                   // 0x20 or 0x40
  std::uint8_t checkLetter;             // third length letter of the current 7-bit piece
  std::uint8_t recordLetters[3];        // "f", "b", "t" in the container's character code
  AesKeyArea aes;                       // key material of the AES crypt mode
  // Kept beside the fields above: reading state the format needs.
  std::uint32_t headerCapacity;         // bytes of the header buffer
  std::uint32_t matrixBodyPending;      // 1: a matrix header was read and its body not yet
  std::uint32_t readLetterBase;         // reading: letter base of the last 7-bit block read
  std::uint32_t endOfFile;              // reading: the container file has no further block
};

// The two-part form of a 64-bit count: count / 2,000,000,000 and the remainder.
inline constexpr std::uint64_t kTwoPartUnit = 2000000000u;
