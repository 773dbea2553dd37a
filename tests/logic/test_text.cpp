/* Bounded text, manifest value syntax, destination macros, prompt formats
 * and the file-error messages, checked against tables typed by hand. */
#include <gtest/gtest.h>

#include <string.h>

#include "logic.h"

TEST(AppendSz, FitsAndCuts)
{
    char sz[8] = "abc";
    EXPECT_EQ(AppendSz(sz, sizeof(sz), "de"), 1);
    EXPECT_STREQ(sz, "abcde");
    EXPECT_EQ(AppendSz(sz, sizeof(sz), "fg"), 1);
    EXPECT_STREQ(sz, "abcdefg");
    EXPECT_EQ(AppendSz(sz, sizeof(sz), "h"), 0);
    EXPECT_STREQ(sz, "abcdefg");
    EXPECT_EQ(AppendSz(sz, sizeof(sz), ""), 1);

    char szSmall[5] = "ab";
    szSmall[4] = 'Z';
    EXPECT_EQ(AppendSz(szSmall, 4, "cdef"), 0);
    EXPECT_STREQ(szSmall, "abc");
    EXPECT_EQ(szSmall[4], 'Z') << "wrote past the buffer";
}

TEST(AppendSz, UnterminatedDestinationIsLeftAlone)
{
    char sz[4] = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(AppendSz(sz, sizeof(sz), "a"), 0);
    EXPECT_EQ(memcmp(sz, "wxyz", 4), 0);
}

TEST(EqualNoCase, Table)
{
    struct Case { const char *a, *b; int equal; } cases[] = {
        {"TRUE", "true", 1}, {"tRuE", "TRUE", 1}, {"", "", 1}, {"TRUE", "TRUE ", 0},
        {"TRU", "TRUE", 0},  {"TRUE", "TRUX", 0}, {"@", "`", 0}, {"[", "{", 0},
        {"\xC4", "\xE4", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(EqualNoCase(c.a, c.b), c.equal) << c.a << " vs " << c.b;
}

TEST(ParseIntText, Table)
{
    struct Case { const char *text; int32_t value; } cases[] = {
        {"20000", 20000},
        {"12 KB", 12},
        {"none", 0},
        {"-5", -5},
        {"7x", 7},
        {"x", 0},
        {"+42", 42},
        {"  \t\n 9", 9},
        {"- 5", 0},
        {"--5", 0},
        {"", 0},
        {"007", 7},
        {"2147483647", 2147483647},
        {"2147483648", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"-2147483649", -2147483647 - 1},
        {"99999999999999999999999999", 2147483647},
        {"-99999999999999999999999999", -2147483647 - 1},
        {"4294967301", 2147483647},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ParseIntText(c.text), c.value) << "text: " << c.text;
}

TEST(IsTrueText, Table)
{
    struct Case { const char *text; int value; } cases[] = {
        {"TRUE", 1}, {"true", 1}, {"tRuE", 1}, {"FALSE", 0}, {"Yes", 0},
        {"1", 0},    {"TRUE ", 0}, {" TRUE", 0}, {"TRUEX", 0}, {"", 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(IsTrueText(c.text), c.value) << "text: [" << c.text << "]";
}

TEST(ExpandText, ExampleTable)
{
    struct Case { const char *fmt, *result; } cases[] = {
        {"%Dbin\\tool.exe", "C:\\APP\\bin\\tool.exe"},
        {"help %Dread.hlp", "help C:\\APP\\read.hlp"},
        {"%Wwin.ini", "C:\\WINDOWS\\win.ini"},
        {"%Sdriver.dll", "C:\\WINDOWS\\SYSTEM\\driver.dll"},
        {"a%Db%Wc", "aC:\\APP\\bC:\\WINDOWS\\c"},
        {"100%x", "100%x"},
        {"50%%", "50%%"},
        {"%%D", "%C:\\APP\\"},
        {"%d", "%d"},
        {"end%", "end%"},
        {"", ""},
        {"plain", "plain"},
        {"%", "%"},
        {"%%%", "%%%"},
        {"%D%D", "C:\\APP\\C:\\APP\\"},
        {"%w%s", "%w%s"},
    };
    for (const Case &c : cases) {
        char sz[1024];
        memset(sz, 'Q', sizeof(sz));
        EXPECT_EQ(ExpandText(c.fmt, "C:\\APP\\", "C:\\WINDOWS\\SYSTEM", "C:\\WINDOWS", sz,
                             sizeof(sz), NULL), 1) << c.fmt;
        EXPECT_STREQ(sz, c.result) << "text: " << c.fmt;
    }
}

TEST(ExpandText, SeparatorOnlyWhenMissing)
{
    char sz[64];
    EXPECT_EQ(ExpandText("%Sa|%Wb", "", "D:\\", "E:\\W\\", sz, sizeof(sz), NULL), 1);
    EXPECT_STREQ(sz, "D:\\a|E:\\W\\b");
    /* %D never gets one. */
    EXPECT_EQ(ExpandText("%Dx", "C:\\APP", "S", "W", sz, sizeof(sz), NULL), 1);
    EXPECT_STREQ(sz, "C:\\APPx");
}

TEST(ExpandText, OverflowIsCutAndReported)
{
    char sz[12];
    memset(sz, 'Q', sizeof(sz));
    EXPECT_EQ(ExpandText("%Dabcd", "C:\\APP\\", "S", "W", sz, 11, NULL), 0);
    EXPECT_STREQ(sz, "C:\\APP\\abc");
    EXPECT_EQ(sz[11], 'Q') << "wrote past the buffer";

    memset(sz, 'Q', sizeof(sz));
    EXPECT_EQ(ExpandText("0123456789%D", "x", "S", "W", sz, 11, NULL), 0);
    EXPECT_STREQ(sz, "0123456789");
    EXPECT_EQ(sz[11], 'Q');

    /* Exactly full is not cut. */
    EXPECT_EQ(ExpandText("0123456789", "x", "S", "W", sz, 11, NULL), 1);
    EXPECT_STREQ(sz, "0123456789");
    EXPECT_EQ(ExpandText("0123456789%", "x", "S", "W", sz, 11, NULL), 0);
    EXPECT_STREQ(sz, "0123456789");
    EXPECT_EQ(ExpandText("012345678%S", "x", "C:\\W", "W", sz, 11, NULL), 0);
    EXPECT_STREQ(sz, "012345678C");
}

TEST(ExpandText, LongResultIn1024)
{
    std::string fmt(1000, 'a');
    fmt += "%D";
    std::string path(30, 'p');
    char sz[1024];
    EXPECT_EQ(ExpandText(fmt.c_str(), path.c_str(), "S", "W", sz, sizeof(sz), NULL), 0);
    EXPECT_EQ(strlen(sz), 1023u);
    EXPECT_EQ(std::string(sz), std::string(1000, 'a') + std::string(23, 'p'));
}

TEST(ExpandText, MissingDirectoryFailsOnlyWhenUsed)
{
    char sz[64];
    EXPECT_EQ(ExpandText("%Dx", "P\\", NULL, NULL, sz, sizeof(sz), NULL), 1);
    EXPECT_STREQ(sz, "P\\x");
    EXPECT_EQ(ExpandText("a%Sb", "P\\", NULL, "W", sz, sizeof(sz), NULL), 0);
    EXPECT_STREQ(sz, "ab");
    EXPECT_EQ(ExpandText("a%Wb", "P\\", "S", "", sz, sizeof(sz), NULL), 0);
    EXPECT_EQ(ExpandText("a%Sb", "P\\", "S", NULL, sz, sizeof(sz), NULL), 1);
    EXPECT_STREQ(sz, "aS\\b");
}

TEST(FormatPrompt, Table)
{
    const char *args[] = {"C:\\APP\\a.txt", "new"};
    struct Case { const char *fmt; int nArgs; const char *result; } cases[] = {
        {"Overwrite %s?", 1, "Overwrite C:\\APP\\a.txt?"},
        {"%s -> %s", 2, "C:\\APP\\a.txt -> new"},
        {"%s -> %s", 1, "C:\\APP\\a.txt -> "},
        {"%s%s%s", 2, "C:\\APP\\a.txtnew"},
        {"100%% sure", 0, "100% sure"},
        {"%d %x %n %p %ls %S %ws", 2, "%d %x %n %p %ls %S %ws"},
        {"[%20s]", 1, "[        C:\\APP\\a.txt]"},
        {"%.6s|%-5s|", 2, "C:\\APP|new  |"},
        {"%#05hs|%.0s", 2, "C:\\APP\\a.txt|new"},
        {"%-s%.s", 2, "C:\\APP\\a.txtnew"},
        {"%0-5s %-", 1, "%0-5s %-"},
        {"%s|%3s|", 1, "C:\\APP\\a.txt|   |"},
        {"end%", 0, "end%"},
        {"%%s", 1, "%s"},
        {"%%%s", 1, "%C:\\APP\\a.txt"},
        {"no args %s", 0, "no args "},
        {"", 2, ""},
    };
    for (const Case &c : cases) {
        char sz[256];
        EXPECT_EQ(FormatPrompt(c.fmt, args, c.nArgs, sz, sizeof(sz)), 1) << c.fmt;
        EXPECT_STREQ(sz, c.result) << "format: " << c.fmt;
    }
}

TEST(FormatPrompt, NeverOverruns)
{
    const char *args[] = {"0123456789"};
    char sz[10];
    memset(sz, 'Q', sizeof(sz));
    EXPECT_EQ(FormatPrompt("ab%scd", args, 1, sz, 8), 0);
    EXPECT_STREQ(sz, "ab01234");
    EXPECT_EQ(sz[8], 'Q');
    EXPECT_EQ(sz[9], 'Q');
    EXPECT_EQ(FormatPrompt("abcdefg", args, 1, sz, 8), 1);
    EXPECT_STREQ(sz, "abcdefg");
    EXPECT_EQ(FormatPrompt("%999999999999s", args, 1, sz, 8), 0);
    EXPECT_STREQ(sz, "       ");
}

TEST(FileErrMessage, EveryCode)
{
    struct Case { unsigned nErr; unsigned uId; const char *text; } cases[] = {
        {0, 400, "An unusual file creation error occured."},
        {2, 400, "An unusual file creation error occured."},
        {3, 303, "Path invalid."},
        {4, 401, "There are too many open files."},
        {5, 402, "Access denied."},
        {6, 400, "An unusual file creation error occured."},
        {15, 403, "Invalid drive."},
        {19, 404, "A write protect error occured."},
        {32, 405, "A sharing violation occured."},
        {33, 406, "A locking violation occured."},
        {53, 407, "A network error occured."},
        {54, 407, "A network error occured."},
        {55, 400, "An unusual file creation error occured."},
        {58, 407, "A network error occured."},
        {59, 407, "A network error occured."},
        {65, 407, "A network error occured."},
        {66, 400, "An unusual file creation error occured."},
        {65535, 400, "An unusual file creation error occured."},
    };
    for (const Case &c : cases) {
        const char *psz = NULL;
        EXPECT_EQ(FileErrMessage(c.nErr, &psz), c.uId) << "code " << c.nErr;
        EXPECT_STREQ(psz, c.text) << "code " << c.nErr;
    }
}
