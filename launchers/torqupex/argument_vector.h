// The argument vector of a child process: owned copies of the arguments, argument 0 the
// program name, a null entry after the last one. Memory comes from the counting heap.
#pragma once
#include <cstddef>
#include <cstdint>

class TArgv {
 public:
  // n > 0: an array of n null entries, capacity n - 1; 0: no array, capacity 0.
  explicit TArgv(std::int32_t initialCapacity = 32);
  ~TArgv();
  TArgv(const TArgv&) = delete;
  TArgv& operator=(const TArgv&) = delete;

  // Frees every argument and the joined line; the vector is empty afterwards.
  void Clear();
  // Adds a copy of the text (a null text adds nothing). 1, or 0 when memory runs out.
  int Add(const char* text);
  int Add(const char* text, std::size_t length);
  // Adds the texts in order; 0 at the first failure, else 1.
  int Add(std::int32_t count, const char* const* texts);
  // 1 when the text begins with an odd number of '(' characters.
  static int OddQuotes(const char* text);
  // Adds the program name (null: "torq4") as argument 0, then the items of the parameter string
  // (at most `length` bytes of it, up to a NUL): an item ends at a ',' outside a bracketed value.
  // Every character is kept, so the items joined with ',' give the string again. A null string
  // adds nothing and gives 1. 1, or 0 when memory runs out.
  int AddParString(const char* parameters, std::size_t length, const char* program);
  // Arguments 1 to count - 1, each followed by a blank, trailing blanks and control characters
  // cut: for display only. Built once, then kept.
  const char* GetCmdLine();
  // Fills the vector from a text file, one argument per line (';' starts a comment line, a
  // one-character line is skipped); argument 0 is the path. 1, or 0 when the file cannot be read.
  int Assign(const char* path);

  std::int32_t Count() const { return count_; }
  std::int32_t Capacity() const { return capacity_; }
  const char* const* Items() const { return items_; }
  const char* operator[](std::int32_t i) const { return i >= 0 && i < count_ ? items_[i] : nullptr; }

 private:
  int ReallocArgv();
  static char* StrDupArg(const char* text);
  static char* StrDupArg(const char* text, std::size_t length);
  // The next line of the text at `position`, terminated in place, or null at the end; `end`
  // gets the position of its last character.
  static char* GetLine(char* position, char** end);
  int AddOwned(char* copy);

  char** items_ = nullptr;
  char* line_ = nullptr;
  std::int32_t capacity_ = 0;
  std::int32_t count_ = 0;
};
