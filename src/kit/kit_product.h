/* kit_product.h - a product file: one readable TOML description of a
 * product, turned into what the installer reads (the manifest's string
 * table, the package's item list) and what Windows shows in the file's
 * properties (the version resource). */
#ifndef QUARNEL_KIT_PRODUCT_H
#define QUARNEL_KIT_PRODUCT_H

#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "kit_lint.h"

/* Name, version and publisher for the installer's version resource; the
   version has one to four numbers, missing ones read as 0. */
struct ProductVersion {
    std::string strName;
    std::string strVersion;           /* as written, e.g. "1.2" */
    unsigned short awNumbers[4] = {0, 0, 0, 0};
    std::string strPublisher;
};

/* Everything the installer's version resource says, described once for
   its two writers (the kit's resource writer and the resource script that
   `manifest` writes), so that both installers of a product carry the same
   bytes. */
struct VersionInfo {
    unsigned wLang = 0;                 /* of the resource and of its one string table */
    unsigned wCodePage = 0;
    std::string strTableKey;            /* the string table's name: language and code page in hex */
    uint32_t dwVersionMs = 0, dwVersionLs = 0; /* file and product version alike */
    uint32_t dwFlagsMask = 0, dwFlags = 0, dwOs = 0, dwType = 0, dwSubtype = 0;
    std::vector<std::pair<std::string, std::string>> vTexts; /* key, text in code page 1252; none empty */
};
VersionInfo DescribeVersion(const ProductVersion &version);

struct Product {
    std::string strFile;              /* the product file's own path */
    Manifest manifest;                /* entry ID -> text in code page 1252, as LoadStringA returns it */
    std::string strPackageName;       /* entry 98 as the builder names the package */
    std::vector<std::string> vItemSources; /* local path of item i's source file, in manifest order */
    ProductVersion version;
};

/* Reads and checks a product file.  1 with *pProduct filled when it has no
   errors; 0 otherwise, with every problem as "FILE:LINE:COLUMN: error: ..."
   (warnings too, as "warning:") in *pvMessages, their number in *pnWarnings
   when given.  Every check the lint makes of a manifest and its script
   has been applied, and those of meaning that only a product file shows
   (a key that needs another, a command naming a file no item installs). */
int LoadProduct(const std::string &strFile, Product *pProduct, std::vector<std::string> *pvMessages,
                int *pnWarnings = nullptr);

/* Of vKnown, the word nearest to strWord (fewest edits); null when empty. */
const char *FindNearestWord(const std::string &strWord, const std::vector<const char *> &vKnown);

/* A UTF-8 text as LoadStringA returns it on a western system: in code
   page 1252, each character the code page lacks read as "?" and listed in
   *pstrOutside.  The text must be UTF-8 (IsUtf8Text). */
std::string ConvertUtf8ToAnsi(const std::string &strUtf8, std::string *pstrOutside);
int IsUtf8Text(const std::string &str);

/* What init is asked for: the folder, the product file to be written
   (empty: standard output), and whether names starting with a dot count. */
struct InitRequest {
    std::string strDir;
    std::string strProductFile;
    bool fHidden = false;
};

/* A starting product file for the files under request.strDir, its source
   paths relative to the product file's folder (the current one for
   standard output) and the product named after it (or after the folder).
   Links are followed.  0 with one line per path the installer cannot take
   (empty, 2 GiB or more, a name Windows or the installer refuses or that
   it would expand, two names Windows takes for one, a link that leads
   nowhere or into itself, a date outside 1980-2107, more than the items an
   installer holds); 1 with *pstrText and, in *pvNotes, what the author
   should know (the hidden names left out).  On standard output the text
   itself says that its sources start from the current folder. */
int MakeStarterProduct(const InitRequest &request, std::string *pstrText, std::vector<std::string> *pvProblems,
                       std::vector<std::string> *pvNotes);

/* The two classic files of a loaded product: the manifest as a resource
   script (a STRINGTABLE whose texts LoadStringA returns as the manifest
   holds them, and the version resource the kit's build writes), and the
   package script strScript, its item names relative to the script's
   folder (0 with *pstrError when a name cannot be written). */
std::string FormatManifestRc(const Product &product);
int FormatPackageScript(const Product &product, const std::string &strScript, std::string *pstrText,
                        std::string *pstrError);

#endif
