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

/* Why a name cannot travel into the manifest, or empty. */
std::string CheckName(const std::string &strName, bool fFolder)
{
    if (!IsUtf8Text(strName))
        return "the name is not UTF-8";
    std::string strOutside;
    std::string strAnsi = ConvertUtf8ToAnsi(strName, &strOutside);
    if (!strOutside.empty())
        return "the name has " + strOutside + ", outside code page 1252";
    if (fFolder && !IsSubOk(strAnsi.c_str(), nullptr))
        return "a folder name the installer refuses (no leading . + [ ] ; \" or comma, none of ? * : | = < > "
               "or a blank, at most one dot)";
    if (strAnsi.find_first_of("\\:*?\"<>|") != std::string::npos ||
        std::any_of(strAnsi.begin(), strAnsi.end(), [](char c) { return (unsigned char)c < 32; }))
        return "a file name Windows cannot create (\\ : * ? \" < > | or a control character)";
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

/* The product file itself, written into the folder by an earlier run, is
   no item of the product. */
void Walk(const fs::path &dir, const std::string &strProductFile, std::vector<FoundFile> *pvFiles,
          std::vector<std::string> *pvFolders, std::vector<std::string> *pvProblems)
{
    std::error_code ec, ecSame;
    for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        if (!strProductFile.empty() && fs::equivalent(it->path(), strProductFile, ecSame))
            continue;
        std::string strRel = it->path().lexically_relative(dir).generic_string();
        std::string strShown = (dir / strRel).string();
        bool fFolder = it->is_directory(ec);
        std::string strWhy = CheckName(it->path().filename().string(), fFolder);
        if (fFolder) {
            pvFolders->push_back(strRel);
        } else if (!it->is_regular_file(ec)) {
            strWhy = "not a regular file";
        } else {
            FoundFile f;
            f.strRel = strRel;
            f.nSize = it->file_size(ec);
            if (f.nSize == 0)
                strWhy = "empty: a package record holds at least one byte (leave it out, or give it content)";
            else if (f.nSize > MAX_ITEM_SIZE)
                strWhy = "2 GiB or more: a package record holds at most 2147483647 bytes";
            if (strWhy.empty())
                strWhy = CheckDate(it->path(), f.szDate);
            pvFiles->push_back(f);
        }
        if (!strWhy.empty())
            pvProblems->push_back(strShown + ": " + strWhy);
    }
    if (ec)
        pvProblems->push_back(dir.string() + ": cannot read: " + ec.message());
}

/* Windows names ignore letter case: two paths that differ only in it
   would be one file on the target. */
void CheckLetterCase(const std::string &strDir, const std::vector<FoundFile> &vFiles,
                     const std::vector<std::string> &vFolders, std::vector<std::string> *pvProblems)
{
    std::map<std::string, std::string> mapSeen;
    std::vector<std::string> vPaths(vFolders);
    for (const FoundFile &f : vFiles)
        vPaths.push_back(f.strRel);
    std::sort(vPaths.begin(), vPaths.end());
    for (const std::string &strRel : vPaths) {
        std::string strFolded = strRel;
        for (char &c : strFolded)
            c = (char)toupper((unsigned char)c);
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
                          const std::vector<FoundFile> &vFiles, const std::vector<std::string> &vFolders)
{
    uint64_t nTotal = 0;
    for (const FoundFile &f : vFiles)
        nTotal += f.nSize;
    std::string strDir = IsUtf8Text(strName) && IsSubOk(strName.c_str(), nullptr) && strName.find(' ') == std::string::npos
                             ? strName : "PRODUCT";
    std::string str = "# Product file for the files under " + strSourceDir + ", written by quarnel-kit init.\n"
                      "# Check the names, the destination and the messages; the keys are described in\n"
                      "# docs/product-file.md.\n\n"
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

} // namespace

int MakeStarterProduct(const std::string &strDir, const std::string &strProductFile, std::string *pstrText,
                       std::vector<std::string> *pvProblems)
{
    std::string strProductDir = fs::path(strProductFile).parent_path().string();
    std::error_code ec;
    if (!fs::is_directory(strDir, ec)) {
        pvProblems->push_back(strDir + ": not a folder; name the folder that holds the product's files");
        return 0;
    }
    std::vector<FoundFile> vFiles;
    std::vector<std::string> vFolders;
    Walk(strDir, strProductFile, &vFiles, &vFolders, pvProblems);
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
    /* Byte order of the relative paths: the same on every machine, and a
       parent folder always before its children. */
    std::sort(vFiles.begin(), vFiles.end(), [](const FoundFile &a, const FoundFile &b) { return a.strRel < b.strRel; });
    std::sort(vFolders.begin(), vFolders.end());
    fs::path abs = fs::absolute(strDir, ec).lexically_normal();
    fs::path rel = abs.lexically_relative(fs::absolute(strProductDir.empty() ? "." : strProductDir, ec).lexically_normal());
    std::string strSourceDir = (rel.empty() ? abs : rel).generic_string();
    if (!strSourceDir.empty() && strSourceDir.back() == '/')
        strSourceDir.pop_back();
    /* The product file's own name says best what the product is called;
       on standard output the folder's name is the guess. */
    std::string strName = strProductFile.empty() ? (abs.filename().empty() ? abs.parent_path() : abs).filename().string()
                                                 : fs::path(strProductFile).stem().string();
    *pstrText = FormatProduct(strName.empty() ? "Product" : strName, strSourceDir, vFiles, vFolders);
    return 1;
}
