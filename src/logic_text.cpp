/* logic_text.cpp - bounded text, the command tail, manifest value syntax,
 * destination macros, prompt formats and the file-error messages.
 * No platform calls: tested natively and under Wine alike. */
#include "logic.h"

#include "fixed.h"
#include "resource.h"

size_t CopySz(char *pszDst, size_t cchDst, const char *pszSrc)
{
    return CopySzMax(pszDst, cchDst, pszSrc, (size_t)-1);
}

size_t CopySzMax(char *pszDst, size_t cchDst, const char *pszSrc, size_t cchMax)
{
    if (cchDst == 0)
        return 0;
    size_t n = 0;
    while (n + 1 < cchDst && n < cchMax && pszSrc[n] != '\0') {
        pszDst[n] = pszSrc[n];
        n++;
    }
    pszDst[n] = '\0';
    return n;
}

const char *SkipProgramName(const char *pszCmdLine)
{
    const unsigned char *p = (const unsigned char *)pszCmdLine;
    if (*p == '"') {
        p++;
        while (*p != '\0' && *p != '"')
            p++;
        if (*p == '"')
            p++;
    } else {
        while (*p > ' ')
            p++;
    }
    while (*p != '\0' && *p <= ' ')
        p++;
    return (const char *)p;
}

int AppendSz(char *pszDst, size_t cchDst, const char *pszSrc)
{
    size_t nLen = 0;
    while (nLen < cchDst && pszDst[nLen] != '\0')
        nLen++;
    if (nLen == cchDst)
        return pszSrc[0] == '\0';
    size_t nCopied = CopySz(pszDst + nLen, cchDst - nLen, pszSrc);
    return pszSrc[nCopied] == '\0';
}

static int LowerAscii(int c)
{
    return (c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c;
}

int EqualNoCase(const char *pszA, const char *pszB)
{
    const unsigned char *pA = (const unsigned char *)pszA;
    const unsigned char *pB = (const unsigned char *)pszB;
    while (*pA != '\0' && LowerAscii(*pA) == LowerAscii(*pB)) {
        pA++;
        pB++;
    }
    return LowerAscii(*pA) == LowerAscii(*pB);
}

static int IsBlankChar(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int32_t ParseIntText(const char *psz)
{
    while (IsBlankChar(*psz))
        psz++;
    int fNegative = 0;
    if (*psz == '+' || *psz == '-')
        fNegative = *psz++ == '-';
    /* Accumulate the magnitude with a ceiling just past the 32-bit range, so
       a long run of digits settles on the nearest end of the range instead
       of wrapping into a value the manifest never meant. */
    const int64_t llCeiling = (int64_t)INT32_MAX + 1;
    int64_t llValue = 0;
    for (; *psz >= '0' && *psz <= '9'; psz++) {
        llValue = llValue * 10 + (*psz - '0');
        if (llValue > llCeiling)
            llValue = llCeiling;
    }
    if (fNegative)
        return (int32_t)-llValue;
    return llValue > INT32_MAX ? INT32_MAX : (int32_t)llValue;
}

int IsTrueText(const char *psz)
{
    return EqualNoCase(psz, "TRUE");
}

/* An output buffer that is filled from the front and remembers whether
   anything had to be left out. */
typedef struct OutText {
    char *psz;
    size_t cch;
    size_t nLen;
    int fCut;
} OutText;

static void OutInit(OutText *pOut, char *psz, size_t cch)
{
    pOut->psz = psz;
    pOut->cch = cch;
    pOut->nLen = 0;
    pOut->fCut = cch == 0;
    if (cch != 0)
        psz[0] = '\0';
}

static void OutSpan(OutText *pOut, const char *pSrc, size_t nSrc)
{
    if (pOut->cch == 0)
        return;
    size_t nRoom = pOut->cch - 1 - pOut->nLen;
    if (nSrc > nRoom) {
        nSrc = nRoom;
        pOut->fCut = 1;
    }
    for (size_t i = 0; i < nSrc; i++)
        pOut->psz[pOut->nLen++] = pSrc[i];
    pOut->psz[pOut->nLen] = '\0';
}

static void OutSz(OutText *pOut, const char *psz)
{
    size_t n = 0;
    while (psz[n] != '\0')
        n++;
    OutSpan(pOut, psz, n);
}

static size_t SpanTo(const char *psz, char c)
{
    size_t n = 0;
    while (psz[n] != '\0' && psz[n] != c)
        n++;
    return n;
}

/* Copies the text up to the next "%" and returns where it stopped: at that
   "%", or at the end of the text. */
static const char *OutUntilPercent(OutText *pOut, const char *p)
{
    size_t n = SpanTo(p, MACRO_MARK);
    OutSpan(pOut, p, n);
    return p + n;
}

/* A Windows directory followed by exactly one separating backslash. */
static int OutDir(OutText *pOut, const char *pszDir, const LeadBytes *pLead)
{
    if (pszDir == NULL || pszDir[0] == '\0')
        return 0;
    OutSz(pOut, pszDir);
    if (!EndsWithChar(pszDir, '\\', pLead))
        OutSz(pOut, "\\");
    return 1;
}

int IsMacroLetter(char c)
{
    return c == MACRO_DEST || c == MACRO_SYSDIR || c == MACRO_WINDIR;
}

int StartsWithMacro(const char *psz)
{
    return psz[0] == MACRO_MARK && IsMacroLetter(psz[1]);
}

int ExpandText(const char *pszFmt, const char *pszPath, const char *pszSysDir,
               const char *pszWinDir, char *pszOut, size_t cchOut, const LeadBytes *pLead)
{
    OutText out;
    OutInit(&out, pszOut, cchOut);
    int fDirsOk = 1;
    const char *p = pszFmt;
    while (*(p = OutUntilPercent(&out, p)) != '\0') {
        p++; /* the "%" */
        switch (*p) {
        case MACRO_DEST:
            OutSz(&out, pszPath);
            p++;
            break;
        case MACRO_SYSDIR:
            fDirsOk &= OutDir(&out, pszSysDir, pLead);
            p++;
            break;
        case MACRO_WINDIR:
            fDirsOk &= OutDir(&out, pszWinDir, pLead);
            p++;
            break;
        default:
            /* Not a macro: the "%" stays and the character after it is read
               again as ordinary text (it may open a macro itself). */
            OutSz(&out, "%");
            break;
        }
    }
    return !out.fCut && fDirsOk;
}

typedef struct StringConversion {
    int fLeft;              /* "-": padded on the right */
    size_t nWidth;
    size_t nPrecision;      /* 0: the whole text */
} StringConversion;

static void OutBlanks(OutText *pOut, size_t n)
{
    static const char szBlanks[] = "                ";
    /* A huge width only fills what the buffer holds. */
    while (n > 0 && !pOut->fCut) {
        size_t nStep = n < sizeof(szBlanks) - 1 ? n : sizeof(szBlanks) - 1;
        OutSpan(pOut, szBlanks, nStep);
        n -= nStep;
    }
}

/* Reads decimal digits, saturating so that no width overflows. */
static size_t ReadCount(const char **pp)
{
    const size_t nMax = (size_t)1 << 24;
    size_t n = 0;
    for (; **pp >= '0' && **pp <= '9'; (*pp)++)
        n = n < nMax ? n * 10 + (size_t)(**pp - '0') : nMax;
    return n;
}

/* A string conversion as Windows formats them: "%", the flags "-", "#" and
   "0" (each at most once, in that order), a width, "." and a precision, an
   optional "h", then "s".  Returns the length of the conversion, 0 when the
   text after the "%" is not one.  Strings are always padded with blanks,
   and a precision of 0 (or "." alone) sets no limit, as the system's own
   formatter does. */
static size_t ParseStringConversion(const char *pszConv, StringConversion *pConv)
{
    const char *p = pszConv + 1;
    pConv->fLeft = *p == '-';
    p += pConv->fLeft;
    p += *p == '#';
    p += *p == '0';
    pConv->nWidth = ReadCount(&p);
    pConv->nPrecision = 0;
    if (*p == '.') {
        p++;
        pConv->nPrecision = ReadCount(&p);
    }
    p += *p == 'h';
    return *p == 's' ? (size_t)(p + 1 - pszConv) : 0;
}

size_t StringConversionLength(const char *pszPercent)
{
    StringConversion conv;
    return ParseStringConversion(pszPercent, &conv);
}

static void OutConversion(OutText *pOut, const StringConversion *pConv, const char *pszArg)
{
    size_t nLen = 0;
    while (pszArg[nLen] != '\0' && (pConv->nPrecision == 0 || nLen < pConv->nPrecision))
        nLen++;
    size_t nPad = pConv->nWidth > nLen ? pConv->nWidth - nLen : 0;
    if (!pConv->fLeft)
        OutBlanks(pOut, nPad);
    OutSpan(pOut, pszArg, nLen);
    if (pConv->fLeft)
        OutBlanks(pOut, nPad);
}

int FormatPrompt(const char *pszFmt, const char *const *ppszArgs, int nArgs,
                 char *pszOut, size_t cchOut)
{
    OutText out;
    OutInit(&out, pszOut, cchOut);
    int iArg = 0;
    const char *p = pszFmt;
    while (*(p = OutUntilPercent(&out, p)) != '\0') {
        StringConversion conv;
        size_t nConv = ParseStringConversion(p, &conv);
        if (nConv != 0) {
            /* A conversion beyond the arguments given yields only its padding. */
            OutConversion(&out, &conv, iArg < nArgs ? ppszArgs[iArg] : "");
            iArg++;
            p += nConv;
        } else if (p[1] == '%') {
            OutSz(&out, "%");
            p += 2;
        } else {
            /* Any other conversion is shown as written: manifest text never
               reaches a real formatter. */
            OutSz(&out, "%");
            p++;
        }
    }
    return !out.fCut;
}

unsigned FileErrMessage(unsigned nErr, const char **ppszDefault)
{
    static const struct {
        unsigned nErr;
        unsigned uMsg;
        const char *pszText;
    } aMessages[] = {
        {3, MSG_SUBDIR, szTextFilePath},
        {4, MSG_FILE_TOOMANY, szTextFileTooMany},
        {5, MSG_FILE_DENIED, szTextFileDenied},
        {15, MSG_BAD_DRIVE, szTextFileDrive},
        {19, MSG_FILE_WPROTECT, szTextFileWriteProtect},
        {32, MSG_FILE_SHARING, szTextFileSharing},
        {33, MSG_FILE_LOCKING, szTextFileLocking},
        {53, MSG_FILE_NETWORK, szTextFileNetwork},
        {54, MSG_FILE_NETWORK, szTextFileNetwork},
        {58, MSG_FILE_NETWORK, szTextFileNetwork},
        {59, MSG_FILE_NETWORK, szTextFileNetwork},
        {65, MSG_FILE_NETWORK, szTextFileNetwork},
    };
    for (const auto &m : aMessages) {
        if (m.nErr == nErr) {
            *ppszDefault = m.pszText;
            return m.uMsg;
        }
    }
    *ppszDefault = szTextFileOther;
    return MSG_FILE_OTHER;
}

long DescriptionWidthPx(const char *pszText)
{
    long lWidth = 0;
    for (const unsigned char *p = (const unsigned char *)pszText; *p != '\0'; p++) {
        if (*p < 32)
            return -1;
        lWidth += abDescriptionCharPx[*p - 32];
    }
    return lWidth;
}
