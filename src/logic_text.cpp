/* logic_text.cpp - bounded text, the command tail and manifest value syntax.
 * No platform calls: tested natively and under Wine alike. */
#include "logic.h"

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
