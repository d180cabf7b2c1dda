#include "launchers/torqcmd/file_name.h"

#include <cstring>

TFileName::TFileName(const char* text, std::int32_t id, std::uint8_t source) : source_(source), id_(id) {
  Copy(text);
}

TFileName::TFileName(const TFileName& other) { *this = other; }

TFileName& TFileName::operator=(const TFileName& other) {
  if (this != &other) {
    std::memcpy(text_, other.text_, sizeof text_);
    length_ = other.length_;
    source_ = other.source_;
    id_ = other.id_;
    fits_ = other.fits_;
  }
  return *this;
}

TFileName& TFileName::operator=(const char* text) {
  Copy(text);
  return *this;
}

TFileName::~TFileName() { text_[0] = '\0'; }

void TFileName::Copy(const char* text) {
  text_[0] = '\0';
  length_ = 0;
  fits_ = true;
  Cat(text);
}

void TFileName::Cat(const char* text) {
  if (!text) return;
  const std::size_t room = static_cast<std::size_t>(kCapacity - length_);
  const std::size_t n = strnlen(text, room + 1);
  const std::size_t taken = n > room ? room : n;
  if (n > room) fits_ = false;
  std::memcpy(text_ + length_, text, taken);
  length_ += static_cast<std::int32_t>(taken);
  text_[length_] = '\0';
}

void TFileName::SetLength() { length_ = static_cast<std::int32_t>(strnlen(text_, kCapacity)); }

void TFileName::SetLength(std::int32_t n) {
  if (n < 0 || n >= length_) return;
  length_ = n;
  text_[length_] = '\0';
}
