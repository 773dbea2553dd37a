/* drive_links.cpp - the Start Menu's shortcuts after the installs: every
 * .lnk under the Programs folder with what it starts, read through the
 * shell's own link object, as the Start Menu itself reads them. */
#include "drive.h"

#include <objbase.h>
#include <shlobj.h>

#include "watch.h"

static void RecordLink(IShellLinkA *pLink, const std::string &path, const std::string &rel)
{
    IPersistFile *pFile = NULL;
    if (FAILED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&pFile))))
        return;
    WCHAR wsz[MAX_PATH] = L"";
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wsz, MAX_PATH);
    char szTarget[MAX_PATH] = "", szArgs[1024] = "", szDir[MAX_PATH] = "";
    if (SUCCEEDED(pFile->Load(wsz, STGM_READ))) {
        pLink->GetPath(szTarget, sizeof(szTarget), NULL, SLGP_RAWPATH);
        pLink->GetArguments(szArgs, sizeof(szArgs));
        pLink->GetWorkingDirectory(szDir, sizeof(szDir));
    }
    pFile->Release();
    WriteRecord("shortcut", {rel, szTarget, szArgs, szDir});
}

static void Walk(IShellLinkA *pLink, const std::string &dir, const std::string &rel)
{
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((dir + "*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            Walk(pLink, dir + name + "\\", rel + name + "\\");
        else if (name.size() > 4 && _stricmp(name.c_str() + name.size() - 4, ".lnk") == 0)
            RecordLink(pLink, dir + name, rel + name);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

static std::string ProgramsDir()
{
    char szPrograms[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(NULL, CSIDL_PROGRAMS, NULL, SHGFP_TYPE_CURRENT, szPrograms)))
        return std::string();
    return szPrograms;
}

void CloseGroupWindows()
{
    std::string programs = ProgramsDir();
    WIN32_FIND_DATAA fd;
    HANDLE hFind = programs.empty() ? INVALID_HANDLE_VALUE : FindFirstFileA((programs + "\\*").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || fd.cFileName[0] == '.')
            continue;
        WindowQuery q;
        q.pszCaption = fd.cFileName;
        for (HWND hWnd = FindShownWindow(q); hWnd; hWnd = FindShownWindow(q)) {
            PostMessageA(hWnd, WM_CLOSE, 0, 0);
            q.skip.push_back(hWnd);
        }
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
}

void RecordShortcuts()
{
    std::string programs = ProgramsDir();
    if (programs.empty()) {
        RecordEvent(0, "note", "the Start Menu's Programs folder is unknown");
        return;
    }
    HRESULT hrInit = CoInitialize(NULL);
    IShellLinkA *pLink = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&pLink)))) {
        Walk(pLink, programs + "\\", "");
        pLink->Release();
    }
    if (SUCCEEDED(hrInit))
        CoUninitialize();
}
