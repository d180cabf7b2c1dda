// A path of bounded length with an id and a source flag: the program torqcmd starts.
#pragma once
#include <climits>
#include <cstddef>
#include <cstdint>

class TFileName {
 public:
  static constexpr std::int32_t kCapacity = PATH_MAX;

  TFileName() = default;
  TFileName(const char* text, std::int32_t id, std::uint8_t source);
  TFileName(const TFileName& other);
  TFileName& operator=(const TFileName& other);
  TFileName& operator=(const char* text);
  ~TFileName();

  // Replace or append; text beyond the capacity is cut and Fits() turns false.
  void Copy(const char* text);
  void Copy(const TFileName& other) { Copy(other.c_str()); }
  void Cat(const char* text);
  void Cat(const TFileName& other) { Cat(other.c_str()); }
  // Recounts the length up to the terminator.
  void SetLength();
  // Shortens to n when n is below the length (never lengthens, never below 0).
  void SetLength(std::int32_t n);

  const char* c_str() const { return text_; }
  std::int32_t Length() const { return length_; }
  char LastChar() const { return length_ > 0 ? text_[length_ - 1] : '\0'; }
  std::int32_t Id() const { return id_; }
  std::uint8_t Src() const { return source_; }
  // False once a text had to be cut: a cut path names another file and must not be used.
  bool Fits() const { return fits_; }

 private:
  char text_[kCapacity + 1] = {};
  std::int32_t length_ = 0;
  std::uint8_t source_ = 0;
  std::int32_t id_ = 0;
  bool fits_ = true;
};
