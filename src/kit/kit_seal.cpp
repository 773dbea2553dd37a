/* kit_seal.cpp - sealing a package into its installer and checking it
 * again.  The checksum and the resource layout are the installer's own
 * (logic.h); this file reads packages, writes the resource script and words
 * the findings. */
#include "kit_seal.h"

#include <stdio.h>

#include <fstream>

#include "kit_pe.h"
#include "logic.h"
#include "resource.h"

namespace {

enum { SUM_CHUNK = 1 << 20, RT_RCDATA_TYPE = 10, WORDS_PER_LINE = 8 };

std::string Hex32(uint32_t u)
{
    char sz[16];
    snprintf(sz, sizeof sz, "0x%08x", u);
    return sz;
}

/* CRC-32 of cb bytes of the open package from its current position. */
int SumBytes(std::ifstream &in, uint64_t cb, uint32_t *puCrc)
{
    std::vector<char> vChunk(SUM_CHUNK);
    uint32_t uCrc = 0;
    while (cb > 0) {
        size_t cbPart = cb < vChunk.size() ? (size_t)cb : vChunk.size();
        if (!in.read(vChunk.data(), (std::streamsize)cbPart))
            return 0;
        uCrc = Crc32Update(uCrc, vChunk.data(), cbPart);
        cb -= cbPart;
    }
    *puCrc = uCrc;
    return 1;
}

void AddFinding(std::vector<Finding> *pv, unsigned uId, Severity sev, const std::string &strMessage)
{
    pv->push_back(Finding{uId, sev, strMessage});
}

} // namespace

int SumRecords(const std::string &strPackage, const PackageLayout &layout, std::vector<uint32_t> *pvCrcs,
               std::string *pstrError)
{
    pvCrcs->clear();
    std::ifstream in(strPackage, std::ios::binary);
    if (!in) {
        *pstrError = strPackage + ": cannot open";
        return 0;
    }
    for (const PackageRecord &rec : layout.vRecords) {
        uint32_t uCrc = 0;
        in.seekg((std::streamoff)(rec.nOffset + RECORD_HEADER_SIZE));
        if (!SumBytes(in, rec.nPresent, &uCrc)) {
            *pstrError = strPackage + ": read error in the record at offset " + std::to_string(rec.nOffset);
            return 0;
        }
        pvCrcs->push_back(uCrc);
    }
    return 1;
}

int MakePackageSums(const std::string &strPackage, std::vector<unsigned char> *pvSums, std::string *pstrError)
{
    PackageLayout layout;
    if (!ReadPackageLayout(strPackage, &layout, pstrError))
        return 0;
    if (layout.fTruncated || layout.fBadLength || layout.nTrailing > 0) {
        *pstrError = strPackage + ": the package is damaged (run quarnel-kit list on it); it is not sealed";
        return 0;
    }
    std::vector<uint32_t> vCrcs;
    if (!SumRecords(strPackage, layout, &vCrcs, pstrError))
        return 0;
    uint32_t uCount = (uint32_t)vCrcs.size();
    pvSums->assign((size_t)PackageSumsSize(uCount), 0);
    EncodePackageSums(uCount, layout.nSize, vCrcs.data(), pvSums->data(), pvSums->size());
    return 1;
}

/* The bytes as 16-bit words (an RCDATA block stores a plain number as two
   little-endian bytes); the layout always has an even size. */
std::string FormatSumsRc(const std::vector<unsigned char> &vSums, const std::string &strWhat)
{
    std::string strRc = "/* The package checksums of " + strWhat + ", sealed into its installer by\n"
                        "   quarnel-kit seal.  Rebuilt with the package; not to be edited. */\n"
                        "LANGUAGE 0, 0\n" RES_PACKAGE_SUMS " RCDATA\nBEGIN\n";
    for (size_t i = 0; i + 1 < vSums.size(); i += 2) {
        char sz[16];
        snprintf(sz, sizeof sz, "0x%04x", vSums[i] | (vSums[i + 1] << 8));
        bool fLineStart = (i / 2) % WORDS_PER_LINE == 0;
        strRc += std::string(fLineStart ? "    " : " ") + sz + (i + 2 < vSums.size() ? "," : "");
        if ((i / 2) % WORDS_PER_LINE == WORDS_PER_LINE - 1 || i + 2 >= vSums.size())
            strRc += "\n";
    }
    return strRc + "END\n";
}

/* What to do about a package the installer refuses, for the route that
   built the installer. */
static std::string SealAdvice(SealRoute route)
{
    const char *pszKit = "build both again with quarnel-kit build, which packs and seals them together, or build "
                         "with --no-seal if the package is to be rebuilt apart from the installer";
    const char *pszClassic =
        "rebuild both together (quarnel-kit pack SCRIPT, then quarnel-kit seal PACKAGE -o SUMS.rc "
        "and link that into a new quarnel.exe; quarnel_add_product does both at every build), or "
        "build the installer with quarnel_add_product(... NO_SEAL) if the package is to be rebuilt "
        "apart from it, e.g. by quarnel.exe SCRIPT";
    if (route == ROUTE_KIT)
        return pszKit;
    if (route == ROUTE_CLASSIC)
        return pszClassic;
    return std::string("if quarnel-kit build made the installer, ") + pszKit +
           "; if CMake did, build its target again, or give quarnel_add_product(... NO_SEAL)";
}

void VerifySums(const std::vector<unsigned char> &vResource, const PackageLayout &layout,
                const std::vector<uint32_t> &vCrcs, size_t nItems, std::vector<Finding> *pv, SealRoute route)
{
    PackageSums sums;
    if (!DecodePackageSums(vResource.data(), vResource.size(), &sums)) {
        AddFinding(pv, IDS_PACKAGE, SEV_ERROR,
                   "the installer's package checksums (resource " RES_PACKAGE_SUMS ", " +
                       std::to_string(vResource.size()) +
                       " bytes) are not in a layout this tool knows; the install stops with message 307");
        return;
    }
    int nRefused = CountErrors(*pv);
    if (sums.uTotal != layout.nSize)
        AddFinding(pv, IDS_PACKAGE, SEV_ERROR,
                   "the package is " + std::to_string(layout.nSize) + " bytes, the installer was sealed for " +
                       std::to_string(sums.uTotal) + "; the install stops with message 307 before the first item");
    if (sums.uCount != layout.vRecords.size())
        AddFinding(pv, IDS_PACKAGE, SEV_ERROR,
                   "the package holds " + std::to_string(layout.vRecords.size()) +
                       " records, the installer was sealed for " + std::to_string(sums.uCount));
    for (uint32_t i = 0; i < sums.uCount && i < vCrcs.size(); i++) {
        uint32_t uWant = GetRecordSum(&sums, i);
        if (vCrcs[i] == uWant)
            continue;
        bool fRead = i < nItems;
        AddFinding(pv, fRead ? IDS_ITEM_DEST + i : IDS_ITEM_COUNT, fRead ? SEV_ERROR : SEV_WARNING,
                   "record " + std::to_string(i) + " has the CRC-32 " + Hex32(vCrcs[i]) +
                       ", the installer expects " + Hex32(uWant) +
                       (fRead ? "; the install stops with message 307 before writing it"
                              : "; the installer never reads it"));
    }
    /* The details above say where; this says what it means and what to do,
       once, whichever difference was found. */
    if (CountErrors(*pv) > nRefused)
        AddFinding(pv, IDS_PACKAGE, SEV_ERROR,
                   "this package is not the one sealed into the installer, which refuses it (message 307): " +
                       SealAdvice(route));
}

int VerifyImageSums(const std::vector<unsigned char> &vImage, const std::string &strPackage,
                    const PackageLayout &layout, size_t nItems, std::vector<Finding> *pv, std::string *pstrError,
                    SealRoute route)
{
    std::vector<unsigned char> vResource;
    int nFound = ReadPeNamedResource(vImage, RT_RCDATA_TYPE, RES_PACKAGE_SUMS, &vResource, pstrError);
    if (nFound <= 0)
        return nFound == 0;
    std::vector<uint32_t> vCrcs;
    if (!SumRecords(strPackage, layout, &vCrcs, pstrError))
        return 0;
    VerifySums(vResource, layout, vCrcs, nItems, pv, route);
    return 1;
}
