/* kit_pew.cpp - puts a product into the installer stub.  The stub's
 * resources are read with the reader's bounds checks, the product's are
 * added, and the resource section is written anew: directories in the
 * order the loader's binary search expects, data 4-byte aligned.  Only
 * discardable sections (relocations) may follow it; they move by whole
 * alignment steps and the headers that point at them move along. */
#include "kit_pew.h"

#include <stdio.h>

#include <algorithm>
#include <map>

#include "kit_pe.h"
#include "resource.h"

namespace {

enum {
    RT_DIALOG_TYPE = 5,
    RT_STRING_TYPE = 6,
    RT_RCDATA_TYPE = 10,
    RT_VERSION_TYPE = 16,
    VS_VERSION_INFO_ID = 1,
    DIR_RESOURCE = 2,
    DIR_SECURITY = 4,
    DIR_BASERELOC = 5,
    SCN_MEM_DISCARDABLE = 0x02000000,
    STRINGS_PER_BLOCK = 16,
    MAX_STRING_ID = 0xffff,
    /* The language windres gives a script without a LANGUAGE statement (the
       manifest's), and the one the checksum script names. */
    LANG_MANIFEST = 0x409,
    LANG_SUMS = 0,
};

/* The fixed dialog every installer carries: its presence tells our stub
   from any other executable. */
const char16_t *const pszStubMark = u"PARVEXDLG";

typedef std::vector<unsigned char> Bytes;

void Put16(Bytes *pv, size_t n, unsigned u)
{
    (*pv)[n] = (unsigned char)u;
    (*pv)[n + 1] = (unsigned char)(u >> 8);
}

void Put32(Bytes *pv, size_t n, uint32_t u)
{
    Put16(pv, n, u & 0xffff);
    Put16(pv, n + 2, u >> 16);
}

uint32_t Get32(const Bytes &v, size_t n)
{
    return v[n] | (v[n + 1] << 8) | (v[n + 2] << 16) | ((uint32_t)v[n + 3] << 24);
}

void Append16(Bytes *pv, unsigned u)
{
    pv->push_back((unsigned char)u);
    pv->push_back((unsigned char)(u >> 8));
}

void Append32(Bytes *pv, uint32_t u)
{
    Append16(pv, u & 0xffff);
    Append16(pv, u >> 16);
}

void PadTo4(Bytes *pv)
{
    while (pv->size() % 4)
        pv->push_back(0);
}

uint64_t AlignUp(uint64_t n, uint32_t dwAlign)
{
    return (n + dwAlign - 1) / dwAlign * dwAlign;
}

/* Upper case as the loader compares names; our names are ASCII. */
char16_t UpperOf(char16_t c)
{
    return (c >= u'a' && c <= u'z') ? (char16_t)(c - u'a' + u'A') : c;
}

/* A resource name matches without regard to case, as FindResource's do. */
bool IsNamed(const ResourceKey &key, const char16_t *psz)
{
    std::u16string strWant = psz;
    if (key.strName.size() != strWant.size())
        return false;
    for (size_t i = 0; i < strWant.size(); i++)
        if (UpperOf(key.strName[i]) != UpperOf(strWant[i]))
            return false;
    return true;
}

/* ---- the product's resources ------------------------------------------- */

/* The manifest as string blocks of 16 (IDs from (block - 1) * 16), each a
   run of length-prefixed UTF-16 strings; blocks without text are left out,
   as a resource compiler leaves them out. */
int AddStringBlocks(const Manifest &manifest, std::vector<PeResource> *pv, std::string *pstrError)
{
    std::map<unsigned, std::vector<std::u16string>> mapBlocks;
    for (const auto &entry : manifest) {
        if (entry.second.empty())
            continue;
        std::u16string strText = ConvertAnsiToUtf16(entry.second);
        if (entry.first > MAX_STRING_ID || strText.size() > 0xffff) {
            *pstrError = "manifest entry " + std::to_string(entry.first) + " cannot be stored in a string table";
            return 0;
        }
        std::vector<std::u16string> &vBlock = mapBlocks[entry.first / STRINGS_PER_BLOCK + 1];
        vBlock.resize(STRINGS_PER_BLOCK);
        vBlock[entry.first % STRINGS_PER_BLOCK] = strText;
    }
    for (const auto &block : mapBlocks) {
        PeResource res;
        res.type.uId = RT_STRING_TYPE;
        res.name.uId = block.first;
        res.uLang = LANG_MANIFEST;
        for (const std::u16string &str : block.second) {
            Append16(&res.vData, (unsigned)str.size());
            for (char16_t c : str)
                Append16(&res.vData, c);
        }
        pv->push_back(res);
    }
    return 1;
}

/* One node of a version resource: a header, its key, its value and its
   children, each child starting on a 4-byte boundary.  wValueLength counts
   characters for a text value, bytes for a binary one. */
Bytes VersionNode(const std::u16string &strKey, const Bytes &vValue, unsigned wValueLength, bool fText,
                  const std::vector<Bytes> &vChildren)
{
    Bytes v;
    Append16(&v, 0);
    Append16(&v, wValueLength);
    Append16(&v, fText ? 1 : 0);
    for (char16_t c : strKey)
        Append16(&v, c);
    Append16(&v, 0);
    PadTo4(&v);
    v.insert(v.end(), vValue.begin(), vValue.end());
    for (const Bytes &vChild : vChildren) {
        PadTo4(&v);
        v.insert(v.end(), vChild.begin(), vChild.end());
    }
    Put16(&v, 0, (unsigned)v.size());
    return v;
}

Bytes TextNode(const std::string &strKey, const std::string &strAnsi)
{
    std::u16string strText = ConvertAnsiToUtf16(strAnsi);
    Bytes vValue;
    for (char16_t c : strText)
        Append16(&vValue, c);
    Append16(&vValue, 0);
    return VersionNode(ConvertAnsiToUtf16(strKey), vValue, (unsigned)strText.size() + 1, true, {});
}

/* VS_FIXEDFILEINFO: signature, structure version, file and product
   version, then the fields as described, and a date of 0. */
Bytes FixedFileInfo(const VersionInfo &info)
{
    Bytes v;
    for (uint32_t dw : {0xfeef04bdu, 0x00010000u, info.dwVersionMs, info.dwVersionLs, info.dwVersionMs,
                        info.dwVersionLs, info.dwFlagsMask, info.dwFlags, info.dwOs, info.dwType, info.dwSubtype,
                        0u, 0u})
        Append32(&v, dw);
    return v;
}

/* ---- the resource section ---------------------------------------------- */

/* The order of a resource directory's entries, which the loader searches
   by halves: named entries first, by name without regard to case; then
   numbered ones, ascending. */
struct KeyLess {
    bool operator()(const ResourceKey &a, const ResourceKey &b) const
    {
        bool fNamedA = !a.strName.empty(), fNamedB = !b.strName.empty();
        if (fNamedA != fNamedB)
            return fNamedA;
        if (!fNamedA)
            return a.uId < b.uId;
        size_t n = std::min(a.strName.size(), b.strName.size());
        for (size_t i = 0; i < n; i++)
            if (UpperOf(a.strName[i]) != UpperOf(b.strName[i]))
                return UpperOf(a.strName[i]) < UpperOf(b.strName[i]);
        if (a.strName.size() != b.strName.size())
            return a.strName.size() < b.strName.size();
        return a.strName < b.strName;
    }
};

typedef std::map<unsigned, const PeResource *> LangMap;
typedef std::map<ResourceKey, LangMap, KeyLess> NameMap;
typedef std::map<ResourceKey, NameMap, KeyLess> TypeMap;

/* A directory's header (no characteristics, no time stamp, version 0)
   and room for its entries. */
void AppendDirectory(Bytes *pv, size_t nEntries, size_t nNamed)
{
    pv->resize(pv->size() + 12, 0);
    Append16(pv, (unsigned)nNamed);
    Append16(pv, (unsigned)(nEntries - nNamed));
    pv->resize(pv->size() + 8 * nEntries, 0);
}

template <class Map> size_t CountNamed(const Map &map)
{
    size_t n = 0;
    for (const auto &e : map)
        n += !e.first.strName.empty();
    return n;
}

/* Where the pieces of the section go: every directory first, then the
   data entries, the names, and the data. */
struct SectionWriter {
    Bytes v;
    uint32_t dwRva;
    std::vector<std::pair<size_t, const ResourceKey *>> vNameRefs; /* entry field -> its name */
    std::vector<std::pair<size_t, const PeResource *>> vLeaves;    /* data entry offset -> its resource */
};

/* Writes entry k of the directory at nDir: its key (a name is filled in
   later) and its target. */
void PutEntry(SectionWriter *pw, size_t nDir, size_t k, const ResourceKey &key, uint32_t dwTarget)
{
    size_t n = nDir + 16 + 8 * k;
    if (key.strName.empty())
        Put32(&pw->v, n, key.uId);
    else
        pw->vNameRefs.push_back(std::make_pair(n, &key));
    Put32(&pw->v, n + 4, dwTarget);
}

/* The names, each stored once, and the data, each 4-byte aligned; the
   entries written before get their offsets. */
void WriteNamesAndData(SectionWriter *pw)
{
    std::map<std::u16string, size_t> mapNames;
    for (const auto &ref : pw->vNameRefs) {
        const std::u16string &str = ref.second->strName;
        if (!mapNames.count(str)) {
            mapNames[str] = pw->v.size();
            Append16(&pw->v, (unsigned)str.size());
            for (char16_t c : str)
                Append16(&pw->v, c);
        }
        Put32(&pw->v, ref.first, 0x80000000u | (uint32_t)mapNames[str]);
    }
    for (const auto &leaf : pw->vLeaves) {
        PadTo4(&pw->v);
        Put32(&pw->v, leaf.first, pw->dwRva + (uint32_t)pw->v.size());
        Put32(&pw->v, leaf.first + 4, (uint32_t)leaf.second->vData.size());
        Put32(&pw->v, leaf.first + 8, leaf.second->dwCodePage);
        pw->v.insert(pw->v.end(), leaf.second->vData.begin(), leaf.second->vData.end());
    }
}

/* The language directories of one name directory's entries, each
   language entry pointing at a data entry of its own. */
void WriteLanguageLevel(SectionWriter *pw, const std::vector<std::pair<size_t, const LangMap *>> &vLangDirs)
{
    for (const auto &dir : vLangDirs) {
        size_t nEntries = pw->v.size(), k = 0;
        for (const auto &lang : *dir.second) {
            ResourceKey key;
            key.uId = lang.first;
            size_t nEntry = nEntries + 16 * k;
            PutEntry(pw, dir.first, k++, key, (uint32_t)nEntry);
            pw->vLeaves.push_back(std::make_pair(nEntry, lang.second));
        }
        pw->v.resize(nEntries + 16 * dir.second->size(), 0);
    }
}

/* The whole section for the resource tree, placed at dwRva: the type
   directory, the name directories, the language directories, then what
   they point at. */
Bytes BuildResourceSection(const TypeMap &tree, uint32_t dwRva)
{
    SectionWriter w;
    w.dwRva = dwRva;
    AppendDirectory(&w.v, tree.size(), CountNamed(tree));
    size_t k = 0;
    std::vector<std::pair<size_t, const NameMap *>> vNameDirs;
    for (const auto &type : tree) {
        PutEntry(&w, 0, k++, type.first, 0x80000000u | (uint32_t)w.v.size());
        vNameDirs.push_back(std::make_pair(w.v.size(), &type.second));
        AppendDirectory(&w.v, type.second.size(), CountNamed(type.second));
    }
    std::vector<std::pair<size_t, const LangMap *>> vLangDirs;
    for (const auto &dir : vNameDirs) {
        k = 0;
        for (const auto &name : *dir.second) {
            PutEntry(&w, dir.first, k++, name.first, 0x80000000u | (uint32_t)w.v.size());
            vLangDirs.push_back(std::make_pair(w.v.size(), &name.second));
            AppendDirectory(&w.v, name.second.size(), 0);
        }
    }
    WriteLanguageLevel(&w, vLangDirs);
    WriteNamesAndData(&w);
    return w.v;
}

/* ---- the stub ---------------------------------------------------------- */

/* The product's own resources in the stub: a stub carries none of them. */
std::string DescribeProductResource(const PeResource &res)
{
    if (!res.type.strName.empty())
        return "";
    if (res.type.uId == RT_STRING_TYPE)
        return "a manifest string table";
    if (res.type.uId == RT_VERSION_TYPE)
        return "a version resource";
    if (res.type.uId == RT_RCDATA_TYPE && IsNamed(res.name, u"" RES_PACKAGE_SUMS))
        return "package checksums";
    return "";
}

int RefuseStub(std::string *pstrError, const std::string &strWhy)
{
    *pstrError = strWhy;
    return 0;
}

/* Bytes after the last section's data: an overlay the image does not
   map, such as a certificate table or appended data. */
uint64_t RawEnd(const PeLayout &layout)
{
    uint64_t nEnd = 0;
    for (const PeSection &s : layout.vSections)
        if (s.dwRawSize)
            nEnd = std::max(nEnd, (uint64_t)s.dwRawOffset + s.dwRawSize);
    return nEnd;
}

int CheckResources(const std::vector<PeResource> &vRes, std::string *pstrError)
{
    bool fMark = false;
    for (const PeResource &res : vRes) {
        std::string strProduct = DescribeProductResource(res);
        if (!strProduct.empty())
            return RefuseStub(pstrError, "the stub already carries a product (it has " + strProduct +
                                             "); build from quarnel-stub.exe as the build makes it");
        fMark |= res.type.uId == RT_DIALOG_TYPE && IsNamed(res.name, pszStubMark);
    }
    if (!fMark)
        return RefuseStub(pstrError, "not a Quarnel installer stub (it has no destination dialog PARVEXDLG)");
    return 1;
}

/* The index of the resource section, checked to be one the writer can
   rebuild: it holds the resource directory from its start, and only
   discardable sections, which nothing addresses, follow it. */
int FindResourceSection(const PeLayout &layout, size_t *pnIndex, std::string *pstrError)
{
    uint32_t dwRva = layout.vDirectories[DIR_RESOURCE].dwRva;
    size_t r = layout.vSections.size();
    for (size_t i = 0; i < layout.vSections.size(); i++)
        if (layout.vSections[i].dwVirtualAddress == dwRva)
            r = i;
    if (r == layout.vSections.size())
        return RefuseStub(pstrError, "the resources do not start a section of their own; not a stub the kit can use");
    const PeSection &rsrc = layout.vSections[r];
    if (rsrc.dwRawSize < layout.vDirectories[DIR_RESOURCE].dwSize)
        return RefuseStub(pstrError, "the resource section holds fewer bytes in the file than its directory; not a "
                                     "stub the kit can use");
    uint64_t nHeadersEnd = layout.nOpt + layout.uOptSize + 40 * (uint64_t)layout.vSections.size();
    if (nHeadersEnd > rsrc.dwRawOffset || layout.nDirs + 8 * (DIR_BASERELOC + 1) > rsrc.dwRawOffset)
        return RefuseStub(pstrError, "the headers overlap the resources; not a stub the kit can use");
    for (size_t i = 0; i < layout.vSections.size(); i++) {
        const PeSection &s = layout.vSections[i];
        bool fAfter = s.dwVirtualAddress > rsrc.dwVirtualAddress;
        bool fRawAfter = s.dwRawSize && s.dwRawOffset > rsrc.dwRawOffset;
        /* A virtual size of 0 means the raw size, as the loader reads it. */
        uint64_t cbVirtual = s.dwVirtualSize ? s.dwVirtualSize : s.dwRawSize;
        bool fOverlaps = s.dwVirtualAddress + cbVirtual > rsrc.dwVirtualAddress ||
                         (s.dwRawSize && (uint64_t)s.dwRawOffset + s.dwRawSize > rsrc.dwRawOffset);
        if (i == r || (!fAfter && !fRawAfter && i < r && !fOverlaps))
            continue;
        if (i < r || !fAfter || (s.dwRawSize && !fRawAfter) || !(s.dwCharacteristics & SCN_MEM_DISCARDABLE))
            return RefuseStub(pstrError, "section " + s.strName +
                                             " lies after the resources and is not discardable; link the stub "
                                             "with the resources last but for the relocations");
    }
    *pnIndex = r;
    return 1;
}

/* Every directory of the headers other than the resources must lie before
   the resource section, or be the relocations, whose blocks only name
   pages before it. */
int CheckDirectories(const Bytes &vStub, const PeLayout &layout, const PeSection &rsrc, std::string *pstrError)
{
    for (size_t i = 0; i < layout.vDirectories.size(); i++) {
        const PeDirectory &d = layout.vDirectories[i];
        if (i == DIR_RESOURCE || d.dwRva == 0 || (uint64_t)d.dwRva + d.dwSize <= rsrc.dwVirtualAddress)
            continue;
        if (i != DIR_BASERELOC)
            return RefuseStub(pstrError, "header directory " + std::to_string(i) +
                                             " lies in or after the resources; not a stub the kit can use");
    }
    if (layout.vDirectories.size() <= DIR_BASERELOC || layout.vDirectories[DIR_BASERELOC].dwRva == 0)
        return 1;
    const PeDirectory &reloc = layout.vDirectories[DIR_BASERELOC];
    for (const PeSection &s : layout.vSections) {
        if (reloc.dwRva < s.dwVirtualAddress || (uint64_t)reloc.dwRva + reloc.dwSize >
                                                    (uint64_t)s.dwVirtualAddress + std::min(s.dwRawSize, s.dwVirtualSize))
            continue;
        uint64_t n = (uint64_t)s.dwRawOffset + (reloc.dwRva - s.dwVirtualAddress);
        uint64_t nEnd = n + reloc.dwSize;
        while (n + 8 <= nEnd && nEnd <= vStub.size()) {
            uint32_t dwPage = Get32(vStub, (size_t)n), cbBlock = Get32(vStub, (size_t)n + 4);
            if (dwPage >= rsrc.dwVirtualAddress)
                return RefuseStub(pstrError, "relocations name the resources or what follows them");
            if (cbBlock < 8)
                break;
            n += cbBlock;
        }
        return 1;
    }
    return RefuseStub(pstrError, "the relocations lie outside every section");
}

int CheckStub(const Bytes &vStub, const PeLayout &layout, const std::vector<PeResource> &vRes, size_t *pnRsrc,
              std::string *pstrError)
{
    const std::vector<PeDirectory> &vDirs = layout.vDirectories;
    if (vDirs.size() > DIR_SECURITY && (vDirs[DIR_SECURITY].dwRva || vDirs[DIR_SECURITY].dwSize))
        return RefuseStub(pstrError, "the stub is signed (it has a certificate table); a product goes only into "
                                     "an unsigned stub, and is signed afterwards (--sign-pkcs12)");
    if (vDirs.size() <= DIR_RESOURCE || vDirs[DIR_RESOURCE].dwRva == 0)
        return RefuseStub(pstrError, "not a Quarnel installer stub (it has no resources)");
    if (!CheckResources(vRes, pstrError))
        return 0;
    uint64_t nRawEnd = RawEnd(layout);
    if (vStub.size() > nRawEnd)
        return RefuseStub(pstrError, std::to_string(vStub.size() - nRawEnd) +
                                         " bytes follow the stub's last section (overlay data); use the stub "
                                         "as the build makes it");
    if (vStub.size() < nRawEnd)
        return RefuseStub(pstrError, "the stub is cut short: its last section ends beyond the end of the file");
    uint32_t dwFa = layout.dwFileAlignment, dwSa = layout.dwSectionAlignment;
    if (dwFa == 0 || (dwFa & (dwFa - 1)) || dwSa < dwFa || (dwSa & (dwSa - 1)))
        return RefuseStub(pstrError, "the stub's section alignments are not powers of two");
    if (!FindResourceSection(layout, pnRsrc, pstrError))
        return 0;
    return CheckDirectories(vStub, layout, layout.vSections[*pnRsrc], pstrError);
}

/* ---- the image ---------------------------------------------------------- */

enum {
    COFF_TIMESTAMP = 4,
    OPT_INITIALIZED_DATA = 8,
    OPT_SIZE_OF_IMAGE = 56,
    OPT_CHECKSUM = 64,
    SECTION_VIRTUAL_SIZE = 8,
    SECTION_VIRTUAL_ADDRESS = 12,
    SECTION_RAW_SIZE = 16,
    SECTION_RAW_OFFSET = 20,
};

/* The stub with its resource section r replaced by vSection; the sections
   after it move by whole alignment steps, and the headers follow. */
Bytes Relayout(const Bytes &vStub, const PeLayout &layout, size_t r, const Bytes &vSection, uint32_t dwTimeStamp)
{
    const PeSection &rsrc = layout.vSections[r];
    uint32_t dwSa = layout.dwSectionAlignment;
    uint64_t nNewRaw = AlignUp(vSection.size(), layout.dwFileAlignment);
    int64_t nDeltaRaw = (int64_t)nNewRaw - rsrc.dwRawSize;
    int64_t nDeltaVa = (int64_t)AlignUp(vSection.size(), dwSa) -
                       (int64_t)AlignUp(rsrc.dwVirtualSize ? rsrc.dwVirtualSize : rsrc.dwRawSize, dwSa);
    Bytes v(vStub.begin(), vStub.begin() + rsrc.dwRawOffset);
    v.insert(v.end(), vSection.begin(), vSection.end());
    v.resize(rsrc.dwRawOffset + nNewRaw, 0);
    v.insert(v.end(), vStub.begin() + rsrc.dwRawOffset + rsrc.dwRawSize, vStub.end());

    Put32(&v, rsrc.nHeader + SECTION_VIRTUAL_SIZE, (uint32_t)vSection.size());
    Put32(&v, rsrc.nHeader + SECTION_RAW_SIZE, (uint32_t)nNewRaw);
    uint64_t nImageEnd = 0;
    for (size_t i = 0; i < layout.vSections.size(); i++) {
        const PeSection &s = layout.vSections[i];
        uint64_t dwVa = s.dwVirtualAddress, cbVirtual = s.dwVirtualSize ? s.dwVirtualSize : s.dwRawSize;
        if (i == r)
            cbVirtual = vSection.size();
        if (i > r) {
            dwVa += nDeltaVa;
            Put32(&v, s.nHeader + SECTION_VIRTUAL_ADDRESS, (uint32_t)dwVa);
            if (s.dwRawSize)
                Put32(&v, s.nHeader + SECTION_RAW_OFFSET, (uint32_t)(s.dwRawOffset + nDeltaRaw));
        }
        nImageEnd = std::max(nImageEnd, AlignUp(dwVa + cbVirtual, dwSa));
    }
    Put32(&v, layout.nDirs + 8 * DIR_RESOURCE + 4, (uint32_t)vSection.size());
    if (layout.vDirectories.size() > DIR_BASERELOC && layout.vDirectories[DIR_BASERELOC].dwRva > rsrc.dwVirtualAddress)
        Put32(&v, layout.nDirs + 8 * DIR_BASERELOC,
              (uint32_t)(layout.vDirectories[DIR_BASERELOC].dwRva + nDeltaVa));
    Put32(&v, layout.nOpt + OPT_SIZE_OF_IMAGE, (uint32_t)nImageEnd);
    Put32(&v, layout.nOpt + OPT_INITIALIZED_DATA, (uint32_t)(Get32(v, layout.nOpt + OPT_INITIALIZED_DATA) + nDeltaRaw));
    Put32(&v, layout.nCoff + COFF_TIMESTAMP, dwTimeStamp);
    Put32(&v, layout.nOpt + OPT_CHECKSUM, ComputePeChecksum(v, layout.nOpt + OPT_CHECKSUM));
    return v;
}

} // namespace

std::vector<unsigned char> MakeVersionResource(const VersionInfo &info)
{
    std::vector<Bytes> vStrings;
    for (const auto &text : info.vTexts)
        vStrings.push_back(TextNode(text.first, text.second));
    Bytes vTable = VersionNode(ConvertAnsiToUtf16(info.strTableKey), {}, 0, true, vStrings);
    Bytes vTranslation;
    Append16(&vTranslation, info.wLang);
    Append16(&vTranslation, info.wCodePage);
    Bytes vVar = VersionNode(u"Translation", vTranslation, 4, false, {});
    Bytes vFixed = FixedFileInfo(info);
    return VersionNode(u"VS_VERSION_INFO", vFixed, (unsigned)vFixed.size(), false,
                       {VersionNode(u"StringFileInfo", {}, 0, true, {vTable}),
                        VersionNode(u"VarFileInfo", {}, 0, true, {vVar})});
}

uint32_t ComputePeChecksum(const std::vector<unsigned char> &vImage, uint64_t nChecksumField)
{
    uint64_t uSum = 0;
    for (size_t n = 0; n < vImage.size(); n += 2) {
        if (n >= nChecksumField && n < nChecksumField + 4)
            continue;
        uSum += vImage[n] | (n + 1 < vImage.size() ? vImage[n + 1] << 8 : 0);
        uSum = (uSum & 0xffff) + (uSum >> 16);
    }
    uSum = (uSum & 0xffff) + (uSum >> 16);
    return (uint32_t)(uSum + vImage.size());
}

int WriteInstallerImage(const std::vector<unsigned char> &vStub, const InstallerParts &parts,
                        std::vector<unsigned char> *pvImage, std::string *pstrError)
{
    PeLayout layout;
    std::vector<PeResource> vRes;
    std::string strError;
    if (!ReadPeResources(vStub, &layout, &vRes, &strError))
        return RefuseStub(pstrError, "not a Windows executable the kit can read: " + strError);
    size_t r = 0;
    if (!CheckStub(vStub, layout, vRes, &r, pstrError))
        return 0;
    if (parts.pManifest && !AddStringBlocks(*parts.pManifest, &vRes, pstrError))
        return 0;
    if (parts.pvSums) {
        PeResource res;
        res.type.uId = RT_RCDATA_TYPE;
        res.name.strName = u"" RES_PACKAGE_SUMS;
        res.uLang = LANG_SUMS;
        res.vData = *parts.pvSums;
        vRes.push_back(res);
    }
    if (parts.pVersion) {
        PeResource res;
        res.type.uId = RT_VERSION_TYPE;
        res.name.uId = VS_VERSION_INFO_ID;
        VersionInfo info = DescribeVersion(*parts.pVersion);
        res.uLang = info.wLang;
        res.vData = MakeVersionResource(info);
        vRes.push_back(res);
    }
    TypeMap tree;
    for (const PeResource &res : vRes)
        tree[res.type][res.name][res.uLang] = &res;
    Bytes vSection = BuildResourceSection(tree, layout.vSections[r].dwVirtualAddress);
    *pvImage = Relayout(vStub, layout, r, vSection, parts.dwTimeStamp);
    return 1;
}
