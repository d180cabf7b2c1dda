#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/heap.h"
#include "torqup/run_context.h"

namespace {

std::string Join(std::vector<const char*> items, std::uint32_t* lengthOut = nullptr) {
  std::vector<char*> argv{const_cast<char*>("torq4")};
  for (const char* s : items) argv.push_back(const_cast<char*>(s));
  std::uint32_t length = 99;
  char* text = MakeParString(static_cast<int>(argv.size()), argv.data(), length);
  std::string result = text ? std::string(text, length) : std::string("<null>");
  if (lengthOut) *lengthOut = length;
  rmHeapFree0(&text);
  return result;
}

TEST(ParameterString, JoinsItemsDroppingOneSign) {
  std::uint32_t length = 0;
  EXPECT_EQ(Join({"-compress", "+mode=adc"}, &length), "compress,mode=adc");
  EXPECT_EQ(length, 17u);
  const struct {
    std::vector<const char*> items;
    const char* joined;
  } cases[] = {
      {{"a", "", "b"}, "a,b"},
      {{"", "a", "b"}, "a,b"},
      {{"-", "+a", "--b", "+"}, "a,-b"},
      {{"torqin=(x,y)", "show=all"}, "torqin=(x,y),show=all"},
      {{""}, ""},
      {{}, "<null>"},
  };
  for (const auto& c : cases) EXPECT_EQ(Join(c.items), c.joined);
  const std::uint32_t before = rmGetHeapCount();
  Join({"a", "b"});
  EXPECT_EQ(rmGetHeapCount(), before);
}

// Every keyword form that carries a password or key, in every abbreviation the keyword tables
// take and wherever its item stands, shows its value as one "*"; other keywords are shown as
// they are.
TEST(ParameterString, ReadableFormMasksPasswords) {
  const struct {
    const char* text;
    int mask;
    const char* shown;
  } cases[] = {
      {"compress,password=secret,mode=adc", 1, "compress password=* mode=adc"},
      {"compress,PAxword=4142,torqin=(a,b)", 1, "compress PAxword=* torqin=(a,b)"},
      {"compress,password=secret", 0, "compress password=secret"},
      {"password=secret,show=all", 1, "password=* show=all"},
      {"a,pas=s,paa=s,paasc=s,pae=s,paew=s,paeb=s,pax=s,pah=s,paxw=s", 1,
       "a pas=* paa=* paasc=* pae=* paew=* paeb=* pax=* pah=* paxw=*"},
      {"a,CRYK=s,crykey=s,cryptk=s,cryptkey=s,cryptok=s,cryptokey=s", 1,
       "a CRYK=* crykey=* cryptk=* cryptkey=* cryptok=* cryptokey=*"},
      {"a,cryptkey=(se,cr)et,show=all", 1, "a cryptkey=* show=all"},
      {"a,password='se,cr'et,show=all", 1, "a password=* show=all"},
      {"a,cryptkey=*     t),show=all", 1, "a cryptkey=* show=all"},
      {"a,pafile=p,pa=x,crypt=aes,cry=aes,cryp=x,cryptkeys=x", 1, "a pafile=p pa=x crypt=aes cry=aes cryp=x cryptkeys=x"},
      {"a,paebcdic,mode=adc", 1, "a paebcdic mode=adc"},
      {"a,paascii=", 1, "a paascii="},
      {"a,paeword=,b", 1, "a paeword= b"},
      {"comment=\"x,y\",label=(p,q),pa", 1, "comment=\"x,y\" label=(p,q) pa"},
      {"a,password=x", 1, "a password=*"},
  };
  for (const auto& c : cases) {
    std::string text = c.text;
    EXPECT_STREQ(ParRmc(text.data(), c.mask), c.shown) << c.text;
  }
}

}  // namespace
