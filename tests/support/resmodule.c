/* resmodule.c - the only code of a test manifest module: a module that
   carries a manifest string table and the installer's fixed resources. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE hInstance, DWORD dwReason, LPVOID pvReserved)
{
    (void)hInstance;
    (void)dwReason;
    (void)pvReserved;
    return TRUE;
}
