// Windows types used by the panel's portable parts. Windows builds take
// them from the platform headers; other hosts get the same layouts here.
#ifndef QELTVBTV_WIN_COMPAT_H
#define QELTVBTV_WIN_COMPAT_H

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

typedef std::uint8_t BYTE;
typedef std::uint16_t WORD;
typedef std::uint32_t DWORD;

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};

#define ERROR_SUCCESS 0L
#define REG_SZ 1UL
#endif

static_assert(sizeof(BYTE) == 1 && sizeof(WORD) == 2 && sizeof(DWORD) == 4, "Win32 integer widths");
static_assert(sizeof(GUID) == 16, "GUID is 16 bytes");

#endif
