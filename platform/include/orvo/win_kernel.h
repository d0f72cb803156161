// System services subset: time, random numbers, debugger output, memory,
// modules loaded by name, private-profile INI files and the registry value
// of the password switch.
#pragma once

#include "orvo/win_types.h"

// Milliseconds of a monotonic clock, unsigned 32-bit and wrapping. On the
// headless display this is a virtual clock that moves only when told to.
DWORD GetTickCount();
void Sleep(DWORD milliseconds);

// The one process-wide 15-bit generator: state = state * 214013 + 2531011,
// result = bits 16..30 of the new state (0..32767). Named apart from the C
// library's rand, which is never used.
int rand15();
void srand15(DWORD seed);
DWORD rand15_state();

// Debugger output: one line on standard error.
void OutputDebugStringA(LPCSTR text);

// Memory blocks (zero-filled when asked), freed with GlobalFree.
inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;
inline constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;
inline constexpr UINT GPTR = GMEM_FIXED | GMEM_ZEROINIT;
HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
void* GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);

// Components found by name: "PASSWORD.CPL", "MPR.DLL" and "IMM32.DLL" are
// built into the platform. A name that is not built in does not load.
HMODULE LoadLibraryA(LPCSTR name);
HMODULE GetModuleHandleA(LPCSTR name);
FARPROC GetProcAddress(HMODULE module, LPCSTR name);
BOOL FreeLibrary(HMODULE module);

// Private-profile INI files. A bare file name resolves to $ORVO_CONFIG_DIR,
// else $XDG_CONFIG_HOME/orvo, else ~/.config/orvo; a path with a slash is
// used as it is.
UINT GetPrivateProfileIntA(LPCSTR section, LPCSTR key, INT default_value, LPCSTR file);
DWORD GetPrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR default_value, LPSTR buffer,
                               DWORD size, LPCSTR file);
BOOL WritePrivateProfileStringA(LPCSTR section, LPCSTR key, LPCSTR value, LPCSTR file);

// Registry: only the current user's desktop settings, kept in registry.ini
// beside control.ini.
using LSTATUS = LONG;
inline constexpr LSTATUS ERROR_SUCCESS = 0;
inline constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
inline constexpr LSTATUS ERROR_MORE_DATA = 234;
inline constexpr DWORD KEY_READ = 0x20019;
inline constexpr DWORD REG_DWORD = 4;
inline const HKEY HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<std::uintptr_t>(0x80000001u));
LSTATUS RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, DWORD access, HKEY* result);
LSTATUS RegQueryValueExA(HKEY key, LPCSTR name, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* size);
LSTATUS RegCloseKey(HKEY key);

// Structured faults: the shell's fault guard hands an escaping fault to the
// filter, which answers whether the program handles it.
inline constexpr LONG EXCEPTION_EXECUTE_HANDLER = 1;
inline constexpr LONG EXCEPTION_CONTINUE_SEARCH = 0;
LONG UnhandledExceptionFilter(void* exception_pointers);
