// The stand-in's implementation of the Windows calls declared in win_shim.h.
// Plug-ins call these through a C-style boundary: nothing may throw out of them.
#include "win_shim.h"

#include <string_view>

#include "instance_table.h"
#include "platform/shell.h"
#include "platform/utf16.h"

namespace {

/// Any ShellExecuteW result above 32 means success.
constexpr INT_PTR kShellExecuteSucceeded = 42;

HINSTANCE ShellResult(INT_PTR code) { return reinterpret_cast<HINSTANCE>(code); }

bool IsDefaultVerb(LPCWSTR verb) {
    return verb == nullptr || *verb == L'\0' || std::wstring_view(verb) == L"open";
}

}  // namespace

int LoadStringW(HINSTANCE hInstance, UINT uID, LPWSTR lpBuffer, int cchBufferMax) {
    return standin::detail::CopyParsedString(hInstance, uID, lpBuffer, cchBufferMax);
}

HINSTANCE ShellExecuteW(HWND /*hwnd*/, LPCWSTR lpOperation, LPCWSTR lpFile,
                        LPCWSTR /*lpParameters*/, LPCWSTR /*lpDirectory*/, INT /*nShowCmd*/) {
    if (lpFile == nullptr || *lpFile == L'\0') return ShellResult(ERROR_FILE_NOT_FOUND);
    if (!IsDefaultVerb(lpOperation)) return ShellResult(SE_ERR_NOASSOC);
    try {
        if (!standin::DispatchShellOpen(standin::WideToUtf8(lpFile))) {
            return ShellResult(SE_ERR_NOASSOC);
        }
        return ShellResult(kShellExecuteSucceeded);
    } catch (...) {
        return ShellResult(SE_ERR_NOASSOC);
    }
}

BOOL DisableThreadLibraryCalls(HMODULE hLibModule) {
    // The stand-in sends no thread notifications at all; it only remembers the
    // request, so that hosts and tests can see that a module made it.
    try {
        return standin::detail::MarkThreadLibraryCallsDisabled(hLibModule) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}
