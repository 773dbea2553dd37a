/* test_png.cpp - the preview driver's PNG pictures and record fields:
 * Adler-32 against known values, PNG files read back by an independent
 * reader (tests/support/pngcheck.h), and the field escapes. */
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../support/pngcheck.h"
#include "logic.h"

namespace {

struct AdlerCase {
    std::string data;
    uint32_t uWant;
};

TEST(Adler32, KnownValues)
{
    const AdlerCase cases[] = {
        {"", 1},
        {"a", 0x00620062},
        {"abc", 0x024D0127},
        {"Wikipedia", 0x11E60398},
        {std::string(100000, '\xFF'), pngcheck::Adler(std::string(100000, '\xFF'))},
    };
    for (const AdlerCase &c : cases)
        EXPECT_EQ(Adler32Update(1, c.data.data(), c.data.size()), c.uWant) << c.data.size() << " bytes";
    /* Continued in two parts, the same as in one. */
    std::string s(70000, 'q');
    EXPECT_EQ(Adler32Update(Adler32Update(1, s.data(), 12345), s.data() + 12345, s.size() - 12345),
              Adler32Update(1, s.data(), s.size()));
}

struct PngCase {
    int cx, cy;
};

TEST(EncodePng, ReadsBackAsTheSamePixels)
{
    /* One pixel; one row; a picture whose data needs several stored blocks. */
    const PngCase cases[] = {{1, 1}, {7, 1}, {1, 5}, {300, 200}};
    for (const PngCase &c : cases) {
        std::vector<uint32_t> px((size_t)c.cx * c.cy);
        for (size_t k = 0; k < px.size(); k++)
            px[k] = (uint32_t)(k * 2654435761u) & 0xFFFFFF;
        size_t cb = EncodePng(c.cx, c.cy, px.data(), NULL, 0);
        std::string bytes(cb, '\0');
        ASSERT_EQ(EncodePng(c.cx, c.cy, px.data(), (unsigned char *)&bytes[0], cb), cb);
        /* A buffer one byte short gets nothing and learns the size. */
        std::string shortBuf(cb - 1, 'x');
        EXPECT_EQ(EncodePng(c.cx, c.cy, px.data(), (unsigned char *)&shortBuf[0], cb - 1), cb);
        EXPECT_EQ(shortBuf, std::string(cb - 1, 'x'));

        int cx = 0, cy = 0;
        std::string raw;
        ASSERT_EQ(pngcheck::Read(bytes, &cx, &cy, &raw), "") << c.cx << "x" << c.cy;
        EXPECT_EQ(cx, c.cx);
        EXPECT_EQ(cy, c.cy);
        for (int y = 0; y < c.cy; y++) {
            const size_t row = (size_t)y * (1 + 3 * c.cx);
            EXPECT_EQ(raw[row], 0) << "filter byte of row " << y;
            for (int x = 0; x < c.cx; x++) {
                uint32_t p = px[(size_t)y * c.cx + x];
                const unsigned char *pb = (const unsigned char *)raw.data() + row + 1 + 3 * x;
                ASSERT_EQ((uint32_t)(pb[0] << 16 | pb[1] << 8 | pb[2]), p) << x << "," << y;
            }
        }
    }
    EXPECT_EQ(EncodePng(0, 5, NULL, NULL, 0), 0u);
}

struct EscapeCase {
    const char *pszText;
    const char *pszWant;
};

TEST(EscapeRecordField, EscapesWhatWouldBreakALine)
{
    const EscapeCase cases[] = {
        {"", ""},
        {"plain text", "plain text"},
        {"C:\\QSAMPLE\\", "C:\\\\QSAMPLE\\\\"},
        {"a\tb", "a\\tb"},
        {"two\r\nlines", "two\\r\\nlines"},
        {"\\n is not a line feed", "\\\\n is not a line feed"},
    };
    for (const EscapeCase &c : cases) {
        char sz[64];
        EXPECT_EQ(EscapeRecordField(c.pszText, sz, sizeof(sz)), strlen(c.pszWant)) << c.pszText;
        EXPECT_STREQ(sz, c.pszWant);
        /* No room for the terminator: nothing written. */
        char szSmall[4] = "xyz";
        if (strlen(c.pszWant) >= sizeof(szSmall)) {
            EscapeRecordField(c.pszText, szSmall, strlen(c.pszWant));
            EXPECT_STREQ(szSmall, "xyz");
        }
    }
}

} // namespace
