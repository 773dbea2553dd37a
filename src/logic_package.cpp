/* logic_package.cpp - the package script's markers and the record length
 * field.  The builder hands the script's bytes here and gets back where each
 * name lies, so the scan can be tested without files. */
#include "logic.h"

#include <string.h>

static const char szStartMarker[] = "*###";
static const char szPackageMarker[] = "PACKAGE# \"";
static const char szItemMarker[] = "ITEM# \"";

/* The script is text only up to its first zero byte. */
static size_t TextLength(const char *pText, size_t cbText)
{
    const void *pZero = memchr(pText, '\0', cbText);
    return pZero ? (size_t)((const char *)pZero - pText) : cbText;
}

/* Offset of the first occurrence of pszMarker in [nFrom, cbText), or
   cbText when there is none.  Exact and case-sensitive. */
static size_t FindMarker(const char *pText, size_t cbText, size_t nFrom, const char *pszMarker)
{
    size_t cbMarker = strlen(pszMarker);
    for (size_t n = nFrom; n + cbMarker <= cbText; n++) {
        if (memcmp(pText + n, pszMarker, cbMarker) == 0)
            return n;
    }
    return cbText;
}

/* The name that starts at nStart, right after its marker: up to the next
   double quote.  1 with pName filled, 0 when the closing quote is missing. */
static int TakeName(const char *pText, size_t cbText, size_t nStart, ScriptName *pName)
{
    size_t nQuote = FindMarker(pText, cbText, nStart, "\"");
    if (nQuote == cbText)
        return 0;
    pName->nStart = nStart;
    pName->nLen = nQuote - nStart;
    pName->nNext = nQuote + 1;
    return 1;
}

int ScanPackageName(const char *pText, size_t cbText, ScriptName *pName)
{
    cbText = TextLength(pText, cbText);
    size_t nStart = FindMarker(pText, cbText, 0, szStartMarker);
    if (nStart == cbText)
        return 0;
    size_t nPackage = FindMarker(pText, cbText, nStart, szPackageMarker);
    if (nPackage == cbText)
        return 0;
    return TakeName(pText, cbText, nPackage + strlen(szPackageMarker), pName);
}

int ScanNextItem(const char *pText, size_t cbText, size_t nFrom, ScriptName *pName)
{
    cbText = TextLength(pText, cbText);
    if (nFrom > cbText)
        return 0;
    size_t nItem = FindMarker(pText, cbText, nFrom, szItemMarker);
    if (nItem == cbText)
        return 0;
    return TakeName(pText, cbText, nItem + strlen(szItemMarker), pName) ? 1 : -1;
}

void EncodeRecordLength(int32_t lLength, unsigned char abHeader[RECORD_HEADER_SIZE])
{
    uint32_t u = (uint32_t)lLength;
    for (int i = 0; i < RECORD_HEADER_SIZE; i++)
        abHeader[i] = (unsigned char)(u >> (8 * i));
}

int32_t DecodeRecordLength(const unsigned char abHeader[RECORD_HEADER_SIZE])
{
    uint32_t u = 0;
    for (int i = 0; i < RECORD_HEADER_SIZE; i++)
        u |= (uint32_t)abHeader[i] << (8 * i);
    return (int32_t)u;
}

RecordShape ClassifyRecord(const unsigned char *pbHeader, uint64_t cbLeft, int32_t *plLength)
{
    *plLength = 0;
    if (cbLeft < RECORD_HEADER_SIZE)
        return RECORD_SHORT_HEADER;
    *plLength = DecodeRecordLength(pbHeader);
    if (*plLength < 0)
        return RECORD_NEGATIVE;
    if ((uint64_t)*plLength > cbLeft - RECORD_HEADER_SIZE)
        return RECORD_SHORT_DATA;
    return RECORD_WHOLE;
}
