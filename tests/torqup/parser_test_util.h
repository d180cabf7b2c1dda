// A parse run in a test: the English catalogue texts, a defaults record with the factory
// values, a fresh run context, and the message lines the run printed.
#pragma once
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/code_tables.h"
#include "support/environment.h"
#include "support/heap.h"
#include "support/message_catalog.h"
#include "support/message_table.h"
#include "torqup/run_context.h"

namespace torqtest {

// The factory defaults record as torqinit writes it.
inline DefStruct FactoryRecord() {
  DefStruct d{};
  std::memcpy(d.magic, "QDEF", 4);
  d.blkmode = 1;
  d.torqcode = 1;
  d.header = 1;
  d.fileinfo = 1;
  d.maxbuffer = 32768;
  d.mode = 3;
  d.maxrecords = 4095;
  d.show = 1;
  d.general.recform = 1;
  d.general.recsize = 512;
  d.input.recform = 3;
  d.output.recform = 3;
  std::memcpy(d.ce2a, ce2a, 256);
  std::memcpy(d.ca2e, ca2e, 256);
  d.padchar = 0x20;
  d.padgiven = 1;
  return d;
}

inline void SetSlot(std::uint8_t* slot, const std::string& text) {
  slot[0] = static_cast<std::uint8_t>(text.size());
  std::memcpy(slot + 1, text.c_str(), text.size() + 1);
}

inline std::string Slot(const std::uint8_t* slot) {
  return std::string(reinterpret_cast<const char*>(slot + 1), slot[0]);
}

// Frees what a parse leaves in the context, as the run driver does.
inline void ReleaseContext(RunContext*& c) {
  if (!c) return;
  rmHeapFree0(&c->parString);
  rmHeapFree0(&c->comment);
  rmHeapFree0(&c->exitParm);
  rmHeapFree0(&c->nameListBuffer);
  rmHeapFree0(&c->containerList);
  rmHeapFree0(&c->inputList);
  rmHeapFree0(&c->outputList);
  rmHeapFree0(&c);
}

class ParserTest : public ::testing::Test {
 protected:
  void SetUp() override {
    static std::vector<MapEntry> english = [] {
      std::vector<MapEntry> rows;
      for (const ErrMsgRow& row : ErrMsg) rows.push_back({row.lang[1].nr, row.lang[1].text});
      return rows;
    }();
    savedMap_ = ErrorMap;
    ErrorMap = english.data();
    record_ = FactoryRecord();
    gDefstr = &record_;
    heap_ = rmGetHeapCount();
    char dir[] = "/tmp/torq_par_XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    dir_ = dir;
  }
  void TearDown() override {
    Release();
    F_FreeTorqTranslateTable();
    gDefstr = nullptr;
    ErrorMap = savedMap_;
    std::string cmd = "rm -rf " + dir_;
    EXPECT_EQ(std::system(cmd.c_str()), 0);
  }
  // Parses the text into a fresh context; the printed lines go to `lines_` without prefixes.
  std::int32_t Parse(const std::string& text) {
    Release();
    testing::internal::CaptureStderr();
    const std::uint32_t before = rmGetHeapCount();
    ctx_ = static_cast<RunContext*>(rmHeapAlloc(sizeof(RunContext)));
    ctx_->parString = rmStrDup(text.c_str());
    ctx_->parse = ctx_->parString;
    ctx_->tokenLength = static_cast<std::int32_t>(text.size());
    const std::int32_t rc = chparam(ctx_);
    heap_ = rmGetHeapCount() - before;
    const std::string out = testing::internal::GetCapturedStderr();
    lines_.clear();
    std::size_t start = 0;
    while (start < out.size()) {
      std::size_t nl = out.find('\n', start);
      if (nl == std::string::npos) nl = out.size();
      std::string line = out.substr(start, nl - start);
      // The prefix: date, time, thread and sequence (24 characters) and the level tag.
      const std::size_t text_at = line.find_first_of(' ', 20);
      if (line.size() > 24 && text_at != std::string::npos) line = line.substr(text_at + 1);
      lines_.push_back(line);
      start = nl + 1;
    }
    return rc;
  }
  // Everything the parse took from the heap is owned by the context: releasing the context
  // gives it all back, and no parameter file is left open.
  void Release() {
    if (!ctx_) return;
    EXPECT_EQ(ctx_->parFile, nullptr);
    const std::uint32_t before = rmGetHeapCount();
    // A translation table the parse loaded is the run's too.
    F_FreeTorqTranslateTable();
    ReleaseContext(ctx_);
    EXPECT_EQ(before - rmGetHeapCount(), heap_);
  }
  std::string File(const std::string& name, const std::string& content) {
    const std::string path = dir_ + "/" + name;
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(content.data(), 1, content.size(), f);
    std::fclose(f);
    return path;
  }
  std::string Lines() const {
    std::string all;
    for (const auto& l : lines_) all += l + "|";
    return all;
  }

  DefStruct record_{};
  RunContext* ctx_ = nullptr;
  std::vector<std::string> lines_;
  std::string dir_;
  std::uint32_t heap_ = 0;
  MapEntry* savedMap_ = nullptr;
};

}  // namespace torqtest
