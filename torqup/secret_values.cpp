#include "torqup/secret_values.h"

#include "support/build_stamp.h"

#include <cctype>

#include "torqup/keyword_tables.h"

TORQ_BUILD_STAMP("TorqSecrets")

namespace {

// The handler code of the keyword, when it is one that carries a password or key; else 0.
int SecretCode(std::string_view keyword) {
  // Blanks, a sign or a bracket around the keyword do not make its value any less secret.
  while (!keyword.empty() && (keyword.front() == ' ' || keyword.front() == '-' || keyword.front() == '+' ||
                              keyword.front() == '('))
    keyword.remove_prefix(1);
  while (!keyword.empty() && keyword.back() == ' ') keyword.remove_suffix(1);
  if (keyword.empty() || keyword.size() > 32) return 0;
  std::string lower(keyword);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const KeywordTable* table = KeywordTableOf(lower[0]);
  const KeywordRow* row = table ? FindKeywordRow(*table, lower) : nullptr;
  if (!row) return 0;
  switch (row->code) {
    case 141: case 142: case 143: case 147: return row->code;
    default: return 0;
  }
}

// Where a value starting at `at` ends. Brackets are followed for every code: a value the
// parser cuts at a "," inside them leaves the rest of the secret to look like another item.
// Quotes hold commas only in the values of code 141, as the parser reads them.
std::size_t ValueEnd(std::string_view text, std::size_t at, int code) {
  int level = 0;
  char quote = 0;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (quote) {
      if (c == quote) quote = 0;
    } else if (code == 141 && (c == '"' || c == '\'')) {
      quote = c;
    } else if (c == '(') {
      ++level;
    } else if (c == ')') {
      if (level > 0) --level;
    } else if (c == ',' && level == 0) {
      break;
    }
  }
  return at;
}

}  // namespace

std::vector<bool> SecretBytes(std::string_view text, SecretReach reach) {
  std::vector<bool> secret(text.size(), false);
  std::size_t item = 0;
  if (reach == SecretReach::kLine)
    while (item < text.size() && static_cast<unsigned char>(text[item]) < 33) ++item;
  while (item < text.size()) {
    std::size_t p = item;
    while (p < text.size() && text[p] != ',' && text[p] != '=') ++p;
    const int code = p < text.size() && text[p] == '=' ? SecretCode(text.substr(item, p - item)) : 0;
    if (code != 0) {
      const std::size_t value = p + 1;
      const std::size_t end = reach == SecretReach::kLine ? text.size() : ValueEnd(text, value, code);
      for (std::size_t i = value; i < end; ++i) secret[i] = true;
    }
    if (reach == SecretReach::kLine) break;
    // Every "," may begin an item, also one inside a value just masked or a malformed one.
    const std::size_t comma = text.find(',', item);
    if (comma == std::string_view::npos) break;
    item = comma + 1;
  }
  return secret;
}

std::string MaskSecrets(std::string_view text, const std::vector<bool>& secret, std::size_t from, std::size_t to) {
  if (to > text.size()) to = text.size();
  if (to > secret.size()) to = secret.size();
  std::string shown;
  for (std::size_t i = from; i < to; ++i) {
    if (!secret[i]) {
      shown.push_back(text[i]);
    } else if (i == from || !secret[i - 1]) {
      shown.push_back('*');
    }
  }
  return shown;
}

std::string MaskSecrets(std::string_view text, SecretReach reach) {
  return MaskSecrets(text, SecretBytes(text, reach));
}
