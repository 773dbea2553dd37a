/* kit_preview_check.cpp - the preview's reading and comparing, free of any
 * platform call: the driver's record of the screens (drive.tsv), the files
 * and INI values the installer left in the Wine prefix, and how they stand
 * against what the manifest and the package say. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "kit_preview.h"
#include "fixed.h"
#include "logic.h"
#include "resource.h"

namespace {

std::vector<std::string> SplitOn(const std::string &str, char c)
{
    std::vector<std::string> v;
    size_t nStart = 0;
    for (;;) {
        size_t n = str.find(c, nStart);
        v.push_back(str.substr(nStart, n == std::string::npos ? std::string::npos : n - nStart));
        if (n == std::string::npos)
            return v;
        nStart = n + 1;
    }
}

int ReadNumber(const std::string &str, int *pn)
{
    if (str.empty())
        return 0;
    char *pszEnd = nullptr;
    long l = strtol(str.c_str(), &pszEnd, 10);
    if (*pszEnd || l < -1000000 || l > 1000000)
        return 0;
    *pn = (int)l;
    return 1;
}

/* ASCII letters folded: what Wine's file names and Windows' INI names
   compare without regard to. */
std::string Folded(const std::string &str)
{
    std::string s = str;
    for (char &c : s)
        if (c >= 'A' && c <= 'Z')
            c = (char)(c - 'A' + 'a');
    return s;
}

bool SameText(const std::string &a, const std::string &b)
{
    return Folded(a) == Folded(b);
}

std::string Entry(const Manifest &m, unsigned uId)
{
    Manifest::const_iterator it = m.find(uId);
    return it == m.end() ? std::string() : it->second;
}

int Count(const Manifest &m, unsigned uId, int nMost)
{
    int n = (int)ParseIntText(Entry(m, uId).c_str());
    return n < 0 ? 0 : std::min(n, nMost);
}

std::string Trimmed(const std::string &str)
{
    size_t nFirst = str.find_first_not_of(" \t\r");
    if (nFirst == std::string::npos)
        return std::string();
    return str.substr(nFirst, str.find_last_not_of(" \t\r") - nFirst + 1);
}

int ReadFileText(const std::string &strPath, std::string *pstr)
{
    std::ifstream in(strPath, std::ios::binary);
    if (!in)
        return 0;
    pstr->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return 1;
}

/* The item date that a last-write time carries: Wine on Linux keeps the
   installer's stamp there, midnight of the day in universal time. */
std::string DateOfTime(time_t t)
{
    struct tm tmUtc;
#ifdef _WIN32
    gmtime_s(&tmUtc, &t);
#else
    gmtime_r(&t, &tmUtc);
#endif
    char sz[32];
    snprintf(sz, sizeof sz, "%04d%02d%02d", tmUtc.tm_year + 1900, tmUtc.tm_mon + 1, tmUtc.tm_mday);
    return sz;
}

std::string Hex(uint32_t u)
{
    char sz[16];
    snprintf(sz, sizeof sz, "%08x", u);
    return sz;
}

} // namespace

/* ---- drive.tsv ------------------------------------------------------------ */

std::string UnescapeDriveField(const std::string &str)
{
    std::string s;
    for (size_t i = 0; i < str.size(); i++) {
        if (str[i] != '\\' || i + 1 == str.size()) {
            s += str[i];
            continue;
        }
        char c = str[++i];
        s += c == 't' ? '\t' : c == 'r' ? '\r' : c == 'n' ? '\n' : c;
    }
    return s;
}

namespace {

int ParseScreen(const std::vector<std::string> &v, DriveLog *pLog)
{
    DriveScreen s;
    if (v.size() != 8 || !ReadNumber(v[1], &s.n) || !ReadNumber(v[2], &s.nRun) || !ReadNumber(v[6], &s.w) ||
        !ReadNumber(v[7], &s.h))
        return 0;
    s.strPng = UnescapeDriveField(v[3]);
    s.strClass = UnescapeDriveField(v[4]);
    s.strCaption = UnescapeDriveField(v[5]);
    pLog->vScreens.push_back(s);
    return 1;
}

int ParseControl(const std::vector<std::string> &v, DriveLog *pLog)
{
    DriveControl c;
    int nScreen = 0, nClipped = 0;
    if (v.size() != 12 || !ReadNumber(v[1], &nScreen) || !ReadNumber(v[2], &c.nId) || !ReadNumber(v[4], &c.x) ||
        !ReadNumber(v[5], &c.y) || !ReadNumber(v[6], &c.w) || !ReadNumber(v[7], &c.h) ||
        !ReadNumber(v[8], &c.nTextW) || !ReadNumber(v[9], &c.nTextH) || !ReadNumber(v[10], &nClipped))
        return 0;
    c.strClass = UnescapeDriveField(v[3]);
    c.fClipped = nClipped != 0;
    c.strText = UnescapeDriveField(v[11]);
    for (DriveScreen &s : pLog->vScreens)
        if (s.n == nScreen) {
            s.vControls.push_back(c);
            return 1;
        }
    return 0; /* a control of a screen not (yet) recorded */
}

} // namespace

int ParseDriveLog(const std::string &strText, DriveLog *pLog, std::string *pstrError)
{
    *pLog = DriveLog();
    std::vector<std::string> vLines = SplitOn(strText, '\n');
    for (size_t i = 0; i < vLines.size(); i++) {
        std::string strLine = vLines[i];
        if (!strLine.empty() && strLine.back() == '\r')
            strLine.pop_back();
        if (strLine.empty())
            continue;
        std::vector<std::string> v = SplitOn(strLine, '\t');
        int fOk = 1;
        if (v[0] == "screen") {
            fOk = ParseScreen(v, pLog);
        } else if (v[0] == "control") {
            fOk = ParseControl(v, pLog);
        } else if (v[0] == "event") {
            DriveEvent e;
            fOk = v.size() == 4 && ReadNumber(v[1], &e.nRun);
            e.strKind = UnescapeDriveField(v.size() > 2 ? v[2] : "");
            e.strText = UnescapeDriveField(v.size() > 3 ? v[3] : "");
            if (fOk)
                pLog->vEvents.push_back(e);
        } else if (v[0] == "shortcut") {
            fOk = v.size() == 5;
            if (fOk)
                pLog->vShortcuts.push_back(DriveShortcut{UnescapeDriveField(v[1]), UnescapeDriveField(v[2]),
                                                         UnescapeDriveField(v[3]), UnescapeDriveField(v[4])});
        }
        /* A record of another kind is one a newer driver writes: skipped. */
        if (!fOk) {
            *pstrError = "drive.tsv:" + std::to_string(i + 1) + ": not a record the driver writes: " + strLine;
            return 0;
        }
    }
    return 1;
}

/* ---- places in the prefix ------------------------------------------------ */

std::string ExpandAtPlace(const std::string &str, const PreviewPlace &place)
{
    std::vector<char> v(STRING_BUF);
    ExpandText(str.c_str(), place.strDest.c_str(), place.strSysDir.c_str(), place.strWinDir.c_str(), v.data(),
               v.size(), nullptr);
    return v.data();
}

std::string PrefixPath(const std::string &strPrefix, const std::string &strWinPath)
{
    namespace fs = std::filesystem;
    std::vector<std::string> vParts = SplitOn(strWinPath, '\\');
    std::string strPath = strPrefix;
    size_t nFirst = 0;
    if (vParts[0].size() == 2 && vParts[0][1] == ':') {
        strPath += "/dosdevices/" + Folded(vParts[0]);
        nFirst = 1;
    }
    for (size_t i = nFirst; i < vParts.size(); i++) {
        const std::string &strPart = vParts[i];
        if (strPart.empty() || strPart == ".")
            continue;
        std::string strNext = strPath + "/" + strPart;
        std::error_code ec;
        if (!fs::exists(strNext, ec)) {
            for (fs::directory_iterator it(strPath, ec), end; !ec && it != end; it.increment(ec))
                if (SameText(it->path().filename().string(), strPart)) {
                    strNext = strPath + "/" + it->path().filename().string();
                    break;
                }
        }
        strPath = strNext;
    }
    return strPath;
}

/* ---- INI files ------------------------------------------------------------- */

int FindIniValue(const std::string &strText, const std::string &strSection, const std::string &strKey,
                 std::string *pstrValue)
{
    bool fIn = false;
    for (std::string strLine : SplitOn(strText, '\n')) {
        strLine = Trimmed(strLine);
        if (!strLine.empty() && strLine[0] == '[') {
            size_t nEnd = strLine.find(']');
            fIn = SameText(Trimmed(strLine.substr(1, nEnd == std::string::npos ? std::string::npos : nEnd - 1)),
                           strSection);
            continue;
        }
        size_t nEq = strLine.find('=');
        if (!fIn || nEq == std::string::npos || !SameText(Trimmed(strLine.substr(0, nEq)), strKey))
            continue;
        std::string strValue = Trimmed(strLine.substr(nEq + 1));
        /* GetPrivateProfileString drops one pair of enclosing quotes. */
        if (strValue.size() >= 2 && (strValue[0] == '"' || strValue[0] == '\'') && strValue.back() == strValue[0])
            strValue = strValue.substr(1, strValue.size() - 2);
        *pstrValue = strValue;
        return 1;
    }
    return 0;
}

namespace {

int ReadIniAt(const PreviewPlace &place, const IniState &ini, std::string *pstrValue)
{
    std::string strText;
    if (!ReadFileText(PrefixPath(place.strPrefix, ini.strFile), &strText))
        return 0;
    std::string strAnsi;
    if (!FindIniValue(strText, ini.strSection, ini.strKey, &strAnsi))
        return 0;
    *pstrValue = ConvertAnsiToUtf8(strAnsi);
    return 1;
}

/* The text's own file name without its extension: the title Program
   Manager gives an item that names none. */
std::string TitleOfCommand(const std::string &strCommand)
{
    std::string str = strCommand;
    size_t nBlank = str.find(' ');
    str = str.substr(0, nBlank);
    size_t nSlash = str.find_last_of("\\/");
    if (nSlash != std::string::npos)
        str = str.substr(nSlash + 1);
    size_t nDot = str.rfind('.');
    return nDot == std::string::npos ? str : str.substr(0, nDot);
}

/* One bracketed command's name and its comma-separated parameters, quotes
   removed.  Returns the position after it, or npos when none follows. */
size_t NextDdeCommand(const std::string &str, size_t nAt, std::string *pstrName, std::vector<std::string> *pv)
{
    size_t nOpen = str.find('[', nAt);
    if (nOpen == std::string::npos)
        return std::string::npos;
    size_t nParen = str.find('(', nOpen);
    size_t nClose = str.find(']', nOpen);
    if (nParen == std::string::npos || (nClose != std::string::npos && nClose < nParen)) {
        *pstrName = Trimmed(str.substr(nOpen + 1, nClose == std::string::npos ? std::string::npos : nClose - nOpen - 1));
        pv->clear();
        return nClose == std::string::npos ? str.size() : nClose + 1;
    }
    *pstrName = Trimmed(str.substr(nOpen + 1, nParen - nOpen - 1));
    pv->assign(1, std::string());
    bool fQuoted = false;
    size_t i = nParen + 1;
    for (; i < str.size(); i++) {
        char c = str[i];
        if (c == '"')
            fQuoted = !fQuoted;
        else if (!fQuoted && c == ',')
            pv->push_back(std::string());
        else if (!fQuoted && c == ')')
            break;
        else
            pv->back() += c;
    }
    for (std::string &s : *pv)
        s = Trimmed(s);
    size_t nEnd = str.find(']', i);
    return nEnd == std::string::npos ? str.size() : nEnd + 1;
}

std::string Normalized(const std::string &str)
{
    std::string s;
    for (char c : str)
        if (c != '"')
            s += c;
    return Folded(Trimmed(s));
}

} // namespace

std::vector<ShortcutState> ExpectedShortcuts(const std::vector<std::string> &vCommands)
{
    std::vector<ShortcutState> v;
    std::string strGroup, strName;
    std::vector<std::string> vArgs;
    auto remove = [&](const std::string &strPath, bool fWholeGroup) {
        v.erase(std::remove_if(v.begin(), v.end(),
                               [&](const ShortcutState &s) {
                                   return fWholeGroup ? SameText(s.strPath.substr(0, strPath.size()), strPath)
                                                      : SameText(s.strPath, strPath);
                               }),
                v.end());
    };
    for (const std::string &strCommand : vCommands) {
        for (size_t n = 0; (n = NextDdeCommand(strCommand, n, &strName, &vArgs)) != std::string::npos;) {
            std::string strVerb = Folded(strName);
            std::string strFirst = vArgs.empty() ? std::string() : vArgs[0];
            if (strVerb == "creategroup" || strVerb == "showgroup") {
                strGroup = strFirst;
            } else if (strVerb == "additem" && !strFirst.empty()) {
                std::string strTitle = vArgs.size() > 1 && !vArgs[1].empty() ? vArgs[1] : TitleOfCommand(strFirst);
                std::string strPath = strGroup + "\\" + strTitle + ".lnk";
                remove(strPath, false);
                ShortcutState s;
                s.strPath = strPath;
                s.strCommand = strFirst;
                v.push_back(s);
            } else if (strVerb == "replaceitem" || strVerb == "deleteitem") {
                remove(strGroup + "\\" + strFirst + ".lnk", false);
            } else if (strVerb == "deletegroup") {
                remove(strFirst + "\\", true);
            }
        }
    }
    return v;
}

void ReadIniBefore(const Manifest &manifest, const PreviewPlace &place, std::vector<IniState> *pvIni)
{
    pvIni->clear();
    int n = Count(manifest, IDS_INI_COUNT, MAX_INI_CHANGES);
    for (int i = 0; i < n; i++) {
        IniState ini;
        auto field = [&](unsigned uBase) {
            return ConvertAnsiToUtf8(ExpandAtPlace(Entry(manifest, uBase + i), place));
        };
        ini.strFile = field(IDS_INI_FILE);
        if (ini.strFile.empty())
            break; /* where the installer stops its INI changes */
        ini.strSection = field(IDS_INI_SECTION);
        ini.strKey = field(IDS_INI_KEY);
        ini.strWant = field(IDS_INI_VALUE);
        ini.strRule = field(IDS_INI_RULE);
        ini.fHadBefore = ReadIniAt(place, ini, &ini.strBefore) && !ini.strBefore.empty();
        pvIni->push_back(ini);
    }
}

/* ---- the comparison --------------------------------------------------------- */

namespace {

void CheckItems(const Manifest &manifest, const std::string &strPackage, const PreviewPlace &place,
                PreviewResult *pResult)
{
    PackageLayout layout;
    std::string strBytes, strIgnored;
    ReadPackageLayout(strPackage, &layout, &strIgnored);
    ReadWholeFile(strPackage, &strBytes, &strIgnored);
    int n = CheckedItemCount(manifest);
    for (int i = 0; i < n; i++) {
        ItemState item;
        item.nIndex = i;
        std::string strDest = ExpandAtPlace(Entry(manifest, IDS_ITEM_DEST + i), place);
        item.strDest = ConvertAnsiToUtf8(strDest);
        item.strName = ConvertAnsiToUtf8(Entry(manifest, IDS_ITEM_NAME + i));
        std::string strDate = Entry(manifest, IDS_ITEM_DATE + i).substr(0, ITEM_DATE_LEN);
        item.strWantDate = strDate.size() == ITEM_DATE_LEN ? strDate : std::string();
        if ((size_t)i < layout.vRecords.size() && IsSoundRecord(layout.vRecords[i]) &&
            layout.vRecords[i].nOffset + RECORD_HEADER_SIZE + layout.vRecords[i].lLength <= strBytes.size()) {
            const PackageRecord &rec = layout.vRecords[i];
            item.nWantSize = (uint64_t)rec.lLength;
            item.uWantCrc = Crc32Update(0, strBytes.data() + rec.nOffset + RECORD_HEADER_SIZE, (size_t)rec.lLength);
        }
        std::string strFile = PrefixPath(place.strPrefix, item.strDest);
        std::string strGot;
        struct stat st;
        if (!strDest.empty() && stat(strFile.c_str(), &st) == 0 && ReadFileText(strFile, &strGot)) {
            item.fFound = true;
            item.nSize = strGot.size();
            item.uCrc = Crc32Update(0, strGot.data(), strGot.size());
            item.strDate = DateOfTime(st.st_mtime);
        }
        std::string strWhat = "item " + std::to_string(i) + " (" + item.strName + ", " + item.strDest + ")";
        if (!item.fFound)
            pResult->vFindings.push_back({PF_ITEM, strWhat + ": not installed"});
        else if (item.nSize != item.nWantSize || item.uCrc != item.uWantCrc)
            pResult->vFindings.push_back(
                {PF_ITEM, strWhat + ": holds " + std::to_string(item.nSize) + " bytes (CRC-32 " + Hex(item.uCrc) +
                              "), the package's record " + std::to_string(item.nWantSize) + " bytes (CRC-32 " +
                              Hex(item.uWantCrc) + ")"});
        else if (!item.strWantDate.empty() && item.strDate != item.strWantDate)
            pResult->vFindings.push_back(
                {PF_ITEM, strWhat + ": dated " + item.strDate + ", the product stamps " + item.strWantDate});
        pResult->vItems.push_back(item);
    }
}

/* A value the product writes is right when it is there, or, under a rule
   that keeps an existing value (N, or P answered No), when the value from
   before the install stayed. */
void CheckIni(const PreviewPlace &place, PreviewResult *pResult)
{
    for (IniState &ini : pResult->vIni) {
        ini.fFound = ReadIniAt(place, ini, &ini.strGot);
        bool fKeeps = !ini.strRule.empty() && (ini.strRule[0] == 'N' || ini.strRule[0] == 'P');
        if (ini.fFound && (ini.strGot == ini.strWant || (fKeeps && ini.fHadBefore && ini.strGot == ini.strBefore)))
            continue;
        std::string strWhat = ini.strFile + " [" + ini.strSection + "] " + ini.strKey;
        pResult->vFindings.push_back(
            {PF_INI, ini.fFound ? strWhat + " = \"" + ini.strGot + "\", the product writes \"" + ini.strWant + "\""
                                : strWhat + ": not written (the product writes \"" + ini.strWant + "\")"});
    }
}

void CheckShortcuts(const Manifest &manifest, const PreviewPlace &place, PreviewResult *pResult)
{
    std::vector<std::string> vCommands;
    int n = Count(manifest, IDS_DDE_COUNT, MAX_DDE_CMDS);
    for (int i = 0; i < n; i++)
        vCommands.push_back(ConvertAnsiToUtf8(ExpandAtPlace(Entry(manifest, IDS_DDE_CMD + i), place)));
    pResult->vShortcuts = ExpectedShortcuts(vCommands);
    for (ShortcutState &s : pResult->vShortcuts) {
        for (const DriveShortcut &d : pResult->log.vShortcuts)
            if (SameText(d.strPath, s.strPath)) {
                s.fFound = true;
                s.strTarget = d.strTarget;
                s.strArgs = d.strArgs;
            }
        std::string strStarts = s.strTarget + (s.strArgs.empty() ? "" : " " + s.strArgs);
        if (!s.fFound)
            pResult->vFindings.push_back(
                {PF_SHORTCUT, "shortcut " + s.strPath + ": missing (the product adds it for " + s.strCommand + ")"});
        else if (Normalized(strStarts) != Normalized(s.strCommand))
            pResult->vFindings.push_back(
                {PF_SHORTCUT, "shortcut " + s.strPath + ": starts " + strStarts + ", the product says " + s.strCommand});
    }
}

/* One finding per text that does not fit, where it was first seen: the
   destination dialog shows the same description in every install. */
void CheckScreens(PreviewResult *pResult)
{
    std::vector<std::string> vSeen;
    for (const DriveScreen &s : pResult->log.vScreens)
        for (size_t c = 0; c < s.vControls.size(); c++) {
            const DriveControl &ctl = s.vControls[c];
            std::string strKey = s.strClass + '\t' + s.strCaption + '\t' + std::to_string(ctl.nId) + '\t' + ctl.strText;
            if (!ctl.fClipped || std::find(vSeen.begin(), vSeen.end(), strKey) != vSeen.end())
                continue;
            vSeen.push_back(strKey);
            char sz[160];
            snprintf(sz, sizeof sz, "screen %d (%s), control %d (%s): the text needs %dx%d pixels, the control has %dx%d: ",
                     s.n, s.strCaption.c_str(), ctl.nId, ctl.strClass.c_str(), ctl.nTextW, ctl.nTextH, ctl.w, ctl.h);
            PreviewFinding f{PF_CLIPPED, sz + ("\"" + ctl.strText + "\"")};
            f.nScreen = s.n;
            f.nControl = (int)c;
            pResult->vFindings.push_back(f);
        }
}

} // namespace

void CheckInstalled(const Manifest &manifest, const std::string &strPackage, const PreviewPlace &place,
                    PreviewResult *pResult)
{
    for (const DriveEvent &e : pResult->log.vEvents) {
        if (e.strKind == "failed" && e.nRun == 1) {
            pResult->fFailed = true;
            /* A package that cannot be opened ends the copy without a word:
               the user finds the destination dialog again. */
            pResult->strFailure = e.strText.empty() ? "the installer showed no message; its destination dialog came back "
                                                      "(is the package it names beside it?)"
                                                    : e.strText;
        } else if (e.strKind == "followup" && pResult->strFollowupGot.empty()) {
            pResult->strFollowupGot = e.strText;
        }
    }
    pResult->strFollowupWant = ConvertAnsiToUtf8(ExpandAtPlace(Entry(manifest, IDS_FOLLOWUP), place));
    CheckScreens(pResult);
    if (pResult->fFailed)
        return; /* nothing was meant to be installed */
    CheckItems(manifest, strPackage, place, pResult);
    CheckIni(place, pResult);
    /* The follow-up command is shown, not judged: a launcher (Wine's
       NOTEPAD.EXE is one) may end before the driver reads its command. */
    CheckShortcuts(manifest, place, pResult);
}
