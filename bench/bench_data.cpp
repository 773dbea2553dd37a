/* bench_data.cpp - the files the benchmark works on: folders made fresh and
 * removed, item files written from their pattern, the sealed manifest
 * module, free disk space, and the checks that an install, a build or a
 * concatenation produced the right bytes (a fast wrong result must never
 * count). */
#include "bench.h"

#include <windows.h>

#include <string.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "logic.h"
#include "resource.h"

static const size_t cbChunk = 1 << 20;

std::string ProgramPath()
{
    char szPath[MAX_PATH];
    DWORD cch = GetModuleFileNameA(NULL, szPath, sizeof(szPath));
    return std::string(szPath, cch < sizeof(szPath) ? cch : 0);
}

std::string ExeFolder()
{
    std::string path = ProgramPath();
    return path.substr(0, path.find_last_of("\\/") + 1);
}

bool MakeFolder(const std::string &path)
{
    return CreateDirectoryA(path.c_str(), NULL) || GetLastError() == ERROR_ALREADY_EXISTS;
}

void RemoveFolder(const std::string &path)
{
    std::string base = path;
    if (!base.empty() && base.back() == '\\')
        base.pop_back();
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((base + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (strcmp(fd.cFileName, ".") == 0 || strcmp(fd.cFileName, "..") == 0)
                continue;
            std::string child = base + "\\" + fd.cFileName;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveFolder(child);
            } else {
                SetFileAttributesA(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(child.c_str());
            }
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    RemoveDirectoryA(base.c_str());
}

/* A Win32 file handle closed on every way out. */
class HandleOwner {
public:
    explicit HandleOwner(HANDLE h) : m_h(h) {}
    ~HandleOwner() { if (m_h != INVALID_HANDLE_VALUE) CloseHandle(m_h); }
    HANDLE Get() const { return m_h; }
    bool IsOpen() const { return m_h != INVALID_HANDLE_VALUE; }
private:
    HandleOwner(const HandleOwner &);
    HandleOwner &operator=(const HandleOwner &);
    HANDLE m_h;
};

static HANDLE OpenForRead(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, NULL);
}

static HANDLE CreateForWrite(const std::string &path)
{
    return CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                       FILE_ATTRIBUTE_NORMAL, NULL);
}

bool WriteTextFile(const std::string &path, const std::string &text)
{
    HandleOwner file(CreateForWrite(path));
    DWORD cbDone = 0;
    return file.IsOpen() && WriteFile(file.Get(), text.data(), (DWORD)text.size(), &cbDone, NULL) &&
           cbDone == text.size();
}

/* Hands an item's bytes to pfnTake a chunk at a time; false as soon as it
   does. */
static bool ForEachItemChunk(uint64_t ullSeed, long long llSize,
                             const std::function<bool(const unsigned char *, DWORD)> &pfnTake)
{
    std::unique_ptr<unsigned char[]> pb(new unsigned char[cbChunk]);
    for (long long llDone = 0; llDone < llSize;) {
        DWORD cb = (DWORD)std::min<long long>((long long)cbChunk, llSize - llDone);
        FillPattern(ullSeed, (uint64_t)llDone, pb.get(), cb);
        if (!pfnTake(pb.get(), cb))
            return false;
        llDone += cb;
    }
    return true;
}

bool WriteItemFile(const std::string &path, uint64_t ullSeed, long long llSize)
{
    HandleOwner file(CreateForWrite(path));
    return file.IsOpen() && ForEachItemChunk(ullSeed, llSize, [&](const unsigned char *pb, DWORD cb) {
               DWORD cbDone = 0;
               return WriteFile(file.Get(), pb, cb, &cbDone, NULL) && cbDone == cb;
           });
}

std::string ModuleFile(const std::string &module)
{
    return "bench_" + module + ".dll";
}

std::string SealedModuleName(const std::string &setName)
{
    return setName + "_sealed";
}

/* The checksum resource for the set's package: a CRC-32 per item, and the
   package length, every item behind its length field. */
static std::vector<unsigned char> MakeSetSums(const SetRuns &set)
{
    std::vector<uint32_t> aCrcs;
    for (int i = 0; i < set.nItems; i++) {
        uint32_t uCrc = 0;
        ForEachItemChunk(ItemSeed(set.name.c_str(), i), set.llItemSize, [&](const unsigned char *pb, DWORD cb) {
            uCrc = Crc32Update(uCrc, pb, cb);
            return true;
        });
        aCrcs.push_back(uCrc);
    }
    uint64_t uTotal = (uint64_t)set.nItems * (RECORD_HEADER_SIZE + (uint64_t)set.llItemSize);
    std::vector<unsigned char> abSums((size_t)PackageSumsSize((uint32_t)aCrcs.size()));
    EncodePackageSums((uint32_t)aCrcs.size(), uTotal, aCrcs.data(), abSums.data(), abSums.size());
    return abSums;
}

/* Added in the language the kit's seal writes it in (neutral), where
   FindResourceA looks first. */
std::string MakeSealedModule(const std::string &folder, const SetRuns &set)
{
    std::string sealed = folder + ModuleFile(SealedModuleName(set.name));
    if (!CopyFileA((folder + ModuleFile(set.name)).c_str(), sealed.c_str(), FALSE))
        return "the sealed manifest module could not be made (no " + ModuleFile(set.name) + ")";
    std::vector<unsigned char> abSums = MakeSetSums(set);
    HANDLE hUpdate = BeginUpdateResourceA(sealed.c_str(), FALSE);
    bool fDone = hUpdate != NULL &&
                 UpdateResourceA(hUpdate, RT_RCDATA, RES_PACKAGE_SUMS, MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL),
                                 abSums.data(), (DWORD)abSums.size());
    if (hUpdate != NULL && !EndUpdateResourceA(hUpdate, !fDone))
        fDone = false;
    return fDone ? "" : "the checksums could not be added to " + ModuleFile(SealedModuleName(set.name));
}

std::string MakeSetFiles(const std::string &data, const SetRuns &set, const std::string &package)
{
    RemoveFolder(data);
    if (!MakeFolder(data) || !MakeFolder(data + "\\src") || !MakeFolder(data + "\\out"))
        return "the data folders could not be made";
    std::string script = "Package script of the benchmark.\r\n*###\r\nPACKAGE# \"out\\" +
                         package + "\"\r\n";
    for (int i = 0; i < set.nItems; i++) {
        std::string name = ItemFileName(i);
        if (!WriteItemFile(data + "\\src\\" + name, ItemSeed(set.name.c_str(), i),
                           set.llItemSize))
            return "the source files could not be written";
        script += "ITEM# \"src\\" + name + "\"\r\n";
    }
    return WriteTextFile(data + "\\pkg.qps", script) ? "" : "the script could not be written";
}

unsigned long long FreeDiskBytes(const std::string &path)
{
    ULARGE_INTEGER avail, total, free;
    if (!GetDiskFreeSpaceExA(path.c_str(), &avail, &total, &free))
        return 0;
    return avail.QuadPart;
}

/* ---- Checks -------------------------------------------------------------- */

static bool ReadAt(HANDLE hFile, long long llOffset, void *pv, DWORD cb)
{
    LARGE_INTEGER li;
    li.QuadPart = llOffset;
    DWORD cbDone = 0;
    return SetFilePointerEx(hFile, li, NULL, FILE_BEGIN) &&
           ReadFile(hFile, pv, cb, &cbDone, NULL) && cbDone == cb;
}

/* Compares llLen bytes of the file at llFileAt with the item stream at
   llItemAt. */
static bool SameAsPattern(HANDLE hFile, long long llFileAt, uint64_t ullSeed, long long llItemAt,
                          long long llLen)
{
    std::unique_ptr<unsigned char[]> pbFile(new unsigned char[cbChunk]);
    std::unique_ptr<unsigned char[]> pbWant(new unsigned char[cbChunk]);
    for (long long llDone = 0; llDone < llLen;) {
        DWORD cb = (DWORD)std::min<long long>((long long)cbChunk, llLen - llDone);
        if (!ReadAt(hFile, llFileAt + llDone, pbFile.get(), cb))
            return false;
        FillPattern(ullSeed, (uint64_t)(llItemAt + llDone), pbWant.get(), cb);
        if (memcmp(pbFile.get(), pbWant.get(), cb) != 0)
            return false;
        llDone += cb;
    }
    return true;
}

/* One item's bytes at llFileAt: whole up to 1 MB, else a megabyte at its
   start, middle and end, which finds a lost, doubled or shifted chunk
   without reading a gigabyte back after every run. */
static bool ItemMatches(HANDLE hFile, long long llFileAt, uint64_t ullSeed, long long llSize)
{
    const long long llWin = (long long)cbChunk;
    if (llSize <= llWin)
        return SameAsPattern(hFile, llFileAt, ullSeed, 0, llSize);
    const long long aStarts[] = {0, (llSize - llWin) / 2, llSize - llWin};
    for (long long llAt : aStarts)
        if (!SameAsPattern(hFile, llFileAt + llAt, ullSeed, llAt, llWin))
            return false;
    return true;
}

static long long FileSizeOf(HANDLE hFile)
{
    LARGE_INTEGER li;
    return GetFileSizeEx(hFile, &li) ? li.QuadPart : -1;
}

std::string VerifyFolder(const std::string &folder, const SetRuns &set)
{
    for (int i = 0; i < set.nItems; i++) {
        std::string name = ItemFileName(i);
        HandleOwner file(OpenForRead(folder + name));
        if (!file.IsOpen())
            return name + " missing";
        if (FileSizeOf(file.Get()) != set.llItemSize)
            return name + " has the wrong size";
        if (!ItemMatches(file.Get(), 0, ItemSeed(set.name.c_str(), i), set.llItemSize))
            return name + " has the wrong bytes";
    }
    return "";
}

/* A package holds each item behind its 4-byte little-endian length; the
   plain concatenation holds the items alone. */
std::string VerifyPackage(const std::string &path, const SetRuns &set, bool fRecords)
{
    HandleOwner file(OpenForRead(path));
    if (!file.IsOpen())
        return "output missing";
    const long long llHead = fRecords ? 4 : 0;
    if (FileSizeOf(file.Get()) != set.nItems * (llHead + set.llItemSize))
        return "output has the wrong size";
    long long llAt = 0;
    for (int i = 0; i < set.nItems; i++) {
        if (fRecords) {
            unsigned char ab[4];
            if (!ReadAt(file.Get(), llAt, ab, sizeof(ab)))
                return "output unreadable";
            long long llLen = ab[0] | ab[1] << 8 | ab[2] << 16 | (long long)ab[3] << 24;
            if (llLen != set.llItemSize)
                return "record " + std::to_string(i) + " has the wrong length";
        }
        llAt += llHead;
        if (!ItemMatches(file.Get(), llAt, ItemSeed(set.name.c_str(), i), set.llItemSize))
            return "item " + std::to_string(i) + " has the wrong bytes";
        llAt += set.llItemSize;
    }
    return "";
}
