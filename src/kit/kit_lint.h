/* kit_lint.h - the authoring tool's checks of a product: the manifest on
 * its own, against its package script, and against a built package.  Each
 * finding names the manifest entry it is about. */
#ifndef QUARNEL_KIT_LINT_H
#define QUARNEL_KIT_LINT_H

#include <map>
#include <string>
#include <vector>

#include "kit_package.h"
#include "logic.h"

/* Entry ID -> text; an absent ID is an absent (or empty) entry. */
typedef std::map<unsigned, std::string> Manifest;

enum Severity { SEV_WARNING = 0, SEV_ERROR = 1 };

struct Finding {
    unsigned uId;
    Severity severity;
    std::string strMessage;
};

/* The directories that %D, %S and %W stand for while checking lengths:
   the default destination (entry 100, with its backslash) and typical
   Windows directories. */
std::string DefaultDestination(const Manifest &manifest);
extern const char *const pszCheckSysDir;
extern const char *const pszCheckWinDir;

/* Whether a text holds %D, %S or %W anywhere (a "%%D" holds one too: the
   expansion keeps the first "%" and expands the second). */
int HoldsMacro(const std::string &str);

/* Whether a Program Manager command parameter must be passed in double
   quotes: it holds a macro, which can become a path with any of the
   characters below, or a blank, comma, parenthesis or bracket itself. */
int DdeParamNeedsQuotes(const std::string &str);

/* ---- Names and paths as Windows reads them (init, the product file and
   the lint alike) ---- */

/* Every fault of a name the kit writes into a path. */
const unsigned PATH_FAULTS_WRITTEN = NAME_ALL_FAULTS;

/* Why a path (a drive or a leading %D, %S or %W, then names separated by
   \ or /) has a name Windows cannot take, checking the faults uFaults
   (NameFault flags); empty when it has none. */
std::string CheckPathNames(const std::string &strPath, unsigned uFaults);

/* The same for the words of a command line that are paths (they start
   with a macro or a drive, quoted or not). */
std::string CheckCommandPaths(const std::string &strCommand, unsigned uFaults);

/* Why a name has the fault, for a message that names it. */
std::string DescribeNameFault(NameFault fault, const std::string &strName);

/* The offset of str's first control character, or npos; with fLineBreaks
   a tab, carriage return or line feed is passed over (a message box shows
   them as what they are). */
size_t FindControl(const std::string &str, bool fLineBreaks);

/* Why str's control character at i is one too many, with the hint that a
   double-quoted TOML string reads "\t" in "C:\tools" as a tab. */
std::string DescribeControl(const std::string &str, size_t i);

/* The installer's rule for the name of a folder it creates, for messages. */
std::string NewFolderRule();

/* A path as Windows compares it: one separator, no trailing one, letters
   folded as in code page 1252. */
std::string FoldPath(const std::string &str);

/* The file name an item destination writes: after its last backslash, or
   after its leading macro when it has no backslash (%DREADME.TXT). */
std::string DestFileName(const std::string &strDest);

/* The manifest on its own, plus the script when pScript is not null. */
void LintManifest(const Manifest &manifest, const ScriptInfo *pScript, std::vector<Finding> *pv);

/* A built package against the manifest's item list. */
void VerifyPackage(const Manifest &manifest, const PackageLayout &layout, std::vector<Finding> *pv);

/* The item count the installer walks: entry 999 read as an integer, taken
   as 0 when negative and cut to the room of the ID plan. */
int CheckedItemCount(const Manifest &manifest);

/* Findings ordered by entry ID (stable), as "ID: error|warning: message". */
void SortFindings(std::vector<Finding> *pv);
std::string FormatFinding(const Finding &f);
int CountErrors(const std::vector<Finding> &v);

/* ---- How every finding is shown ---------------------------------------- */

/* Where a finding points: the file, in a product file the line and column
   of the key (0: none), and the key ("install.destination") or, in a built
   installer, the entry ("entry 1000"). */
struct FindingPlace {
    std::string strFile;
    size_t nLine = 0;
    size_t nColumn = 0;
    std::string strKey;
};

/* The one form of every finding the kit reports, for product files and
   built installers alike: "FILE:LINE:COLUMN: error|warning: KEY: text"
   (the line and column left out when there are none, the key when
   empty).  strText is UTF-8: quote manifest texts with QuoteText. */
std::string FormatFindingAt(const FindingPlace &place, Severity sev, const std::string &strText);

/* A finding on standard error, once, in that form. */
void PrintFinding(const FindingPlace &place, Severity sev, const std::string &strText);

/* A text of the manifest (code page 1252, as the installer reads it) in
   double quotes and in UTF-8, for a message. */
std::string QuoteText(const std::string &strAnsi);

/* Code page 1252 -> UTF-8 (the five bytes the code page leaves undefined
   kept as the control characters of the same code). */
std::string ConvertAnsiToUtf8(const std::string &strAnsi);

/* Why an overwrite rule written in a product file is none of the forms
   the installer documents (item: "A", "N", "O" + date with an optional
   "P" + question, "P" + question; INI change: "A", "N", "P" + question),
   listing them; empty when it is one.  A manifest written by hand keeps
   the lint's milder reading of the same text. */
std::string DescribeRuleForm(const std::string &strRule, bool fItem);

#endif
