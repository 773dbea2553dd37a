/* kit_package.cpp - script reading, packing and record walking for the
 * authoring tool.  The marker scan and the record layout are the installer's
 * own (logic.h); only the file I/O around them lives here, streamed so that
 * large items need no memory of their size. */
#include "kit_package.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fixed.h"
#include "logic.h"

namespace fs = std::filesystem;

namespace {

enum {
    COPY_CHUNK = 1 << 20,
    SCRIPT_NAME_ROOM = PATH_BUF, /* the builder's name buffer: longer names fail its whole build */
};
const uint64_t MAX_RECORD_LENGTH = 0x7fffffffu;

std::string DescribeErrno()
{
    return strerror(errno);
}

size_t CountLine(const std::string &strText, size_t nOffset)
{
    size_t nLine = 1;
    for (size_t i = 0; i < nOffset && i < strText.size(); i++)
        if (strText[i] == '\n')
            nLine++;
    return nLine;
}

ScriptEntry MakeEntry(const std::string &strText, size_t nStart, size_t nLen)
{
    ScriptEntry e;
    e.strWritten = strText.substr(nStart, nLen);
    e.nLine = CountLine(strText, nStart);
    if (nLen >= SCRIPT_NAME_ROOM)
        e.strProblem = "the name has " + std::to_string(nLen) + " characters; the builder takes at most " +
                       std::to_string(SCRIPT_NAME_ROOM - 1) + " and fails the whole build for a longer one";
    else if (!ResolveScriptName(e.strWritten, &e.strPath, &e.strProblem))
        e.strPath.clear();
    return e;
}

/* Why the package name was not found; the scan itself only says that. */
std::string DescribeMissingPackage(const std::string &strText)
{
    if (strText.find("*###") == std::string::npos)
        return "no start marker *### in the script";
    return "no PACKAGE# \" marker after the start marker *###, or the package name has no closing quote";
}

std::string DescribeItem(const ScriptInfo &info, size_t i)
{
    const ScriptEntry &e = info.vItems[i];
    return info.strScript + ":" + std::to_string(e.nLine) + ": item " + std::to_string(i) + " \"" +
           e.strWritten + "\"";
}

} // namespace

int ReadWholeFile(const std::string &strPath, std::string *pstrBytes, std::string *pstrError)
{
    /* A folder opens as a stream on some systems and then throws on the
       first read. */
    std::error_code ec;
    if (fs::exists(strPath, ec) && !fs::is_regular_file(strPath, ec)) {
        *pstrError = strPath + ": not a file";
        return 0;
    }
    std::ifstream in(strPath, std::ios::binary);
    if (!in) {
        *pstrError = strPath + ": cannot open: " + DescribeErrno();
        return 0;
    }
    pstrBytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad()) {
        *pstrError = strPath + ": cannot read";
        return 0;
    }
    return 1;
}

uint64_t MeasureItem(const std::string &strPath, std::string *pstrError)
{
    std::error_code ec;
    fs::file_status st = fs::status(strPath, ec);
    if (ec || !fs::exists(st)) {
        *pstrError = strPath + " does not exist";
        return 0;
    }
    if (!fs::is_regular_file(st)) {
        *pstrError = strPath + " is not a regular file";
        return 0;
    }
    uint64_t nSize = fs::file_size(strPath, ec);
    if (ec)
        *pstrError = strPath + ": cannot read its size";
    else if (nSize == 0)
        *pstrError = strPath + " is empty; a package record holds at least one byte";
    else if (nSize > MAX_RECORD_LENGTH)
        *pstrError = strPath + " is larger than a record can hold (2147483647 bytes)";
    else
        return nSize;
    return 0;
}

namespace {

/* The builder empties the package before it reads the items, so an item
   that is the package itself always reads as empty. */
int IsSamePath(const std::string &strA, const std::string &strB)
{
    std::error_code ec;
    fs::path a = fs::weakly_canonical(strA, ec);
    fs::path b = fs::weakly_canonical(strB, ec);
    return !ec && a == b;
}

/* The builder empties the package before it reads any item, and leaves a
   partial one after a failure; either would look like a finished package to
   the next build step, so a failed pack leaves no package behind. */
void RemovePackage(const std::string &strOutput)
{
    std::error_code ec;
    if (fs::is_regular_file(strOutput, ec))
        fs::remove(strOutput, ec);
}

struct PackState {
    FILE *pfOut = nullptr;
    std::string strOutput;
    uint64_t nDone = 0;
    uint64_t nTotal = 0;
    PackProgressFn pfnProgress = nullptr;
};

int CopyItem(PackState *pState, const ScriptEntry &item, uint64_t nSize, std::string *pstrError)
{
    FILE *pfIn = fopen(item.strPath.c_str(), "rb");
    if (!pfIn) {
        *pstrError = item.strPath + ": cannot open: " + DescribeErrno();
        return 0;
    }
    unsigned char abHeader[RECORD_HEADER_SIZE];
    EncodeRecordLength((int32_t)nSize, abHeader);
    int fOk = fwrite(abHeader, 1, sizeof abHeader, pState->pfOut) == sizeof abHeader;
    std::vector<unsigned char> vChunk(COPY_CHUNK);
    uint64_t nCopied = 0;
    while (fOk) {
        size_t cb = fread(vChunk.data(), 1, vChunk.size(), pfIn);
        if (cb == 0)
            break;
        fOk = fwrite(vChunk.data(), 1, cb, pState->pfOut) == cb;
        nCopied += cb;
        pState->nDone += cb;
        if (pState->pfnProgress)
            pState->pfnProgress(pState->nDone, pState->nTotal, item);
    }
    int fReadError = ferror(pfIn);
    fclose(pfIn);
    if (!fOk)
        *pstrError = "cannot write to " + pState->strOutput + ": " + DescribeErrno();
    else if (fReadError)
        *pstrError = item.strPath + ": read error";
    else if (nCopied != nSize)
        *pstrError = item.strPath + " changed its size while it was packed";
    return fOk && !fReadError && nCopied == nSize;
}

} // namespace

#ifndef _WIN32
namespace {

/* The entry of directory strDir that strPart names: itself when it exists
   as written, else the one entry equal to it without regard to letter case
   (ASCII letters, as the builder's file system sees them on Windows), else
   strPart unchanged.  0 with the reason when several entries match. */
int FindNameCase(const std::string &strDir, const std::string &strPart, std::string *pstrFound,
                 std::string *pstrError)
{
    std::error_code ec;
    *pstrFound = strPart;
    if (fs::exists(fs::path(strDir) / strPart, ec))
        return 1;
    std::vector<std::string> vMatches;
    for (fs::directory_iterator it(strDir, ec), end; !ec && it != end; it.increment(ec)) {
        std::string strEntry = it->path().filename().string();
        if (EqualNoCase(strEntry.c_str(), strPart.c_str()))
            vMatches.push_back(strEntry);
    }
    std::sort(vMatches.begin(), vMatches.end());
    if (vMatches.size() > 1) {
        *pstrError = "\"" + strPart + "\" matches both \"" + vMatches[0] + "\" and \"" + vMatches[1] + "\" in " +
                     strDir + ", which differ only in letter case; on Windows one name cannot tell them apart";
        return 0;
    }
    if (!vMatches.empty())
        *pstrFound = vMatches[0];
    return 1;
}

/* A path whose parts are matched, one after the other, as Windows matches
   them: without regard to letter case.  Parts that do not exist (a package
   still to be created) stay as written. */
int MatchPathCase(std::string *pstrPath, std::string *pstrError)
{
    const std::string strPath = *pstrPath;
    std::string strOut;
    for (size_t nStart = 0;;) {
        size_t nEnd = std::min(strPath.find('/', nStart), strPath.size());
        std::string strPart = strPath.substr(nStart, nEnd - nStart), strFound = strPart;
        bool fPlain = !strPart.empty() && strPart != "." && strPart != "..";
        if (fPlain && !FindNameCase(strOut.empty() ? "." : strOut, strPart, &strFound, pstrError))
            return 0;
        strOut += strFound;
        if (nEnd == strPath.size())
            break;
        strOut += '/';
        nStart = nEnd + 1;
    }
    *pstrPath = strOut;
    return 1;
}

} // namespace
#endif

int ResolveScriptName(const std::string &strName, std::string *pstrPath, std::string *pstrError)
{
    if (strName.empty()) {
        *pstrError = "the name is empty";
        return 0;
    }
#ifdef _WIN32
    /* On Windows the builder's own rules apply: the name goes to the file
       system as written. */
    *pstrPath = strName;
    return 1;
#else
    unsigned char c0 = (unsigned char)strName[0];
    if (strName.size() >= 2 && strName[1] == ':' && ((c0 | 0x20) >= 'a' && (c0 | 0x20) <= 'z')) {
        *pstrError = "\"" + strName + "\" names drive " + strName.substr(0, 2) +
                     ", which does not exist here; names resolve against the current directory, "
                     "so write it relative to that";
        return 0;
    }
    if (strName.compare(0, 2, "\\\\") == 0) {
        *pstrError = "\"" + strName + "\" is a network name, which does not exist here; names "
                     "resolve against the current directory, so write it relative to that";
        return 0;
    }
    *pstrPath = strName;
    for (char &c : *pstrPath)
        if (c == '\\')
            c = '/';
    std::error_code ec;
    if (fs::exists(*pstrPath, ec))
        return 1;
    return MatchPathCase(pstrPath, pstrError);
#endif
}

int ReadScript(const std::string &strScript, ScriptInfo *pInfo, std::string *pstrError)
{
    *pInfo = ScriptInfo();
    pInfo->strScript = strScript;
    std::string strText;
    if (!ReadWholeFile(strScript, &strText, pstrError))
        return 0;
    if (strText.empty()) {
        *pstrError = strScript + ": the script is empty";
        return 0;
    }
    /* A zero byte ends the text, as it does for the builder. */
    strText.resize(strnlen(strText.data(), strText.size()));
    ::ScriptName name;
    if (!ScanPackageName(strText.data(), strText.size(), &name)) {
        *pstrError = strScript + ": " + DescribeMissingPackage(strText);
        return 0;
    }
    pInfo->package = MakeEntry(strText, name.nStart, name.nLen);
    size_t nFrom = name.nNext;
    for (;;) {
        int nFound = ScanNextItem(strText.data(), strText.size(), nFrom, &name);
        if (nFound == 0)
            return 1;
        if (nFound < 0) {
            *pstrError = strScript + ": the ITEM# marker after " +
                         (pInfo->vItems.empty() ? std::string("the package name")
                                                : "item " + std::to_string(pInfo->vItems.size() - 1)) +
                         " has no closing quote";
            return 0;
        }
        pInfo->vItems.push_back(MakeEntry(strText, name.nStart, name.nLen));
        nFrom = name.nNext;
    }
}

/* Also with -o: a package name the builder cannot use makes the script
   one that does not build on Windows either. */
int CheckPackageName(const ScriptInfo &info, std::string *pstrError)
{
    if (info.package.strProblem.empty())
        return 1;
    *pstrError = info.strScript + ":" + std::to_string(info.package.nLine) + ": package name: " +
                 info.package.strProblem;
    return 0;
}

int PackScript(const ScriptInfo &info, const std::string &strOutput, PackProgressFn pfnProgress,
               std::string *pstrError)
{
    if (!CheckPackageName(info, pstrError))
        return 0;
    PackState state;
    state.pfnProgress = pfnProgress;
    state.strOutput = strOutput.empty() ? info.package.strPath : strOutput;
    std::vector<uint64_t> vSizes;
    for (size_t i = 0; i < info.vItems.size(); i++) {
        std::string strWhy = info.vItems[i].strProblem;
        if (strWhy.empty() && IsSamePath(info.vItems[i].strPath, state.strOutput))
            strWhy = "is the package file itself";
        uint64_t nSize = strWhy.empty() ? MeasureItem(info.vItems[i].strPath, &strWhy) : 0;
        if (nSize == 0) {
            *pstrError = DescribeItem(info, i) + ": " + strWhy;
            RemovePackage(state.strOutput);
            return 0;
        }
        vSizes.push_back(nSize);
        state.nTotal += nSize + RECORD_HEADER_SIZE;
    }
    state.pfOut = fopen(state.strOutput.c_str(), "wb");
    if (!state.pfOut) {
        *pstrError = state.strOutput + ": cannot create the package: " + DescribeErrno();
        return 0;
    }
    int fOk = 1;
    for (size_t i = 0; fOk && i < info.vItems.size(); i++) {
        std::string strWhy;
        fOk = CopyItem(&state, info.vItems[i], vSizes[i], &strWhy);
        if (!fOk)
            *pstrError = DescribeItem(info, i) + ": " + strWhy;
        state.nDone += RECORD_HEADER_SIZE;
    }
    if (fOk && state.pfnProgress && !info.vItems.empty())
        state.pfnProgress(state.nDone, state.nTotal, info.vItems.back());
    if (fclose(state.pfOut) != 0 && fOk) {
        *pstrError = state.strOutput + ": cannot write the package: " + DescribeErrno();
        fOk = 0;
    }
    if (!fOk)
        RemovePackage(state.strOutput);
    return fOk;
}

int IsSoundRecord(const PackageRecord &rec)
{
    return rec.lLength > 0 && rec.nPresent == (uint64_t)rec.lLength;
}

int ReadPackageLayout(const std::string &strPackage, PackageLayout *pLayout, std::string *pstrError)
{
    *pLayout = PackageLayout();
    std::error_code ec;
    if (!fs::is_regular_file(strPackage, ec)) {
        *pstrError = strPackage + ": no such package file";
        return 0;
    }
    std::ifstream in(strPackage, std::ios::binary);
    pLayout->nSize = fs::file_size(strPackage, ec);
    if (!in || ec) {
        *pstrError = strPackage + ": cannot open: " + DescribeErrno();
        return 0;
    }
    uint64_t nOffset = 0;
    while (nOffset < pLayout->nSize) {
        uint64_t nLeft = pLayout->nSize - nOffset;
        unsigned char abHeader[RECORD_HEADER_SIZE] = {};
        in.seekg((std::streamoff)nOffset);
        if (nLeft >= RECORD_HEADER_SIZE && !in.read((char *)abHeader, sizeof abHeader)) {
            *pstrError = strPackage + ": read error at offset " + std::to_string(nOffset);
            return 0;
        }
        int32_t lLength = 0;
        RecordShape shape = ClassifyRecord(abHeader, nLeft, &lLength);
        if (shape == RECORD_SHORT_HEADER) {
            pLayout->nTrailing = nLeft;
            pLayout->nTrailingOffset = nOffset;
            break;
        }
        PackageRecord rec;
        rec.nOffset = nOffset;
        rec.lLength = lLength;
        uint64_t nData = nLeft - RECORD_HEADER_SIZE;
        rec.nPresent = shape == RECORD_NEGATIVE ? 0 : std::min<uint64_t>((uint64_t)lLength, nData);
        pLayout->vRecords.push_back(rec);
        if (shape == RECORD_NEGATIVE)
            pLayout->fBadLength = 1;
        if (shape == RECORD_SHORT_DATA)
            pLayout->fTruncated = 1;
        if (shape != RECORD_WHOLE)
            break;
        nOffset += RECORD_HEADER_SIZE + rec.nPresent;
    }
    return 1;
}
