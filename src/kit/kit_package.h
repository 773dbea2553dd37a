/* kit_package.h - the authoring tool's side of the package: reading a
 * package script, writing the package file byte for byte as the installer's
 * builder mode does, and walking the records of an existing package. */
#ifndef QUARNEL_KIT_PACKAGE_H
#define QUARNEL_KIT_PACKAGE_H

#include <stdint.h>

#include <string>
#include <vector>

/* A name found in a script: as written, where it stands, and the local path
   it resolves to (empty when it cannot be resolved, with the reason). */
struct ScriptEntry {
    std::string strWritten;
    size_t nLine = 0;
    std::string strPath;
    std::string strProblem;
};

struct ScriptInfo {
    std::string strScript;          /* the script's own path */
    ScriptEntry package;
    std::vector<ScriptEntry> vItems;
};

/* The whole of a regular file; 0 with *pstrError naming it otherwise. */
int ReadWholeFile(const std::string &strPath, std::string *pstrBytes, std::string *pstrError);

/* Reads and scans a script as the builder does.  0 with *pstrError when the
   script cannot be read or its markers are incomplete; item names that
   cannot be resolved do not fail the scan (see ScriptEntry::strProblem). */
int ReadScript(const std::string &strScript, ScriptInfo *pInfo, std::string *pstrError);

/* A script name as a local path.  Off Windows, backslashes become directory
   separators, a drive letter or a network name is refused (returns 0,
   reason given), and a name not found as written is matched part by part
   without regard to letter case, as on Windows (several matches: 0, reason
   given); on Windows the name is used as written. */
int ResolveScriptName(const std::string &strName, std::string *pstrPath, std::string *pstrError);

/* Size of an item file that can be packed, or 0 with the reason (missing,
   not a regular file, empty, or too large for a record). */
uint64_t MeasureItem(const std::string &strPath, std::string *pstrError);

/* 0 with *pstrError (naming the script line) when the script's package
   name cannot be used: empty, too long for the builder, or naming a drive
   or network path off Windows.  Checked for every pack, -o and dry run too. */
int CheckPackageName(const ScriptInfo &info, std::string *pstrError);

/* Called while packing: bytes written so far and the total. */
typedef void (*PackProgressFn)(uint64_t nDone, uint64_t nTotal, const ScriptEntry &item);

/* Writes the package of the script to strOutput (the script's own package
   path when empty).  On failure the incomplete package file is removed and
   *pstrError names the failing item.  Returns 1 on success. */
int PackScript(const ScriptInfo &info, const std::string &strOutput, PackProgressFn pfnProgress,
               std::string *pstrError);

/* One record found in a package file. */
struct PackageRecord {
    uint64_t nOffset = 0;
    int32_t lLength = 0;    /* as stored */
    uint64_t nPresent = 0;  /* data bytes actually in the file */
};

struct PackageLayout {
    uint64_t nSize = 0;
    std::vector<PackageRecord> vRecords; /* the last may be damaged, see below */
    int fTruncated = 0;    /* the last record has fewer bytes than its length */
    int fBadLength = 0;    /* the last record's length is negative */
    uint64_t nTrailing = 0;        /* 1-3 bytes at the end that cannot hold a length */
    uint64_t nTrailingOffset = 0;
};

/* 1 when the record is whole and of a length the builder writes (> 0). */
int IsSoundRecord(const PackageRecord &rec);

/* Walks the records of a package file.  0 with *pstrError when it cannot be
   read at all; damage inside the file is described in *pLayout. */
int ReadPackageLayout(const std::string &strPackage, PackageLayout *pLayout, std::string *pstrError);

#endif
