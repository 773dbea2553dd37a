/* load.cpp - the package builder.  A package script names the package file
 * and, in order, the item files; each item becomes one record: its length
 * as 4 little-endian bytes, then its bytes.  Run once, without a window. */
#include "load.h"

#include "filedir.h"
#include "fixed.h"
#include "logic.h"
#include "manifest.h"
#include "resource.h"
#include "scoped.h"

long GetFileSize2(HFILE hFile)
{
    LONG lEnd = _llseek(hFile, 0, FILE_END);
    _llseek(hFile, 0, FILE_BEGIN);
    /* _llseek reports only 32 bits of the position: a file of 2 GiB or more
       shows up negative or wrapped, so its true size is asked for as well
       and anything a signed length field cannot carry is refused. */
    LARGE_INTEGER liSize;
    if (lEnd == HFILE_ERROR || !GetFileSizeEx(LongToHandle(hFile), &liSize) ||
        liSize.QuadPart != lEnd)
        return -1;
    return lEnd;
}

void *ReadFile2(const char *pszFile, HGLOBAL *phMem, long *plSize)
{
    OFSTRUCT ofs;
    FileOwner file(OpenFileQ(pszFile, &ofs, OF_READ));
    if (!file.IsOpen())
        return NULL;
    long lSize = GetFileSize2(file.Get());
    *plSize = lSize;
    if (lSize <= 0)
        return NULL;
    /* A short read would leave zero bytes standing in for the file's own,
       so the block is given up rather than handed on. */
    GlobalOwner block;
    void *pv = block.Alloc(static_cast<SIZE_T>(lSize));
    if (pv == NULL || !ReadExact(file.Get(), pv, lSize)) {
        *phMem = NULL;
        return NULL;
    }
    *phMem = block.Detach();
    return pv;
}

/* ReadFile2 with the block handed to pOwner, so it is freed on every way out. */
static void *ReadOwned(const char *pszFile, GlobalOwner *pOwner, long *plSize)
{
    HGLOBAL hMem = NULL;
    *plSize = 0;
    void *pv = ReadFile2(pszFile, &hMem, plSize);
    if (pv != NULL)
        pOwner->Adopt(hMem, pv);
    return pv;
}

int PackFile(HFILE hPackage, const char *pszFile)
{
    GlobalOwner item;
    long lSize;
    void *pv = ReadOwned(pszFile, &item, &lSize);
    if (pv == NULL)
        return 0;
    unsigned char abLength[RECORD_HEADER_SIZE];
    EncodeRecordLength(lSize, abLength);
    return WriteExact(hPackage, abLength, sizeof(abLength)) && WriteExact(hPackage, pv, lSize);
}

/* A name of the script, terminated, into szName; 0 when it is too long to
   be a path (cutting it would open some other file). */
static int TakeScriptName(const char *pText, const ScriptName *pName, char *pszName, size_t cchName)
{
    if (pName->nLen >= cchName)
        return 0;
    CopySzMax(pszName, cchName, pText + pName->nStart, pName->nLen);
    return 1;
}

/* Writes every item's record into the open package; 1 when the list was
   read to its end. */
static int PackItems(HFILE hPackage, const char *pText, size_t cbText, size_t nFrom)
{
    ScriptName item;
    int nFound;
    while ((nFound = ScanNextItem(pText, cbText, nFrom, &item)) == 1) {
        char szItem[PATH_BUF];
        if (!TakeScriptName(pText, &item, szItem, sizeof(szItem)) || !PackFile(hPackage, szItem))
            return 0;
        nFrom = item.nNext;
    }
    return nFound == 0;
}

/* The build itself.  The owners close the package file first and then give
   up the script's block, on every way out. */
static int BuildPackage(const char *pszScript)
{
    GlobalOwner script;
    long lSize;
    void *pv = ReadOwned(pszScript, &script, &lSize);
    if (pv == NULL)
        return 0;
    const char *pText = static_cast<const char *>(pv);
    size_t cbText = static_cast<size_t>(lSize);

    ScriptName package;
    char szPackage[PATH_BUF];
    if (!ScanPackageName(pText, cbText, &package) ||
        !TakeScriptName(pText, &package, szPackage, sizeof(szPackage)))
        return 0;
    OFSTRUCT ofs;
    FileOwner file(OpenFileQ(szPackage, &ofs, OF_CREATE | OF_WRITE));
    if (!file.IsOpen())
        return 0;
    return PackItems(file.Get(), pText, cbText, package.nNext);
}

int PackFiles(const char *pszCmdLine)
{
    int bOk = BuildPackage(pszCmdLine);
    if (!bOk)
        ErrBox(MSG_BUILD_FAILED, szTextBuildFailed);
    return bOk;
}
