#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>

#include "torqup/keyword_matching.h"

namespace {

#define T(x) {#x, &x}
const struct {
  const char* name;
  const KeywordTable* table;
} kTables[] = {T(taba),    T(tabb),   T(tabc),    T(tabd),   T(tabe),   T(tabf),   T(tabh),
               T(tabi),    T(tabk),   T(tabl),    T(tabm),   T(tabn),   T(tabo),   T(tabp),
               T(tabr),    T(tabs),   T(tabt),    T(tabu),   T(tabv),   T(tabattr), T(tabchs),
               T(tabclos), T(tabdev), T(tabinf),  T(tabjn),  T(tabkeyt), T(tabmod), T(tabcry),
               T(tabopt),  T(taborg), T(tabpc),   T(tabrf),  T(tabsh),  T(tabst),  T(tabsec)};
#undef T

// Minimum abbreviations that the first-match rule gives to an earlier row.
const std::map<std::string, std::string> kShadowed = {
    {"tabb bloc", "blockmode"},       {"tabc cod", "code_table"},
    {"tabc cl", "closdisp"},          {"tabc cr", "crymode"},
    {"tabi ib", "iblksize"},          {"tabi inb", "inblksize"},
    {"tabi indel", "indelete"},       {"tabi ino", "inorganisation"},
    {"tabi io", "iorganisation"},     {"tabk kmp", "kmparam"},
    {"tabm me", "messages"},          {"tabn noi", "noindelete"},
    {"tabo ob", "oblksize"},          {"tabo odu", "oduplicate-key"},
    {"tabo oo", "oorganisation"},     {"tabo org", "organisation"},
    {"tabo outb", "outblksize"},      {"tabo outdu", "outduplicate-key"},
    {"tabo outo", "outorganisation"}, {"tabp pad", "pad_char"},
    {"tabp par", "parameter_file"},   {"tabp pae", "paebcdic"},
    {"tabinf n", "nein"},             {"tabjn n", "nein"},
    {"taborg i", "indexed-sequential"}, {"tabsec n", "no"},
};

TEST(KeywordTables, EveryRowAtFullNameMinimumAndOneShorter) {
  int shadowedSeen = 0;
  for (const auto& t : kTables) {
    for (const KeywordRow& row : t.table->rows) {
      if (row.code == kNoMatch) break;
      const std::string name = row.name;
      const KeywordRow* full = FindKeywordRow(*t.table, name);
      ASSERT_NE(full, nullptr) << name;
      EXPECT_EQ(std::string(full->name), name);
      EXPECT_EQ(FindKeywordRow(*t.table, name + "x"), nullptr) << name;

      const std::string abbr = name.substr(0, row.min);
      const KeywordRow* selected = FindKeywordRow(*t.table, abbr);
      ASSERT_NE(selected, nullptr) << abbr;
      const auto shadow = kShadowed.find(std::string(t.name) + " " + abbr);
      if (std::string(selected->name) != name) {
        ASSERT_NE(shadow, kShadowed.end()) << t.name << " " << abbr << " -> " << selected->name;
        EXPECT_EQ(shadow->second, selected->name);
        EXPECT_LT(selected, &row);
        ++shadowedSeen;
      }
      if (row.min > 1) {
        const KeywordRow* shorter = FindKeywordRow(*t.table, name.substr(0, row.min - 1));
        EXPECT_TRUE(shorter == nullptr || std::string(shorter->name) != name) << name;
      }
    }
  }
  // "cr" stands for crymode, cryptmode, cryptomode; "pad" for two rows
  EXPECT_EQ(shadowedSeen, static_cast<int>(kShadowed.size()) + 2);
}

RunContext* NewContext(const char* text) {
  static RunContext ctx;
  std::memset(&ctx, 0, sizeof ctx);
  static std::string copy;
  copy = text;
  char* p = copy.data();
  char* end = p + copy.size();
  char* k = p;
  while (k < end && *k != ',' && *k != '=') ++k;
  const auto n = static_cast<std::size_t>(k - p);
  for (std::size_t i = 0; i < n; ++i) ctx.value[i] = static_cast<char>(std::tolower(p[i]));
  ctx.value[n] = 0;
  ctx.tokenLength = static_cast<std::int32_t>(n);
  ctx.parse = k;
  ctx.textEnd = end;
  ctx.keyword = p;
  return &ctx;
}

TEST(KeywordTables, ParkeyForms) {
  const struct {
    const char* text;
    KeywordTable table;
    std::int32_t code;
    const char* value;
    const char* rest;
  } cases[] = {
      {"maxb=64", tabm, 170, "64", ""},
      {"max=64", tabm, 255, "", ""},
      {"header", tabh, 1, "header", ""},
      {"header,x", tabh, 1, "header", "x"},
      {"header=no", tabh, 125, "no", ""},
      {"compress=x", tabc, 255, "", ""},
      {"compress", tabc, 1, "compress", ""},
      {"comment=(a,b),show", tabc, 149, "a,b", "show"},
      {"comment=(a,(b)),x", tabc, 149, "a,(b)", "x"},
      {"comment=(a", tabc, 255, "", ""},
      {"password='a,b',show", tabp, 141, "'a,b'", "show"},
      {"password=\"a,b\"", tabp, 141, "\"a,b\"", ""},
      {"password='a,b", tabp, 255, "", ""},
      {"torqin=(a,b),x", tabf_torq, 181, "(a", "b),x"},
      {"torqin=(a),x", tabf_torq, 181, "a", "x"},
      {"torqout=", tabf_torq, 182, "", ""},
      {"blksize", tabb, 255, "", ""},
      {"defaults=(x)", tabd, 90, "", "(x)"},
      {"kmexit=p(m)q,y", tabk, 153, "p(m)q", "y"},
  };
  for (const auto& c : cases) {
    RunContext* ctx = NewContext(c.text);
    EXPECT_EQ(parkey(*ctx, c.table), c.code) << c.text;
    if (c.code == 255) continue;
    if (c.code != 90) {
      EXPECT_STREQ(ctx->value, c.value) << c.text;
    }
    EXPECT_EQ(std::string(ctx->parse, ctx->textEnd), c.rest) << c.text;
  }
  std::string longValue = "torqin=" + std::string(600, 'a');
  EXPECT_EQ(parkey(*NewContext(longValue.c_str()), tabf_torq), kParkeyTooLong);
}

TEST(KeywordTables, ValueWordsAnyCase) {
  RunContext* ctx = NewContext("x");
  std::strcpy(ctx->value, "DC8");
  ctx->token = ctx->value;
  ctx->tokenLength = 3;
  EXPECT_EQ(parval_str(*ctx, tabmod), 8);
  EXPECT_STREQ(ctx->value, "dc8");
  std::strcpy(ctx->value, "d");
  ctx->tokenLength = 1;
  EXPECT_EQ(parval_str(*ctx, tabmod), 255);
}

}  // namespace
