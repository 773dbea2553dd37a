/* kit_build.cpp - quarnel-kit build: the product's package and installer
 * written side by side, checked, and signed when asked.  Both files are
 * written under temporary names and renamed only when everything
 * succeeded, so a failed build leaves the output folder as it found it. */
#include "kit_build.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "kit_package.h"
#include "kit_pe.h"
#include "kit_pew.h"
#include "kit_seal.h"

#ifndef _WIN32
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char **environ;
#endif

namespace fs = std::filesystem;

namespace {

/* The files a build may leave: removed again unless it succeeds. */
struct Outputs {
    std::vector<std::string> vParts;
    std::string strCreatedDir; /* the output folder, when this build made it */
    bool fKeep = false;
    ~Outputs()
    {
        if (fKeep)
            return;
        for (const std::string &str : vParts)
            remove(str.c_str());
        std::error_code ec;
        if (!strCreatedDir.empty())
            fs::remove(strCreatedDir, ec); /* only when empty again */
    }
};

int Fail(std::string *pstrError, const std::string &strWhy)
{
    *pstrError = strWhy;
    return 0;
}

int ReadBytes(const std::string &strPath, std::vector<unsigned char> *pv, std::string *pstrError)
{
    std::error_code ec;
    if (!fs::is_regular_file(strPath, ec))
        return Fail(pstrError, strPath + ": no such file");
    std::ifstream in(strPath, std::ios::binary);
    pv->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (in.bad())
        return Fail(pstrError, strPath + ": cannot read");
    return 1;
}

int WriteBytes(const std::string &strPath, const std::vector<unsigned char> &v, std::string *pstrError)
{
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    if (!out.write((const char *)v.data(), (std::streamsize)v.size()) || !out.flush())
        return Fail(pstrError, strPath + ": cannot write: " + strerror(errno));
    return 1;
}

int PrepareOutDir(const std::string &strDir, Outputs *pOut, std::string *pstrError)
{
    std::error_code ec;
    if (fs::is_directory(strDir, ec))
        return 1;
    if (fs::exists(strDir, ec))
        return Fail(pstrError, strDir + ": exists and is not a folder");
    fs::path parent = fs::path(strDir).parent_path();
    if (!parent.empty() && !fs::is_directory(parent, ec))
        return Fail(pstrError, strDir + ": its parent folder does not exist");
    if (!fs::create_directory(strDir, ec))
        return Fail(pstrError, strDir + ": cannot create the folder: " + ec.message());
    pOut->strCreatedDir = strDir;
    return 1;
}

/* The output files must not replace one of the product's own files. */
int CheckOutputsApart(const Product &product, const BuildResult &result, std::string *pstrError)
{
    std::vector<std::string> vInputs = product.vItemSources;
    vInputs.push_back(product.strFile);
    for (const std::string &strInput : vInputs)
        for (const std::string *pOut : {&result.strInstaller, &result.strPackage}) {
            std::error_code ec;
            if (fs::equivalent(strInput, *pOut, ec))
                return Fail(pstrError, *pOut + ": is one of the product's own files (" + strInput +
                                           "); choose another output folder");
        }
    return 1;
}

/* The product's items as a package script would list them, so that the
   package is written by the one packer the kit has. */
ScriptInfo ScriptOf(const Product &product, const std::string &strPackage)
{
    ScriptInfo info;
    info.strScript = product.strFile;
    info.package.strWritten = product.strPackageName;
    info.package.strPath = strPackage;
    for (const std::string &strSource : product.vItemSources) {
        ScriptEntry item;
        item.strWritten = strSource;
        item.strPath = strSource;
        info.vItems.push_back(item);
    }
    return info;
}

/* Reads the installer back as the installer and `verify` will: its string
   table must be the product's manifest exactly, and the package checks add
   their findings.  The lint ran when the product was loaded, on this very
   manifest, and reported at the product's own lines: running it again
   would print every warning twice. */
int CheckInstaller(const Product &product, const std::vector<unsigned char> &vImage, const std::string &strPackage,
                   BuildResult *pResult, std::string *pstrError)
{
    StringTable table;
    std::string strError;
    if (!ReadPeStringTable(vImage, &table, &strError))
        return Fail(pstrError, pResult->strInstaller + ": written unreadable (" + strError + ")");
    Manifest want;
    for (const auto &entry : product.manifest)
        if (!entry.second.empty())
            want.insert(entry);
    if (table.mapEntries != want)
        return Fail(pstrError, pResult->strInstaller + ": its string table does not read back as the manifest");
    PackageLayout layout;
    if (!ReadPackageLayout(strPackage, &layout, pstrError))
        return 0;
    VerifyPackage(table.mapEntries, layout, &pResult->vFindings);
    if (!VerifyImageSums(vImage, strPackage, layout, (size_t)CheckedItemCount(table.mapEntries),
                         &pResult->vFindings, &strError, ROUTE_KIT))
        return Fail(pstrError, pResult->strInstaller + ": " + strError);
    return CountErrors(pResult->vFindings) == 0;
}

#ifndef _WIN32
enum { MAX_PASSWORD = 4096 }; /* well below a pipe's buffer */

/* A pipe that already holds the whole password, its writing end closed:
   the signer reads it to the end without the kit writing while it runs,
   so a signer that exits early cannot stop the kit with SIGPIPE.  Returns
   the reading end, or -1 with the reason. */
int MakePasswordPipe(const std::string &strPassword, std::string *pstrError)
{
    int afd[2];
    if (strPassword.size() > MAX_PASSWORD) {
        Fail(pstrError, "the certificate's password is longer than " + std::to_string(MAX_PASSWORD) + " bytes");
        return -1;
    }
    if (pipe(afd) != 0) {
        Fail(pstrError, std::string("cannot make a pipe: ") + strerror(errno));
        return -1;
    }
    ssize_t cb = write(afd[1], strPassword.data(), strPassword.size());
    close(afd[1]);
    if (cb != (ssize_t)strPassword.size()) {
        close(afd[0]);
        Fail(pstrError, std::string("cannot hand the password over: ") + strerror(errno));
        return -1;
    }
    return afd[0];
}

/* Runs osslsigncode with the password in a pipe that the child inherits,
   named as /dev/fd/N, so it never shows on a command line. */
int RunSigner(const SignRequest &request, const std::string &strIn, const std::string &strOut,
              std::string *pstrError)
{
    int fdPassword = MakePasswordPipe(request.strPassword, pstrError);
    if (fdPassword < 0)
        return 0;
    std::vector<std::string> vArgs = {"osslsigncode", "sign", "-pkcs12", request.strPkcs12,
                                      "-readpass",    "/dev/fd/" + std::to_string(fdPassword)};
    if (!request.strTime.empty())
        vArgs.insert(vArgs.end(), {"-time", request.strTime});
    vArgs.insert(vArgs.end(), {"-in", strIn, "-out", strOut});
    std::vector<char *> vArgv;
    for (std::string &str : vArgs)
        vArgv.push_back(&str[0]);
    vArgv.push_back(nullptr);
    pid_t pid = 0;
    int nSpawn = posix_spawnp(&pid, "osslsigncode", nullptr, nullptr, vArgv.data(), environ);
    close(fdPassword);
    if (nSpawn != 0)
        return Fail(pstrError, std::string("cannot run osslsigncode (needed for --sign-pkcs12): ") +
                                   strerror(nSpawn));
    int nStatus = 0;
    waitpid(pid, &nStatus, 0);
    if (!WIFEXITED(nStatus) || WEXITSTATUS(nStatus) != 0)
        return Fail(pstrError, request.strPkcs12 + ": osslsigncode could not sign " + strIn +
                                   " (wrong password or not a PKCS#12 file?)");
    return 1;
}
#endif

/* Signing needs osslsigncode, which the Windows build does not run. */
int CanSign(const SignRequest &sign, std::string *pstrError)
{
#ifdef _WIN32
    if (!sign.strPkcs12.empty())
        return Fail(pstrError, "signing is done by the native quarnel-kit (it runs osslsigncode): build "
                               "unsigned here, or build and sign with the native kit");
#endif
    (void)sign;
    (void)pstrError;
    return 1;
}

} // namespace

namespace {

/* The author knows the files the build writes, not the names they have
   while it runs. */
void NameFinalFiles(const std::string &strPart, const std::string &strFinal, std::string *pstr)
{
    for (size_t i = pstr->find(strPart); i != std::string::npos; i = pstr->find(strPart, i + strFinal.size()))
        pstr->replace(i, strPart.size(), strFinal);
}

int BuildInto(const Product &product, const BuildRequest &request, Outputs *pOut, BuildResult *pResult,
              std::string *pstrError)
{
    Outputs &out = *pOut;
    std::vector<unsigned char> vStub, vSums, vImage;
    if (!CanSign(request.sign, pstrError) || !ReadBytes(request.strStub, &vStub, pstrError) ||
        !PrepareOutDir(request.strOutDir, &out, pstrError))
        return 0;
    pResult->strInstaller = (fs::path(request.strOutDir) / INSTALLER_NAME).string();
    pResult->strPackage = (fs::path(request.strOutDir) / product.strPackageName).string();
    std::string strPackagePart = (fs::path(request.strOutDir) / ("." + product.strPackageName + ".part")).string();
    std::string strInstallerPart = (fs::path(request.strOutDir) / ("." INSTALLER_NAME ".part")).string();
    out.vParts = {strPackagePart, strInstallerPart};
    if (!CheckOutputsApart(product, *pResult, pstrError))
        return 0;
    if (!PackScript(ScriptOf(product, strPackagePart), strPackagePart, nullptr, pstrError))
        return 0;
    if (request.fSeal && !MakePackageSums(strPackagePart, &vSums, pstrError))
        return 0;
    InstallerParts parts;
    parts.pManifest = &product.manifest;
    parts.pvSums = request.fSeal ? &vSums : nullptr;
    parts.pVersion = &product.version;
    parts.dwTimeStamp = request.dwTimeStamp;
    std::string strError;
    if (!WriteInstallerImage(vStub, parts, &vImage, &strError))
        return Fail(pstrError, request.strStub + ": " + strError);
    if (!WriteBytes(strInstallerPart, vImage, pstrError))
        return 0;
    if (!request.sign.strPkcs12.empty() && !SignExecutable(strInstallerPart, request.sign, pstrError))
        return 0;
    if (!ReadBytes(strInstallerPart, &vImage, pstrError) ||
        !CheckInstaller(product, vImage, strPackagePart, pResult, pstrError))
        return 0;
    if (rename(strPackagePart.c_str(), pResult->strPackage.c_str()) != 0 ||
        rename(strInstallerPart.c_str(), pResult->strInstaller.c_str()) != 0) {
        remove(pResult->strPackage.c_str());
        return Fail(pstrError, request.strOutDir + ": cannot put the files in place: " + strerror(errno));
    }
    out.fKeep = true;
    return 1;
}

} // namespace

int BuildProduct(const Product &product, const BuildRequest &request, BuildResult *pResult, std::string *pstrError)
{
    Outputs out;
    int fOk = BuildInto(product, request, &out, pResult, pstrError);
    for (size_t i = 0; !fOk && i < out.vParts.size(); i++)
        NameFinalFiles(out.vParts[i], i == 0 ? pResult->strPackage : pResult->strInstaller, pstrError);
    return fOk;
}


int SignExecutable(const std::string &strExe, const SignRequest &sign, std::string *pstrError)
{
    if (!CanSign(sign, pstrError))
        return 0;
#ifndef _WIN32
    Outputs out;
    std::string strSigned = strExe + ".signed";
    out.vParts.push_back(strSigned);
    if (!RunSigner(sign, strExe, strSigned, pstrError))
        return 0;
    if (rename(strSigned.c_str(), strExe.c_str()) != 0)
        return Fail(pstrError, strExe + ": cannot replace it with its signed copy: " + strerror(errno));
#else
    (void)strExe; /* CanSign has refused already */
#endif
    return 1;
}
