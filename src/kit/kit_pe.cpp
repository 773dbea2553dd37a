/* kit_pe.cpp - a small PE/COFF resource reader: headers of PE32 and PE32+,
 * the section table, the three-level resource directory and the RT_STRING
 * blocks.  Every offset read from the file is bounds-checked, since the tool
 * is pointed at whatever file a build or an author hands it. */
#include "kit_pe.h"

#include <ctype.h>
#include <stdio.h>

#include <set>

namespace {

enum {
    RT_STRING_TYPE = 6,
    DIR_RESOURCE = 2,
    OPT_MAGIC_PE32 = 0x10b,
    OPT_MAGIC_PE32PLUS = 0x20b,
    SECTION_HEADER_SIZE = 40,
    RES_DIR_SIZE = 16,
    RES_ENTRY_SIZE = 8,
    STRINGS_PER_BLOCK = 16,
    LANG_NEUTRAL_ID = 0,
    LANG_EN_US = 0x409,
    /* Directory entries a resource tree may have in all.  A product's
       string table needs at most 4096 blocks of one language each, two
       entries a block, and the stub brings a few dozen of its own; a tree
       beyond this was crafted, and walking it would cost without end. */
    MAX_RESOURCE_ENTRIES = 1 << 16,
};

/* The image with bounds-checked little-endian reads; the first read that
   falls outside the bytes records the failure and every later one fails. */
struct Image {
    const std::vector<unsigned char> *pvBytes;
    PeLayout layout;
    std::string strError;
    /* What the walk of the resource tree has taken so far: a sound tree
       reads each directory once and copies out each byte of data, text or
       name once, so these bound the work on a crafted one. */
    uint64_t cbCopied = 0;
    uint64_t nEntries = 0;
    std::set<uint64_t> setDirectories; /* file offsets of the directories read */
};

int Fail(Image *pImg, const std::string &strWhat)
{
    if (pImg->strError.empty())
        pImg->strError = strWhat;
    return 0;
}

/* Counts cb more bytes copied out of the resources: more than the file
   holds means entries share their bytes over and over. */
int Take(Image *pImg, uint64_t cb)
{
    pImg->cbCopied += cb;
    if (pImg->cbCopied > pImg->pvBytes->size())
        return Fail(pImg, "resource entries overlap (more resource data than the file holds)");
    return 1;
}

int ReadU16(Image *pImg, uint64_t nOffset, uint32_t *pValue, const char *pszWhat)
{
    const std::vector<unsigned char> &v = *pImg->pvBytes;
    if (nOffset + 2 > v.size())
        return Fail(pImg, pszWhat);
    *pValue = (uint32_t)v[nOffset] | ((uint32_t)v[nOffset + 1] << 8);
    return 1;
}

int ReadU32(Image *pImg, uint64_t nOffset, uint32_t *pValue, const char *pszWhat)
{
    uint32_t uLow = 0, uHigh = 0;
    if (!ReadU16(pImg, nOffset, &uLow, pszWhat) || !ReadU16(pImg, nOffset + 2, &uHigh, pszWhat))
        return 0;
    *pValue = uLow | (uHigh << 16);
    return 1;
}

/* File offset of an RVA that lies in a section's raw data, with room for
   cb bytes there. */
int MapRva(Image *pImg, uint32_t dwRva, uint32_t cb, uint64_t *pnOffset)
{
    for (const PeSection &s : pImg->layout.vSections) {
        uint64_t nStart = s.dwVirtualAddress;
        if (dwRva < nStart)
            continue;
        uint64_t nInto = dwRva - nStart;
        if (nInto + cb > s.dwRawSize)
            continue;
        uint64_t nOffset = (uint64_t)s.dwRawOffset + nInto;
        if (nOffset + cb > pImg->pvBytes->size())
            return Fail(pImg, "resource data lies beyond the end of the file");
        *pnOffset = nOffset;
        return 1;
    }
    return Fail(pImg, "an address points outside every section");
}

/* Reads the headers and the section table into pImg->layout. */
int ReadHeaders(Image *pImg)
{
    PeLayout &l = pImg->layout;
    uint32_t uMz = 0, dwPeOffset = 0, dwSignature = 0;
    if (!ReadU16(pImg, 0, &uMz, "file too short for an executable") || uMz != 0x5a4d)
        return Fail(pImg, "not an executable (no MZ header)");
    if (!ReadU32(pImg, 0x3c, &dwPeOffset, "file too short for an executable"))
        return 0;
    if (!ReadU32(pImg, dwPeOffset, &dwSignature, "PE header lies beyond the end of the file") ||
        dwSignature != 0x00004550)
        return Fail(pImg, "not a PE image (no PE signature)");
    l.nCoff = (uint64_t)dwPeOffset + 4;
    uint32_t uSections = 0;
    if (!ReadU16(pImg, l.nCoff + 2, &uSections, "COFF header cut short") ||
        !ReadU32(pImg, l.nCoff + 8, &l.dwSymbolTable, "COFF header cut short") ||
        !ReadU16(pImg, l.nCoff + 16, &l.uOptSize, "COFF header cut short"))
        return 0;
    l.nOpt = l.nCoff + 20;
    if (!ReadU16(pImg, l.nOpt, &l.uMagic, "optional header cut short"))
        return 0;
    if (l.uMagic == OPT_MAGIC_PE32)
        l.nDirs = l.nOpt + 96;
    else if (l.uMagic == OPT_MAGIC_PE32PLUS)
        l.nDirs = l.nOpt + 112;
    else
        return Fail(pImg, "unknown optional header (neither PE32 nor PE32+)");
    if (!ReadU32(pImg, l.nOpt + 32, &l.dwSectionAlignment, "optional header cut short") ||
        !ReadU32(pImg, l.nOpt + 36, &l.dwFileAlignment, "optional header cut short") ||
        !ReadU32(pImg, l.nDirs - 4, &l.dwDirCount, "optional header cut short"))
        return 0;
    /* Only the directories that lie inside the optional header count. */
    uint64_t nFit = l.nDirs <= l.nOpt + l.uOptSize ? (l.nOpt + l.uOptSize - l.nDirs) / 8 : 0;
    if (l.dwDirCount > nFit)
        l.dwDirCount = (uint32_t)nFit;
    for (uint32_t i = 0; i < l.dwDirCount && i < 16; i++) {
        PeDirectory d;
        if (!ReadU32(pImg, l.nDirs + 8 * i, &d.dwRva, "optional header cut short") ||
            !ReadU32(pImg, l.nDirs + 8 * i + 4, &d.dwSize, "optional header cut short"))
            return 0;
        l.vDirectories.push_back(d);
    }
    uint64_t nTable = l.nOpt + l.uOptSize;
    for (uint32_t i = 0; i < uSections; i++) {
        uint64_t n = nTable + (uint64_t)i * SECTION_HEADER_SIZE;
        PeSection s;
        s.nHeader = n;
        if (!ReadU32(pImg, n + 8, &s.dwVirtualSize, "section table cut short") ||
            !ReadU32(pImg, n + 12, &s.dwVirtualAddress, "section table cut short") ||
            !ReadU32(pImg, n + 16, &s.dwRawSize, "section table cut short") ||
            !ReadU32(pImg, n + 20, &s.dwRawOffset, "section table cut short") ||
            !ReadU32(pImg, n + 36, &s.dwCharacteristics, "section table cut short"))
            return 0;
        const std::vector<unsigned char> &v = *pImg->pvBytes;
        for (uint64_t c = n; c < n + 8 && v[c] != 0; c++)
            s.strName += (char)v[c];
        /* Checked here, once, so that nothing later reads or copies a
           section by offsets the file does not hold; an empty section's
           offset must lie inside too, since a writer splits the file there. */
        if ((uint64_t)s.dwRawOffset + s.dwRawSize > v.size())
            return Fail(pImg, "section " + s.strName + " lies beyond the end of the file (its data at offset " +
                                  std::to_string(s.dwRawOffset) + ", " + std::to_string(s.dwRawSize) +
                                  " bytes, the file has " + std::to_string(v.size()) + ")");
        l.vSections.push_back(s);
    }
    return 1;
}

/* The resource directory's RVA, 0 when the image has none. */
uint32_t ResourceRva(const Image &img)
{
    return img.layout.vDirectories.size() > DIR_RESOURCE ? img.layout.vDirectories[DIR_RESOURCE].dwRva : 0;
}

struct DirEntry {
    uint32_t dwId;      /* numeric ID, or (high bit set) where the name lies */
    uint32_t dwTarget;  /* offset from the resource base, high bit = subdirectory */
    std::string strName; /* a named entry's name, empty for a numbered one */
    std::u16string strWide; /* the same as stored */
};

/* The name of a named entry: a length-prefixed UTF-16 text at nBase plus
   the entry's offset. */
int ReadEntryName(Image *pImg, uint64_t nBase, DirEntry *pEntry)
{
    uint64_t n = nBase + (pEntry->dwId & 0x7fffffffu);
    uint32_t cch = 0;
    if (!ReadU16(pImg, n, &cch, "resource name cut short") || !Take(pImg, 2 * (uint64_t)cch))
        return 0;
    std::vector<uint16_t> vText(cch);
    for (uint32_t c = 0; c < cch; c++) {
        uint32_t u = 0;
        if (!ReadU16(pImg, n + 2 + 2 * (uint64_t)c, &u, "resource name cut short"))
            return 0;
        vText[c] = (uint16_t)u;
    }
    pEntry->strName = ConvertUtf16ToAnsi(vText.data(), cch);
    pEntry->strWide.assign(vText.begin(), vText.end());
    return 1;
}

/* The entries of one resource directory at nBase + dwDirOffset: the
   numbered ones, and the named ones too when fNamed. */
int ReadDirectory(Image *pImg, uint64_t nBase, uint32_t dwDirOffset, std::vector<DirEntry> *pv,
                  bool fNamed = false)
{
    uint64_t nDir = nBase + (dwDirOffset & 0x7fffffffu);
    uint32_t uNamed = 0, uIds = 0;
    if (!ReadU16(pImg, nDir + 12, &uNamed, "resource directory cut short") ||
        !ReadU16(pImg, nDir + 14, &uIds, "resource directory cut short"))
        return 0;
    /* The tree is three levels, each directory under one parent; one
       reached twice means entries point back up or across, and walking on
       would multiply the resources without end. */
    if (!pImg->setDirectories.insert(nDir).second)
        return Fail(pImg, "resource directories point at each other (the directory at offset " +
                              std::to_string(nDir) + " is reached twice)");
    pImg->nEntries += uNamed + uIds;
    if (pImg->nEntries > MAX_RESOURCE_ENTRIES)
        return Fail(pImg, "the resource tree has more than " + std::to_string(MAX_RESOURCE_ENTRIES) +
                              " entries; not a sound image");
    for (uint32_t k = 0; k < uNamed + uIds; k++) {
        uint64_t n = nDir + RES_DIR_SIZE + (uint64_t)k * RES_ENTRY_SIZE;
        DirEntry e = {};
        if (!ReadU32(pImg, n, &e.dwId, "resource directory cut short") ||
            !ReadU32(pImg, n + 4, &e.dwTarget, "resource directory cut short"))
            return 0;
        bool fIsNamed = (e.dwId & 0x80000000u) != 0;
        if (fIsNamed && !fNamed)
            continue;
        if (fIsNamed && !ReadEntryName(pImg, nBase, &e))
            return 0;
        pv->push_back(e);
    }
    return 1;
}

/* Where the bytes of the data entry at nBase + dwEntryOffset lie in the
   file, and how many there are. */
int MapDataEntry(Image *pImg, uint64_t nBase, uint32_t dwEntryOffset, uint64_t *pnData, uint32_t *pdwSize)
{
    uint32_t dwRva = 0;
    uint64_t nEntry = nBase + dwEntryOffset;
    if (!ReadU32(pImg, nEntry, &dwRva, "resource data entry cut short") ||
        !ReadU32(pImg, nEntry + 4, pdwSize, "resource data entry cut short"))
        return 0;
    return MapRva(pImg, dwRva, *pdwSize, pnData);
}

/* The 16 length-prefixed UTF-16 strings of block uBlock (IDs from
   (uBlock - 1) * 16), read from the data entry at nBase + dwEntryOffset. */
int ReadStringBlock(Image *pImg, uint64_t nBase, uint32_t dwEntryOffset, unsigned uBlock,
                    std::map<unsigned, std::string> *pmap)
{
    uint32_t dwSize = 0;
    uint64_t nData = 0;
    if (!MapDataEntry(pImg, nBase, dwEntryOffset, &nData, &dwSize) || !Take(pImg, dwSize))
        return 0;
    uint64_t nEnd = nData + dwSize, n = nData;
    for (unsigned k = 0; k < STRINGS_PER_BLOCK; k++) {
        uint32_t cch = 0;
        if (n + 2 > nEnd)
            return Fail(pImg, "string block cut short");
        ReadU16(pImg, n, &cch, "string block cut short");
        n += 2;
        if (n + 2 * (uint64_t)cch > nEnd)
            return Fail(pImg, "string block cut short");
        std::vector<uint16_t> vText(cch);
        for (uint32_t c = 0; c < cch; c++) {
            uint32_t u = 0;
            ReadU16(pImg, n + 2 * (uint64_t)c, &u, "string block cut short");
            vText[c] = (uint16_t)u;
        }
        n += 2 * (uint64_t)cch;
        if (cch > 0)
            (*pmap)[(uBlock - 1) * STRINGS_PER_BLOCK + k] = ConvertUtf16ToAnsi(vText.data(), cch);
    }
    return 1;
}

/* The language read when a resource carries several: the one an English
   system falls back to (neutral, then US English), else the lowest. */
unsigned ChooseLanguage(const std::vector<unsigned> &vLanguages)
{
    for (unsigned uWanted : {(unsigned)LANG_NEUTRAL_ID, (unsigned)LANG_EN_US})
        for (unsigned u : vLanguages)
            if (u == uWanted)
                return u;
    unsigned uLowest = vLanguages.empty() ? 0 : vLanguages[0];
    for (unsigned u : vLanguages)
        if (u < uLowest)
            uLowest = u;
    return uLowest;
}

void AddLanguage(std::vector<unsigned> *pv, unsigned uLang)
{
    for (unsigned u : *pv)
        if (u == uLang)
            return;
    pv->push_back(uLang);
}

/* The language entry that resource res is read in (ChooseLanguage among
   the ones it has); each language it has is also added to *pvSeen.  1 with
   *pChosen, 0 when it has no language, -1 with pImg->strError set. */
int FindChosenLanguage(Image *pImg, uint64_t nBase, const DirEntry &res, std::vector<unsigned> *pvSeen,
                       DirEntry *pChosen)
{
    if (!(res.dwTarget & 0x80000000u)) {
        Fail(pImg, "resource without a language directory");
        return -1;
    }
    std::vector<DirEntry> vLangs;
    if (!ReadDirectory(pImg, nBase, res.dwTarget, &vLangs))
        return -1;
    std::vector<unsigned> vIds;
    for (const DirEntry &lang : vLangs) {
        vIds.push_back(lang.dwId);
        AddLanguage(pvSeen, lang.dwId);
    }
    unsigned uLang = ChooseLanguage(vIds);
    for (const DirEntry &lang : vLangs) {
        if (lang.dwId != uLang)
            continue;
        *pChosen = lang;
        if (!(lang.dwTarget & 0x80000000u))
            return 1;
        Fail(pImg, "malformed resource data entry");
        return -1;
    }
    return 0;
}

/* One 16-string block in the language the installer's LoadStringA gets:
   the system looks each block up on its own, so a block that exists only
   in German is read although its neighbours are neutral. */
int ReadBlockLanguage(Image *pImg, uint64_t nBase, const DirEntry &block, StringTable *pTable)
{
    DirEntry lang = {};
    int nFound = FindChosenLanguage(pImg, nBase, block, &pTable->vLanguages, &lang);
    if (nFound <= 0)
        return nFound == 0;
    if (block.dwId == 0 || block.dwId > 4096)
        return Fail(pImg, "malformed string block entry");
    pTable->mapBlockLanguages[block.dwId] = lang.dwId;
    return ReadStringBlock(pImg, nBase, lang.dwTarget, block.dwId, &pTable->mapEntries);
}

int ReadStrings(Image *pImg, uint32_t dwResRva, StringTable *pTable)
{
    uint64_t nBase = 0;
    if (!MapRva(pImg, dwResRva, RES_DIR_SIZE, &nBase))
        return 0;
    std::vector<DirEntry> vTypes;
    if (!ReadDirectory(pImg, nBase, 0, &vTypes))
        return 0;
    for (const DirEntry &type : vTypes) {
        if (type.dwId != RT_STRING_TYPE || !(type.dwTarget & 0x80000000u))
            continue;
        std::vector<DirEntry> vBlocks;
        if (!ReadDirectory(pImg, nBase, type.dwTarget, &vBlocks))
            return 0;
        for (const DirEntry &block : vBlocks)
            if (!ReadBlockLanguage(pImg, nBase, block, pTable))
                return 0;
    }
    return 1;
}

/* Names of resources match without regard to case, as FindResource's do. */
bool SameResourceName(const std::string &strA, const std::string &strB)
{
    if (strA.size() != strB.size())
        return false;
    for (size_t i = 0; i < strA.size(); i++)
        if (toupper((unsigned char)strA[i]) != toupper((unsigned char)strB[i]))
            return false;
    return true;
}

/* The bytes of a named entry, in the language an English system picks
   among those it has.  1, or 0 with pImg->strError set. */
int ReadChosenLanguage(Image *pImg, uint64_t nBase, const DirEntry &name, std::vector<unsigned char> *pvData)
{
    std::vector<unsigned> vSeen;
    DirEntry lang = {};
    int nFound = FindChosenLanguage(pImg, nBase, name, &vSeen, &lang);
    if (nFound <= 0)
        return nFound == 0 ? Fail(pImg, "named resource without a language") : 0;
    uint64_t nData = 0;
    uint32_t dwSize = 0;
    if (!MapDataEntry(pImg, nBase, lang.dwTarget, &nData, &dwSize) || !Take(pImg, dwSize))
        return 0;
    pvData->assign(pImg->pvBytes->begin() + (std::ptrdiff_t)nData,
                   pImg->pvBytes->begin() + (std::ptrdiff_t)(nData + dwSize));
    return 1;
}

/* The bytes of resource strName of type uType.  1 found, 0 absent, -1
   with pImg->strError set. */
int ReadNamedData(Image *pImg, uint32_t dwResRva, unsigned uType, const std::string &strName,
                  std::vector<unsigned char> *pvData)
{
    uint64_t nBase = 0;
    std::vector<DirEntry> vTypes;
    if (!MapRva(pImg, dwResRva, RES_DIR_SIZE, &nBase) || !ReadDirectory(pImg, nBase, 0, &vTypes))
        return -1;
    for (const DirEntry &type : vTypes) {
        if (type.dwId != uType || !(type.dwTarget & 0x80000000u))
            continue;
        std::vector<DirEntry> vNames;
        if (!ReadDirectory(pImg, nBase, type.dwTarget, &vNames, true))
            return -1;
        for (const DirEntry &name : vNames)
            if (!name.strName.empty() && SameResourceName(name.strName, strName))
                return ReadChosenLanguage(pImg, nBase, name, pvData) ? 1 : -1;
    }
    return 0;
}

/* A directory entry's key: its number, or its name as stored. */
ResourceKey KeyOf(const DirEntry &e)
{
    ResourceKey key;
    if (e.dwId & 0x80000000u)
        key.strName = e.strWide;
    else
        key.uId = e.dwId;
    return key;
}

/* The subdirectory an entry of a type or name directory points to. */
int ReadSubdirectory(Image *pImg, uint64_t nBase, const DirEntry &e, std::vector<DirEntry> *pv)
{
    if (!(e.dwTarget & 0x80000000u))
        return Fail(pImg, "resource without a language directory");
    return ReadDirectory(pImg, nBase, e.dwTarget, pv, true);
}

/* Every resource of the image, leaf by leaf.  The directories are a fixed
   three levels, but their entries may point anywhere: ReadDirectory and
   Take refuse a tree whose walk would not end in proportion to its size. */
int ReadAllResources(Image *pImg, std::vector<PeResource> *pv)
{
    uint64_t nBase = 0;
    std::vector<DirEntry> vTypes;
    if (!MapRva(pImg, ResourceRva(*pImg), RES_DIR_SIZE, &nBase) || !ReadDirectory(pImg, nBase, 0, &vTypes, true))
        return 0;
    for (const DirEntry &type : vTypes) {
        std::vector<DirEntry> vNames;
        if (!ReadSubdirectory(pImg, nBase, type, &vNames))
            return 0;
        for (const DirEntry &name : vNames) {
            std::vector<DirEntry> vLangs;
            if (!ReadSubdirectory(pImg, nBase, name, &vLangs))
                return 0;
            for (const DirEntry &lang : vLangs) {
                PeResource res;
                res.type = KeyOf(type);
                res.name = KeyOf(name);
                res.uLang = lang.dwId;
                uint64_t nData = 0;
                uint32_t dwSize = 0;
                if ((lang.dwTarget & 0x80000000u) || lang.dwId > 0xffff)
                    return Fail(pImg, "malformed resource data entry");
                if (!MapDataEntry(pImg, nBase, lang.dwTarget, &nData, &dwSize) ||
                    !ReadU32(pImg, nBase + lang.dwTarget + 8, &res.dwCodePage, "resource data entry cut short") ||
                    !Take(pImg, dwSize))
                    return 0;
                res.vData.assign(pImg->pvBytes->begin() + (std::ptrdiff_t)nData,
                                 pImg->pvBytes->begin() + (std::ptrdiff_t)(nData + dwSize));
                pv->push_back(res);
            }
        }
    }
    return 1;
}

/* Code page 1252's characters 0x80-0x9F; 0 marks the five it leaves
   undefined, which Windows maps to the control characters of the same code. */
const uint16_t awCp1252High[32] = {
    0x20ac, 0,      0x201a, 0x0192, 0x201e, 0x2026, 0x2020, 0x2021,
    0x02c6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017d, 0,
    0,      0x2018, 0x2019, 0x201c, 0x201d, 0x2022, 0x2013, 0x2014,
    0x02dc, 0x2122, 0x0161, 0x203a, 0x0153, 0,      0x017e, 0x0178,
};

char ConvertChar(uint16_t w)
{
    if (w < 0x80 || (w >= 0xa0 && w <= 0xff))
        return (char)w;
    for (unsigned k = 0; k < 32; k++) {
        uint16_t wMapped = awCp1252High[k] ? awCp1252High[k] : (uint16_t)(0x80 + k);
        if (w == wMapped)
            return (char)(0x80 + k);
    }
    return '?';
}

} // namespace

std::string ConvertUtf16ToAnsi(const uint16_t *pwch, size_t cch)
{
    std::string str;
    for (size_t i = 0; i < cch; i++) {
        uint16_t w = pwch[i];
        /* A surrogate pair is one character outside the code page. */
        if (w >= 0xd800 && w <= 0xdbff && i + 1 < cch && pwch[i + 1] >= 0xdc00 && pwch[i + 1] <= 0xdfff)
            i++;
        str += ConvertChar(w);
    }
    return str;
}

int ReadPeNamedResource(const std::vector<unsigned char> &vImage, unsigned uType, const std::string &strName,
                        std::vector<unsigned char> *pvData, std::string *pstrError)
{
    Image img;
    img.pvBytes = &vImage;
    pvData->clear();
    int nFound = ReadHeaders(&img) ? 0 : -1;
    if (nFound == 0 && ResourceRva(img) != 0)
        nFound = ReadNamedData(&img, ResourceRva(img), uType, strName, pvData);
    if (nFound < 0)
        *pstrError = img.strError;
    return nFound;
}

int ReadPeStringTable(const std::vector<unsigned char> &vImage, StringTable *pTable,
                      std::string *pstrError)
{
    Image img;
    img.pvBytes = &vImage;
    *pTable = StringTable();
    int fOk = ReadHeaders(&img);
    if (fOk && ResourceRva(img) != 0)
        fOk = ReadStrings(&img, ResourceRva(img), pTable);
    if (!fOk)
        *pstrError = img.strError;
    return fOk;
}

int ReadPeResources(const std::vector<unsigned char> &vImage, PeLayout *pLayout, std::vector<PeResource> *pv,
                    std::string *pstrError)
{
    Image img;
    img.pvBytes = &vImage;
    pv->clear();
    int fOk = ReadHeaders(&img);
    if (fOk && ResourceRva(img) != 0)
        fOk = ReadAllResources(&img, pv);
    if (!fOk)
        *pstrError = img.strError;
    *pLayout = img.layout;
    return fOk;
}

std::u16string ConvertAnsiToUtf16(const std::string &str)
{
    std::u16string strWide;
    for (unsigned char c : str) {
        if (c >= 0x80 && c < 0xa0)
            strWide += (char16_t)(awCp1252High[c - 0x80] ? awCp1252High[c - 0x80] : c);
        else
            strWide += (char16_t)c;
    }
    return strWide;
}
