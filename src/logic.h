/* logic.h - the installer's decisions that need no platform call: bounded
 * text handling, manifest value syntax, macro expansion, the package script
 * scan and record layout, package checksums, name checks, overwrite rules
 * and item dates.
 * Compiles without windows.h (natively on Linux too), so it is tested and
 * fuzzed directly; the platform modules call it with plain strings. */
#ifndef QUARNEL_LOGIC_H
#define QUARNEL_LOGIC_H

#include <stddef.h>
#include <stdint.h>

/* ---- Bounded text ------------------------------------------------------ */

/* Copies at most cchDst - 1 characters of pszSrc and always terminates
   (nothing is written when cchDst is 0).  Returns the count copied. */
size_t CopySz(char *pszDst, size_t cchDst, const char *pszSrc);

/* As CopySz, but takes at most cchMax characters of pszSrc. */
size_t CopySzMax(char *pszDst, size_t cchDst, const char *pszSrc, size_t cchMax);

/* Appends pszSrc to the text in pszDst (a buffer of cchDst).  Returns 1 when
   all of it fit, 0 when it was cut (the result is still terminated). */
int AppendSz(char *pszDst, size_t cchDst, const char *pszSrc);

/* ASCII-only case-insensitive equality of two whole texts: 1 equal, 0 not. */
int EqualNoCase(const char *pszA, const char *pszB);

/* ---- Double-byte text -------------------------------------------------- */

/* The lead bytes of the code page a text is in.  On a double-byte code page
   (932, 936, 949, 950) a lead byte and the byte after it are one character,
   and that second byte may equal a backslash, a bar or a bracket: a scan
   for such characters steps over it.  All bits clear for a single-byte code
   page, and a NULL pointer means the same.  The platform layer fills it for
   the code page in force. */
typedef struct LeadBytes {
    uint8_t abBits[32];
} LeadBytes;

void SetLeadByte(LeadBytes *pLead, unsigned char b);
int IsLeadByte(const LeadBytes *pLead, unsigned char b);

/* Bytes of the character at psz: 0 at the terminator, 2 for a lead byte
   with a byte after it, otherwise 1 (a lead byte right before the
   terminator stands alone). */
size_t CharBytes(const char *psz, const LeadBytes *pLead);

/* Offset of the first character of psz that is one of the (single-byte)
   characters of pszSet, or of the terminator when there is none; the second
   byte of a two-byte character is never taken for one of them. */
size_t SpanToAny(const char *psz, const char *pszSet, const LeadBytes *pLead);

/* 1 when the last character of psz is c (0 for an empty text). */
int EndsWithChar(const char *psz, char c, const LeadBytes *pLead);

/* ---- Command line ------------------------------------------------------ */

/* The text after the program's name and the blanks after it: a quoted name
   is skipped up to its closing quote, an unquoted one up to the first
   character with a code of 32 or less; then every character with a code of
   32 or less is skipped.  The rest is returned untouched. */
const char *SkipProgramName(const char *pszCmdLine);

/* ---- Manifest value syntax --------------------------------------------- */

/* Integer entry text: leading white space, optional sign, decimal digits up
   to the first other character; no digits gives 0.  Values beyond 32 bits
   saturate at INT32_MAX / INT32_MIN instead of wrapping. */
int32_t ParseIntText(const char *psz);

/* Boolean entry text: 1 when the whole text is TRUE in any case, else 0. */
int IsTrueText(const char *psz);

/* ---- Destination macros ------------------------------------------------ */

/* 1 when c is the letter of a macro (D, S or W, upper case only). */
int IsMacroLetter(char c);

/* 1 when the text starts with a macro: "%" and its letter. */
int StartsWithMacro(const char *psz);

/* Expands %D (pszPath unchanged), %S (pszSysDir) and %W (pszWinDir) in
   pszFmt into pszOut (cchOut characters).  A directory that does not end in
   a backslash gets one (its last character judged whole, with the lead
   bytes pLead of its code page).  Any other character after "%" leaves the "%" and is
   then read as ordinary text.  pszSysDir / pszWinDir may be NULL when the
   platform could not report them: a text that uses that macro then fails.
   Returns 1 when the whole result fit, 0 when it was cut or a directory was
   missing (the output is terminated either way). */
int ExpandText(const char *pszFmt, const char *pszPath, const char *pszSysDir,
               const char *pszWinDir, char *pszOut, size_t cchOut, const LeadBytes *pLead);

/* ---- Prompt formats ---------------------------------------------------- */

/* Formats a manifest prompt safely: each string conversion ("%s", also with
   flags, width and precision such as "%-20s" or "%.40s") takes the next of
   the nArgs texts (one beyond them yields nothing but its padding), "%%"
   gives "%", and every other "%" stays as it is.  Never reads more than nArgs arguments and never writes
   past cchOut.  Returns 1 when the result fit, 0 when it was cut. */
int FormatPrompt(const char *pszFmt, const char *const *ppszArgs, int nArgs,
                 char *pszOut, size_t cchOut);

/* The length of the string conversion that starts at the "%" pszPercent
   points to ("%s", "%-20s", "%.40s", "%hs" ...), 0 when it is none. */
size_t StringConversionLength(const char *pszPercent);

/* ---- Package script and records ---------------------------------------- */

/* One name found in a package script: [nStart, nStart + nLen) of the text;
   nNext is the offset just past its closing quote. */
typedef struct ScriptName {
    size_t nStart;
    size_t nLen;
    size_t nNext;
} ScriptName;

/* Finds the package name: the first "PACKAGE# \"" at or after the first
   "*###", up to the next double quote.  The text ends at cbText or at the
   first zero byte.  Returns 1 and fills pName, or 0 when a marker or the
   closing quote is missing. */
int ScanPackageName(const char *pText, size_t cbText, ScriptName *pName);

/* Finds the next item from offset nFrom: "ITEM# \"" up to the next double
   quote.  Returns 1 with pName filled, 0 when there is no further item
   marker (the list is complete), -1 when the marker has no closing quote. */
int ScanNextItem(const char *pText, size_t cbText, size_t nFrom, ScriptName *pName);

/* A package record starts with its length: 32-bit signed, little-endian. */
enum { RECORD_HEADER_SIZE = 4 };
void EncodeRecordLength(int32_t lLength, unsigned char abHeader[RECORD_HEADER_SIZE]);
int32_t DecodeRecordLength(const unsigned char abHeader[RECORD_HEADER_SIZE]);

/* What the bytes left in a package say of the record starting there. */
typedef enum RecordShape {
    RECORD_WHOLE,           /* its header and all of its data are there */
    RECORD_SHORT_HEADER,    /* fewer bytes left than a header */
    RECORD_NEGATIVE,        /* a length below zero: no record at all */
    RECORD_SHORT_DATA       /* the package ends inside its data */
} RecordShape;

/* Classifies the record whose header is at pbHeader, with cbLeft bytes of
   the package from the header on.  The header is read only when cbLeft
   holds one; *plLength gets its length then, 0 otherwise. */
RecordShape ClassifyRecord(const unsigned char *pbHeader, uint64_t cbLeft, int32_t *plLength);

/* ---- Package checksums ------------------------------------------------- */

/* A product build seals its package into the installer: a resource (see
   RES_PACKAGE_SUMS in resource.h) holding the package's record count, its
   length and a CRC-32 per record, so that the installer can refuse a
   damaged or mismatched package before it writes anything from it.
   Little-endian layout:
       0   4  magic "QSUM"
       4   4  layout version, SUMS_VERSION
       8   4  checksum kind, SUMS_KIND_CRC32 (CRC-32 of a record's data bytes)
      12   4  record count n
      16   8  package length in bytes
      24  4n  checksum of record i at 24 + 4 i */
enum {
    SUMS_OFF_MAGIC = 0,
    SUMS_OFF_VERSION = 4,
    SUMS_OFF_KIND = 8,
    SUMS_OFF_COUNT = 12,
    SUMS_OFF_TOTAL = 16,
    SUMS_HEADER_SIZE = 24,
    SUMS_ENTRY_SIZE = 4,
    SUMS_VERSION = 1,
    SUMS_KIND_CRC32 = 1
};
static_assert(SUMS_OFF_VERSION == SUMS_OFF_MAGIC + 4 && SUMS_OFF_KIND == SUMS_OFF_VERSION + 4 &&
                  SUMS_OFF_COUNT == SUMS_OFF_KIND + 4 && SUMS_OFF_TOTAL == SUMS_OFF_COUNT + 4 &&
                  SUMS_HEADER_SIZE == SUMS_OFF_TOTAL + 8,
              "the checksum header's fields follow one another without gaps");
static_assert(SUMS_OFF_TOTAL % 8 == 0 && SUMS_HEADER_SIZE % SUMS_ENTRY_SIZE == 0,
              "the length and the checksums lie on their natural alignment");

/* CRC-32 (the polynomial of zip and PNG) of cb bytes, continuing uCrc:
   start with 0; Crc32Update(Crc32Update(0, a), b) is the CRC of a then b. */
uint32_t Crc32Update(uint32_t uCrc, const void *pv, size_t cb);

/* The checksums as read from a resource; pbSums points into its bytes. */
typedef struct PackageSums {
    uint32_t uCount;
    uint64_t uTotal;
    const unsigned char *pbSums;
} PackageSums;

/* Bytes of the resource for uCount records. */
uint64_t PackageSumsSize(uint32_t uCount);

/* Writes the resource for uCount records (checksums puCrcs) and a package of
   uTotal bytes into pbOut.  Returns the size written, 0 when cbOut is too
   small. */
size_t EncodePackageSums(uint32_t uCount, uint64_t uTotal, const uint32_t *puCrcs,
                         unsigned char *pbOut, size_t cbOut);

/* Reads a resource of cb bytes: 1 with *pSums filled when magic, version,
   kind and size all agree, else 0. */
int DecodePackageSums(const void *pv, size_t cb, PackageSums *pSums);

/* The checksum of record uRecord, which must be below pSums->uCount. */
uint32_t GetRecordSum(const PackageSums *pSums, uint32_t uRecord);

/* 1 when record uRecord has a checksum and the cb bytes at pv match it. */
int CheckRecordSum(const PackageSums *pSums, uint32_t uRecord, const void *pv, size_t cb);

/* ---- Paths ------------------------------------------------------------- */

/* 1 when every component of the part of a path still to be created is a
   directory name the installer accepts (see the rules in logic_path.cpp). */
int IsSubOk(const char *pszSub, const LeadBytes *pLead);

/* Index just after the last backslash or slash of pszPath (0 when none).
   When pszFile is not NULL the file-name part is copied into it: at most
   nFileBufSize - 1 characters, the rest of the buffer zero-filled. */
/* What makes a file or folder name one that Windows cannot create or
   reads as another name.  The checks are flags, so that a caller asks for
   those that apply to it. */
typedef enum NameFault {
    NAME_OK = 0,
    NAME_CONTROL = 1,       /* a control character (codes 0-31 and 127) */
    NAME_REFUSED = 2,       /* one of szNameRefused (fixed.h), or a separator */
    NAME_DEVICE = 4,        /* CON, PRN, AUX, NUL, COM1-COM9, LPT1-LPT9, also
                               with an extension ("NUL.TXT") */
    NAME_TRAILING = 8,      /* ends in a dot or a blank, which Windows drops */
    NAME_DOTS = 16,         /* "." or "..": no name of its own */
    NAME_MACRO = 32         /* holds %D, %S or %W, which the installer expands */
} NameFault;
enum { NAME_ALL_FAULTS = 63 };

/* The first of the faults asked for in uFaults (NameFault flags) that the
   name of cch bytes at psz has, in the order of the enumeration, or
   NAME_OK. */
NameFault CheckWindowsName(const char *psz, size_t cch, unsigned uFaults, const LeadBytes *pLead);

/* The first name of a path with one of the faults asked for: names are
   separated by backslashes and slashes alike; a drive ("C:") or a macro
   (%D, %S, %W, a directory) at its start is no name, and empty names are
   passed over.  On a fault *pnStart and *pnLen give the name's bytes. */
NameFault CheckWindowsPath(const char *pszPath, unsigned uFaults, const LeadBytes *pLead, size_t *pnStart,
                           size_t *pnLen);

/* 1 for a control character: codes 0-31 and 127. */
int IsControlChar(unsigned char c);

/* A code page 1252 character as Windows folds it to compare names: upper
   case, accented letters included (a and A are one, and so are 0xE4 and 0xC4). */
unsigned char FoldNameChar(unsigned char c);

int GetFileNameOfPath(char *pszFile, int nFileBufSize, const char *pszPath,
                      const LeadBytes *pLead);

/* 1 when pszPath is a bare drive root such as C:\ (three characters). */
int IsBareDriveRoot(const char *pszPath);

/* 1 when the archive hook runs for this destination: it ends in a dot and
   the letters ZIP in any case, with no backslash after that dot. */
int IsArchiveName(const char *pszFile);

/* ---- Overwrite rules --------------------------------------------------- */

enum { OVR_CANCEL = 2, OVR_WRITE = 6, OVR_SKIP = 7, OVR_ASK = -1 };

/* What an overwrite rule says, read the way the installer reads it: the
   first character chooses (case-sensitive); for items an "O" is followed by
   a date of eight characters and, right after them, an optional "P" and a
   prompt format.  Pointers point into the rule. */
typedef enum RuleKind {
    RULE_ALWAYS,            /* empty, or "A": write without looking */
    RULE_NEVER,             /* "N" */
    RULE_OLDER,             /* "O" + date [+ "P" + prompt], items only */
    RULE_ASK,               /* "P" + prompt */
    RULE_OTHER              /* any other first character: write */
} RuleKind;

typedef struct ParsedRule {
    RuleKind kind;
    const char *pszDate;    /* RULE_OLDER: the text after the "O" ... */
    size_t cchDate;         /* ... of which this many (at most 8) are the date */
    const char *pszAfterDate; /* RULE_OLDER: the text after the eight date
                               characters ("" when the date is short) */
    const char *pszPrompt;  /* the prompt format when the rule may ask, else NULL */
} ParsedRule;

/* Reads an item rule (fItem 1, with the "O" form) or an INI rule (fItem 0,
   where "O" is just another letter) into *pRule. */
void ParseRule(const char *pszRule, int fItem, ParsedRule *pRule);

/* 1 when an item rule needs the destination's date (rules other than empty
   and "A"); when it does not, the item is written without looking. */
int ItemRuleLooksAtFile(const char *pszRule);

/* Decision of an item rule for an existing destination whose item date is
   pszFileDate.  Returns OVR_WRITE, OVR_SKIP or OVR_ASK; with OVR_ASK
   *ppszPrompt points at the prompt format inside pszRule. */
int DecideItemRule(const char *pszRule, const char *pszFileDate, const char **ppszPrompt);

/* Item dates compare as text over at most 8 characters, the end of a text
   being lower than any character: <0, 0 or >0 like strcmp. */
int CompareItemDates(const char *pszA, const char *pszB);

/* Decision of an INI rule given the key's current value (empty when the key
   has none).  Returns OVR_WRITE, OVR_SKIP or OVR_ASK (*ppszPrompt set). */
int DecideIniRule(const char *pszRule, const char *pszCurVal, const char **ppszPrompt);

/* ---- Item dates -------------------------------------------------------- */

/* Writes the eight-digit item date YYYYMMDD of a DOS date word into
   pszDate (at least 9 characters). */
void FormatItemDate(uint16_t uDosDate, char *pszDate);

/* Writes the eight digits YYYYMMDD of a calendar date into pszDate (at
   least 9 characters); a date that would need more digits reads 99991231. */
void FormatCalendarDate(unsigned uYear, unsigned uMonth, unsigned uDay, char *pszDate);

/* Packs an item date text into a DOS date word the way the installer
   always has: year, month and day read as decimal integers from characters
   1-4, 5-6 and 7-8, not range-checked, so out-of-range parts spill. */
uint16_t PackItemDate(const char *pszDate);

/* 1 when a DOS date word names a real calendar day (month 1-12, day within
   the month); the platform's conversion refuses the others. */
int IsValidDosDate(uint16_t uDosDate);

/* ---- The destination dialog's description ------------------------------ */

/* Width in pixels of a description in the destination dialog's font
   (fixed.h), or -1 when it holds a character below 32 (a tab or a line
   break, which the one-line field cannot show as such). */
long DescriptionWidthPx(const char *pszText);

/* ---- Progress bar ------------------------------------------------------ */

/* The bar's split point: nWidth * nPerc / 100, truncated toward zero,
   worked out in 64 bits so that no percentage overflows the product. */
int BarSplit(int nWidth, int nPerc);

/* ---- Free space -------------------------------------------------------- */

/* Free kilobytes from the drive geometry, computed exactly in 64 bits;
   more than 2,147,483,647 KB saturates at that value. */
int32_t FreeKilobytes(uint32_t dwSectorsPerCluster, uint32_t dwBytesPerSector,
                      uint32_t dwFreeClusters);

/* ---- File error messages ----------------------------------------------- */

/* Message ID and default text for a failed file creation's error code. */
unsigned FileErrMessage(unsigned nErr, const char **ppszDefault);

/* ---- The preview driver's pictures and records ------------------------- */

/* Adler-32 (zlib's checksum) of cb bytes, continuing uAdler: start with 1. */
uint32_t Adler32Update(uint32_t uAdler, const void *pv, size_t cb);

/* Bytes of a PNG file for a picture of cx by cy pixels, puPixels holding
   cx * cy values 0x00RRGGBB in top-down rows: 8-bit RGB, no interlace, the
   image data in stored (uncompressed) deflate blocks.  Returns the size
   written to pbOut, or the size needed when pbOut is NULL or cbOut too
   small (nothing is written then); 0 for an empty picture. */
size_t EncodePng(int cx, int cy, const uint32_t *puPixels, unsigned char *pbOut, size_t cbOut);

/* A text as a field of a tab-separated record: a backslash, tab, carriage
   return and line feed become \\, \t, \r and \n.  Returns the length of
   the escaped text, written to pszOut when it fits in cchOut with its
   terminator (else nothing is written). */
size_t EscapeRecordField(const char *pszText, char *pszOut, size_t cchOut);

#endif
