// The number of threads a process has, from the system's thread snapshot.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

inline int CountThreadsOf(DWORD process_id)
{
    HANDLE snap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snap == INVALID_HANDLE_VALUE) return -1;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    int count = 0;
    for (BOOL ok = Thread32First(snap, &entry); ok; ok = Thread32Next(snap, &entry))
        count += entry.th32OwnerProcessID == process_id;
    CloseHandle(snap);
    return count;
}
