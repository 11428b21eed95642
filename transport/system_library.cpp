#include "transport/system_library.h"

#include <string.h>

HMODULE LoadSystemLibrary(const char *name)
{
    // Not in the Windows 7 headers; understood where AddDllDirectory exists (Windows 8 on, and
    // Windows 7 with its loader update).
    const DWORD SEARCH_SYSTEM32 = 0x00000800;
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    if (kernel32 && GetProcAddress(kernel32, "AddDllDirectory")) return LoadLibraryExA(name, NULL, SEARCH_SYSTEM32);
    // Elsewhere the full path; the DLL's own imports are then looked for beside it first.
    char path[MAX_PATH];
    UINT length = GetSystemDirectoryA(path, MAX_PATH);
    size_t name_length = strlen(name);
    if (!length || length + 1 + name_length >= MAX_PATH) return NULL;
    path[length] = '\\';
    memcpy(path + length + 1, name, name_length + 1);
    return LoadLibraryExA(path, NULL, LOAD_WITH_ALTERED_SEARCH_PATH);
}
