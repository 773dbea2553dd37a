/* fuzz_sums.cpp - the package checksum resource as the installer reads it.
 * An input whose first byte is even is the resource itself, arbitrary bytes
 * in a block of exactly their size: it is taken only when a decoding done
 * here by hand agrees, and every checksum then reads back from inside it.
 * An odd first byte gives records instead; they are sealed the way the
 * authoring tool seals them, decoded again, and each must check while any
 * one changed byte makes it fail. */
#include <vector>

#include "fuzz_input.h"
#include "logic.h"

typedef std::vector<unsigned char> Bytes;

/* Four bytes, least significant first. */
static uint32_t WordAt(const unsigned char *pb)
{
    return pb[0] | (uint32_t)pb[1] << 8 | (uint32_t)pb[2] << 16 | (uint32_t)pb[3] << 24;
}

/* CRC-32 one bit at a time (reflected polynomial 0xEDB88320), nothing
   shared with the table-driven code under test. */
static uint32_t SlowCrc32(const unsigned char *pb, size_t cb)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < cb; i++) {
        c ^= pb[i];
        for (int k = 0; k < 8; k++)
            c = (c >> 1) ^ (0xEDB88320u & (0u - (c & 1)));
    }
    return ~c;
}

/* What the resource says when read by hand: 1 with the count and the
   length when it is one this program takes. */
static int DecodeByHand(const Bytes &v, uint32_t *puCount, uint64_t *puTotal)
{
    if (v.size() < 24 || memcmp(v.data(), "QSUM", 4) != 0 || WordAt(&v[4]) != 1 || WordAt(&v[8]) != 1)
        return 0;
    uint32_t uCount = WordAt(&v[12]);
    if ((v.size() - 24) % 4 != 0 || (v.size() - 24) / 4 != uCount)
        return 0;
    *puCount = uCount;
    *puTotal = WordAt(&v[16]) | (uint64_t)WordAt(&v[20]) << 32;
    return 1;
}

static void CheckArbitrary(const Bytes &v)
{
    /* An exact-size block; an empty input still gets a distinct one. */
    std::unique_ptr<unsigned char[]> p(new unsigned char[v.size() ? v.size() : 1]);
    if (!v.empty())
        memcpy(p.get(), v.data(), v.size());
    PackageSums sums;
    memset(&sums, 0, sizeof sums);
    int fOk = DecodePackageSums(p.get(), v.size(), &sums);
    uint32_t uCount = 0;
    uint64_t uTotal = 0;
    FUZZ_CHECK(fOk == DecodeByHand(v, &uCount, &uTotal));
    if (!fOk)
        return;
    FUZZ_CHECK(sums.uCount == uCount && sums.uTotal == uTotal);
    FUZZ_CHECK(sums.pbSums == p.get() + 24);
    const unsigned char abRecord[] = {'Q', 'u', 'a', 'r', 'n', 'e', 'l'};
    uint32_t uRecordCrc = SlowCrc32(abRecord, sizeof abRecord);
    for (uint32_t i = 0; i < uCount; i++) {
        uint32_t uWant = WordAt(&v[24 + 4 * (size_t)i]);
        FUZZ_CHECK(GetRecordSum(&sums, i) == uWant);
        FUZZ_CHECK(CheckRecordSum(&sums, i, abRecord, sizeof abRecord) == (uWant == uRecordCrc));
    }
    /* Past the last checksum there is none to match, whatever the data. */
    for (uint32_t i : {uCount, uCount + 1, 0xFFFFFFFFu})
        if (i >= uCount)
            FUZZ_CHECK(CheckRecordSum(&sums, i, abRecord, sizeof abRecord) == 0);
}

/* Records taken from the input, each in a block of exactly its size. */
static std::vector<Bytes> TakeRecords(FuzzInput &in)
{
    std::vector<Bytes> vRecords(in.TakeByte() % 24);
    for (Bytes &rec : vRecords) {
        std::string s = in.TakeText();
        rec.assign(s.begin(), s.end());
    }
    return vRecords;
}

static void CheckRoundTrip(FuzzInput &in)
{
    std::vector<Bytes> vRecords = TakeRecords(in);
    std::vector<uint32_t> vCrcs;
    uint64_t uTotal = 0;
    for (const Bytes &rec : vRecords) {
        uint32_t uCrc = Crc32Update(0, rec.data(), rec.size());
        FUZZ_CHECK(uCrc == SlowCrc32(rec.data(), rec.size()));
        /* Taken in two parts it is the same checksum. */
        size_t nSplit = rec.empty() ? 0 : in.TakeByte() % (rec.size() + 1);
        FUZZ_CHECK(Crc32Update(Crc32Update(0, rec.data(), nSplit), rec.data() + nSplit, rec.size() - nSplit) ==
                   uCrc);
        vCrcs.push_back(uCrc);
        uTotal += RECORD_HEADER_SIZE + rec.size();
    }
    uint32_t uCount = (uint32_t)vRecords.size();
    FUZZ_CHECK(PackageSumsSize(uCount) == 24 + 4 * (uint64_t)uCount);

    /* One byte short of room writes nothing; exact room writes it all. */
    size_t cb = (size_t)PackageSumsSize(uCount);
    Bytes vShort(cb - 1, 0x5A);
    FUZZ_CHECK(EncodePackageSums(uCount, uTotal, vCrcs.data(), vShort.data(), vShort.size()) == 0);
    FUZZ_CHECK(vShort == Bytes(cb - 1, 0x5A));
    std::unique_ptr<unsigned char[]> p(new unsigned char[cb]);
    FUZZ_CHECK(EncodePackageSums(uCount, uTotal, vCrcs.data(), p.get(), cb) == cb);
    Bytes vSealed(p.get(), p.get() + cb);
    uint32_t uCountRead = 0;
    uint64_t uTotalRead = 0;
    FUZZ_CHECK(DecodeByHand(vSealed, &uCountRead, &uTotalRead) && uCountRead == uCount && uTotalRead == uTotal);

    PackageSums sums;
    FUZZ_CHECK(DecodePackageSums(p.get(), cb, &sums) == 1);
    FUZZ_CHECK(sums.uCount == uCount && sums.uTotal == uTotal);
    for (uint32_t i = 0; i < uCount; i++) {
        Bytes rec = vRecords[i];
        FUZZ_CHECK(CheckRecordSum(&sums, i, rec.data(), rec.size()) == 1);
        if (rec.empty())
            continue;
        size_t nFlip = in.TakeWord() % rec.size();
        uint8_t bChange = in.TakeByte();
        rec[nFlip] ^= bChange ? bChange : 0x80;   /* any burst of up to 32 bits is caught */
        FUZZ_CHECK(CheckRecordSum(&sums, i, rec.data(), rec.size()) == 0);
    }
    /* A damaged seal is refused as a whole, whichever header byte it hits. */
    size_t nByte = in.TakeByte() % 24;
    if (nByte < 16) {
        vSealed[nByte] ^= 0x01;
        FUZZ_CHECK(DecodePackageSums(vSealed.data(), vSealed.size(), &sums) == 0);
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    FuzzInput in(pData, cbData);
    uint8_t bMode = in.TakeByte();
    if (bMode & 1)
        CheckRoundTrip(in);
    else
        CheckArbitrary(Bytes(pData + (cbData ? 1 : 0), pData + cbData));
    return 0;
}
