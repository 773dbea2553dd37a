/* kit_main.cpp - quarnel-kit, the product author's command-line tool:
 * start a product file for a folder, build its installer and package from
 * the installer stub and sign them, write its classic files (manifest and
 * package script), pack a package without Windows, seal its checksums
 * into the installer, list a package's records, lint a built installer's
 * manifest and verify a package against it. */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <CLI/CLI.hpp>
#include <fstream>
#include <iterator>

#include "kit_build.h"
#include "kit_lint.h"
#include "kit_output.h"
#include "kit_package.h"
#include "kit_pe.h"
#include "kit_product.h"
#include "kit_seal.h"
#include "resource.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define IsTerminal(fd) _isatty(fd)
#else
#include <unistd.h>
#define IsTerminal(fd) isatty(fd)
#endif

namespace {

enum { EXIT_FINDINGS = 1, EXIT_USAGE = 2 };
const uint64_t PROGRESS_FROM = 16u << 20; /* packages smaller than this pack silently */

struct Options {
    std::string strScript, strOutput, strPackage, strExe, strProduct, strDir;
    std::string strStub, strSignPkcs12, strPasswordFile;
    bool fDryRun = false;
    bool fStrict = false;
    bool fNoSeal = false;
};

int ReportFailure(const std::string &strMessage)
{
    fprintf(stderr, "quarnel-kit: error: %s\n", strMessage.c_str());
    return EXIT_FINDINGS;
}

/* ---- pack -------------------------------------------------------------- */

void ShowProgress(uint64_t nDone, uint64_t nTotal, const ScriptEntry &item)
{
    static int nLastPercent = -1;
    int nPercent = nTotal ? (int)(nDone * 100 / nTotal) : 100;
    if (nPercent == nLastPercent)
        return;
    nLastPercent = nPercent;
    fprintf(stderr, "\rpacking %3d%%  %.60s\033[K", nPercent, item.strWritten.c_str());
    fflush(stderr);
}

int RunPack(const Options &opt)
{
    ScriptInfo info;
    std::string strError;
    if (!ReadScript(opt.strScript, &info, &strError) || !CheckPackageName(info, &strError))
        return ReportFailure(strError);
    if (opt.fDryRun) {
        printf("%s\n", opt.strOutput.empty() ? info.package.strPath.c_str() : opt.strOutput.c_str());
        for (const ScriptEntry &item : info.vItems)
            printf("%s\n", item.strPath.empty() ? item.strWritten.c_str() : item.strPath.c_str());
        return 0;
    }
    uint64_t nTotal = 0;
    for (const ScriptEntry &item : info.vItems) {
        std::string strIgnored;
        nTotal += item.strPath.empty() ? 0 : MeasureItem(item.strPath, &strIgnored);
    }
    bool fProgress = nTotal >= PROGRESS_FROM && IsTerminal(2);
    int fOk = PackScript(info, opt.strOutput, fProgress ? ShowProgress : nullptr, &strError);
    if (fProgress)
        fprintf(stderr, "\n");
    return fOk ? 0 : ReportFailure(strError);
}

/* ---- manifest from the executable -------------------------------------- */

/* Which language the blocks were read in, e.g. "0x0000 (3 blocks),
   0x0407 (1 block)": each block is read on its own, as the installer's
   LoadStringA finds it. */
std::string DescribeBlockLanguages(const StringTable &table)
{
    std::map<unsigned, unsigned> mapCounts;
    for (const auto &block : table.mapBlockLanguages)
        mapCounts[block.second]++;
    std::string str;
    for (const auto &lang : mapCounts) {
        char sz[64];
        snprintf(sz, sizeof sz, "%s0x%04x (%u block%s)", str.empty() ? "" : ", ", lang.first, lang.second,
                 lang.second == 1 ? "" : "s");
        str += sz;
    }
    return str;
}

/* Reads the manifest, keeping the image in *pvImage for further reading. */
int ReadManifest(const std::string &strExe, Manifest *pManifest, std::vector<unsigned char> *pvImage)
{
    std::string strBytes, strError;
    if (!ReadWholeFile(strExe, &strBytes, &strError)) {
        ReportFailure(strError);
        return 0;
    }
    std::vector<unsigned char> &vImage = *pvImage;
    vImage.assign(strBytes.begin(), strBytes.end());
    StringTable table;
    if (!ReadPeStringTable(vImage, &table, &strError)) {
        ReportFailure(strExe + ": " + strError);
        return 0;
    }
    if (table.vLanguages.size() > 1)
        fprintf(stderr, "quarnel-kit: note: %s: the string table carries %zu languages; checked: %s\n",
                strExe.c_str(), table.vLanguages.size(), DescribeBlockLanguages(table).c_str());
    *pManifest = table.mapEntries;
    return 1;
}

/* The findings on stdout; a count naming the checked files on stderr, so
   that a build log shows which product they belong to. */
int ReportFindings(const Options &opt, std::vector<Finding> *pv)
{
    SortFindings(pv);
    for (const Finding &f : *pv)
        printf("%s\n", FormatFinding(f).c_str());
    fflush(stdout);
    int nErrors = CountErrors(*pv);
    if (!pv->empty())
        fprintf(stderr, "quarnel-kit: %s%s%s: %d error%s, %d warning%s\n", opt.strExe.c_str(),
                opt.strPackage.empty() ? "" : ", ", opt.strPackage.c_str(), nErrors, nErrors == 1 ? "" : "s",
                (int)pv->size() - nErrors, pv->size() - nErrors == 1 ? "" : "s");
    return (nErrors > 0 || (opt.fStrict && !pv->empty())) ? EXIT_FINDINGS : 0;
}

int LintInto(const Options &opt, Manifest *pManifest, std::vector<unsigned char> *pvImage, ScriptInfo *pScript,
             std::vector<Finding> *pv)
{
    if (!ReadManifest(opt.strExe, pManifest, pvImage))
        return 0;
    if (!opt.strScript.empty()) {
        std::string strError;
        if (!ReadScript(opt.strScript, pScript, &strError)) {
            ReportFailure(strError);
            return 0;
        }
    }
    LintManifest(*pManifest, opt.strScript.empty() ? nullptr : pScript, pv);
    return 1;
}

/* With a script, lint also tells whether the package the script names, once
   one has been packed there, is still the one sealed into the installer:
   that is where an author who repacks by hand meets message 307. */
int RunLint(const Options &opt)
{
    Manifest manifest;
    std::vector<unsigned char> vImage;
    ScriptInfo script;
    std::vector<Finding> v;
    if (!LintInto(opt, &manifest, &vImage, &script, &v))
        return EXIT_FINDINGS;
    PackageLayout layout;
    std::string strError;
    const std::string &strPackage = script.package.strPath;
    if (!strPackage.empty() && ReadPackageLayout(strPackage, &layout, &strError) &&
        !VerifyImageSums(vImage, strPackage, layout, (size_t)CheckedItemCount(manifest), &v, &strError))
        return ReportFailure(opt.strExe + ": " + strError);
    return ReportFindings(opt, &v);
}

/* The package against the manifest, and against the checksums sealed
   into the installer when it carries them. */
int RunVerify(const Options &opt)
{
    Manifest manifest;
    std::vector<unsigned char> vImage;
    ScriptInfo script;
    std::vector<Finding> v;
    if (!LintInto(opt, &manifest, &vImage, &script, &v))
        return EXIT_FINDINGS;
    PackageLayout layout;
    std::string strError;
    if (!ReadPackageLayout(opt.strPackage, &layout, &strError))
        return ReportFailure(strError);
    VerifyPackage(manifest, layout, &v);
    if (!VerifyImageSums(vImage, opt.strPackage, layout, (size_t)CheckedItemCount(manifest), &v, &strError))
        return ReportFailure(opt.strExe + ": " + strError);
    return ReportFindings(opt, &v);
}

/* ---- seal -------------------------------------------------------------- */

/* Standard output without -o; else the whole file or none. */
int WriteOutput(const Options &opt, const std::string &strText)
{
    if (opt.strOutput.empty()) {
        fputs(strText.c_str(), stdout);
        return 0;
    }
    std::string strError;
    if (!WriteFileWhole(opt.strOutput, strText, &strError))
        return ReportFailure(strError);
    return 0;
}

int RunSeal(const Options &opt)
{
    std::vector<unsigned char> vSums;
    std::string strError;
    if (!MakePackageSums(opt.strPackage, &vSums, &strError))
        return ReportFailure(strError);
    size_t nSlash = opt.strPackage.find_last_of("/\\");
    return WriteOutput(opt, FormatSumsRc(vSums, nSlash == std::string::npos ? opt.strPackage
                                                                           : opt.strPackage.substr(nSlash + 1)));
}

/* ---- product file ------------------------------------------------------ */

/* Loads the product, printing its warnings and errors; 0 on any error. */
int LoadProductReporting(const Options &opt, Product *pProduct)
{
    std::vector<std::string> vMessages;
    int fOk = LoadProduct(opt.strProduct, pProduct, &vMessages);
    for (const std::string &str : vMessages)
        fprintf(stderr, "%s\n", str.c_str());
    if (!fOk)
        fprintf(stderr, "quarnel-kit: %s: nothing written; fix the errors above\n", opt.strProduct.c_str());
    return fOk;
}

int RunManifest(const Options &opt)
{
    Product product;
    if (!LoadProductReporting(opt, &product))
        return EXIT_FINDINGS;
    return WriteOutput(opt, FormatManifestRc(product));
}

int RunScript(const Options &opt)
{
    Product product;
    if (!LoadProductReporting(opt, &product))
        return EXIT_FINDINGS;
    std::string strText, strError;
    if (!FormatPackageScript(product, opt.strOutput.empty() ? "package.qps" : opt.strOutput, &strText, &strError))
        return ReportFailure(strError);
    return WriteOutput(opt, strText);
}

/* ---- build ------------------------------------------------------------- */

/* The folder the running kit lies in, ending in a separator. */
std::string KitDir()
{
    char sz[4096] = "";
#ifdef _WIN32
    DWORD cch = GetModuleFileNameA(NULL, sz, sizeof sz);
    std::string str(sz, cch < sizeof sz ? cch : 0);
#else
    ssize_t cch = readlink("/proc/self/exe", sz, sizeof sz - 1);
    std::string str(sz, cch > 0 ? (size_t)cch : 0);
#endif
    size_t nSlash = str.find_last_of("/\\");
    return nSlash == std::string::npos ? std::string() : str.substr(0, nSlash + 1);
}

/* SOURCE_DATE_EPOCH, when set, is the build's time: the PE header's time
   stamp and the signing time.  Unset, the header has none. */
int ReadBuildTime(BuildRequest *pRequest)
{
    const char *psz = getenv("SOURCE_DATE_EPOCH");
    if (!psz || !*psz)
        return 1;
    char *pszEnd = nullptr;
    unsigned long long u = strtoull(psz, &pszEnd, 10);
    if (*pszEnd || *psz < '0' || *psz > '9' || u > 0xffffffffull) {
        ReportFailure(std::string("SOURCE_DATE_EPOCH=") + psz +
                      ": not a number of seconds since 1970 that a PE header can hold");
        return 0;
    }
    pRequest->dwTimeStamp = (uint32_t)u;
    pRequest->sign.strTime = std::to_string(u);
    return 1;
}

/* The certificate's password from the file named, else from the
   environment; a file's one trailing line end is not part of it. */
int ReadPassword(const Options &opt, std::string *pstrPassword)
{
    std::string strFrom = "the environment variable " SIGN_PASSWORD_VARIABLE;
    if (opt.strPasswordFile.empty()) {
        const char *psz = getenv(SIGN_PASSWORD_VARIABLE);
        *pstrPassword = psz ? psz : "";
    } else {
        std::ifstream in(opt.strPasswordFile, std::ios::binary);
        if (!in) {
            ReportFailure(opt.strPasswordFile + ": cannot open the password file");
            return 0;
        }
        pstrPassword->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        for (const char *pszEnd : {"\n", "\r"})
            if (!pstrPassword->empty() && pstrPassword->back() == *pszEnd)
                pstrPassword->pop_back();
        strFrom = opt.strPasswordFile;
    }
    /* Refused before anything is built: osslsigncode would read a part of
       it and fail as if it were wrong. */
    if (pstrPassword->size() > MAX_SIGN_PASSWORD) {
        ReportFailure(strFrom + ": the certificate's password is " + std::to_string(pstrPassword->size()) +
                      " bytes; osslsigncode reads at most " + std::to_string(MAX_SIGN_PASSWORD));
        return 0;
    }
    return 1;
}

int RunBuild(const Options &opt)
{
    Product product;
    std::vector<std::string> vMessages;
    int fLoaded = LoadProduct(opt.strProduct, &product, &vMessages);
    for (const std::string &str : vMessages)
        fprintf(stderr, "%s\n", str.c_str());
    if (!fLoaded)
        return EXIT_FINDINGS;
    BuildRequest request;
    request.strOutDir = opt.strOutput;
    request.strStub = opt.strStub.empty() ? KitDir() + "quarnel-stub-win32.exe" : opt.strStub;
    request.fSeal = !opt.fNoSeal;
    request.sign.strPkcs12 = opt.strSignPkcs12;
    if (!ReadBuildTime(&request) || (!opt.strSignPkcs12.empty() && !ReadPassword(opt, &request.sign.strPassword)))
        return EXIT_FINDINGS;
    BuildResult result;
    std::string strError;
    int fBuilt = BuildProduct(product, request, &result, &strError);
    Options checked = opt;
    checked.strExe = result.strInstaller;
    checked.strPackage = result.strPackage;
    int nExit = ReportFindings(checked, &result.vFindings);
    if (!fBuilt)
        return strError.empty() ? EXIT_FINDINGS : ReportFailure(strError);
    fprintf(stderr, "quarnel-kit: wrote %s and %s\n", result.strInstaller.c_str(), result.strPackage.c_str());
    return nExit;
}

/* An installer built elsewhere (quarnel_add_product) signed in place, with
   the same password handling and time as build's. */
int RunSign(const Options &opt)
{
    BuildRequest request;
    request.sign.strPkcs12 = opt.strSignPkcs12;
    if (!ReadBuildTime(&request) || !ReadPassword(opt, &request.sign.strPassword))
        return EXIT_FINDINGS;
    std::string strError;
    if (!SignExecutable(opt.strExe, opt.strExe, request.sign, &strError))
        return ReportFailure(strError);
    return 0;
}

int RunInit(const Options &opt)
{
    std::string strText;
    std::vector<std::string> vProblems;
    if (!MakeStarterProduct(opt.strDir, opt.strOutput, &strText, &vProblems)) {
        for (const std::string &str : vProblems)
            fprintf(stderr, "quarnel-kit: error: %s\n", str.c_str());
        fprintf(stderr, "quarnel-kit: %s: no product file written\n", opt.strDir.c_str());
        return EXIT_FINDINGS;
    }
    return WriteOutput(opt, strText);
}

/* ---- list -------------------------------------------------------------- */

typedef std::vector<std::string> Row;

void PrintTable(const std::vector<Row> &vRows)
{
    std::vector<size_t> vWidths;
    for (const Row &row : vRows)
        for (size_t c = 0; c < row.size(); c++) {
            if (vWidths.size() <= c)
                vWidths.push_back(0);
            vWidths[c] = std::max(vWidths[c], row[c].size());
        }
    for (const Row &row : vRows) {
        std::string strLine;
        for (size_t c = 0; c < row.size(); c++) {
            std::string strPad(vWidths[c] - row[c].size(), ' ');
            strLine += c < 3 ? strPad + row[c] : row[c] + strPad; /* numbers right, texts left */
            strLine += "  ";
        }
        strLine.erase(strLine.find_last_not_of(' ') + 1);
        printf("%s\n", strLine.c_str());
    }
}

std::string Entry(const Manifest &m, unsigned uId)
{
    Manifest::const_iterator it = m.find(uId);
    return it == m.end() ? std::string() : it->second;
}

std::string DescribeRecordState(const PackageRecord &rec)
{
    if (rec.lLength < 0)
        return "negative length";
    if (rec.lLength == 0)
        return "empty record";
    return "truncated: " + std::to_string(rec.nPresent) + " of " + std::to_string(rec.lLength) + " bytes";
}

int RunList(const Options &opt)
{
    PackageLayout layout;
    std::string strError;
    if (!ReadPackageLayout(opt.strPackage, &layout, &strError))
        return ReportFailure(strError);
    Manifest manifest;
    std::vector<unsigned char> vImage;
    bool fManifest = !opt.strExe.empty();
    if (fManifest && !ReadManifest(opt.strExe, &manifest, &vImage))
        return EXIT_FINDINGS;
    size_t nItems = fManifest ? (size_t)CheckedItemCount(manifest) : 0;
    std::vector<Row> vRows;
    vRows.push_back({"index", "offset", "length"});
    if (fManifest)
        vRows[0].insert(vRows[0].end(), {"destination", "name", "date", "rule"});
    vRows[0].push_back("note");
    int fDamaged = layout.fTruncated || layout.fBadLength || layout.nTrailing > 0;
    for (size_t i = 0; i < std::max(layout.vRecords.size(), nItems); i++) {
        Row row;
        if (i < layout.vRecords.size()) {
            const PackageRecord &rec = layout.vRecords[i];
            row = {std::to_string(i), std::to_string(rec.nOffset), std::to_string(rec.lLength)};
        } else {
            row = {std::to_string(i), "-", "-"};
        }
        if (fManifest && i < nItems)
            for (unsigned uBase : {IDS_ITEM_DEST, IDS_ITEM_NAME, IDS_ITEM_DATE, IDS_ITEM_RULE})
                row.push_back(Entry(manifest, uBase + (unsigned)i));
        else if (fManifest)
            row.insert(row.end(), {"", "", "", ""});
        if (i >= layout.vRecords.size())
            row.push_back("no record");
        else if (!IsSoundRecord(layout.vRecords[i]))
            row.push_back(DescribeRecordState(layout.vRecords[i]));
        else if (fManifest && i >= nItems)
            row.push_back("surplus: never read");
        else
            row.push_back("");
        vRows.push_back(row);
    }
    PrintTable(vRows);
    printf("%s: %zu records, %llu bytes\n", opt.strPackage.c_str(), layout.vRecords.size(),
           (unsigned long long)layout.nSize);
    if (layout.nTrailing > 0)
        printf("%s: %llu trailing bytes at offset %llu are too few for a record length\n",
               opt.strPackage.c_str(), (unsigned long long)layout.nTrailing,
               (unsigned long long)layout.nTrailingOffset);
    return (fDamaged || layout.vRecords.size() < nItems) ? EXIT_FINDINGS : 0;
}

/* ---- command line ------------------------------------------------------ */

/* What --help shows for a subcommand beyond its options. */
struct CommandText {
    const char *pszName;
    const char *pszSummary;
    const char *pszFooter;
};

const CommandText aCommands[] = {
    {"pack", "Write the package named in a package script.",
     "Names in the script resolve against the current directory; a backslash is a\n"
     "directory separator and drive letters are refused.  The bytes written are the\n"
     "ones quarnel.exe SCRIPT writes.  A failed pack leaves no package behind.\n\n"
     "Examples:\n"
     "  quarnel-kit script sample.toml -o sample.qps && quarnel-kit pack sample.qps\n"
     "  quarnel-kit pack sample.qps -o build/SAMPLE.PKG\n"
     "  quarnel-kit pack --dry-run sample.qps"},
    {"seal", "Write the package's checksums as a resource script for its installer.",
     "The script holds one RCDATA resource, " RES_PACKAGE_SUMS ": the package's record count,\n"
     "its length and a CRC-32 per record.  An installer linked with it checks its\n"
     "package before writing anything: a package of another length, or a record that\n"
     "differs, stops the install with message 307.  quarnel_add_product does this\n"
     "for every product.  A damaged package is not sealed.\n\n"
     "Examples:\n"
     "  quarnel-kit seal build/win32/SAMPLE.PKG -o build/win32/sample_sums.rc\n"
     "  quarnel-kit seal SAMPLE.PKG"},
    {"list", "Show the records of a package, with its manifest items.",
     "One row per record: index, offset, length; with EXE also destination, display\n"
     "name, date and rule of the item.  Exit code 1 when the package is damaged\n"
     "(truncated record, trailing bytes) or holds fewer records than items.\n\n"
     "Examples:\n"
     "  quarnel-kit list build/win32/SAMPLE.PKG\n"
     "  quarnel-kit list build/win32/SAMPLE.PKG build/win32/quarnel.exe"},
    {"lint", "Check the manifest of a built quarnel.exe.",
     "Prints \"ID: error|warning: message\" lines; exit code 1 on any error.  With\n"
     "SCRIPT, the package the script names, once packed, must also match the checksums\n"
     "sealed into the installer (see verify).\n\n"
     "Examples:\n"
     "  quarnel-kit lint build/win32/quarnel.exe\n"
     "  quarnel-kit lint build/win32/quarnel.exe build/win32/examples/sample.qps"},
    {"build", "Build a product's installer and package from its product file.",
     "Writes OUTDIR/" INSTALLER_NAME " (the stub with the product's manifest, the package's\n"
     "checksums unless --no-seal, and a version resource) and the package beside\n"
     "it, then checks both as verify does.  Runs no other program, except\n"
     "osslsigncode to sign.  The stub is quarnel-stub-win32.exe beside quarnel-kit\n"
     "unless --stub names another (quarnel-stub-win64.exe for 64-bit Windows).\n"
     "SOURCE_DATE_EPOCH, when set, is written as the PE time stamp and used as the\n"
     "signing time; unset, the installer has no time stamp.  The signing\n"
     "certificate's password comes from --sign-password-file or from the\n"
     "environment variable QUARNEL_SIGN_PASSWORD, never from the command line.\n"
     "A failed build leaves the output folder as it was, earlier outputs included.\n\n"
     "Examples:\n"
     "  quarnel-kit build sample.toml -o dist\n"
     "  quarnel-kit build sample.toml -o dist --stub quarnel-stub-win64.exe\n"
     "  QUARNEL_SIGN_PASSWORD=... quarnel-kit build sample.toml -o dist --sign-pkcs12 me.p12"},
    {"sign", "Sign a built installer with Authenticode, in place.",
     "Runs osslsigncode with the certificate; its password comes from\n"
     "--sign-password-file or QUARNEL_SIGN_PASSWORD, and SOURCE_DATE_EPOCH, when\n"
     "set, is the signing time.  quarnel_add_product(... SIGN_PKCS12 file) runs it\n"
     "after sealing.  A failed signing leaves the installer as it was.\n\n"
     "Examples:\n"
     "  QUARNEL_SIGN_PASSWORD=... quarnel-kit sign dist/quarnel.exe --sign-pkcs12 me.p12"},
    {"verify", "Lint, then check a package against the manifest.",
     "Every item needs a whole record; surplus records are reported.  When the\n"
     "installer carries the package's checksums (quarnel_add_product seals them in\n"
     "unless told NO_SEAL), the package must match them, or the installer refuses it\n"
     "with message 307: pack and seal again, or build the installer with NO_SEAL.\n\n"
     "Examples:\n"
     "  quarnel-kit verify build/win32/quarnel.exe build/win32/SAMPLE.PKG\n"
     "  quarnel-kit verify quarnel.exe SAMPLE.PKG --script sample.qps --strict"},
    {"init", "Write a starting product file for the files under a folder.",
     "Every file becomes an item (in the byte order of its path, installed under the\n"
     "same relative path, dated with the UTC day it was last modified, rule \"A\"), every\n"
     "folder a subdirectory.  Source paths are relative to the product file's folder.\n"
     "Files an installer cannot take stop it, each named: empty files, files of 2 GiB\n"
     "or more, folder names the installer refuses, dates outside 1980-2107, more than\n"
     "400 files.\n\n"
     "Examples:\n"
     "  quarnel-kit init files -o product.toml\n"
     "  quarnel-kit init files > product.toml"},
    {"manifest", "Write a product file's manifest and version as a resource script (.rc).",
     "The product file is checked first (every check of lint, with the line of each\n"
     "key); on any error nothing is written.  Texts are written in code page 1252.\n"
     "The version resource is the one build writes, byte for byte, once compiled.\n\n"
     "Examples:\n"
     "  quarnel-kit manifest sample.toml -o manifest.rc"},
    {"script", "Write a product file's package script (.qps).",
     "Item names are written relative to the script's folder (the current directory\n"
     "without -o).  The product file is checked first; on any error nothing is written.\n\n"
     "Examples:\n"
     "  quarnel-kit script sample.toml -o sample.qps && quarnel-kit pack sample.qps"},
};

CLI::App *AddCommand(CLI::App &app, const char *pszName)
{
    for (const CommandText &c : aCommands)
        if (strcmp(c.pszName, pszName) == 0)
            return app.add_subcommand(c.pszName, c.pszSummary)->footer(c.pszFooter);
    return nullptr;
}

/* The subcommands and their arguments, all landing in *pOpt. */
void AddCommands(CLI::App &app, Options *pOpt)
{
    CLI::App *p = AddCommand(app, "pack");
    p->add_option("SCRIPT", pOpt->strScript, "package script: *### start marker, PACKAGE# \"name\", ITEM# \"file\" ...")
        ->required();
    p->add_option("-o,--output", pOpt->strOutput, "write the package here instead of under the script's name");
    p->add_flag("-n,--dry-run", pOpt->fDryRun, "write nothing; print the package path and the item files, one per line");

    p = AddCommand(app, "seal");
    p->add_option("PACKAGE", pOpt->strPackage, "the package file")->required();
    p->add_option("-o,--output", pOpt->strOutput, "write the resource script here instead of to stdout");

    p = AddCommand(app, "list");
    p->add_option("PACKAGE", pOpt->strPackage, "package file")->required();
    p->add_option("EXE", pOpt->strExe, "the product's quarnel.exe, to show each record's manifest item");

    p = AddCommand(app, "lint");
    p->add_option("EXE", pOpt->strExe, "the product's quarnel.exe (either target)")->required();
    p->add_option("SCRIPT", pOpt->strScript, "the product's package script, to check it against the manifest");
    p->add_flag("--strict", pOpt->fStrict, "fail on warnings too");

    p = AddCommand(app, "build");
    p->add_option("PRODUCT", pOpt->strProduct, "the product file (.toml)")->required();
    p->add_option("-o,--output", pOpt->strOutput, "the folder for the installer and the package")->required();
    p->add_option("--stub", pOpt->strStub, "the installer stub to build from");
    p->add_flag("--no-seal", pOpt->fNoSeal, "leave the package checksums out of the installer");
    p->add_option("--sign-pkcs12", pOpt->strSignPkcs12, "sign the installer with this PKCS#12 certificate file");
    p->add_option("--sign-password-file", pOpt->strPasswordFile, "read the certificate's password from this file");

    p = AddCommand(app, "sign");
    p->add_option("EXE", pOpt->strExe, "the installer to sign")->required();
    p->add_option("--sign-pkcs12", pOpt->strSignPkcs12, "the PKCS#12 certificate file")->required();
    p->add_option("--sign-password-file", pOpt->strPasswordFile, "read the certificate's password from this file");

    p = AddCommand(app, "verify");
    p->add_option("EXE", pOpt->strExe, "the product's quarnel.exe")->required();
    p->add_option("PACKAGE", pOpt->strPackage, "the product's package file")->required();
    p->add_option("-s,--script", pOpt->strScript, "also check the package script against the manifest");
    p->add_flag("--strict", pOpt->fStrict, "fail on warnings too");

    p = AddCommand(app, "init");
    p->add_option("DIR", pOpt->strDir, "the folder holding the product's files")->required();
    p->add_option("-o,--output", pOpt->strOutput, "write the product file here instead of to stdout");

    for (const char *pszName : {"manifest", "script"}) {
        p = AddCommand(app, pszName);
        p->add_option("PRODUCT", pOpt->strProduct, "the product file (TOML)")->required();
        p->add_option("-o,--output", pOpt->strOutput, "write the file here instead of to stdout");
    }
}

typedef int (*RunFn)(const Options &opt);

} // namespace

int main(int argc, char **argv)
{
    CLI::App app{"quarnel-kit: starts, builds, signs, checks, packs, seals, lists, lints and verifies Quarnel "
                 "products.",
                 "quarnel-kit"};
    app.require_subcommand(1, 1);
    /* The same syntax on every system: a path such as /tmp/x is an argument,
       never a Windows-style option. */
    app.allow_windows_style_options(false);
    app.footer("Run quarnel-kit SUBCOMMAND --help for the details and examples of each.\n\n"
               "Examples:\n"
               "  quarnel-kit init files -o product.toml\n"
               "  quarnel-kit build product.toml -o dist\n"
               "  quarnel-kit manifest product.toml -o manifest.rc\n"
               "  quarnel-kit pack sample.qps\n"
               "  quarnel-kit seal SAMPLE.PKG -o sample_sums.rc\n"
               "  quarnel-kit lint quarnel.exe sample.qps\n"
               "  quarnel-kit verify quarnel.exe SAMPLE.PKG\n"
               "  quarnel-kit list SAMPLE.PKG quarnel.exe");
    Options opt;
    AddCommands(app, &opt);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int nCode = app.exit(e);
        return nCode == 0 ? 0 : EXIT_USAGE;
    }
    const std::pair<const char *, RunFn> aRuns[] = {
        {"pack", RunPack}, {"seal", RunSeal}, {"list", RunList}, {"lint", RunLint}, {"verify", RunVerify},
        {"init", RunInit}, {"manifest", RunManifest}, {"script", RunScript}, {"build", RunBuild},
        {"sign", RunSign}};
    for (const auto &run : aRuns)
        if (app.got_subcommand(run.first))
            return run.second(opt);
    return EXIT_USAGE;
}
