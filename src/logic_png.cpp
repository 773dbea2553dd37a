/* logic_png.cpp - what the preview driver writes: its pictures as PNG files
 * and its records' text fields.  The PNG needs no compressor: the image
 * data goes into stored deflate blocks, which every reader accepts, so the
 * whole format is a few checksums and lengths. */
#include "logic.h"

#include <string.h>

#include <vector>

/* A stored deflate block carries at most 65535 bytes. */
static const size_t STORED_MAX = 65535;
/* zlib's Adler-32 modulus, and how many bytes may be summed before the
   32-bit sums must be reduced (zlib's own bound). */
static const uint32_t ADLER_MOD = 65521;
static const size_t ADLER_RUN = 5552;

uint32_t Adler32Update(uint32_t uAdler, const void *pv, size_t cb)
{
    const unsigned char *pb = (const unsigned char *)pv;
    uint32_t a = uAdler & 0xFFFF, b = uAdler >> 16;
    while (cb > 0) {
        size_t n = cb < ADLER_RUN ? cb : ADLER_RUN;
        cb -= n;
        for (; n > 0; n--) {
            a += *pb++;
            b += a;
        }
        a %= ADLER_MOD;
        b %= ADLER_MOD;
    }
    return (b << 16) | a;
}

namespace {

/* Writes into a buffer that may be too small: it only counts then. */
struct Out {
    unsigned char *pb;
    size_t cb, n;
    void Bytes(const void *pv, size_t cbData)
    {
        if (pb && cbData > 0 && n + cbData <= cb)
            memcpy(pb + n, pv, cbData);
        n += cbData;
    }
    void Byte(unsigned char c) { Bytes(&c, 1); }
    void Be32(uint32_t u)
    {
        unsigned char ab[4] = {(unsigned char)(u >> 24), (unsigned char)(u >> 16),
                               (unsigned char)(u >> 8), (unsigned char)u};
        Bytes(ab, 4);
    }
    bool Fits() const { return pb && n <= cb; }
};

/* A chunk: length, type, data, and the CRC of type and data. */
void Chunk(Out &out, const char *pszType, const unsigned char *pbData, size_t cbData)
{
    out.Be32((uint32_t)cbData);
    out.Bytes(pszType, 4);
    out.Bytes(pbData, cbData);
    out.Be32(Crc32Update(Crc32Update(0, pszType, 4), pbData, cbData));
}

/* The raw image: each row a filter byte 0 (none) and its RGB bytes. */
void RawRow(const uint32_t *puRow, int cx, unsigned char *pb)
{
    *pb++ = 0;
    for (int x = 0; x < cx; x++) {
        *pb++ = (unsigned char)(puRow[x] >> 16);
        *pb++ = (unsigned char)(puRow[x] >> 8);
        *pb++ = (unsigned char)puRow[x];
    }
}

/* The zlib stream of the raw image, stored blocks only; its size is known
   in advance, so the IDAT chunk is written in one piece. */
size_t ZlibStoredSize(size_t cbRaw)
{
    size_t nBlocks = cbRaw == 0 ? 1 : (cbRaw + STORED_MAX - 1) / STORED_MAX;
    return 2 + nBlocks * 5 + cbRaw + 4;
}

void ZlibStored(const unsigned char *pbRaw, size_t cbRaw, unsigned char *pb)
{
    *pb++ = 0x78;   /* deflate, 32K window */
    *pb++ = 0x01;   /* no preset dictionary; 0x7801 is a multiple of 31 */
    size_t nDone = 0;
    do {
        size_t n = cbRaw - nDone < STORED_MAX ? cbRaw - nDone : STORED_MAX;
        *pb++ = nDone + n == cbRaw ? 1 : 0;   /* last block?  type 00: stored */
        *pb++ = (unsigned char)n;
        *pb++ = (unsigned char)(n >> 8);
        *pb++ = (unsigned char)~n;
        *pb++ = (unsigned char)(~n >> 8);
        memcpy(pb, pbRaw + nDone, n);
        pb += n;
        nDone += n;
    } while (nDone < cbRaw);
    uint32_t uAdler = Adler32Update(1, pbRaw, cbRaw);
    pb[0] = (unsigned char)(uAdler >> 24);
    pb[1] = (unsigned char)(uAdler >> 16);
    pb[2] = (unsigned char)(uAdler >> 8);
    pb[3] = (unsigned char)uAdler;
}

} // namespace

size_t EncodePng(int cx, int cy, const uint32_t *puPixels, unsigned char *pbOut, size_t cbOut)
{
    if (cx <= 0 || cy <= 0 || !puPixels)
        return 0;
    const size_t cbRow = 1 + (size_t)cx * 3, cbRaw = cbRow * (size_t)cy;
    const size_t cbZlib = ZlibStoredSize(cbRaw);
    const size_t cbNeed = 8 + (12 + 13) + (12 + cbZlib) + 12;
    if (!pbOut || cbOut < cbNeed)
        return cbNeed;

    static const unsigned char abSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    Out out = {pbOut, cbOut, 0};
    out.Bytes(abSignature, sizeof(abSignature));
    unsigned char abHeader[13] = {
        (unsigned char)(cx >> 24), (unsigned char)(cx >> 16), (unsigned char)(cx >> 8), (unsigned char)cx,
        (unsigned char)(cy >> 24), (unsigned char)(cy >> 16), (unsigned char)(cy >> 8), (unsigned char)cy,
        8, 2, 0, 0, 0};   /* 8 bits per sample, RGB, deflate, filter set 0, no interlace */
    Chunk(out, "IHDR", abHeader, sizeof(abHeader));

    std::vector<unsigned char> raw(cbRaw), zlib(cbZlib);
    for (int y = 0; y < cy; y++)
        RawRow(puPixels + (size_t)y * cx, cx, raw.data() + (size_t)y * cbRow);
    ZlibStored(raw.data(), cbRaw, zlib.data());
    Chunk(out, "IDAT", zlib.data(), cbZlib);
    Chunk(out, "IEND", NULL, 0);
    return out.Fits() ? out.n : cbNeed;
}

size_t EscapeRecordField(const char *pszText, char *pszOut, size_t cchOut)
{
    size_t n = 0;
    for (const char *p = pszText; *p; p++)
        n += strchr("\\\t\r\n", *p) ? 2 : 1;
    if (!pszOut || cchOut <= n)
        return n;
    for (const char *p = pszText; *p; p++) {
        const char *pszEscape = *p == '\\' ? "\\\\" : *p == '\t' ? "\\t" : *p == '\r' ? "\\r" : *p == '\n' ? "\\n" : NULL;
        if (pszEscape) {
            *pszOut++ = pszEscape[0];
            *pszOut++ = pszEscape[1];
        } else {
            *pszOut++ = *p;
        }
    }
    *pszOut = '\0';
    return n;
}
