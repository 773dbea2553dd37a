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

/* UTF-16 text -> code page 1252, as the installer's ANSI calls see it on a
   western system; a character the code page lacks becomes '?'. */
std::string ConvertUtf16ToAnsi(const uint16_t *pwch, size_t cch);

#endif
