/* kit_init.cpp - a starting product file for the files under a folder:
 * every file an item, every folder a subdirectory, each file dated with the
 * UTC day of its modification.  What the installer could not take stops it,
 * every such path named, so that what it writes builds as it is. */
#include "kit_product.h"

#include <sys/stat.h>
#include <time.h>

#include <ctype.h>
#include <stdio.h>

#include <algorithm>
#include <filesystem>
#include <map>

#include "fixed.h"
#include "logic.h"
#include "resource.h"

namespace fs = std::filesystem;

namespace {

const uint64_t MAX_ITEM_SIZE = 0x7fffffffu; /* a record's signed 32-bit length */
enum { PACKAGE_STEM = 8 };

struct FoundFile {
    std::string strRel; /* relative to the folder, with "/" */
    uint64_t nSize = 0;
    char szDate[16] = "";
};

/* A text as a TOML string: literal (no escapes to read) when it can be. */
std::string TomlString(const std::string &str)
{
    bool fLiteral = std::none_of(str.begin(), str.end(), [](char c) { return c == '\'' || (unsigned char)c < 32 || c == 127; });
    if (fLiteral)
        return "'" + str + "'";
    std::string strOut = "\"";
    for (unsigned char c : str) {
        char sz[8];
        if (c == '"' || c == '\\')
            strOut += std::string("\\") + (char)c;
        else if (c < 32 || c == 127) {
            snprintf(sz, sizeof sz, "\\u%04X", c);
            strOut += sz;
        } else
            strOut += (char)c;
    }
    return strOut + "\"";
}

std::string Backslashed(std::string str)
{
    std::replace(str.begin(), str.end(), '/', '\\');
    return str;
}

/* Why a name cannot travel into the manifest, or empty: it must be code
   page 1252 text that Windows can create and the installer does not
   expand (each becomes "%D" and its path), and a folder's must keep the
   installer's new-folder rule. */
std::string CheckName(const std::string &strName, bool fFolder)
{
    if (!IsUtf8Text(strName))
        return "the name is not UTF-8";
    std::string strOutside;
    std::string strAnsi = ConvertUtf8ToAnsi(strName, &strOutside);
    if (!strOutside.empty())
        return "the name has " + strOutside + ", outside code page 1252";
    NameFault fault = CheckWindowsName(strAnsi.c_str(), strAnsi.size(), PATH_FAULTS_WRITTEN, nullptr);
    if (fault != NAME_OK)
        return DescribeNameFault(fault, strName);
    if (fFolder && !IsSubOk(strAnsi.c_str(), nullptr))
        return "a folder name that breaks " + NewFolderRule();
    return std::string();
}

/* The item date of a file: the UTC day of its modification. */
std::string CheckDate(const fs::path &path, char *pszDate)
{
    struct stat st;
    if (stat(path.string().c_str(), &st) != 0)
        return "cannot read its modification time";
    time_t t = st.st_mtime;
    struct tm *ptm = gmtime(&t);
    if (!ptm)
        return "its modification time is not a date";
    unsigned uYear = (unsigned)ptm->tm_year + 1900;
    if (ptm->tm_year + 1900 < ITEM_YEAR_FIRST || uYear > ITEM_YEAR_LAST)
        return "dated " + std::to_string(ptm->tm_year + 1900) + "; the installer stamps dates from " +
               std::to_string((int)ITEM_YEAR_FIRST) + " to " + std::to_string((int)ITEM_YEAR_LAST) +
               " only (touch the file)";
    FormatCalendarDate(uYear, (unsigned)ptm->tm_mon + 1, (unsigned)ptm->tm_mday, pszDate);
    return std::string();
}

/* What a walk over the folder found, and where it stands.  Links are
   followed, to files and folders alike, so that the product holds what
   the author sees in the folder; a link back to a folder the walk is
   inside would never end, and is refused.  The count of entries bounds
   the work when links lead to one folder many times. */
struct Walker {
    std::string strProductFile;   /* no item of the product (may be empty) */
    bool fHidden = false;         /* take names starting with a dot */
    std::vector<FoundFile> vFiles;
    std::vector<std::string> vFolders;
    std::vector<std::string> vProblems;
    std::vector<fs::path> vInside; /* the real folders from the top down */
    size_t nEntries = 0;
    size_t nLeftOut = 0;          /* hidden names not taken */
};

enum { MAX_WALK_ENTRIES = 100000 };

void WalkFolder(Walker *pW, const fs::path &dir, const std::string &strRelDir);

/* One file or folder of the walk; strRel is its path under the top. */
void WalkEntry(Walker *pW, const fs::path &path, const std::string &strRel)
{
    std::error_code ec, ecSame;
    std::string strShown = path.string();
    if (!pW->strProductFile.empty() && fs::equivalent(path, pW->strProductFile, ecSame))
        return;
    fs::file_status st = fs::status(path, ec);
    if (fs::is_symlink(fs::symlink_status(path, ecSame)) && (ec || !fs::exists(st))) {
        pW->vProblems.push_back(strShown + ": a link to " + fs::read_symlink(path, ecSame).string() +
                                ", which does not exist");
        return;
    }
    bool fFolder = fs::is_directory(st);
    std::string strWhy = CheckName(path.filename().string(), fFolder);
    if (fFolder) {
        fs::path real = fs::canonical(path, ec);
        if (!ec && std::find(pW->vInside.begin(), pW->vInside.end(), real) != pW->vInside.end()) {
            pW->vProblems.push_back(strShown + ": a link to " + real.string() +
                                    ", a folder it lies in: following it would never end");
            return;
        }
        pW->vFolders.push_back(strRel);
        if (!strWhy.empty())
            pW->vProblems.push_back(strShown + ": " + strWhy);
        WalkFolder(pW, path, strRel);
        return;
    }
    if (!fs::is_regular_file(st)) {
        pW->vProblems.push_back(strShown + ": not a regular file");
        return;
    }
    FoundFile f;
    f.strRel = strRel;
    f.nSize = fs::file_size(path, ec);
    if (strWhy.empty() && f.nSize == 0)
        strWhy = "empty: a package record holds at least one byte (leave it out, or give it content)";
    else if (strWhy.empty() && f.nSize > MAX_ITEM_SIZE)
        strWhy = "2 GiB or more: a package record holds at most 2147483647 bytes";
    if (strWhy.empty())
        strWhy = CheckDate(path, f.szDate);
    pW->vFiles.push_back(f);
    if (!strWhy.empty())
        pW->vProblems.push_back(strShown + ": " + strWhy);
}

void WalkFolder(Walker *pW, const fs::path &dir, const std::string &strRelDir)
{
    std::error_code ec;
    fs::path real = fs::canonical(dir, ec);
    pW->vInside.push_back(ec ? dir : real);
    fs::directory_iterator it(dir, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        if (++pW->nEntries > MAX_WALK_ENTRIES) {
            if (pW->nEntries == MAX_WALK_ENTRIES + 1) /* said once, where the walk stopped */
                pW->vProblems.push_back(dir.string() + ": more than " + std::to_string((int)MAX_WALK_ENTRIES) +
                                        " files and folders (through links?); stopped here");
            break;
        }
        std::string strName = it->path().filename().string();
        if (!pW->fHidden && !strName.empty() && strName[0] == '.') {
            pW->nLeftOut++;
            continue;
        }
        WalkEntry(pW, it->path(), strRelDir.empty() ? strName : strRelDir + "/" + strName);
    }
    if (ec)
        pW->vProblems.push_back(dir.string() + ": cannot read: " + ec.message());
    pW->vInside.pop_back();
}

/* Windows names ignore letter case, accented letters' too: two paths
   that differ only in it would be one file on the target. */
void CheckLetterCase(const std::string &strDir, const std::vector<FoundFile> &vFiles,
                     const std::vector<std::string> &vFolders, std::vector<std::string> *pvProblems)
{
    std::map<std::string, std::string> mapSeen;
    std::vector<std::string> vPaths(vFolders);
    for (const FoundFile &f : vFiles)
        vPaths.push_back(f.strRel);
    std::sort(vPaths.begin(), vPaths.end());
    for (const std::string &strRel : vPaths) {
        std::string strOutside;
        std::string strFolded = FoldPath(ConvertUtf8ToAnsi(strRel, &strOutside));
        if (!mapSeen.emplace(strFolded, strRel).second)
            pvProblems->push_back((fs::path(strDir) / strRel).string() + ": differs only in letter case from " +
                                  (fs::path(strDir) / mapSeen[strFolded]).string() + ", the same file on Windows");
    }
}

/* Eight letters or digits of the folder's name, upper case, ".PKG". */
std::string PackageName(const std::string &strName)
{
    std::string str;
    for (char c : strName)
        if (str.size() < PACKAGE_STEM && isalnum((unsigned char)c))
            str += (char)toupper((unsigned char)c);
    return (str.empty() ? "PRODUCT" : str) + ".PKG";
}

std::string FormatProduct(const std::string &strName, const std::string &strSourceDir,
                          const std::vector<FoundFile> &vFiles, const std::vector<std::string> &vFolders,
                          bool fStdout)
{
    uint64_t nTotal = 0;
    for (const FoundFile &f : vFiles)
        nTotal += f.nSize;
    /* The product's own folder is new on most machines: its name must be
       one the installer creates. */
    std::string strDir = CheckName(strName, true).empty() ? strName : "PRODUCT";
    std::string str = "# Product file for the files under " + strSourceDir + ", written by quarnel-kit init.\n"
                      "# Check the names, the destination and the messages; the keys are described in\n"
                      "# docs/product-file.md.\n" +
                      std::string(fStdout ? "# It went to standard output, so the source paths start from the folder\n"
                                            "# init ran in: save it there, or change them.\n" : "") + "\n"
                      "[product]\nname = " + TomlString(strName) + "\nversion = \"1.0\"\n"
                      "description = " + TomlString(strName + " 1.0") + "\n\n"
                      "[install]\npackage = " + TomlString(PackageName(strName)) + "\n"
                      "destination = " + TomlString("C:\\" + strDir) + "\n"
                      "space_kb = " + std::to_string((nTotal + 1023) / 1024) + "\n"
                      "show_progress = true\n";
    if (!vFolders.empty()) {
        str += "subdirectories = [\n";
        for (const std::string &strFolder : vFolders)
            str += "    " + TomlString(Backslashed(strFolder)) + ",\n";
        str += "]\n";
    }
    for (const FoundFile &f : vFiles) {
        std::string strDate(f.szDate);
        std::string strSource = strSourceDir == "." ? f.strRel : (fs::path(strSourceDir) / f.strRel).generic_string();
        str += "\n[[item]]\nsource = " + TomlString(strSource) + "\n" +
               "destination = " + TomlString("%D" + Backslashed(f.strRel)) + "\n" +
               "name = " + TomlString(fs::path(f.strRel).filename().string()) + "\n" +
               "date = " + strDate.substr(0, 4) + "-" + strDate.substr(4, 2) + "-" + strDate.substr(6, 2) + "\n" +
               "overwrite = \"A\"\n";
    }
    return str;
}

/* The folder the source paths are written from: the product file's, or
   the current one on standard output. */
fs::path SourceBase(const std::string &strProductFile)
{
    std::error_code ec;
    std::string strProductDir = fs::path(strProductFile).parent_path().string();
    return fs::weakly_canonical(fs::absolute(strProductDir.empty() ? "." : strProductDir, ec), ec);
}

} // namespace

int MakeStarterProduct(const InitRequest &request, std::string *pstrText, std::vector<std::string> *pvProblems,
                       std::vector<std::string> *pvNotes)
{
    const std::string &strDir = request.strDir;
    std::error_code ec;
    if (!fs::is_directory(strDir, ec)) {
        pvProblems->push_back(strDir + ": not a folder; name the folder that holds the product's files");
        return 0;
    }
    Walker w;
    w.strProductFile = request.strProductFile;
    w.fHidden = request.fHidden;
    WalkFolder(&w, strDir, "");
    std::vector<FoundFile> &vFiles = w.vFiles;
    std::vector<std::string> &vFolders = w.vFolders;
    *pvProblems = w.vProblems;
    if (vFiles.size() > MAX_ITEMS)
        pvProblems->push_back(strDir + ": " + std::to_string(vFiles.size()) + " files; an installer holds at most " +
                              std::to_string(MAX_ITEMS) + " items");
    if (vFolders.size() > MAX_SUBDIRS)
        pvProblems->push_back(strDir + ": " + std::to_string(vFolders.size()) + " folders; an installer creates at most " +
                              std::to_string(MAX_SUBDIRS));
    CheckLetterCase(strDir, vFiles, vFolders, pvProblems);
    if (!pvProblems->empty()) {
        std::sort(pvProblems->begin(), pvProblems->end());
        return 0;
    }
    if (w.nLeftOut)
        pvNotes->push_back(strDir + ": left out " + std::to_string(w.nLeftOut) + " hidden file" +
                           (w.nLeftOut == 1 ? " or folder" : "s and folders") + " (names starting with a dot); "
                           "pass --hidden to take them");
    /* Byte order of the relative paths: the same on every machine, and a
       parent folder always before its children. */
    std::sort(vFiles.begin(), vFiles.end(), [](const FoundFile &a, const FoundFile &b) { return a.strRel < b.strRel; });
    std::sort(vFolders.begin(), vFolders.end());
    /* Both folders as they really are, links resolved: a product file
       reached through a link reads its sources from where it lies. */
    fs::path abs = fs::weakly_canonical(fs::absolute(strDir, ec), ec);
    fs::path rel = abs.lexically_relative(SourceBase(request.strProductFile));
    std::string strSourceDir = (rel.empty() ? abs : rel).generic_string();
    if (!strSourceDir.empty() && strSourceDir.back() == '/')
        strSourceDir.pop_back();
    /* The product file's own name says best what the product is called;
       on standard output the folder's name is the guess. */
    std::string strName = request.strProductFile.empty()
                              ? (abs.filename().empty() ? abs.parent_path() : abs).filename().string()
                              : fs::path(request.strProductFile).stem().string();
    *pstrText = FormatProduct(strName.empty() ? "Product" : strName, strSourceDir, vFiles, vFolders,
                              request.strProductFile.empty());
    return 1;
}
