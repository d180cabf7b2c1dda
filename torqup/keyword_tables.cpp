// Keyword and value matching: the first row whose name the token begins, within the row's
// abbreviation bounds, wins.
#include <cctype>

#include "support/build_stamp.h"
#include <cstring>

#include "torqup/keyword_matching.h"

TORQ_BUILD_STAMP("TorqKeywords")

namespace {

bool Selects(const KeywordRow& row, std::string_view token) {
  if (row.code == kNoMatch) return false;
  const std::string_view name(row.name);
  return token.size() >= row.min && token.size() <= row.len && token.size() <= name.size() &&
         name.substr(0, token.size()) == token;
}

// Copies a value into the value buffer; false when it does not fit.
bool TakeValue(RunContext& ctx, const char* begin, const char* end) {
  const std::size_t n = static_cast<std::size_t>(end - begin);
  if (n >= kRunValueSize) return false;
  std::memmove(ctx.value, begin, n);
  ctx.value[n] = '\0';
  ctx.token = ctx.value;
  ctx.tokenLength = static_cast<std::int32_t>(n);
  return true;
}

}  // namespace

const KeywordRow* FindKeywordRow(KeywordTable table, std::string_view token) {
  for (const KeywordRow& row : table.rows) {
    if (row.code == kNoMatch) break;
    if (Selects(row, token)) return &row;
  }
  return nullptr;
}

const KeywordTable* KeywordTableOf(char letter) {
  switch (letter) {
    case 'a': return &taba;
    case 'b': return &tabb;
    case 'c': return &tabc;
    case 'd': return &tabd;
    case 'e': return &tabe;
    case 'f': return &tabf;
    case 'h': return &tabh;
    case 'i': return &tabi;
    case 'k': return &tabk;
    case 'l': return &tabl;
    case 'm': return &tabm;
    case 'n': return &tabn;
    case 'o': return &tabo;
    case 'p': return &tabp;
    case 'r': return &tabr;
    case 's': return &tabs;
    case 't': return &tabt;
    case 'u': return &tabu;
    case 'v': return &tabv;
    default: return nullptr;
  }
}

std::int32_t parkey(RunContext& ctx, KeywordTable table) {
  const std::string_view token(ctx.value, static_cast<std::size_t>(ctx.tokenLength));
  const KeywordRow* row = FindKeywordRow(table, token);
  if (!row) return kNoMatch;
  std::int32_t code = row->code;
  char* p = ctx.parse;
  char* const end = ctx.textEnd;

  if (code < 90) {
    if (p < end && *p == '=') {
      // Only a paired row (the same keyword with a value) takes "=".
      const KeywordRow* next = row + 1;
      if (next >= table.rows.data() + table.rows.size() || !Selects(*next, token) ||
          std::strcmp(next->name, row->name) != 0)
        return kNoMatch;
      code = next->code;
    } else {
      if (p >= end) return code;
      ctx.parse = p + 1;
      return *p == ',' ? code : kNoMatch;
    }
  }
  if (p >= end || *p != '=') return kNoMatch;
  ctx.parse = ++p;
  if (code == 90 || code == 200) return code;

  const char* begin = p;
  const char* valueEnd = p;
  if (code == 141) {
    // Quoted stretches keep their quotes and may hold commas.
    char quote = 0;
    for (; p < end; ++p) {
      if (quote) {
        if (*p == quote) quote = 0;
      } else if (*p == '"' || *p == '\'') {
        quote = *p;
      } else if (*p == ',') {
        break;
      }
    }
    if (quote) return kNoMatch;
    valueEnd = p;
    if (p < end) ++p;
  } else if (code == 149 || code == 153 || code == 154) {
    const bool bracketed = *p == '(';
    int level = 0;
    if (bracketed) {
      ++level;
      ++p;
      begin = p;
    }
    for (; p < end; ++p) {
      if (*p == '(') ++level;
      else if (*p == ')') --level;
      else if (*p == ',' && level == 0) break;
    }
    if (level != 0) return kNoMatch;
    valueEnd = p;
    if (bracketed && valueEnd > begin && valueEnd[-1] == ')') --valueEnd;
    if (p < end) ++p;
  } else {
    while (p < end && *p != ',' && *p != ')') ++p;
    valueEnd = p;
    if (p < end && *p == ')' && *begin == '(') {
      ++begin;
      ++p;
    }
    if (p < end) ++p;
  }
  ctx.parse = p;
  if (!TakeValue(ctx, begin, valueEnd)) return kParkeyTooLong;
  return code;
}

std::int32_t ParKeyPar(RunContext& ctx, KeywordTable table) {
  const std::string_view token(ctx.value, static_cast<std::size_t>(ctx.tokenLength));
  const KeywordRow* row = FindKeywordRow(table, token);
  if (!row) return kNoMatch;
  char* p = ctx.parse;
  if (p >= ctx.textEnd || *p != '=') return kNoMatch;
  ++p;
  if (!TakeValue(ctx, p, ctx.textEnd)) return kParkeyTooLong;
  ctx.parse = ctx.textEnd;
  return row->code;
}

std::int32_t parval_str(RunContext& ctx, KeywordTable table) {
  char* token = ctx.token ? ctx.token : ctx.value;
  const auto n = static_cast<std::size_t>(ctx.tokenLength > 0 ? ctx.tokenLength : 0);
  for (std::size_t i = 0; i < n; ++i)
    token[i] = static_cast<char>(std::tolower(static_cast<unsigned char>(token[i])));
  const KeywordRow* row = FindKeywordRow(table, std::string_view(token, n));
  return row ? row->code : kNoMatch;
}
