/* Command tails: what the builder receives after the program's name. */
#include <gtest/gtest.h>

#include "logic.h"

TEST(SkipProgramName, Table)
{
    struct Case { const char *in; const char *tail; } cases[] = {
        {"quarnel.exe", ""},
        {"quarnel.exe   ", ""},
        {"quarnel.exe \t \x01", ""},
        {"quarnel.exe script.qps", "script.qps"},
        {"quarnel.exe  \"my script.qps\"", "\"my script.qps\""},
        {"\"C:\\Program Files\\q.exe\" a b ", "a b "},
        {"\"C:\\Program Files\\q.exe\"a", "a"},
        {"\"unterminated name", ""},
        {"a\"b c\"d rest", "c\"d rest"},
        {"", ""},
    };
    for (const Case &c : cases)
        EXPECT_STREQ(SkipProgramName(c.in), c.tail) << "command line: " << c.in;
}
