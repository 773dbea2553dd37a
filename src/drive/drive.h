/* drive.h - the preview driver's modules as its scenario (drive_run.cpp)
 * calls them: the record file, the screens with their controls, the
 * follow-up command and the Start Menu's shortcuts.  The driver runs a
 * product's installer the way a person would, through its windows only,
 * and writes what it saw for quarnel-kit's preview (docs/drive.md). */
#ifndef QUARNEL_DRIVE_H
#define QUARNEL_DRIVE_H

#include <windows.h>

#include <string>
#include <vector>

/* ---- drive.tsv (drive_record.cpp) --------------------------------------- */

/* Opens OUTDIR\drive.tsv for writing; false when it cannot be made. */
bool OpenRecords(const std::string &outDir);
void CloseRecords();

/* One record: its kind, then its fields.  Texts are in the ANSI code page
   and written as UTF-8, escaped for the tab-separated layout. */
void WriteRecord(const char *pszKind, const std::vector<std::string> &fields);
void RecordEvent(int nRun, const char *pszKind, const std::string &text);

/* A wide text (a command line read from another process) in the ANSI
   code page, which every text the installer passes on is in. */
std::string AnsiOfWide(const std::wstring &text);

/* ---- Screens (drive_screen.cpp) ----------------------------------------- */

/* Loads the installer's dialog templates for measuring texts in their own
   fonts; false when the file cannot be read. */
bool LoadTemplates(const std::string &installer);
void FreeTemplates();

/* Where the pictures go: OUTDIR. */
void SetScreenDir(const std::string &outDir);

/* Photographs hWnd once it has settled into OUTDIR\NN.png and records it
   (screen) with every child control that has text (control), measured.
   Returns the screen's number, 0 when no picture could be taken. */
int CaptureScreen(HWND hWnd, int nRun);

/* ---- The follow-up command (drive_follow.cpp) --------------------------- */

/* Processes started by dwParentPid: each new one is recorded once with its
   command line (followup) and ended.  Called while watching a run and once
   after the installer has ended. */
void EndChildrenOf(DWORD dwParentPid, int nRun);

/* ---- Shortcuts (drive_links.cpp) ---------------------------------------- */

/* Records every shortcut under the Start Menu's Programs folder. */
void RecordShortcuts();

/* Closes the folder windows the shell opened for program groups (a window
   titled like a folder of the Programs folder): they would stand over the
   next run's windows, and belong to no screen of the installer. */
void CloseGroupWindows();

/* ---- The scenario (drive_run.cpp) --------------------------------------- */

/* Runs the three installs; the driver's exit code (0, 1 or 2). */
int DriveInstaller(const std::string &outDir, const std::string &installer);

#endif
