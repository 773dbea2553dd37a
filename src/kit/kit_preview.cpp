/* kit_preview.cpp - `quarnel-kit preview` itself: builds the product into a
 * temporary folder, makes a throw-away Wine prefix, starts a private Xvfb
 * and Wine's shell (the Program Manager the installer talks to), lets the
 * driver program run the installer through its windows, then ends what it
 * started, by process ID, and writes the page and the report.  Wine and
 * Xvfb are needed here only; every other command runs without them. */
#include <ctype.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "kit_build.h"
#include "kit_pe.h"
#include "kit_preview.h"
#include "resource.h"

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

#ifdef _WIN32

int RunPreviewCommand(const PreviewRequest &)
{
    fprintf(stderr, "quarnel-kit: error: preview runs the installer under Wine and needs the Linux build of "
                    "quarnel-kit\n");
    return PREVIEW_CANNOT;
}

#else

namespace {

int Fail(int nCode, const std::string &strMessage)
{
    fprintf(stderr, "quarnel-kit: error: %s\n", strMessage.c_str());
    return nCode;
}

int WriteText(const std::string &strPath, const std::string &strText)
{
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    return (out << strText) && out.flush() ? 1 : 0;
}

/* Installs the product (or copies the given installer and package) into
   strDist; *pstrExe and *pstrPackage name them there. */
int PrepareInstaller(const PreviewRequest &req, const std::string &strDist, std::string *pstrExe,
                     std::string *pstrPackage, std::string *pstrTitle)
{
    std::error_code ec;
    if (req.strProduct.empty()) {
        for (const std::string *p : {&req.strExe, &req.strPackage})
            if (!fs::is_regular_file(*p, ec))
                return Fail(PREVIEW_CANNOT, *p + ": no such file");
        *pstrExe = strDist + "/" + fs::path(req.strExe).filename().string();
        *pstrPackage = strDist + "/" + fs::path(req.strPackage).filename().string();
        if (!fs::copy_file(req.strExe, *pstrExe, ec) || !fs::copy_file(req.strPackage, *pstrPackage, ec))
            return Fail(PREVIEW_CANNOT, "cannot copy the installer into " + strDist + ": " + ec.message());
        *pstrTitle = req.strExe;
        return 0;
    }
    Product product;
    std::vector<std::string> vMessages;
    int fLoaded = LoadProduct(req.strProduct, &product, &vMessages);
    for (const std::string &str : vMessages)
        fprintf(stderr, "%s\n", str.c_str());
    if (!fLoaded)
        return PREVIEW_CANNOT;
    BuildRequest build;
    build.strOutDir = strDist;
    build.strStub = req.strKitDir + (req.nBits == 64 ? "quarnel-stub-win64.exe" : "quarnel-stub-win32.exe");
    BuildResult result;
    std::string strError;
    int fBuilt = BuildProduct(product, build, &result, &strError);
    SortFindings(&result.vFindings);
    for (const Finding &f : result.vFindings)
        fprintf(stderr, "%s\n", FormatFinding(f).c_str());
    if (!fBuilt)
        return Fail(PREVIEW_CANNOT, strError.empty() ? req.strProduct + ": the build failed" : strError);
    *pstrExe = result.strInstaller;
    *pstrPackage = result.strPackage;
    *pstrTitle = product.version.strName.empty() ? req.strProduct : product.version.strName;
    return 0;
}

/* ---- processes ----------------------------------------------------------- */

/* How long a step may take before the preview gives up on it: each is a
   wait for a process or a file descriptor, never a sleep. */
const int BOOT_SECONDS = 120, DRIVE_SECONDS = 300, END_SECONDS = 30;

/* Starts argv with stdout and stderr in strLog (appended); nKeepFd stays
   open in the child.  -1 when it could not start. */
pid_t Start(const std::vector<std::string> &vArgs, const std::string &strLog, int nKeepFd = -1)
{
    std::vector<char *> v;
    for (const std::string &s : vArgs)
        v.push_back(const_cast<char *>(s.c_str()));
    v.push_back(nullptr);
    pid_t pid = fork();
    if (pid != 0)
        return pid;
    sigset_t set;
    sigemptyset(&set);
    sigprocmask(SIG_SETMASK, &set, nullptr);
    int fd = open(strLog.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    int fdNull = open("/dev/null", O_RDONLY);
    if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
    }
    if (fdNull >= 0)
        dup2(fdNull, 0);
    for (int i = 3; i < 256; i++)
        if (i != nKeepFd)
            close(i);
    execvp(v[0], v.data());
    _exit(127);
}

/* Set by Ctrl-C or a polite kill: the steps still to come are skipped,
   and what was started is ended as after a normal run. */
volatile sig_atomic_t fStopAsked = 0;

void AskStop(int)
{
    fStopAsked = 1;
}

/* Waits for the child, at most nSeconds (or, when fStoppable, until a stop
   is asked); the exit status (128 + signal when it was killed), or -1 when
   it did not end.  SIGCHLD is blocked for the whole command, so each
   child's end is an event to wait for. */
int WaitFor(pid_t pid, int nSeconds, bool fStoppable = true)
{
    struct timespec tEnd;
    clock_gettime(CLOCK_MONOTONIC, &tEnd);
    tEnd.tv_sec += nSeconds;
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    for (;;) {
        int nStatus = 0;
        pid_t got = waitpid(pid, &nStatus, WNOHANG);
        if (got == pid)
            return WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : 128 + WTERMSIG(nStatus);
        if (got < 0 || (fStoppable && fStopAsked))
            return -1;
        struct timespec tNow, tLeft;
        clock_gettime(CLOCK_MONOTONIC, &tNow);
        tLeft.tv_sec = tEnd.tv_sec - tNow.tv_sec;
        tLeft.tv_nsec = tEnd.tv_nsec - tNow.tv_nsec;
        if (tLeft.tv_nsec < 0) {
            tLeft.tv_sec--;
            tLeft.tv_nsec += 1000000000L;
        }
        if (tLeft.tv_sec < 0)
            return -1;
        sigtimedwait(&set, nullptr, &tLeft);
    }
}

/* Ends a child of ours: asked first, then killed. */
void End(pid_t pid)
{
    if (pid <= 0)
        return;
    kill(pid, SIGTERM);
    if (WaitFor(pid, END_SECONDS, false) < 0) {
        kill(pid, SIGKILL);
        WaitFor(pid, END_SECONDS, false);
    }
}

std::string LogTail(const std::string &strLog)
{
    std::ifstream in(strLog, std::ios::binary);
    std::string str((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return str.size() > 2000 ? str.substr(str.size() - 2000) : str;
}

/* A private X display: Xvfb picks a free number and writes it to a pipe
   once it accepts clients. */
int StartDisplay(const std::string &strLog, pid_t *pPid, std::string *pstrDisplay)
{
    int afd[2];
    if (pipe(afd) != 0)
        return 0;
    *pPid = Start({"Xvfb", "-displayfd", std::to_string(afd[1]), "-nolisten", "tcp", "-screen", "0", "1024x768x24"},
                  strLog, afd[1]);
    close(afd[1]);
    std::string str;
    struct pollfd p = {afd[0], POLLIN, 0};
    char buf[32];
    ssize_t n = 0;
    while (*pPid > 0 && str.find('\n') == std::string::npos && poll(&p, 1, BOOT_SECONDS * 1000) == 1 &&
           (n = read(afd[0], buf, sizeof buf)) > 0)
        str.append(buf, (size_t)n);
    close(afd[0]);
    if (str.find('\n') == std::string::npos)
        return 0;
    *pstrDisplay = ":" + str.substr(0, str.find('\n'));
    return 1;
}

/* ---- which Wine ----------------------------------------------------------- */

struct WineSetup {
    std::vector<std::string> vRun;   /* a Windows program follows */
    std::vector<std::string> vServer;
    std::string strFonts, strName;
};

const char *const pszWine64 = "/usr/lib/wine/wine64";
const char *const pszServer64 = "/usr/lib/wine/wineserver";
const char *const pszPackages = "apt-get install wine wine64 fonts-wine xvfb";

bool OnPath(const std::string &strName)
{
    const char *pszPath = getenv("PATH");
    std::string strPath = pszPath ? pszPath : "/usr/bin:/bin";
    size_t nStart = 0;
    for (;;) {
        size_t n = strPath.find(':', nStart);
        std::string strDir = strPath.substr(nStart, n == std::string::npos ? std::string::npos : n - nStart);
        if (!strDir.empty() && access((strDir + "/" + strName).c_str(), X_OK) == 0)
            return true;
        if (n == std::string::npos)
            return false;
        nStart = n + 1;
    }
}

/* Debian's own Wine runs the 64-bit installer; the 32-bit one runs under
   Wine 10's WoW64 in the tree that quarnel-wow64.sh beside the kit runs
   programs in (it needs root, and a machine that can run 32-bit code). */
int ChooseWine(const PreviewRequest &req, const std::string &strTemp, WineSetup *pWine)
{
    std::vector<std::string> vMissing;
    if (!OnPath("Xvfb"))
        vMissing.push_back("Xvfb (Debian package xvfb)");
    if (req.nBits == 64) {
        if (access(pszWine64, X_OK) != 0 || access(pszServer64, X_OK) != 0)
            vMissing.push_back(std::string(pszWine64) + " (Debian packages wine and wine64)");
        if (!fs::is_directory("/usr/share/wine/fonts"))
            vMissing.push_back("Wine's fonts in /usr/share/wine/fonts (Debian package fonts-wine)");
    }
    if (!vMissing.empty()) {
        std::string str = "preview runs the installer under Wine on a virtual display, and this machine lacks:";
        for (const std::string &s : vMissing)
            str += "\n  " + s;
        return Fail(PREVIEW_CANNOT, str + "\ninstall them with: " + pszPackages);
    }
    if (req.nBits == 64) {
        pWine->vRun = {pszWine64};
        pWine->vServer = {pszServer64};
        pWine->strFonts = "/usr/share/wine/fonts";
        pWine->strName = "Debian's Wine (64-bit)";
        return 0;
    }
    std::string strHelper = req.strKitDir + "quarnel-wow64.sh";
    if (access(strHelper.c_str(), R_OK) != 0)
        return Fail(PREVIEW_CANNOT, "the 32-bit installer runs under Wine 10's WoW64 through " + strHelper +
                                        ", which is missing; preview the 64-bit build with --64");
    int nCheck = WaitFor(Start({"bash", strHelper, "check"}, strTemp + "/wow64.log"), BOOT_SECONDS);
    if (nCheck == 3)
        return Fail(PREVIEW_CANNOT, "this machine cannot run 32-bit code at all (its processor offers no "
                                    "32-bit user code segment), so no Wine can run the 32-bit installer "
                                    "here; preview the 64-bit build with --64");
    if (nCheck != 0)
        return Fail(PREVIEW_CANNOT, "the Wine that runs the 32-bit installer (Wine 10's WoW64, " + strHelper +
                                        ") does not work here; preview the 64-bit build with --64\n" +
                                        LogTail(strTemp + "/wow64.log"));
    std::vector<std::string> vIn = {"bash", strHelper, "run", "-b", strTemp, "--"};
    pWine->vRun = vIn;
    pWine->vRun.push_back(pszWine64);
    pWine->vServer = vIn;
    pWine->vServer.push_back(pszServer64);
    pWine->strName = "Wine 10 with WoW64 (" + strHelper + ")";
    std::string strRoot = getenv("QUARNEL_WOW64_ROOT") ? getenv("QUARNEL_WOW64_ROOT") : "/var/lib/quarnel/wow64";
    pWine->strFonts = strRoot + "/usr/share/wine/fonts";
    return 0;
}

std::vector<std::string> With(std::vector<std::string> v, std::initializer_list<std::string> vMore)
{
    v.insert(v.end(), vMore);
    return v;
}

std::string WindowsPath(const std::string &strUnix)
{
    std::string str = "Z:" + fs::absolute(strUnix).lexically_normal().string();
    for (char &c : str)
        if (c == '/')
            c = '\\';
    return str;
}

/* The whole Wine part, from a new prefix to the driver's end; the
   caller's temporary folder holds the prefix, the logs and the driver's
   output (strTemp/out). */
int RunUnderWine(const PreviewRequest &req, const WineSetup &wine, const std::string &strTemp,
                 const std::string &strExe, const Manifest &manifest, const PreviewPlace &place, PreviewResult *pResult)
{
    std::string strDriver = req.strKitDir + (req.nBits == 64 ? "quarnel-drive-win64" : "quarnel-drive-win32");
    std::error_code ec;
    if (!fs::copy_file(strDriver + ".exe", strTemp + "/quarnel-drive.exe", ec))
        return Fail(PREVIEW_CANNOT, strDriver + ".exe: the driver program is missing beside the kit (" + ec.message() + ")");
    /* The driver's hook, which lets it see the progress dialog however
       short it lives, lies beside it under its name; without it the
       driver says so in its record and goes on. */
    fs::copy_file(strDriver + ".dll", strTemp + "/quarnel-drive.dll", ec);
    std::string strPrefix = strTemp + "/prefix", strOut = strTemp + "/out", strLog = strTemp + "/wine.log";
    fs::create_directories(strOut, ec);
    setenv("WINEPREFIX", strPrefix.c_str(), 1);
    setenv("WINEDEBUG", "-all", 1);
    setenv("WINEDLLOVERRIDES", "mscoree,mshtml=;winemenubuilder.exe=d", 1);

    pid_t pidX = -1, pidShell = -1, pidDriver = -1;
    std::string strDisplay;
    int nCode = 0;
    if (!StartDisplay(strTemp + "/xvfb.log", &pidX, &strDisplay)) {
        nCode = Fail(PREVIEW_CANNOT, "Xvfb did not start:\n" + LogTail(strTemp + "/xvfb.log"));
    } else {
        setenv("DISPLAY", strDisplay.c_str(), 1);
        /* Without Wine's own fonts in the prefix the dialogs get another
           face than MS Sans Serif, and every measured text is off.  They
           go in first, so that every Wine process finds them at its start
           and the server that wineboot started can serve the rest. */
        std::string strFonts = strPrefix + "/drive_c/windows/Fonts";
        fs::create_directories(strFonts, ec);
        if (!ec)
            fs::copy(wine.strFonts, strFonts, fs::copy_options::overwrite_existing, ec);
        int nBoot = ec ? -1 : WaitFor(Start(With(wine.vRun, {"wineboot", "-i"}), strLog), BOOT_SECONDS);
        if (fStopAsked)
            nCode = Fail(PREVIEW_CANNOT, "stopped");
        else if (nBoot != 0 || !fs::is_directory(strPrefix + "/drive_c/windows/system32"))
            nCode = Fail(PREVIEW_CANNOT, "Wine could not make its prefix in " + strPrefix + ":\n" + LogTail(strLog));
    }
    if (nCode == 0) {
        ReadIniBefore(manifest, place, &pResult->vIni);
        pidShell = Start(With(wine.vRun, {"explorer", "/desktop=quarnel,1024x768"}), strLog);
        pidDriver = Start(With(wine.vRun, {WindowsPath(strTemp + "/quarnel-drive.exe"), WindowsPath(strOut),
                                           WindowsPath(strExe)}),
                          strTemp + "/driver.log");
        int nDrive = WaitFor(pidDriver, DRIVE_SECONDS);
        if (nDrive >= 0)
            pidDriver = -1;
        if (nDrive != 0 && nDrive != 2)
            nCode = Fail(PREVIEW_CANNOT, nDrive < 0 ? "the driver did not finish within " +
                                                          std::to_string(DRIVE_SECONDS) + " seconds"
                                                    : "the driver stopped (status " + std::to_string(nDrive) +
                                                          "):\n" + LogTail(strTemp + "/driver.log"));
    }
    /* Wine's server ends every Wine process of the prefix, the shell too. */
    WaitFor(Start(With(wine.vServer, {"-k"}), strLog), END_SECONDS, false);
    if (fStopAsked && nCode == 0)
        nCode = Fail(PREVIEW_CANNOT, "stopped");
    End(pidDriver);
    End(pidShell);
    End(pidX);
    return nCode;
}

int ReadDriveLog(const std::string &strOut, DriveLog *pLog)
{
    std::string strText, strError;
    if (!ReadWholeFile(strOut + "/drive.tsv", &strText, &strError))
        return Fail(PREVIEW_CANNOT, "the driver wrote no record of the screens: " + strError);
    if (!ParseDriveLog(strText, pLog, &strError))
        return Fail(PREVIEW_CANNOT, strError);
    return 0;
}

int ReadInstallerManifest(const std::string &strExe, Manifest *pManifest)
{
    std::string strBytes, strError;
    StringTable table;
    if (!ReadWholeFile(strExe, &strBytes, &strError))
        return Fail(PREVIEW_CANNOT, strError);
    std::vector<unsigned char> vImage(strBytes.begin(), strBytes.end());
    if (!ReadPeStringTable(vImage, &table, &strError))
        return Fail(PREVIEW_CANNOT, strExe + ": " + strError);
    *pManifest = table.mapEntries;
    return 0;
}

/* The page, the report, the pictures and the driver's own record. */
int WriteOutputs(const PreviewRequest &req, const std::string &strOut, const PreviewFacts &facts,
                 const PreviewResult &result)
{
    std::error_code ec;
    fs::create_directories(req.strOutDir, ec);
    for (const DriveScreen &s : result.log.vScreens)
        fs::copy_file(strOut + "/" + s.strPng, req.strOutDir + "/" + s.strPng, fs::copy_options::overwrite_existing,
                      ec);
    fs::copy_file(strOut + "/drive.tsv", req.strOutDir + "/drive.tsv", fs::copy_options::overwrite_existing, ec);
    if (!WriteText(req.strOutDir + "/index.html", FormatPreviewHtml(facts, result)) ||
        !WriteText(req.strOutDir + "/report.json", FormatPreviewJson(facts, result)))
        return Fail(PREVIEW_CANNOT, req.strOutDir + ": cannot write the page: " + strerror(errno));
    return 0;
}

bool SameFileName(const std::string &a, const std::string &b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return tolower((unsigned char)x) == tolower((unsigned char)y);
           });
}

int PreviewIn(const PreviewRequest &req, const std::string &strTemp)
{
    std::string strExe, strPackage;
    PreviewFacts facts;
    facts.nBits = req.nBits;
    std::string strDist = strTemp + "/dist";
    std::error_code ec;
    fs::create_directories(strDist, ec);
    Manifest manifest;
    /* Wine first: a machine that cannot preview says so before building. */
    WineSetup wine;
    int nCode = ChooseWine(req, strTemp, &wine);
    facts.strWine = wine.strName;
    if (!nCode)
        nCode = PrepareInstaller(req, strDist, &strExe, &strPackage, &facts.strTitle);
    if (!nCode)
        nCode = ReadInstallerManifest(strExe, &manifest);
    if (nCode)
        return nCode;
    std::string strWanted = manifest.count(IDS_PACKAGE) ? manifest.at(IDS_PACKAGE) : std::string();
    if (!SameFileName(strWanted, fs::path(strPackage).filename().string()))
        fprintf(stderr, "quarnel-kit: note: the installer looks for the package \"%s\" beside itself, not %s\n",
                strWanted.c_str(), fs::path(strPackage).filename().string().c_str());
    PreviewPlace place;
    place.strPrefix = strTemp + "/prefix";
    place.strDest = DefaultDestination(manifest);
    place.strWinDir = "C:\\windows";
    place.strSysDir = req.nBits == 64 ? "C:\\windows\\system32" : "C:\\windows\\syswow64";
    PreviewResult result;
    nCode = RunUnderWine(req, wine, strTemp, strExe, manifest, place, &result);
    if (!nCode)
        nCode = ReadDriveLog(strTemp + "/out", &result.log);
    if (nCode)
        return nCode;
    CheckInstalled(manifest, strPackage, place, &result);
    nCode = WriteOutputs(req, strTemp + "/out", facts, result);
    if (nCode)
        return nCode;
    printf("preview: %s\n", PreviewSummary(result).c_str());
    for (const PreviewFinding &f : result.vFindings)
        printf("  %s\n", f.strMessage.c_str());
    printf("preview: %s/index.html\n", req.strOutDir.c_str());
    if (result.fFailed) {
        fprintf(stderr, "quarnel-kit: the install failed: %s\n", result.strFailure.c_str());
        return PREVIEW_FAILED;
    }
    return req.fStrict && !result.vFindings.empty() ? PREVIEW_FINDINGS : PREVIEW_OK;
}

} // namespace

int RunPreviewCommand(const PreviewRequest &request)
{
    std::error_code ec;
    std::string strTemp = (fs::temp_directory_path(ec) / "quarnel-preview-XXXXXX").string();
    std::vector<char> vTemp(strTemp.begin(), strTemp.end());
    vTemp.push_back('\0');
    if (!mkdtemp(vTemp.data()))
        return Fail(PREVIEW_CANNOT, strTemp + ": cannot make a temporary folder: " + strerror(errno));
    strTemp = vTemp.data();
    /* Each child's end is waited for as an event (WaitFor). */
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGCHLD);
    sigprocmask(SIG_BLOCK, &set, nullptr);
    struct sigaction sa = {};
    sa.sa_handler = AskStop;
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    int nCode = PreviewIn(request, strTemp);
    if (getenv("QUARNEL_PREVIEW_KEEP"))
        fprintf(stderr, "quarnel-kit: kept %s\n", strTemp.c_str());
    else
        fs::remove_all(strTemp, ec);
    return nCode;
}

#endif
