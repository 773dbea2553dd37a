/* fuzz_prompt.cpp - prompt formats from the manifest with arbitrary
 * arguments and output sizes.  The argument array is exactly as long as the
 * count says, so a conversion that reaches for one more is seen; the text
 * is worked out a second way and compared, as for the macro expansion. */
#include <vector>

#include "fuzz_input.h"
#include "logic.h"

static std::string FormatWhole(const std::string &fmt, const std::vector<std::string> &args)
{
    std::string out;
    size_t iArg = 0;
    for (size_t i = 0; i < fmt.size(); i++) {
        char c = i + 1 < fmt.size() ? fmt[i + 1] : '\0';
        if (fmt[i] != '%') {
            out += fmt[i];
        } else if (c == 's') {
            if (iArg < args.size())
                out += args[iArg];
            iArg++;
            i++;
        } else if (c == '%') {
            out += '%';
            i++;
        } else {
            out += '%';
        }
    }
    return out;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    FuzzInput in(pData, cbData);
    size_t cchOut = PickOutputSize(in);
    size_t nArgs = in.TakeByte() % 4;
    std::string fmt = in.TakeText();
    std::vector<std::string> args;
    std::vector<std::unique_ptr<char[]>> argCopies;
    for (size_t i = 0; i < nArgs; i++) {
        args.push_back(in.TakeText());
        argCopies.push_back(ExactCopy(args.back()));
    }
    std::unique_ptr<const char *[]> ppszArgs(new const char *[nArgs]);
    for (size_t i = 0; i < nArgs; i++)
        ppszArgs[i] = argCopies[i].get();
    auto pszFmt = ExactCopy(fmt);
    auto pszOut = ExactBuffer(cchOut);

    int nResult = FormatPrompt(pszFmt.get(), ppszArgs.get(), (int)nArgs, pszOut.get(), cchOut);

    std::string whole = FormatWhole(fmt, args);
    FUZZ_CHECK(nResult == (whole.size() < cchOut));
    if (cchOut == 0)
        return 0;
    size_t nLen = strnlen(pszOut.get(), cchOut);
    size_t nKept = whole.size() < cchOut ? whole.size() : cchOut - 1;
    FUZZ_CHECK(nLen == nKept);
    FUZZ_CHECK(memcmp(pszOut.get(), whole.data(), nKept) == 0);
    return 0;
}
