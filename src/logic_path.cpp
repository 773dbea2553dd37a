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


static int IsOneOf(char c, const char *pszSet)
{
    return c != '\0' && strchr(pszSet, c) != NULL;
}

/* Checks the name of cch bytes at psz: not empty, acceptable first
   character, no forbidden character and at most one full stop (which may
   come last).  Only whole characters are compared, never a trail byte. */
static int IsNameOk(const char *psz, size_t cch, const LeadBytes *pLead)
{
    if (cch == 0 || IsOneOf(*psz, szNewFolderBadFirst))
        return 0;
    int nDots = 0;
    for (size_t k = 0; k < cch; k += CharBytes(psz + k, pLead)) {
        if (IsOneOf(psz[k], szNewFolderBadAnywhere))
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

/* ---- Names Windows can create ------------------------------------------ */

/* Windows compares names in code page 1252 by folding
   each letter to upper case, the accented ones and the four in 0x8A-0x9F
   included, so A/a, Ä/ä, Š/š and Ÿ/ÿ name one file. */
unsigned char FoldNameChar(unsigned char c)
{
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return (unsigned char)(c - 0x20);
    switch (c) {
    case 0x9A: return 0x8A;
    case 0x9C: return 0x8C;
    case 0x9E: return 0x8E;
    case 0xFF: return 0x9F;
    default: return c;
    }
}

int IsControlChar(unsigned char c)
{
    return c < 32 || c == 127;
}

/* The digits after COM and LPT that make a device: 1-9, and the three
   superscript digits of code page 1252, which Windows also takes for them. */
static int IsDeviceDigit(unsigned char c)
{
    return (c >= '1' && c <= '9') || c == 0xB9 || c == 0xB2 || c == 0xB3;
}

static int StemIs(const char *psz, size_t cch, const char *pszStem)
{
    size_t n = strlen(pszStem);
    if (cch != n)
        return 0;
    for (size_t k = 0; k < n; k++)
        if (FoldNameChar((unsigned char)psz[k]) != (unsigned char)pszStem[k])
            return 0;
    return 1;
}

/* A device name: the text before the first dot, without the blanks that
   end it, is CON, PRN, AUX, NUL, or COM or LPT and one digit. */
static int IsDeviceName(const char *psz, size_t cch)
{
    size_t cchStem = 0;
    while (cchStem < cch && psz[cchStem] != '.')
        cchStem++;
    while (cchStem > 0 && psz[cchStem - 1] == ' ')
        cchStem--;
    static const char *const apszDevices[] = {"CON", "PRN", "AUX", "NUL"};
    for (size_t i = 0; i < sizeof apszDevices / sizeof apszDevices[0]; i++)
        if (StemIs(psz, cchStem, apszDevices[i]))
            return 1;
    return cchStem == 4 && (StemIs(psz, 3, "COM") || StemIs(psz, 3, "LPT")) &&
           IsDeviceDigit((unsigned char)psz[3]);
}

/* 1 when the last whole character of the cch bytes at psz is c. */
static int LastCharIs(const char *psz, size_t cch, char c, const LeadBytes *pLead)
{
    size_t k = 0, nLast = 0;
    while (k < cch) {
        nLast = k;
        k += CharBytes(psz + k, pLead);
    }
    return cch > 0 && k - nLast == 1 && psz[nLast] == c;
}

NameFault CheckWindowsName(const char *psz, size_t cch, unsigned uFaults, const LeadBytes *pLead)
{
    if ((uFaults & NAME_DOTS) && ((cch == 1 && psz[0] == '.') || (cch == 2 && psz[0] == '.' && psz[1] == '.')))
        return NAME_DOTS;
    for (size_t k = 0; k < cch; k += CharBytes(psz + k, pLead)) {
        unsigned char c = (unsigned char)psz[k];
        if ((uFaults & NAME_CONTROL) && IsControlChar(c))
            return NAME_CONTROL;
        if ((uFaults & NAME_REFUSED) && (IsOneOf((char)c, szNameRefused) || c == '\\' || c == '/'))
            return NAME_REFUSED;
        if ((uFaults & NAME_MACRO) && c == MACRO_MARK && k + 1 < cch && IsMacroLetter(psz[k + 1]))
            return NAME_MACRO;
    }
    if ((uFaults & NAME_DEVICE) && IsDeviceName(psz, cch))
        return NAME_DEVICE;
    if ((uFaults & NAME_TRAILING) && cch > 0 && (LastCharIs(psz, cch, '.', pLead) || LastCharIs(psz, cch, ' ', pLead)))
        return NAME_TRAILING;
    return NAME_OK;
}

NameFault CheckWindowsPath(const char *pszPath, unsigned uFaults, const LeadBytes *pLead, size_t *pnStart,
                           size_t *pnLen)
{
    size_t n = 0;
    if (StartsWithMacro(pszPath))
        n = 2;
    else if (pszPath[0] != '\0' && pszPath[1] == ':' && !IsLeadByte(pLead, (unsigned char)pszPath[0]))
        n = 2;          /* the drive's colon is the one a path may hold */
    while (pszPath[n] != '\0') {
        size_t cch = SpanToAny(pszPath + n, "\\/", pLead);
        NameFault fault = CheckWindowsName(pszPath + n, cch, uFaults, pLead);
        if (fault != NAME_OK) {
            *pnStart = n;
            *pnLen = cch;
            return fault;
        }
        n += cch;
        if (pszPath[n] != '\0')
            n++;
    }
    return NAME_OK;
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
