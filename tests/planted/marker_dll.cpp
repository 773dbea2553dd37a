/* marker_dll.cpp - a DLL planted beside a program to learn whether the
 * program's process loads it: on being mapped it creates a file named after
 * itself with ".loaded" added, in its own folder, and then refuses to stay,
 * so no caller ever runs code that expects the real DLL's exports. */
#include <windows.h>

#include "logic.h"

BOOL WINAPI DllMain(HINSTANCE hInst, DWORD dwReason, LPVOID pvReserved)
{
    (void)pvReserved;
    if (dwReason != DLL_PROCESS_ATTACH)
        return TRUE;
    char szMarker[MAX_PATH + 16];
    DWORD cch = GetModuleFileNameA(hInst, szMarker, MAX_PATH);
    if (cch == 0 || cch >= MAX_PATH || !AppendSz(szMarker, sizeof(szMarker), ".loaded"))
        return FALSE;
    HANDLE h = CreateFileA(szMarker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return FALSE;
}
