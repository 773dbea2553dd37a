/* kit_lint.h - the authoring tool's checks of a product: the manifest on
 * its own, against its package script, and against a built package.  Each
 * finding names the manifest entry it is about. */
#ifndef QUARNEL_KIT_LINT_H
#define QUARNEL_KIT_LINT_H

#include <map>
#include <string>
#include <vector>

#include "kit_package.h"

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

#endif
