/* fuzz_prompt.cpp - prompt formats from the manifest with arbitrary
 * arguments and output sizes.  The argument array is exactly as long as the
 * count says, so a conversion that reaches for one more is seen; the text
 * is worked out a second way and compared, as for the macro expansion. */
#include <algorithm>
#include <cctype>
#include <vector>

#include "fuzz_input.h"
#include "logic.h"

/* The length of a string conversion at fmt[i] ("%", flags "-#0" in that
   order, width, "." precision, "h", "s"), 0 when there is none; the width,
   precision and side come back through the references. */
static size_t MatchStringConversion(const std::string &fmt, size_t i, bool &fLeft,
                                    unsigned long long &width, unsigned long long &precision)
{
    size_t j = i + 1;
    auto at = [&](size_t k) { return k < fmt.size() ? fmt[k] : '\0'; };
    auto number = [&]() {
        unsigned long long n = 0;
        while (isdigit((unsigned char)at(j)))
            n = std::min<unsigned long long>(n * 10 + (unsigned long long)(at(j++) - '0'), 1ull << 40);
        return n;
    };
    fLeft = at(j) == '-';
    j += fLeft;
    for (char flag : {'#', '0'})
        j += at(j) == flag;
    width = number();
    precision = 0;
    if (at(j) == '.') {
        j++;
        precision = number();
    }
    j += at(j) == 'h';
    return at(j) == 's' ? j + 1 - i : 0;
}

static std::string FormatWhole(const std::string &fmt, const std::vector<std::string> &args,
                               size_t cchLimit)
{
    std::string out;
    size_t iArg = 0;
    for (size_t i = 0; i < fmt.size() && out.size() <= cchLimit; i++) {
        char c = i + 1 < fmt.size() ? fmt[i + 1] : '\0';
        bool fLeft;
        unsigned long long width, precision;
        size_t nConv = fmt[i] == '%' ? MatchStringConversion(fmt, i, fLeft, width, precision) : 0;
        if (fmt[i] != '%') {
            out += fmt[i];
        } else if (nConv != 0) {
            std::string arg = iArg < args.size() ? args[iArg] : "";
            iArg++;
            if (precision != 0 && arg.size() > precision)
                arg.resize(precision);
            /* Padding past what the output can hold only needs to show that
               the result was cut. */
            size_t pad = width > arg.size() ? (size_t)std::min<unsigned long long>(width - arg.size(), cchLimit + 1) : 0;
            out += fLeft ? arg + std::string(pad, ' ') : std::string(pad, ' ') + arg;
            i += nConv - 1;
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

    std::string whole = FormatWhole(fmt, args, cchOut);
    FUZZ_CHECK(nResult == (whole.size() < cchOut));
    if (cchOut == 0)
        return 0;
    size_t nLen = strnlen(pszOut.get(), cchOut);
    size_t nKept = whole.size() < cchOut ? whole.size() : cchOut - 1;
    FUZZ_CHECK(nLen == nKept);
    FUZZ_CHECK(memcmp(pszOut.get(), whole.data(), nKept) == 0);
    return 0;
}
