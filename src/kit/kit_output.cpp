/* kit_output.cpp - outputs written beside their targets and renamed over
 * them last.  The names beside are created exclusively, so the kit never
 * writes into or removes a file it did not make; an earlier target that a
 * later failure must give back is kept under a hard link (a copy where the
 * file system has none) until every rename has succeeded. */
#include "kit_output.h"

#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <fstream>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

enum { MAX_BESIDE_TRIES = 100 };

/* ".NAME.kind" beside strPath, numbered from the second try on. */
std::string NameBeside(const std::string &strPath, const char *pszKind, int nTry)
{
    fs::path p(strPath);
    std::string strName = "." + p.filename().string() + "." + pszKind;
    if (nTry > 1)
        strName += std::to_string(nTry);
    return (p.parent_path() / strName).string();
}

/* Creates strPath empty; 1, 0 with errno set when it exists or cannot be. */
int CreateExclusive(const std::string &strPath)
{
#ifdef _WIN32
    int fd = _open(strPath.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    return fd >= 0 && _close(fd) == 0;
#else
    int fd = open(strPath.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0666);
    return fd >= 0 && close(fd) == 0;
#endif
}

#ifdef _WIN32
/* The system's text for a Windows error, without its closing line end. */
std::string DescribeWindowsError(DWORD dwError)
{
    char sz[512] = "";
    DWORD cch = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, dwError, 0, sz,
                               sizeof sz, NULL);
    std::string str(sz, cch < sizeof sz ? cch : 0);
    while (!str.empty() && (str.back() == '\n' || str.back() == '\r' || str.back() == '.' || str.back() == ' '))
        str.pop_back();
    return str.empty() ? "error " + std::to_string(dwError) : str;
}
#endif

/* The file at strTarget kept under a new name beside it, so that it can be
   given back; "" with the reason when it cannot be kept. */
std::string KeepEarlier(const std::string &strTarget, std::string *pstrError)
{
    for (int nTry = 1; nTry <= MAX_BESIDE_TRIES; nTry++) {
        std::string strKept = NameBeside(strTarget, "old", nTry);
        std::error_code ec;
        fs::create_hard_link(strTarget, strKept, ec);
        if (ec && ec != std::errc::file_exists)
            fs::copy_file(strTarget, strKept, fs::copy_options::none, ec); /* no hard links there */
        if (!ec)
            return strKept;
        if (ec != std::errc::file_exists) {
            *pstrError = strTarget + ": cannot keep the earlier file while the new one is put in place: " +
                         ec.message();
            return "";
        }
    }
    *pstrError = strTarget + ": cannot keep the earlier file: too many files named like it beside it";
    return "";
}

struct Placed {
    std::string strTarget, strKept; /* strKept empty: there was no earlier file */
};

/* Gives the targets placed so far their earlier files back, the last
   first; a new target without an earlier file is removed, being ours. */
void UndoPlaced(const std::vector<Placed> &vPlaced, std::string *pstrError)
{
    for (auto it = vPlaced.rbegin(); it != vPlaced.rend(); ++it) {
        std::string strWhy;
        if (it->strKept.empty())
            remove(it->strTarget.c_str());
        else if (!MoveOver(it->strKept, it->strTarget, &strWhy))
            *pstrError += "; the earlier " + it->strTarget + " could not be put back (" + strWhy + ") and is kept as " +
                          it->strKept;
    }
}

} // namespace

std::string CreateFileBeside(const std::string &strPath, std::string *pstrError)
{
    for (int nTry = 1; nTry <= MAX_BESIDE_TRIES; nTry++) {
        std::string strBeside = NameBeside(strPath, "part", nTry);
        if (CreateExclusive(strBeside))
            return strBeside;
        int nError = errno;
        if (nError != EEXIST) {
            *pstrError = strPath + ": cannot write beside it: " + strerror(nError);
            return "";
        }
    }
    *pstrError = strPath + ": cannot write beside it: too many files named like it there";
    return "";
}

int MoveOver(const std::string &strFrom, const std::string &strTo, std::string *pstrWhy)
{
#ifdef _WIN32
    if (MoveFileExA(strFrom.c_str(), strTo.c_str(), MOVEFILE_REPLACE_EXISTING))
        return 1;
    *pstrWhy = DescribeWindowsError(GetLastError());
#else
    if (rename(strFrom.c_str(), strTo.c_str()) == 0)
        return 1;
    *pstrWhy = strerror(errno);
#endif
    return 0;
}

int PutFilesInPlace(const std::vector<std::pair<std::string, std::string>> &vMoves, std::string *pstrError)
{
    std::vector<Placed> vPlaced;
    for (size_t i = 0; i < vMoves.size(); i++) {
        Placed placed;
        placed.strTarget = vMoves[i].second;
        std::error_code ec;
        fs::file_status st = fs::symlink_status(placed.strTarget, ec);
        /* The last rename is the one step left: it changes nothing when it
           fails, so its earlier file needs no keeping. */
        bool fKeep = i + 1 < vMoves.size() && fs::exists(st) && !fs::is_directory(st);
        if (fKeep && (placed.strKept = KeepEarlier(placed.strTarget, pstrError)).empty()) {
            UndoPlaced(vPlaced, pstrError);
            return 0;
        }
        std::string strWhy;
        if (!MoveOver(vMoves[i].first, placed.strTarget, &strWhy)) {
            *pstrError = placed.strTarget + ": cannot put the file in place: " + strWhy;
            if (!placed.strKept.empty())
                remove(placed.strKept.c_str());
            UndoPlaced(vPlaced, pstrError);
            return 0;
        }
        vPlaced.push_back(placed);
    }
    for (const Placed &placed : vPlaced)
        if (!placed.strKept.empty())
            remove(placed.strKept.c_str());
    return 1;
}

int WriteFileWhole(const std::string &strPath, const std::string &strText, std::string *pstrError)
{
    std::string strPart = CreateFileBeside(strPath, pstrError);
    if (strPart.empty())
        return 0;
    std::string strWhy;
    {
        errno = 0;
        std::ofstream out(strPart, std::ios::binary | std::ios::trunc);
        if (!(out << strText) || !out.flush())
            strWhy = errno ? strerror(errno) : "the write failed";
    }
    if (strWhy.empty() && MoveOver(strPart, strPath, &strWhy))
        return 1;
    remove(strPart.c_str());
    *pstrError = strPath + ": cannot write: " + strWhy;
    return 0;
}

std::string TrimFolderName(const std::string &strDir)
{
#ifdef _WIN32
    const char *pszSeparators = "/\\";
#else
    const char *pszSeparators = "/";
#endif
    size_t nEnd = strDir.find_last_not_of(pszSeparators);
    if (nEnd == std::string::npos)
        return strDir.empty() ? strDir : strDir.substr(0, 1); /* the root */
    if (nEnd == 1 && strDir[1] == ':' && nEnd + 1 < strDir.size())
        return strDir.substr(0, 3); /* a drive's root, "C:\" */
    return strDir.substr(0, nEnd + 1);
}
