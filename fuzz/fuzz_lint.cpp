/* fuzz_lint.cpp - the authoring tool's checks over arbitrary string tables,
 * a script's item list and a package layout.  Entry IDs lean towards the
 * ones the installer reads, texts are anything.  The checks must stay
 * inside their data, give the same findings every time, and the findings
 * must sort, format and count as the tool prints them. */
#include <algorithm>
#include <vector>

#include "fuzz_input.h"
#include "kit_lint.h"

/* Mostly IDs of the plan (0 to 4199), sometimes any 16-bit ID. */
static unsigned TakeId(FuzzInput &in)
{
    bool fAny = in.TakeByte() == 0xff;
    unsigned u = in.TakeWord();
    return fAny ? u : u % 4200;
}

static bool SameFindings(const std::vector<Finding> &a, const std::vector<Finding> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (a[i].uId != b[i].uId || a[i].severity != b[i].severity || a[i].strMessage != b[i].strMessage)
            return false;
    return true;
}

static void CheckFindings(std::vector<Finding> v)
{
    int nErrors = 0;
    for (const Finding &f : v) {
        FUZZ_CHECK(!f.strMessage.empty());
        FUZZ_CHECK(f.severity == SEV_ERROR || f.severity == SEV_WARNING);
        nErrors += f.severity == SEV_ERROR;
        std::string line = FormatFinding(f);
        std::string head = std::to_string(f.uId) + (f.severity == SEV_ERROR ? ": error: " : ": warning: ");
        FUZZ_CHECK(line == head + f.strMessage);
    }
    FUZZ_CHECK(CountErrors(v) == nErrors);
    size_t nBefore = v.size();
    SortFindings(&v);
    FUZZ_CHECK(v.size() == nBefore);
    for (size_t i = 1; i < v.size(); i++)
        FUZZ_CHECK(v[i - 1].uId <= v[i].uId);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *pData, size_t cbData)
{
    FuzzInput in(pData, cbData);
    Manifest manifest;
    size_t nEntries = in.TakeByte() % 64;
    for (size_t i = 0; i < nEntries; i++) {
        unsigned uId = TakeId(in);
        manifest[uId] = in.TakeText();
    }

    /* A script whose names are not looked up on disk: each carries its
       reason already, as an unresolvable name does. */
    ScriptInfo script;
    script.strScript = "fuzz.txt";
    script.package.strWritten = in.TakeText();
    size_t nItems = in.TakeByte() % 8;
    for (size_t i = 0; i < nItems; i++) {
        ScriptEntry item;
        item.strWritten = in.TakeText();
        item.nLine = i + 1;
        item.strProblem = "cannot be resolved";
        script.vItems.push_back(item);
    }

    PackageLayout layout;
    size_t nRecords = in.TakeByte() % 8;
    for (size_t i = 0; i < nRecords; i++) {
        PackageRecord rec;
        rec.nOffset = i * 8;
        rec.lLength = (int32_t)((uint32_t)in.TakeWord() << 16 | in.TakeWord());
        rec.nPresent = in.TakeWord();
        layout.vRecords.push_back(rec);
    }
    layout.nTrailing = in.TakeByte() % 4;

    std::vector<Finding> v1, v2;
    LintManifest(manifest, &script, &v1);
    LintManifest(manifest, &script, &v2);
    FUZZ_CHECK(SameFindings(v1, v2));
    CheckFindings(v1);

    std::vector<Finding> vAlone;
    LintManifest(manifest, NULL, &vAlone);
    CheckFindings(vAlone);

    std::vector<Finding> vPackage;
    VerifyPackage(manifest, layout, &vPackage);
    CheckFindings(vPackage);
    size_t nUnsound = (size_t)std::count_if(layout.vRecords.begin(), layout.vRecords.end(),
                                            [](const PackageRecord &r) { return !IsSoundRecord(r); });
    FUZZ_CHECK(vPackage.size() >= nUnsound);

    int nCount = CheckedItemCount(manifest);
    FUZZ_CHECK(nCount >= 0 && nCount <= 400);
    std::string dest = DefaultDestination(manifest);
    FUZZ_CHECK(!dest.empty() && dest.back() == '\\' && dest.size() <= 256);
    return 0;
}
