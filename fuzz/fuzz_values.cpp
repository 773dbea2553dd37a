/* fuzz_values.cpp - integer and boolean entry texts of any content.  The
 * integer is read again here with unbounded precision (a digit string is
 * compared by length and then by text) and must agree, saturating at the
 * ends of the 32-bit range; the boolean must be "TRUE" in any case only. */
#include <ctype.h>

#include "fuzz_input.h"
#include "logic.h"

/* The value of the text, or the range end it lies beyond. */
static int64_t ValueOf(const std::string &text)
{
    size_t i = 0;
    while (i < text.size() && strchr(" \t\n\v\f\r", text[i]) != NULL)
        i++;
    bool fNegative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        fNegative = text[i++] == '-';
    size_t nDigits = i;
    while (nDigits < text.size() && text[nDigits] >= '0' && text[nDigits] <= '9')
        nDigits++;
    std::string digits = text.substr(i, nDigits - i);
    digits.erase(0, digits.find_first_not_of('0'));   /* all zeros: empty */
    std::string limit = fNegative ? "2147483648" : "2147483647";
    bool fBeyond = digits.size() > limit.size() ||
                   (digits.size() == limit.size() && digits > limit);
    if (fBeyond)
        return fNegative ? INT32_MIN : INT32_MAX;
    int64_t ll = digits.empty() ? 0 : std::stoll(digits);
    return fNegative ? -ll : ll;
}

static bool IsTrue(const std::string &text)
{
    if (text.size() != 4)
        return false;
    for (size_t i = 0; i < 4; i++)
        if (toupper((unsigned char)text[i]) != "TRUE"[i] || (unsigned char)text[i] > 127)
            return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    FuzzInput in(pData, cbData);
    std::string text = in.TakeText();
    auto pszText = ExactCopy(text);
    FUZZ_CHECK(ParseIntText(pszText.get()) == ValueOf(text));
    FUZZ_CHECK(IsTrueText(pszText.get()) == (IsTrue(text) ? 1 : 0));
    return 0;
}
