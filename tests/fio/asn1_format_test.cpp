// BER files through fiopen and fioget/fioput: asn1, asn1_blk and asn1_stream, the element
// framing examples, long and nested elements, errors, and certificates read element by element.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fio/fio.h"
#include "record_test_util.h"

namespace {

using rectest::Bytes;
using rectest::Got;

// A DER element: the tag byte(s), a minimal definite length, the contents.
Bytes Tlv(const Bytes& tag, const Bytes& contents) {
  Bytes out = tag;
  const std::size_t n = contents.size();
  if (n < 0x80) {
    out.push_back(static_cast<std::uint8_t>(n));
  } else {
    Bytes len;
    for (std::size_t v = n; v; v >>= 8) len.insert(len.begin(), static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(0x80 | len.size()));
    out.insert(out.end(), len.begin(), len.end());
  }
  out.insert(out.end(), contents.begin(), contents.end());
  return out;
}
Bytes Tlv(std::uint8_t tag, const Bytes& contents) { return Tlv(Bytes{tag}, contents); }

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes out;
  for (const Bytes& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

Bytes Fill(std::size_t n, std::uint8_t seed) {
  Bytes out(n);
  for (std::size_t i = 0; i < n; ++i) out[i] = static_cast<std::uint8_t>(seed + i * 7);
  return out;
}

std::vector<Got> Records(std::vector<Got> list) { return list; }

class Asn1Format : public ::testing::Test {
 protected:
  std::string Put(const Bytes& bytes, const std::string& name = "in.ber") {
    const std::string path = dir_ / name;
    fiotest::WriteFileBytes(path, bytes);
    return path;
  }
  // Reads the file with the format, record length and capacity; the block size and fill byte
  // for asn1_blk, the delimiter for asn1_stream.
  std::vector<Got> Read(const Bytes& bytes, std::int32_t format, std::int32_t recordLength,
                        std::int32_t capacity, std::int32_t blockSize = 0,
                        std::uint8_t fill = 0xFF, std::uint32_t delimiter = 0,
                        std::int32_t* closeRc = nullptr) {
    rectest::Open in(kOpenInput, Put(bytes), format);
    in.recordLength = recordLength;
    in.blockSize = blockSize;
    in.fillPair[0] = fill;
    in.delimiter = delimiter;
    if (in.Run() != kFioOk) {
      ADD_FAILURE() << "open gave " << in.rc;
      return {};
    }
    // Reads on after a record cut with 51 (its rest follows), stops at a 51 that delivered
    // nothing: that one is an error.
    std::vector<Got> got;
    for (int i = 0; i < 100000; ++i) {
      Got g{0, {}};
      g.rc = in.Get(g.data, capacity);
      got.push_back(g);
      if (g.rc == kFioOk || (g.rc == kFioLengthError && !g.data.empty())) continue;
      break;
    }
    const std::int32_t rc = in.Close();
    if (closeRc) *closeRc = rc;
    return got;
  }
  // Reads DER bytes element by element (records of at most `recordLength` bytes) and checks
  // that the records put together give the bytes back.
  void RoundTrip(const Bytes& der, std::int32_t recordLength) {
    std::int32_t closeRc = -99;
    const auto got = Read(der, 208, recordLength, 4096, 0, 0xFF, 0, &closeRc);
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().rc, kFioEndOfFile);
    EXPECT_EQ(closeRc, kFioOk);
    Bytes joined;
    for (std::size_t i = 0; i + 1 < got.size(); ++i) {
      EXPECT_EQ(got[i].rc, kFioOk) << i;
      EXPECT_LE(got[i].data.size(), static_cast<std::size_t>(recordLength));
      joined.insert(joined.end(), got[i].data.begin(), got[i].data.end());
    }
    EXPECT_EQ(joined, der);
  }
  fiotest::ScratchDir dir_;
};

TEST_F(Asn1Format, ElementWithTwoLengthBytesIsOneRecord) {
  const Bytes element = Cat({{0x04, 0x82, 0x01, 0x00}, Fill(256, 1)});
  EXPECT_EQ(Read(element, 208, 0, 1000), Records({{0, element}, {2, {}}}));
  EXPECT_EQ(Read(element, 208, 260, 1000), Records({{0, element}, {2, {}}}));
}

TEST_F(Asn1Format, LongPrimitiveElementComesInPieces) {
  const Bytes element = Cat({{0x04, 0x81, 0xF7}, Fill(247, 3)});  // 250 bytes
  ASSERT_EQ(element.size(), 250u);
  auto piece = [&](std::size_t from, std::size_t n) {
    return Bytes(element.begin() + static_cast<long>(from), element.begin() + static_cast<long>(from + n));
  };
  EXPECT_EQ(Read(element, 208, 100, 1000),
            Records({{0, piece(0, 100)}, {0, piece(100, 100)}, {0, piece(200, 50)}, {2, {}}}));
}

TEST_F(Asn1Format, LongConstructedElementComesAsHeaderAndInnerElements) {
  std::vector<Bytes> inner;
  Bytes contents;
  for (int i = 0; i < 6; ++i) {
    inner.push_back(Tlv(0x04, Fill(48, static_cast<std::uint8_t>(i))));
    contents.insert(contents.end(), inner.back().begin(), inner.back().end());
  }
  ASSERT_EQ(contents.size(), 300u);
  const Bytes after = {0x02, 0x01, 0x05};
  const Bytes file = Cat({{0x30, 0x82, 0x01, 0x2C}, contents, after});
  std::int32_t closeRc = -99;
  const auto got = Read(file, 208, 100, 1000, 0, 0xFF, 0, &closeRc);
  std::vector<Got> expected{{0, {0x30, 0x82, 0x01, 0x2C}}};
  for (const Bytes& e : inner) expected.push_back({0, e});
  expected.push_back({0, after});
  expected.push_back({2, {}});
  EXPECT_EQ(got, expected);
  EXPECT_EQ(closeRc, kFioOk);

  // Inner elements adding up to more than the outer one announces.
  Bytes overlong = file;
  overlong[3] = 0x2A;  // 298
  const auto bad = Read(overlong, 208, 100, 1000);
  ASSERT_EQ(bad.size(), 7u);
  EXPECT_EQ(bad.back().rc, kFioBadData);
  // A file that ends inside the long element: a clean end between elements, but the close
  // reports the unfinished element.
  const Bytes cut(file.begin(), file.begin() + 4 + 100);
  EXPECT_EQ(Read(cut, 208, 100, 1000, 0, 0xFF, 0, &closeRc).back().rc, kFioEndOfFile);
  EXPECT_EQ(closeRc, kFioBadData);
}

TEST_F(Asn1Format, EndOfFileBetweenElementsAndStrayBytes) {
  const Bytes element = {0x02, 0x01, 0x07};
  EXPECT_EQ(Read(element, 208, 0, 100), Records({{0, element}, {2, {}}}));
  EXPECT_EQ(Read(Cat({element, {0x05}}), 208, 0, 100), Records({{0, element}, {50, {}}}));
  EXPECT_EQ(Read({}, 208, 0, 100), Records({{2, {}}}));
}

TEST_F(Asn1Format, HighTagNumberIdentifier) {
  const Bytes element = {0x1F, 0x81, 0x00, 0x02, 0xAB, 0xCD};
  EXPECT_EQ(Read(element, 208, 0, 100), Records({{0, element}, {2, {}}}));
  // More identifier bytes than any tag number needs.
  const Bytes endless = {0x1F, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x81, 0x01, 0x00};
  EXPECT_EQ(Read(endless, 208, 0, 100), Records({{50, {}}}));
}

TEST_F(Asn1Format, NestedAndIndefiniteLength) {
  const Bytes inner1 = Tlv(0x04, {0xAA, 0xBB});
  const Bytes inner2 = Tlv(0x31, Tlv(0x02, {0x01}));
  const Bytes eoc = {0x00, 0x00};
  const Bytes file = Cat({{0x30, 0x80}, inner1, inner2, eoc, Tlv(0x05, {})});
  EXPECT_EQ(Read(file, 208, 0, 100), Records({{0, {0x30, 0x80}},
                                              {0, inner1},
                                              {0, inner2},
                                              {0, eoc},
                                              {0, {0x05, 0x00}},
                                              {2, {}}}));
  // Nested definite elements that fit are one record.
  const Bytes nested = Tlv(0x30, Cat({Tlv(0x30, Cat({inner1, inner2})), inner1}));
  EXPECT_EQ(Read(nested, 208, 0, 100), Records({{0, nested}, {2, {}}}));
  // Two levels of long constructed elements with a small record length.
  const Bytes big = Tlv(0x30, Cat({Tlv(0x30, Cat({Tlv(0x04, Fill(30, 1)), Tlv(0x04, Fill(30, 2))})),
                                   Tlv(0x04, Fill(10, 3))}));
  const auto got = Read(big, 208, 40, 100);
  Bytes joined;
  for (std::size_t i = 0; i + 1 < got.size(); ++i) {
    EXPECT_EQ(got[i].rc, kFioOk);
    joined.insert(joined.end(), got[i].data.begin(), got[i].data.end());
  }
  EXPECT_EQ(got.back().rc, kFioEndOfFile);
  EXPECT_EQ(joined, big);
  EXPECT_EQ(got.size(), 6u);  // two headers, three elements, the end
}

TEST_F(Asn1Format, LengthsOutOfRangeGive51) {
  const Bytes cases[] = {
      {0x04, 0x84, 0x80, 0x00, 0x00, 0x00, 0x00},
      {0x04, 0x84, 0x7F, 0xFF, 0xFF, 0xFF, 0x00},
      {0x04, 0x85, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00},
      {0x04, 0xFF, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
      {0x30, 0x88, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00},
  };
  for (const Bytes& c : cases) EXPECT_EQ(Read(c, 208, 0, 100), Records({{51, {}}}));
  // Leading zero length bytes are fine.
  const Bytes zeros = {0x04, 0x86, 0x00, 0x00, 0x00, 0x00, 0x00, 0x02, 0x11, 0x22};
  EXPECT_EQ(Read(zeros, 208, 0, 100), Records({{0, zeros}, {2, {}}}));
}

TEST_F(Asn1Format, TruncatedInputsGive50) {
  const Bytes element = Cat({{0x04, 0x82, 0x01, 0x00}, Fill(256, 1)});
  for (std::size_t cut : {2u, 3u, 4u, 5u, 100u, 259u}) {
    SCOPED_TRACE(cut);
    const Bytes part(element.begin(), element.begin() + static_cast<long>(cut));
    const auto got = Read(part, 208, 0, 1000);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].rc, kFioBadData);
  }
  // A long primitive element cut inside a later piece.
  const Bytes part(element.begin(), element.begin() + 150);
  EXPECT_EQ(Read(part, 208, 100, 1000).back().rc, kFioBadData);
}

TEST_F(Asn1Format, HeadersAndCapacities) {
  // A header longer than the capacity.
  const Bytes element = Cat({{0x04, 0x82, 0x01, 0x00}, Fill(256, 1)});
  EXPECT_EQ(Read(element, 208, 0, 3), Records({{51, {}}}));
  // A record length set by a larger first read never overflows a smaller later one.
  const Bytes two = Cat({Tlv(0x04, Fill(20, 1)), Tlv(0x04, Fill(30, 2))});
  rectest::Open in(kOpenInput, Put(two), 208);
  ASSERT_EQ(in.Run(), kFioOk);
  Bytes r;
  EXPECT_EQ(in.Get(r, 1000), kFioOk);
  EXPECT_EQ(r.size(), 22u);
  EXPECT_EQ(in.Get(r, 10), kFioOk);
  EXPECT_EQ(r, Bytes(two.begin() + 22, two.begin() + 32));
  EXPECT_EQ(in.Get(r, 15), kFioOk);
  EXPECT_EQ(r, Bytes(two.begin() + 32, two.begin() + 47));
  EXPECT_EQ(in.Get(r, 1000), kFioOk);
  EXPECT_EQ(r, Bytes(two.begin() + 47, two.end()));
  EXPECT_EQ(in.Get(r, 1000), kFioEndOfFile);
}

TEST_F(Asn1Format, BlocksWithFillBytes) {
  Bytes block;
  std::vector<Bytes> elements;
  while (block.size() < 400) {
    elements.push_back(Tlv(0x04, Fill(60, static_cast<std::uint8_t>(elements.size()))));
    block.insert(block.end(), elements.back().begin(), elements.back().end());
  }
  const std::size_t used = block.size();
  block.resize(472, 0x11);  // a short element fills up to the fill run
  const Bytes last = Tlv(0x04, Fill(472 - used - 2, 9));
  std::copy(last.begin(), last.end(), block.begin() + static_cast<long>(used));
  elements.push_back(last);
  block.resize(512, 0xFF);  // the last 40 bytes are fill
  const Bytes second = Cat({Tlv(0x02, {0x01}), Bytes(509, 0xFF)});
  const auto got = Read(Cat({block, second}), 216, 0, 1000, 512, 0xFF);
  ASSERT_EQ(got.size(), elements.size() + 2);
  for (std::size_t i = 0; i < elements.size(); ++i) EXPECT_EQ(got[i], (Got{0, elements[i]})) << i;
  EXPECT_EQ(got[elements.size()], (Got{0, {0x02, 0x01, 0x01}}));
  EXPECT_EQ(got.back().rc, kFioEndOfFile);
}

TEST_F(Asn1Format, BlockEdges) {
  // Contents that end with fill bytes reach into the fill run and are taken whole.
  const Bytes element = {0x04, 0x03, 0x01, 0xFF, 0xFF};
  Bytes block = element;
  block.resize(64, 0xFF);
  EXPECT_EQ(Read(block, 216, 0, 100, 64), Records({{0, element}, {2, {}}}));
  // A block of nothing but fill bytes is passed over.
  const Bytes twice = Cat({Bytes(64, 0xFF), block});
  EXPECT_EQ(Read(twice, 216, 0, 100, 64), Records({{0, element}, {2, {}}}));
  // A short block.
  EXPECT_EQ(Read(Bytes(block.begin(), block.begin() + 40), 216, 0, 100, 64), Records({{50, {}}}));
  // An element crossing the end of its block.
  Bytes crossing = Tlv(0x04, Fill(70, 1));
  crossing.resize(128, 0xFF);
  EXPECT_EQ(Read(crossing, 216, 0, 100, 64), Records({{50, {}}}));
  // Block sizes that cannot be read are refused at open.
  for (std::int32_t size : {0, -64, 65537, 70000}) {
    rectest::Open in(kOpenInput, Put(block), 216);
    in.blockSize = size;
    EXPECT_EQ(in.Run(), kFioBadRecordFormat) << size;
  }
  for (std::int32_t size : {0, 65537, -70000}) {  // output takes a negative size as positive
    rectest::Open out(kOpenOutput, dir_ / ("o" + std::to_string(size)), 216);
    out.blockSize = size;
    EXPECT_EQ(out.Run(), kFioBadRecordFormat) << size;
  }
}

TEST_F(Asn1Format, LongElementsInsideBlocks) {
  // A primitive element in pieces and a constructed one as header and inner elements, both
  // taken from their block.
  const Bytes primitive = Tlv(0x04, Fill(48, 1));  // 50 bytes
  const Bytes inner1 = Tlv(0x02, Fill(10, 2));
  const Bytes inner2 = Tlv(0x02, Fill(10, 3));
  const Bytes constructed = Tlv(0x30, Cat({inner1, inner2}));
  Bytes block = Cat({primitive, constructed});
  block.resize(128, 0x00);
  auto slice = [](const Bytes& b, std::size_t from, std::size_t n) {
    return Bytes(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(from + n));
  };
  std::int32_t closeRc = -99;
  EXPECT_EQ(Read(block, 216, 20, 100, 128, 0x00, 0, &closeRc),
            Records({{0, slice(primitive, 0, 20)},
                     {0, slice(primitive, 20, 20)},
                     {0, slice(primitive, 40, 10)},
                     {0, {0x30, 0x18}},
                     {0, inner1},
                     {0, inner2},
                     {2, {}}}));
  EXPECT_EQ(closeRc, kFioOk);
}

TEST_F(Asn1Format, BlockedOutputPacksRecordsAndFillsTheLastBlock) {
  const std::vector<Bytes> records = {Tlv(0x04, Fill(40, 1)), Tlv(0x04, Fill(10, 2)),
                                      Tlv(0x04, Fill(20, 3)), Tlv(0x04, Fill(62, 4)),
                                      Tlv(0x04, Fill(3, 5))};
  const std::string path = dir_ / "out.ber";
  rectest::Open out(kOpenOutput, path, 216);
  out.blockSize = 64;
  out.fillPair[0] = 0x00;
  out.fillPair[1] = 1;
  ASSERT_EQ(out.Run(), kFioOk);
  for (const Bytes& r : records) EXPECT_EQ(out.Put(r), kFioOk);
  EXPECT_EQ(out.Close(), kFioOk);
  auto padded = [](Bytes b) {
    b.resize(64, 0x00);
    return b;
  };
  const Bytes expected = Cat({padded(Cat({records[0], records[1]})), padded(records[2]),
                              padded(records[3]), padded(records[4])});
  EXPECT_EQ(fiotest::ReadFileBytes(path), expected);
  // Read back with the same block size and fill byte.
  std::vector<Got> want;
  for (const Bytes& r : records) want.push_back({0, r});
  want.push_back({2, {}});
  EXPECT_EQ(Read(expected, 216, 0, 100, 64, 0x00), want);

  // A record longer than a block: whole blocks of its leading bytes, the rest starts the next.
  const Bytes longRecord = Fill(150, 7);
  rectest::Open big(kOpenOutput, path, 216);
  big.blockSize = 64;
  big.fillPair[0] = 0x40;
  ASSERT_EQ(big.Run(), kFioOk);
  EXPECT_EQ(big.Put({0x05, 0x00}), kFioOk);
  EXPECT_EQ(big.Put(longRecord), kFioOk);
  EXPECT_EQ(big.Close(), kFioOk);
  Bytes tail(longRecord.begin() + 128, longRecord.end());
  tail.resize(64, 0x40);
  Bytes first = {0x05, 0x00};
  first.resize(64, 0x40);
  EXPECT_EQ(fiotest::ReadFileBytes(path),
            Cat({first, Bytes(longRecord.begin(), longRecord.begin() + 128), tail}));
}

TEST_F(Asn1Format, StreamRecordsEndAtDelimiters) {
  const Bytes a = Tlv(0x02, {0x01});
  const Bytes b = Tlv(0x04, {0xAA, 0xBB});
  const Bytes c = Tlv(0x05, {});
  const std::uint32_t crlf = 0x02000A0D;
  const std::uint32_t lf = 0x01000A0A;
  // Two elements without a delimiter are one record; CR LF and a lone LF both end a record;
  // the last element comes at the end of the file without a delimiter.
  const Bytes file = Cat({a, b, {0x0D, 0x0A}, c, {0x0A}, a});
  EXPECT_EQ(Read(file, 224, 0, 100, 0, 0xFF, crlf),
            Records({{0, Cat({a, b})}, {0, c}, {0, a}, {2, {}}}));
  EXPECT_EQ(Read(Cat({a, {0x0A}, b, {0x0A}}), 224, 0, 100, 0, 0xFF, lf),
            Records({{0, a}, {0, b}, {2, {}}}));
  // No delimiter given: the local default (LF).
  EXPECT_EQ(Read(Cat({a, {0x0A}, b, {0x0A}}), 224, 0, 100, 0, 0xFF, 0),
            Records({{0, a}, {0, b}, {2, {}}}));
  // Elements that do not fit behind the others start the next read.
  const Bytes big = Tlv(0x04, Fill(20, 1));
  EXPECT_EQ(Read(Cat({a, big, {0x0A}}), 224, 0, 10, 0, 0xFF, lf),
            Records({{51, a}, {0, Bytes(big.begin(), big.begin() + 10)},
                     {0, Bytes(big.begin() + 10, big.begin() + 20)},
                     {0, Bytes(big.begin() + 20, big.end())}, {2, {}}}));
}

TEST_F(Asn1Format, StreamWriteAndReadBack) {
  const std::vector<Bytes> records = {Cat({Tlv(0x02, {0x01}), Tlv(0x02, {0x02})}),
                                      Tlv(0x30, Tlv(0x04, Fill(200, 1))), Tlv(0x05, {})};
  // No delimiter given: written and read with the local default, so records stay apart.
  for (std::uint32_t delimiter : {0x02000A0Du, 0x01000A0Au, 0u}) {
    const std::string path = dir_ / "s.ber";
    EXPECT_EQ(rectest::WriteFile(path, 224, records, 0, delimiter),
              std::vector<std::int32_t>(records.size() + 1, kFioOk));
    std::vector<Got> want;
    for (const Bytes& r : records) want.push_back({0, r});
    want.push_back({2, {}});
    EXPECT_EQ(Read(fiotest::ReadFileBytes(path), 224, 0, 1000, 0, 0xFF, delimiter), want);
  }
}

// A certificate-like DER structure: nested sequences, sets, object identifiers, strings,
// times, a context tag, and bit strings with two-byte lengths.
Bytes SampleCertificate(std::uint8_t seed) {
  const Bytes oid = Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D, 0x01, 0x01, 0x0B});
  const Bytes algorithm = Tlv(0x30, Cat({oid, Tlv(0x05, {})}));
  auto name = [](const std::string& cn) {
    return Tlv(0x30, Tlv(0x31, Tlv(0x30, Cat({Tlv(0x06, {0x55, 0x04, 0x03}),
                                              Tlv(0x0C, Bytes(cn.begin(), cn.end()))}))));
  };
  const std::string from = "260101000000Z";
  const std::string to = "360101000000Z";
  const Bytes validity = Tlv(0x30, Cat({Tlv(0x17, Bytes(from.begin(), from.end())),
                                        Tlv(0x17, Bytes(to.begin(), to.end()))}));
  const Bytes key = Tlv(0x30, Cat({Tlv(0x30, Cat({Tlv(0x06, {0x2A, 0x86, 0x48, 0x86, 0xF7, 0x0D,
                                                             0x01, 0x01, 0x01}),
                                                 Tlv(0x05, {})})),
                                   Tlv(0x03, Cat({{0x00}, Fill(270, seed)}))}));
  const Bytes tbs = Tlv(0x30, Cat({Tlv(0xA0, Tlv(0x02, {0x02})), Tlv(0x02, Fill(16, seed)),
                                   algorithm, name("TORQ Test CA"), validity,
                                   name("TORQ Test CA"), key}));
  return Tlv(0x30, Cat({tbs, algorithm, Tlv(0x03, Cat({{0x00}, Fill(256, seed + 1)}))}));
}

TEST_F(Asn1Format, GeneratedCertificateRoundTripsElementByElement) {
  const Bytes der = Cat({SampleCertificate(1), SampleCertificate(2)});
  for (std::int32_t recordLength : {16, 64, 200, 1000, 4096}) {
    SCOPED_TRACE(recordLength);
    RoundTrip(der, recordLength);
  }
  // Whole certificates as records, written as undefined records, and through asn1_blk and
  // asn1_stream output and input.
  const auto whole = Read(der, 208, 0, 4096);
  ASSERT_EQ(whole.size(), 3u);
  std::vector<Bytes> records = {whole[0].data, whole[1].data};
  EXPECT_EQ(Cat({records[0], records[1]}), der);
  const std::string path = dir_ / "o.ber";
  rectest::WriteFile(path, 208, records);
  EXPECT_EQ(fiotest::ReadFileBytes(path), der);
  rectest::Open out(kOpenOutput, path, 216);
  out.blockSize = 2048;
  ASSERT_EQ(out.Run(), kFioOk);
  for (const Bytes& r : records) EXPECT_EQ(out.Put(r), kFioOk);
  EXPECT_EQ(out.Close(), kFioOk);
  EXPECT_EQ(Read(fiotest::ReadFileBytes(path), 216, 0, 4096, 2048, 0x20),
            Records({{0, records[0]}, {0, records[1]}, {2, {}}}));
  rectest::WriteFile(path, 224, records, 0, 0x02000A0D);
  EXPECT_EQ(Read(fiotest::ReadFileBytes(path), 224, 0, 4096, 0, 0xFF, 0x02000A0D),
            Records({{0, records[0]}, {0, records[1]}, {2, {}}}));
}

// The PEM bodies of a certificate file, decoded.
std::vector<Bytes> PemCertificates(const std::string& path) {
  std::ifstream f(path);
  std::vector<Bytes> out;
  std::string line;
  std::string body;
  bool inside = false;
  auto value = [](char c) -> int {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
  };
  while (std::getline(f, line)) {
    if (line.rfind("-----BEGIN CERTIFICATE-----", 0) == 0) {
      inside = true;
      body.clear();
    } else if (line.rfind("-----END CERTIFICATE-----", 0) == 0) {
      inside = false;
      Bytes der;
      std::uint32_t acc = 0;
      int bits = 0;
      for (char c : body) {
        const int v = value(c);
        if (v < 0) continue;
        acc = (acc << 6) | static_cast<std::uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
          bits -= 8;
          der.push_back(static_cast<std::uint8_t>(acc >> bits));
        }
      }
      out.push_back(der);
    } else if (inside) {
      body += line;
    }
  }
  return out;
}

TEST_F(Asn1Format, SystemCertificatesRoundTripElementByElement) {
  const std::filesystem::path dir = "/usr/share/ca-certificates/mozilla";
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) GTEST_SKIP() << "no system certificates";
  int checked = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir, ec)) {
    if (entry.path().extension() != ".crt" || checked >= 40) continue;
    for (const Bytes& der : PemCertificates(entry.path().string())) {
      SCOPED_TRACE(entry.path().string());
      RoundTrip(der, 64);
      ++checked;
    }
  }
  if (checked == 0) GTEST_SKIP() << "no certificate files";
}

}  // namespace
