// Base types, handles and small helpers of the desktop interface subset.
//
// The programs are written against these names, with the platform's own
// values, so that the shell, the framework and the savers read like the
// programs they describe. Nothing here includes a system header of X11,
// FLTK or PAM.
#pragma once

#include <cstddef>
#include <cstdint>

#define CALLBACK
#define WINAPI

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using INT = int;
using BOOL = int;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using CHAR = char;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using INT_PTR = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using COLORREF = DWORD;
using ATOM = WORD;
using LPSTR = char*;
using LPCSTR = const char*;
using LPVOID = void*;
using LPCVOID = const void*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;

// Handles are opaque. Window handles carry the native window id of the
// back end (an X window id on X11), so a handle passed on a command line
// names the same window in every process on the display. GDI and module
// handles are entries of the platform's handle tables and are checked on
// every use: a stale or invented handle is refused, never dereferenced.
#define ORVO_DECLARE_HANDLE(name) \
  struct name##__;                \
  using name = name##__*
ORVO_DECLARE_HANDLE(HWND);
ORVO_DECLARE_HANDLE(HDC);
ORVO_DECLARE_HANDLE(HPALETTE);
ORVO_DECLARE_HANDLE(HPEN);
ORVO_DECLARE_HANDLE(HBRUSH);
ORVO_DECLARE_HANDLE(HRGN);
ORVO_DECLARE_HANDLE(HBITMAP);
ORVO_DECLARE_HANDLE(HINSTANCE);
ORVO_DECLARE_HANDLE(HCURSOR);
ORVO_DECLARE_HANDLE(HICON);
ORVO_DECLARE_HANDLE(HMENU);
ORVO_DECLARE_HANDLE(HKEY);
ORVO_DECLARE_HANDLE(HIMC);
#undef ORVO_DECLARE_HANDLE
using HMODULE = HINSTANCE;
// Any GDI object; the typed handles convert to it, as on the desktop.
using HGDIOBJ = void*;
using HGLOBAL = void*;
using FARPROC = void (*)();

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);

struct POINT {
  LONG x;
  LONG y;
};

struct RECT {
  LONG left;
  LONG top;
  LONG right;
  LONG bottom;
};

struct MSG {
  HWND hwnd;
  UINT message;
  WPARAM wParam;
  LPARAM lParam;
  DWORD time;
  POINT pt;
};

constexpr WORD LOWORD(std::uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(std::uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(std::uintptr_t v) { return static_cast<BYTE>(v & 0xFF); }
constexpr LPARAM MAKELPARAM(WORD lo, WORD hi) {
  return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
constexpr WPARAM MAKEWPARAM(WORD lo, WORD hi) {
  return static_cast<WPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
constexpr SHORT GET_X_LPARAM(LPARAM v) { return static_cast<SHORT>(v & 0xFFFF); }
constexpr SHORT GET_Y_LPARAM(LPARAM v) { return static_cast<SHORT>((v >> 16) & 0xFFFF); }

// Colours: an RGB value, or an index into the selected logical palette.
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) {
  return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) |
         (static_cast<COLORREF>(b) << 16);
}
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }
constexpr COLORREF PALETTEINDEX(WORD i) { return 0x01000000u | static_cast<COLORREF>(i); }
