#include "torqup/output_names.h"

#include "support/build_stamp.h"

#include <sys/stat.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <vector>

#include "support/message_output.h"
#include "support/paths.h"
#include "torqup/shown_names.h"

TORQ_BUILD_STAMP("TorqNames")

namespace {

std::string_view AfterLast(std::string_view name, std::string_view separators) {
  for (char separator : separators) {
    const std::size_t at = name.rfind(separator);
    if (at != std::string_view::npos) return name.substr(at + 1);
  }
  return name;
}

bool EndsWith(std::string_view text, std::string_view tail) {
  return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

std::string MemberName(std::int32_t member) {
  char text[32];
  std::snprintf(text, sizeof text, "Member#%04ld", static_cast<long>(member));
  return text;
}

// The member number of "#n..." when n > 0, else 0.
std::int32_t SelectedNumber(std::string_view text) {
  if (text.size() < 2 || text[0] != '#') return 0;
  std::int32_t n = 0;
  const auto [end, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), n);
  if (ec != std::errc{} || end == text.data() + 1) return 0;
  return n > 0 ? n : 0;
}

// A standard stream (empty name) is looked at through its descriptor.
bool StatOf(int stream, const std::string& path, struct stat* info) {
  return path.empty() ? fstat(stream, info) == 0 : stat(path.c_str(), info) == 0;
}

}  // namespace

PatternKind OutputPatternKind(std::string_view pattern, bool* balanced) {
  std::size_t opens = 0, closes = 0;
  for (char c : pattern) {
    opens += c == '[';
    closes += c == ']';
  }
  *balanced = opens == closes;
  if (pattern.empty() || pattern[0] != '[') return PatternKind::kPlain;
  if (pattern == "[*]") return PatternKind::kWhole;
  if (pattern == "[]") return PatternKind::kLastPart;
  if (pattern.starts_with("[#")) return PatternKind::kSelect;
  const std::size_t equals = pattern.find('=');
  if (equals != std::string_view::npos) {
    const std::size_t close = pattern.find(']', equals);
    if (close == pattern.size() - 1) return PatternKind::kRename;
  }
  return PatternKind::kSelect;
}

std::int32_t ApplyNamePattern(std::string_view source, std::string_view pattern, std::int32_t member,
                              std::string& out, bool& fromSource) {
  fromSource = true;
  if (pattern.empty() || pattern[0] != '[') {
    fromSource = false;
    out.assign(pattern);
    return 0;
  }
  if (pattern == "[#]") {
    fromSource = false;
    out = MemberName(member);
    return 0;
  }
  if (pattern == "[]") {
    if (source.empty()) {
      fromSource = false;
      out = MemberName(member);
    } else {
      out.assign(AfterLast(source, "\\/:"));
    }
    return 0;
  }
  if (pattern == "[*]") {
    out.assign(source);
    return 0;
  }
  const std::size_t close = pattern.find(']');
  const std::string_view text = pattern.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
  const bool selected = [&] {
    if (!text.empty() && (text[0] == '\\' || text[0] == '/')) {
      const std::string_view part = AfterLast(source, "\\/");
      const std::string_view rest = text.substr(1);
      out.assign(part);
      if (rest.starts_with('*')) return EndsWith(part, rest.substr(1));
      if (rest.starts_with('?')) return part.find(rest.substr(1)) != std::string_view::npos;
      return part.starts_with(rest);
    }
    if (text.starts_with('*')) {
      out.assign(source);
      return EndsWith(source, text.substr(1));
    }
    if (const std::int32_t n = SelectedNumber(text); n > 0) {
      const std::size_t equals = text.find('=');
      if (equals != std::string_view::npos) {
        fromSource = false;
        out.assign(text.substr(equals + 1));
      } else {
        out.assign(source);
      }
      return member == n;
    }
    if (text.starts_with('?')) {
      out.assign(source);
      return source.find(text.substr(1)) != std::string_view::npos;
    }
    if (const std::size_t equals = pattern.find('='); equals != std::string_view::npos) {
      // [old]=new or [old=new]: every occurrence of old is replaced.
      const std::size_t innerEquals = text.find('=');
      const std::string_view old = innerEquals == std::string_view::npos ? text : text.substr(0, innerEquals);
      std::string_view replacement = pattern.substr(equals + 1);
      replacement = replacement.substr(0, replacement.find(']'));
      if (old.empty()) return false;
      out.clear();
      std::size_t from = 0;
      bool found = false;
      for (std::size_t at; (at = source.find(old, from)) != std::string_view::npos; from = at + old.size()) {
        out.append(source.substr(from, at - from)).append(replacement);
        found = true;
      }
      out.append(source.substr(from));
      return found;
    }
    out.assign(source);
    return source.starts_with(text);
  }();
  return selected ? 0 : kRcNotSelected;
}

bool ConfineStoredName(std::string& name) {
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  if (name.size() >= 2 && name[1] == ':' &&
      ((name[0] >= 'A' && name[0] <= 'Z') || (name[0] >= 'a' && name[0] <= 'z'))) {
    name.erase(0, 2);
  }
  name.erase(0, name.find_first_not_of('/'));
  if (name.empty() || name.size() > kMaxOutputName) return false;
  std::string_view rest = name;
  while (!rest.empty()) {
    const std::size_t slash = rest.find('/');
    if (rest.substr(0, slash) == "..") return false;
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return name.find('\0') == std::string::npos;
}

std::int32_t FinishOutputName(std::string& name, std::string& outputPath) {
  if (name.empty()) return 0;
  std::vector<char> adapted(name.begin(), name.end());
  adapted.push_back('\0');
  AdaptFileName(adapted.data());
  std::string local(adapted.data());
  if (!outputPath.empty()) {
    if (outputPath.back() != '/') outputPath.push_back('/');
    local.erase(0, local.find_first_not_of('/'));
    local.insert(0, outputPath);
  }
  char full[kTorqMaxPath];
  const std::uint32_t n = F_GetFullPathName(local.c_str(), sizeof full, full, nullptr);
  if (n == 0) return kRcInvalidName;
  if (n >= sizeof full || n > kMaxOutputName) {
    MsgPutSystemError(ENAMETOOLONG);
    MsgPutError(2, kRcNameTooLong, ShownName(n < sizeof full ? std::string_view(full, n) : local).c_str());
    return kRcNameTooLong;
  }
  name.assign(full, n);
  const std::string folder = name.substr(0, name.rfind('/') + 1);
  if (folder.size() > 1 && !F_ForceDirectories(folder.c_str())) {
    const int error = errno != 0 ? errno : ENOTDIR;
    MsgPutSystemError(error);
    MsgPutF("*ERROR* %s\n", ShownName(name).c_str());
    return static_cast<std::int32_t>(0x0F000000u | static_cast<std::uint32_t>(error & 0xFFFFFF));
  }
  return 0;
}

std::int32_t SameFileCheck(std::string_view first, int firstStream, std::string_view second, int secondStream) {
  if (first.empty() && second.empty()) return 0;
  const std::string a(first), b(second);
  struct stat infoA {}, infoB {};
  if (StatOf(firstStream, a, &infoA) && StatOf(secondStream, b, &infoB) && infoA.st_dev == infoB.st_dev && infoA.st_ino == infoB.st_ino) return kRcSameFile;
  if (a.empty() || b.empty()) return 0;
  char fullA[kTorqMaxPath], fullB[kTorqMaxPath];
  const std::uint32_t na = F_GetFullPathName(a.c_str(), sizeof fullA, fullA, nullptr);
  const std::uint32_t nb = F_GetFullPathName(b.c_str(), sizeof fullB, fullB, nullptr);
  if (na > 0 && na < sizeof fullA && na == nb && std::string_view(fullA, na) == std::string_view(fullB, nb)) {
    return kRcSameFile;
  }
  return 0;
}
