/* fuzz_script.cpp - the package script's marker scan over arbitrary bytes,
 * walking the whole item list as the builder does.  The names found must
 * be the ones a plain substring search finds, each walk step must move
 * forward, and nothing may be read past the script's last byte. */
#include <vector>

#include "fuzz_input.h"
#include "logic.h"

static const std::string szPackage = "PACKAGE# \"", szItem = "ITEM# \"";

/* The names the script holds, found with std::string searches: the package
   name first; a lone double quote (never part of a name) marks an item
   whose closing quote is missing.  Empty when there is no package name. */
static std::vector<std::string> NamesOf(const std::string &text)
{
    std::vector<std::string> names;
    size_t nStart = text.find("*###");
    size_t nPackage = nStart == std::string::npos ? nStart : text.find(szPackage, nStart);
    if (nPackage == std::string::npos)
        return names;
    size_t nName = nPackage + szPackage.size();
    size_t nQuote = text.find('"', nName);
    if (nQuote == std::string::npos)
        return names;
    names.push_back(text.substr(nName, nQuote - nName));
    size_t nItem;
    while ((nItem = text.find(szItem, nQuote + 1)) != std::string::npos) {
        nName = nItem + szItem.size();
        nQuote = text.find('"', nName);
        if (nQuote == std::string::npos) {
            names.push_back("\"");
            break;
        }
        names.push_back(text.substr(nName, nQuote - nName));
    }
    return names;
}

/* A name the scan reports must lie inside the text, right after its
   marker, and end at a double quote with none inside it. */
static void CheckName(const char *pText, size_t cbText, const ScriptName &name,
                      const std::string &marker)
{
    FUZZ_CHECK(name.nStart >= marker.size());
    FUZZ_CHECK(memcmp(pText + name.nStart - marker.size(), marker.data(), marker.size()) == 0);
    FUZZ_CHECK(name.nStart + name.nLen < cbText);
    FUZZ_CHECK(pText[name.nStart + name.nLen] == '"');
    FUZZ_CHECK(memchr(pText + name.nStart, '"', name.nLen) == NULL);
    FUZZ_CHECK(name.nNext == name.nStart + name.nLen + 1);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    /* The script lies in a block of exactly its size, without terminator,
       as the builder holds it. */
    std::unique_ptr<char[]> pText(new char[cbData]);
    memcpy(pText.get(), pData, cbData);
    std::string text((const char *)pData, cbData);
    text = text.substr(0, text.find('\0'));   /* the text ends at a zero byte */
    std::vector<std::string> expected = NamesOf(text);

    std::vector<std::string> found;
    ScriptName name;
    if (ScanPackageName(pText.get(), cbData, &name)) {
        CheckName(pText.get(), text.size(), name, szPackage);
        found.push_back(std::string(pText.get() + name.nStart, name.nLen));
        size_t nFrom = name.nNext;
        int nFound;
        while ((nFound = ScanNextItem(pText.get(), cbData, nFrom, &name)) == 1) {
            CheckName(pText.get(), text.size(), name, szItem);
            FUZZ_CHECK(name.nNext > nFrom);
            found.push_back(std::string(pText.get() + name.nStart, name.nLen));
            nFrom = name.nNext;
        }
        FUZZ_CHECK(nFound == 0 || nFound == -1);
        if (nFound < 0)
            found.push_back("\"");
    }
    FUZZ_CHECK(found == expected);

    /* A start beyond the text finds nothing and reads nothing. */
    FUZZ_CHECK(ScanNextItem(pText.get(), cbData, cbData + 1 + (cbData ? pData[0] : 0), &name) == 0);
    return 0;
}
