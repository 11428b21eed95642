// DLLs that the programs load at run time, from the system folder only: a DLL of the same name
// beside the program (a Downloads folder) is never loaded.
#pragma once
#include <windows.h>

// The DLL of that name (for example "iphlpapi.dll") from the system folder, or null. The
// caller frees it with FreeLibrary.
HMODULE LoadSystemLibrary(const char *name);
