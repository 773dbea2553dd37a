/* Path names, item date words and free-space arithmetic: the decisions the
 * file-system helpers take without asking the platform.  Every expected
 * value below is worked out by hand from the rules. */
#include <gtest/gtest.h>

#include <string.h>

#include <string>

#include "logic.h"

namespace {

/* The lead bytes of the double-byte code pages used below: 932 (Japanese)
   81-9F and E0-FC, 936 (Simplified Chinese) 81-FE; 0 is a single-byte one. */
const LeadBytes *Lead(int nCodePage)
{
    static LeadBytes lead932, lead936;
    static bool fFilled;
    if (!fFilled) {
        for (int b = 0x81; b <= 0xFE; b++) {
            if (b <= 0x9F || (b >= 0xE0 && b <= 0xFC))
                SetLeadByte(&lead932, (unsigned char)b);
            SetLeadByte(&lead936, (unsigned char)b);
        }
        fFilled = true;
    }
    return nCodePage == 932 ? &lead932 : nCodePage == 936 ? &lead936 : NULL;
}

/* Names whose second byte is a backslash, a bar or a bracket: 932
   "\x83\x5C" (katakana so), "\x95\x5C" (hyo, table), "\x83\x7C" (po),
   "\x83\x5B" (ze); 936 "\xD5\x5C" (cheng, sincere). */
#define SO "\x83\x5C"
#define HYO "\x95\x5C"
#define CHENG "\xD5\x5C"

} // namespace

TEST(IsSubOk, Table)
{
    struct Case { const char *sub; int ok; int cp = 0; } cases[] = {
        {"", 1}, {"A", 1}, {"A\\", 1}, {"A.\\B\\", 1}, {"A+", 1}, {"A[1]", 1},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789ABCD", 1},
        {"\\A", 0}, {"A\\\\B", 0}, {".A", 0}, {"+A", 0}, {"A.B.C", 0}, {"A B", 0},
        {"A:B", 0}, {"A/B", 0}, {"A=B", 0},
        /* first-character rule */
        {"[A", 0}, {"]A", 0}, {";A", 0}, {"\"A", 0}, {",A", 0},
        {"A;", 1}, {"A,", 1}, {"A\"", 1}, {"A]", 1}, {"A.", 1}, {"A.B", 1},
        /* forbidden anywhere */
        {"A?", 0}, {"A*", 0}, {"A|", 0}, {"A<", 0}, {"A>", 0}, {"A ", 0},
        /* every component counts */
        {"AB.C\\D.E.F", 0}, {"A\\.B", 0}, {"A\\B\\\\", 0}, {"\\", 0}, {"A\\B\\C\\", 1},
        {"A\\ B", 0}, {"GOOD\\BAD?\\", 0},
        /* no limits on length, extension or character codes */
        {"A.ABCDEFGHIJ", 1}, {"\xC4rger\\Stra\xDF" "e", 1}, {"A\x01", 1},
        /* a double-byte character's second byte is no separator, bar or
           bracket; the rules hold for the characters around it */
        {SO "\\" HYO "\\", 1, 932}, {HYO SO, 1, 932}, {"\x83\x7C", 1, 932}, {"\x83\x5B" "A", 1, 932},
        {"A\\" SO "\\\\", 0, 932}, {HYO " A", 0, 932}, {"." HYO, 0, 932}, {SO ".A.B", 0, 932},
        {CHENG "\\" CHENG, 1, 936}, {"A\\" CHENG "\\\\B", 0, 936}, {"A\x83", 1, 932},
        /* the same bytes in a single-byte code page */
        {SO "\\" HYO "\\", 0}, {"\x83\x7C", 0}, {CHENG "\\" CHENG, 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsSubOk(c.sub, Lead(c.cp)), c.ok) << "text: " << c.sub << " code page " << c.cp;
}

TEST(CheckWindowsName, Table)
{
    struct Case { const char *name; NameFault fault; unsigned faults = NAME_ALL_FAULTS; int cp = 0; } cases[] = {
        {"README.TXT", NAME_OK}, {"Read Me (1), [draft].txt", NAME_OK}, {"\xC4rger.txt", NAME_OK},
        {"50%Discount.txt", NAME_MACRO}, {"A%S", NAME_MACRO}, {"%W", NAME_MACRO}, {"50%discount", NAME_OK},
        {"100%", NAME_OK}, {"50%Discount.txt", NAME_OK, NAME_ALL_FAULTS & ~NAME_MACRO},
        {"A\tB", NAME_CONTROL}, {"A\x7F", NAME_CONTROL}, {"\x1F", NAME_CONTROL},
        {"Read*Me?.txt", NAME_REFUSED}, {"A<B", NAME_REFUSED}, {"A>B", NAME_REFUSED}, {"A:B", NAME_REFUSED},
        {"A\"B", NAME_REFUSED}, {"A|B", NAME_REFUSED}, {"A/B", NAME_REFUSED}, {"A\\B", NAME_REFUSED},
        {"CON", NAME_DEVICE}, {"con", NAME_DEVICE}, {"NUL.TXT", NAME_DEVICE}, {"Aux.tar.gz", NAME_DEVICE},
        {"PRN .txt", NAME_DEVICE}, {"COM1", NAME_DEVICE}, {"lpt9.log", NAME_DEVICE}, {"COM\xB9", NAME_DEVICE},
        {"COM0", NAME_OK}, {"COM10", NAME_OK}, {"CONSOLE", NAME_OK}, {"LPT", NAME_OK}, {"XCON", NAME_OK},
        {"CON_.TXT", NAME_OK}, {"CON", NAME_OK, NAME_ALL_FAULTS & ~NAME_DEVICE},
        {"A.", NAME_TRAILING}, {"A ", NAME_TRAILING}, {"A. ", NAME_TRAILING}, {".A", NAME_OK}, {"A.B", NAME_OK},
        {".", NAME_DOTS}, {"..", NAME_DOTS}, {"...", NAME_TRAILING}, {"..", NAME_TRAILING, NAME_TRAILING},
        {"..", NAME_OK, NAME_CONTROL},
        /* a double-byte character whose second byte is a backslash or a bar */
        {HYO SO, NAME_OK, NAME_ALL_FAULTS, 932}, {"\x83\x7C", NAME_OK, NAME_ALL_FAULTS, 932},
        {HYO SO, NAME_REFUSED}, {"\x83\x7C", NAME_REFUSED},
    };
    for (const auto &c : cases)
        EXPECT_EQ(CheckWindowsName(c.name, strlen(c.name), c.faults, Lead(c.cp)), c.fault) << "name: " << c.name;
}

TEST(CheckWindowsPath, FirstFaultyNameAndWhereItIs)
{
    struct Case { const char *path; NameFault fault; size_t start, len; } cases[] = {
        {"C:\\tools\\Widget", NAME_OK, 0, 0}, {"%DDOCS/A.TXT", NAME_OK, 0, 0}, {"%SDRIVERS\\X.SYS", NAME_OK, 0, 0},
        {"WIN.INI", NAME_OK, 0, 0}, {"C:\\", NAME_OK, 0, 0}, {"%D", NAME_OK, 0, 0}, {"\\\\A\\\\B", NAME_OK, 0, 0},
        {"C:\\tools\rWidget", NAME_CONTROL, 3, 12}, {"C:\\A:B", NAME_REFUSED, 3, 3}, {"CC:\\A", NAME_REFUSED, 0, 3},
        {"%DRead*Me?.txt", NAME_REFUSED, 2, 12}, {"%DCON", NAME_DEVICE, 2, 3}, {"%DA/nul.txt", NAME_DEVICE, 4, 7},
        {"%D../../evil.txt", NAME_DOTS, 2, 2}, {"%DDOCS\\.\\A", NAME_DOTS, 7, 1}, {"%DDOCS.\\A", NAME_TRAILING, 2, 5},
        {"%DA%DB", NAME_MACRO, 2, 4}, {"C:\\A\\B ", NAME_TRAILING, 5, 2},
    };
    for (const auto &c : cases) {
        size_t nStart = 99, nLen = 99;
        EXPECT_EQ(CheckWindowsPath(c.path, NAME_ALL_FAULTS, NULL, &nStart, &nLen), c.fault) << "path: " << c.path;
        if (c.fault != NAME_OK) {
            EXPECT_EQ(nStart, c.start) << "path: " << c.path;
            EXPECT_EQ(nLen, c.len) << "path: " << c.path;
        }
    }
}

TEST(FoldNameChar, FoldsAsWindowsComparesNames)
{
    struct Case { unsigned char c, folded; } cases[] = {
        {'a', 'A'}, {'z', 'Z'}, {'A', 'A'}, {'1', '1'}, {'_', '_'}, {0xE4, 0xC4}, {0xE0, 0xC0}, {0xFE, 0xDE},
        {0xC4, 0xC4}, {0xF7, 0xF7}, {0xDF, 0xDF}, {0x9A, 0x8A}, {0x9C, 0x8C}, {0x9E, 0x8E}, {0xFF, 0x9F},
        {0xB5, 0xB5},
    };
    for (const auto &c : cases)
        EXPECT_EQ(FoldNameChar(c.c), c.folded) << "character " << (int)c.c;
}

TEST(GetFileNameOfPath, IndexAfterLastSeparator)
{
    struct Case { const char *path; int index; int cp = 0; } cases[] = {
        {"C:\\A\\B.TXT", 5}, {"C:/x/y", 5}, {"C:\\A/B\\c", 7}, {"name", 0}, {"", 0},
        {"C:\\A\\", 5}, {"\\", 1}, {"C:name", 0},
        {"C:\\" HYO, 3, 932}, {"C:\\" HYO "\\" SO, 6, 932}, {SO, 0, 932}, {"C:\\" CHENG, 3, 936},
        {"C:\\" HYO, 5},
    };
    for (const auto &c : cases)
        EXPECT_EQ(GetFileNameOfPath(NULL, 0, c.path, Lead(c.cp)), c.index) << "path: " << c.path;
}

/* Where a scan finds a character and what a text ends with, with the
   second byte of a double-byte character in the way. */
TEST(DoubleByteText, TrailBytesAreNoCharactersOfTheirOwn)
{
    struct Case { const char *text; int cp; size_t span; int endsInSlash; } cases[] = {
        {"A\\B", 0, 1, 0}, {"AB\\", 0, 2, 1}, {"", 0, 0, 0}, {SO, 0, 1, 1},
        {SO, 932, 2, 0}, {SO "\\", 932, 2, 1}, {HYO SO "\\x", 932, 4, 0}, {"A\x83", 932, 2, 0},
        {CHENG, 936, 2, 0}, {CHENG, 932, 1, 1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.text) + " code page " + std::to_string(c.cp));
        EXPECT_EQ(SpanToAny(c.text, "\\|", Lead(c.cp)), c.span);
        EXPECT_EQ(EndsWithChar(c.text, '\\', Lead(c.cp)), c.endsInSlash);
    }
    EXPECT_EQ(CharBytes(SO, Lead(932)), 2u);
    EXPECT_EQ(CharBytes("\x83", Lead(932)), 1u) << "a lead byte at the end stands alone";
    EXPECT_EQ(CharBytes("", Lead(932)), 0u);

    /* A Windows directory that ends in such a character gets its separator
       when a macro expands it. */
    char sz[32];
    EXPECT_EQ(ExpandText("%Wb", "", "S", "C:\\" HYO, sz, sizeof(sz), Lead(932)), 1);
    EXPECT_STREQ(sz, "C:\\" HYO "\\b");
    EXPECT_EQ(ExpandText("%Wb", "", "S", "C:\\" HYO, sz, sizeof(sz), NULL), 1);
    EXPECT_STREQ(sz, "C:\\" HYO "b");
}

TEST(GetFileNameOfPath, CopyIsCutAndZeroFilled)
{
    char sz[8];
    memset(sz, 'x', sizeof(sz));
    EXPECT_EQ(GetFileNameOfPath(sz, sizeof(sz), "C:\\DIR\\AB", NULL), 7);
    const char abWant[8] = {'A', 'B', 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(memcmp(sz, abWant, sizeof(sz)), 0);

    memset(sz, 'x', sizeof(sz));
    EXPECT_EQ(GetFileNameOfPath(sz, 4, "C:\\DIR\\LONGNAME", NULL), 7);
    EXPECT_STREQ(sz, "LON");
    EXPECT_EQ(sz[4], 'x') << "wrote past the given size";
}

TEST(IsBareDriveRoot, Table)
{
    struct Case { const char *path; int root; } cases[] = {
        {"C:\\", 1}, {"c:\\", 1}, {"C:", 0}, {"C:\\A", 0}, {"", 0}, {"\\", 0}, {"\\\\", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsBareDriveRoot(c.path), c.root) << "path: " << c.path;
}

TEST(IsArchiveName, Table)
{
    struct Case { const char *file; int zip; } cases[] = {
        {"C:\\A\\B.ZIP", 1}, {"b.zip", 1}, {"b.Zip", 1}, {".zip", 1}, {"C:\\A.B\\c.zIP", 1},
        {"bzip", 0}, {"b.zip.txt", 0}, {"b.zi", 0}, {"C:\\x.zip\\b", 0}, {"zip", 0},
        {"", 0}, {"b.zipx", 0}, {"b_zip", 0},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsArchiveName(c.file), c.zip) << "file: " << c.file;
}

TEST(FormatItemDate, EightDigitsWithLeadingZeros)
{
    struct Case { uint16_t word; const char *text; } cases[] = {
        {37, "19800105"},        /* 1980-01-05: month 1 << 5 | day 5 */
        {9513, "19980909"},      /* 18 << 9 | 9 << 5 | 9 */
        {0, "19800000"},
        {0xFFFF, "21071531"},    /* every field at its bit limit */
        {65439, "21071231"},     /* 127 << 9 | 12 << 5 | 31 */
    };
    for (const auto &c : cases) {
        char sz[12];
        memset(sz, 'x', sizeof(sz));
        FormatItemDate(c.word, sz);
        EXPECT_STREQ(sz, c.text) << "word " << c.word;
        EXPECT_EQ(sz[9], 'x') << "wrote past the date";
    }
}

TEST(FormatCalendarDate, OutsideTheDosRange)
{
    struct Case { unsigned y, m, d; const char *text; } cases[] = {
        {1970, 1, 1, "19700101"}, {1601, 12, 31, "16011231"}, {2200, 7, 4, "22000704"},
        {999, 3, 5, "09990305"}, {9999, 12, 31, "99991231"}, {10000, 1, 1, "99991231"},
        {30827, 12, 31, "99991231"},
    };
    for (const auto &c : cases) {
        char sz[12];
        memset(sz, 'x', sizeof(sz));
        FormatCalendarDate(c.y, c.m, c.d, sz);
        EXPECT_STREQ(sz, c.text) << c.y << "-" << c.m << "-" << c.d;
        EXPECT_EQ(sz[9], 'x') << "wrote past the date";
    }
}

TEST(PackItemDate, FieldsAndSpill)
{
    struct Case { const char *text; uint16_t word; } cases[] = {
        {"19980909", 9513},
        {"199809091", 9513},     /* characters after the eighth are ignored */
        {"19800105", 37},
        {"21071231", 65439},
        {"19790101", 65057},     /* year 1979 wraps to 2107: 127 << 9 | 32 | 1 */
        {"19981600", 9728},      /* month 16 carries into the year: 19 << 9 */
        {"19980132", 9248},      /* day 32 is OR-ed onto month 1's bit: 1998-01-00 */
        {"19980232", 9312},      /* day 32 OR month 2 gives month 3, day 0 */
        {"19981313", 9645},      /* no range check: 9216 | 13 << 5 | 13 */
        {"1998", 9216},          /* month and day not reached: 0 */
        {"1998ab09", 9225},      /* a non-numeric part reads as 0 */
        {"", 34816},             /* (0 - 1980) << 9, low 16 bits */
        {" 998  09", 21513},     /* (998 - 1980) << 9 = 42 << 9; blank month 0; day 9 */
        {"20000229", 10333},
    };
    for (const auto &c : cases)
        EXPECT_EQ(PackItemDate(c.text), c.word) << "text: " << c.text;
}

TEST(IsValidDosDate, CalendarDays)
{
    struct Case { uint16_t word; int valid; } cases[] = {
        {9513, 1},                   /* 1998-09-09 */
        {37, 1},                     /* 1980-01-05 */
        {65439, 1},                  /* 2107-12-31 */
        {9216 | 2 << 5 | 31, 0},     /* 1998-02-31 */
        {9216 | 2 << 5 | 29, 0},     /* 1998-02-29 */
        {8192 | 2 << 5 | 29, 1},     /* 1996-02-29 */
        {10240 | 2 << 5 | 29, 1},    /* 2000-02-29: divisible by 400 */
        {61440 | 2 << 5 | 29, 0},    /* 2100-02-29: divisible by 100 only */
        {61440 | 2 << 5 | 28, 1},
        {9216 | 0 << 5 | 9, 0},      /* month 00 */
        {9216 | 13 << 5 | 9, 0},     /* month 13 */
        {9216 | 1 << 5 | 0, 0},      /* day 00 */
        {9216 | 4 << 5 | 30, 1},     /* 30 April */
        {9216 | 4 << 5 | 31, 0},     /* 31 April */
        {9216 | 12 << 5 | 31, 1},
    };
    for (const auto &c : cases)
        EXPECT_EQ(IsValidDosDate(c.word), c.valid) << "word " << c.word;
}

TEST(FreeKilobytes, ExactBeyondFourGigabytes)
{
    /* 5 x 1024^3 bytes in clusters of 8 x 512 bytes: 1,310,720 clusters. */
    EXPECT_EQ(FreeKilobytes(8, 512, 1310720), 5242880);
    EXPECT_EQ(FreeKilobytes(1, 512, 3), 1);                    /* 1536 bytes, rounded down */
    EXPECT_EQ(FreeKilobytes(1, 512, 1), 0);
    EXPECT_EQ(FreeKilobytes(0, 512, 100), 0);
    EXPECT_EQ(FreeKilobytes(2, 512, 2147483647u), 2147483647); /* largest that fits */
    EXPECT_EQ(FreeKilobytes(2, 512, 2147483648u), 2147483647); /* saturates */
    EXPECT_EQ(FreeKilobytes(8, 512, 536870912u), 2147483647);  /* 2 TB */
    EXPECT_EQ(FreeKilobytes(0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu), 2147483647);
}
