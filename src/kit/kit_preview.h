/* kit_preview.h - `quarnel-kit preview`: the product's real installer run
 * under Wine on a private virtual display by the driver program, and what
 * it showed and installed set against what the product says.  The reading
 * and comparing is platform-free (kit_preview_check.cpp), the page and the
 * report have their own writer (kit_preview_page.cpp), and only the running
 * of Wine lives in kit_preview.cpp. */
#ifndef QUARNEL_KIT_PREVIEW_H
#define QUARNEL_KIT_PREVIEW_H

#include <stdint.h>

#include <string>
#include <vector>

#include "kit_lint.h"

/* ---- what the driver wrote (drive.tsv) --------------------------------- */

struct DriveControl {
    int nId = 0;
    std::string strClass;
    int x = 0, y = 0, w = 0, h = 0;
    int nTextW = 0, nTextH = 0;
    bool fClipped = false;
    std::string strText; /* UTF-8 */
};

struct DriveScreen {
    int n = 0, nRun = 0;
    std::string strPng, strClass, strCaption;
    int w = 0, h = 0;
    std::vector<DriveControl> vControls;
};

struct DriveEvent {
    int nRun = 0;
    std::string strKind, strText;
};

struct DriveShortcut {
    std::string strPath, strTarget, strArgs, strWorkDir; /* PATH relative to the Programs folder */
};

struct DriveLog {
    std::vector<DriveScreen> vScreens;
    std::vector<DriveEvent> vEvents;
    std::vector<DriveShortcut> vShortcuts;
};

/* One field of a record with its \\ \t \r \n escapes undone. */
std::string UnescapeDriveField(const std::string &str);

/* Reads drive.tsv's text.  0 with the line and the reason in *pstrError
   when a record is not one the driver writes. */
int ParseDriveLog(const std::string &strText, DriveLog *pLog, std::string *pstrError);

/* ---- the installed result against the product -------------------------- */

/* Where the product's macros point in the prefix the installer ran in. */
struct PreviewPlace {
    std::string strPrefix;  /* the Wine prefix's folder on this machine */
    std::string strDest;    /* %D: the destination as the installer confirmed it, ending in \ */
    std::string strWinDir;  /* %W, e.g. C:\windows */
    std::string strSysDir;  /* %S: system32, or syswow64 for a 32-bit installer */
};

struct ItemState {
    int nIndex = 0;
    std::string strDest, strName; /* UTF-8 */
    uint64_t nWantSize = 0;
    uint32_t uWantCrc = 0;
    std::string strWantDate;      /* YYYYMMDD; empty: the product stamps none */
    bool fFound = false;
    uint64_t nSize = 0;
    uint32_t uCrc = 0;
    std::string strDate;
};

struct IniState {
    std::string strFile, strSection, strKey, strRule; /* UTF-8, expanded */
    std::string strWant, strBefore, strGot;
    bool fHadBefore = false, fFound = false;
};

struct ShortcutState {
    std::string strPath;    /* GROUP\TITLE.lnk */
    std::string strCommand; /* as the product's AddItem gives it */
    bool fFound = false;
    std::string strTarget, strArgs;
};

enum PreviewFindingKind { PF_ITEM, PF_INI, PF_SHORTCUT, PF_CLIPPED };

struct PreviewFinding {
    PreviewFindingKind kind;
    std::string strMessage; /* UTF-8 */
    int nScreen = 0;        /* PF_CLIPPED: the screen and its control */
    int nControl = -1;
};

struct PreviewResult {
    DriveLog log;
    std::vector<ItemState> vItems;
    std::vector<IniState> vIni;
    std::vector<ShortcutState> vShortcuts;
    std::string strFollowupWant, strFollowupGot;
    bool fFailed = false;
    std::string strFailure; /* the installer's message that stopped the first install */
    std::vector<PreviewFinding> vFindings;
};

/* The macros of an expanded manifest entry, as the installer expands them
   at place; the text stays in code page 1252. */
std::string ExpandAtPlace(const std::string &str, const PreviewPlace &place);

/* The file of the prefix that a Windows path names, its letters' case
   matched to what is there (Wine's folders keep the case they were made
   with); the path as it would be when nothing matches. */
std::string PrefixPath(const std::string &strPrefix, const std::string &strWinPath);

/* The shortcuts a list of Program Manager commands makes, in order. */
std::vector<ShortcutState> ExpectedShortcuts(const std::vector<std::string> &vCommands);

/* The INI values before the install: *pvIni filled from the manifest with
   what the files of the prefix hold now. */
void ReadIniBefore(const Manifest &manifest, const PreviewPlace &place, std::vector<IniState> *pvIni);

/* Fills *pResult from the prefix after the driver ran: items (against the
   package's records), INI values (pResult->vIni from ReadIniBefore),
   shortcuts (from the log), the follow-up command; then the findings. */
void CheckInstalled(const Manifest &manifest, const std::string &strPackage, const PreviewPlace &place,
                    PreviewResult *pResult);

/* A value of an INI file's text, as GetPrivateProfileString reads it. */
int FindIniValue(const std::string &strText, const std::string &strSection, const std::string &strKey,
                 std::string *pstrValue);

/* ---- the page and the report ------------------------------------------- */

struct PreviewFacts {
    std::string strTitle;   /* the product's name or the installer's path */
    int nBits = 32;
    std::string strWine;    /* which Wine ran it */
};

/* "N screens, N items, N findings" */
std::string PreviewSummary(const PreviewResult &result);
std::string FormatPreviewHtml(const PreviewFacts &facts, const PreviewResult &result);
std::string FormatPreviewJson(const PreviewFacts &facts, const PreviewResult &result);

/* ---- the command -------------------------------------------------------- */

struct PreviewRequest {
    std::string strProduct;           /* a product file, or: */
    std::string strExe, strPackage;   /* an installer and its package */
    std::string strOutDir;
    std::string strKitDir;            /* where the stubs, drivers and helper lie, ending in a separator */
    int nBits = 32;
    bool fStrict = false;
};

enum { PREVIEW_OK = 0, PREVIEW_FINDINGS = 1, PREVIEW_FAILED = 2, PREVIEW_CANNOT = 3 };

/* Runs the whole preview and prints its summary; the exit code above. */
int RunPreviewCommand(const PreviewRequest &request);

#endif
