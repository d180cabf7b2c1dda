// The words of the parameter language: one keyword table per first letter and one value table
// per keyword that takes a word. A row is selected by any token of at least `min` and at most
// `len` characters that begins its name; the first such row of a table wins.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

struct KeywordRow {
  std::uint8_t code;  // handler code (keyword tables) or value (value tables); 255 ends a table
  std::uint8_t min;   // fewest characters that select the row
  std::uint8_t len;   // most characters that select the row (the name's NUL stops longer ones)
  const char* name;   // lower case

  constexpr KeywordRow(std::uint8_t c, std::uint8_t m, const char* n)
      : code(c), min(m), len(static_cast<std::uint8_t>(std::string_view(n).size())), name(n) {}
  constexpr KeywordRow(std::uint8_t c, std::uint8_t m, const char* n, std::uint8_t l)
      : code(c), min(m), len(l), name(n) {}
};

inline constexpr std::uint8_t kNoMatch = 255;
inline constexpr KeywordRow kEndRow{kNoMatch, 0, "", 0};

// A table with the row width of its stored form: a name holds at most width - 4 characters.
struct KeywordTable {
  std::span<const KeywordRow> rows;
  int width;
};

namespace keyword_detail {
template <std::size_t N>
constexpr bool Fits(const KeywordRow (&rows)[N], int width) {
  for (const KeywordRow& r : rows)
    if (static_cast<int>(std::string_view(r.name).size()) > width - 4 ||
        (r.min < 1 && r.code != kNoMatch))
      return false;
  return rows[N - 1].code == kNoMatch;
}
}  // namespace keyword_detail

#define TORQ_TABLE(name, width, ...)                                           \
  inline constexpr KeywordRow name##_rows[] = {__VA_ARGS__, kEndRow};          \
  static_assert(keyword_detail::Fits(name##_rows, width), #name " row width"); \
  inline constexpr KeywordTable name{name##_rows, width};

// ---- keyword tables --------------------------------------------------------------------------
TORQ_TABLE(taba, 16, {121, 2, "attributes"}, {145, 2, "ascii_ebcdic"}, {3, 2, "adc"},
           {5, 2, "aes"}, {40, 3, "add"}, {41, 3, "append"})
TORQ_TABLE(tabb, 15, {125, 4, "blkmode"}, {104, 4, "blksize"}, {125, 4, "blockmode"},
           {104, 4, "blocksize"}, {170, 2, "buffer_size"})
TORQ_TABLE(tabc, 17, {160, 3, "code_table"}, {160, 3, "codetable"}, {149, 4, "comment"},
           {1, 3, "compress"}, {1, 2, "cut"}, {122, 2, "character_set"}, {1, 3, "cx7"},
           {0, 3, "cx8"}, {133, 2, "closdisp"}, {133, 2, "closedisp"}, {146, 2, "crymode"},
           {146, 2, "cryptmode"}, {146, 2, "cryptomode"}, {147, 4, "crykey"},
           {147, 6, "cryptkey"}, {147, 7, "cryptokey"})
TORQ_TABLE(tabd, 17, {123, 3, "device"}, {1, 2, "duplicate_key"}, {125, 2, "duplicate_key"},
           {0, 3, "decompress"}, {1, 3, "delete"}, {90, 3, "defaults"}, {9, 2, "dc8"})
TORQ_TABLE(tabe, 16, {0, 1, "eight_bit"}, {151, 4, "exd10"}, {151, 4, "exk10"},
           {151, 4, "exd20"}, {151, 4, "exk20"}, {145, 2, "ebcdic_ascii"})
TORQ_TABLE(tabf, 13, {125, 3, "fileinfo"}, {1, 3, "finfo"}, {122, 5, "torqcode"},
           {181, 5, "torqin"}, {182, 5, "torqout"}, {180, 5, "torqfile"}, {200, 2, "format"})
TORQ_TABLE(tabh, 10, {1, 1, "header"}, {125, 1, "header"})
TORQ_TABLE(tabi, 19, {104, 2, "iblksize"}, {104, 2, "iblocksize"}, {133, 2, "iclosdisp"},
           {1, 4, "idelete"}, {123, 2, "idevice"}, {1, 3, "iduplicate_key"},
           {125, 3, "iduplicate_key"}, {101, 5, "ikeylength"}, {150, 5, "ikeyname"},
           {102, 5, "ikeyposition"}, {101, 5, "ikeysize"}, {132, 5, "ikeytype"},
           {200, 4, "in_format"}, {104, 3, "inblksize"}, {104, 3, "inblocksize"},
           {133, 3, "inclosdisp"}, {1, 5, "indelete"}, {140, 5, "indelim"}, {123, 5, "indevice"},
           {1, 4, "induplicate_key"}, {125, 4, "induplicate_key"}, {124, 3, "info"},
           {129, 5, "informat"}, {101, 6, "inkeylength"}, {150, 6, "inkeyname"},
           {102, 6, "inkeyposition"}, {101, 6, "inkeysize"}, {132, 6, "inkeytype"},
           {128, 3, "inorganisation"}, {128, 3, "inorganization"}, {188, 3, "input_file"},
           {140, 6, "inrecdelim"}, {129, 6, "inrecformat"}, {102, 6, "inrecsize"},
           {102, 3, "insize"}, {1, 3, "inuser_io"}, {128, 2, "iorganisation"},
           {128, 2, "iorganization"}, {140, 3, "irdelim"}, {140, 5, "irecdelim"},
           {129, 5, "irecformat"}, {102, 5, "irecsize"}, {129, 3, "irformat"},
           {102, 3, "irsize"}, {1, 2, "iuser_io"})
TORQ_TABLE(tabk, 15, {101, 4, "keylength"}, {150, 4, "keyname"}, {102, 4, "keyposition"},
           {101, 4, "keysize"}, {132, 4, "keytype"}, {152, 3, "kmdll"}, {153, 3, "kmexit", 7},
           {152, 3, "kmlib"}, {154, 3, "kmparam"}, {154, 3, "kmparm"})
TORQ_TABLE(tabl, 11, {149, 2, "label"}, {109, 2, "length"}, {184, 2, "logfile"},
           {30, 2, "list"})
TORQ_TABLE(tabm, 16, {170, 4, "maxbuffer"}, {104, 4, "maxrecords"}, {103, 4, "maxsize"},
           {184, 2, "messages"}, {184, 2, "message_file"}, {126, 3, "mode"},
           {184, 2, "msgfile"})
TORQ_TABLE(tabn, 19, {4, 2, "ndc"}, {0, 4, "noduplicate_key"}, {0, 3, "nocut"},
           {0, 4, "notruncate"}, {0, 3, "nosuppress"}, {0, 3, "noheader"}, {0, 3, "nofinfo"},
           {0, 4, "nodelete"}, {0, 3, "noindelete"}, {0, 3, "noidelete"}, {0, 3, "nopath"},
           {1, 4, "notest"})
TORQ_TABLE(tabo, 20, {104, 2, "oblksize"}, {104, 2, "oblocksize"}, {133, 2, "oclosdisp"},
           {123, 3, "odevice"}, {125, 3, "oduplicate-key"}, {1, 3, "oduplicate_key"},
           {108, 2, "offset"}, {101, 5, "okeylength"}, {150, 5, "okeyname"},
           {102, 6, "okeyposition"}, {101, 5, "okeysize"}, {132, 5, "okeytype"},
           {128, 2, "oorganisation"}, {128, 2, "oorganization"}, {187, 3, "opath"},
           {127, 3, "option"}, {127, 7, "options"}, {140, 3, "ordelim"}, {140, 5, "orecdelim"},
           {129, 5, "orecformat"}, {102, 5, "orecsize"}, {129, 3, "orformat"},
           {128, 3, "organisation"}, {128, 3, "organization"}, {102, 3, "orsize"},
           {1, 2, "ouser_io"}, {200, 5, "out_format"}, {104, 4, "outblksize"},
           {104, 4, "outblocksize"}, {133, 4, "outclosdisp"}, {140, 6, "outdelim"},
           {123, 6, "outdevice"}, {125, 5, "outduplicate-key"}, {1, 5, "outduplicate_key"},
           {129, 4, "outformat"}, {101, 7, "outkeylength"}, {150, 7, "outkeyname"},
           {102, 7, "outkeyposition"}, {101, 7, "outkeysize"}, {132, 7, "outkeytype"},
           {128, 4, "outorganisation"}, {128, 4, "outorganization"}, {187, 5, "outpath"},
           {189, 5, "output_file"}, {140, 7, "outrecdelim"}, {129, 7, "outrecformat"},
           {102, 7, "outrecsize"}, {102, 4, "outsize"}, {1, 4, "outuser_io"})
TORQ_TABLE(tabp, 18, {140, 3, "pad_char"}, {140, 3, "pad-char"}, {140, 3, "padchar"},
           {183, 3, "parameter_file"}, {183, 3, "parfile"}, {1, 4, "pos_over_error"},
           {1, 4, "position_table"}, {141, 3, "password"}, {141, 3, "paascii"},
           {142, 3, "paebcdic"}, {142, 3, "paeword"}, {143, 3, "paxword"},
           {143, 3, "pahexword"}, {144, 3, "pafile", 9}, {155, 3, "priority"})
TORQ_TABLE(tabr, 21, {104, 4, "records_in_buffer"}, {140, 4, "recdelim"},
           {129, 4, "recformat"}, {103, 4, "recsize"})
TORQ_TABLE(tabs, 16, {130, 2, "show"}, {2, 2, "suppress"}, {148, 3, "secureinfo"},
           {1, 3, "seven_bit"}, {131, 2, "streamformat"})
TORQ_TABLE(tabt, 13, {161, 3, "translate"}, {1, 3, "truncate"}, {139, 3, "trimchar"})
TORQ_TABLE(tabu, 14, {0, 1, "uncompress"}, {1, 2, "user_io"})
TORQ_TABLE(tabv, 7, {2, 1, "vr8"})

// The four torq* rows of tabf, which a keyword beginning with "t" reaches after tabt.
inline constexpr KeywordTable tabf_torq{std::span<const KeywordRow>(tabf_rows + 2, 4), 13};

// ---- value tables ----------------------------------------------------------------------------
TORQ_TABLE(tabattr, 10, {17, 1, "all"}, {1, 1, "common"}, {0, 1, "none"})
TORQ_TABLE(tabchs, 10, {1, 1, "ascii"}, {0, 1, "ebcdic"})
TORQ_TABLE(tabclos, 12, {0, 3, "rewind"}, {1, 1, "unload"}, {1, 1, "dismount"},
           {2, 1, "leave", 6}, {2, 3, "retain"}, {2, 1, "norewind"})
TORQ_TABLE(tabdev, 12, {0, 1, "disk"}, {2, 1, "floppy"}, {3, 1, "streamer"}, {1, 1, "tape"})
TORQ_TABLE(tabinf, 13, {4, 1, "error"}, {2, 1, "hold"}, {1, 1, "ja"}, {0, 1, "nein"},
           {0, 1, "no"}, {3, 1, "statistic"}, {1, 1, "yes"})
TORQ_TABLE(tabjn, 8, {1, 1, "ja"}, {0, 1, "nein"}, {0, 1, "no"}, {1, 1, "yes"})
TORQ_TABLE(tabkeyt, 8, {0, 3, "stg"}, {10, 3, "in2"}, {2, 3, "bn2"}, {9, 3, "in4"},
           {1, 3, "bn4"}, {17, 3, "pac"}, {12, 3, "in8"}, {4, 3, "bn8"}, {24, 3, "col"},
           {32, 4, "dstg"}, {42, 4, "din2"}, {34, 4, "dbn2"}, {41, 4, "din4"}, {33, 4, "dbn4"},
           {49, 4, "dpac"}, {44, 4, "din8"}, {36, 4, "dbn8"}, {56, 4, "dcol"})
TORQ_TABLE(tabmod, 11, {3, 2, "adc"}, {5, 2, "aes"}, {1, 3, "cx7"}, {0, 3, "cx8"},
           {8, 2, "dc8"}, {4, 1, "ndc"}, {2, 1, "vr8"})
TORQ_TABLE(tabcry, 8, {0, 1, "none"}, {16, 1, "torq"}, {32, 1, "aes"})
TORQ_TABLE(tabopt, 14, {1, 2, "add"}, {2, 2, "append"}, {3, 1, "cut"}, {4, 4, "noadd"},
           {5, 4, "noappend"}, {6, 1, "nocut"}, {7, 3, "nopath", 8}, {8, 3, "nosuppress"},
           {6, 3, "notruncate"}, {9, 1, "path"}, {10, 2, "suppress"}, {3, 3, "truncate"})
TORQ_TABLE(taborg, 22, {1, 1, "indexed-sequential"}, {1, 1, "is"}, {2, 1, "relative"},
           {0, 1, "sequential"}, {4, 1, "unstructured"}, {12, 14, "unstructured_odd"})
TORQ_TABLE(tabpc, 10, {1, 1, "below"}, {2, 1, "idle"})
TORQ_TABLE(tabrf, 16, {1, 1, "fix"}, {3, 1, "text"}, {3, 1, "stream"}, {2, 1, "undefined"},
           {0, 5, "var_2b"}, {56, 5, "var_intel"}, {40, 5, "var_ascii"}, {48, 5, "var_ebcdic"},
           {32, 5, "var_4b"}, {64, 7, "var_2b_in"}, {72, 7, "var_4b_in"},
           {16, 4, "var2b_data"}, {0, 2, "variable"}, {18, 1, "eaf"}, {96, 7, "dtaus_d"},
           {104, 10, "dtaus_d_ae"}, {112, 11, "dtaus_d_ea0"}, {120, 11, "dtaus_d_ea1"},
           {128, 8, "dtaus_dt"}, {88, 11, "dtaus_dt_ae"}, {136, 12, "dtaus_dt_ea0"},
           {144, 12, "dtaus_dt_ea1"}, {152, 7, "dtaus_t"}, {160, 10, "dtaus_t_ae"},
           {168, 11, "dtaus_t_ea0"}, {184, 11, "dtaus_t_ea1"}, {192, 8, "dtaus_td"},
           {200, 11, "dtaus_td_ae"}, {80, 12, "dtaus_td_ea0"}, {176, 12, "dtaus_td_ea1"},
           {12, 5, "dtext"}, {208, 1, "asn1"}, {216, 6, "asn1_blk"}, {224, 6, "asn1_stream"},
           {24, 2, "vfc"})
TORQ_TABLE(tabsh, 14, {1, 2, "all"}, {2, 2, "attributes"}, {4, 1, "error"}, {0, 1, "none"},
           {3, 1, "statistic"})
TORQ_TABLE(tabst, 16, {1, 1, "eaf"}, {96, 7, "dtaus_d"}, {104, 10, "dtaus_d_ae"},
           {112, 11, "dtaus_d_ea0"}, {120, 11, "dtaus_d_ea1"}, {128, 8, "dtaus_dt"},
           {88, 11, "dtaus_dt_ae"}, {136, 12, "dtaus_dt_ea0"}, {144, 12, "dtaus_dt_ea1"},
           {152, 7, "dtaus_t"}, {160, 10, "dtaus_t_ae"}, {168, 11, "dtaus_t_ea0"},
           {184, 11, "dtaus_t_ea1"}, {192, 8, "dtaus_td"}, {200, 11, "dtaus_td_ae"},
           {80, 12, "dtaus_td_ea0"}, {176, 12, "dtaus_td_ea1"}, {208, 1, "asn1"},
           {216, 6, "asn1_blk"}, {224, 6, "asn1_stream"})
TORQ_TABLE(tabsec, 16, {0, 1, "no"}, {0, 1, "nein"}, {1, 1, "ja"}, {1, 1, "yes"})

#undef TORQ_TABLE

// The first row of the table that the token selects, or null.
const KeywordRow* FindKeywordRow(KeywordTable table, std::string_view token);
// The keyword table of a first letter (lower case), or null when no keyword begins with it.
const KeywordTable* KeywordTableOf(char letter);
