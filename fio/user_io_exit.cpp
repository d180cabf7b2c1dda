#include "fio/user_io_exit.h"

// Placeholders: no exit is linked in, so every call is refused and nothing else is touched.

void usropn(void*&, std::int32_t& rc, std::int32_t&, char*, std::int32_t&, std::int32_t&,
            std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&, std::uint32_t&,
            std::uint8_t*, std::int32_t&, std::int32_t&, std::int32_t&, std::int32_t&, char*) {
  rc = -1;
}

void usrget(void*&, std::int32_t& rc, std::int32_t&, std::uint8_t*, std::int32_t&) { rc = -1; }

void usrput(void*&, std::int32_t& rc, std::int32_t&, std::uint8_t*) { rc = -1; }

void usrcls(void*&, std::int32_t& rc) { rc = -1; }
