/* e2e_session.h - one run of a test product's installer seen from outside:
 * its windows found by caption, its controls read and set, its boxes read
 * and answered, screenshots taken, and the products' folders and packages
 * prepared.  The installer is a separate process started like a user would. */
#ifndef QUARNEL_E2E_SESSION_H
#define QUARNEL_E2E_SESSION_H

#include <windows.h>

#include <string>
#include <vector>

#include "testsupport.h"

/* Captions of the installer's windows (trailing blanks are part of them). */
extern const char *const CAPTION_MAIN;      /* destination and progress dialogs */
extern const char *const CAPTION_VERIFY;    /* the five confirmations */
extern const char *const CAPTION_SPACE;     /* disk-space notice */
extern const char *const CAPTION_BROWSE;    /* directory chooser */

/* Folder of a test product's quarnel.exe, ends in "\". */
std::string ProductDir(const char *pszProduct);

/* A package file made of these records (4-byte little-endian length, bytes). */
bool WritePackage(const std::string &path, const std::vector<std::string> &records);

/* Creation date of a file as eight digits YYYYMMDD (UTC), "" when unreadable. */
std::string CreationDate(const std::string &path);

/* Value of a key in an INI file, "<absent>" when the key does not exist. */
std::string IniValue(const std::string &file, const char *pszSection, const char *pszKey);

/* The Windows directory with its trailing backslash. */
std::string WindowsDir();
std::string SystemDir();

/* Where the picture called name goes: into QUARNEL_DEMO_SHOTS if set, else
   into the build's screenshots folder (ScreenshotPath). */
std::string ShotPath(const std::string &name);

class Installer {
public:
    /* Starts exe with an empty command tail in the exe's folder. */
    explicit Installer(const std::string &exe,
                       const std::vector<std::string> &extraEnv = std::vector<std::string>());
    ~Installer();

    bool Started() const { return m_pi.hProcess != NULL; }
    DWORD Pid() const { return m_pi.dwProcessId; }

    HWND MainDialog(DWORD dwMs = 20000);
    HWND Confirmation(DWORD dwMs = 10000);
    HWND SpaceNotice(DWORD dwMs = 10000);
    HWND Progress(DWORD dwMs = 10000);
    HWND Chooser(DWORD dwMs = 10000);

    /* The next message box of the installer (not one already answered). */
    SeenBox NextBox(DWORD dwMs = 20000);
    /* Presses nId in a dialog or box and waits until the window is gone. */
    bool Answer(HWND hWnd, int nId, DWORD dwMs = 10000);

    /* The control that has the focus in the installer's thread: its ID and
       the caption of the top-level window it belongs to. */
    int FocusId() const;
    std::string FocusCaption() const;

    /* Types a destination into the main dialog and presses OK. */
    void TypeAndOk(HWND hMain, const std::string &dest);

    /* How many pixels the destination dialog's description is wider than
       its field (0 or less: it fits). */
    int DescriptionOverflow(HWND hMain) const;

    /* Exit code once the installer ended, -1 when it did not end in time. */
    int Exit(DWORD dwMs = 30000);

private:
    Installer(const Installer &);
    Installer &operator=(const Installer &);
    std::string m_exe;
    PROCESS_INFORMATION m_pi;
    std::vector<HWND> m_answered;
};

/* Saves a window's picture, once it has painted, under ShotPath(name); a
   test failure when there is none or it is blank. */
void Shot(HWND hWnd, const std::string &name);

#endif
