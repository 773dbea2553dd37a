/* testsupport.h - what the Windows tests share: files and folders of the
 * test run, manifests loaded from resource-only modules, package bytes and
 * extraction runs; the window watching (watch.h) comes with it. */
#ifndef QUARNEL_TESTSUPPORT_H
#define QUARNEL_TESTSUPPORT_H

#include <windows.h>

#include "watch.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

/* ---- Files and folders -------------------------------------------------- */

std::string ExeDir();                                 /* test program's folder, ends in "\" */
std::string ScratchDir(const std::string &name);      /* fresh empty folder under ExeDir()scratch\, ends in "\" */
void RemoveTree(const std::string &path);             /* deletes a folder and everything in it */
/* Calls fn for every file and folder below dir (which ends in "\"), a
   folder before what it holds, with its path and whether it is a folder. */
void ForEachBelow(const std::string &dir, const std::function<void(const std::string &, bool)> &fn);
bool WriteBytes(const std::string &path, const std::string &bytes);
std::string ReadBytes(const std::string &path);       /* empty when the file cannot be read */
bool FileExists(const std::string &path);
bool DirExists(const std::string &path);
std::string CurrentDir();                             /* as GetCurrentDirectoryA reports it */
bool SetCurrentDir(const std::string &path);          /* SetCurrentDirectoryA; true on success */

/* ---- Platform ----------------------------------------------------------- */

bool RunningUnderWine();                              /* ntdll exports wine_get_version */
char FreeDriveLetter();                               /* a letter from Q on with no drive, or 0 */

/* Package bytes: a record is its length (4 bytes, little-endian, signed)
   followed by the data.  LengthField gives the length bytes alone, so that
   damaged records can be written too. */
std::string LengthField(long lLength);
std::string PackageRecord(const std::string &data);

/* The Wine (Windows) path of a Linux path: drive Z: with backslashes. */
std::string WinPathOfUnix(const std::string &unixPath);

/* dir followed by a file name of 'f's (and a final 'x') so that the whole
   path has exactly nLength characters; dir must be shorter than that and the
   name at most 255 characters. */
std::string PathOfLength(const std::string &dir, size_t nLength);

/* ---- Manifests ---------------------------------------------------------- */

/* Loads ExeDir() + name + ".dll" (a module carrying a test manifest and the
   fixed resources) and makes it the program's resource module. */
HINSTANCE UseManifest(const char *pszName);

/* ---- Pictures ----------------------------------------------------------- */

/* Where a test's picture of a window goes: <build>\screenshots\<name>.bmp,
   beside the tests' folder (created when missing). */
std::string ScreenshotPath(const std::string &name);

/* ---- Extraction --------------------------------------------------------- */

struct ExtractOutcome {
    int nResult = -1;
    std::vector<SeenBox> boxes;
    bool bDialogLeftOpen = false;   /* progress dialog still open on return */
    std::string status;             /* its status line on return */
};

/* Runs ResToFiles(dest) as the copy step does (after StatDlgStart when
   bProgress), answering the message boxes in order; closes the progress
   dialog afterwards. */
ExtractOutcome RunExtraction(const std::string &dest, std::vector<int> answers, bool bProgress = false);

/* The boxes' captions and texts on one line, for failure messages. */
std::string BoxTexts(const std::vector<SeenBox> &boxes);

/* GoogleTest checks: an error box ("Installer", error icon) with this text;
   an extraction that stopped with exactly that one box, the progress
   dialog closed before it. */
void ExpectErrorBox(const SeenBox &box, const char *pszText);
void ExpectStoppedWith(const ExtractOutcome &out, const char *pszText);

/* The Start Menu's program folder, where program groups go; ends in "\". */
std::string ProgramsDir();

/* The file a shortcut (.lnk) points to, "" when it cannot be read. */
std::string LinkTarget(const std::string &link);

/* The shortcuts in a program group's folder (ends in "\"): each .lnk
   file's name and the file it points to. */
std::map<std::string, std::string> GroupShortcuts(const std::string &groupDir);

#endif
