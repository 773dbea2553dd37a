/* winmain.cpp - the program's entry.  Everything else lives in the library
 * that the tests link too; this file restricts where DLLs may come from and
 * hands over the command tail. */
#include <windows.h>

#include "logic.h"
#include "quarnel.h"

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

typedef BOOL(WINAPI *SETDEFAULTDLLDIRECTORIES)(DWORD dwFlags);

/* An installer is run from a download folder, where anyone may have left a
   DLL named like a system one: before anything can load a DLL, the search
   is limited to the system directory.  Systems without the call still lose
   the current directory from the search. */
static void RestrictDllSearch(void)
{
    SetDllDirectoryA("");
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    FARPROC pfn = hKernel ? GetProcAddress(hKernel, "SetDefaultDllDirectories") : NULL;
    if (pfn)
        reinterpret_cast<SETDEFAULTDLLDIRECTORIES>(reinterpret_cast<void *>(pfn))(
            LOAD_LIBRARY_SEARCH_SYSTEM32);
}

/* A test builds a control copy with QUARNEL_NO_DLL_RESTRICTION to show that
   a DLL planted beside the program is loaded without the restriction. */
#ifdef QUARNEL_NO_DLL_RESTRICTION
static const bool fRestrictDllSearch = false;
#else
static const bool fRestrictDllSearch = true;
#endif

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpszCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpszCmdLine;
    (void)nCmdShow;
    if (fRestrictDllSearch)
        RestrictDllSearch();
    /* The runtime's own tail toggles quoting anywhere in the program name;
       the installer skips a quoted name to its closing quote only, so the
       tail is taken from the raw command line. */
    return QuarnelMain(hInstance, SkipProgramName(GetCommandLineA()));
}
