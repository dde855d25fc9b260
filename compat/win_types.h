// The few Windows types and result codes the COM-shaped objects use. Windows builds take them from
// the platform headers; the host builds declare the same names with the same sizes and layout.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT = int;
using UINT = unsigned int;
using BOOL = int;
using HRESULT = std::int32_t;

struct GUID {
  DWORD Data1;
  WORD Data2;
  WORD Data3;
  BYTE Data4[8];
};
using IID = GUID;
using REFIID = const IID&;
using REFGUID = const GUID&;

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct POINT {
  LONG x;
  LONG y;
};

struct PALETTEENTRY {
  BYTE peRed;
  BYTE peGreen;
  BYTE peBlue;
  BYTE peFlags;
};

struct RGNDATA;
using HWND = struct HWND__*;
using HMONITOR = struct HMONITOR__*;

constexpr HRESULT S_OK = 0;
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);
constexpr HRESULT E_POINTER = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
#endif

// COM methods: the callee removes the arguments on 32-bit x86. The host32 build uses the same
// convention so that its tests run the call sequences the shipped driver makes.
#if defined(__i386__)
#define QELT_STDCALL __attribute__((stdcall))
#else
#define QELT_STDCALL
#endif
