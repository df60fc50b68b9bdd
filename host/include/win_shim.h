// The one place of the stand-in host that knows which platform it runs on.
// On Windows it gives way to the real <windows.h>; elsewhere it declares the
// small subset of the Windows API that plug-ins and the stand-in use.
#pragma once

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
// shellapi.h needs the declarations of windows.h.
#include <shellapi.h>
#else

#include <cstddef>
#include <cstdint>

// Integer types: widths as on 64-bit Windows (LLP64), so that a ULONG or a DWORD
// is 32 bits here too, while pointer-sized types follow the pointer.
typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned short USHORT;
typedef std::uint32_t DWORD;
typedef std::uint32_t ULONG;
typedef std::uint32_t UINT;
typedef std::int32_t LONG;
typedef std::int32_t INT;
typedef std::intptr_t INT_PTR;
typedef std::uintptr_t UINT_PTR;
typedef std::intptr_t LONG_PTR;
typedef std::uintptr_t ULONG_PTR;
typedef ULONG_PTR DWORD_PTR;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LPARAM;
typedef LONG_PTR LRESULT;
typedef wchar_t WCHAR;
typedef WCHAR* LPWSTR;
typedef const WCHAR* LPCWSTR;
typedef void* LPVOID;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

// Handles are distinct opaque pointer types, as with STRICT on Windows.
struct HINSTANCE__;
typedef HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
struct HWND__;
typedef HWND__* HWND;

#define LOWORD(l) (static_cast<WORD>(static_cast<std::uintptr_t>(l) & 0xffff))
#define HIWORD(l) (static_cast<WORD>((static_cast<std::uintptr_t>(l) >> 16) & 0xffff))
#define MAKEWPARAM(lo, hi)                                   \
    (static_cast<WPARAM>((static_cast<DWORD>(lo) & 0xffff) | \
                         ((static_cast<DWORD>(hi) & 0xffff) << 16)))

#define WM_INITDIALOG 0x0110
#define WM_COMMAND 0x0111
#define BN_CLICKED 0
#define CBN_SELCHANGE 1
#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1
#define DLL_THREAD_ATTACH 2
#define DLL_THREAD_DETACH 3
#define SW_SHOW 5
#define ERROR_FILE_NOT_FOUND 2
#define SE_ERR_NOASSOC 31

#define WINAPI
#define APIENTRY

// A device-independent bitmap as a packed block: the header, then (for 32
// bits a pixel, BI_RGB) the rows of blue, green, red and reserved bytes,
// bottom row first when biHeight is positive.
#define BI_RGB 0
struct BITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
};
struct RGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
};
struct BITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
};

/// Copies string resource `uID` of module `hInstance` (UTF-16 in the module's
/// resources) into `lpBuffer`, at most `cchBufferMax - 1` characters plus a
/// terminating null. Returns the number of characters copied, 0 when the
/// module or the string does not exist or `lpBuffer` is null. Unlike Windows,
/// a `cchBufferMax` of 0 also returns 0: the stand-in hands out no read-only
/// pointer into its resources.
int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax);

/// Opens `lpFile` with its default handler. The stand-in hands the address,
/// in UTF-8, to the handler that the host installed (see platform/shell.h);
/// only the default verb (null or "open") is supported, and the parameters,
/// directory and show command are not used. Returns a value above 32 on
/// success, as Windows does; ERROR_FILE_NOT_FOUND for a missing address and
/// SE_ERR_NOASSOC when no handler is installed, another verb is asked for or
/// the handler fails.
HINSTANCE ShellExecuteW(HWND hwnd, LPCWSTR lpOperation, LPCWSTR lpFile, LPCWSTR lpParameters,
                        LPCWSTR lpDirectory, INT nShowCmd);

/// Turns off thread attach/detach notifications for a module. FALSE for a
/// handle that is no loaded module.
BOOL DisableThreadLibraryCalls(HMODULE hLibModule);

#endif  // _WIN32
