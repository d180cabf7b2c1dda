// The defaults record "torqdef.dat": the factory settings of every parameter, loaded whole at
// start-up. The file is the record's memory image: 3,068 bytes, 32-bit little-endian words,
// sealed by the CRC-32 of the bytes before it.
#pragma once
#include <cstddef>
#include <cstdint>

// File attributes of the general and the input side.
struct DefFileAttr {
  std::int32_t blksize;    // block size
  std::int32_t closedisp;  // 0 rewind, 1 unload, 2 norewind
  std::int32_t del;        // delete after processing, yes/no
  std::int32_t device;     // 0 disk, 1 tape, 2 diskette, 3 streamer, 6 $RECEIVE, 7 userio
  std::int32_t org;        // 0 sequential, 1 indexed-sequential, 2 relative, 4/12 unstructured
  std::int32_t recform;    // record format code
  std::int32_t recsize;    // record size
  std::int32_t userio;     // user I/O exit, yes/no
  std::uint8_t reserved[140];
  std::uint32_t delim;     // delimiter descriptor of text records; 0 means CR LF
};
static_assert(sizeof(DefFileAttr) == 176);

// File attributes of the output side: the same without the delete word.
struct DefFileAttrOut {
  std::int32_t blksize;
  std::int32_t closedisp;
  std::int32_t device;
  std::int32_t org;
  std::int32_t recform;
  std::int32_t recsize;
  std::int32_t userio;
  std::uint8_t reserved[140];
  std::uint32_t delim;
};
static_assert(sizeof(DefFileAttrOut) == 172);

// A name slot: length byte, the name, NUL, zeros. An exit name slot has the same form.
inline constexpr std::size_t kDefNameSlot = 260;
inline constexpr std::size_t kDefExitSlot = 34;

// Option bytes, numbered as the options keyword map.
enum DefOption { kOptCut = 0, kOptSuppress = 1, kOptNopath = 2, kOptAppend = 3, kOptAdd = 4 };

struct DefStruct {
  char magic[4];              // "QDEF"
  std::int32_t reserved1;
  std::int32_t reserved2;
  std::int32_t blkmode;       // yes/no
  std::int32_t cryptmode;     // 0 none, 16 TORQenc, 32 AES
  std::int32_t torqcode;      // character set of the container: 0 EBCDIC, 1 ASCII
  std::int32_t header;        // file header wanted, yes/no
  std::int32_t fileinfo;      // file information wanted, yes/no
  std::int32_t maxbuffer;     // matrix buffer size in bytes
  std::int32_t mode;          // compression mode: 0 CX8, 1 CX7, 2 VR8, 3 ADC, 4 NDC, 8 DC8
  std::int32_t function;      // 0 decompress, 1 compress
  std::int32_t maxrecords;    // most records per matrix
  std::int32_t secureinfo;    // security trailers, yes/no
  std::int32_t show;          // 0 none, 1 all, 2 attributes, 3 statistic, 4 error
  std::int32_t streamformat;  // a record format code
  std::int32_t translate;     // 0 none, 1 a/e, 2 e/a, 3 tab1, 4 tab2
  DefFileAttr general;
  DefFileAttr input;
  DefFileAttrOut output;
  std::uint8_t codetable[kDefNameSlot];  // code table file
  std::uint8_t torqout[kDefNameSlot];    // decompression output file
  std::uint8_t torqfile[kDefNameSlot];   // container file
  std::uint8_t messages[kDefNameSlot];   // message output file
  std::uint8_t torqin[kDefNameSlot];     // compression input file
  std::uint8_t outpath[kDefNameSlot];    // output directory
  std::uint8_t paramfile[kDefNameSlot];  // parameter file
  std::uint8_t exd10[kDefExitSlot];      // decompression exit 10
  std::uint8_t exd20[kDefExitSlot];      // decompression exit 20
  std::uint8_t exk10[kDefExitSlot];      // compression exit 10
  std::uint8_t exk20[kDefExitSlot];      // compression exit 20
  std::uint8_t ce2a[256];                // EBCDIC to ASCII
  std::uint8_t ca2e[256];                // ASCII to EBCDIC
  std::uint8_t padchar;
  std::uint8_t padgiven;                 // the parser takes padchar only when this is non-zero
  std::uint8_t options[5];               // DefOption
  std::uint8_t reserved3;
  std::uint32_t crc;                     // CRC-32 of bytes 0 to 3063
};

inline constexpr std::size_t kDefStructSize = 3068;
inline constexpr std::size_t kDefCrcOffset = 3064;
static_assert(sizeof(DefStruct) == kDefStructSize);
static_assert(offsetof(DefStruct, blkmode) == 12);
static_assert(offsetof(DefStruct, translate) == 60);
static_assert(offsetof(DefStruct, general) == 64);
static_assert(offsetof(DefStruct, general.reserved) == 96);
static_assert(offsetof(DefStruct, general.delim) == 236);
static_assert(offsetof(DefStruct, input) == 240);
static_assert(offsetof(DefStruct, input.delim) == 412);
static_assert(offsetof(DefStruct, output) == 416);
static_assert(offsetof(DefStruct, output.delim) == 584);
static_assert(offsetof(DefStruct, codetable) == 588);
static_assert(offsetof(DefStruct, torqout) == 848);
static_assert(offsetof(DefStruct, torqfile) == 1108);
static_assert(offsetof(DefStruct, messages) == 1368);
static_assert(offsetof(DefStruct, torqin) == 1628);
static_assert(offsetof(DefStruct, outpath) == 1888);
static_assert(offsetof(DefStruct, paramfile) == 2148);
static_assert(offsetof(DefStruct, exd10) == 2408);
static_assert(offsetof(DefStruct, exd20) == 2442);
static_assert(offsetof(DefStruct, exk10) == 2476);
static_assert(offsetof(DefStruct, exk20) == 2510);
static_assert(offsetof(DefStruct, ce2a) == 2544);
static_assert(offsetof(DefStruct, ca2e) == 2800);
static_assert(offsetof(DefStruct, padchar) == 3056);
static_assert(offsetof(DefStruct, options) == 3058);
static_assert(offsetof(DefStruct, crc) == kDefCrcOffset);

// True when a slot holds a length byte n, n name bytes without NUL, and a NUL, all inside it.
bool DefSlotIsSound(const std::uint8_t* slot, std::size_t size);
// True when the record's magic and CRC are right and every name slot is sound.
bool DefStructIsSound(const DefStruct& record);
