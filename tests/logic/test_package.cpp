/* The package script's markers and the record length field. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "logic.h"

/* Every name of a script, the package name first; "!" stands for a failed
   package scan and "?" for an item marker without its closing quote. */
static std::vector<std::string> ScanAll(const std::string &text)
{
    std::vector<std::string> names;
    ScriptName name;
    if (!ScanPackageName(text.data(), text.size(), &name)) {
        names.push_back("!");
        return names;
    }
    names.push_back(text.substr(name.nStart, name.nLen));
    size_t nFrom = name.nNext;
    int nFound;
    while ((nFound = ScanNextItem(text.data(), text.size(), nFrom, &name)) == 1) {
        names.push_back(text.substr(name.nStart, name.nLen));
        nFrom = name.nNext;
    }
    if (nFound < 0)
        names.push_back("?");
    return names;
}

typedef std::vector<std::string> Names;

TEST(ScriptScan, Table)
{
    struct Case { std::string text; Names names; } cases[] = {
        {"*### PACKAGE# \"OUT.PKG\" ITEM# \"a.txt\" ITEM# \"b.dll\"", {"OUT.PKG", "a.txt", "b.dll"}},
        {"*###PACKAGE# \"P\"", {"P"}},
        {"PACKAGE# \"P\"", {"!"}},
        {"PACKAGE# \"EARLY\" *### PACKAGE# \"LATE\" ITEM# \"i\"", {"LATE", "i"}},
        {"PACKAGE# \"EARLY\" *### ITEM# \"i\"", {"!"}},
        {"*### ITEM# \"before\" PACKAGE# \"P\" ITEM# \"after\"", {"P", "after"}},
        {"*### PACKAGE# \"P\" PACKAGE# \"Q\" ITEM# \"i\"", {"P", "i"}},
        {"*### package# \"P\"", {"!"}},
        {"*### PACKAGE#  \"P\"", {"!"}},
        {"*### PACKAGE#\t\"P\"", {"!"}},
        {"*### PACKAGE# \"P\" item# \"a\" ITEM#  \"b\" ITEM#\t\"c\" ITEM# \"d\"", {"P", "d"}},
        {"*### PACKAGE# \"P", {"!"}},
        {"*### PACKAGE# \"P\" ITEM# \"a\" ITEM# \"open", {"P", "a", "?"}},
        {"*### PACKAGE# \"P\" ITEM# \"x\" ITEM# \"x\"", {"P", "x", "x"}},
        {"*### PACKAGE# \" my pkg \" ITEM# \" C:\\dir with blanks\\f 1.txt \"",
         {" my pkg ", " C:\\dir with blanks\\f 1.txt "}},
        {"*### PACKAGE# \"\" ITEM# \"\"", {"", ""}},
        {"*### PACKAGE# \"multi\nline\" ITEM# \"a\r\nb\"", {"multi\nline", "a\r\nb"}},
        {"// *### comment PACKAGE# \"P\"// ITEM# \"a\"ITEM# \"b\"x", {"P", "a", "b"}},
        {"**### PACKAGE# \"P\"", {"P"}},
        {"*## PACKAGE# \"P\"", {"!"}},
        {"", {"!"}},
        {"*### PACKAGE# \"P\" ITEM# \"a\"\"ITEM# \"b\"", {"P", "a", "b"}},
        {"*### PACKAGE# \"P\" ITEM# \"a\" ITEM\xA0# \"b\"", {"P", "a"}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ScanAll(c.text), c.names) << "script: " << c.text;
}

TEST(ScriptScan, ZeroByteEndsTheText)
{
    std::string text("*### PACKAGE# \"P\" ITEM# \"a\" ", 28);
    text += std::string(1, '\0') + "ITEM# \"b\"";
    EXPECT_EQ(ScanAll(text), (Names{"P", "a"}));

    std::string cut("*### PACK", 9);
    cut += std::string(1, '\0') + "AGE# \"P\"";
    EXPECT_EQ(ScanAll(cut), (Names{"!"}));

    /* A quote beyond the zero byte does not close a name. */
    std::string open("*### PACKAGE# \"P\" ITEM# \"a", 26);
    open += std::string(1, '\0') + "\"";
    EXPECT_EQ(ScanAll(open), (Names{"P", "?"}));
}

TEST(ScriptScan, TextEndsAtItsLength)
{
    /* Only the first cbText bytes count, even when more follow in memory. */
    const char text[] = "*### PACKAGE# \"P\" ITEM# \"abc\"";
    ScriptName name;
    ASSERT_EQ(ScanPackageName(text, sizeof(text) - 1, &name), 1);
    EXPECT_EQ(name.nStart, 15u);
    EXPECT_EQ(name.nLen, 1u);
    EXPECT_EQ(name.nNext, 17u);
    EXPECT_EQ(ScanNextItem(text, sizeof(text) - 1, name.nNext, &name), 1);
    EXPECT_EQ(name.nStart, 25u);
    EXPECT_EQ(name.nLen, 3u);
    EXPECT_EQ(ScanNextItem(text, sizeof(text) - 2, 17, &name), -1);
    EXPECT_EQ(ScanNextItem(text, 24, 17, &name), 0);
    EXPECT_EQ(ScanPackageName(text, 16, &name), 0);
    EXPECT_EQ(ScanNextItem(text, sizeof(text) - 1, 500, &name), 0);
}

TEST(RecordLength, LittleEndianSigned)
{
    struct Case { int32_t lLength; unsigned char ab[4]; } cases[] = {
        {1000, {0xE8, 0x03, 0x00, 0x00}},
        {3, {0x03, 0x00, 0x00, 0x00}},
        {0x12345678, {0x78, 0x56, 0x34, 0x12}},
        {2147483647, {0xFF, 0xFF, 0xFF, 0x7F}},
        {-1, {0xFF, 0xFF, 0xFF, 0xFF}},
        {-2147483647 - 1, {0x00, 0x00, 0x00, 0x80}},
    };
    for (const Case &c : cases) {
        unsigned char ab[4] = {0xAA, 0xAA, 0xAA, 0xAA};
        EncodeRecordLength(c.lLength, ab);
        EXPECT_EQ(memcmp(ab, c.ab, 4), 0) << "length " << c.lLength;
        EXPECT_EQ(DecodeRecordLength(c.ab), c.lLength);
    }
}

TEST(RecordShape, ByTheBytesLeft)
{
    const unsigned char ab1000[4] = {0xE8, 0x03, 0x00, 0x00};
    const unsigned char abZero[4] = {0, 0, 0, 0};
    const unsigned char abNegative[4] = {0x00, 0x00, 0x00, 0x80};
    const unsigned char abLargest[4] = {0xFF, 0xFF, 0xFF, 0x7F};
    struct Case { const unsigned char *pb; uint64_t cbLeft; RecordShape shape; int32_t lLength; } cases[] = {
        {ab1000, 1004, RECORD_WHOLE, 1000},
        {ab1000, 5000, RECORD_WHOLE, 1000},
        {ab1000, 1003, RECORD_SHORT_DATA, 1000},
        {ab1000, 4, RECORD_SHORT_DATA, 1000},
        {ab1000, 3, RECORD_SHORT_HEADER, 0},
        {nullptr, 0, RECORD_SHORT_HEADER, 0},      /* nothing left: the header is not read */
        {abZero, 4, RECORD_WHOLE, 0},
        {abNegative, 1u << 20, RECORD_NEGATIVE, -2147483647 - 1},
        {abLargest, 2147483651ull, RECORD_WHOLE, 2147483647},
        {abLargest, 2147483650ull, RECORD_SHORT_DATA, 2147483647},
    };
    for (const Case &c : cases) {
        int32_t lLength = 12345;
        EXPECT_EQ(ClassifyRecord(c.pb, c.cbLeft, &lLength), c.shape) << "left " << c.cbLeft;
        EXPECT_EQ(lLength, c.lLength) << "left " << c.cbLeft;
    }
}
