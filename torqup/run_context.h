// The run context: the one block of state of a single run of torq4. The run driver takes it
// zeroed from the counting heap, chparam presets and fills it, and every step reads its settings
// from it. Integer settings start at kNotGiven; a source (parameter string, parameter files,
// defaults record, in that order) only fills what still holds the marker.
//
// Where one field served two roles (one while parsing, one while the steps run) it is split in
// two here, so neither role can disturb the other.
#pragma once
#include <cstddef>
#include <cstdint>

#include "fio/file_control_block.h"
#include "support/environment_defstruct.h"

struct RecordHandle;

// Sizes of the context's buffers.
inline constexpr std::size_t kRunNameSlot = kDefNameSlot;  // length byte, text, NUL
inline constexpr std::size_t kRunSlotTextMax = 255;        // the most a slot's length byte says
inline constexpr std::size_t kRunNameMax = 254;            // longest file name the steps carry
inline constexpr std::size_t kRunExitSlot = kDefExitSlot;  // length byte, up to 8 chars, NUL
inline constexpr std::size_t kRunValueSize = 512;          // value buffer: keyword or value + NUL
inline constexpr std::size_t kRunAttrSize = 512;           // file attribute vector
inline constexpr std::size_t kRunRecordSize = 4096;        // built-in record buffer
inline constexpr std::size_t kRunPasswordSize = 66;        // up to 64 bytes and a NUL
inline constexpr std::int32_t kRunPasswordMax = 64;
inline constexpr std::size_t kRunNameList = 1024;          // one bracketed name list
inline constexpr std::size_t kParBlockMark = 1700;         // parameter-file block: gathering stops past it
inline constexpr std::size_t kParLineSize = 266;           // longest parameter/password file line
inline constexpr std::size_t kParBlockSize = kParBlockMark + kParLineSize + 2;
inline constexpr std::uint8_t kPassNotGiven = 127;          // first-names pass not set yet
inline constexpr std::uint8_t kOptNotGiven = 255;           // option byte not given

// The key-management exit procedure: ten arguments by reference.
using TorqKmeProc = void (*)(std::int32_t* function, std::int32_t* rc, std::int32_t* parmLength,
                             char* parm, std::int32_t* keyLength, std::uint8_t* key,
                             std::int32_t* passwordLength, std::uint8_t* password,
                             std::int32_t* messageLength, char* message);

struct RunContext {
  // --- handles and cursors -------------------------------------------------------------------
  FileControlBlock* parFile;      // parsing: the open parameter or password file
  RecordHandle* recordHandle;     // run: the container's record-interface handle
  std::uint8_t* nameListBuffer;   // heap buffer of the last bracketed name list (parse only)
  char* keyword;                  // start of the current keyword as typed; file: line cursor
  char* token;                    // current token (normally `value`); file: end of the line
  char* textEnd;                  // end of the text being parsed
  char* parse;                    // next character of the text being parsed
  std::uint8_t* dest;             // where the value parsers write
  std::uint8_t* recordBuffer;     // compress record buffer (builtin unless a larger one)
  FileControlBlock* fileSlot;     // current input (compress) or output (decompress) file
  std::uint8_t* containerCursor;  // next entry of the container name list
  std::uint8_t* containerList;    // container list as parsed (kept for deletion and freeing)
  std::uint8_t* outputCursor;
  std::uint8_t* outputList;
  std::uint8_t* inputCursor;
  std::uint8_t* inputList;

  // --- settings and working words ------------------------------------------------------------
  std::int32_t userExitWord;         // fiopen's user-exit word, cleared before each open
  std::int32_t blkmode;              // marker
  std::int32_t savedOutBlksize;
  std::int32_t recordBufferSize;
  std::int32_t savedOutClosedisp;
  std::int32_t cryptmode;            // marker; 0, 16 TORQenc, 32 AES; written directly
  std::int32_t savedOutDevice;
  std::int32_t nameLength;           // 254 before each open or header read
  std::int32_t torqcode;             // marker; container character set
  std::int32_t header;               // marker
  std::int32_t bufSizeId;            // id of the last maxbuffer value
  std::int32_t parFileStatus;        // status word of parameter-file reading
  std::int32_t tokenLength;          // on entry to chparam: length of the whole string
  std::int32_t nameCount;            // names in the last file-name value
  std::int32_t fileinfo;             // marker
  std::int32_t gapCount;
  std::int32_t memberListPending;
  std::int32_t outOpenMode;          // 1, or 9 with the append option
  std::int32_t inOpenMode;
  std::int32_t mode;                 // marker; method code of the ModeWord
  std::int32_t function;             // marker; 1 compress, 0 decompress
  std::int32_t containerOpenMode;    // 1 compress, 9 compress with add, 0 decompress
  std::int32_t savedOrg;
  std::int32_t headerExitWord;       // cleared by the parser
  std::int32_t stepRc;               // result of the last step
  std::int32_t warning;
  std::int32_t savedOutRecform;
  std::int32_t lineLength;           // parsing: length of the current parameter-file line
  std::int32_t savedOutRecsize;
  std::int32_t maxrecords;           // marker
  std::int32_t attrLength;
  std::int32_t secureinfo;           // marker; written directly
  std::int32_t show;                 // marker
  std::int32_t streamformat;         // marker; format override
  std::int32_t notest;               // marker
  std::int32_t translate;            // marker
  std::int32_t savedOutUserio;

  // container attributes (markers; negative = default record value the input may replace)
  std::int32_t kBlksize;
  std::int32_t kRecform;
  std::int32_t kRecsize;
  std::int32_t kDevice;
  std::int32_t kDelete;
  std::int32_t kOrg;
  std::int32_t kUserio;
  std::int32_t kClosedisp;
  std::int32_t containerCount;       // container names left
  std::int32_t containerCountGiven;  // parsed in the current pass; kept for freeing
  // input attributes (markers)
  std::int32_t iDevice;
  std::int32_t iDelete;
  std::int32_t iOrg;
  std::int32_t iBlksize;
  std::int32_t iRecsize;
  std::int32_t iRecform;
  std::int32_t iUserio;
  std::int32_t iClosedisp;
  std::int32_t inputCount;
  std::int32_t inputCountGiven;
  // output attributes (markers; negative as above on decompress)
  std::int32_t oDevice;
  std::int32_t oBlksize;
  std::int32_t oOrg;
  std::int32_t oRecsize;
  std::int32_t oRecform;
  std::int32_t oUserio;
  std::int32_t oClosedisp;
  std::int32_t outputCount;
  std::int32_t outputCountGiven;

  std::int32_t compressedTotals[3];    // blocks, block bytes low, high
  std::int32_t uncompressedTotals[3];  // records, bytes low, high
  std::int32_t memberCounts[3];
  std::int32_t maxbuffer;              // marker; matrix buffer size in bytes
  std::int32_t containerTotals[6];
  std::int32_t passwordLength;         // 0 = no password
  std::int32_t userHeaderLength;
  std::uint32_t iDelim;                // delimiter descriptors; 0 = not given
  std::uint32_t kDelim;
  std::uint32_t oDelim;
  std::uint32_t savedOutDelim;
  std::int32_t exitWord;
  std::int32_t recordExitWord;
  std::int32_t trqopdWord;
  void* recordExitWords[3];
  std::int32_t coderCloseWord;

  // --- name slots (length byte, text, NUL) ---------------------------------------------------
  std::uint8_t msgFileName[kRunNameSlot];        // parsing: message file
  std::uint8_t newContainerName[kRunNameSlot];   // run: scratch for output-name patterns
  std::uint8_t parFileName[kRunNameSlot];        // parsing: parameter file
  std::uint8_t currentPattern[kRunNameSlot];     // run: current input/output list entry
  std::uint8_t pafileName[kRunNameSlot];         // password file
  std::uint8_t codeTableName[kRunNameSlot];      // parsing: code-table file
  std::uint8_t currentContainerPattern[kRunNameSlot];
  std::uint8_t containerName[kRunNameSlot];
  std::uint8_t inputName[kRunNameSlot];
  std::uint8_t outputName[kRunNameSlot];
  std::uint8_t parFileFullName[kRunNameSlot];    // parsing: full name of the open parameter file
  std::uint8_t memberName[kRunNameSlot];         // run: stored name of the current member
  std::uint8_t exitModuleName[kRunNameSlot];     // kmdll, kmlib, kmexit

  // --- key-management exit --------------------------------------------------------------------
  void* exitModule;
  TorqKmeProc exitProc;        // not null = exit in use
  char* exitParm;              // heap text (kmparam, kmexit)
  std::uint8_t* keyBuffer;
  std::int32_t exitParmLength;
  std::int32_t keyLength;
  std::int32_t keyCapacity;
  char* messageBuffer;
  char* comment;               // heap text (comment, label) / last user header read
  std::uint8_t* workBuffer;    // 32,767 bytes
  std::int32_t messageLength;
  std::int32_t messageCapacity;
  std::int32_t commentLength;
  const std::uint8_t* codeTable;  // translation table in force; null = none

  // --- buffers ---------------------------------------------------------------------------------
  std::uint8_t builtinRecord[kRunRecordSize];  // run: default record buffer
  char parBlock[kParBlockSize];                // parsing: items gathered from a parameter file
  char parLine[kParLineSize + 2];              // parsing: one parameter/password file line
  std::uint8_t originPair[2];
  std::uint8_t fillPair[2];        // pad char, pad-given: 0 no, 1 parameters, 255 defaults record
  std::uint8_t delimPadPair[2];
  std::uint8_t savedFillPair[2];
  std::int32_t trimchar;           // -1 not given; 32 after parsing when still not given
  std::uint8_t exk10[kRunExitSlot];
  std::uint8_t exd10[kRunExitSlot];
  std::uint8_t exk20[kRunExitSlot];
  std::uint8_t exd20[kRunExitSlot];
  char exitProcName[kRunExitSlot];  // NUL-terminated, no length byte
  std::uint8_t password[kRunPasswordSize];
  char value[kRunValueSize];               // parsing: current keyword or value, NUL-terminated
  std::uint8_t attributes[kRunAttrSize];   // run: attribute vector of the current file

  // --- letters and flags -----------------------------------------------------------------------
  char prefixLetter;           // parsing: ' ', 'i', 'o' of the last keyword
  std::uint8_t containerOpen;  // run: 1 while a container is open
  std::uint8_t fileOpen;       // 1 while an input or output file is open
  char kindLetter;             // 'k', 'i', 'o' of the last file-name value
  char functionLetter;         // ' ', 'c', 'd'
  char inputKind;              // 'i' compress, 'k' decompress
  char outputKind;             // 'k' compress, 'o' decompress
  char defaultsMarker;         // ' ' normal, 'd' defaults request, 'g' defaults record merged
  char attrGiven;              // ' ', 'k' container attribute given, 'd' output attribute given
  std::uint8_t pass;           // 0 the parameter string, then 1, 2, ... per parameter-file block
  std::uint8_t inputPass;      // pass of the first input names; 127 not yet
  std::uint8_t containerPass;
  std::uint8_t outputPass;
  std::int32_t memberNumber;
  std::uint8_t outpath[1 + kRunNameSlot];  // opath/outpath: length byte and full path
  std::uint8_t parFilePending;  // parsing: a parameter file is to be read after this pass
  std::uint8_t containerListed; // run: the container lines have been listed
  char* parString;              // heap copy of the parameter string; passwords masked in it
  std::uint8_t cut;             // option bytes: 255 not given, else 0 or 1
  std::uint8_t suppress;
  std::uint8_t nopath;
  std::uint8_t append;
  std::uint8_t add;
};

// Parses the parameter string at ctx->parse (length ctx->tokenLength) into the context, reads
// the parameter files and the password file, merges the defaults record and checks the result.
// 0 success; 1 `list` met; -1 no memory or a `format` keyword; 20 function neither compress
// nor decompress; any other value the number of the message already printed.
std::int32_t chparam(RunContext*& ctx);

// Joins command-line items 1..argc-1 into one parameter string (counted heap block; release
// with rmHeapFree0). Null with length 0 for no items; a static empty string when nothing is left.
char* MakeParString(int argc, char** argv, std::uint32_t& length);
// One item to `dest` without its leading sign; returns the NUL written, or `dest`.
char* ParCpy(char* dest, const char* item);
// "," and one item appended to the text at `dest`; returns the new NUL, or `dest`/the end.
char* ParCat(char* dest, const char* item);
// Rewrites the text in place for display: separators become blanks, with `mask` set every
// password or key value is reduced to one '*'. Returns the text.
char* ParRmc(char* text, int mask);
