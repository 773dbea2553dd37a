/* unload.cpp - copies the package beside the running program to the items'
 * destinations, one record per item, each written or skipped under its rule,
 * dated and shown in the progress dialog; any failure is reported and stops.
 * When the build sealed the package's checksums into the program, the
 * package is checked against them before anything of it is written. */
#include "unload.h"

#include "filedir.h"
#include "fixed.h"
#include "logic.h"
#include "manifest.h"
#include "resource.h"
#include "scoped.h"
#include "statbar.h"

/* FileErrBox code for a path that cannot be used: "Path invalid.". */
enum { FILE_ERR_PATH_NOT_FOUND = 3 };

/* Every failure of the copy closes the progress dialog before its message. */
static int FailWith(UINT uId, const char *pszDefault)
{
    StatDlgEnd();
    ErrBox(uId, pszDefault);
    return 0;
}

static int FailWithFileError(UINT nErr)
{
    StatDlgEnd();
    FileErrBox(nErr);
    return 0;
}

/* A destination longer than its buffer is refused outright: writing to a
   cut path would put the item somewhere the manifest never named. */
static int RefuseLongPath(const char *pszFile)
{
    if (lstrlenA(pszFile) <= PATH_KEPT)
        return 0;
    FailWithFileError(FILE_ERR_PATH_NOT_FOUND);
    return 1;
}

/* The package's checksums while a copy runs with them: every record read,
   written or skipped, is checked before it goes anywhere. */
static int fSumsActive;
static PackageSums sumsPackage;
static uint32_t uNextRecord;
static uint64_t uSealedLeft;    /* sealed bytes from the next record on */

/* Ends the check when the copy ends, however it ends, so that a later
   ResToFile on its own reads as it always has. */
struct SumsScope {
    ~SumsScope() { fSumsActive = 0; }
};

/* 1 when the package holds exactly the bytes the checksums were made for. */
static int PackageLengthIs(HFILE hPkg, uint64_t uTotal)
{
    LARGE_INTEGER liSize;
    if (!GetFileSizeEx(LongToHandle(hPkg), &liSize))
        return 0;
    return (uint64_t)liSize.QuadPart == uTotal;
}

/* Starts the check for the open package when the program carries its
   checksums; without them the copy runs unchecked, as it always did.  A
   checksum resource that cannot be read counts as a mismatch: it says the
   package was sealed, and nothing can show this one is the sealed one.
   0: the package is not the sealed one (nothing has been touched yet). */
static int StartSumsCheck(HFILE hPkg)
{
    HINSTANCE hInst = GetAppInstance();
    HRSRC hRes = FindResourceA(hInst, RES_PACKAGE_SUMS, RT_RCDATA);
    if (hRes == NULL)
        return 1;
    HGLOBAL hData = LoadResource(hInst, hRes);
    const void *pv = hData ? LockResource(hData) : NULL;
    if (pv == NULL || !DecodePackageSums(pv, SizeofResource(hInst, hRes), &sumsPackage))
        return 0;
    /* A cut or padded package fails here, before the first item. */
    if (!PackageLengthIs(hPkg, sumsPackage.uTotal))
        return 0;
    fSumsActive = 1;
    uNextRecord = 0;
    uSealedLeft = sumsPackage.uTotal;
    return 1;
}

/* With the checksums, a record must also lie whole within the sealed
   length, so that a damaged length is refused like damaged data, before
   any memory is asked for it. */
static int RecordFitsSums(const unsigned char abHeader[RECORD_HEADER_SIZE])
{
    if (!fSumsActive)
        return 1;
    int32_t lLength = 0;
    if (ClassifyRecord(abHeader, uSealedLeft, &lLength) != RECORD_WHOLE)
        return 0;
    uSealedLeft -= RECORD_HEADER_SIZE + (uint64_t)lLength;
    return 1;
}

/* 1 when the record just read matches its checksum, or no check runs. */
static int RecordMatchesSums(const void *pv, long cb)
{
    if (!fSumsActive)
        return 1;
    return CheckRecordSum(&sumsPackage, uNextRecord++, pv, (size_t)cb);
}

/* Opens the package: entry 98 in the running program's folder.  A program
   path beyond 239 characters would leave no usable folder, and an absent
   name no file; both mean there is no package (the caller stays silent). */
static HFILE OpenPackage(void)
{
    char szExe[1024];
    DWORD n = GetModuleFileNameA(NULL, szExe, sizeof(szExe));
    if (n == 0 || n > PROGRAM_PATH_KEPT)
        return HFILE_ERROR;
    szExe[GetFileNameOfPath(NULL, 0, szExe, AnsiLeadBytes())] = '\0';

    char szName[PACKAGE_NAME_BUF];
    LoadEntry(IDS_PACKAGE, szName, sizeof(szName));
    if (szName[0] == '\0')
        return HFILE_ERROR;

    char szF[PATH_BUF];
    CopySz(szF, sizeof(szF), szExe);
    AppendSz(szF, sizeof(szF), szName);
    OFSTRUCT ofs = {};
    return OpenFileQ(szF, &ofs, OF_READ);
}

/* Reads the next record whole into rBlock (left empty for a record of
   length 0) and its length into *plSize.  Reports and returns 0 when the
   package ends early or the memory cannot be had. */
static int ReadRecord(HFILE hPkg, GlobalOwner &rBlock, long *plSize)
{
    unsigned char abHeader[RECORD_HEADER_SIZE];
    if (!ReadExact(hPkg, abHeader, sizeof(abHeader)) || !RecordFitsSums(abHeader))
        return FailWith(MSG_BAD_PACKAGE, szTextBadPackage);
    long lSize = DecodeRecordLength(abHeader);
    /* A negative length is a damaged package; asking for it as a size
       would request gigabytes, so it is refused before any allocation. */
    if (lSize < 0)
        return FailWith(MSG_NO_MEMORY, szTextNoMemory);
    *plSize = lSize;
    /* The builder never writes an empty record; one read here is taken
       for what it says: an empty file. */
    if (lSize > 0) {
        if (rBlock.Alloc((SIZE_T)lSize) == NULL)
            return FailWith(MSG_NO_MEMORY, szTextNoMemory);
        if (!ReadExact(hPkg, rBlock.Get(), lSize))
            return FailWith(MSG_BAD_PACKAGE, szTextBadPackage);
    }
    if (!RecordMatchesSums(rBlock.Get(), lSize))
        return FailWith(MSG_BAD_PACKAGE, szTextBadPackage);
    return 1;
}

/* A skipped item still consumes its record, with the same checks, so that
   the next item receives the next record. */
static int SkipRecord(HFILE hPkg)
{
    GlobalOwner block;
    long lSize = 0;
    return ReadRecord(hPkg, block, &lSize);
}

/* Closes the written file; 1 only when every byte reached it and the
   close succeeded. */
static int CloseWritten(FileOwner &rFile, int fWritten)
{
    if (_lclose(rFile.Detach()) == HFILE_ERROR)
        return 0;
    return fWritten;
}

/* Writes the next record to pszFile and, when pszDate is not empty, dates
   it through the same handle before closing: the date is the one a second
   open would have set, without the second open and close. */
static int WriteRecordTo(const char *pszFile, HFILE hPkg, const char *pszDate)
{
    GlobalOwner block;
    long lSize = 0;
    if (!ReadRecord(hPkg, block, &lSize))
        return 0;

    OFSTRUCT ofs = {};
    FileOwner file(OpenFileQ(pszFile, &ofs, OF_CREATE | OF_WRITE));
    if (!file.IsOpen())
        return FailWithFileError(ofs.nErrCode);
    int fWritten = lSize == 0 || WriteExact(file.Get(), block.Get(), lSize);
    if (fWritten && pszDate[0] != '\0')
        StampFileDate(file.Get(), pszFile, pszDate);
    if (!CloseWritten(file, fWritten)) {
        /* A cut file would pass for installed, and on a retry an "N" or
           "O" rule would keep it; it goes, and the copy stops. */
        DeleteFileA(pszFile);
        return FailWith(MSG_WRITE_SHORT, szTextWriteShort);
    }
    return 1;
}

int ResToFile(const char *pszFile, HFILE hPkg)
{
    return WriteRecordTo(pszFile, hPkg, "");
}

int UnzipFile(const char *)
{
    return 1;
}

int MakeDestFile(const char *pszFile, const char *pszDate, HFILE hPkg)
{
    if (RefuseLongPath(pszFile) || !WriteRecordTo(pszFile, hPkg, pszDate))
        return 0;
    if (IsArchiveName(pszFile))
        UnzipFile(pszFile);
    return 1;
}

/* Asks about an existing destination; the rule's format is manifest text,
   so it is filled in by FormatPrompt and never handed to a printf-style call. */
static int AskItem(const char *pszFormat, const char *pszFile)
{
    char szMsg[ITEM_PROMPT_BUF];
    const char *apszArgs[1] = {pszFile};
    FormatPrompt(pszFormat, apszArgs, 1, szMsg, sizeof(szMsg));
    return AskOverwrite(szMsg);
}

int CanOvr(const char *pszFile, int nItem)
{
    char szRule[ITEM_RULE_BUF];
    LoadEntry(IDS_ITEM_RULE + nItem, szRule, sizeof(szRule));
    if (!ItemRuleLooksAtFile(szRule))
        return OVR_WRITE;
    char szDate[ITEM_DATE_BUF] = "";
    if (!GetFileDate(pszFile, szDate))
        return OVR_WRITE;       /* no file there (or none we can read) */
    const char *pszFormat = NULL;
    int nDecision = DecideItemRule(szRule, szDate, &pszFormat);
    return nDecision == OVR_ASK ? AskItem(pszFormat, pszFile) : nDecision;
}

/* Item i's destination, expanded against pszPath, into pszDest (256).
   Empty, cut by the expansion, or too long for its buffer: reported, 0. */
static int GetItemDest(int nItem, const char *pszPath, char *pszDest)
{
    const char *pszExpanded = LoadStrExpand(IDS_ITEM_DEST + nItem, "", pszPath);
    if (pszExpanded[0] == '\0' || ExpandWasCut())
        return FailWith(MSG_MISSING, szTextMissing);
    if (RefuseLongPath(pszExpanded))
        return 0;
    CopySz(pszDest, PATH_BUF, pszExpanded);
    return 1;
}

/* One item: destination, rule, progress, record.  0 stops the copy. */
static int ExtractItem(int nItem, int nCount, const char *pszPath, HFILE hPkg)
{
    char szDest[PATH_BUF];
    if (!GetItemDest(nItem, pszPath, szDest))
        return 0;
    char szName[ITEM_NAME_BUF];
    LoadEntry(IDS_ITEM_NAME + nItem, szName, sizeof(szName));

    int nAnswer = CanOvr(szDest, nItem);
    if (nAnswer == OVR_CANCEL) {
        StatDlgEnd();
        return 0;
    }
    if (nAnswer == OVR_SKIP)
        return SkipRecord(hPkg);

    /* The share of items before this one; 64 bits so no count overflows. */
    int nPercent = (int)((long long)nItem * 100 / nCount);
    if (!StatDlgMsg(szStatusCopying, szName, nPercent))
        return 0;
    char szDate[ITEM_DATE_BUF];
    LoadEntry(IDS_ITEM_DATE + nItem, szDate, sizeof(szDate));
    return MakeDestFile(szDest, szDate, hPkg);
}

int CheckSealedLength(void)
{
    FileOwner pkg(OpenPackage());
    if (!pkg.IsOpen())
        return 1;
    SumsScope sumsScope;
    if (!StartSumsCheck(pkg.Get()))
        return FailWith(MSG_BAD_PACKAGE, szTextBadPackage);
    return 1;
}

int ResToFiles(const char *pszPath)
{
    FileOwner pkg(OpenPackage());
    if (!pkg.IsOpen()) {
        StatDlgEnd();
        return 0;
    }
    SumsScope sumsScope;
    if (!StartSumsCheck(pkg.Get()))
        return FailWith(MSG_BAD_PACKAGE, szTextBadPackage);
    int nCount = LoadInt(IDS_ITEM_COUNT, 0);
    for (int i = 0; i < nCount; i++)
        if (!ExtractItem(i, nCount, pszPath, pkg.Get()))
            return 0;
    StatDlgMsg(szStatusDone, "", 100);
    return 1;
}
