/* fuzz_input.h - what every fuzz target shares: taking the fuzzer's bytes
 * apart into numbers and texts, texts copied into allocations of exactly
 * their size (so the address sanitizer sees any read or write one past
 * them), and the check that stops the run when a contract is broken. */
#ifndef QUARNEL_FUZZ_INPUT_H
#define QUARNEL_FUZZ_INPUT_H

#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

/* A broken contract is a finding: say which and stop, so the fuzzer keeps
   the input that led here. */
#define FUZZ_CHECK(cond)                                                             \
    do {                                                                             \
        if (!(cond)) {                                                               \
            fprintf(stderr, "contract broken at %s:%d: %s\n", __FILE__, __LINE__, #cond); \
            abort();                                                                 \
        }                                                                            \
    } while (0)

/* Reads the fuzzer's bytes from the front: single bytes for choices, then
   texts that each end at a zero byte (or at the end of the input). */
class FuzzInput {
public:
    FuzzInput(const uint8_t *pData, size_t cbData) : m_p(pData), m_cb(cbData) {}

    uint8_t TakeByte()
    {
        if (m_cb == 0)
            return 0;
        m_cb--;
        return *m_p++;
    }

    uint16_t TakeWord()
    {
        uint16_t uLow = TakeByte();
        return (uint16_t)(uLow | (TakeByte() << 8));
    }

    std::string TakeText()
    {
        const void *pZero = memchr(m_p, 0, m_cb);
        size_t n = pZero ? (size_t)((const uint8_t *)pZero - m_p) : m_cb;
        std::string s((const char *)m_p, n);
        size_t nUsed = pZero ? n + 1 : n;
        m_p += nUsed;
        m_cb -= nUsed;
        return s;
    }

private:
    const uint8_t *m_p;
    size_t m_cb;
};

/* A copy of s with its terminator in a block of exactly that size. */
inline std::unique_ptr<char[]> ExactCopy(const std::string &s)
{
    std::unique_ptr<char[]> p(new char[s.size() + 1]);
    memcpy(p.get(), s.c_str(), s.size() + 1);
    return p;
}

/* An output block of exactly cch characters, filled with a byte that no
   correct result leaves in place past its terminator.  A block of zero
   characters is still a distinct allocation with no usable byte, so any
   write to it is reported. */
inline std::unique_ptr<char[]> ExactBuffer(size_t cch)
{
    std::unique_ptr<char[]> p(new char[cch]);
    memset(p.get(), 0x5A, cch);
    return p;
}

/* Output sizes worth trying: the tiny ones where off-by-one faults live,
   the program's own buffer sizes, and anything else below 1100. */
inline size_t PickOutputSize(FuzzInput &in)
{
    static const size_t acch[] = {0, 1, 2, 3, 4, 8, 9, 16, 100, 256, 356, 1024};
    uint8_t b = in.TakeByte();
    if (b < 2 * sizeof(acch) / sizeof(acch[0]))
        return acch[b / 2];
    return ((size_t)b << 2 | (in.TakeByte() & 3)) % 1100;
}

#endif
