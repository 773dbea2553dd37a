/* kit_lint.cpp - the checks behind `lint` and `verify`.  Errors are what
 * makes an install fail or do something else than its author meant;
 * warnings are what reads differently from how it looks.  Entries are read
 * the way the installer reads them (logic.h), never re-interpreted here. */
#include "kit_lint.h"

#include <stdio.h>

#include <algorithm>
#include <set>

#include "fixed.h"
#include "kit_pe.h"
#include "logic.h"
#include "resource.h"

const char *const pszCheckSysDir = "C:\\WINDOWS\\SYSTEM32";
const char *const pszCheckWinDir = "C:\\WINDOWS";

namespace {

enum {
    ITEM_PROMPT_ARGS = 1, /* an item prompt receives the destination */
    INI_PROMPT_ARGS = 2,  /* an INI prompt receives the current and new value */
};

const size_t NO_PROMPT = std::string::npos;

/* What ends a Program Manager command parameter that is not in quotes. */
const char szDdeParamEnds[] = ",()[]";

struct Family {
    unsigned uCount;
    int nLimit;
    std::vector<unsigned> vBases;
    const char *pszWhat;
};

const std::vector<Family> &Families()
{
    static const std::vector<Family> v = {
        {IDS_SUBDIR_COUNT, MAX_SUBDIRS, {IDS_SUBDIR}, "subdirectory"},
        {IDS_DDE_COUNT, MAX_DDE_CMDS, {IDS_DDE_CMD}, "DDE command"},
        {IDS_ITEM_COUNT, MAX_ITEMS, {IDS_ITEM_DEST, IDS_ITEM_NAME, IDS_ITEM_DATE, IDS_ITEM_RULE}, "item"},
        {IDS_INI_COUNT, MAX_INI_CHANGES,
         {IDS_INI_FILE, IDS_INI_RULE, IDS_INI_SECTION, IDS_INI_KEY, IDS_INI_VALUE}, "INI change"},
    };
    return v;
}

const std::vector<unsigned> &BooleanIds()
{
    static const std::vector<unsigned> v = {IDS_SHOW_PROGRESS, IDS_SHOW_DONE, IDS_WARN_ROOT,
                                            IDS_WARN_WINDIR, IDS_WARN_SYSDIR};
    return v;
}

const std::vector<unsigned> &StringIds()
{
    static const std::vector<unsigned> v = {
        IDS_DESCRIPTION, IDS_CANCEL_ASK, IDS_DONE_TEXT, IDS_DDE_SERVICE, MSG_BUILD_FAILED,
        MSG_MISSING, MSG_BAD_PATH, MSG_SUBDIR, MSG_DDE_CONNECT, MSG_DDE_INIT, MSG_NO_MEMORY,
        MSG_BAD_PACKAGE, MSG_FILE_OTHER, MSG_FILE_TOOMANY, MSG_FILE_DENIED, MSG_BAD_DRIVE,
        MSG_FILE_WPROTECT, MSG_FILE_SHARING, MSG_FILE_LOCKING, MSG_FILE_NETWORK, MSG_WRITE_SHORT};
    return v;
}

std::string Text(const Manifest &m, unsigned uId)
{
    Manifest::const_iterator it = m.find(uId);
    return it == m.end() ? std::string() : it->second;
}

int Has(const Manifest &m, unsigned uId)
{
    return !Text(m, uId).empty();
}

void Add(std::vector<Finding> *pv, unsigned uId, Severity sev, const std::string &strMessage)
{
    pv->push_back(Finding{uId, sev, strMessage});
}

/* Manifest texts are in code page 1252; messages are UTF-8. */
std::string Quote(const std::string &str)
{
    return QuoteText(str);
}

/* A name from a package script, which the kit reads as the file system's
   own bytes, quoted as it is. */
std::string QuotePath(const std::string &str)
{
    return "\"" + str + "\"";
}

/* The count as the installer reads it (absent: 0). */
int RawCount(const Manifest &m, unsigned uCount)
{
    return ParseIntText(Text(m, uCount).c_str());
}

int CheckedCount(const Manifest &m, const Family &fam)
{
    int n = RawCount(m, fam.uCount);
    return n < 0 ? 0 : std::min(n, fam.nLimit);
}

std::string Expand(const std::string &strText, const std::string &strDest, int *pfFit)
{
    char szOut[STRING_BUF];
    *pfFit = ExpandText(strText.c_str(), strDest.c_str(), pszCheckSysDir, pszCheckWinDir, szOut,
                        sizeof szOut, nullptr);
    return szOut;
}

/* The text after the last backslash of a script or manifest path. */
std::string FileNamePart(const std::string &strPath)
{
    return strPath.substr((size_t)GetFileNameOfPath(nullptr, 0, strPath.c_str(), nullptr));
}

std::string WithoutTrailingSlash(const std::string &str)
{
    return (!str.empty() && str.back() == '\\') ? str.substr(0, str.size() - 1) : str;
}

/* ---- Paths as Windows reads them ---------------------------------------- */

/* A hand-written manifest may hold "." and ".." and names ending in a dot:
   Windows resolves and drops them the same way on every machine, and the
   item checks below read them as it does.  The product file is held to
   every rule (PATH_FAULTS_WRITTEN), since the kit writes those paths. */
const unsigned LINT_FAULTS = NAME_CONTROL | NAME_REFUSED | NAME_DEVICE | NAME_MACRO;

/* An error at uId when a path entry has a name Windows cannot take; 1 then. */
int CheckPathEntry(unsigned uId, const std::string &strPath, unsigned uFaults, std::vector<Finding> *pv)
{
    std::string strWhy = CheckPathNames(strPath, uFaults);
    if (!strWhy.empty())
        Add(pv, uId, SEV_ERROR, strWhy);
    return !strWhy.empty();
}

/* The default destination's folders: the last is the product's own, new
   on most machines, and the installer creates a folder only when its name
   keeps its rule; an earlier one that breaks it works only where it exists. */
void CheckDestinationFolders(const Manifest &m, std::vector<Finding> *pv)
{
    std::string str = Text(m, IDS_DEFAULT_DEST).substr(0, PATH_KEPT);
    /* Entry 100 is never expanded: a macro in it is text like any other. */
    if (str.empty() || CheckPathEntry(IDS_DEFAULT_DEST, str, LINT_FAULTS & ~NAME_MACRO, pv))
        return;
    size_t nStart = str.size() >= 2 && str[1] == ':' ? 2 : 0;
    std::vector<std::string> vNames;
    for (size_t n = nStart; n <= str.size();) {
        size_t nEnd = std::min(str.find_first_of("\\/", n), str.size());
        if (nEnd > n)
            vNames.push_back(str.substr(n, nEnd - n));
        n = nEnd + 1;
    }
    if (vNames.empty())
        return;
    for (size_t i = 0; i + 1 < vNames.size(); i++) {
        if (IsSubOk(vNames[i].c_str(), nullptr))
            continue;
        Add(pv, IDS_DEFAULT_DEST, SEV_WARNING, Quote(vNames[i]) + " breaks " + NewFolderRule() +
                                                   ": the default destination works only where that folder exists");
        break;
    }
    if (!IsSubOk(vNames.back().c_str(), nullptr))
        Add(pv, IDS_DEFAULT_DEST, SEV_ERROR, "the product's own folder " + Quote(vNames.back()) + " breaks " +
                                                 NewFolderRule() + ": wherever it does not exist yet the "
                                                 "installer refuses the default destination (message 302)");
}

/* Control characters in a text the installer shows or stops at.  A NUL
   ends what it reads; in a message box a tab or line break does what it
   says (the description's one-line field is checked on its own), anywhere
   else a control character shows as a box or breaks what it is part of. */
void CheckControls(const Manifest &m, unsigned uId, bool fLines, std::vector<Finding> *pv)
{
    std::string str = Text(m, uId);
    size_t i = FindControl(str, fLines);
    if (i != std::string::npos)
        Add(pv, uId, SEV_ERROR, DescribeControl(str, i));
}

/* ---- Value syntax ------------------------------------------------------ */

void CheckInteger(const Manifest &m, unsigned uId, std::vector<Finding> *pv)
{
    std::string str = Text(m, uId);
    if (str.empty())
        return;
    size_t i = str.find_first_not_of(" \t\n\v\f\r");
    if (i != std::string::npos && (str[i] == '+' || str[i] == '-'))
        i++;
    size_t nDigits = i == std::string::npos ? std::string::npos : str.find_first_not_of("0123456789", i);
    int32_t lValue = ParseIntText(str.c_str());
    if (i == std::string::npos || nDigits == i)
        Add(pv, uId, SEV_WARNING, Quote(str) + " has no digits: it reads as 0");
    else if (nDigits != std::string::npos)
        Add(pv, uId, SEV_WARNING, Quote(str) + " has text after the number: it reads as " +
                                      std::to_string(lValue));
    else if (lValue == INT32_MAX || lValue == INT32_MIN)
        Add(pv, uId, SEV_WARNING, Quote(str) + " does not fit 32 bits");
}

void CheckBoolean(const Manifest &m, unsigned uId, std::vector<Finding> *pv)
{
    std::string str = Text(m, uId);
    if (!str.empty() && !EqualNoCase(str.c_str(), "TRUE") && !EqualNoCase(str.c_str(), "FALSE"))
        Add(pv, uId, SEV_WARNING, Quote(str) + " is neither TRUE nor FALSE: it reads as false");
}

/* A text longer than what the installer reads of it. */
void CheckRoom(const Manifest &m, unsigned uId, size_t cchRoom, std::vector<Finding> *pv)
{
    size_t cch = Text(m, uId).size();
    if (cch > cchRoom)
        Add(pv, uId, SEV_WARNING, "has " + std::to_string(cch) + " characters; the installer reads only the first " +
                                      std::to_string(cchRoom));
}

/* In an expanded prompt, "%%" followed by D, S or W: the expansion keeps
   the first "%" and lets the second open the macro, so the prompt format
   gets "%" and then the directory, and shows both. */
void CheckPercentBeforeMacro(unsigned uId, const std::string &str, size_t i, const std::string &strDest,
                             std::vector<Finding> *pv)
{
    char c = i + 2 < str.size() ? str[i + 2] : '\0';
    if (!IsMacroLetter(c))
        return;
    int fFit = 0;
    std::string strShown = "%" + Expand(str.substr(i + 1, 2), strDest, &fFit);
    Add(pv, uId, SEV_ERROR, "the prompt has " + Quote(str.substr(i, 3)) + ": the rule is expanded first, "
                            "which keeps the first \"%\" and expands %" + std::string(1, c) +
                            ", so the box shows " + Quote(strShown) + " (with the default directories)");
}

/* "%" sequences.  Before nPrompt (expanded entries only) a "%" not opening
   %D, %S or %W stays literal: a warning.  From nPrompt on the text is a
   prompt format: "%%" and up to nArgs string conversions are all it may
   hold (the macros too when fExpanded, expanded for strDest); anything
   else is an error. */
void CheckPercents(unsigned uId, const std::string &str, size_t nPrompt, int nArgs, bool fExpanded,
                   const std::string &strDest, std::vector<Finding> *pv)
{
    int nStrings = 0;
    for (size_t i = fExpanded ? 0 : nPrompt; i < str.size(); i++) {
        if (str[i] != '%')
            continue;
        char c = i + 1 < str.size() ? str[i + 1] : '\0';
        bool fMacro = fExpanded && IsMacroLetter(c);
        std::string strSeq = c ? str.substr(i, 2) : "%";
        if (i < nPrompt) {
            if (fMacro)
                i++;
            else if (c >= 'a' && c <= 'z' && IsMacroLetter((char)(c - 'a' + 'A')))
                Add(pv, uId, SEV_WARNING, Quote(strSeq) + " stays literal: the macros are %D, %S and %W, in upper case");
            else
                Add(pv, uId, SEV_WARNING, Quote(strSeq) + " stays literal: only %D, %S and %W are macros");
            continue;
        }
        size_t nConv = StringConversionLength(str.c_str() + i);
        if (nConv != 0) {
            nStrings++;
            i += nConv - 1;
            continue;
        }
        if (c == '%' && fExpanded)
            CheckPercentBeforeMacro(uId, str, i, strDest, pv);
        else if (c != '%' && !fMacro)
            Add(pv, uId, SEV_ERROR, "the prompt format uses " + Quote(strSeq) +
                                        ": only %s (with a width or precision) and %% are allowed in a prompt");
        i++;
    }
    if (nStrings > nArgs)
        Add(pv, uId, SEV_ERROR, "the prompt format has " + std::to_string(nStrings) +
                                    " %s but the rule passes only " + std::to_string(nArgs) +
                                    (nArgs == 1 ? " text (the destination path)" : " texts (current and new value)"));
    if (nPrompt != NO_PROMPT && nPrompt >= str.size())
        Add(pv, uId, SEV_WARNING, "the prompt is empty: the question box will show no text");
}

/* Where a parsed rule's prompt format starts in the rule's text. */
size_t PromptOffset(const std::string &strRule, const ParsedRule &rule)
{
    return (size_t)(rule.pszPrompt - strRule.c_str());
}

/* Why a text is not an item date, or empty when it is one. */
std::string DescribeBadDate(const std::string &str)
{
    if (str.size() != ITEM_DATE_LEN || str.find_first_not_of("0123456789") != std::string::npos)
        return Quote(str) + " is not eight digits YYYYMMDD";
    int nYear = std::stoi(str.substr(0, 4));
    if (nYear < ITEM_YEAR_FIRST || nYear > ITEM_YEAR_LAST)
        return Quote(str) + " lies outside " + std::to_string((int)ITEM_YEAR_FIRST) + "-01-01 to " +
               std::to_string((int)ITEM_YEAR_LAST) + "-12-31";
    if (!IsValidDosDate(PackItemDate(str.c_str())))
        return Quote(str) + " is not a real date";
    return std::string();
}

void CheckItemRule(unsigned uId, const std::string &strRule, std::vector<Finding> *pv)
{
    ParsedRule rule;
    ParseRule(strRule.c_str(), 1, &rule);
    switch (rule.kind) {
    case RULE_ALWAYS:
    case RULE_NEVER:
        return;
    case RULE_ASK:
        CheckPercents(uId, strRule, PromptOffset(strRule, rule), ITEM_PROMPT_ARGS, false, "", pv);
        return;
    case RULE_OTHER:
        Add(pv, uId, SEV_WARNING, "rule " + Quote(strRule) + " starts with none of A, N, O and P "
                                  "(they are case-sensitive): it always overwrites");
        return;
    case RULE_OLDER:
        break;
    }
    std::string strDate(rule.pszDate, rule.cchDate);
    if (strDate.size() < ITEM_DATE_LEN || strDate.find_first_not_of("0123456789") != std::string::npos) {
        Add(pv, uId, SEV_ERROR, "rule " + Quote(strRule) + ": O must be followed by eight digits YYYYMMDD");
        return;
    }
    std::string strWhy = DescribeBadDate(strDate);
    if (!strWhy.empty())
        Add(pv, uId, SEV_WARNING, "rule date " + strWhy + " (it still compares as text)");
    if (rule.pszPrompt != nullptr)
        CheckPercents(uId, strRule, PromptOffset(strRule, rule), ITEM_PROMPT_ARGS, false, "", pv);
    else if (rule.pszAfterDate[0] != '\0')
        Add(pv, uId, SEV_WARNING, "the text after the rule's date is ignored: only a P right after "
                                  "the date makes the rule ask");
}

void CheckIniRule(const Manifest &m, unsigned uId, const std::string &strRule, std::vector<Finding> *pv)
{
    ParsedRule rule;
    ParseRule(strRule.c_str(), 0, &rule);
    size_t nPrompt = rule.pszPrompt != nullptr ? PromptOffset(strRule, rule) : NO_PROMPT;
    CheckPercents(uId, strRule, nPrompt, INI_PROMPT_ARGS, true, DefaultDestination(m), pv);
    if (rule.kind == RULE_OTHER)
        Add(pv, uId, SEV_WARNING, "rule " + Quote(strRule) + " starts with none of A, N and P "
                                  "(they are case-sensitive): it always writes");
}

/* An expanded entry's length once expanded for the default destination
   (over cchKept: error or warning). */
void CheckExpandedLength(const Manifest &m, unsigned uId, size_t cchKept, Severity sevLong,
                         std::vector<Finding> *pv)
{
    std::string str = Text(m, uId);
    if (str.empty())
        return;
    int fFit = 0;
    std::string strOut = Expand(str, DefaultDestination(m), &fFit);
    if (!fFit)
        Add(pv, uId, SEV_ERROR, "expands to more than " + std::to_string(STRING_KEPT) + " characters with the default destination");
    else if (strOut.size() > cchKept)
        Add(pv, uId, sevLong, "expands to " + std::to_string(strOut.size()) +
                                  " characters with the default destination; the installer keeps " +
                                  std::to_string(cchKept));
}

/* An expanded entry that is no rule: literal "%" and its length. */
void CheckExpanded(const Manifest &m, unsigned uId, size_t cchKept, Severity sevLong,
                   std::vector<Finding> *pv)
{
    CheckPercents(uId, Text(m, uId), NO_PROMPT, 0, true, "", pv);
    CheckExpandedLength(m, uId, cchKept, sevLong, pv);
}

/* ---- Entries ----------------------------------------------------------- */

/* The words of a description that the destination dialog's one-line field
   shows: it wraps at blanks like the dialog does, so what shows is the
   longest run of whole words that fits. */
std::string ShownWords(const std::string &str)
{
    std::string strShown;
    for (size_t nBlank = str.find(' '); nBlank != std::string::npos; nBlank = str.find(' ', nBlank + 1)) {
        std::string strLine = str.substr(0, nBlank);
        if (DescriptionWidthPx(strLine.c_str()) > DESCRIPTION_FIELD_PX)
            break;
        strShown = strLine;
    }
    return strShown;
}

void CheckDescription(const Manifest &m, std::vector<Finding> *pv)
{
    std::string str = Text(m, IDS_DESCRIPTION).substr(0, STRING_KEPT);
    if (FindControl(str, true) != std::string::npos)
        return; /* a control character of another kind is an error of its own */
    long lWidth = DescriptionWidthPx(str.c_str());
    if (lWidth < 0) {
        Add(pv, IDS_DESCRIPTION, SEV_WARNING, "has a tab or a line break: its field in the destination "
                                              "dialog (control 203) shows one line");
        return;
    }
    if (lWidth <= DESCRIPTION_FIELD_PX)
        return;
    std::string strShown = ShownWords(str);
    Add(pv, IDS_DESCRIPTION, SEV_WARNING, "is " + std::to_string(lWidth) + " pixels wide in the destination "
                                          "dialog's font, its field (control 203) " +
                                          std::to_string((int)DESCRIPTION_FIELD_PX) + ": the dialog " +
                                          (strShown.empty() ? "cuts it off" : "shows only " + Quote(strShown)));
}

void CheckSingles(const Manifest &m, std::vector<Finding> *pv)
{
    CheckDescription(m, pv);
    std::string strPackage = Text(m, IDS_PACKAGE);
    if (strPackage.empty())
        Add(pv, IDS_PACKAGE, SEV_ERROR, "no package file name: the installer cannot open its package");
    else if (std::any_of(strPackage.begin(), strPackage.end(), [](char c) { return (unsigned char)c >= 128; }))
        Add(pv, IDS_PACKAGE, SEV_ERROR, "package name " + Quote(strPackage) + " is not plain ASCII: file systems "
                                            "store a letter beyond it in different bytes, so the installer "
                                            "may not find the package it names");
    else if (strPackage.size() > PACKAGE_NAME_KEPT)
        Add(pv, IDS_PACKAGE, SEV_ERROR, "package name " + Quote(strPackage) + " has " +
                                            std::to_string(strPackage.size()) +
                                            " characters; the installer reads only the first " +
                                            std::to_string(PACKAGE_NAME_KEPT) + ", " +
                                            Quote(strPackage.substr(0, PACKAGE_NAME_KEPT)));
    if (Text(m, IDS_DEFAULT_DEST).size() > PATH_KEPT)
        Add(pv, IDS_DEFAULT_DEST, SEV_WARNING, "has " + std::to_string(Text(m, IDS_DEFAULT_DEST).size()) +
                                                   " characters; the destination field keeps the first " +
                                                   std::to_string(PATH_KEPT));
    CheckInteger(m, IDS_SPACE_KB, pv);
    CheckRoom(m, IDS_SPACE_KB, INT_KEPT, pv);
    CheckDestinationFolders(m, pv);
    CheckExpanded(m, IDS_FOLLOWUP, STRING_KEPT, SEV_ERROR, pv);
    CheckRoom(m, IDS_FOLLOWUP, STRING_KEPT, pv);
    std::string strWhy = CheckCommandPaths(Text(m, IDS_FOLLOWUP), LINT_FAULTS & ~NAME_CONTROL);
    if (!strWhy.empty())
        Add(pv, IDS_FOLLOWUP, SEV_ERROR, strWhy);
    for (unsigned uId : BooleanIds()) {
        CheckBoolean(m, uId, pv);
        CheckRoom(m, uId, INT_KEPT, pv);
    }
    for (unsigned uId : StringIds())
        CheckRoom(m, uId, STRING_KEPT, pv);
}

void CheckCounts(const Manifest &m, std::vector<Finding> *pv)
{
    for (const Family &fam : Families()) {
        CheckInteger(m, fam.uCount, pv);
        CheckRoom(m, fam.uCount, INT_KEPT, pv);
        int n = RawCount(m, fam.uCount);
        if (n > fam.nLimit) {
            Add(pv, fam.uCount, SEV_ERROR, std::string(fam.pszWhat) + " count " + std::to_string(n) +
                                               " exceeds the room of " + std::to_string(fam.nLimit) +
                                               ": the next entries of the ID plan would be read as " +
                                               fam.pszWhat + "s");
            continue;
        }
        for (int i = std::max(n, 0); i < fam.nLimit; i++)
            for (unsigned uBase : fam.vBases)
                if (Has(m, uBase + i))
                    Add(pv, uBase + i, SEV_WARNING, "present beyond the " + std::string(fam.pszWhat) +
                                                        " count " + std::to_string(n) + " (entry " +
                                                        std::to_string(fam.uCount) + "): never read");
    }
}


void CheckSubdirs(const Manifest &m, std::vector<Finding> *pv)
{
    int n = CheckedCount(m, Families()[0]);
    std::string strDest = DefaultDestination(m);
    if (n > 0 && strDest.size() > SUBDIR_DEST_KEPT)
        Add(pv, IDS_DEFAULT_DEST, SEV_ERROR, "subdirectory paths are built from the first " +
                                             std::to_string(SUBDIR_DEST_KEPT) + " characters "
                                             "of the destination, and the default destination is longer");
    std::vector<std::string> vFolded;
    for (int i = 0; i < n; i++)
        vFolded.push_back(FoldPath(Text(m, IDS_SUBDIR + i)));
    for (int i = 0; i < n; i++) {
        unsigned uId = IDS_SUBDIR + i;
        std::string str = Text(m, uId);
        if (str.empty()) {
            Add(pv, uId, SEV_WARNING, "empty subdirectory entry: it creates nothing");
            continue;
        }
        if (!IsSubOk(str.c_str(), nullptr))
            Add(pv, uId, SEV_ERROR, Quote(str) + " is not a directory name the installer accepts: it breaks " +
                                        NewFolderRule());
        else
            CheckPathEntry(uId, str, LINT_FAULTS, pv);
        if (strDest.size() + str.size() > PATH_KEPT)
            Add(pv, uId, SEV_ERROR, "with the default destination the path has " +
                                        std::to_string(strDest.size() + str.size()) + " characters (at most " +
                                        std::to_string(PATH_KEPT) + ")");
        size_t nSlash = vFolded[i].rfind('\\');
        if (nSlash == std::string::npos)
            continue;
        std::string strParent = vFolded[i].substr(0, nSlash);
        int j = (int)(std::find(vFolded.begin(), vFolded.end(), strParent) - vFolded.begin());
        if (j == n)
            Add(pv, uId, SEV_ERROR, "its parent " + Quote(str.substr(0, nSlash)) +
                                        " is not in the subdirectory list: only the last level is created");
        else if (j > i)
            Add(pv, uId, SEV_ERROR, "listed before its parent (entry " + std::to_string(IDS_SUBDIR + j) +
                                        "): only the last level is created, so a parent must come first");
    }
}

int IsAbsoluteOrMacro(const std::string &str)
{
    if (StartsWithMacro(str.c_str()))
        return 1;
    return (str.size() >= 3 && str[1] == ':' && str[2] == '\\') || (!str.empty() && str[0] == '\\');
}

/* The directory part of a %D destination as Windows resolves the path
   before it opens the file: "." and empty parts dropped, ".." taking back
   the level before it.  *pfLeaves is set when ".." climbs above the
   destination (whose parent exists, so that alone is no missing directory). */
std::string ResolveItemDirectory(const std::string &strDir, bool *pfLeaves)
{
    std::vector<std::string> vParts;
    *pfLeaves = false;
    for (size_t nStart = 0; nStart <= strDir.size();) {
        size_t nEnd = std::min(strDir.find_first_of("\\/", nStart), strDir.size());
        std::string strPart = strDir.substr(nStart, nEnd - nStart);
        if (strPart == ".." && vParts.empty())
            *pfLeaves = true;
        else if (strPart == "..")
            vParts.pop_back();
        else if (!strPart.empty() && strPart != ".")
            vParts.push_back(strPart);
        nStart = nEnd + 1;
    }
    std::string str;
    for (const std::string &strPart : vParts)
        str += (str.empty() ? "" : "\\") + strPart;
    return str;
}

void CheckItemDirectory(const Manifest &m, unsigned uId, const std::string &strDest, std::vector<Finding> *pv)
{
    if (strDest.compare(0, 2, "%D") != 0)
        return;
    size_t nSlash = strDest.find_last_of("\\/");
    if (nSlash == std::string::npos || nSlash < 2)
        return;
    bool fLeaves = false;
    std::string strDir = ResolveItemDirectory(strDest.substr(2, nSlash - 2), &fLeaves);
    if (fLeaves) {
        Add(pv, uId, SEV_WARNING, "its \"..\" leaves the destination: the item is written outside the "
                                  "directory the user chose");
        return;
    }
    if (strDir.empty())
        return;
    int n = CheckedCount(m, Families()[0]);
    for (int i = 0; i < n; i++)
        if (FoldPath(Text(m, IDS_SUBDIR + i)) == FoldPath(strDir))
            return;
    Add(pv, uId, SEV_ERROR, "its directory " + Quote(strDir) + " is not among the subdirectories "
                            "(500+i) the installer creates: the item cannot be written");
}

void CheckItems(const Manifest &m, std::vector<Finding> *pv)
{
    int n = CheckedItemCount(m);
    std::map<std::string, int> mapSeen;
    for (int i = 0; i < n; i++) {
        unsigned uId = IDS_ITEM_DEST + i;
        std::string strDest = Text(m, uId);
        if (strDest.empty()) {
            Add(pv, uId, SEV_ERROR, "item " + std::to_string(i) + " has no destination: "
                                    "the copy stops here with message 300");
        } else {
            CheckExpanded(m, uId, PATH_KEPT, SEV_ERROR, pv);
            if (!IsAbsoluteOrMacro(strDest))
                Add(pv, uId, SEV_WARNING, "starts with neither %D, %S, %W nor a drive: it resolves "
                                          "against the installer's current directory");
            /* A name Windows refuses leaves no directory or file to judge. */
            if (!CheckPathEntry(uId, strDest, LINT_FAULTS, pv))
                CheckItemDirectory(m, uId, strDest, pv);
            int fFit = 0;
            std::string strExpanded = Expand(strDest, DefaultDestination(m), &fFit);
            if (!strExpanded.empty() && (strExpanded.back() == '\\' || strExpanded.back() == '/'))
                Add(pv, uId, SEV_ERROR, Quote(strDest) + " ends in a backslash: it names no file, so the "
                                        "installer cannot write the item");
            /* Windows resolves "." and ".." and ignores letter case: two
               texts that come to one file overwrite each other. */
            bool fLeaves = false;
            std::string strKey = FoldPath(ResolveItemDirectory(strExpanded, &fLeaves));
            if (mapSeen.count(strKey))
                Add(pv, uId, SEV_ERROR, "writes the same file as item " + std::to_string(mapSeen[strKey]) +
                                            " (Windows ignores letter case): one would overwrite the other");
            else
                mapSeen[strKey] = i;
        }
        CheckRoom(m, IDS_ITEM_NAME + i, PATH_KEPT, pv);
        std::string strDate = Text(m, IDS_ITEM_DATE + i);
        std::string strWhy = strDate.empty() ? std::string() : DescribeBadDate(strDate);
        if (!strWhy.empty())
            Add(pv, IDS_ITEM_DATE + i, SEV_ERROR, "item date " + strWhy);
        std::string strRule = Text(m, IDS_ITEM_RULE + i);
        if (!strRule.empty())
            CheckItemRule(IDS_ITEM_RULE + i, strRule, pv);
        CheckRoom(m, IDS_ITEM_RULE + i, ITEM_RULE_KEPT, pv);
    }
}

/* The parameters of a Program Manager command string ("[Op(a,b)][Op]")
   that are not in double quotes, read the way the shell reads them: blanks
   before a parameter are skipped, a quoted one runs to the next double
   quote, any other to the next of the characters that end it.  Reading
   stops where the text is no such command (it may be meant for another
   DDE server). */
std::vector<std::string> UnquotedDdeParams(const std::string &str)
{
    std::vector<std::string> v;
    size_t i = 0;
    auto skipBlanks = [&str, &i]() { i = std::min(str.find_first_not_of(' ', i), str.size()); };
    skipBlanks();
    while (i < str.size() && str[i] == '[') {
        i = str.find_first_of(" ,()[]\"", i + 1);
        if (i == std::string::npos)
            return v;
        skipBlanks();
        if (i < str.size() && str[i] == '(') {
            for (i++; i < str.size() && str[i] != ')';) {
                skipBlanks();
                size_t nEnd = str[i] == '"' ? str.find('"', i + 1) : str.find_first_of(szDdeParamEnds, i);
                if (nEnd == std::string::npos)
                    return v;
                if (str[i] != '"')
                    v.push_back(str.substr(i, nEnd - i));
                i = str[i] == '"' ? nEnd + 1 : nEnd;
                skipBlanks();
                if (i < str.size() && str[i] == ',')
                    i++;
                else if (i >= str.size() || str[i] != ')')
                    return v;
            }
            i++;
            skipBlanks();
        }
        if (i >= str.size() || str[i] != ']')
            return v;
        i++;
        skipBlanks();
    }
    return v;
}

void CheckDde(const Manifest &m, std::vector<Finding> *pv)
{
    int n = CheckedCount(m, Families()[1]);
    for (int i = 0; i < n; i++) {
        unsigned uId = IDS_DDE_CMD + i;
        if (!Has(m, uId))
            Add(pv, uId, SEV_ERROR, "DDE command " + std::to_string(i) + " is missing: the program "
                                    "group step stops here with message 300");
        CheckExpanded(m, uId, STRING_KEPT, SEV_ERROR, pv);
        for (const std::string &strParam : UnquotedDdeParams(Text(m, uId)))
            if (HoldsMacro(strParam))
                Add(pv, uId, SEV_WARNING, "a macro in a parameter out of double quotes: write " + Quote(strParam) +
                                          " with its quotes, since a destination with a comma or parenthesis "
                                          "breaks the command once expanded");
    }
}

void CheckIni(const Manifest &m, std::vector<Finding> *pv)
{
    int n = CheckedCount(m, Families()[3]);
    for (int i = 0; i < n; i++) {
        if (!Has(m, IDS_INI_FILE + i))
            Add(pv, IDS_INI_FILE + i, SEV_ERROR, "INI change " + std::to_string(i) + " has no file: "
                                                 "the INI changes stop here with message 300");
        /* A file, section, key or value that does not fit whole stops the
           INI changes with message 300: the installer never writes a cut one. */
        for (unsigned uBase : {IDS_INI_FILE, IDS_INI_SECTION, IDS_INI_KEY, IDS_INI_VALUE})
            CheckExpanded(m, uBase + i, INI_TEXT_KEPT, SEV_ERROR, pv);
        CheckPathEntry(IDS_INI_FILE + i, Text(m, IDS_INI_FILE + i), LINT_FAULTS, pv);
        std::string strRule = Text(m, IDS_INI_RULE + i);
        if (!strRule.empty())
            CheckIniRule(m, IDS_INI_RULE + i, strRule, pv);
        CheckExpandedLength(m, IDS_INI_RULE + i, INI_TEXT_KEPT, SEV_WARNING, pv);
    }
}

int IsKnownId(unsigned uId)
{
    static const std::set<unsigned> setSingles = {
        IDS_PACKAGE, IDS_DEFAULT_DEST, IDS_SPACE_KB, IDS_FOLLOWUP, IDS_SUBDIR_COUNT,
        IDS_DDE_COUNT, IDS_ITEM_COUNT, IDS_INI_COUNT};
    if (setSingles.count(uId))
        return 1;
    for (const std::vector<unsigned> *pv : {&BooleanIds(), &StringIds()})
        if (std::find(pv->begin(), pv->end(), uId) != pv->end())
            return 1;
    for (const Family &fam : Families())
        for (unsigned uBase : fam.vBases)
            if (uId >= uBase && uId < uBase + (unsigned)fam.nLimit)
                return 1;
    return 0;
}

/* Control characters in every text entry that no path check reads. */
void CheckTextControls(const Manifest &m, std::vector<Finding> *pv)
{
    const std::vector<unsigned> &vStrings = StringIds();
    for (const auto &entry : m) {
        unsigned u = entry.first;
        bool fPath = u == IDS_DEFAULT_DEST || (u >= IDS_SUBDIR && u < IDS_SUBDIR + MAX_SUBDIRS) ||
                     (u >= IDS_ITEM_DEST && u < IDS_ITEM_DEST + MAX_ITEMS) ||
                     (u >= IDS_INI_FILE && u < IDS_INI_FILE + MAX_INI_CHANGES);
        bool fNumber = u == IDS_SPACE_KB || std::find(BooleanIds().begin(), BooleanIds().end(), u) != BooleanIds().end();
        for (const Family &fam : Families())
            fNumber = fNumber || u == fam.uCount;
        if (fPath || fNumber || !IsKnownId(u))
            continue;
        bool fShown = (std::find(vStrings.begin(), vStrings.end(), u) != vStrings.end() && u != IDS_DDE_SERVICE) ||
                      (u >= IDS_ITEM_RULE && u < IDS_ITEM_RULE + MAX_ITEMS) ||
                      (u >= IDS_INI_RULE && u < IDS_INI_RULE + MAX_INI_CHANGES);
        CheckControls(m, u, fShown, pv);
    }
}

void CheckUnknown(const Manifest &m, std::vector<Finding> *pv)
{
    for (const auto &entry : m)
        if (!entry.second.empty() && !IsKnownId(entry.first))
            Add(pv, entry.first, SEV_WARNING, "not an entry the installer reads");
}

/* ---- Against the script ------------------------------------------------ */

/* An item the 32-bit installer may not be able to hold in one block on
   32-bit Windows (64-bit Windows gives it the room). */
void CheckItemHeld(unsigned uId, const std::string &strWhat, uint64_t nSize, std::vector<Finding> *pv)
{
    if (nSize > ITEM_HELD_32_MAX)
        Add(pv, uId, SEV_WARNING, strWhat + " holds " + std::to_string(nSize) + " bytes, more than the " +
                                      std::to_string(ITEM_HELD_32_MAX) + " (1 GiB) that the 32-bit installer "
                                      "can count on holding in one block with the 2 GB of address space it has "
                                      "on 32-bit Windows: there the install may stop with message 306");
}

void CheckScript(const Manifest &m, const ScriptInfo &script, std::vector<Finding> *pv)
{
    std::string strWhere = script.strScript + ":";
    std::string strName = FileNamePart(script.package.strWritten);
    std::string strPackage = Text(m, IDS_PACKAGE).substr(0, PACKAGE_NAME_KEPT);
    if (!strPackage.empty() && !EqualNoCase(strName.c_str(), strPackage.c_str()))
        Add(pv, IDS_PACKAGE, SEV_ERROR, "package name " + Quote(strPackage) + " differs from " +
                                            QuotePath(script.package.strWritten) + " in " + strWhere +
                                            std::to_string(script.package.nLine));
    int n = RawCount(m, IDS_ITEM_COUNT);
    if ((size_t)std::max(n, 0) != script.vItems.size())
        Add(pv, IDS_ITEM_COUNT, SEV_ERROR, "the manifest has " + std::to_string(n) + " items, the script " +
                                               script.strScript + " lists " + std::to_string(script.vItems.size()));
    for (size_t i = 0; i < script.vItems.size(); i++) {
        const ScriptEntry &item = script.vItems[i];
        unsigned uId = i < MAX_ITEMS ? IDS_ITEM_DEST + (unsigned)i : IDS_ITEM_COUNT;
        std::string strAt = "item file " + QuotePath(item.strWritten) + " (" + strWhere + std::to_string(item.nLine) + ")";
        std::string strWhy = item.strProblem;
        uint64_t nSize = strWhy.empty() ? MeasureItem(item.strPath, &strWhy) : 0;
        if (nSize > 0)
            strWhy.clear();
        if (!strWhy.empty()) {
            Add(pv, uId, SEV_ERROR, strAt + ": " + strWhy);
            continue;
        }
        CheckItemHeld(uId, strAt, nSize, pv);
        std::string strDest = Text(m, uId);
        if ((int)i < n && !strDest.empty() && !EqualNoCase(DestFileName(strDest).c_str(),
                                                         FileNamePart(item.strWritten).c_str()))
            Add(pv, uId, SEV_WARNING, strAt + " is installed as " + Quote(DestFileName(strDest)) +
                                          ": check that the script and the manifest list the items in the same order");
    }
}

} // namespace

std::string FoldPath(const std::string &str)
{
    std::string strOut = str;
    std::replace(strOut.begin(), strOut.end(), '/', '\\');
    strOut = WithoutTrailingSlash(strOut);
    for (char &c : strOut)
        c = (char)FoldNameChar((unsigned char)c);
    return strOut;
}

std::string DestFileName(const std::string &strDest)
{
    std::string str = FileNamePart(strDest);
    if (StartsWithMacro(str.c_str()))
        str.erase(0, 2);
    return str;
}

int HoldsMacro(const std::string &str)
{
    for (size_t i = str.find(MACRO_MARK); i != std::string::npos; i = str.find(MACRO_MARK, i + 1))
        if (i + 1 < str.size() && IsMacroLetter(str[i + 1]))
            return 1;
    return 0;
}

int DdeParamNeedsQuotes(const std::string &str)
{
    return HoldsMacro(str) || str.find_first_of(std::string(szDdeParamEnds) + " ") != std::string::npos;
}

std::string DefaultDestination(const Manifest &manifest)
{
    std::string str = Text(manifest, IDS_DEFAULT_DEST).substr(0, PATH_KEPT);
    if (str.empty())
        str = "C:\\";
    if (str.back() != '\\')
        str += '\\';
    return str;
}

int CheckedItemCount(const Manifest &manifest)
{
    return CheckedCount(manifest, Families()[2]);
}

void LintManifest(const Manifest &manifest, const ScriptInfo *pScript, std::vector<Finding> *pv)
{
    CheckSingles(manifest, pv);
    CheckCounts(manifest, pv);
    CheckSubdirs(manifest, pv);
    CheckDde(manifest, pv);
    CheckItems(manifest, pv);
    CheckIni(manifest, pv);
    CheckTextControls(manifest, pv);
    CheckUnknown(manifest, pv);
    if (pScript)
        CheckScript(manifest, *pScript, pv);
}

void VerifyPackage(const Manifest &manifest, const PackageLayout &layout, std::vector<Finding> *pv)
{
    size_t n = (size_t)CheckedItemCount(manifest);
    const std::vector<PackageRecord> &vRecords = layout.vRecords;
    for (size_t i = 0; i < vRecords.size(); i++) {
        const PackageRecord &rec = vRecords[i];
        Severity sev = i < n ? SEV_ERROR : SEV_WARNING;
        unsigned uId = i < n ? IDS_ITEM_DEST + (unsigned)i : IDS_ITEM_COUNT;
        std::string strRec = "record " + std::to_string(i) + " at offset " + std::to_string(rec.nOffset);
        if (IsSoundRecord(rec)) {
            if (i < n)
                CheckItemHeld(uId, strRec, (uint64_t)rec.lLength, pv);
            continue;
        }
        if (rec.lLength < 0)
            Add(pv, uId, sev, strRec + " has the negative length " + std::to_string(rec.lLength));
        else if (rec.lLength == 0)
            Add(pv, uId, sev, strRec + " is empty; the builder never writes an empty record");
        else
            Add(pv, uId, sev, strRec + " is truncated: its length is " + std::to_string(rec.lLength) +
                                  ", only " + std::to_string(rec.nPresent) + " bytes follow");
    }
    if (vRecords.size() < n)
        Add(pv, IDS_ITEM_DEST + (unsigned)vRecords.size(), SEV_ERROR,
            "the package holds " + std::to_string(vRecords.size()) + " records for " + std::to_string(n) +
                " items: item " + std::to_string(vRecords.size()) +
                " and later have none, so the install stops with message 307");
    else if (vRecords.size() > n)
        Add(pv, IDS_ITEM_COUNT, SEV_WARNING, "the package holds " + std::to_string(vRecords.size() - n) +
                                                 " records beyond the manifest's " + std::to_string(n) +
                                                 " items: they are never read");
    if (layout.nTrailing > 0)
        Add(pv, IDS_ITEM_COUNT, vRecords.size() < n ? SEV_ERROR : SEV_WARNING,
            std::to_string(layout.nTrailing) + " bytes at offset " + std::to_string(layout.nTrailingOffset) +
                " after the last record are too few for a record length");
}

void SortFindings(std::vector<Finding> *pv)
{
    std::stable_sort(pv->begin(), pv->end(),
                     [](const Finding &a, const Finding &b) { return a.uId < b.uId; });
}

std::string FormatFinding(const Finding &f)
{
    return std::to_string(f.uId) + (f.severity == SEV_ERROR ? ": error: " : ": warning: ") + f.strMessage;
}

std::string ConvertAnsiToUtf8(const std::string &strAnsi)
{
    std::string strOut;
    for (char16_t w : ConvertAnsiToUtf16(strAnsi)) {
        if (w < 0x80) {
            strOut += (char)w;
        } else if (w < 0x800) {
            strOut += (char)(0xc0 | (w >> 6));
            strOut += (char)(0x80 | (w & 0x3f));
        } else {
            strOut += (char)(0xe0 | (w >> 12));
            strOut += (char)(0x80 | ((w >> 6) & 0x3f));
            strOut += (char)(0x80 | (w & 0x3f));
        }
    }
    return strOut;
}

std::string QuoteText(const std::string &strAnsi)
{
    return "\"" + ConvertAnsiToUtf8(strAnsi) + "\"";
}

std::string FormatFindingAt(const FindingPlace &place, Severity sev, const std::string &strText)
{
    std::string str = place.strFile + ":";
    if (place.nLine)
        str += std::to_string(place.nLine) + ":" + std::to_string(place.nColumn) + ":";
    str += sev == SEV_ERROR ? " error: " : " warning: ";
    if (!place.strKey.empty())
        str += place.strKey + ": ";
    return str + strText;
}

void PrintFinding(const FindingPlace &place, Severity sev, const std::string &strText)
{
    fprintf(stderr, "%s\n", FormatFindingAt(place, sev, strText).c_str());
}

namespace {

/* Words an author may write for a rule's meaning; as rules they read as
   their first letter alone ("Ask" always overwrites, "Newer" never). */
int IsRuleWord(const std::string &strRule)
{
    static const char *const apszWords[] = {"always", "never",   "newer", "older", "ask",  "prompt",
                                            "question", "overwrite", "skip", "keep", "replace", "yes",
                                            "no", "true", "false", "ok"};
    for (const char *psz : apszWords)
        if (EqualNoCase(strRule.c_str(), psz))
            return 1;
    return 0;
}

std::string Mark(char c)
{
    return std::string(1, c);
}

/* The documented forms, as the list an error ends with. */
std::string RuleForms(bool fItem)
{
    std::string strA = Quote(Mark(RULE_MARK_ALWAYS)), strN = Quote(Mark(RULE_MARK_NEVER));
    if (!fItem)
        return "an INI change's rule is " + strA + " (always write), " + strN + " (write only a key without "
               "a value) or " + Quote(Mark(RULE_MARK_ASK) + "Replace %s with %s?") + " (ask)";
    std::string strOlder = Mark(RULE_MARK_OLDER) + "19980909";
    return "an item's rule is " + strA + " (always overwrite), " + strN + " (never), " + Quote(strOlder) +
           " (overwrite only a file dated that day or earlier), " +
           Quote(strOlder + Mark(RULE_MARK_ASK) + "Replace %s?") + " (ask about a later one) or " +
           Quote(Mark(RULE_MARK_ASK) + "Replace %s?") + " (always ask)";
}

/* What the installer makes of a rule that is not written as documented. */
std::string DescribeReading(const ParsedRule &rule, bool fItem)
{
    switch (rule.kind) {
    case RULE_NEVER:
        return fItem ? "the installer reads it as \"N\" and never overwrites"
                     : "the installer reads it as \"N\" and writes only a key without a value";
    case RULE_ASK:
        return "the installer reads it as \"P\" and asks the question " + Quote(rule.pszPrompt);
    case RULE_ALWAYS:
        return fItem ? "the installer reads it as \"A\" and always overwrites"
                     : "the installer reads it as \"A\" and always writes";
    default:
        return fItem ? "the installer always overwrites" : "the installer always writes";
    }
}

std::string DescribeOlderForm(const ParsedRule &rule)
{
    std::string strDate(rule.pszDate, rule.cchDate);
    if (strDate.size() < ITEM_DATE_LEN || strDate.find_first_not_of("0123456789") != std::string::npos)
        return "O must be followed by eight digits YYYYMMDD";
    std::string strWhy = DescribeBadDate(strDate);
    if (!strWhy.empty())
        return "its date " + strWhy;
    if (rule.pszPrompt != nullptr && rule.pszPrompt[0] == '\0')
        return "the P after the date needs the question to ask";
    if (rule.pszPrompt == nullptr && rule.pszAfterDate[0] != '\0')
        return "the installer ignores " + Quote(rule.pszAfterDate) + " after the date: only a P there makes it ask";
    return std::string();
}

} // namespace

std::string DescribeRuleForm(const std::string &strRule, bool fItem)
{
    ParsedRule rule;
    ParseRule(strRule.c_str(), fItem, &rule);
    std::string strWhy;
    if (strRule.empty())
        strWhy = "an empty rule reads as \"A\"; leave the key out for that";
    else if (IsRuleWord(strRule))
        strWhy = "a word, not a rule: " + DescribeReading(rule, fItem);
    else if (rule.kind == RULE_ALWAYS || rule.kind == RULE_NEVER)
        strWhy = strRule.size() == 1 ? "" : "only its first letter counts: " + DescribeReading(rule, fItem);
    else if (rule.kind == RULE_ASK)
        strWhy = rule.pszPrompt[0] ? "" : "P needs the question to ask after it";
    else if (rule.kind == RULE_OLDER)
        strWhy = DescribeOlderForm(rule);
    else if (!fItem && strRule[0] == RULE_MARK_OLDER)
        strWhy = "O and a date is for items only: " + DescribeReading(rule, fItem);
    else
        strWhy = "its first letter is none of the rule letters (they are upper case): " + DescribeReading(rule, fItem);
    if (strWhy.empty())
        return strWhy;
    return "rule " + Quote(strRule) + ": " + strWhy + "; " + RuleForms(fItem);
}

int CountErrors(const std::vector<Finding> &v)
{
    int n = 0;
    for (const Finding &f : v)
        n += f.severity == SEV_ERROR;
    return n;
}

/* ---- Names and paths as Windows reads them ------------------------------ */

std::string NewFolderRule()
{
    std::string strFirst;
    for (const char *p = szNewFolderBadFirst; *p; p++)
        strFirst += std::string(strFirst.empty() ? "" : " ") + (*p == ',' ? "comma" : std::string(1, *p));
    std::string strAnywhere;
    for (const char *p = szNewFolderBadAnywhere; *p; p++)
        if (*p != ' ')
            strAnywhere += std::string(strAnywhere.empty() ? "" : " ") + *p;
    return "the installer's new-folder rule (no blank, none of " + strAnywhere + ", no leading " + strFirst +
           ", at most one dot)";
}

namespace {

/* A text for a message, its control characters written out ("\t", "\x01"). */
std::string Shown(const std::string &str)
{
    std::string strOut;
    for (unsigned char c : str) {
        char sz[8];
        if (c == '\t' || c == '\r' || c == '\n')
            strOut += c == '\t' ? "\\t" : c == '\r' ? "\\r" : "\\n";
        else if (IsControlChar(c)) {
            snprintf(sz, sizeof sz, "\\x%02X", c);
            strOut += sz;
        } else
            strOut += (char)c;
    }
    return "\"" + strOut + "\"";
}

/* The escapes by which TOML (and a resource script) turns a backslash and
   a letter of a Windows path into a control character. */
const char *EscapeOf(unsigned char c)
{
    switch (c) {
    case '\t': return "\\t";
    case '\r': return "\\r";
    case '\n': return "\\n";
    case '\b': return "\\b";
    case '\f': return "\\f";
    default: return nullptr;
    }
}

} // namespace

size_t FindControl(const std::string &str, bool fLineBreaks)
{
    for (size_t i = 0; i < str.size(); i++) {
        unsigned char c = (unsigned char)str[i];
        if (IsControlChar(c) && !(fLineBreaks && (c == '\t' || c == '\r' || c == '\n')))
            return i;
    }
    return std::string::npos;
}

std::string DescribeControl(const std::string &str, size_t i)
{
    unsigned char c = (unsigned char)str[i];
    std::string strWhy = Shown(str) + " holds the control character " + Shown(std::string(1, (char)c)) +
                         " at character " + std::to_string(i + 1) +
                         (c == 0 ? ": the installer reads the text only up to it"
                                 : ": the installer would show it as a box or break the text there");
    if (EscapeOf(c))
        strWhy += std::string("; in double quotes TOML reads ") + EscapeOf(c) +
                  " as that character: write paths in single quotes, which keep backslashes";
    return strWhy;
}

std::string DescribeNameFault(NameFault fault, const std::string &strName)
{
    switch (fault) {
    case NAME_CONTROL: {
        size_t i = FindControl(strName, false);
        std::string strWhy = DescribeControl(strName, i);
        return strWhy.substr(0, strWhy.find(": the installer")) + ", which Windows takes in no name" +
               (EscapeOf((unsigned char)strName[i]) ? strWhy.substr(strWhy.find(';')) : "");
    }
    case NAME_REFUSED: {
        size_t i = strName.find_first_of(std::string(szNameRefused) + "\\/");
        return Quote(strName) + " holds " + Quote(strName.substr(i, 1)) +
               ", which Windows refuses in a name (< > : \" | ? *, and a drive's colon only after its letter)";
    }
    case NAME_DEVICE:
        return Quote(strName) + " is a device name Windows reserves (CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, "
                                "also with an extension): no file or folder can have it";
    case NAME_TRAILING:
        return Quote(strName) + " ends in a dot or a blank, which Windows drops: the name on disk would differ";
    case NAME_DOTS:
        return Quote(strName) + " is no name: write the path without \".\" and \"..\" parts";
    case NAME_MACRO:
        return Quote(strName) + " holds %D, %S or %W, which the installer expands (a literal one cannot be "
                                "written)";
    default:
        return std::string();
    }
}

std::string CheckPathNames(const std::string &strPath, unsigned uFaults)
{
    size_t nStart = 0, nLen = 0;
    NameFault fault = CheckWindowsPath(strPath.c_str(), uFaults, nullptr, &nStart, &nLen);
    if (fault == NAME_OK && strPath.find('\0') != std::string::npos && (uFaults & NAME_CONTROL))
        return DescribeControl(strPath, strPath.find('\0'));
    /* A control character is shown in the whole text, as the author wrote it. */
    return DescribeNameFault(fault, fault == NAME_CONTROL ? strPath : strPath.substr(nStart, nLen));
}

std::string CheckCommandPaths(const std::string &strCommand, unsigned uFaults)
{
    for (size_t n = 0; n < strCommand.size();) {
        bool fQuoted = strCommand[n] == '"';
        size_t nStart = n + fQuoted;
        size_t nEnd = std::min(strCommand.find(fQuoted ? '"' : ' ', nStart), strCommand.size());
        std::string strWord = strCommand.substr(nStart, nEnd - nStart);
        bool fPath = StartsWithMacro(strWord.c_str()) || (strWord.size() >= 2 && strWord[1] == ':');
        std::string strWhy = fPath ? CheckPathNames(strWord, uFaults) : std::string();
        if (!strWhy.empty())
            return strWhy;
        n = nEnd + 1;
    }
    return std::string();
}
