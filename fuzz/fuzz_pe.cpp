/* fuzz_pe.cpp - the authoring tool's string-table reader and its lookup of
 * a named resource (how verify finds the package checksums).  An input whose
 * first byte is even is read as an image of arbitrary bytes: the readers may
 * refuse it but must give a reason and never read outside it, a resource
 * found lies in the image, and asking twice gives the same answer; the
 * resource writer may refuse it as a stub, with a reason, and what it
 * writes reads back with the manifest it was given.  An odd
 * first byte describes a string table instead, and with bit 2 set also a
 * checksum resource; a minimal PE32 or PE32+ image is built around them here
 * and must read back entry for entry and byte for byte. */
#include <ctype.h>

#include <algorithm>
#include <map>
#include <vector>

#include "fuzz_input.h"
#include "kit_pe.h"
#include "kit_pew.h"

typedef std::vector<unsigned char> Bytes;

static void Put16(Bytes &v, size_t n, uint32_t u)
{
    if (v.size() < n + 2)
        v.resize(n + 2);
    v[n] = (unsigned char)u;
    v[n + 1] = (unsigned char)(u >> 8);
}

static void Put32(Bytes &v, size_t n, uint32_t u)
{
    Put16(v, n, u & 0xffff);
    Put16(v, n + 2, u >> 16);
}

enum { RES_RVA = 0x1000, RES_FILE_OFFSET = 0x400, RT_RCDATA_TYPE = 10 };

static const char szSumsName[] = "QPKGSUMS";

/* One resource directory of nEntries numbered entries at nAt (section
   relative), each pointing at adwTarget[k]. */
static void PutDirectory(Bytes &res, size_t nAt, const std::vector<std::pair<uint32_t, uint32_t>> &entries)
{
    Put16(res, nAt + 14, (uint32_t)entries.size());
    for (size_t k = 0; k < entries.size(); k++) {
        Put32(res, nAt + 16 + 8 * k, entries[k].first);
        Put32(res, nAt + 20 + 8 * k, entries[k].second);
    }
}

/* Appends type 10's directory with the one named entry strName -> one
   language -> a data entry -> vData; returns where the directory starts. */
static size_t AppendNamed(Bytes &res, unsigned uLang, const std::string &strName, const Bytes &vData)
{
    size_t nNames = res.size(), nLang = nNames + 24, nEntry = nLang + 24, nName = nEntry + 16;
    Put16(res, nNames + 12, 1);                              /* one named entry, no numbered one */
    Put32(res, nNames + 16, 0x80000000u | (uint32_t)nName);
    Put32(res, nNames + 20, 0x80000000u | (uint32_t)nLang);
    PutDirectory(res, nLang, {{uLang, (uint32_t)nEntry}});
    Put16(res, nName, (uint32_t)strName.size());
    for (size_t c = 0; c < strName.size(); c++)
        Put16(res, nName + 2 + 2 * c, (unsigned char)strName[c]);
    size_t nData = res.size();
    res.insert(res.end(), vData.begin(), vData.end());
    Put32(res, nEntry, RES_RVA + (uint32_t)nData);
    Put32(res, nEntry + 4, (uint32_t)vData.size());
    return nNames;
}

/* The resource section: root -> type 6 -> one directory per block -> one
   language each -> a data entry -> 16 counted UTF-16 strings; with pNamed,
   also type 10 holding the resource named pNamed->first. */
static Bytes BuildResources(const std::map<unsigned, std::string> &strings, unsigned uLang,
                            const std::pair<std::string, Bytes> *pNamed)
{
    std::map<unsigned, std::vector<std::string>> blocks;
    for (const auto &e : strings) {
        std::vector<std::string> &block = blocks[e.first / 16 + 1];
        block.resize(16);
        block[e.first % 16] = e.second;
    }
    size_t nType = pNamed ? 32 : 24, nLangs = nType + 16 + 8 * blocks.size();
    size_t nEntries = nLangs + 24 * blocks.size(), nData = nEntries + 16 * blocks.size();
    Bytes res(nData, 0);
    std::vector<std::pair<uint32_t, uint32_t>> blockEntries;
    size_t k = 0;
    for (const auto &b : blocks) {
        size_t nLang = nLangs + 24 * k, nEntry = nEntries + 16 * k;
        blockEntries.push_back({b.first, 0x80000000u | (uint32_t)nLang});
        PutDirectory(res, nLang, {{uLang, (uint32_t)nEntry}});
        size_t nStart = res.size();
        for (const std::string &s : b.second) {
            size_t n = res.size();
            Put16(res, n, (uint32_t)s.size());
            for (size_t c = 0; c < s.size(); c++)
                Put16(res, n + 2 + 2 * c, (unsigned char)s[c]);   /* Latin-1 code points */
        }
        Put32(res, nEntry, RES_RVA + (uint32_t)nStart);
        Put32(res, nEntry + 4, (uint32_t)(res.size() - nStart));
        k++;
    }
    PutDirectory(res, nType, blockEntries);
    std::vector<std::pair<uint32_t, uint32_t>> types = {{6, 0x80000000u | (uint32_t)nType}};
    if (pNamed) {
        size_t nNames = AppendNamed(res, uLang, pNamed->first, pNamed->second);
        types.push_back({RT_RCDATA_TYPE, 0x80000000u | (uint32_t)nNames});
    }
    PutDirectory(res, 0, types);
    return res;
}

static Bytes BuildImage(const Bytes &res, bool fPlus)
{
    Bytes img(RES_FILE_OFFSET, 0);
    img[0] = 'M';
    img[1] = 'Z';
    Put32(img, 0x3c, 0x40);
    Put32(img, 0x40, 0x00004550);
    size_t nCoff = 0x44, nOpt = nCoff + 20;
    size_t nDirs = nOpt + (fPlus ? 112 : 96);
    Put16(img, nCoff + 2, 1);                                /* one section */
    Put16(img, nCoff + 16, (uint32_t)(nDirs + 16 * 8 - nOpt));
    Put16(img, nOpt, fPlus ? 0x20b : 0x10b);
    Put32(img, nDirs - 4, 16);
    Put32(img, nDirs + 16, RES_RVA);
    Put32(img, nDirs + 20, (uint32_t)res.size());
    size_t nSection = nDirs + 16 * 8;
    memcpy(&img[nSection], ".rsrc", 5);
    Put32(img, nSection + 8, (uint32_t)res.size());
    Put32(img, nSection + 12, RES_RVA);
    Put32(img, nSection + 16, (uint32_t)res.size());
    Put32(img, nSection + 20, RES_FILE_OFFSET);
    img.insert(img.end(), res.begin(), res.end());
    return img;
}

/* Texts of characters that code page 1252 holds at the same code, so the
   expected ANSI text is the text itself. */
static std::string TakeLatin1(FuzzInput &in)
{
    std::string s = in.TakeText();
    for (char &c : s)
        if ((unsigned char)c >= 0x80 && (unsigned char)c < 0xa0)
            c = (char)((unsigned char)c + 0x20);
    return s;
}

/* The checksum resource's name in the case the input picks (the lookup
   ignores case, as FindResource does), and its bytes. */
static std::pair<std::string, Bytes> TakeNamed(FuzzInput &in)
{
    std::string strName = szSumsName;
    uint8_t bCase = in.TakeByte();
    for (size_t c = 0; c < strName.size(); c++)
        if (bCase & (1u << c))
            strName[c] = (char)tolower((unsigned char)strName[c]);
    std::string strData = in.TakeText();
    return {strName, Bytes(strData.begin(), strData.end())};
}

/* Looks a resource up twice (the second time into a vector that already
   holds bytes): the answers agree, a refusal has a reason and leaves no
   bytes, and what is found occurs in the image. */
static int LookUpTwice(const Bytes &image, unsigned uType, const std::string &strName, Bytes *pvData)
{
    std::string error, errorAgain;
    int nFound = ReadPeNamedResource(image, uType, strName, pvData, &error);
    FUZZ_CHECK(nFound >= -1 && nFound <= 1);
    FUZZ_CHECK((nFound < 0) == !error.empty());
    FUZZ_CHECK(nFound == 1 || pvData->empty());
    if (nFound == 1 && !pvData->empty())
        FUZZ_CHECK(std::search(image.begin(), image.end(), pvData->begin(), pvData->end()) != image.end());
    Bytes vAgain(3, 0x5A);
    FUZZ_CHECK(ReadPeNamedResource(image, uType, strName, &vAgain, &errorAgain) == nFound);
    FUZZ_CHECK(vAgain == *pvData && errorAgain == error);
    return nFound;
}

static void CheckRoundTrip(FuzzInput &in, bool fPlus, bool fSums)
{
    unsigned uLang = in.TakeWord();
    std::map<unsigned, std::string> strings;
    size_t nStrings = in.TakeByte() % 40;
    for (size_t i = 0; i < nStrings; i++) {
        unsigned uId = in.TakeWord();
        strings[uId] = TakeLatin1(in);
    }
    std::pair<std::string, Bytes> named;
    if (fSums)
        named = TakeNamed(in);
    Bytes image = BuildImage(BuildResources(strings, uLang, fSums ? &named : nullptr), fPlus);

    Bytes vData;
    FUZZ_CHECK(LookUpTwice(image, RT_RCDATA_TYPE, szSumsName, &vData) == (fSums ? 1 : 0));
    FUZZ_CHECK(vData == named.second);
    FUZZ_CHECK(LookUpTwice(image, RT_RCDATA_TYPE, "QPKGSUM", &vData) == 0);
    FUZZ_CHECK(LookUpTwice(image, 6, szSumsName, &vData) == 0);

    StringTable table;
    std::string error;
    FUZZ_CHECK(ReadPeStringTable(image, &table, &error) == 1);
    std::map<unsigned, std::string> expected;
    for (const auto &e : strings)
        if (!e.second.empty())
            expected[e.first] = e.second;
    FUZZ_CHECK(table.mapEntries == expected);
    if (!strings.empty()) {
        FUZZ_CHECK(table.vLanguages == std::vector<unsigned>{uLang});
        for (const auto &block : table.mapBlockLanguages)
            FUZZ_CHECK(block.second == uLang);
    }
}

/* The image taken as a stub: refused with a reason, or written into an
   image that reads back whole. */
static void CheckWriter(const Bytes &image)
{
    const Manifest manifest = {{98, "F.PKG"}, {100, "C:\\F"}, {999, "0"}};
    const Bytes vSums = {1, 2, 3, 4};
    ProductVersion version;
    version.strName = "F";
    InstallerParts parts;
    parts.pManifest = &manifest;
    parts.pvSums = &vSums;
    parts.pVersion = &version;
    Bytes vOut;
    std::string error;
    if (!WriteInstallerImage(image, parts, &vOut, &error)) {
        FUZZ_CHECK(!error.empty());
        return;
    }
    StringTable table;
    FUZZ_CHECK(ReadPeStringTable(vOut, &table, &error) == 1);
    FUZZ_CHECK(table.mapEntries == manifest);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    FuzzInput in(pData, cbData);
    uint8_t bMode = in.TakeByte();
    if (bMode & 1) {
        CheckRoundTrip(in, (bMode & 2) != 0, (bMode & 4) != 0);
        return 0;
    }
    Bytes image(pData + (cbData ? 1 : 0), pData + cbData);
    StringTable table;
    std::string error;
    int nOk = ReadPeStringTable(image, &table, &error);
    FUZZ_CHECK(nOk == 0 || nOk == 1);
    FUZZ_CHECK(nOk == 1 || !error.empty());
    for (const auto &e : table.mapEntries)
        FUZZ_CHECK(!e.second.empty() && e.first < 65536);
    Bytes vData;
    LookUpTwice(image, RT_RCDATA_TYPE, szSumsName, &vData);
    CheckWriter(image);
    return 0;
}
