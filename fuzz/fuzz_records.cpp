/* fuzz_records.cpp - a package file of arbitrary bytes walked record by
 * record the way extraction reads it: a length field that is short, negative,
 * beyond the rest of the file or zero ends or shapes the walk, and the
 * readers' record classifier must say the same of every step.  Each length
 * is checked against the bytes it came from, and the walk must end inside
 * the file after at most one step per header. */
#include "fuzz_input.h"
#include "logic.h"

enum RecordEnd { END_CLEAN, END_SHORT_HEADER, END_NEGATIVE, END_SHORT_DATA };

/* The field read by hand: four bytes, least significant first, as a 32-bit
   two's-complement number. */
static int64_t LengthOf(const uint8_t *pb)
{
    uint64_t u = pb[0] + 256u * (pb[1] + 256u * (pb[2] + 256u * (uint64_t)pb[3]));
    return u >= 0x80000000u ? (int64_t)u - 0x100000000LL : (int64_t)u;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    size_t nPos = 0, nRecords = 0;
    RecordEnd end = END_CLEAN;
    while (nPos < cbData) {
        if (cbData - nPos < RECORD_HEADER_SIZE) {
            int32_t lClassified = 1;
            FUZZ_CHECK(ClassifyRecord(NULL, cbData - nPos, &lClassified) == RECORD_SHORT_HEADER);
            FUZZ_CHECK(lClassified == 0);
            end = END_SHORT_HEADER;
            break;
        }
        /* The header alone in a block of its size: the decoder may read
           those four bytes and no more. */
        std::unique_ptr<unsigned char[]> pHeader(new unsigned char[RECORD_HEADER_SIZE]);
        memcpy(pHeader.get(), pData + nPos, RECORD_HEADER_SIZE);
        int32_t lLength = DecodeRecordLength(pHeader.get());
        FUZZ_CHECK(lLength == LengthOf(pData + nPos));
        /* The readers' own verdict on the record, against this walk's. */
        int32_t lClassified = 0;
        RecordShape shape = ClassifyRecord(pHeader.get(), cbData - nPos, &lClassified);
        FUZZ_CHECK(lClassified == lLength);
        FUZZ_CHECK(shape == (lLength < 0 ? RECORD_NEGATIVE
                             : (uint64_t)lLength > cbData - nPos - RECORD_HEADER_SIZE ? RECORD_SHORT_DATA
                                                                                       : RECORD_WHOLE));

        unsigned char abAgain[RECORD_HEADER_SIZE];
        EncodeRecordLength(lLength, abAgain);
        FUZZ_CHECK(memcmp(abAgain, pHeader.get(), RECORD_HEADER_SIZE) == 0);

        nPos += RECORD_HEADER_SIZE;
        if (lLength < 0) {
            end = END_NEGATIVE;     /* refused before any allocation */
            break;
        }
        if ((uint64_t)lLength > cbData - nPos) {
            end = END_SHORT_DATA;   /* the file ends inside the record */
            break;
        }
        nPos += (size_t)lLength;    /* zero: an empty file, the walk goes on */
        nRecords++;
    }
    FUZZ_CHECK(nPos <= cbData);
    FUZZ_CHECK(nRecords <= cbData / RECORD_HEADER_SIZE);
    FUZZ_CHECK(end != END_CLEAN || nPos == cbData);
    return 0;
}
