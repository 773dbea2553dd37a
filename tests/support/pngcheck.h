/* pngcheck.h - reads back a PNG as the preview driver writes it (RGB, 8
 * bits, image data in stored deflate blocks), checking every length and
 * checksum on its own terms: the CRC and Adler-32 here are the plain
 * bit-by-bit definitions, not the program's fast ones, so a fault there
 * cannot hide itself.  Header-only: the native and the Windows tests use it. */
#ifndef QUARNEL_PNGCHECK_H
#define QUARNEL_PNGCHECK_H

#include <stdint.h>

#include <string>

namespace pngcheck {

inline uint32_t Crc(const std::string &bytes)
{
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : bytes) {
        c ^= b;
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

inline uint32_t Adler(const std::string &bytes)
{
    uint32_t a = 1, b = 0;
    for (unsigned char c : bytes) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

inline uint32_t Be32(const std::string &s, size_t at)
{
    return (uint32_t)(unsigned char)s[at] << 24 | (uint32_t)(unsigned char)s[at + 1] << 16 |
           (uint32_t)(unsigned char)s[at + 2] << 8 | (unsigned char)s[at + 3];
}

/* "" when bytes is such a PNG (its size in *pcx, *pcy, its raw rows with
   their filter bytes in *pRaw); else what is wrong. */
inline std::string Read(const std::string &bytes, int *pcx, int *pcy, std::string *pRaw)
{
    if (bytes.compare(0, 8, std::string("\x89PNG\r\n\x1a\n", 8)) != 0)
        return "no PNG signature";
    std::string idat, ihdr;
    bool bEnd = false;
    for (size_t at = 8; !bEnd;) {
        if (at + 12 > bytes.size())
            return "a chunk runs past the end";
        uint32_t len = Be32(bytes, at);
        if (at + 12 + len > bytes.size())
            return "a chunk's length runs past the end";
        std::string type = bytes.substr(at + 4, 4), data = bytes.substr(at + 8, len);
        if (Crc(type + data) != Be32(bytes, at + 8 + len))
            return "chunk " + type + " has a wrong CRC";
        if (type == "IHDR")
            ihdr = data;
        else if (type == "IDAT")
            idat += data;
        bEnd = type == "IEND";
        at += 12 + len;
        if (bEnd && at != bytes.size())
            return "bytes after IEND";
    }
    if (ihdr.size() != 13 || ihdr.substr(8) != std::string("\x08\x02\x00\x00\x00", 5))
        return "not an 8-bit RGB header";
    *pcx = (int)Be32(ihdr, 0);
    *pcy = (int)Be32(ihdr, 4);
    if (idat.size() < 6 || ((unsigned char)idat[0] * 256 + (unsigned char)idat[1]) % 31 != 0 ||
        (idat[0] & 0x0F) != 8)
        return "no zlib header";
    std::string raw;
    size_t at = 2;
    for (bool bLast = false; !bLast;) {
        if (at + 5 > idat.size() || (idat[at] & 0x06) != 0)
            return "not a stored block";
        bLast = idat[at] & 1;
        size_t len = (unsigned char)idat[at + 1] | (size_t)(unsigned char)idat[at + 2] << 8;
        size_t nlen = (unsigned char)idat[at + 3] | (size_t)(unsigned char)idat[at + 4] << 8;
        if ((len ^ 0xFFFF) != nlen || at + 5 + len > idat.size())
            return "a stored block's lengths disagree";
        raw += idat.substr(at + 5, len);
        at += 5 + len;
    }
    if (at + 4 != idat.size() || Adler(raw) != Be32(idat, at))
        return "wrong Adler-32 or bytes after it";
    if (raw.size() != (size_t)(1 + 3 * *pcx) * *pcy)
        return "the image data is not cx * cy pixels";
    *pRaw = raw;
    return "";
}

} // namespace pngcheck

#endif
