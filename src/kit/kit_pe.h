/* kit_pe.h - reads the string table out of a built Windows executable, so
 * the authoring tool sees the manifest exactly as the installer's LoadStringA
 * will, without any Windows API; also any named resource, such as the
 * package checksums.  Handles PE32 (i686) and PE32+ (x86_64). */
#ifndef QUARNEL_KIT_PE_H
#define QUARNEL_KIT_PE_H

#include <stdint.h>

#include <map>
#include <string>
#include <vector>

/* The strings of one executable: entry ID -> ANSI text (empty strings are
   left out, as the installer treats them as absent). */
struct StringTable {
    std::map<unsigned, std::string> mapEntries;
    std::vector<unsigned> vLanguages; /* every language the table carries */
    /* block number (IDs from (block - 1) * 16) -> the language it was read
       in, each block on its own as LoadStringA finds it: neutral, else US
       English, else the lowest that block has */
    std::map<unsigned, unsigned> mapBlockLanguages;
};

/* Parses the image bytes.  Returns 1 with *pTable filled, 0 with a reason in
   *pstrError when the bytes are not a well-formed PE image.  An image
   without any string table is well-formed and gives an empty table. */
int ReadPeStringTable(const std::vector<unsigned char> &vImage, StringTable *pTable,
                      std::string *pstrError);

/* Finds resource strName (matched without regard to case) of the numbered
   type uType, e.g. 10 for RCDATA, and copies its bytes into *pvData.
   Returns 1 when found, 0 when the image has no such resource, -1 with a
   reason in *pstrError when the image is not well-formed. */
int ReadPeNamedResource(const std::vector<unsigned char> &vImage, unsigned uType, const std::string &strName,
                        std::vector<unsigned char> *pvData, std::string *pstrError);

/* Where the parts of an image lie, as its headers say. */
struct PeSection {
    std::string strName;
    uint64_t nHeader = 0; /* file offset of its section header */
    uint32_t dwVirtualSize = 0, dwVirtualAddress = 0, dwRawSize = 0, dwRawOffset = 0, dwCharacteristics = 0;
};

struct PeDirectory {
    uint32_t dwRva = 0, dwSize = 0;
};

struct PeLayout {
    uint64_t nCoff = 0, nOpt = 0, nDirs = 0; /* file offsets of the COFF header, optional header, directories */
    uint32_t uOptSize = 0, uMagic = 0, dwSymbolTable = 0;
    uint32_t dwSectionAlignment = 0, dwFileAlignment = 0, dwDirCount = 0;
    std::vector<PeDirectory> vDirectories; /* those inside the optional header, at most 16 */
    std::vector<PeSection> vSections;
};

/* A resource's type or name: a number, or a name (when strName is not
   empty) as stored, in UTF-16. */
struct ResourceKey {
    unsigned uId = 0;
    std::u16string strName;
};

struct PeResource {
    ResourceKey type, name;
    unsigned uLang = 0;
    uint32_t dwCodePage = 0;
    std::vector<unsigned char> vData;
};

/* The headers and every resource of an image, with the reader's bounds
   checks.  1, or 0 with the reason when the image is not well-formed. */
int ReadPeResources(const std::vector<unsigned char> &vImage, PeLayout *pLayout, std::vector<PeResource> *pv,
                    std::string *pstrError);

/* Code page 1252 -> UTF-16, the inverse of ConvertUtf16ToAnsi (its five
   undefined bytes become the control characters of the same code, as on
   Windows). */
std::u16string ConvertAnsiToUtf16(const std::string &str);

/* UTF-16 text -> code page 1252, as the installer's ANSI calls see it on a
   western system; a character the code page lacks becomes '?'. */
std::string ConvertUtf16ToAnsi(const uint16_t *pwch, size_t cch);

#endif
