/* logic_path.cpp - path and item-date decisions that need no platform call:
 * the character steps of double-byte text, the names accepted for new
 * directories, the file-name part of a path, the archive test, DOS date
 * words and free-space arithmetic.  Tested natively. */
#include "logic.h"

#include "fixed.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

/* ---- Double-byte text -------------------------------------------------- */

void SetLeadByte(LeadBytes *pLead, unsigned char b)
{
    pLead->abBits[b >> 3] = (uint8_t)(pLead->abBits[b >> 3] | (1u << (b & 7)));
}

int IsLeadByte(const LeadBytes *pLead, unsigned char b)
{
    return pLead != NULL && ((pLead->abBits[b >> 3] >> (b & 7)) & 1u) != 0;
}

size_t CharBytes(const char *psz, const LeadBytes *pLead)
{
    if (psz[0] == '\0')
        return 0;
    return IsLeadByte(pLead, (unsigned char)psz[0]) && psz[1] != '\0' ? 2 : 1;
}

size_t SpanToAny(const char *psz, const char *pszSet, const LeadBytes *pLead)
{
    size_t n = 0;
    while (psz[n] != '\0' && strchr(pszSet, psz[n]) == NULL)
        n += CharBytes(psz + n, pLead);
    return n;
}

int EndsWithChar(const char *psz, char c, const LeadBytes *pLead)
{
    /* A trail byte cannot be told from the end: walk from the start. */
    size_t n = 0, nLast = 0, cb;
    while ((cb = CharBytes(psz + n, pLead)) != 0) {
        nLast = n;
        n += cb;
    }
    return n != 0 && n - nLast == 1 && psz[nLast] == c;
}

/* ---- Paths ------------------------------------------------------------- */

/* Characters a directory name may not start with; they are fine later on. */
static const char szBadFirst[] = ".+[];\",";
/* Characters no directory name may hold anywhere. */
static const char szBadAnywhere[] = "?*: |=<>/";

static int IsOneOf(char c, const char *pszSet)
{
    return c != '\0' && strchr(pszSet, c) != NULL;
}

/* Checks the name of cch bytes at psz: not empty, acceptable first
   character, no forbidden character and at most one full stop (which may
   come last).  Only whole characters are compared, never a trail byte. */
static int IsNameOk(const char *psz, size_t cch, const LeadBytes *pLead)
{
    if (cch == 0 || IsOneOf(*psz, szBadFirst))
        return 0;
    int nDots = 0;
    for (size_t k = 0; k < cch; k += CharBytes(psz + k, pLead)) {
        if (IsOneOf(psz[k], szBadAnywhere))
            return 0;
        if (psz[k] == '.' && ++nDots > 1)
            return 0;
    }
    return 1;
}

int IsSubOk(const char *pszSub, const LeadBytes *pLead)
{
    const char *psz = pszSub;
    while (*psz != '\0') {
        size_t cch = SpanToAny(psz, "\\", pLead);
        if (!IsNameOk(psz, cch, pLead))
            return 0;
        if (psz[cch] == '\0')
            break;
        psz += cch + 1;     /* a trailing backslash ends the text here */
    }
    return 1;
}

int GetFileNameOfPath(char *pszFile, int nFileBufSize, const char *pszPath,
                      const LeadBytes *pLead)
{
    size_t nStart = 0;
    for (size_t i = 0, cb; (cb = CharBytes(pszPath + i, pLead)) != 0; i += cb)
        if (cb == 1 && (pszPath[i] == '\\' || pszPath[i] == '/'))
            nStart = i + 1;
    if (pszFile != NULL && nFileBufSize > 0) {
        memset(pszFile, 0, (size_t)nFileBufSize);
        CopySz(pszFile, (size_t)nFileBufSize, pszPath + nStart);
    }
    return (int)nStart;
}

int IsBareDriveRoot(const char *pszPath)
{
    return pszPath[0] != '\0' && pszPath[1] == ':' && pszPath[2] == '\\' && pszPath[3] == '\0';
}

int IsArchiveName(const char *pszFile)
{
    /* The name ends in ".ZIP" (any case); a dot found in that position can
       have no backslash after it. */
    size_t n = strlen(pszFile);
    return n >= 4 && pszFile[n - 4] == '.' && EqualNoCase(pszFile + n - 3, "ZIP");
}

/* ---- Item dates -------------------------------------------------------- */

void FormatCalendarDate(unsigned uYear, unsigned uMonth, unsigned uDay, char *pszDate)
{
    if (uYear > 9999 || uMonth > 99 || uDay > 99) {
        CopySz(pszDate, 9, "99991231");
        return;
    }
    snprintf(pszDate, 9, "%04u%02u%02u", uYear, uMonth, uDay);
}

void FormatItemDate(uint16_t uDosDate, char *pszDate)
{
    FormatCalendarDate((unsigned)(uDosDate >> 9) + ITEM_YEAR_FIRST, (uDosDate >> 5) & 0x0Fu,
                       uDosDate & 0x1Fu, pszDate);
}

/* Copies the part of pszDate (nLen characters) that starts at nFrom into
   szPart, as much as it holds; a part the text does not reach is empty. */
static void CopyDatePart(char *szPart, size_t cchPart, const char *pszDate, size_t nLen,
                         size_t nFrom)
{
    szPart[0] = '\0';
    if (nFrom < nLen)
        CopySz(szPart, cchPart, pszDate + nFrom);
}

uint16_t PackItemDate(const char *pszDate)
{
    char szYr[5], szMo[3], szDy[3];
    size_t nLen = strlen(pszDate);
    CopyDatePart(szYr, sizeof(szYr), pszDate, nLen, 0);
    CopyDatePart(szMo, sizeof(szMo), pszDate, nLen, 4);
    CopyDatePart(szDy, sizeof(szDy), pszDate, nLen, 6);
    /* Read the standard way (white space, sign, digits; nothing gives 0).
       Unsigned arithmetic keeps negative parts in two's complement, so they
       spill into the higher fields exactly as the packed word always has. */
    uint32_t uYear = (uint32_t)strtol(szYr, NULL, 10) - ITEM_YEAR_FIRST;
    uint32_t uMonth = (uint32_t)strtol(szMo, NULL, 10);
    uint32_t uDay = (uint32_t)strtol(szDy, NULL, 10);
    return (uint16_t)(((uYear << 9) | (uMonth << 5) | uDay) & 0xFFFFu);
}

int IsValidDosDate(uint16_t uDosDate)
{
    static const unsigned char abDays[12] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    unsigned uYear = (unsigned)(uDosDate >> 9) + ITEM_YEAR_FIRST;
    unsigned uMonth = (uDosDate >> 5) & 0x0Fu;
    unsigned uDay = uDosDate & 0x1Fu;
    if (uMonth < 1 || uMonth > 12 || uDay < 1 || uDay > abDays[uMonth - 1])
        return 0;
    int fLeap = uYear % 4 == 0 && (uYear % 100 != 0 || uYear % 400 == 0);
    return !(uMonth == 2 && uDay == 29 && !fLeap);
}

/* ---- Free space -------------------------------------------------------- */

int32_t FreeKilobytes(uint32_t dwSectorsPerCluster, uint32_t dwBytesPerSector,
                      uint32_t dwFreeClusters)
{
    /* At most 2^96 bytes: split so that no step overflows 64 bits. */
    uint64_t qwBytesPerCluster = (uint64_t)dwSectorsPerCluster * dwBytesPerSector;
    uint64_t qwKb;
    if (qwBytesPerCluster != 0 && dwFreeClusters > UINT64_MAX / qwBytesPerCluster)
        return INT32_MAX;
    qwKb = qwBytesPerCluster * dwFreeClusters / 1024u;
    return qwKb > (uint64_t)INT32_MAX ? INT32_MAX : (int32_t)qwKb;
}
