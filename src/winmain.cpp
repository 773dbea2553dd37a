/* winmain.cpp - the program's entry.  Everything else lives in the library
 * that the tests link too; this file only hands over the command tail. */
#include <windows.h>

#include "logic.h"
#include "quarnel.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPSTR lpszCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpszCmdLine;
    (void)nCmdShow;
    /* The runtime's own tail toggles quoting anywhere in the program name;
       the installer skips a quoted name to its closing quote only, so the
       tail is taken from the raw command line. */
    return QuarnelMain(hInstance, SkipProgramName(GetCommandLineA()));
}
