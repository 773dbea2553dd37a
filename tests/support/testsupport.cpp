/* testsupport.cpp - files, folders, manifests and package bytes for the
 * Windows tests. */
#include "testsupport.h"

#include <shlobj.h>
#include <shobjidl.h>

#include "filedir.h"
#include "manifest.h"

#include <stdio.h>

#include <algorithm>

std::string ExeDir()
{
    char sz[MAX_PATH];
    DWORD n = GetModuleFileNameA(NULL, sz, sizeof(sz));
    std::string s(sz, n);
    size_t pos = s.find_last_of("\\/");
    return pos == std::string::npos ? std::string() : s.substr(0, pos + 1);
}

void RemoveTree(const std::string &path)
{
    std::string dir = path;
    /* Judged by whole characters: a double-byte name may end in the byte
       of a backslash. */
    if (EndsWithChar(dir.c_str(), '\\', AnsiLeadBytes()) || EndsWithChar(dir.c_str(), '/', AnsiLeadBytes()))
        dir.pop_back();
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string full = dir + "\\" + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(h, &fd));
        FindClose(h);
    }
    RemoveDirectoryA(dir.c_str());
}

void ForEachBelow(const std::string &dir, const std::function<void(const std::string &, bool)> &fn)
{
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA((dir + "*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE)
        return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..")
            continue;
        bool fDir = (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        fn(dir + name, fDir);
        if (fDir)
            ForEachBelow(dir + name + "\\", fn);
    } while (FindNextFileA(h, &fd));
    FindClose(h);
}

std::string ScratchDir(const std::string &name)
{
    std::string root = ExeDir() + "scratch";
    CreateDirectoryA(root.c_str(), NULL);
    std::string dir = root + "\\" + name;
    RemoveTree(dir);
    CreateDirectoryA(dir.c_str(), NULL);
    return dir + "\\";
}

bool WriteBytes(const std::string &path, const std::string &bytes)
{
    FILE *f = fopen(path.c_str(), "wb");
    if (!f)
        return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return fclose(f) == 0 && ok;
}

std::string ReadBytes(const std::string &path)
{
    std::string s;
    FILE *f = fopen(path.c_str(), "rb");
    if (!f)
        return s;
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), f)) > 0)
        s.append(buf, n);
    fclose(f);
    return s;
}

bool FileExists(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirExists(const std::string &path)
{
    DWORD a = GetFileAttributesA(path.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string CurrentDir()
{
    char sz[MAX_PATH];
    DWORD n = GetCurrentDirectoryA(sizeof(sz), sz);
    return std::string(sz, n < sizeof(sz) ? n : 0);
}

bool SetCurrentDir(const std::string &path)
{
    return SetCurrentDirectoryA(path.c_str()) != FALSE;
}

bool RunningUnderWine()
{
    HMODULE hNtdll = GetModuleHandleA("ntdll.dll");
    return hNtdll != NULL && GetProcAddress(hNtdll, "wine_get_version") != NULL;
}

char FreeDriveLetter()
{
    for (char c = 'Q'; c <= 'Y'; c++) {
        char szRoot[4] = {c, ':', '\\', '\0'};
        if (GetDriveTypeA(szRoot) <= DRIVE_NO_ROOT_DIR)
            return c;
    }
    return 0;
}

std::string LengthField(long lLength)
{
    unsigned long u = static_cast<unsigned long>(lLength);
    std::string s;
    for (int i = 0; i < 4; i++)
        s += static_cast<char>((u >> (8 * i)) & 0xFF);
    return s;
}

std::string PackageRecord(const std::string &data)
{
    return LengthField(static_cast<long>(data.size())) + data;
}

std::string WinPathOfUnix(const std::string &unixPath)
{
    std::string s = "Z:" + unixPath;
    std::replace(s.begin(), s.end(), '/', '\\');
    return s;
}

std::string PathOfLength(const std::string &dir, size_t nLength)
{
    if (nLength <= dir.size())
        return dir;
    return dir + std::string(nLength - dir.size() - 1, 'f') + "x";
}

HINSTANCE UseManifest(const char *pszName)
{
    std::string path = ExeDir() + pszName + ".dll";
    HINSTANCE h = LoadLibraryA(path.c_str());
    if (h)
        SetAppInstance(h);
    return h;
}

std::string ScreenshotPath(const std::string &name)
{
    std::string dir = ExeDir() + "..\\screenshots\\";
    CreateDirectoryA(dir.c_str(), NULL);
    return dir + name + ".bmp";
}

std::string ProgramsDir()
{
    char sz[MAX_PATH] = "";
    SHGetFolderPathA(NULL, CSIDL_PROGRAMS, NULL, 0, sz);
    return std::string(sz) + "\\";
}

std::string LinkTarget(const std::string &link)
{
    std::string target;
    CoInitialize(NULL);
    IShellLinkA *pLink = NULL;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, NULL, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void **>(&pLink)))) {
        IPersistFile *pFile = NULL;
        if (SUCCEEDED(pLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void **>(&pFile)))) {
            WCHAR wsz[MAX_PATH];
            MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, wsz, MAX_PATH);
            char sz[MAX_PATH];
            if (SUCCEEDED(pFile->Load(wsz, STGM_READ)) &&
                SUCCEEDED(pLink->GetPath(sz, MAX_PATH, NULL, 0)))
                target = sz;
            pFile->Release();
        }
        pLink->Release();
    }
    CoUninitialize();
    return target;
}

std::map<std::string, std::string> GroupShortcuts(const std::string &groupDir)
{
    std::map<std::string, std::string> links;
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((groupDir + "*.lnk").c_str(), &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return links;
    do {
        links[fd.cFileName] = LinkTarget(groupDir + fd.cFileName);
    } while (FindNextFileA(hFind, &fd));
    FindClose(hFind);
    return links;
}
