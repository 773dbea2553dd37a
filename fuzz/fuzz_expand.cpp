/* fuzz_expand.cpp - destination macros over arbitrary text, paths and
 * output sizes.  The expansion is worked out a second, simpler way here
 * (into an unbounded string), and the bounded result must be its prefix,
 * terminated inside the buffer, with 1 exactly when all of it fit. */
#include "fuzz_input.h"
#include "logic.h"

/* A directory and its one separating backslash; false when it is missing. */
static bool AddDir(std::string &rOut, const char *pszDir)
{
    if (pszDir == NULL || *pszDir == '\0')
        return false;
    rOut += pszDir;
    if (rOut.back() != '\\')
        rOut += '\\';
    return true;
}

static std::string ExpandWhole(const std::string &fmt, const std::string &path,
                               const char *pszSys, const char *pszWin, bool *pfDirsOk)
{
    std::string out;
    *pfDirsOk = true;
    for (size_t i = 0; i < fmt.size(); i++) {
        if (fmt[i] != '%') {
            out += fmt[i];
            continue;
        }
        char c = i + 1 < fmt.size() ? fmt[i + 1] : '\0';
        if (c == 'D')
            out += path;
        else if (c == 'S')
            *pfDirsOk = AddDir(out, pszSys) && *pfDirsOk;
        else if (c == 'W')
            *pfDirsOk = AddDir(out, pszWin) && *pfDirsOk;
        else {
            out += '%';     /* the next character is read again as text */
            continue;
        }
        i++;
    }
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    FuzzInput in(pData, cbData);
    size_t cchOut = PickOutputSize(in);
    uint8_t bFlags = in.TakeByte();
    std::string fmt = in.TakeText(), path = in.TakeText();
    std::string sys = in.TakeText(), win = in.TakeText();

    auto pszFmt = ExactCopy(fmt), pszPath = ExactCopy(path);
    auto pszSysCopy = ExactCopy(sys), pszWinCopy = ExactCopy(win);
    const char *pszSys = (bFlags & 1) ? NULL : pszSysCopy.get();
    const char *pszWin = (bFlags & 2) ? NULL : pszWinCopy.get();
    auto pszOut = ExactBuffer(cchOut);

    int nResult = ExpandText(pszFmt.get(), pszPath.get(), pszSys, pszWin, pszOut.get(), cchOut, NULL);

    bool fDirsOk;
    std::string whole = ExpandWhole(fmt, path, pszSys, pszWin, &fDirsOk);
    FUZZ_CHECK(nResult == 0 || nResult == 1);
    FUZZ_CHECK(nResult == (whole.size() < cchOut && fDirsOk));
    if (cchOut == 0)
        return 0;
    size_t nLen = strnlen(pszOut.get(), cchOut);
    FUZZ_CHECK(nLen < cchOut);
    size_t nKept = whole.size() < cchOut ? whole.size() : cchOut - 1;
    FUZZ_CHECK(nLen == nKept);
    FUZZ_CHECK(memcmp(pszOut.get(), whole.data(), nKept) == 0);
    /* The inputs are never written to. */
    FUZZ_CHECK(fmt == pszFmt.get() && path == pszPath.get());
    return 0;
}
