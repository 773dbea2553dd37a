/* planted_dll_test.cpp - an installer is started from a download folder
 * where anyone may have left a DLL named like a system one.  A copy of the
 * program runs beside such a planted DLL, which records being loaded; the
 * control copy, built without the start-up restriction, shows that the DLL
 * is one the process really asks for, so the proof can fail. */
#include <gtest/gtest.h>

#include <string>

#include "testsupport.h"

/* The build's error box makes the system load its theme library by name
   at run time, well after WinMain has started. */
static const char szPlanted[] = "uxtheme.dll";

struct PlantedRun {
    bool fStarted = false;
    SeenBox box;
    bool fEnded = false;
    bool fLoaded = false;
};

/* The copies run under this name, so that what follows concerns them alone. */
static const char szCopyName[] = "planted.exe";

/* Wine takes its own copy of a system DLL wherever the file is found; this
   per-program setting makes it load a DLL file found by the search, as
   Windows does.  Present only while a test runs. */
class NativeDllOverride {
public:
    NativeDllOverride()
    {
        std::string key = std::string("Software\\Wine\\AppDefaults\\") + szCopyName + "\\DllOverrides";
        HKEY hKey;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, NULL, 0, KEY_SET_VALUE, NULL, &hKey,
                            NULL) != ERROR_SUCCESS)
            return;
        static const char szOrder[] = "native,builtin";
        m_fSet = RegSetValueExA(hKey, "uxtheme", 0, REG_SZ, (const BYTE *)szOrder,
                                sizeof(szOrder)) == ERROR_SUCCESS;
        RegCloseKey(hKey);
    }
    ~NativeDllOverride()
    {
        std::string key = std::string("Software\\Wine\\AppDefaults\\") + szCopyName;
        RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
    }
    bool IsSet() const { return m_fSet; }
private:
    bool m_fSet = false;
};

/* Copies program copy pszCopy (a folder under planted\) beside the planted
   DLL and runs its builder on a script that does not exist: the failure
   box appears, is read and answered, and the process ends. */
static PlantedRun RunBesidePlanted(const char *pszCopy)
{
    PlantedRun run;
    std::string from = ExeDir() + "planted\\";
    std::string dir = ScratchDir(std::string("planted_") + pszCopy);
    if (!CopyFileA((from + pszCopy + "\\quarnel.exe").c_str(), (dir + szCopyName).c_str(), FALSE) ||
        !CopyFileA((from + "planted_marker.dll").c_str(), (dir + szPlanted).c_str(), FALSE))
        return run;

    NativeDllOverride nativeOrder;
    if (!nativeOrder.IsSet())
        return run;
    PROCESS_INFORMATION pi = {};
    run.fStarted = StartProgram("\"" + dir + szCopyName + "\" no-such-script.txt", dir, &pi);
    if (!run.fStarted)
        return run;

    HWND hBox = WaitForMessageBox(pi.dwProcessId, 30000);
    if (hBox != NULL) {
        run.box = ReadMessageBox(hBox);
        PressButton(hBox, IDOK);
    }
    run.fEnded = WaitForSingleObject(pi.hProcess, 30000) == WAIT_OBJECT_0;
    if (!run.fEnded)
        TerminateProcess(pi.hProcess, 1);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    run.fLoaded = FileExists(dir + szPlanted + ".loaded");
    return run;
}

/* Both copies must reach the failure box, so that the only difference
   between them is where the DLL came from. */
static void ExpectBuildFailureShown(const PlantedRun &run)
{
    ASSERT_TRUE(run.fStarted);
    EXPECT_TRUE(run.box.bFound);
    EXPECT_EQ(run.box.caption, "Installer");
    EXPECT_EQ(run.box.text, "Didn't work.  Sorry.");
    EXPECT_TRUE(run.fEnded);
}

TEST(PlantedDll, ControlCopyWithoutRestrictionLoadsIt)
{
    PlantedRun run = RunBesidePlanted("open");
    ExpectBuildFailureShown(run);
    EXPECT_TRUE(run.fLoaded) << "the planted DLL should be loaded when the search is not restricted";
}

TEST(PlantedDll, ProgramLeavesItAlone)
{
    PlantedRun run = RunBesidePlanted("restricted");
    ExpectBuildFailureShown(run);
    EXPECT_FALSE(run.fLoaded) << "the program loaded a DLL from its own folder";
}
