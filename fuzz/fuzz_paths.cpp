/* fuzz_paths.cpp - the name check for directories still to be created, the
 * file-name part of a path and the archive and drive-root tests, over
 * arbitrary text.  Each answer is compared with the rule worked out here on
 * a std::string, and the texts lie in blocks of exactly their size. */
#include <ctype.h>

#include "fuzz_input.h"
#include "logic.h"

static bool IsNameAccepted(const std::string &name)
{
    if (name.empty() || std::string(".+[];\",").find(name[0]) != std::string::npos)
        return false;
    if (name.find_first_of("?*: |=<>/") != std::string::npos)
        return false;
    return name.find('.') == name.rfind('.');   /* none or exactly one */
}

static bool IsSubAccepted(const std::string &sub)
{
    if (sub.empty())
        return true;
    /* The names between backslashes; a backslash at the very end closes the
       last name instead of opening an empty one. */
    size_t nFrom = 0;
    for (;;) {
        size_t nEnd = sub.find('\\', nFrom);
        if (!IsNameAccepted(sub.substr(nFrom, nEnd - nFrom)))
            return false;
        if (nEnd == std::string::npos || nEnd + 1 == sub.size())
            return true;
        nFrom = nEnd + 1;
    }
}

static void CheckFileName(const std::string &path, size_t cchFile)
{
    auto pszPath = ExactCopy(path);
    size_t nSep = path.find_last_of("\\/");
    size_t nStart = nSep == std::string::npos ? 0 : nSep + 1;
    FUZZ_CHECK(GetFileNameOfPath(NULL, 0, pszPath.get(), NULL) == (int)nStart);

    auto pszFile = ExactBuffer(cchFile);
    FUZZ_CHECK(GetFileNameOfPath(pszFile.get(), (int)cchFile, pszPath.get(), NULL) == (int)nStart);
    if (cchFile == 0)
        return;
    std::string name = path.substr(nStart);
    size_t nKept = name.size() < cchFile ? name.size() : cchFile - 1;
    FUZZ_CHECK(memcmp(pszFile.get(), name.data(), nKept) == 0);
    for (size_t i = nKept; i < cchFile; i++)
        FUZZ_CHECK(pszFile[i] == '\0');
}

static bool EndsInZip(const std::string &s)
{
    size_t n = s.size();
    return n >= 4 && s[n - 4] == '.' && tolower((unsigned char)s[n - 3]) == 'z' &&
           tolower((unsigned char)s[n - 2]) == 'i' && tolower((unsigned char)s[n - 1]) == 'p';
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    FuzzInput in(pData, cbData);
    size_t cchFile = PickOutputSize(in);
    std::string text = in.TakeText();
    auto pszText = ExactCopy(text);

    int nOk = IsSubOk(pszText.get(), NULL);
    FUZZ_CHECK(nOk == (IsSubAccepted(text) ? 1 : 0));
    CheckFileName(text, cchFile);
    FUZZ_CHECK(IsArchiveName(pszText.get()) == (EndsInZip(text) ? 1 : 0));
    bool fRoot = text.size() == 3 && text[1] == ':' && text[2] == '\\';
    FUZZ_CHECK(IsBareDriveRoot(pszText.get()) == (fRoot ? 1 : 0));
    FUZZ_CHECK(text == pszText.get());
    return 0;
}
