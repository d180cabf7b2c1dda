#include "fio/name_expansion.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

#include "support/debug_log.h"
#include "support/heap.h"
#include "support/paths.h"
#include "support/platform/file_io.h"
#include "support/platform/find_files.h"

namespace {

constexpr std::int32_t kSystemErrorTag = 0x0F000000;

// The pattern's text: at most its length byte's count, ending early at a NUL.
std::string_view PatternText(const std::uint8_t* pattern) {
  if (!pattern) return {};
  const auto* text = reinterpret_cast<const char*>(pattern + 1);
  const std::size_t n = pattern[0];
  const void* nul = std::memchr(text, '\0', n);
  return {text, nul ? static_cast<std::size_t>(static_cast<const char*>(nul) - text) : n};
}

// Shortcut files of the originating platform are never inputs.
bool IsShortcut(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return false;
  return path.size() - dot == 4 && strncasecmp(path.c_str() + dot, ".lnk", 4) == 0;
}

void ReleaseContext(FilpasContext*& slot) {
  torq::platform::FindClose(slot->search);
  rmHeapFree0(&slot);
}

void SetResult(std::uint8_t* result, const char* text, std::size_t n) {
  if (!result) return;
  result[0] = static_cast<std::uint8_t>(n);
  if (n) std::memcpy(result + 1, text, n);
  result[n + 1] = 0;
}

}  // namespace

void filpas(FilpasContext*& slot, std::int32_t& rc, std::int32_t& function,
            const std::uint8_t* pattern, std::uint8_t* result) {
  rc = 0;
  if (function == kFilpasEnd) {
    if (slot) {
      if (slot->self != slot) {
        rc = -1;
        return;
      }
      ReleaseContext(slot);
    }
    return;
  }

  const std::string_view text = PatternText(pattern);
  if (text.empty()) {
    if (function == kFilpasNext) {
      rc = 2;
    } else {
      function = kFilpasNext;
      SetResult(result, "", 0);
    }
    return;
  }

  if (!slot) {
    slot = static_cast<FilpasContext*>(rmHeapAlloc(sizeof(FilpasContext)));
    if (!slot) {
      rc = -1;
      return;
    }
    slot->self = slot;
  } else if (slot->self != slot) {
    rc = -1;
    return;
  }
  FilpasContext& ctx = *slot;

  if (function == kFilpasAsk) {
    ctx.wildcards = torq::platform::HasWildcards(text) ? 1 : 0;
    if (ctx.wildcards) rc = 1;
    function = kFilpasNext;
    return;
  }

  for (;;) {
    const std::string* path = nullptr;
    if (!ctx.searching) {
      int error;
      try {
        const std::string name(text);
        error = torq::platform::FindFirst(name.c_str(), ctx.search, path);
      } catch (const std::bad_alloc&) {
        error = ENOMEM;
      }
      if (error) {
        // Nothing there is "no name"; an unreadable directory says why.
        if (error == ENOENT || error == ENOTDIR)
          rc = 2;
        else if (error == ENOMEM)
          rc = -1;
        else
          rc = kSystemErrorTag | (error & 0xFFFFFF);
        return;
      }
      ctx.wildcards = torq::platform::HasWildcards(text) ? 1 : 0;
      ctx.searching = 1;
    } else {
      path = ctx.search ? torq::platform::FindNext(*ctx.search) : nullptr;
      if (!path) {
        rc = 2;
        return;
      }
    }
    if (IsShortcut(*path)) continue;

    function = kFilpasNext;
    char full[260];
    const std::uint32_t n = F_GetFullPathName(path->c_str(), sizeof full, full, nullptr);
    if (n == 0) {
      rc = kSystemErrorTag | (errno & 0xFFFFFF);
      return;
    }
    if (n > kFilpasMaxPath) {
      // A length byte cannot count it: refused, never cut or wrapped.
      OutputDebugLog("filpas: full path of %s too long (%u)", path->c_str(), n);
      rc = kSystemErrorTag | ENAMETOOLONG;
      return;
    }
    SetResult(result, full, n);
    return;
  }
}

void fioera(void*, std::int32_t& rc, const std::int32_t&, std::span<const std::uint8_t> nameList) {
  rc = 0;
  std::size_t i = 0;
  while (i < nameList.size() && nameList[i] != 0) {
    const std::size_t n = nameList[i];
    if (n > nameList.size() - i - 1) {
      rc = kFioEraseFailed;  // the list runs past its end
      return;
    }
    char name[256];
    std::memcpy(name, nameList.data() + i + 1, n);
    name[n] = '\0';
    if (std::strlen(name) != n) {
      rc = kFioEraseFailed;  // a NUL inside a name: it names no file
      return;
    }
    if (const int error = torq::platform::FileDelete(name)) {
      OutputDebugLog("fioera: %s not deleted (%d)", name, error);
      rc = kFioEraseFailed;
      return;
    }
    i += n + 2;
  }
}

void fioera(void* fcbSlot, std::int32_t& rc, const std::int32_t& state,
            const std::uint8_t* nameList) {
  rc = 0;
  if (!nameList) return;
  std::size_t end = 0;
  while (nameList[end] != 0) end += nameList[end] + 2u;
  fioera(fcbSlot, rc, state, std::span<const std::uint8_t>(nameList, end + 1));
}
