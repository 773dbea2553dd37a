/* kit_product.cpp - reading a product file: TOML keys named by meaning,
 * turned into the manifest entries the installer reads.  Every entry
 * remembers the line that defined it, so that the lint's findings (one
 * implementation for built installers and product files alike) point at
 * the author's own text.  The only translation unit that sees toml++. */
#include "kit_product.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <filesystem>
#include <set>

#ifndef TOML_ENABLE_WINDOWS_COMPAT
#define TOML_ENABLE_WINDOWS_COMPAT 0 /* the kit uses narrow paths everywhere */
#endif
#include <toml++/toml.h>

#include "fixed.h"
#include "kit_pe.h"
#include "logic.h"
#include "resource.h"

namespace fs = std::filesystem;

namespace {

/* A version number is a 16-bit word of the version resource.  (Texts are
   bounded by what the installer keeps of them, fixed.h: longer product
   texts would be cut, so they are errors here.) */
enum { MAX_VERSION_PART = 65535 };

/* Where an entry came from: the key as a path ("item[2].overwrite") and
   its position in the product file. */
struct Origin {
    std::string strKey;
    size_t nLine = 0;
    size_t nColumn = 0;
};

struct Message {
    size_t nLine;
    size_t nColumn;
    std::string strText;
};

/* A command text that may name an installed file (run_after, an icon's
   command), with the key that holds it. */
struct CommandRef {
    std::string strText;
    Origin origin;
};

struct Loader {
    std::string strFile;
    Product *pProduct = nullptr;
    std::map<unsigned, Origin> mapOrigins;
    std::set<unsigned> setReported; /* entries with an error of the loader's own */
    std::vector<CommandRef> vCommands;
    std::vector<Message> vMessages;
    int nErrors = 0;
    int nWarnings = 0;
};

Origin MakeOrigin(const std::string &strKey, const toml::source_region &src)
{
    Origin o;
    o.strKey = strKey;
    o.nLine = src.begin.line;
    o.nColumn = src.begin.column;
    return o;
}

/* Every finding of a product file goes through here, so that all of them
   read alike (FormatFindingAt); strText is UTF-8. */
void Report(Loader *pL, const Origin &o, Severity sev, const std::string &strText)
{
    FindingPlace place;
    place.strFile = pL->strFile;
    place.nLine = o.nLine;
    place.nColumn = o.nColumn;
    place.strKey = o.strKey;
    pL->vMessages.push_back(Message{o.nLine, o.nColumn, FormatFindingAt(place, sev, strText)});
    pL->nErrors += sev == SEV_ERROR;
    pL->nWarnings += sev == SEV_WARNING;
}

/* Texts taken from the product are in code page 1252 by now. */
std::string Quote(const std::string &str)
{
    return QuoteText(str);
}

/* ---- Text in code page 1252 -------------------------------------------- */

/* Decodes one UTF-8 sequence at str[*pi]; 0 when it is malformed. */
int DecodeUtf8Char(const std::string &str, size_t *pi, uint32_t *pcp)
{
    unsigned char c = (unsigned char)str[*pi];
    int nMore = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (nMore < 0 || *pi + nMore >= str.size() + (nMore == 0))
        return 0;
    uint32_t cp = nMore == 0 ? c : (uint32_t)(c & (0x3f >> nMore));
    for (int k = 1; k <= nMore; k++) {
        unsigned char cc = (unsigned char)str[*pi + k];
        if ((cc >> 6) != 2)
            return 0;
        cp = (cp << 6) | (cc & 0x3f);
    }
    static const uint32_t aMin[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < aMin[nMore] || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
        return 0;
    *pi += nMore + 1;
    *pcp = cp;
    return 1;
}

/* The offset of the first byte that is not UTF-8, or npos. */
size_t FindBadUtf8(const std::string &str)
{
    uint32_t cp = 0;
    for (size_t i = 0; i < str.size();)
        if (!DecodeUtf8Char(str, &i, &cp))
            return i;
    return std::string::npos;
}

} // namespace

/* The converter is the one the PE reader uses. */
std::string ConvertUtf8ToAnsi(const std::string &strUtf8, std::string *pstrOutside)
{
    std::string strOut;
    for (size_t i = 0; i < strUtf8.size();) {
        size_t nStart = i;
        uint32_t cp = '?';
        if (!DecodeUtf8Char(strUtf8, &i, &cp))
            i++; /* cannot happen: the parser has checked the encoding */
        uint16_t w = cp < 0x10000 ? (uint16_t)cp : (uint16_t)0xfffd;
        std::string strChar = ConvertUtf16ToAnsi(&w, 1);
        if (strChar == "?" && cp != '?')
            *pstrOutside += (pstrOutside->empty() ? "" : " ") + strUtf8.substr(nStart, i - nStart);
        strOut += strChar;
    }
    return strOut;
}

int IsUtf8Text(const std::string &str)
{
    return FindBadUtf8(str) == std::string::npos;
}

namespace {

/* ---- Keys -------------------------------------------------------------- */

size_t EditDistance(const std::string &a, const std::string &b)
{
    std::vector<size_t> vPrev(b.size() + 1), vCur(b.size() + 1);
    for (size_t j = 0; j <= b.size(); j++)
        vPrev[j] = j;
    for (size_t i = 1; i <= a.size(); i++) {
        vCur[0] = i;
        for (size_t j = 1; j <= b.size(); j++)
            vCur[j] = std::min({vPrev[j] + 1, vCur[j - 1] + 1, vPrev[j - 1] + (a[i - 1] != b[j - 1])});
        vPrev.swap(vCur);
    }
    return vPrev[b.size()];
}

} // namespace

const char *FindNearestWord(const std::string &strWord, const std::vector<const char *> &vKnown)
{
    const char *pszNearest = nullptr;
    size_t nBest = SIZE_MAX;
    for (const char *psz : vKnown) {
        size_t n = EditDistance(strWord, psz);
        if (n < nBest) {
            nBest = n;
            pszNearest = psz;
        }
    }
    return pszNearest;
}

namespace {

void ReportUnknownKey(Loader *pL, const Origin &o, const std::vector<const char *> &vKnown)
{
    const char *pszNearest = FindNearestWord(o.strKey.substr(o.strKey.find_last_of(".]") + 1), vKnown);
    Report(pL, o, SEV_ERROR, std::string("unknown key") +
                                 (pszNearest ? "; did you mean " + Quote(pszNearest) + "?" : ""));
}

std::string TypeName(const toml::node &node)
{
    switch (node.type()) {
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a number with a fraction";
    case toml::node_type::boolean: return "true or false";
    case toml::node_type::date: return "a date";
    case toml::node_type::time: return "a time";
    case toml::node_type::date_time: return "a date and time";
    case toml::node_type::array: return "an array";
    case toml::node_type::table: return "a table";
    default: return "nothing";
    }
}

void ReportType(Loader *pL, const Origin &o, const toml::node &node, const char *pszExpected)
{
    Report(pL, o, SEV_ERROR, std::string("expects ") + pszExpected + ", not " + TypeName(node));
}

/* Records entry uId with its text; 0 when another key defined it already. */
int Define(Loader *pL, unsigned uId, const std::string &strText, const Origin &o)
{
    std::map<unsigned, Origin>::const_iterator it = pL->mapOrigins.find(uId);
    if (it != pL->mapOrigins.end()) {
        Report(pL, o, SEV_ERROR, "defines entry " + std::to_string(uId) + ", which " + it->second.strKey +
                                     " at line " + std::to_string(it->second.nLine) + " defines already");
        return 0;
    }
    pL->mapOrigins[uId] = o;
    if (!strText.empty())
        pL->pProduct->manifest[uId] = strText;
    return 1;
}

/* What a text becomes, and so which characters it may hold. */
enum TextUse {
    TEXT_RAW,       /* a numbered entry: the lint judges it by its ID */
    TEXT_LINE,      /* one line of text: no control character */
    TEXT_SHOWN,     /* shown in a message box, where a tab or line break works */
    TEXT_PATH,      /* a path the installer creates or opens: every name one
                       Windows takes, written with backslashes */
    TEXT_COMMAND,   /* a command line: one line, its path words as TEXT_PATH */
    TEXT_DEST       /* the default destination: a path that is never
                       expanded, so a macro in it stays text */
};

/* Why a text cannot be used as use says, or empty. */
std::string CheckTextUse(const std::string &str, TextUse use)
{
    if (use == TEXT_RAW)
        return std::string();
    if (use == TEXT_PATH || use == TEXT_DEST)
        return CheckPathNames(str, use == TEXT_DEST ? PATH_FAULTS_WRITTEN & ~NAME_MACRO : PATH_FAULTS_WRITTEN);
    size_t i = FindControl(str, use == TEXT_SHOWN);
    if (i != std::string::npos)
        return DescribeControl(str, i);
    return use == TEXT_COMMAND ? CheckCommandPaths(str, PATH_FAULTS_WRITTEN) : std::string();
}

/* A string value in code page 1252, checked against the room the installer
   reads (0: not checked here) and against what it becomes.  0 on a wrong
   type or a text that cannot be used. */
int GetText(Loader *pL, const toml::node &node, const Origin &o, size_t cchRoom, std::string *pstrText,
            TextUse use = TEXT_LINE)
{
    const toml::value<std::string> *pv = node.as_string();
    if (!pv) {
        ReportType(pL, o, node, "a string");
        return 0;
    }
    std::string strOutside;
    *pstrText = ConvertUtf8ToAnsi(pv->get(), &strOutside);
    if (!strOutside.empty())
        Report(pL, o, SEV_WARNING, strOutside + " not in code page 1252: the installer shows \"?\" instead");
    if (cchRoom && pstrText->size() > cchRoom) {
        Report(pL, o, SEV_ERROR, "has " + std::to_string(pstrText->size()) +
                                     " characters; the installer reads only the first " + std::to_string(cchRoom));
        return 0;
    }
    std::string strWhy = CheckTextUse(*pstrText, use);
    if (!strWhy.empty()) {
        Report(pL, o, SEV_ERROR, strWhy);
        return 0;
    }
    /* Windows reads / as \; the installer's own checks know only \. */
    if (use == TEXT_PATH || use == TEXT_DEST)
        std::replace(pstrText->begin(), pstrText->end(), '/', '\\');
    return 1;
}

int DefineText(Loader *pL, unsigned uId, const toml::node &node, const Origin &o, size_t cchRoom,
               TextUse use = TEXT_LINE)
{
    std::string str;
    if (!GetText(pL, node, o, cchRoom, &str, use)) {
        pL->setReported.insert(uId);
        pL->mapOrigins.emplace(uId, o);
        return 0;
    }
    return Define(pL, uId, str, o);
}

/* An overwrite rule: in a product file only the documented forms, since
   any other text still means something to the installer ("Ask" always
   overwrites), just not what it says.  The error replaces the lint's
   findings on the entry. */
void DefineRule(Loader *pL, unsigned uId, const toml::node &node, const Origin &o, size_t cchRoom, bool fItem)
{
    if (!DefineText(pL, uId, node, o, cchRoom, TEXT_SHOWN))
        return;
    const Manifest &m = pL->pProduct->manifest;
    Manifest::const_iterator it = m.find(uId);
    std::string strWhy = DescribeRuleForm(it == m.end() ? std::string() : it->second, fItem);
    if (strWhy.empty())
        return;
    Report(pL, o, SEV_ERROR, strWhy);
    pL->setReported.insert(uId);
}

/* An entry's text from a value of any plain kind: raw numbered entries may
   be written as they are read (64, true). */
int GetPlainText(Loader *pL, const toml::node &node, const Origin &o, std::string *pstrText)
{
    if (const toml::value<int64_t> *pInt = node.as_integer())
        *pstrText = std::to_string(pInt->get());
    else if (const toml::value<bool> *pBool = node.as_boolean())
        *pstrText = pBool->get() ? "TRUE" : "FALSE";
    else
        return GetText(pL, node, o, 0, pstrText, TEXT_RAW);
    return 1;
}

/* ---- Single entries ---------------------------------------------------- */

enum Kind { KIND_TEXT, KIND_COUNT, KIND_SWITCH };

struct SingleKey {
    const char *pszKey;
    unsigned uId;
    Kind kind;
    size_t cchRoom;
    TextUse use;
};

const std::vector<SingleKey> &InstallKeys()
{
    static const std::vector<SingleKey> v = {
        {"package", IDS_PACKAGE, KIND_TEXT, 0, TEXT_LINE}, /* the lint names the cut package name */
        {"destination", IDS_DEFAULT_DEST, KIND_TEXT, 0, TEXT_DEST},
        {"space_kb", IDS_SPACE_KB, KIND_COUNT, 0, TEXT_RAW},
        {"run_after", IDS_FOLLOWUP, KIND_TEXT, STRING_KEPT, TEXT_COMMAND},
        {"show_progress", IDS_SHOW_PROGRESS, KIND_SWITCH, 0, TEXT_RAW},
        {"show_completion", IDS_SHOW_DONE, KIND_SWITCH, 0, TEXT_RAW},
        {"completion_message", IDS_DONE_TEXT, KIND_TEXT, STRING_KEPT, TEXT_SHOWN},
        {"cancel_question", IDS_CANCEL_ASK, KIND_TEXT, STRING_KEPT, TEXT_SHOWN},
        {"warn_root", IDS_WARN_ROOT, KIND_SWITCH, 0, TEXT_RAW},
        {"warn_windows_dir", IDS_WARN_WINDIR, KIND_SWITCH, 0, TEXT_RAW},
        {"warn_system_dir", IDS_WARN_SYSDIR, KIND_SWITCH, 0, TEXT_RAW},
    };
    return v;
}

void DefineSingle(Loader *pL, const SingleKey &key, const toml::node &node, const Origin &o)
{
    if (key.kind == KIND_TEXT) {
        DefineText(pL, key.uId, node, o, key.cchRoom, key.use);
    } else if (key.kind == KIND_SWITCH) {
        if (const toml::value<bool> *pv = node.as_boolean())
            Define(pL, key.uId, pv->get() ? "TRUE" : "FALSE", o);
        else
            ReportType(pL, o, node, "true or false");
    } else {
        const toml::value<int64_t> *pv = node.as_integer();
        if (!pv)
            ReportType(pL, o, node, "a whole number such as 64");
        else if (pv->get() < 0 || pv->get() > INT32_MAX)
            Report(pL, o, SEV_ERROR, std::to_string(pv->get()) + " is outside 0 to 2147483647");
        else
            Define(pL, key.uId, std::to_string(pv->get()), o);
    }
}

/* A list: each element one entry of the family at uBase, then the count. */
void DefineList(Loader *pL, const toml::node &node, const Origin &o, unsigned uCount, unsigned uBase,
                unsigned uLimit, const char *pszWhat)
{
    const toml::array *pArr = node.as_array();
    if (!pArr) {
        ReportType(pL, o, node, "an array of strings");
        return;
    }
    if (pArr->size() > uLimit) {
        Report(pL, o, SEV_ERROR, std::to_string(pArr->size()) + " " + pszWhat + "; the installer has room for " +
                                     std::to_string(uLimit));
        return;
    }
    for (size_t i = 0; i < pArr->size(); i++)
        DefineText(pL, uBase + (unsigned)i, (*pArr)[i], MakeOrigin(o.strKey + "[" + std::to_string(i) + "]",
                                                                    (*pArr)[i].source()), STRING_KEPT, TEXT_PATH);
    if (!pArr->empty())
        Define(pL, uCount, std::to_string(pArr->size()), o);
}

/* ---- Tables ------------------------------------------------------------ */

/* Calls fn(key text, node, origin) for each key of a table, in the order
   of the file (the library keeps its keys sorted). */
template <typename Fn>
void ForEachKey(const toml::table &tbl, const std::string &strPrefix, Fn fn)
{
    std::vector<std::pair<const toml::key *, const toml::node *>> v;
    for (const auto &kv : tbl)
        v.push_back({&kv.first, &kv.second});
    std::sort(v.begin(), v.end(), [](const auto &a, const auto &b) {
        return std::make_pair(a.first->source().begin.line, a.first->source().begin.column) <
               std::make_pair(b.first->source().begin.line, b.first->source().begin.column);
    });
    for (const auto &kv : v) {
        std::string strKey(kv.first->str());
        fn(strKey, *kv.second, MakeOrigin(strPrefix + strKey, kv.first->source()));
    }
}

const toml::table *GetTable(Loader *pL, const toml::node &node, const Origin &o)
{
    const toml::table *p = node.as_table();
    if (!p)
        ReportType(pL, o, node, "a table");
    return p;
}

void LoadInstall(Loader *pL, const toml::table &tbl)
{
    ForEachKey(tbl, "install.", [pL](const std::string &strKey, const toml::node &node, const Origin &o) {
        if (strKey == "subdirectories") {
            DefineList(pL, node, o, IDS_SUBDIR_COUNT, IDS_SUBDIR, MAX_SUBDIRS, "subdirectories");
            return;
        }
        std::vector<const char *> vKnown = {"subdirectories"};
        for (const SingleKey &key : InstallKeys()) {
            if (strKey == key.pszKey)
                return DefineSingle(pL, key, node, o);
            vKnown.push_back(key.pszKey);
        }
        ReportUnknownKey(pL, o, vKnown);
    });
}

/* "1.2" -> 1, 2, 0, 0: one to four numbers, each at most 65535. */
int ParseVersion(const std::string &str, unsigned short awNumbers[4])
{
    size_t nParts = 0, nStart = 0;
    for (;;) {
        size_t nEnd = std::min(str.find('.', nStart), str.size());
        std::string strPart = str.substr(nStart, nEnd - nStart);
        if (nParts == 4 || strPart.empty() || strPart.size() > 5 ||
            strPart.find_first_not_of("0123456789") != std::string::npos || std::stoul(strPart) > MAX_VERSION_PART)
            return 0;
        awNumbers[nParts++] = (unsigned short)std::stoul(strPart);
        if (nEnd == str.size())
            return 1;
        nStart = nEnd + 1;
    }
}

void LoadProductTable(Loader *pL, const toml::table &tbl)
{
    ProductVersion *pVer = &pL->pProduct->version;
    ForEachKey(tbl, "product.", [pL, pVer](const std::string &strKey, const toml::node &node, const Origin &o) {
        std::string str;
        if (strKey == "description") {
            DefineText(pL, IDS_DESCRIPTION, node, o, STRING_KEPT, TEXT_SHOWN);
        } else if (strKey == "name" || strKey == "publisher") {
            if (GetText(pL, node, o, PATH_KEPT, &str))
                (strKey == "name" ? pVer->strName : pVer->strPublisher) = str;
        } else if (strKey == "version") {
            if (node.is_number()) {
                Report(pL, o, SEV_ERROR, "write the version as a string, such as version = \"1.0\"");
                return;
            }
            if (!GetText(pL, node, o, 0, &str))
                return;
            unsigned short aw[4] = {0, 0, 0, 0};
            if (!ParseVersion(str, aw)) {
                Report(pL, o, SEV_ERROR, Quote(str) + " is not a version: one to four numbers from 0 to 65535 "
                                                      "separated by dots, such as \"2.1\" or \"1.0.3.17\"");
                return;
            }
            pVer->strVersion = str;
            std::copy(aw, aw + 4, pVer->awNumbers);
        } else {
            ReportUnknownKey(pL, o, {"name", "version", "publisher", "description"});
        }
    });
}

/* ---- Items and INI changes --------------------------------------------- */

/* An item date: a TOML date (1998-09-09) or the manifest's eight digits. */
void DefineDate(Loader *pL, unsigned uId, const toml::node &node, const Origin &o)
{
    if (const toml::value<toml::date> *pv = node.as_date()) {
        const toml::date &d = pv->get();
        char sz[16];
        FormatCalendarDate(d.year, d.month, d.day, sz);
        Define(pL, uId, sz, o);
    } else if (node.is_string()) {
        DefineText(pL, uId, node, o, 0); /* the lint says what is wrong with it */
    } else {
        ReportType(pL, o, node, "a date such as 1998-09-09");
    }
}

/* Where an item's source file is: relative names from the product file's
   folder, written with / or \ (matched without regard to letter case, as
   the Windows builder would). */
void LoadSource(Loader *pL, const toml::node &node, const Origin &o, std::string *pstrPath)
{
    const toml::value<std::string> *pv = node.as_string();
    if (!pv) {
        ReportType(pL, o, node, "a string: the file's path, relative to the product file");
        return;
    }
    std::string strName = pv->get(), strWhy;
    fs::path dir = fs::path(pL->strFile).parent_path();
    bool fAbsolute = !strName.empty() && (strName[0] == '/' || strName[0] == '\\');
    std::string strJoined = fAbsolute || dir.empty() ? strName : (dir / strName).string();
    if (strName.empty() || !ResolveScriptName(strJoined, pstrPath, &strWhy) || MeasureItem(*pstrPath, &strWhy) == 0) {
        Report(pL, o, SEV_ERROR, strName.empty() ? "the source file is empty text: name the item's file"
                                                 : strWhy + "; fix the path (it is relative to the product file)");
        return;
    }
    if (strName.find('"') != std::string::npos)
        Report(pL, o, SEV_ERROR, "a package script cannot name a file with a double quote in it; rename it");
}

struct FieldKey {
    const char *pszKey;
    unsigned uBase; /* 0: not an entry */
    size_t cchRoom;
    bool fRequired;
    TextUse use;
};

/* One table of an array of tables ([[item]], [[ini]]): its keys by field,
   missing required ones reported at the table. */
template <typename Fn>
void LoadFields(Loader *pL, const toml::table &tbl, const Origin &oTable, const std::vector<FieldKey> &vFields,
                Fn fnSpecial)
{
    std::set<std::string> setSeen;
    ForEachKey(tbl, oTable.strKey + ".", [&](const std::string &strKey, const toml::node &node, const Origin &o) {
        for (const FieldKey &f : vFields) {
            if (strKey != f.pszKey)
                continue;
            setSeen.insert(strKey);
            if (!fnSpecial(f, node, o))
                DefineText(pL, f.uBase, node, o, f.cchRoom, f.use);
            return;
        }
        std::vector<const char *> vKnown;
        for (const FieldKey &f : vFields)
            vKnown.push_back(f.pszKey);
        ReportUnknownKey(pL, o, vKnown);
    });
    for (const FieldKey &f : vFields)
        if (f.fRequired && !setSeen.count(f.pszKey))
            Report(pL, oTable, SEV_ERROR, "has no " + Quote(f.pszKey) + " key");
}

/* The array of tables under the top-level key, or null (reported). */
const toml::array *GetTableArray(Loader *pL, const toml::node &node, const Origin &o, unsigned uLimit,
                                 const char *pszExample)
{
    const toml::array *pArr = node.as_array();
    if (!pArr || !pArr->is_array_of_tables()) {
        Report(pL, o, SEV_ERROR, std::string("expects tables, each under its own ") + pszExample + " line");
        return nullptr;
    }
    if (pArr->size() > uLimit) {
        Report(pL, o, SEV_ERROR, std::to_string(pArr->size()) + " of them; the installer has room for " +
                                     std::to_string(uLimit));
        return nullptr;
    }
    return pArr;
}

void LoadItems(Loader *pL, const toml::node &node, const Origin &o)
{
    const toml::array *pArr = GetTableArray(pL, node, o, MAX_ITEMS, "[[item]]");
    if (!pArr)
        return;
    Product *pP = pL->pProduct;
    pP->vItemSources.assign(pArr->size(), std::string());
    for (size_t i = 0; i < pArr->size(); i++) {
        const toml::node &elem = (*pArr)[i];
        unsigned u = (unsigned)i;
        Origin oItem = MakeOrigin("item[" + std::to_string(i) + "]", elem.source());
        static const std::vector<FieldKey> vFields = {
            {"source", 0, 0, true, TEXT_RAW},
            {"destination", IDS_ITEM_DEST, PATH_KEPT, true, TEXT_PATH},
            {"name", IDS_ITEM_NAME, PATH_KEPT, false, TEXT_LINE},
            {"date", IDS_ITEM_DATE, 0, false, TEXT_LINE},
            {"overwrite", IDS_ITEM_RULE, ITEM_RULE_KEPT, false, TEXT_SHOWN},
        };
        LoadFields(pL, *elem.as_table(), oItem, vFields,
                   [pL, pP, u](const FieldKey &f, const toml::node &n, const Origin &oKey) {
                       if (f.uBase == 0)
                           LoadSource(pL, n, oKey, &pP->vItemSources[u]);
                       else if (f.uBase == IDS_ITEM_DATE)
                           DefineDate(pL, IDS_ITEM_DATE + u, n, oKey);
                       else if (f.uBase == IDS_ITEM_RULE)
                           DefineRule(pL, IDS_ITEM_RULE + u, n, oKey, f.cchRoom, true);
                       else
                           DefineText(pL, f.uBase + u, n, oKey, f.cchRoom, f.use);
                       return true;
                   });
        /* Without a display name the progress dialog would show "Copying "
           and nothing: the installed file's name is what a user expects. */
        Manifest &m = pP->manifest;
        if (!pL->mapOrigins.count(IDS_ITEM_NAME + u) && m.count(IDS_ITEM_DEST + u))
            Define(pL, IDS_ITEM_NAME + u, DestFileName(m[IDS_ITEM_DEST + u]), pL->mapOrigins[IDS_ITEM_DEST + u]);
    }
    if (!pArr->empty())
        Define(pL, IDS_ITEM_COUNT, std::to_string(pArr->size()), o);
}

void LoadIni(Loader *pL, const toml::node &node, const Origin &o)
{
    const toml::array *pArr = GetTableArray(pL, node, o, MAX_INI_CHANGES, "[[ini]]");
    if (!pArr)
        return;
    for (size_t i = 0; i < pArr->size(); i++) {
        const toml::node &elem = (*pArr)[i];
        unsigned u = (unsigned)i;
        const std::vector<FieldKey> vFields = {
            {"file", IDS_INI_FILE + u, INI_TEXT_KEPT, true, TEXT_PATH},
            {"section", IDS_INI_SECTION + u, INI_TEXT_KEPT, true, TEXT_LINE},
            {"key", IDS_INI_KEY + u, INI_TEXT_KEPT, true, TEXT_LINE},
            {"value", IDS_INI_VALUE + u, INI_TEXT_KEPT, false, TEXT_LINE},
            {"overwrite", IDS_INI_RULE + u, INI_TEXT_KEPT, false, TEXT_SHOWN},
        };
        LoadFields(pL, *elem.as_table(), MakeOrigin("ini[" + std::to_string(i) + "]", elem.source()), vFields,
                   [pL, u](const FieldKey &f, const toml::node &n, const Origin &oKey) {
                       if (f.uBase != IDS_INI_RULE + u)
                           return false;
                       DefineRule(pL, f.uBase, n, oKey, f.cchRoom, false);
                       return true;
                   });
    }
    if (!pArr->empty())
        Define(pL, IDS_INI_COUNT, std::to_string(pArr->size()), o);
}

/* ---- Program group ----------------------------------------------------- */

/* A Program Manager command parameter, quoted by what it becomes once the
   installer expands it (a path with blanks, parentheses or commas), not by
   how it looks here. */
std::string DdeParam(const std::string &str)
{
    return DdeParamNeedsQuotes(str) ? "\"" + str + "\"" : str;
}

/* A group name, icon title or command as a command parameter: a double
   quote would end the quoted parameter early, and there is no escape for
   one.  A name or title with a macro is expanded like the command, which
   an author may not expect of a name. */
int CheckDdeParam(Loader *pL, const std::string &str, const Origin &o, bool fName)
{
    if (str.find('"') != std::string::npos) {
        Report(pL, o, SEV_ERROR, "holds a double quote, which a Program Manager command cannot pass; remove it");
        return 0;
    }
    if (fName && HoldsMacro(str))
        Report(pL, o, SEV_WARNING, "holds %D, %S or %W, which the installer expands here too: the shell "
                                   "gets the expanded text as the name");
    return 1;
}

struct DdeCommand {
    std::string strText;
    Origin origin;
};

void LoadIcon(Loader *pL, const toml::node &node, const Origin &oIcon, std::vector<DdeCommand> *pv)
{
    std::string strTitle, strCommand;
    Origin oCommand;
    bool fReplace = false, fBad = false;
    const toml::table *pTbl = node.as_table();
    static const std::vector<FieldKey> vFields = {
        {"title", 0, 0, true, TEXT_LINE}, {"command", 0, 0, true, TEXT_COMMAND}, {"replace", 0, 0, false, TEXT_RAW}};
    LoadFields(pL, *pTbl, oIcon, vFields, [&](const FieldKey &f, const toml::node &n, const Origin &o) {
        std::string strKey = f.pszKey;
        if (strKey == "replace" && n.as_boolean())
            fReplace = n.as_boolean()->get();
        else if (strKey == "replace")
            ReportType(pL, o, n, "true or false");
        else if (GetText(pL, n, o, 0, strKey == "title" ? &strTitle : &strCommand, f.use))
            fBad |= !CheckDdeParam(pL, strKey == "title" ? strTitle : strCommand, o, strKey == "title");
        else
            fBad = true;
        if (strKey == "command")
            oCommand = o;
        return true;
    });
    if (fBad)
        return; /* reported at its key: no command for a text that cannot be used */
    if (!strCommand.empty())
        pL->vCommands.push_back(CommandRef{strCommand, oCommand});
    /* The replacement goes in a command of its own: a Program Manager that
       does not know ReplaceItem (Wine's shell) refuses the whole command
       it stands in, and the icon would then never be added. */
    if (fReplace)
        pv->push_back(DdeCommand{"[ReplaceItem(" + DdeParam(strTitle) + ")]", oIcon});
    pv->push_back(DdeCommand{"[AddItem(" + DdeParam(strCommand) + "," + DdeParam(strTitle) + ")]", oIcon});
}

/* Icons need a group to go into: without a name (or a raw command that
   creates one) Program Manager adds them to whichever group is active on
   the user's machine. */
void WarnIconsWithoutGroup(Loader *pL, const std::vector<DdeCommand> &vGroup, const std::vector<DdeCommand> &vRaw,
                           const std::vector<DdeCommand> &vIcons)
{
    if (!vGroup.empty() || vIcons.empty())
        return;
    for (const DdeCommand &cmd : vRaw) {
        std::string strUpper = cmd.strText;
        for (char &c : strUpper)
            c = (char)toupper((unsigned char)c);
        if (strUpper.find("[CREATEGROUP(") != std::string::npos)
            return;
    }
    Report(pL, vIcons[0].origin, SEV_WARNING,
           "icons without a group: give program_group.name, or Program Manager puts them into whichever "
           "group is active on the user's machine");
}

/* The group's own command first, then the raw ones (which may create or
   select a group of their own), then one per icon (two when it replaces). */
void LoadProgramGroup(Loader *pL, const toml::table &tbl, const Origin &oGroup)
{
    std::vector<DdeCommand> vGroup, vRaw, vIcons;
    ForEachKey(tbl, "program_group.", [&](const std::string &strKey, const toml::node &node, const Origin &o) {
        std::string str;
        if (strKey == "name") {
            if (GetText(pL, node, o, 0, &str) && CheckDdeParam(pL, str, o, true))
                vGroup.push_back(DdeCommand{"[CreateGroup(" + DdeParam(str) + ")][ShowGroup(" + DdeParam(str) + ",1)]", o});
        } else if (strKey == "dde_service") {
            DefineText(pL, IDS_DDE_SERVICE, node, o, STRING_KEPT);
        } else if (strKey == "icon") {
            const toml::array *pArr = GetTableArray(pL, node, o, MAX_DDE_CMDS, "[[program_group.icon]]");
            for (size_t i = 0; pArr && i < pArr->size(); i++)
                LoadIcon(pL, (*pArr)[i], MakeOrigin("program_group.icon[" + std::to_string(i) + "]",
                                                    (*pArr)[i].source()), &vIcons);
        } else if (strKey == "commands") {
            const toml::array *pArr = node.as_array();
            if (!pArr)
                ReportType(pL, o, node, "an array of strings");
            for (size_t i = 0; pArr && i < pArr->size(); i++) {
                Origin oCmd = MakeOrigin(o.strKey + "[" + std::to_string(i) + "]", (*pArr)[i].source());
                if (GetText(pL, (*pArr)[i], oCmd, 0, &str))
                    vRaw.push_back(DdeCommand{str, oCmd});
            }
        } else {
            ReportUnknownKey(pL, o, {"name", "dde_service", "icon", "commands"});
        }
    });
    WarnIconsWithoutGroup(pL, vGroup, vRaw, vIcons);
    std::vector<DdeCommand> v(vGroup);
    v.insert(v.end(), vRaw.begin(), vRaw.end());
    v.insert(v.end(), vIcons.begin(), vIcons.end());
    if (v.size() > MAX_DDE_CMDS) {
        Report(pL, oGroup, SEV_ERROR, std::to_string(v.size()) + " commands; the installer has room for " +
                                          std::to_string(MAX_DDE_CMDS));
        return;
    }
    for (size_t i = 0; i < v.size(); i++) {
        if (v[i].strText.size() > STRING_KEPT)
            Report(pL, v[i].origin, SEV_ERROR, "the command has " + std::to_string(v[i].strText.size()) +
                                                   " characters; the installer reads only the first " +
                                                   std::to_string((int)STRING_KEPT));
        Define(pL, IDS_DDE_CMD + (unsigned)i, v[i].strText, v[i].origin);
    }
    if (!v.empty())
        Define(pL, IDS_DDE_COUNT, std::to_string(v.size()), oGroup);
}

/* ---- Numbered entries -------------------------------------------------- */

const std::set<unsigned> &MessageIds()
{
    static const std::set<unsigned> set = {
        MSG_BUILD_FAILED, IDS_CANCEL_ASK, IDS_DONE_TEXT, MSG_MISSING, MSG_BAD_PATH, MSG_SUBDIR,
        MSG_DDE_CONNECT, MSG_DDE_INIT, MSG_NO_MEMORY, MSG_BAD_PACKAGE, MSG_FILE_OTHER, MSG_FILE_TOOMANY,
        MSG_FILE_DENIED, MSG_BAD_DRIVE, MSG_FILE_WPROTECT, MSG_FILE_SHARING, MSG_FILE_LOCKING,
        MSG_FILE_NETWORK, MSG_WRITE_SHORT};
    return set;
}

/* [messages] (message IDs only) and [entries] (any ID): keys are numbers. */
void LoadNumbered(Loader *pL, const toml::table &tbl, const char *pszTable, bool fMessages)
{
    ForEachKey(tbl, std::string(pszTable) + ".",
               [pL, fMessages](const std::string &strKey, const toml::node &node, const Origin &o) {
        unsigned long ul = 0;
        bool fNumber = !strKey.empty() && strKey.size() <= 5 && strKey.find_first_not_of("0123456789") == std::string::npos;
        if (fNumber)
            ul = std::stoul(strKey);
        std::string str;
        if (!fNumber || ul > 65535)
            Report(pL, o, SEV_ERROR, "the key must be an entry ID from 0 to 65535");
        else if (fMessages && !MessageIds().count((unsigned)ul))
            Report(pL, o, SEV_ERROR, strKey + " is not a message ID (0, 112, 150, 300, 302-307, 400-408); "
                                              "other entries go under [entries]");
        else if (fMessages)
            DefineText(pL, (unsigned)ul, node, o, STRING_KEPT, TEXT_SHOWN);
        else if (GetPlainText(pL, node, o, &str))
            Define(pL, (unsigned)ul, str, o);
    });
}

/* ---- The whole file ---------------------------------------------------- */

void LoadTop(Loader *pL, const toml::table &top)
{
    ForEachKey(top, "", [pL](const std::string &strKey, const toml::node &node, const Origin &o) {
        const toml::table *pTbl = nullptr;
        if (strKey == "item")
            LoadItems(pL, node, o);
        else if (strKey == "ini")
            LoadIni(pL, node, o);
        else if (strKey == "product" || strKey == "install" || strKey == "program_group" ||
                 strKey == "messages" || strKey == "entries")
            pTbl = GetTable(pL, node, o);
        else
            ReportUnknownKey(pL, o, {"product", "install", "program_group", "item", "ini", "messages", "entries"});
        if (!pTbl)
            return;
        if (strKey == "product")
            LoadProductTable(pL, *pTbl);
        else if (strKey == "install")
            LoadInstall(pL, *pTbl);
        else if (strKey == "program_group")
            LoadProgramGroup(pL, *pTbl, o);
        else
            LoadNumbered(pL, *pTbl, strKey.c_str(), strKey == "messages");
    });
}

/* A package name the installer can open beside itself: a plain file name. */
void CheckPackageFileName(Loader *pL)
{
    std::string str = pL->pProduct->manifest[IDS_PACKAGE];
    pL->pProduct->strPackageName = str;
    if (pL->setReported.count(IDS_PACKAGE))
        return;
    Origin o = pL->mapOrigins.count(IDS_PACKAGE) ? pL->mapOrigins[IDS_PACKAGE] : Origin();
    std::string strWhy;
    if (str.empty())
        strWhy = "no package file name: give install.package, such as \"PRODUCT.PKG\"";
    else if (CheckWindowsName(str.c_str(), str.size(), NAME_CONTROL | NAME_REFUSED, nullptr) != NAME_OK)
        strWhy = Quote(str) + " is not a plain file name: the installer looks for the package beside itself";
    else if (CheckWindowsName(str.c_str(), str.size(), PATH_FAULTS_WRITTEN & ~NAME_MACRO, nullptr) != NAME_OK)
        strWhy = Quote(str) + " names no file Windows can open; choose a name such as \"PRODUCT.PKG\"";
    if (strWhy.empty())
        return;
    if (o.strKey.empty())
        o.strKey = "install.package";
    Report(pL, o, SEV_ERROR, strWhy);
    pL->setReported.insert(IDS_PACKAGE);
}

/* ---- Mistakes of meaning ----------------------------------------------- */

Origin OriginOf(Loader *pL, unsigned uId, const char *pszKey)
{
    std::map<unsigned, Origin>::const_iterator it = pL->mapOrigins.find(uId);
    if (it != pL->mapOrigins.end())
        return it->second;
    Origin o;
    o.strKey = pszKey;
    return o;
}

std::string UpperBackslashed(std::string str)
{
    for (char &c : str)
        c = c == '/' ? '\\' : (char)toupper((unsigned char)c);
    return str;
}

/* The files a command names below the destination: every %D path, up to
   the closing quote when the path is quoted, else up to the next blank. */
std::vector<std::string> NamedDestinationFiles(const std::string &strCommand)
{
    std::vector<std::string> v;
    for (size_t i = strCommand.find("%D"); i != std::string::npos; i = strCommand.find("%D", i + 2)) {
        bool fQuoted = i > 0 && strCommand[i - 1] == '"';
        size_t nEnd = strCommand.find(fQuoted ? '"' : ' ', i + 2);
        v.push_back(strCommand.substr(i + 2, nEnd == std::string::npos ? std::string::npos : nEnd - i - 2));
    }
    return v;
}

/* A command that starts or opens a file under the destination which no
   item installs finds nothing there on the user's machine.  A folder (a
   created subdirectory, or a path ending in a separator) is no file. */
void WarnCommandsNamingNoItem(Loader *pL)
{
    const Manifest &m = pL->pProduct->manifest;
    std::set<std::string> setInstalled;
    for (const auto &entry : m) {
        bool fItem = entry.first >= IDS_ITEM_DEST && entry.first < IDS_ITEM_DEST + MAX_ITEMS;
        bool fSubdir = entry.first >= IDS_SUBDIR && entry.first < IDS_SUBDIR + MAX_SUBDIRS;
        if (fItem && entry.second.compare(0, 2, "%D") == 0)
            setInstalled.insert(UpperBackslashed(entry.second.substr(2)));
        else if (fSubdir)
            setInstalled.insert(UpperBackslashed(entry.second));
    }
    std::vector<CommandRef> v;
    if (m.count(IDS_FOLLOWUP))
        v.push_back(CommandRef{m.at(IDS_FOLLOWUP), OriginOf(pL, IDS_FOLLOWUP, "install.run_after")});
    v.insert(v.end(), pL->vCommands.begin(), pL->vCommands.end());
    for (const CommandRef &cmd : v)
        for (const std::string &strFile : NamedDestinationFiles(cmd.strText)) {
            std::string strKey = UpperBackslashed(strFile);
            if (strKey.empty() || strKey.back() == '\\' || setInstalled.count(strKey))
                continue;
            Report(pL, cmd.origin, SEV_WARNING, "names " + Quote("%D" + strFile) + ", which no item installs: "
                                                "the command finds no such file after the install");
        }
}

/* Keys that say something only together with another one, and what every
   product needs: its name and a destination for the dialog to offer. */
void CheckMeaning(Loader *pL, const toml::table &top)
{
    const Manifest &m = pL->pProduct->manifest;
    if (!top.contains("product"))
        Report(pL, Origin(), SEV_ERROR,
               "the product file has no [product] table: give the product's name and version there "
               "(the installer's file properties show them)");
    if (!m.count(IDS_DEFAULT_DEST) && !pL->setReported.count(IDS_DEFAULT_DEST)) {
        Report(pL, OriginOf(pL, IDS_DEFAULT_DEST, "install.destination"), SEV_ERROR,
               "no destination: the installer would offer an empty folder field; give one such as "
               "destination = 'C:\\APP'");
        pL->setReported.insert(IDS_DEFAULT_DEST);
    }
    std::map<unsigned, std::string>::const_iterator itShow = m.find(IDS_SHOW_DONE);
    if (m.count(IDS_DONE_TEXT) && (itShow == m.end() || !EqualNoCase(itShow->second.c_str(), "TRUE")))
        Report(pL, OriginOf(pL, IDS_DONE_TEXT, "install.completion_message"), SEV_WARNING,
               "the completion message shows only with show_completion = true, which this product does not "
               "set: the installer never shows it");
    WarnCommandsNamingNoItem(pL);
}

/* The lint's findings at the line of the key that defined their entry. */
void Lint(Loader *pL)
{
    std::vector<Finding> v;
    LintManifest(pL->pProduct->manifest, nullptr, &v);
    SortFindings(&v);
    for (const Finding &f : v) {
        if (pL->setReported.count(f.uId))
            continue;
        std::map<unsigned, Origin>::const_iterator it = pL->mapOrigins.find(f.uId);
        Origin o = it != pL->mapOrigins.end() ? it->second : Origin();
        if (o.strKey.empty())
            o.strKey = "entry " + std::to_string(f.uId);
        Report(pL, o, f.severity, f.strMessage + " (entry " + std::to_string(f.uId) + ")");
    }
}

int ParseFile(Loader *pL, toml::table *pTop)
{
    std::string strText, strError;
    if (!ReadWholeFile(pL->strFile, &strText, &strError)) {
        std::string strWhy = strError.compare(0, pL->strFile.size() + 2, pL->strFile + ": ") == 0
                                 ? strError.substr(pL->strFile.size() + 2) : strError;
        Report(pL, Origin(), SEV_ERROR, strWhy + "; name the product's TOML file");
        return 0;
    }
    size_t nBad = FindBadUtf8(strText);
    if (nBad != std::string::npos) {
        size_t nLineStart = strText.rfind('\n', nBad == 0 ? 0 : nBad - 1);
        nLineStart = (nLineStart == std::string::npos || nBad == 0) ? 0 : nLineStart + 1;
        Origin o;
        o.nLine = 1 + (size_t)std::count(strText.begin(), strText.begin() + (std::ptrdiff_t)nBad, '\n');
        o.nColumn = nBad - nLineStart + 1;
        char sz[8];
        snprintf(sz, sizeof sz, "0x%02X", (unsigned char)strText[nBad]);
        Report(pL, o, SEV_ERROR, std::string("the product file is not UTF-8 (byte ") + sz +
                                     "): save it as UTF-8 text");
        return 0;
    }
    try {
        *pTop = toml::parse(strText, pL->strFile);
    } catch (const toml::parse_error &e) {
        Origin o;
        o.nLine = e.source().begin.line;
        o.nColumn = e.source().begin.column;
        Report(pL, o, SEV_ERROR, "not valid TOML: " + std::string(e.description()));
        return 0;
    }
    return 1;
}

} // namespace

int LoadProduct(const std::string &strFile, Product *pProduct, std::vector<std::string> *pvMessages,
                int *pnWarnings)
{
    *pProduct = Product();
    pProduct->strFile = strFile;
    Loader loader;
    loader.strFile = strFile;
    loader.pProduct = pProduct;
    toml::table top;
    if (ParseFile(&loader, &top)) {
        LoadTop(&loader, top);
        CheckPackageFileName(&loader);
        CheckMeaning(&loader, top);
        Lint(&loader);
    }
    std::stable_sort(loader.vMessages.begin(), loader.vMessages.end(), [](const Message &a, const Message &b) {
        return std::make_pair(a.nLine, a.nColumn) < std::make_pair(b.nLine, b.nColumn);
    });
    for (const Message &msg : loader.vMessages)
        pvMessages->push_back(msg.strText);
    if (pnWarnings)
        *pnWarnings = loader.nWarnings;
    return loader.nErrors == 0;
}

namespace {

/* A text as a string literal of a resource script: the bytes of code page
   1252 kept as octal escapes, so the script reads the same under any code
   page the resource compiler assumes. */
std::string RcString(const std::string &str)
{
    std::string strOut = "\"";
    for (unsigned char c : str) {
        char sz[8];
        if (c == '"')
            strOut += "\"\"";
        else if (c == '\\')
            strOut += "\\\\";
        else if (c == '\n')
            strOut += "\\n";
        else if (c < 32 || c >= 127) {
            snprintf(sz, sizeof sz, "\\%03o", c);
            strOut += sz;
        } else
            strOut += (char)c;
    }
    return strOut + "\"";
}

/* The version resource as the resource compiler writes it from a
   VERSIONINFO statement: the same fixed fields, then one string table
   and the translation naming it. */
std::string VersionRc(const VersionInfo &info)
{
    char sz[512];
    unsigned aw[4] = {info.dwVersionMs >> 16, info.dwVersionMs & 0xffff, info.dwVersionLs >> 16,
                      info.dwVersionLs & 0xffff};
    snprintf(sz, sizeof sz,
             "LANGUAGE 0x%x, 0x%x\n1 VERSIONINFO\nFILEVERSION %u, %u, %u, %u\nPRODUCTVERSION %u, %u, %u, %u\n"
             "FILEFLAGSMASK 0x%x\nFILEFLAGS 0x%x\nFILEOS 0x%x\nFILETYPE 0x%x\nFILESUBTYPE 0x%x\n"
             "BEGIN\n    BLOCK \"StringFileInfo\"\n    BEGIN\n        BLOCK %s\n        BEGIN\n",
             info.wLang & 0x3ff, info.wLang >> 10, aw[0], aw[1], aw[2], aw[3], aw[0], aw[1], aw[2], aw[3],
             (unsigned)info.dwFlagsMask, (unsigned)info.dwFlags, (unsigned)info.dwOs, (unsigned)info.dwType,
             (unsigned)info.dwSubtype, RcString(info.strTableKey).c_str());
    std::string str = sz;
    for (const auto &text : info.vTexts)
        str += "            VALUE " + RcString(text.first) + ", " + RcString(text.second) + "\n";
    snprintf(sz, sizeof sz,
             "        END\n    END\n    BLOCK \"VarFileInfo\"\n    BEGIN\n"
             "        VALUE \"Translation\", 0x%x, %u\n    END\nEND\n",
             info.wLang, info.wCodePage);
    return str + sz;
}

} // namespace

VersionInfo DescribeVersion(const ProductVersion &version)
{
    VersionInfo info;
    /* US English in the western code page: the language the manifest's
       string table has, and the code page its texts are in. */
    info.wLang = 0x409;
    info.wCodePage = 1252;
    char szKey[16];
    snprintf(szKey, sizeof szKey, "%04X%04X", info.wLang, info.wCodePage);
    info.strTableKey = szKey;
    info.dwVersionMs = ((uint32_t)version.awNumbers[0] << 16) | version.awNumbers[1];
    info.dwVersionLs = ((uint32_t)version.awNumbers[2] << 16) | version.awNumbers[3];
    info.dwFlagsMask = 0x3f; /* every flag defined, none set: a release build */
    info.dwOs = 0x4;         /* VOS__WINDOWS32 */
    info.dwType = 0x1;       /* VFT_APP */
    /* All four numbers, as Windows shows a file version. */
    std::string strDotted;
    for (int i = 0; i < 4; i++)
        strDotted += (i ? "." : "") + std::to_string(version.awNumbers[i]);
    const std::pair<std::string, std::string> aTexts[] = {
        {"CompanyName", version.strPublisher},
        {"FileDescription", version.strName.empty() ? std::string() : version.strName + " Setup"},
        {"FileVersion", strDotted},
        {"ProductName", version.strName},
        {"ProductVersion", strDotted},
    };
    for (const auto &text : aTexts)
        if (!text.second.empty())
            info.vTexts.push_back(text);
    return info;
}

std::string FormatManifestRc(const Product &product)
{
    std::string str = "/* The manifest of " + fs::path(product.strFile).filename().string() +
                      ", written by quarnel-kit manifest: edit the product file, not this. */\n"
                      "#pragma code_page(1252)\n\nSTRINGTABLE\nBEGIN\n";
    for (const auto &entry : product.manifest)
        str += "    " + std::to_string(entry.first) + ", " + RcString(entry.second) + "\n";
    return str + "END\n\n" + VersionRc(DescribeVersion(product.version));
}

int FormatPackageScript(const Product &product, const std::string &strScript, std::string *pstrText,
                        std::string *pstrError)
{
    std::error_code ec;
    fs::path dir = fs::absolute(strScript, ec).parent_path();
    std::string str = "Package script of " + fs::path(product.strFile).filename().string() +
                      ", written by quarnel-kit script: edit the product file, not this.  The names\n"
                      "resolve against the current directory when the package is built.\n\n*###\nPACKAGE# \"" +
                      product.strPackageName + "\"\n";
    for (const std::string &strSource : product.vItemSources) {
        fs::path abs = fs::absolute(strSource, ec);
        fs::path rel = ec ? fs::path() : abs.lexically_relative(dir);
        std::string strName = (rel.empty() ? abs : rel).generic_string();
        std::replace(strName.begin(), strName.end(), '/', '\\');
        if (strName.size() > PATH_KEPT) {
            *pstrError = strSource + ": the path has " + std::to_string(strName.size()) +
                         " characters from the script's folder; the builder takes at most " +
                         std::to_string((int)PATH_KEPT);
            return 0;
        }
        str += "ITEM# \"" + strName + "\"\n";
    }
    *pstrText = str;
    return 1;
}
