// chparam: the parameter string, then the parameter files, then the defaults record, each
// filling only what the sources before it left not given; then the checks of the whole.
#include <algorithm>
#include <cctype>

#include "support/build_stamp.h"
#include <cerrno>
#include <climits>
#include <cstring>
#include <string>
#include <vector>
#include <strings.h>
#include <sys/stat.h>

#include "cmp/buffer_sizes.h"
#include "fio/name_expansion.h"
#include "fio/record_formats.h"
#include "support/code_tables.h"
#include "support/environment.h"
#include "support/heap.h"
#include "support/message_catalog.h"
#include "support/message_output.h"
#include "support/paths.h"
#include "support/sysinfo.h"
#include "torqup/keyword_matching.h"
#include "torqup/parameter_files.h"
#include "torqup/secret_values.h"
#include "torqup/value_parsers.h"

TORQ_BUILD_STAMP("TorqParser")

namespace {

constexpr std::int32_t kMarker = kNotGiven;
constexpr int kKindContainer = 0;
constexpr int kKindInput = 1;
constexpr int kKindOutput = 2;
constexpr std::uint8_t kExitNameMax = 8;

// Numbers as atol reads them, held to 32 bits.
std::int32_t Atol(const char* s) {
  while (*s == ' ' || (*s >= '\t' && *s <= '\r')) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') negative = *s++ == '-';
  std::int64_t v = 0;
  for (; *s >= '0' && *s <= '9'; ++s) {
    v = v * 10 + (*s - '0');
    if (v > static_cast<std::int64_t>(INT_MAX) + 1) v = static_cast<std::int64_t>(INT_MAX) + 1;
  }
  if (negative) v = -v;
  if (v > INT_MAX) v = INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  return static_cast<std::int32_t>(v);
}

void CopySlot(std::uint8_t* to, const std::uint8_t* from) {
  const std::size_t n = from[0];
  std::memcpy(to, from, n + 1);
  to[n + 1] = 0;  // the text ends where its length byte says, whatever the source held there
}

// An exit name slot taken from the defaults record: its text ends where its length byte says.
void CopyExit(std::uint8_t* to, const std::uint8_t* from) {
  std::memcpy(to, from, kRunExitSlot);
  to[1 + std::min<std::size_t>(from[0], kRunExitSlot - 2)] = 0;
}

void MergeInt(std::int32_t& to, std::int32_t from) {
  if (to == kMarker) to = from;
}

const char* SlotText(const std::uint8_t* slot) { return reinterpret_cast<const char*>(slot + 1); }

// The system error that keeps `name` from naming a file (0 when it names one).
int FileError(const char* name) {
  struct stat st {};
  if (*name == '\0') return ENOENT;
  if (stat(name, &st) != 0) return errno != 0 ? errno : ENOENT;
  return S_ISDIR(st.st_mode) ? EISDIR : 0;
}

// Why the folder `full` (a full path) could not be made: the system's answer for the first
// part of it that is not a folder (0 when every part is one by now). A message never shows a
// system text without the error behind it.
int FolderError(const char* full) {
  std::string part;
  for (const char* p = full; *p != '\0';) {
    const char* next = std::strchr(p + 1, '/');
    if (!next) next = p + std::strlen(p);
    part.assign(full, static_cast<std::size_t>(next - full));
    p = next;
    struct stat st {};
    if (stat(part.c_str(), &st) == 0) {
      if (!S_ISDIR(st.st_mode)) return ENOTDIR;
      continue;
    }
    if (errno != ENOENT) return errno != 0 ? errno : ENOENT;
    if (mkdir(part.c_str(), 0777) != 0) return errno != 0 ? errno : ENOENT;
  }
  return 0;
}

class Parser {
 public:
  Parser(RunContext& ctx, DefStruct& record) : c_(ctx), r_(record) {}
  ~Parser() {
    for (auto& list : passList_) rmHeapFree0(&list);
    rmHeapFree0(&c_.nameListBuffer);
  }

  std::int32_t Run();

 private:
  std::int32_t Fail(std::int32_t number, const char* text) {
    MsgPutError(2, number, text);
    return number;
  }
  // A message without a text of its own may still hold a %s: it gets an empty one.
  std::int32_t Fail(std::int32_t number) {
    MsgPutError(2, number, "");
    return number;
  }
  std::int32_t Fail(std::int32_t number, const std::string& text) { return Fail(number, text.c_str()); }
  // A new text to parse (the string, or a block of a parameter file): where its secrets lie is
  // taken before the password handlers blank what they read in it.
  void Begin() {
    textBegin_ = c_.parse;
    secret_ = SecretBytes(std::string_view(textBegin_, static_cast<std::size_t>(c_.textEnd - textBegin_)));
  }
  // The text being parsed from `from` to `to` (its end when null), as a message may show it.
  std::string Shown(const char* from, const char* to = nullptr) const {
    const std::string_view text(textBegin_, static_cast<std::size_t>(c_.textEnd - textBegin_));
    return MaskSecrets(text, secret_, static_cast<std::size_t>(from - textBegin_),
                       to ? static_cast<std::size_t>(to - textBegin_) : text.size());
  }
  std::int32_t Unknown() {
    // The keyword as it was matched (lower case), unless it lies in a secret value itself.
    std::string keyword = Shown(c_.keyword, afterKeyword_);
    if (keyword == std::string_view(c_.keyword, static_cast<std::size_t>(afterKeyword_ - c_.keyword)))
      keyword = keyword_;
    MsgPutError(2, 81, keyword.c_str(), Shown(afterKeyword_).c_str());
    return 81;
  }
  std::string Rest() const { return Shown(c_.keyword); }

  void PresetContext();
  void PresetRecord();
  std::int32_t ParseText();
  std::int32_t Item();
  std::int32_t Dispatch(std::int32_t code);
  std::int32_t Flag0();
  std::int32_t Flag1();
  std::int32_t Number(std::int32_t code);
  std::int32_t WordValue(std::int32_t code);
  std::int32_t Delimiter(std::int32_t code);
  std::int32_t Password(std::int32_t code);
  std::int32_t CodeEntries();
  std::int32_t Text(std::int32_t code);
  std::int32_t KmExit();
  std::int32_t FileName(std::int32_t code);
  std::int32_t OutputPath();
  std::int32_t MaxBuffer();
  std::int32_t Translate();
  void Merge();
  void MergeDefaults();
  // Merges one value of the defaults record; a value the same parameter could not give is
  // remembered, and refused later with the parameter's own message.
  void MergeRecordValue(std::int32_t& to, std::int32_t from, const char* keyword, bool sound);
  void MergeRoad(const DefStruct& d);
  std::int32_t ReadPending();
  std::int32_t CheckRunNames();
  std::int32_t RequirePassword();
  std::int32_t Checks();
  std::int32_t DefaultsChecks();
  std::int32_t TooLong(const std::string& what) {
    MsgPutSystemError(ENAMETOOLONG);
    return Fail(90, what.c_str());
  }

  // Side of an attribute keyword: 0 container, 1 input, 2 output.
  int Side(std::int32_t code) const {
    if (keyword_[0] == 'i') return kKindInput;
    if (keyword_[0] == 'o') return code == 128 && keyword_[1] == 'r' ? kKindContainer : kKindOutput;
    return kKindContainer;
  }
  // The keyword's letters after an i/in/o/out prefix.
  const char* Base() const {
    if (keyword_[0] == 'i') return keyword_ + (keyword_[1] == 'n' ? 2 : 1);
    if (keyword_[0] == 'o') return keyword_ + (keyword_[1] == 'u' && keyword_[2] == 't' ? 3 : 1);
    return keyword_;
  }
  std::int32_t& Attr(int side, std::int32_t DefFileAttr::*general, std::int32_t DefFileAttrOut::*out) {
    if (side == kKindInput) return r_.input.*general;
    if (side == kKindOutput) return r_.output.*out;
    return r_.general.*general;
  }
  bool Defaults() const { return c_.defaultsMarker == 'd'; }

  RunContext& c_;
  DefStruct& r_;
  char keyword_[kRunValueSize] = {};
  char* afterKeyword_ = nullptr;
  const char* textBegin_ = nullptr;  // the start of the text being parsed (string or file block)
  std::vector<bool> secret_;         // which of its bytes belong to a password or key
  std::uint8_t* passList_[3] = {nullptr, nullptr, nullptr};
  std::int32_t passCount_[3] = {0, 0, 0};
  bool recordNamedFile_ = false;
  std::string badRecordValue_;  // the first unsound value taken from the defaults record
  // The last password source as typed (keyword or password file; a password is never shown)
  // and whether a `cryptmode=none` came after it.
  std::string passwordSource_;
  bool noneAfterSource_ = false;
};

void Parser::PresetContext() {
  c_.pass = 0;
  c_.defaultsMarker = ' ';
  c_.inputKind = 'i';
  c_.outputKind = 'o';
  c_.functionLetter = c_.prefixLetter = c_.kindLetter = ' ';
  c_.inputPass = c_.containerPass = c_.outputPass = kPassNotGiven;
  c_.parFile = nullptr;
  c_.containerCursor = c_.containerList = c_.inputCursor = c_.inputList = nullptr;
  c_.outputCursor = c_.outputList = nullptr;
  c_.containerCount = c_.containerCountGiven = c_.inputCount = c_.inputCountGiven = 0;
  c_.outputCount = c_.outputCountGiven = 0;
  c_.codeTable = nullptr;
  for (std::uint8_t* slot : {c_.msgFileName, c_.newContainerName, c_.parFileName, c_.currentPattern,
                             c_.pafileName, c_.codeTableName, c_.currentContainerPattern,
                             c_.containerName, c_.inputName, c_.outputName, c_.parFileFullName,
                             c_.memberName, c_.exitModuleName})
    std::memset(slot, 0, 4);
  std::memset(c_.outpath, 0, sizeof c_.outpath);
  std::memset(c_.exitProcName, 0, sizeof c_.exitProcName);
  for (std::int32_t* f :
       {&c_.blkmode, &c_.cryptmode, &c_.torqcode, &c_.header, &c_.fileinfo, &c_.mode, &c_.function,
        &c_.maxrecords, &c_.secureinfo, &c_.show, &c_.streamformat, &c_.notest, &c_.translate,
        &c_.kBlksize, &c_.kRecform, &c_.kRecsize, &c_.kDevice, &c_.kDelete, &c_.kOrg, &c_.kUserio,
        &c_.kClosedisp, &c_.iDevice, &c_.iDelete, &c_.iOrg, &c_.iBlksize, &c_.iRecsize,
        &c_.iRecform, &c_.iUserio, &c_.iClosedisp, &c_.oDevice, &c_.oBlksize, &c_.oOrg,
        &c_.oRecsize, &c_.oRecform, &c_.oUserio, &c_.oClosedisp, &c_.maxbuffer,
        &c_.recordExitWord})
    *f = kMarker;
  c_.headerExitWord = 0;
  c_.cut = c_.suppress = c_.nopath = c_.append = c_.add = kOptNotGiven;
  c_.fillPair[0] = 255;
  c_.fillPair[1] = 0;
  c_.trimchar = -1;
  PresetRecord();
}

void Parser::PresetRecord() {
  std::memset(&r_, 0, sizeof r_);
  for (std::int32_t* f = &r_.blkmode; f <= &r_.translate; ++f) *f = kMarker;
  for (DefFileAttr* a : {&r_.general, &r_.input}) {
    a->blksize = a->closedisp = a->del = a->device = a->org = a->recform = a->recsize =
        a->userio = kMarker;
  }
  r_.output.blksize = r_.output.closedisp = r_.output.device = r_.output.org =
      r_.output.recform = r_.output.recsize = r_.output.userio = kMarker;
  std::memset(r_.options, kOptNotGiven, sizeof r_.options);
  r_.padchar = 255;
  r_.padgiven = 0;
}

std::int32_t Parser::ParseText() {
  while (c_.parse < c_.textEnd) {
    const std::int32_t rc = Item();
    if (rc != 0) return rc;
  }
  return 0;
}

std::int32_t Parser::Item() {
  c_.keyword = c_.parse;
  char* p = c_.parse;
  while (p < c_.textEnd && *p != ',' && *p != '=') ++p;
  const auto n = static_cast<std::size_t>(p - c_.keyword);
  if (n >= kRunValueSize) {
    // The value buffer holds 511 characters; nothing longer is a keyword.
    std::string shown = Shown(c_.keyword, p);
    if (shown.size() >= kRunValueSize) shown.resize(kRunValueSize - 1);
    return Fail(89, shown);
  }
  for (std::size_t i = 0; i < n; ++i)
    keyword_[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(c_.keyword[i])));
  keyword_[n] = '\0';
  std::memcpy(c_.value, keyword_, n + 1);
  c_.token = c_.value;
  c_.tokenLength = static_cast<std::int32_t>(n);
  c_.parse = afterKeyword_ = p;

  const char first = keyword_[0];
  c_.prefixLetter = first == 'i' || first == 'o' ? first : ' ';
  const KeywordTable* table = KeywordTableOf(first);
  if (!table) return Unknown();
  std::int32_t code = parkey(c_, *table);
  if (code == kNoMatch && first == 't') {
    // The torq* keywords live in tabf, which the first letter never reaches.
    c_.parse = afterKeyword_;
    code = parkey(c_, tabf_torq);
  }
  if (code == kParkeyTooLong) return Fail(89, keyword_);
  if (code == kNoMatch) return Unknown();
  return Dispatch(code);
}

std::int32_t Parser::Dispatch(std::int32_t code) {
  switch (code) {
    case 0: return Flag0();
    case 1: return Flag1();
    case 2:
      if (keyword_[0] == 's') r_.options[kOptSuppress] = 1;
      else r_.mode = 2;
      return 0;
    case 3:
    case 4: r_.mode = code; return 0;
    case 5:
      r_.mode = 3;
      r_.cryptmode = 32;
      return 0;
    case 30: return 1;
    case 40: r_.options[kOptAdd] = 1; return 0;
    case 41: r_.options[kOptAppend] = 1; return 0;
    case 101: case 102: case 103: case 104: return Number(code);
    case 121: case 122: case 123: case 124: case 125: case 126: case 127: case 128: case 129:
    case 130: case 131: case 133: case 146: case 148: case 155:
      return WordValue(code);
    case 132: return Fail(90, c_.value);
    case 139: case 140: return Delimiter(code);
    case 141: case 142: case 143: case 147: return Password(code);
    case 145: return CodeEntries();
    case 149: case 152: case 154: return Text(code);
    case 150: return Fail(90, Rest());
    case 151: {
      if (Defaults()) return Fail(90, c_.value);
      const bool decompress = keyword_[2] == 'd';
      const bool twenty = keyword_[3] == '2';
      c_.dest = decompress ? (twenty ? r_.exd20 : r_.exd10) : (twenty ? r_.exk20 : r_.exk10);
      if (parval_char8(c_) != 0) return Fail(82, Rest());
      return 0;
    }
    case 153: return KmExit();
    case 161: return Translate();
    case 170: return MaxBuffer();
    case 144: case 160: case 180: case 181: case 182: case 183: case 184: case 188: case 189:
      return FileName(code);
    case 187: return OutputPath();
    case 200:
      MsgPutError(2, 90, Rest().c_str());
      return -1;
    default: return Unknown();
  }
}

std::int32_t Parser::Flag0() {
  switch (keyword_[0]) {
    case 'c':
    case 'e': r_.mode = 0; return 0;
    case 'd':
    case 'u':
      r_.function = 0;
      c_.functionLetter = 'd';
      return 0;
    default: break;
  }
  switch (keyword_[2]) {  // the no... keywords
    case 'c':
    case 't':
      if (c_.cut == kOptNotGiven) r_.options[kOptCut] = 0;
      return 0;
    case 's':
      if (c_.suppress == kOptNotGiven) r_.options[kOptSuppress] = 0;
      return 0;
    case 'p':
      if (c_.nopath == kOptNotGiven) r_.options[kOptNopath] = 1;
      return 0;
    case 'd':
      if (keyword_[3] == 'e') r_.general.del = 0;
      return 0;
    case 'i': r_.input.del = 0; return 0;
    case 'f': r_.fileinfo = 0; return 0;
    case 'h': r_.header = 0; return 0;
    default: return 0;
  }
}

std::int32_t Parser::Flag1() {
  const char* base = Base();
  switch (keyword_[0]) {
    case 'c':
      if (keyword_[1] == 'o') {
        r_.function = 1;
        c_.functionLetter = 'c';
      } else if (keyword_[1] == 'u') {
        if (c_.cut == kOptNotGiven) r_.options[kOptCut] = 1;
      } else {
        r_.mode = 1;
      }
      return 0;
    case 't':
      if (c_.cut == kOptNotGiven) r_.options[kOptCut] = 1;
      return 0;
    case 's': r_.mode = 1; return 0;
    case 'd':
      if (keyword_[1] == 'e') r_.general.del = 1;
      return 0;
    case 'f': r_.fileinfo = 1; return 0;
    case 'h': r_.header = 1; return 0;
    case 'n': c_.notest = 1; return 0;
    case 'p': return Fail(90, Rest());
    case 'u':
      if (Defaults()) return Fail(90, c_.value);
      r_.general.userio = 1;
      return 0;
    case 'i':
      if (base[0] == 'd' && base[1] == 'e') {
        r_.input.del = 1;
      } else if (base[0] == 'u') {
        if (Defaults()) return Fail(90, c_.value);
        r_.input.userio = 1;
      }
      return 0;
    case 'o':
      if (base[0] == 'u') {
        if (Defaults()) return Fail(90, c_.value);
        r_.output.userio = 1;
        return 0;
      }
      return Fail(90, c_.value);
    default: return Unknown();
  }
}

std::int32_t Parser::Number(std::int32_t code) {
  const std::int32_t v = Atol(c_.value);
  const char* base = Base();
  switch (code) {
    case 101: return Fail(v >= 1 && v <= 255 ? 82 : 90, c_.value);
    case 102: {
      const int side = Side(code);
      const bool recordSize = side != kKindContainer && base[0] == 'r';
      if (!recordSize) return Fail(90, c_.value);
      if (v >= 32768 || (v <= 0 && !Defaults())) return Fail(90, c_.value);
      (side == kKindInput ? r_.input.recsize : r_.output.recsize) = v;
      return 0;
    }
    case 103:
      if (v > 32768 || (!Defaults() && v < 80)) return Fail(90, c_.value);
      r_.general.recsize = v;
      return 0;
    default: break;  // 104
  }
  if (keyword_[0] == 'm' || keyword_[0] == 'r') {
    if (v < 0 || v >= 65536) return Fail(90, c_.value);
    r_.maxrecords = v;
    return 0;
  }
  const int side = Side(code);
  if (side == kKindContainer) {
    if (v < 0 || v > 65532) return Fail(82, c_.value);
    r_.general.blksize = v;
  } else {
    if (v < 0 || v >= 65533) return Fail(90, c_.value);
    (side == kKindInput ? r_.input.blksize : r_.output.blksize) = v;
  }
  return 0;
}

std::int32_t Parser::WordValue(std::int32_t code) {
  static constexpr struct {
    std::int32_t code;
    const KeywordTable* table;
  } kTables[] = {{121, &tabattr}, {122, &tabchs}, {123, &tabdev}, {124, &tabinf}, {125, &tabjn},
                 {126, &tabmod},  {127, &tabopt}, {128, &taborg}, {129, &tabrf},  {130, &tabsh},
                 {131, &tabst},   {133, &tabclos}, {146, &tabcry}, {148, &tabsec}, {155, &tabpc}};
  const KeywordTable* table = nullptr;
  for (const auto& t : kTables)
    if (t.code == code) table = t.table;
  if (code == 125 && keyword_[0] != 'b' && keyword_[0] != 'f' && keyword_[0] != 'h')
    return Fail(90, c_.value);  // the valued duplicate-key forms
  const std::int32_t v = parval_str(c_, *table);
  if (v == kNoMatch) return Fail(90, c_.value);
  const int side = Side(code);
  switch (code) {
    case 121:
      r_.header = v == 0 ? 0 : 1;
      r_.fileinfo = v == 17 ? 1 : 0;
      break;
    case 122: r_.torqcode = v; break;
    case 123: Attr(side, &DefFileAttr::device, &DefFileAttrOut::device) = v; break;
    case 124:
    case 130: r_.show = v; break;
    case 125:
      (keyword_[0] == 'b' ? r_.blkmode : keyword_[0] == 'f' ? r_.fileinfo : r_.header) = v;
      break;
    case 126:
      r_.mode = v == 5 ? 3 : v;
      r_.cryptmode = v == 5 ? 32 : 0;
      break;
    case 127: {
      struct Option {
        std::uint8_t RunContext::*given;
        int index;
        std::uint8_t value;
      };
      static constexpr Option kOptions[] = {
          {},
          {&RunContext::add, kOptAdd, 1},           {&RunContext::append, kOptAppend, 1},
          {&RunContext::cut, kOptCut, 1},           {&RunContext::add, kOptAdd, 0},
          {&RunContext::append, kOptAppend, 0},     {&RunContext::cut, kOptCut, 0},
          {&RunContext::nopath, kOptNopath, 1},     {&RunContext::suppress, kOptSuppress, 0},
          {&RunContext::nopath, kOptNopath, 0},     {&RunContext::suppress, kOptSuppress, 1}};
      const Option& o = kOptions[v];
      if (c_.*o.given == kOptNotGiven) r_.options[o.index] = o.value;
      break;
    }
    case 128: Attr(side, &DefFileAttr::org, &DefFileAttrOut::org) = v; break;
    case 129: Attr(side, &DefFileAttr::recform, &DefFileAttrOut::recform) = v; break;
    case 131: r_.streamformat = v; break;
    case 133: Attr(side, &DefFileAttr::closedisp, &DefFileAttrOut::closedisp) = v; break;
    case 146:
      c_.cryptmode = v;
      if (v == 0) {
        c_.passwordLength = 0;
        noneAfterSource_ = true;
      }
      break;
    case 148: c_.secureinfo = v; break;
    case 155: F_SetPriorityClass(static_cast<std::uint32_t>(v)); break;
    default: break;
  }
  return 0;
}

std::int32_t Parser::Delimiter(std::int32_t code) {
  const std::uint32_t d = parval_Delim(c_);
  const std::uint32_t count = d >> 24;
  if (code == 139 || keyword_[0] == 'p') {
    if (count != 1) return Fail(90, c_.value);
    if (code == 139) {
      c_.trimchar = static_cast<std::int32_t>(d & 0xFF);
      if (c_.suppress == kOptNotGiven) r_.options[kOptSuppress] = 1;
    } else {
      r_.padchar = static_cast<std::uint8_t>(d & 0xFF);
      r_.padgiven = 1;
    }
    return 0;
  }
  if (count != 1 && count != 2) return Fail(90, c_.value);
  const int side = Side(code);
  (side == kKindInput ? r_.input.delim : side == kKindOutput ? r_.output.delim : r_.general.delim) = d;
  return 0;
}

std::int32_t Parser::Password(std::int32_t code) {
  std::int32_t rc = 0;
  switch (code) {
    case 142: rc = GetPasswordEbcdic(c_); break;
    case 143: rc = GetPasswordHex(c_); break;
    default: rc = GetPasswordAscii(c_); break;
  }
  // The message names the keyword: a password is never shown.
  if (rc != 0) return Fail(rc, keyword_);
  passwordSource_ = std::string(keyword_) + "=";
  noneAfterSource_ = false;
  if (code == 147) c_.cryptmode = 32;
  return 0;
}

std::int32_t Parser::CodeEntries() {
  c_.dest = keyword_[0] == 'a' ? r_.ca2e : r_.ce2a;
  const char* entry = c_.value;
  std::int32_t length = c_.tokenLength;
  // A list was cut at its first ","; its further entries follow in the text up to ")".
  bool more = length > 0 && entry[0] == '(';
  if (more) {
    ++entry;
    --length;
  }
  for (;;) {
    const std::int32_t rc = parval_code(c_, entry, length);
    if (rc != 0) {
      MsgPutError(2, 90, c_.value);
      return Fail(rc);
    }
    char* p = c_.parse;
    if (!more || p >= c_.textEnd) return 0;
    char* const start = p;
    while (p < c_.textEnd && *p != ',' && *p != ')') ++p;
    entry = start;
    length = static_cast<std::int32_t>(p - start);
    if (p < c_.textEnd && *p == ')') {
      more = false;
      ++p;
      if (p < c_.textEnd && *p == ',') ++p;
    } else if (p < c_.textEnd) {
      ++p;
    }
    c_.parse = p;
  }
}

std::int32_t Parser::Text(std::int32_t code) {
  if (code == 152) {
    if (c_.tokenLength > 255) return Fail(82, c_.value);
    if (c_.exitModuleName[0] != 0 && c_.pass > 0) return 0;
    c_.exitModuleName[0] = static_cast<std::uint8_t>(c_.tokenLength);
    std::memcpy(c_.exitModuleName + 1, c_.value, static_cast<std::size_t>(c_.tokenLength) + 1);
    return 0;
  }
  if (c_.tokenLength == 0) return 0;
  char*& text = code == 149 ? c_.comment : c_.exitParm;
  std::int32_t& length = code == 149 ? c_.commentLength : c_.exitParmLength;
  if (text && c_.pass > 0) return 0;
  char* copy = rmStrDup(c_.value);
  if (!copy) return -1;
  rmHeapFree0(&text);
  text = copy;
  length = c_.tokenLength;
  return 0;
}

std::int32_t Parser::KmExit() {
  char* v = c_.value;
  char* open = std::strchr(v, '(');
  const std::size_t procLength = open ? static_cast<std::size_t>(open - v) : std::strlen(v);
  if (procLength >= sizeof c_.exitProcName) return Fail(82, Rest());
  const bool keepProc = c_.exitProcName[0] != 0 && c_.pass > 0;
  if (!open) {
    if (!keepProc) {
      std::memcpy(c_.exitProcName, v, procLength);
      c_.exitProcName[procLength] = '\0';
    }
    return 0;
  }
  char* close = std::strchr(open + 1, ')');
  if (!close) return Fail(82, Rest());
  const auto moduleLength = static_cast<std::size_t>(close - open - 1);
  if (moduleLength > 255) return Fail(82, Rest());
  if (!keepProc) {
    std::memcpy(c_.exitProcName, v, procLength);
    c_.exitProcName[procLength] = '\0';
  }
  if (!(c_.exitModuleName[0] != 0 && c_.pass > 0)) {
    c_.exitModuleName[0] = static_cast<std::uint8_t>(moduleLength);
    std::memcpy(c_.exitModuleName + 1, open + 1, moduleLength);
    c_.exitModuleName[1 + moduleLength] = 0;
  }
  const char* parm = close + 1;
  if (*parm && !(c_.exitParm && c_.pass > 0)) {
    char* copy = rmStrDup(parm);
    if (!copy) return -1;
    rmHeapFree0(&c_.exitParm);
    c_.exitParm = copy;
    c_.exitParmLength = static_cast<std::int32_t>(std::strlen(copy));
  }
  return 0;
}

std::int32_t Parser::Translate() {
  const char first = static_cast<char>(std::tolower(static_cast<unsigned char>(c_.value[0])));
  std::int32_t v = -1;
  switch (first) {
    case 'a': v = 1; break;
    case 'e': v = 2; break;
    case 'n': v = 0; break;
    case 't':
      if (strcasecmp(c_.value, "tab1") == 0) v = 3;
      else if (strcasecmp(c_.value, "tab2") == 0) v = 4;
      break;
    default: break;
  }
  if (v < 0) return Fail(90, c_.value);
  r_.translate = v;
  return 0;
}

std::int32_t Parser::MaxBuffer() {
  std::int32_t v = Atol(c_.value);
  if (v <= 2560) v = v < 2 ? 2048 : v * 1024;
  if (v < 2048) v = 2048;
  c_.bufSizeId = GetBufSizeId(v);
  r_.maxbuffer = GetBufSize(c_.bufSizeId);
  return 0;
}

std::int32_t Parser::FileName(std::int32_t code) {
  int kind = -1;
  switch (code) {
    case 144: c_.dest = c_.pafileName; break;
    case 160: c_.dest = r_.codetable; break;
    case 183: c_.dest = Defaults() ? r_.paramfile : c_.parFileName; break;
    case 184: c_.dest = r_.messages; break;
    case 180: kind = kKindContainer; c_.dest = r_.torqfile; break;
    case 181: case 188: kind = kKindInput; c_.dest = r_.torqin; break;
    default: kind = kKindOutput; c_.dest = r_.torqout; break;
  }
  std::uint8_t* const slot = c_.dest;
  const std::int32_t rc = parval_fil(c_);
  if (rc != 0) {
    MsgPutError(2, 90, Rest().c_str());
    return Fail(rc);
  }
  if (kind < 0) {
    if (c_.nameListBuffer) {
      rmHeapFree0(&c_.nameListBuffer);
      return Fail(90, Rest());
    }
    switch (code) {
      case 144:
        // An empty name is a source too: it must not leave the run quietly unencrypted.
        passwordSource_ = std::string(keyword_) + "=" + SlotText(slot);
        noneAfterSource_ = false;
        break;
      case 183:
        if (!Defaults()) {
          if (slot[0] == 0) {
            MsgPutSystemError(ENOENT);
            return Fail(90, c_.value);
          }
          c_.parFilePending = 1;
        }
        break;
      case 160: {
        // The table must be there when the parameters are read, whether a translation uses it
        // or not; what it holds is looked at only when one does. NONE in a defaults request
        // names no table.
        const int error = Defaults() && slot[0] == 0 ? 0 : FileError(SlotText(slot));
        if (error != 0) {
          MsgPutSystemError(error);
          return Fail(90, std::string(keyword_) + "=" + SlotText(slot));
        }
        break;
      }
      case 184: MsgOpn(SlotText(slot)); break;
      default: break;
    }
    return 0;
  }
  c_.kindLetter = kind == kKindContainer ? 'k' : kind == kKindInput ? c_.inputKind : c_.outputKind;
  if (c_.nameListBuffer && c_.nameCount == 1) {
    // A list of one name is that name: the steps take a single name from its slot.
    std::memcpy(slot, c_.nameListBuffer, c_.nameListBuffer[0] + 2u);
    rmHeapFree0(&c_.nameListBuffer);
  }
  rmHeapFree0(&passList_[kind]);
  passList_[kind] = c_.nameListBuffer;
  c_.nameListBuffer = nullptr;
  passCount_[kind] = c_.nameCount;
  std::uint8_t& firstPass =
      kind == kKindContainer ? c_.containerPass : kind == kKindInput ? c_.inputPass : c_.outputPass;
  if (firstPass == kPassNotGiven) firstPass = c_.pass;
  if (Defaults() && !passList_[kind]) {
    FilpasContext* search = nullptr;
    std::int32_t filpasRc = 0;
    std::int32_t state = kFilpasFirst;
    std::uint8_t found[kFilpasResultSize] = {};
    filpas(search, filpasRc, state, slot, found);
    std::int32_t endRc = 0;
    std::int32_t end = kFilpasEnd;
    filpas(search, endRc, end, slot, found);
    if (filpasRc != 0) {
      if (kind == kKindContainer) return Fail(82, c_.value);
      MsgPutError(2, 90, c_.value);
      return Fail(filpasRc);
    }
  }
  return 0;
}

std::int32_t Parser::OutputPath() {
  std::uint8_t slot[kRunNameSlot] = {};
  c_.dest = slot;
  const std::int32_t rc = parval_fil(c_);
  if (rc != 0) {
    MsgPutError(2, 90, Rest().c_str());
    return Fail(rc);
  }
  if (c_.nameListBuffer) {
    rmHeapFree0(&c_.nameListBuffer);
    return Fail(90, c_.value);
  }
  // The path is made full before anything is created: a path its slot cannot hold whole is
  // refused, never cut, and leaves no folder behind.
  char full[kTorqMaxPath] = {};
  std::uint32_t n = slot[0] == 0 ? 0 : F_GetFullPathName(SlotText(slot), sizeof full, full, nullptr);
  if (n < sizeof full)
    while (n > 1 && full[n - 1] == '/') full[--n] = '\0';
  if (n > kRunSlotTextMax) return TooLong(std::string(keyword_) + "=" + c_.value);
  int error = 0;
  if (n == 0) {
    error = slot[0] == 0 || errno == 0 ? ENOENT : errno;
  } else if (F_FileExists(full)) {
    error = ENOTDIR;
  } else if (!F_ForceDirectories(full)) {
    error = FolderError(full);
  }
  if (error != 0) {
    MsgPutSystemError(error);
    return Fail(90, c_.value);
  }
  std::uint8_t* to = Defaults() ? r_.outpath : c_.outpath;
  to[0] = static_cast<std::uint8_t>(n);
  std::memcpy(to + 1, full, n + 1);
  return 0;
}

void Parser::Merge() {
  std::uint8_t* names[3] = {r_.torqfile, r_.torqin, r_.torqout};
  std::uint8_t* ctxNames[3] = {c_.containerName, c_.inputName, c_.outputName};
  std::int32_t* counts[3] = {&c_.containerCount, &c_.inputCount, &c_.outputCount};
  std::int32_t* given[3] = {&c_.containerCountGiven, &c_.inputCountGiven, &c_.outputCountGiven};
  std::uint8_t** lists[3] = {&c_.containerList, &c_.inputList, &c_.outputList};
  std::uint8_t** cursors[3] = {&c_.containerCursor, &c_.inputCursor, &c_.outputCursor};
  for (int k = 0; k < 3; ++k) {
    if (passCount_[k] > 0 && *counts[k] == 0) {
      *counts[k] = *given[k] = passCount_[k];
      if (passList_[k]) {
        *lists[k] = *cursors[k] = passList_[k];
        passList_[k] = nullptr;
      } else {
        CopySlot(ctxNames[k], names[k]);
      }
    }
    rmHeapFree0(&passList_[k]);
    passCount_[k] = 0;
  }
  if (c_.codeTableName[0] == 0) CopySlot(c_.codeTableName, r_.codetable);
  if (c_.outpath[0] == 0 && r_.outpath[0] != 0) CopySlot(c_.outpath, r_.outpath);
  if (c_.msgFileName[0] == 0) CopySlot(c_.msgFileName, r_.messages);

  MergeInt(c_.maxbuffer, r_.maxbuffer);
  MergeInt(c_.mode, r_.mode);
  MergeInt(c_.cryptmode, r_.cryptmode);
  MergeInt(c_.fileinfo, r_.fileinfo);
  MergeInt(c_.show, r_.show);
  MergeInt(c_.function, r_.function);
  MergeInt(c_.maxrecords, r_.maxrecords);
  MergeInt(c_.streamformat, r_.streamformat);
  MergeInt(c_.torqcode, r_.torqcode);
  MergeInt(c_.blkmode, r_.blkmode);
  MergeInt(c_.header, r_.header);
  MergeInt(c_.kRecform, r_.general.recform);
  MergeInt(c_.kRecsize, r_.general.recsize);
  MergeInt(c_.kOrg, r_.general.org);
  MergeInt(c_.kDevice, r_.general.device);
  MergeInt(c_.kDelete, r_.general.del);
  MergeInt(c_.kBlksize, r_.general.blksize);
  MergeInt(c_.kClosedisp, r_.general.closedisp);
  MergeInt(c_.kUserio, r_.general.userio);
  MergeInt(c_.oRecform, r_.output.recform);
  MergeInt(c_.oRecsize, r_.output.recsize);
  MergeInt(c_.oOrg, r_.output.org);
  MergeInt(c_.oDevice, r_.output.device);
  MergeInt(c_.oBlksize, r_.output.blksize);
  MergeInt(c_.oClosedisp, r_.output.closedisp);
  MergeInt(c_.oUserio, r_.output.userio);
  MergeInt(c_.iRecform, r_.input.recform);
  MergeInt(c_.iRecsize, r_.input.recsize);
  MergeInt(c_.iOrg, r_.input.org);
  MergeInt(c_.iDevice, r_.input.device);
  MergeInt(c_.iDelete, r_.input.del);
  MergeInt(c_.iBlksize, r_.input.blksize);
  MergeInt(c_.iClosedisp, r_.input.closedisp);
  MergeInt(c_.iUserio, r_.input.userio);
  MergeInt(c_.translate, r_.translate);
  MergeInt(c_.secureinfo, r_.secureinfo);
  if (c_.kDelim == 0) c_.kDelim = r_.general.delim;
  if (c_.iDelim == 0) c_.iDelim = r_.input.delim;
  if (c_.oDelim == 0) c_.oDelim = r_.output.delim;
  std::uint8_t* options[5] = {&c_.cut, &c_.suppress, &c_.nopath, &c_.append, &c_.add};
  for (int i = 0; i < 5; ++i)
    if (*options[i] == kOptNotGiven) *options[i] = r_.options[i];
  if (r_.padgiven && c_.fillPair[1] == 0) {
    c_.fillPair[0] = r_.padchar;
    c_.fillPair[1] = 1;
  }
  std::uint8_t* exits[4] = {c_.exk10, c_.exd10, c_.exk20, c_.exd20};
  const std::uint8_t* recExits[4] = {r_.exk10, r_.exd10, r_.exk20, r_.exd20};
  for (int i = 0; i < 4; ++i)
    if (exits[i][0] == 0 && recExits[i][0] != 0) std::memcpy(exits[i], recExits[i], kRunExitSlot);
}

// Fields of one road that the defaults record fills when they are still not given.
void Parser::MergeRoad(const DefStruct& d) {
  // A negative value marks a default the file's own attributes may replace.
  auto negated = [](std::int32_t& to, std::int32_t from, bool& given) {
    if (to != kMarker) given = true;
    else if (from != 0) to = -from;
  };
  auto plain = [](std::int32_t& to, std::int32_t from, bool& given) {
    if (to != kMarker) given = true;
    else if (from != 0) to = from;
  };
  bool given = false;
  if (c_.function == 1) {
    c_.containerOpenMode = 1;
    c_.inputKind = 'i';
    c_.outputKind = 'k';
    if (c_.inputCount == 0 && c_.inputName[0] == 0) CopySlot(c_.inputName, d.torqin);
    MergeInt(c_.streamformat, d.streamformat);
    MergeInt(c_.iRecform, d.input.recform);
    MergeInt(c_.iRecsize, d.input.recsize);
    MergeInt(c_.iOrg, d.input.org);
    MergeInt(c_.iDevice, d.input.device);
    MergeInt(c_.iDelete, d.input.del);
    MergeInt(c_.iUserio, d.input.userio);
    MergeInt(c_.iBlksize, d.input.blksize);
    MergeInt(c_.iClosedisp, d.input.closedisp);
    if (c_.iDelim == 0) c_.iDelim = d.input.delim;
    if (c_.exk10[0] == 0) CopyExit(c_.exk10, d.exk10);
    if (c_.containerCount == 0 && c_.containerName[0] == 0) CopySlot(c_.containerName, d.torqfile);
    negated(c_.kRecform, d.general.recform, given);
    negated(c_.kRecsize, d.general.recsize, given);
    negated(c_.kOrg, d.general.org, given);
    negated(c_.kDevice, d.general.device, given);
    plain(c_.kBlksize, d.general.blksize, given);
    plain(c_.kClosedisp, d.general.closedisp, given);
    if (given) c_.attrGiven = 'k';
    if (c_.exk20[0] == 0) CopyExit(c_.exk20, d.exk20);
    MergeInt(c_.kUserio, d.general.userio);
    if (c_.kDelim == 0) c_.kDelim = d.general.delim;
    if (c_.add == 1) c_.containerOpenMode = 9;
  } else {
    c_.containerOpenMode = 0;
    c_.inputKind = 'k';
    c_.outputKind = 'o';
    if (c_.containerCount == 0 && c_.containerName[0] == 0) CopySlot(c_.containerName, d.torqfile);
    MergeInt(c_.kRecform, d.general.recform);
    MergeInt(c_.kRecsize, d.general.recsize);
    MergeInt(c_.kOrg, d.general.org);
    MergeInt(c_.kDevice, d.general.device);
    MergeInt(c_.kDelete, d.general.del);
    MergeInt(c_.kBlksize, d.general.blksize);
    MergeInt(c_.kClosedisp, d.general.closedisp);
    if (c_.exd20[0] == 0) CopyExit(c_.exd20, d.exd20);
    MergeInt(c_.kUserio, d.general.userio);
    if (c_.kDelim == 0) c_.kDelim = d.general.delim;
    MergeInt(c_.translate, d.translate);
    if (c_.outputCount == 0 && c_.outputName[0] == 0) CopySlot(c_.outputName, d.torqout);
    negated(c_.oRecform, d.output.recform, given);
    negated(c_.oRecsize, d.output.recsize, given);
    negated(c_.oOrg, d.output.org, given);
    negated(c_.oDevice, d.output.device, given);
    plain(c_.oBlksize, d.output.blksize, given);
    plain(c_.oClosedisp, d.output.closedisp, given);
    if (given) c_.attrGiven = 'd';
    if (c_.exd10[0] == 0) CopyExit(c_.exd10, d.exd10);
    MergeInt(c_.oUserio, d.output.userio);
    if (c_.oDelim == 0) c_.oDelim = d.output.delim;
  }
  if (c_.fillPair[1] == 0 && d.padgiven != 0) {
    c_.fillPair[0] = d.padchar;
    c_.fillPair[1] = 255;
  }
}

void Parser::MergeRecordValue(std::int32_t& to, std::int32_t from, const char* keyword, bool sound) {
  if (to != kMarker) return;
  to = from;
  if (!sound && badRecordValue_.empty())
    badRecordValue_ = std::string(keyword) + "=" + std::to_string(from) + " (" + kDefDatFile + ")";
}

void Parser::MergeDefaults() {
  c_.defaultsMarker = 'g';
  if (!gDefstr) return;
  const DefStruct& d = *gDefstr;
  std::memcpy(&r_, &d, sizeof r_);
  if (d.paramfile[0] != 0 && c_.parFileName[0] == 0) {
    CopySlot(c_.parFileName, d.paramfile);
    c_.parFilePending = 1;
    recordNamedFile_ = true;
  }
  if (c_.outpath[0] == 0) CopySlot(c_.outpath, d.outpath);
  // The record's values are checked as the parameters would be: an edited record that the seal
  // accepts is still never used with a value no parameter can give.
  auto yesNo = [](std::int32_t v) { return v == 0 || v == 1; };
  MergeRecordValue(c_.maxbuffer, d.maxbuffer, "maxbuffer",
                   d.maxbuffer >= 2048 && d.maxbuffer <= GetBufSize(GetBufSizeId(INT32_MAX)));
  MergeRecordValue(c_.mode, d.mode, "mode",
                   d.mode == 0 || d.mode == 1 || d.mode == 2 || d.mode == 3 || d.mode == 4 || d.mode == 8);
  MergeRecordValue(c_.cryptmode, d.cryptmode, "cryptmode", d.cryptmode == 0 || d.cryptmode == 16 || d.cryptmode == 32);
  MergeRecordValue(c_.fileinfo, d.fileinfo, "fileinfo", yesNo(d.fileinfo));
  MergeRecordValue(c_.show, d.show, "show", d.show >= 0 && d.show <= 4);
  MergeInt(c_.function, d.function);
  MergeRecordValue(c_.maxrecords, d.maxrecords, "maxrecords", d.maxrecords >= 0 && d.maxrecords < 65536);
  MergeRecordValue(c_.torqcode, d.torqcode, "torqcode", yesNo(d.torqcode));
  MergeRecordValue(c_.header, d.header, "header", yesNo(d.header));
  MergeRecordValue(c_.blkmode, d.blkmode, "blockmode", yesNo(d.blkmode));
  // Exit names hold at most 8 characters, as the parameters give them.
  const struct {
    const char* keyword;
    const std::uint8_t* given;
    const std::uint8_t* record;
  } exits[] = {{"exk10", c_.exk10, d.exk10}, {"exd10", c_.exd10, d.exd10},
               {"exk20", c_.exk20, d.exk20}, {"exd20", c_.exd20, d.exd20}};
  for (const auto& e : exits) {
    if (e.given[0] != 0 || e.record[0] <= kExitNameMax || !badRecordValue_.empty()) continue;
    const auto* text = reinterpret_cast<const char*>(e.record + 1);
    badRecordValue_ = std::string(e.keyword) + "=" + std::string(text, strnlen(text, kRunExitSlot - 2)) + " (" +
                      kDefDatFile + ")";
  }
  if (c_.msgFileName[0] == 0) CopySlot(c_.msgFileName, d.messages);
  if (c_.codeTableName[0] == 0) CopySlot(c_.codeTableName, d.codetable);
  MergeRecordValue(c_.translate, d.translate, "translate", d.translate >= 0 && d.translate <= 4);
  MergeRecordValue(c_.secureinfo, d.secureinfo, "secureinfo", yesNo(d.secureinfo));
  std::uint8_t* options[5] = {&c_.cut, &c_.suppress, &c_.nopath, &c_.append, &c_.add};
  for (int i = 0; i < 5; ++i)
    if (*options[i] == kOptNotGiven) *options[i] = d.options[i];
}

// Reads and parses the blocks of the pending parameter file, one pass each.
std::int32_t Parser::ReadPending() {
  while (c_.parFilePending) {
    if (c_.pass == 255) {
      // A file that names itself would never end.
      CloseParameterFile(c_);
      c_.parFilePending = 0;
      return Fail(90, SlotText(c_.parFileName));
    }
    std::int32_t rc = ReadParameterBlock(c_);
    if (rc != 0) return rc;
    Begin();
    ++c_.pass;
    rc = ParseText();
    if (rc != 0) {
      CloseParameterFile(c_);
      return rc;
    }
    Merge();
  }
  return 0;
}

// The names the run carries from slot to slot hold at most kRunNameMax characters: a longer
// one, from any source, is refused here rather than cut on its way.
std::int32_t Parser::CheckRunNames() {
  const struct {
    const char* keyword;
    const std::uint8_t* slot;
    const std::uint8_t* list;
  } names[] = {{"torqin", c_.inputName, c_.inputList},
               {"torqfile", c_.containerName, c_.containerList},
               {"torqout", c_.outputName, c_.outputList}};
  for (const auto& name : names) {
    if (name.slot[0] > kRunNameMax) return TooLong(std::string(name.keyword) + "=" + SlotText(name.slot));
    for (const std::uint8_t* p = name.list; p && p[0] != 0; p += p[0] + 2)
      if (p[0] > kRunNameMax) return TooLong(std::string(name.keyword) + "=" + SlotText(p));
  }
  return 0;
}

// A compress run given a password source that yielded none never goes on unencrypted, unless
// a `cryptmode=none` came after the source; it stops before anything is written. A cipher
// with no source at all is the checks' 29.
std::int32_t Parser::RequirePassword() {
  if (c_.function != 1 || c_.passwordLength > 0) return 0;
  if (!passwordSource_.empty() && !noneAfterSource_) return Fail(90, passwordSource_ + ": no password");
  return 0;
}

std::int32_t Parser::Checks() {
  const bool exitSet = c_.exitParm || c_.exitProcName[0] != 0 || c_.exitModuleName[0] != 0;
  const bool crypt = c_.cryptmode != 0 && c_.cryptmode != kMarker;
  if (c_.passwordLength > 0) {
    if (!crypt) c_.cryptmode = exitSet ? 32 : 16;
  } else if (crypt && !exitSet) {
    return Fail(29);
  }
  if (c_.translate != 0 && c_.translate != kMarker) {
    if (c_.codeTableName[0] != 0) {
      // What the file holds is read only here, when a translation uses it. A name from the
      // defaults record was not checked when it was merged: it may be missing still.
      const char* name = SlotText(c_.codeTableName);
      const std::int32_t rc = F_LoadTorqTranslateTable(name);
      if (rc != 0) {
        MsgPut(2003, name);
        if (const int error = FileError(name); error != 0) MsgPutSystemError(error);
        return Fail(rc);
      }
    }
    const std::int32_t t = c_.translate;
    if (t == 1 || t == 4) {
      c_.codeTable = gCodeTabAE ? gCodeTabAE : gDefstr ? gDefstr->ca2e : nullptr;
    } else if (t == 2 || t == 3) {
      c_.codeTable = gCodeTabAE ? gCodeTabEA : gDefstr ? gDefstr->ce2a : nullptr;
      if (c_.codeTable && c_.trimchar == -1 && c_.codeTable[0x40] == 0x20) c_.trimchar = 0x40;
    }
    if (!c_.codeTable) return Fail(113);
    if (c_.comment && c_.function == 1)
      for (std::int32_t i = 0; i < c_.commentLength; ++i)
        c_.comment[i] = static_cast<char>(c_.codeTable[static_cast<std::uint8_t>(c_.comment[i])]);
  }
  if (c_.trimchar == -1) c_.trimchar = 32;
  const bool blockCoder = c_.mode == 3 || c_.mode == 4;
  if (c_.secureinfo != 0 && c_.secureinfo != kMarker) {
    if (c_.add == 1) return Fail(115);
    if (!blockCoder) return Fail(114);
  }
  if (c_.cryptmode != 0 && c_.cryptmode != kMarker && !blockCoder) return Fail(22);
  c_.parFilePending = 0;
  return 0;
}

std::int32_t Parser::DefaultsChecks() {
  const DefFileAttr& g = r_.general;
  if (g.org >= 1) {
    MsgPut(2031, FindEntryTxt(FormatMap, g.org));
    return Fail(33);
  }
  if (g.recform != 0 && g.recform != 1 && g.recform != 3) {
    MsgPut(2031, FindEntryTxt(FormatMap, g.org));
    MsgPut(2047, FindEntryTxt(RecFormsMap, g.recform));
    return Fail(34);
  }
  if (g.recform == 1 && g.recsize < 1) {
    MsgPut(2048, g.recsize);
    return Fail(35);
  }
  const DefFileAttrOut& o = r_.output;
  if ((o.recform == 1 || o.recform == 2) && o.recsize <= 0) {
    MsgPut(2041, o.recsize);
    return Fail(35);
  }
  const DefFileAttr& i = r_.input;
  if ((i.recform == 1 || i.recform == 2) && i.recsize <= 0) {
    MsgPut(2024, i.recsize);
    return Fail(35);
  }
  return 0;
}

std::int32_t Parser::Run() {
  Begin();
  c_.parFileFullName[0] = c_.msgFileName[0] = 0;
  c_.parFilePending = 0;
  bool defaultsRequest = false;
  if (c_.parse < c_.textEnd && (c_.parse[0] == 'd' || c_.parse[0] == 'D')) {
    char* const start = c_.parse;
    char* p = start;
    while (p < c_.textEnd && *p != ',' && *p != '=') ++p;
    const auto n = static_cast<std::size_t>(p - start);
    if (n < kRunValueSize) {
      for (std::size_t i = 0; i < n; ++i)
        c_.value[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(start[i])));
      c_.value[n] = '\0';
      c_.tokenLength = static_cast<std::int32_t>(n);
      c_.parse = p;
      if (parkey(c_, tabd) == 90) defaultsRequest = true;
      else c_.parse = start;
    }
  }
  if (defaultsRequest) {
    c_.defaultsMarker = 'd';
    if (c_.parse < c_.textEnd && *c_.parse == '=') ++c_.parse;
    Begin();  // the items start here
    if (c_.parse < c_.textEnd && *c_.parse == '(') {
      if (c_.textEnd[-1] != ')') {
        MsgPutError(2, 81, Shown(c_.parse).c_str(), "");
        return 81;
      }
      ++c_.parse;
      *--c_.textEnd = '\0';
    }
    const std::int32_t rc = ParseText();
    if (rc != 0) return rc;
    return DefaultsChecks();
  }

  PresetContext();
  std::int32_t rc = ParseText();
  if (rc != 0) return rc;
  Merge();
  rc = ReadPending();
  if (rc != 0) return rc;
  MergeDefaults();
  if (!badRecordValue_.empty()) return Fail(90, badRecordValue_.c_str());
  if (c_.function != 0 && c_.function != 1) return 20;
  MergeRoad(gDefstr ? *gDefstr : r_);
  if (recordNamedFile_ && c_.parFilePending) {
    // Only the file's own items merge: the record must not carry the defaults again.
    PresetRecord();
    rc = ReadPending();
    if (rc != 0) return rc;
  }
  rc = CheckRunNames();
  if (rc != 0) return rc;
  if (c_.pafileName[0] != 0 && c_.passwordLength == 0) {
    bool noneAsked = false;
    rc = GetPasswordFromFile(c_, &noneAsked);
    if (rc != 0) return rc;
    // The file speaks for itself: a `cryptmode=none` in it is as explicit as one given here.
    passwordSource_ = std::string("pafile=") + SlotText(c_.pafileName);
    noneAfterSource_ = noneAfterSource_ || noneAsked;
  }
  rc = RequirePassword();
  if (rc != 0) return rc;
  return Checks();
}

}  // namespace

std::int32_t chparam(RunContext*& ctx) {
  if (!ctx) return -1;
  RunContext& c = *ctx;
  auto* record = static_cast<DefStruct*>(rmHeapAlloc(sizeof(DefStruct)));
  if (!record) return -1;
  // The text ends at its NUL even when the given length says more.
  if (!c.parse) c.parse = c.parString;
  std::size_t length = c.tokenLength > 0 ? static_cast<std::size_t>(c.tokenLength) : 0;
  if (c.parse) {
    const void* nul = std::memchr(c.parse, 0, length);
    if (nul) length = static_cast<std::size_t>(static_cast<const char*>(nul) - c.parse);
  } else {
    length = 0;
  }
  static char empty[1] = {0};
  if (!c.parse) c.parse = empty;
  c.textEnd = c.parse + length;
  std::int32_t rc = 0;
  {
    Parser parser(c, *record);
    rc = parser.Run();
  }
  rmHeapFree0(&record);
  return rc;
}
