/* kit_main.cpp - quarnel-kit, the product author's command-line tool:
 * start a product file for a folder, build its installer and package from
 * the installer stub and sign them, preview them under Wine, write its classic files (manifest and
 * package script), pack a package without Windows, seal its checksums
 * into the installer, list a package's records, lint a built installer's
 * manifest and verify a package against it. */
#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <CLI/CLI.hpp>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fixed.h"
#include "kit_build.h"
#include "kit_lint.h"
#include "kit_package.h"
#include "kit_pe.h"
#include "kit_preview.h"
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

/* The kit's own version: raised when the product file's keys, the
   commands or what they write change. */
const char *const pszKitVersion = "quarnel-kit 1.1";
const uint64_t PROGRESS_FROM = 16u << 20; /* packages smaller than this pack silently */

struct Options {
    std::string strScript, strOutput, strPackage, strExe, strProduct, strDir;
    std::string strStub, strSignPkcs12, strPasswordFile;
    std::string strFromProduct; /* verify: the product file the manifest was written from */
    bool fDryRun = false;
    bool fStrict = false;
    bool fNoSeal = false;
    bool f32 = false, f64 = false;
    bool fForce = false;    /* init: replace an existing product file */
    bool fHidden = false;   /* init: take names starting with a dot */
};

/* The variable that holds the signing certificate's password, unless a
   file is named: never a command-line argument, which others can read. */
const char *const pszPasswordVariable = "QUARNEL_SIGN_PASSWORD";

int ReportFailure(const std::string &strMessage)
{
    fprintf(stderr, "quarnel-kit: error: %s\n", strMessage.c_str());
    return EXIT_FINDINGS;
}

/* The one line a command that succeeded ends with, on stderr so that a
   command writing to stdout keeps its output clean. */
void ReportDone(const std::string &strWhat)
{
    fprintf(stderr, "quarnel-kit: %s\n", strWhat.c_str());
}

std::string Counted(int n, const char *pszWhat)
{
    return std::to_string(n) + " " + pszWhat + (n == 1 ? "" : "s");
}

/* The verdict on a checked file with nErrors errors and nWarnings
   warnings: exit code 1 on errors, and on warnings under --strict, which
   the line then names as the reason. */
int ReportVerdict(const std::string &strWhat, int nErrors, int nWarnings, bool fStrict, const char *pszDone)
{
    std::string strCounts = Counted(nErrors, "error") + ", " + Counted(nWarnings, "warning");
    if (nErrors > 0) {
        fprintf(stderr, "quarnel-kit: %s: %s\n", strWhat.c_str(), strCounts.c_str());
        return EXIT_FINDINGS;
    }
    if (fStrict && nWarnings > 0) {
        fprintf(stderr, "quarnel-kit: %s: failed because of --strict: %s\n", strWhat.c_str(),
                Counted(nWarnings, "warning").c_str());
        return EXIT_FINDINGS;
    }
    ReportDone(strWhat + ": " + pszDone + " (" + strCounts + ")");
    return 0;
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
    if (!fOk)
        return ReportFailure(strError);
    ReportDone("wrote " + (opt.strOutput.empty() ? info.package.strPath : opt.strOutput) + " (" +
               Counted((int)info.vItems.size(), "record") + ")");
    return 0;
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

/* The findings of a built installer, each at its entry, then the verdict
   naming the checked files, so that a build log shows which product they
   belong to. */
void PrintInstallerFindings(const std::string &strExe, std::vector<Finding> *pv)
{
    SortFindings(pv);
    for (const Finding &f : *pv) {
        FindingPlace place;
        place.strFile = strExe;
        place.strKey = "entry " + std::to_string(f.uId);
        PrintFinding(place, f.severity, f.strMessage);
    }
}

int ReportFindings(const Options &opt, std::vector<Finding> *pv, const char *pszDone)
{
    PrintInstallerFindings(opt.strExe, pv);
    int nErrors = CountErrors(*pv);
    return ReportVerdict(opt.strExe + (opt.strPackage.empty() ? "" : ", " + opt.strPackage), nErrors,
                         (int)pv->size() - nErrors, opt.fStrict, pszDone);
}

/* A manifest written from a product file had its own findings reported
   then, at the product's lines (quarnel_add_product runs `manifest`, then
   `verify --from-product`): only what the script and the package add is
   new here, and each finding is printed once. */
void DropReportedFindings(const Manifest &manifest, std::vector<Finding> *pv)
{
    std::vector<Finding> vOwn;
    LintManifest(manifest, nullptr, &vOwn);
    for (const Finding &own : vOwn)
        for (size_t i = 0; i < pv->size(); i++)
            if ((*pv)[i].uId == own.uId && (*pv)[i].severity == own.severity && (*pv)[i].strMessage == own.strMessage) {
                pv->erase(pv->begin() + (std::ptrdiff_t)i);
                break;
            }
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
    if (!opt.strFromProduct.empty())
        DropReportedFindings(*pManifest, pv);
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
        !VerifyImageSums(vImage, strPackage, layout, (size_t)CheckedItemCount(manifest), &v, &strError,
                         ROUTE_CLASSIC))
        return ReportFailure(opt.strExe + ": " + strError);
    return ReportFindings(opt, &v, "linted");
}

/* The package against the manifest, and against the checksums sealed
   into the installer when it carries them. */
/* The package an installer opens: the manifest's package name, beside
   the installer. */
std::string PackageBeside(const std::string &strExe, const Manifest &manifest)
{
    Manifest::const_iterator it = manifest.find(IDS_PACKAGE);
    std::string strName = it == manifest.end() ? std::string() : it->second.substr(0, PACKAGE_NAME_KEPT);
    size_t nSlash = strExe.find_last_of("/\\");
    return (nSlash == std::string::npos ? std::string() : strExe.substr(0, nSlash + 1)) + strName;
}

int RunVerify(const Options &optGiven)
{
    Manifest manifest;
    std::vector<unsigned char> vImage;
    ScriptInfo script;
    std::vector<Finding> v;
    Options opt = optGiven;
    if (!LintInto(opt, &manifest, &vImage, &script, &v))
        return EXIT_FINDINGS;
    if (opt.strPackage.empty())
        opt.strPackage = PackageBeside(opt.strExe, manifest);
    PackageLayout layout;
    std::string strError;
    if (!ReadPackageLayout(opt.strPackage, &layout, &strError))
        return ReportFailure(strError);
    VerifyPackage(manifest, layout, &v);
    /* With a package script the installer came the classic way (CMake, or
       manifest, script, pack and seal by hand); without one it may be
       either, and the advice names both. */
    SealRoute route = opt.strScript.empty() ? ROUTE_UNKNOWN : ROUTE_CLASSIC;
    if (!VerifyImageSums(vImage, opt.strPackage, layout, (size_t)CheckedItemCount(manifest), &v, &strError, route))
        return ReportFailure(opt.strExe + ": " + strError);
    return ReportFindings(opt, &v, "verified");
}

/* ---- seal -------------------------------------------------------------- */

/* Writes the whole text or nothing: a half-written script must not be
   taken for a finished one by the next build step. */
int WriteFileWhole(const std::string &strPath, const std::string &strText)
{
    std::string strTemp = strPath + ".tmp";
    {
        std::ofstream out(strTemp, std::ios::binary | std::ios::trunc);
        if (!(out << strText) || !out.flush())
            return 0;
    }
    if (rename(strTemp.c_str(), strPath.c_str()) != 0) {
        remove(strTemp.c_str());
        return 0;
    }
    return 1;
}

/* Standard output without -o; else the whole file or none. */
int WriteOutput(const Options &opt, const std::string &strText)
{
    if (opt.strOutput.empty()) {
        fputs(strText.c_str(), stdout);
        return 0;
    }
    if (!WriteFileWhole(opt.strOutput, strText))
        return ReportFailure(opt.strOutput + ": cannot write: " + strerror(errno));
    ReportDone("wrote " + opt.strOutput);
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

/* Loads the product, printing its findings; 0 on any error, counted in
   *pnErrors, and the warnings in *pnWarnings. */
int LoadProductPrinting(const std::string &strProduct, Product *pProduct, int *pnErrors, int *pnWarnings)
{
    std::vector<std::string> vMessages;
    int fOk = LoadProduct(strProduct, pProduct, &vMessages, pnWarnings);
    for (const std::string &str : vMessages)
        fprintf(stderr, "%s\n", str.c_str());
    *pnErrors = fOk ? 0 : (int)vMessages.size() - *pnWarnings;
    return fOk;
}

/* Loads the product as the writing commands do: 0 on any error, and on a
   warning under --strict, saying that nothing was written. */
int LoadProductReporting(const Options &opt, Product *pProduct, int *pnWarnings = nullptr)
{
    int nErrors = 0, nWarnings = 0;
    int fOk = LoadProductPrinting(opt.strProduct, pProduct, &nErrors, &nWarnings);
    if (pnWarnings)
        *pnWarnings = nWarnings;
    if (!fOk)
        fprintf(stderr, "quarnel-kit: %s: nothing written; fix the errors above\n", opt.strProduct.c_str());
    else if (opt.fStrict && nWarnings > 0)
        fprintf(stderr, "quarnel-kit: %s: failed because of --strict: %s; nothing written\n",
                opt.strProduct.c_str(), Counted(nWarnings, "warning").c_str());
    return fOk && !(opt.fStrict && nWarnings > 0);
}

/* Every check of build, and nothing written. */
int RunCheck(const Options &opt)
{
    Product product;
    int nErrors = 0, nWarnings = 0;
    LoadProductPrinting(opt.strProduct, &product, &nErrors, &nWarnings);
    return ReportVerdict(opt.strProduct, nErrors, nWarnings, opt.fStrict, "checked");
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
    if (opt.strPasswordFile.empty()) {
        const char *psz = getenv(pszPasswordVariable);
        *pstrPassword = psz ? psz : "";
        return 1;
    }
    std::ifstream in(opt.strPasswordFile, std::ios::binary);
    if (!in) {
        ReportFailure(opt.strPasswordFile + ": cannot open the password file");
        return 0;
    }
    pstrPassword->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    for (const char *pszEnd : {"\n", "\r"})
        if (!pstrPassword->empty() && pstrPassword->back() == *pszEnd)
            pstrPassword->pop_back();
    return 1;
}

/* A build's failure; when the default stub beside the kit is what is
   missing, where it was looked for and how to name another. */
void ReportBuildFailure(const Options &opt, const std::string &strStub, const std::string &strError)
{
    if (opt.strStub.empty() && strError.compare(0, strStub.size() + 2, strStub + ": ") == 0 &&
        !std::ifstream(strStub, std::ios::binary))
        ReportFailure("no installer stub beside the kit: looked for " + strStub +
                      "; the Windows build trees put quarnel-stub-win32.exe and quarnel-stub-win64.exe there, "
                      "or name one with --stub FILE");
    else if (!strError.empty())
        ReportFailure(strError);
}

int RunBuild(const Options &opt)
{
    if (!opt.strPasswordFile.empty() && opt.strSignPkcs12.empty()) {
        ReportFailure("--sign-password-file " + opt.strPasswordFile +
                      " names the password of a certificate, but no --sign-pkcs12 names the certificate");
        return EXIT_USAGE;
    }
    Product product;
    int nWarnings = 0;
    if (!LoadProductReporting(opt, &product, &nWarnings))
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
    PrintInstallerFindings(result.strInstaller, &result.vFindings);
    if (!fBuilt) {
        ReportBuildFailure(opt, request.strStub, strError);
        fprintf(stderr, "quarnel-kit: %s: nothing written\n", opt.strProduct.c_str());
        return EXIT_FINDINGS;
    }
    ReportDone("wrote " + result.strInstaller + " and " + result.strPackage + " (" +
               Counted(nWarnings + (int)result.vFindings.size(), "warning") + ")");
    return 0;
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
    if (!SignExecutable(opt.strExe, request.sign, &strError))
        return ReportFailure(strError);
    ReportDone("signed " + opt.strExe);
    return 0;
}

int RunInit(const Options &opt)
{
    /* A product file is the author's own work, edited by hand after init. */
    std::error_code ec;
    if (!opt.strOutput.empty() && !opt.fForce &&
        std::filesystem::symlink_status(opt.strOutput, ec).type() != std::filesystem::file_type::not_found)
        return ReportFailure(opt.strOutput + ": exists already; pass --force to replace it");
    InitRequest request;
    request.strDir = opt.strDir;
    request.strProductFile = opt.strOutput;
    request.fHidden = opt.fHidden;
    std::string strText;
    std::vector<std::string> vProblems, vNotes;
    if (!MakeStarterProduct(request, &strText, &vProblems, &vNotes)) {
        for (const std::string &str : vProblems)
            fprintf(stderr, "quarnel-kit: error: %s\n", str.c_str());
        fprintf(stderr, "quarnel-kit: %s: no product file written\n", opt.strDir.c_str());
        return EXIT_FINDINGS;
    }
    for (const std::string &str : vNotes)
        fprintf(stderr, "quarnel-kit: note: %s\n", str.c_str());
    return WriteOutput(opt, strText);
}

/* ---- preview ----------------------------------------------------------- */

/* PRODUCT, or EXE PACKAGE for an installer built some other way. */
int RunPreview(const Options &opt)
{
    PreviewRequest request;
    if (opt.strPackage.empty()) {
        request.strProduct = opt.strProduct;
    } else {
        request.strExe = opt.strProduct;
        request.strPackage = opt.strPackage;
    }
    request.strOutDir = opt.strOutput;
    request.strKitDir = KitDir();
    request.nBits = opt.f64 ? 64 : 32;
    request.fStrict = opt.fStrict;
    return RunPreviewCommand(request);
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

/* "list EXE": a lone argument that is an installer names the package
   beside it. */
void ResolveListArguments(Options *pOpt)
{
    if (!pOpt->strExe.empty())
        return;
    std::string strBytes, strError;
    StringTable table;
    if (!ReadWholeFile(pOpt->strPackage, &strBytes, &strError) || strBytes.compare(0, 2, "MZ") != 0 ||
        !ReadPeStringTable(std::vector<unsigned char>(strBytes.begin(), strBytes.end()), &table, &strError))
        return;
    pOpt->strExe = pOpt->strPackage;
    pOpt->strPackage = PackageBeside(pOpt->strExe, table.mapEntries);
}

int RunList(const Options &optGiven)
{
    Options opt = optGiven;
    ResolveListArguments(&opt);
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
     "name, date and rule of the item.  Given an installer alone, the package is the\n"
     "one its manifest names, beside it.  Exit code 1 when the package is damaged\n"
     "(truncated record, trailing bytes) or holds fewer records than items.\n\n"
     "Examples:\n"
     "  quarnel-kit list build/win32/SAMPLE.PKG\n"
     "  quarnel-kit list build/win32/SAMPLE.PKG build/win32/quarnel.exe\n"
     "  quarnel-kit list dist/quarnel.exe"},
    {"lint", "Check the manifest of a built quarnel.exe.",
     "Prints \"EXE: error|warning: entry ID: message\" lines on stderr, then one line\n"
     "with the counts; exit code 1 on any error (and on warnings with --strict).  With\n"
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
     "A failed build leaves no file behind; with --strict a warning fails it too,\n"
     "as quarnel_add_product(... STRICT) does.\n\n"
     "Examples:\n"
     "  quarnel-kit build sample.toml -o dist\n"
     "  quarnel-kit build sample.toml -o dist --strict\n"
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
     "with message 307: build both again (quarnel-kit build, or the CMake target), or\n"
     "leave the checksums out (--no-seal, or NO_SEAL for CMake).\n"
     "Without PACKAGE, the package is the one the manifest names, beside EXE.\n\n"
     "Examples:\n"
     "  quarnel-kit verify build/win32/quarnel.exe build/win32/SAMPLE.PKG\n"
     "  quarnel-kit verify dist/quarnel.exe\n"
     "  quarnel-kit verify quarnel.exe SAMPLE.PKG --script sample.qps --strict"},
    {"init", "Write a starting product file for the files under a folder.",
     "Every file becomes an item (in the byte order of its path, installed under the\n"
     "same relative path, dated with the UTC day it was last modified, rule \"A\"), every\n"
     "folder a subdirectory.  Source paths are relative to the product file's folder\n"
     "(to the current folder on standard output).  Links are followed.  Names starting\n"
     "with a dot are left out unless --hidden is given; an existing product file is\n"
     "replaced only with --force.  Files an installer cannot take stop it, each named:\n"
     "empty files, files of 2 GiB or more, names Windows or the installer refuses or\n"
     "that it would expand (%D, %S, %W), names Windows takes for one file, links that\n"
     "lead nowhere or into themselves, dates outside 1980-2107, more than 400 files.\n\n"
     "Examples:\n"
     "  quarnel-kit init files -o product.toml\n"
     "  quarnel-kit init files > product.toml"},
    {"preview", "Run the product's installer under Wine and show every screen and the installed result.",
     "Builds the product as build does (or takes EXE and PACKAGE as they are) into a\n"
     "temporary folder, installs it twice in a throw-away Wine prefix on a private\n"
     "virtual display (Xvfb), driven through its own windows by quarnel-drive-win32.exe\n"
     "or -win64.exe beside the kit, and tries a refused destination.  Writes\n"
     "OUTDIR/index.html (every screen, findings marked, the installed files, INI values,\n"
     "shortcuts and follow-up command), OUTDIR/report.json and the pictures.  Findings:\n"
     "an item missing or different (bytes, date), an INI value or a shortcut not as the\n"
     "product says, a text that does not fit its control.  The 32-bit installer (the\n"
     "default) runs under Wine 10's WoW64 through quarnel-wow64.sh beside the kit, the\n"
     "64-bit one (--64) under Debian's Wine.  Needs Wine and Xvfb (apt-get install wine\n"
     "wine64 fonts-wine xvfb).  Exit code 0; 1 with --strict when anything was found;\n"
     "2 when the install itself failed (the installer's message is printed); 3 when the\n"
     "preview could not run.\n\n"
     "Examples:\n"
     "  quarnel-kit preview sample.toml -o preview --64\n"
     "  quarnel-kit preview dist/quarnel.exe dist/SAMPLE.PKG -o preview --strict"},
    {"manifest", "Write a product file's manifest and version as a resource script (.rc).",
     "The product file is checked first (every check of lint, with the line of each\n"
     "key); on any error nothing is written.  Texts are written in code page 1252.\n"
     "The version resource is the one build writes, byte for byte, once compiled.\n\n"
     "Examples:\n"
     "  quarnel-kit manifest sample.toml -o manifest.rc"},
    {"check", "Check a product file with every check of build, writing nothing.",
     "Prints each finding as \"FILE:LINE:COLUMN: error|warning: KEY: message\" on\n"
     "stderr, then one line with the counts.  Exit code 1 on any error, and with\n"
     "--strict on any warning.\n\n"
     "Examples:\n"
     "  quarnel-kit check sample.toml\n"
     "  quarnel-kit check sample.toml --strict"},
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
    p->add_option("PACKAGE", pOpt->strPackage, "package file, or the installer whose package to list")->required();
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
    p->add_flag("--strict", pOpt->fStrict, "fail on warnings too, writing nothing");
    p->add_option("--sign-pkcs12", pOpt->strSignPkcs12, "sign the installer with this PKCS#12 certificate file");
    p->add_option("--sign-password-file", pOpt->strPasswordFile, "read the certificate's password from this file");

    p = AddCommand(app, "sign");
    p->add_option("EXE", pOpt->strExe, "the installer to sign")->required();
    p->add_option("--sign-pkcs12", pOpt->strSignPkcs12, "the PKCS#12 certificate file")->required();
    p->add_option("--sign-password-file", pOpt->strPasswordFile, "read the certificate's password from this file");

    p = AddCommand(app, "verify");
    p->add_option("EXE", pOpt->strExe, "the product's quarnel.exe")->required();
    p->add_option("PACKAGE", pOpt->strPackage, "the product's package file; default: the one the manifest names, "
                                                "beside EXE");
    p->add_option("-s,--script", pOpt->strScript, "also check the package script against the manifest");
    p->add_option("--from-product", pOpt->strFromProduct,
                  "the product file the manifest was written from, whose findings were reported at its lines: "
                  "they are not repeated");
    p->add_flag("--strict", pOpt->fStrict, "fail on warnings too");

    p = AddCommand(app, "init");
    p->add_option("DIR", pOpt->strDir, "the folder holding the product's files")->required();
    p->add_option("-o,--output", pOpt->strOutput, "write the product file here instead of to stdout");
    p->add_flag("-f,--force", pOpt->fForce, "replace the product file named by -o when it exists");
    p->add_flag("--hidden", pOpt->fHidden, "take files and folders whose names start with a dot");

    p = AddCommand(app, "check");
    p->add_option("PRODUCT", pOpt->strProduct, "the product file (.toml)")->required();
    p->add_flag("--strict", pOpt->fStrict, "fail on warnings too");

    p = AddCommand(app, "preview");
    p->add_option("PRODUCT", pOpt->strProduct, "the product file (.toml), or the installer when PACKAGE follows")
        ->required();
    p->add_option("PACKAGE", pOpt->strPackage, "the installer's package (with an installer instead of a product)");
    p->add_option("-o,--output", pOpt->strOutput, "the folder for index.html, report.json and the pictures")
        ->required();
    CLI::Option *p32 = p->add_flag("--32", pOpt->f32, "preview the 32-bit installer (the default)");
    p->add_flag("--64", pOpt->f64, "preview the 64-bit installer")->excludes(p32);
    p->add_flag("--strict", pOpt->fStrict, "exit 1 when anything is found");

    for (const char *pszName : {"manifest", "script"}) {
        p = AddCommand(app, pszName);
        p->add_option("PRODUCT", pOpt->strProduct, "the product file (TOML)")->required();
        p->add_option("-o,--output", pOpt->strOutput, "write the file here instead of to stdout");
        p->add_flag("--strict", pOpt->fStrict, "fail on warnings too, writing nothing");
    }
}

typedef int (*RunFn)(const Options &opt);

/* A first argument that is no subcommand, named with the nearest one; 0
   when there is none such. */
int ReportUnknownCommand(int argc, char **argv)
{
    if (argc < 2 || argv[1][0] == '-')
        return 0;
    std::vector<const char *> vNames;
    for (const CommandText &c : aCommands) {
        if (strcmp(c.pszName, argv[1]) == 0)
            return 0;
        vNames.push_back(c.pszName);
    }
    fprintf(stderr, "quarnel-kit: error: %s is not a command; did you mean %s?  (quarnel-kit --help lists them)\n",
            argv[1], FindNearestWord(argv[1], vNames));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    CLI::App app{"quarnel-kit: starts, checks, builds, previews, signs, packs, seals, lists, lints and verifies "
                 "Quarnel products.",
                 "quarnel-kit"};
    app.require_subcommand(1, 1);
    /* The same syntax on every system: a path such as /tmp/x is an argument,
       never a Windows-style option. */
    app.allow_windows_style_options(false);
    app.footer("Run quarnel-kit SUBCOMMAND --help for the details and examples of each.\n\n"
               "Examples:\n"
               "  quarnel-kit init files -o product.toml\n"
               "  quarnel-kit check product.toml --strict\n"
               "  quarnel-kit build product.toml -o dist\n"
               "  quarnel-kit preview product.toml -o preview --64\n"
               "  quarnel-kit manifest product.toml -o manifest.rc\n"
               "  quarnel-kit pack sample.qps\n"
               "  quarnel-kit seal SAMPLE.PKG -o sample_sums.rc\n"
               "  quarnel-kit lint quarnel.exe sample.qps\n"
               "  quarnel-kit verify quarnel.exe SAMPLE.PKG\n"
               "  quarnel-kit list SAMPLE.PKG quarnel.exe");
    app.set_version_flag("--version", pszKitVersion);
    Options opt;
    AddCommands(app, &opt);
    if (ReportUnknownCommand(argc, argv))
        return EXIT_USAGE;
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        int nCode = app.exit(e);
        return nCode == 0 ? 0 : EXIT_USAGE;
    }
    const std::pair<const char *, RunFn> aRuns[] = {
        {"pack", RunPack}, {"seal", RunSeal}, {"list", RunList}, {"lint", RunLint}, {"verify", RunVerify},
        {"init", RunInit}, {"manifest", RunManifest}, {"script", RunScript}, {"build", RunBuild},
        {"sign", RunSign}, {"check", RunCheck}, {"preview", RunPreview}};
    for (const auto &run : aRuns)
        if (app.got_subcommand(run.first))
            return run.second(opt);
    return EXIT_USAGE;
}
