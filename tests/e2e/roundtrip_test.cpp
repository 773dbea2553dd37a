/* roundtrip_test.cpp - products made up from a seed, each built by
 * quarnel-kit into this tree's stub, installed through the installer's own
 * windows, and read back: every file's bytes and date, every INI value and
 * every shortcut must be what the product file says.  A failure prints the
 * seed and the product file.  QUARNEL_ROUNDTRIP_SEED=N replays one product;
 * QUARNEL_ROUNDTRIP_COUNT=N runs N products (from that seed, or from the
 * day's) instead of one or the day's twenty. */
#include <gtest/gtest.h>

#include <stdint.h>
#include <stdlib.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "e2e_session.h"
#include "fixed.h"
#include "resource.h"

namespace {

/* ---- Dice -------------------------------------------------------------- */

/* A small generator of its own (splitmix64), so that one seed makes the
   same product with every compiler and runtime. */
class Dice {
public:
    explicit Dice(uint64_t uSeed) : m_u(uSeed) {}
    uint64_t Next()
    {
        uint64_t z = (m_u += 0x9e3779b97f4a7c15ull);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
        return z ^ (z >> 31);
    }
    int Below(int n) { return n <= 1 ? 0 : (int)(Next() % (uint64_t)n); }
    int Between(int nLow, int nHigh) { return nLow + Below(nHigh - nLow + 1); }
    bool Chance(int nPercent) { return Below(100) < nPercent; }
    char From(const std::string &set) { return set[(size_t)Below((int)set.size())]; }

private:
    uint64_t m_u;
};

/* Every twentieth seed makes a product with the largest counts the
   installer has room for; a day's run ends with such a seed.  Last,
   because Wine's shell may be gone after it has made and shown a group
   of that many shortcuts, and every later group would then fail. */
const uint64_t LARGEST_EVERY = 20;
const uint64_t LARGEST_AT = LARGEST_EVERY - 1;
const int RUN_COUNT = 20;

/* Letters of code page 1252 beyond ASCII: e acute, u and a umlaut, o
   umlaut, sharp s, n tilde, c cedilla, A ring, o slash, ae, E acute. */
const char sz1252[] = "\xe9\xfc\xc4\xf6\xdf\xf1\xe7\xc5\xf8\xe6\xc9";

/* ---- The product ------------------------------------------------------- */

struct RtDate {
    int nYear, nMonth, nDay;
    std::string Digits() const
    {
        char sz[16];
        wsprintfA(sz, "%04d%02d%02d", nYear, nMonth, nDay);
        return sz;
    }
};

struct RtItem {
    std::string rel;        /* below the destination */
    std::string name;       /* display name; empty: none given */
    std::string date;       /* eight digits; empty: none given */
    bool fTomlDate = false; /* written as a TOML date rather than digits */
    std::string rule;       /* empty: none given */
    std::string bytes;
    bool fOld = false;      /* a file is there before the install */
    std::string oldBytes, oldDate;
    bool fYes = false;      /* the answer when asked */
};

struct RtIni {
    std::string file;       /* below the destination */
    std::string section, key, value, rule;
    bool fOld = false;      /* the key has a value before the install */
    std::string oldValue;
    bool fYes = false;
};

struct RtIcon {
    std::string title, rel;
};

struct RtProduct {
    uint64_t uSeed = 0;
    std::string dest;                  /* no trailing backslash */
    std::vector<std::string> made;     /* folders there before the install */
    bool fUpdate = false;              /* the whole tree is there, with old files and values */
    bool fProgress = true;
    std::string done;
    std::vector<std::string> subdirs;
    std::vector<RtItem> items;
    std::vector<RtIni> inis;
    std::string group;
    std::vector<RtIcon> icons;
};

/* ---- The generator ----------------------------------------------------- */

class Generator {
public:
    Generator(uint64_t uSeed, bool f1252) : m_uSeed(uSeed), m_dice(uSeed), m_f1252(f1252) {}
    RtProduct Make(const std::string &base);

private:
    std::string Letters() const
    {
        return std::string("ABCDEFGHKLMNPRSTUVWXYZabcdefghkmnprstuvwxyz") + (m_f1252 ? sz1252 : "");
    }
    /* The installer hands folder names to the system in the OEM code page
       and refuses one that does not convert exactly: a folder name holds
       only the letters that do. */
    std::string FolderLetters() const
    {
        std::string s;
        for (char c : Letters()) {
            WCHAR w = 0;
            char cOem = 0, cBack = 0;
            BOOL fLost = FALSE;
            if (MultiByteToWideChar(CP_ACP, 0, &c, 1, &w, 1) == 1 &&
                WideCharToMultiByte(CP_OEMCP, 0, &w, 1, &cOem, 1, NULL, &fLost) == 1 && !fLost &&
                MultiByteToWideChar(CP_OEMCP, 0, &cOem, 1, &w, 1) == 1 &&
                WideCharToMultiByte(CP_ACP, 0, &w, 1, &cBack, 1, NULL, NULL) == 1 && cBack == c)
                s += c;
        }
        return s;
    }
    std::string Word(int nMin, int nMax, bool fFolder = false);
    std::string NewFolderName(int nIndex);
    std::string OldFolderName(int nIndex);
    std::string Text(int nIndex);
    std::string FileName(int nIndex, size_t cchExact = 0);
    RtDate Date();
    std::string Bytes(int cbMax);
    void MakeDestination(RtProduct *p, const std::string &base);
    void MakeSubdirs(RtProduct *p, int n);
    void MakeItems(RtProduct *p, int n);
    std::string ItemRule(RtItem *pItem);
    void MakeInis(RtProduct *p, int n);
    void MakeGroup(RtProduct *p, int n);

    uint64_t m_uSeed;
    Dice m_dice;
    bool m_f1252;
};

std::string Generator::Word(int nMin, int nMax, bool fFolder)
{
    std::string s, letters = fFolder ? FolderLetters() : Letters();
    for (int n = m_dice.Between(nMin, nMax); n > 0; n--)
        s += m_dice.From(letters);
    return s;
}

/* A folder the installer creates: the names it accepts hold no blank and
   at most one full stop; the index keeps names apart, and a word of four
   letters or more in front of it keeps clear of the device names. */
std::string Generator::NewFolderName(int nIndex)
{
    /* w: a word, i: the index */
    static const char *const apszForms[] = {"wi", "w(i)", "w,i", "w_i-w", "wi.w", "w+i(w)"};
    std::string form = apszForms[m_dice.Below(6)], s;
    for (char c : form)
        s += c == 'w' ? Word(4, 7, true) : c == 'i' ? std::to_string(nIndex) : std::string(1, c);
    return s;
}

/* A folder that is there before the install: blanks, brackets and commas
   as people and other programs name them. */
std::string Generator::OldFolderName(int nIndex)
{
    static const char *const apszForms[] = {"Program Files (x86)%i", "%w %w (%i)", "%w, %w %i", "%w [%i] %w",
                                            "%w%i %w"};
    std::string form = apszForms[m_dice.Below(5)], s;
    for (size_t k = 0; k < form.size(); k++) {
        if (form[k] == '%' && form[k + 1] == 'w')
            s += Word(4, 6, true);
        else if (form[k] == '%' && form[k + 1] == 'i')
            s += std::to_string(nIndex);
        else
            s += form[k];
        k += form[k] == '%';
    }
    return s;
}

/* A display text: words, blanks, commas and parentheses. */
std::string Generator::Text(int nIndex)
{
    static const char *const apszJoin[] = {" ", ", ", " (", ") ", " - "};
    std::string s = Word(3, 6) + std::to_string(nIndex);
    for (int n = m_dice.Between(0, 3); n > 0; n--)
        s += apszJoin[m_dice.Below(5)] + Word(2, 6);
    if (std::count(s.begin(), s.end(), '(') > std::count(s.begin(), s.end(), ')'))
        s += ")";
    return s;
}

/* An item's file name; with cchExact, exactly that many characters. */
std::string Generator::FileName(int nIndex, size_t cchExact)
{
    /* No ".exe": the bytes are no program, and a shortcut to a program
       makes Wine's shell read its icons out of it. */
    static const char *const apszExt[] = {".TXT", ".DAT", ".hlp", ".ini", ".B,1"};
    std::string ext = apszExt[m_dice.Below(5)];
    std::string stem = Word(4, 6) + std::to_string(nIndex);
    if (cchExact) {
        while (stem.size() + ext.size() < cchExact)
            stem += m_dice.Chance(15) ? ' ' : m_dice.From(Letters());
        stem.resize(cchExact - ext.size());
        return stem + ext;
    }
    static const char *const apszJoin[] = {" ", " (", ", ", " [", "-"};
    static const char *const apszClose[] = {"", ")", "", "]", ""};
    int k = m_dice.Below(5);
    if (m_dice.Chance(70))
        stem += apszJoin[k] + Word(2, 5) + apszClose[k];
    return stem + ext;
}

RtDate Generator::Date()
{
    return RtDate{m_dice.Between(ITEM_YEAR_FIRST, ITEM_YEAR_LAST), m_dice.Between(1, 12), m_dice.Between(1, 28)};
}

std::string Generator::Bytes(int cbMax)
{
    std::string s((size_t)m_dice.Between(1, cbMax), '\0');
    for (char &c : s)
        c = (char)m_dice.Below(256);
    return s;
}

/* Existing levels with blanks and brackets, then levels the installer
   makes; an update product has every level already. */
void Generator::MakeDestination(RtProduct *p, const std::string &base)
{
    std::string dest = base.substr(0, base.size() - 1);
    p->made.push_back(dest);
    for (int n = m_dice.Between(0, 2), k = 0; k < n && dest.size() < 110; k++)
        p->made.push_back(dest += "\\" + OldFolderName(k));
    for (int n = p->fUpdate ? 0 : m_dice.Between(0, 3), k = 0; k < n && dest.size() < 130; k++)
        dest += "\\" + NewFolderName(k);
    p->dest = dest;
}

/* Chains of subdirectories, each listed after its parent. */
void Generator::MakeSubdirs(RtProduct *p, int n)
{
    for (int i = 0; i < n; i++) {
        std::string name = NewFolderName(i), sub = name;
        if (!p->subdirs.empty() && m_dice.Chance(70)) {
            const std::string &parent = m_dice.Chance(60) ? p->subdirs.back()
                                                          : p->subdirs[(size_t)m_dice.Below((int)p->subdirs.size())];
            sub = parent + "\\" + name;
        }
        /* Room is left for a file name of a dozen characters. */
        if (p->dest.size() + 1 + sub.size() + 13 > PATH_KEPT)
            sub = name;
        p->subdirs.push_back(sub);
    }
}

std::string Generator::ItemRule(RtItem *pItem)
{
    static const char *const apszAsk[] = {"Replace %s?", "%s exists (newer?), replace it?",
                                          "Overwrite %s, keep going?"};
    std::string ask = apszAsk[m_dice.Below(3)];
    RtDate old = Date();
    pItem->oldDate = old.Digits();
    RtDate at = old;
    /* The rule's date before, on or after the old file's: on the day
       itself the file counts as not later, so it is overwritten. */
    int nWhere = m_dice.Below(3);
    at.nYear = std::min<int>(ITEM_YEAR_LAST, std::max<int>(ITEM_YEAR_FIRST, at.nYear + (nWhere - 1) * m_dice.Between(1, 4)));
    if (nWhere == 0 && at.nYear == old.nYear)
        at.nDay = old.nDay > 1 ? old.nDay - 1 : old.nDay;
    switch (m_dice.Below(6)) {
    case 0: return "";
    case 1: return "A";
    case 2: return "N";
    case 3: return "O" + at.Digits();
    case 4: return "O" + at.Digits() + "P" + ask;
    default: return "P" + ask;
    }
}

void Generator::MakeItems(RtProduct *p, int n)
{
    for (int i = 0; i < n; i++) {
        RtItem it;
        std::string dir = p->subdirs.empty() || m_dice.Chance(25)
                              ? std::string()
                              : p->subdirs[(size_t)m_dice.Below((int)p->subdirs.size())];
        std::string prefix = p->dest + "\\" + (dir.empty() ? "" : dir + "\\");
        /* The first item reaches the longest path the installer keeps. */
        size_t cchRoom = PATH_KEPT - prefix.size();
        std::string leaf = FileName(i, i == 0 && cchRoom >= 12 && cchRoom <= 100 ? cchRoom : 0);
        if (prefix.size() + leaf.size() > PATH_KEPT)
            leaf = "F" + std::to_string(i) + ".BIN";
        it.rel = (dir.empty() ? "" : dir + "\\") + leaf;
        if (m_dice.Chance(70))
            it.name = Text(i);
        if (m_dice.Chance(85)) {
            it.date = Date().Digits();
            it.fTomlDate = m_dice.Chance(50);
        }
        it.rule = ItemRule(&it);
        it.bytes = Bytes(m_dice.Chance(3) ? 70000 : 3000);
        it.fOld = p->fUpdate && m_dice.Chance(60);
        it.oldBytes = "old " + Bytes(200);
        it.fYes = m_dice.Chance(50);
        p->items.push_back(it);
    }
}

void Generator::MakeInis(RtProduct *p, int n)
{
    std::vector<std::string> files, sections;
    for (int k = m_dice.Between(1, 3); k > 0; k--) {
        std::string dir = p->subdirs.empty() || m_dice.Chance(50) ? std::string() : p->subdirs.front() + "\\";
        files.push_back(dir + Word(4, 6) + std::to_string(k) + (m_dice.Chance(50) ? " (set).INI" : ",1.ini"));
        sections.push_back(Text(k));
    }
    static const char *const apszAsk[] = {"Replace %s with %s?", "Key holds %s; write %s (yes)?"};
    for (int i = 0; i < n; i++) {
        RtIni c;
        c.file = files[(size_t)m_dice.Below((int)files.size())];
        c.section = sections[(size_t)m_dice.Below((int)sections.size())];
        c.key = Word(3, 5) + std::to_string(i) + (m_dice.Chance(50) ? " " + Word(2, 4) : "");
        c.value = Text(i);
        if (m_dice.Chance(25) && !p->items.empty())
            c.value = "%D" + p->items[(size_t)m_dice.Below((int)p->items.size())].rel;
        else if (m_dice.Chance(10))
            c.value += ", %WNOTEPAD.EXE";
        static const char *const apszRule[] = {"", "A", "N", "P"};
        c.rule = apszRule[m_dice.Below(4)];
        if (c.rule == "P")
            c.rule += apszAsk[m_dice.Below(2)];
        c.fOld = p->fUpdate && m_dice.Chance(60);
        c.oldValue = m_dice.Chance(20) ? std::string() : Text(i);
        c.fYes = m_dice.Chance(50);
        p->inis.push_back(c);
    }
}

void Generator::MakeGroup(RtProduct *p, int n)
{
    p->group = OldFolderName((int)(p->uSeed % 1000)) + " " + Word(3, 5);
    /* An icon's command is a command line: its program is the text up to
       the first blank, so an icon starts only an item whose path below the
       destination holds none. */
    std::vector<std::string> targets;
    for (const RtItem &it : p->items)
        if (it.rel.find(' ') == std::string::npos)
            targets.push_back(it.rel);
    for (int i = 0; i < n && !targets.empty(); i++)
        p->icons.push_back(RtIcon{Text(i), targets[(size_t)m_dice.Below((int)targets.size())]});
}

RtProduct Generator::Make(const std::string &base)
{
    RtProduct p;
    p.uSeed = m_uSeed;
    bool fLargest = m_uSeed % LARGEST_EVERY == LARGEST_AT;
    p.fUpdate = m_dice.Chance(40);
    p.fProgress = m_dice.Chance(70);
    MakeDestination(&p, base);
    MakeSubdirs(&p, fLargest ? MAX_SUBDIRS : m_dice.Between(0, 12));
    MakeItems(&p, fLargest ? MAX_ITEMS : m_dice.Between(1, 25));
    MakeInis(&p, fLargest ? MAX_INI_CHANGES : m_dice.Between(0, 8));
    /* The group's own command takes one of the DDE entries. */
    if (fLargest || m_dice.Chance(80))
        MakeGroup(&p, fLargest ? MAX_DDE_CMDS - 1 : m_dice.Between(1, 6));
    p.done = "Round trip " + std::to_string(p.uSeed) + " is installed (" + Word(3, 6) + ", " + Word(3, 6) + ").";
    return p;
}

/* ---- The product file -------------------------------------------------- */

/* Text from one code page to another (through UTF-16): the product file
   is UTF-8, the installer and these tests speak code page 1252, and the
   kit answers in UTF-8. */
std::string Recoded(const std::string &s, UINT uFrom, UINT uTo)
{
    if (s.empty())
        return s;
    std::wstring w((size_t)MultiByteToWideChar(uFrom, 0, s.data(), (int)s.size(), NULL, 0), L'\0');
    MultiByteToWideChar(uFrom, 0, s.data(), (int)s.size(), &w[0], (int)w.size());
    std::string out((size_t)WideCharToMultiByte(uTo, 0, w.data(), (int)w.size(), NULL, 0, NULL, NULL), '\0');
    WideCharToMultiByte(uTo, 0, w.data(), (int)w.size(), &out[0], (int)out.size(), NULL, NULL);
    return out;
}

std::string Utf8Of1252(const std::string &s)
{
    return Recoded(s, 1252, CP_UTF8);
}

std::string Toml(const std::string &s)
{
    std::string out = "\"";
    for (char c : Utf8Of1252(s)) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string SourceOf(size_t i)
{
    return "files/F" + std::to_string(i) + ".BIN";
}

std::string ProductFile(const RtProduct &p)
{
    std::ostringstream o;
    o << "# Round trip product, seed " << p.uSeed << "\n[product]\nname = " << Toml("Round trip " + std::to_string(p.uSeed))
      << "\nversion = \"1.0\"\npublisher = \"Quarnel\"\ndescription = \"Round trip\"\n\n[install]\npackage = \"RT.PKG\"\n"
      /* The dialog offers a plain new folder, as the kit asks of a default
         that must work on every machine; the user types the real one. */
      << "destination = " << Toml(p.made.front() + "\\RoundTrip") << "\nshow_progress = " << (p.fProgress ? "true" : "false")
      << "\nshow_completion = true\ncompletion_message = " << Toml(p.done) << "\n";
    if (!p.subdirs.empty()) {
        o << "subdirectories = [\n";
        for (const std::string &sub : p.subdirs)
            o << "    " << Toml(sub) << ",\n";
        o << "]\n";
    }
    if (!p.group.empty())
        o << "\n[program_group]\nname = " << Toml(p.group) << "\n";
    for (const RtIcon &icon : p.icons)
        o << "\n[[program_group.icon]]\ntitle = " << Toml(icon.title) << "\ncommand = " << Toml("%D" + icon.rel) << "\n";
    for (size_t i = 0; i < p.items.size(); i++) {
        const RtItem &it = p.items[i];
        o << "\n[[item]]\nsource = " << Toml(SourceOf(i)) << "\ndestination = " << Toml("%D" + it.rel) << "\n";
        if (!it.name.empty())
            o << "name = " << Toml(it.name) << "\n";
        if (it.fTomlDate)
            o << "date = " << it.date.substr(0, 4) << "-" << it.date.substr(4, 2) << "-" << it.date.substr(6) << "\n";
        else if (!it.date.empty())
            o << "date = " << Toml(it.date) << "\n";
        if (!it.rule.empty())
            o << "overwrite = " << Toml(it.rule) << "\n";
    }
    for (const RtIni &c : p.inis) {
        o << "\n[[ini]]\nfile = " << Toml("%D" + c.file) << "\nsection = " << Toml(c.section) << "\nkey = "
          << Toml(c.key) << "\nvalue = " << Toml(c.value) << "\n";
        if (!c.rule.empty())
            o << "overwrite = " << Toml(c.rule) << "\n";
    }
    return o.str();
}

/* ---- What the product file says ---------------------------------------- */

/* Whether an item ends up written, and whether the user is asked first,
   by the overwrite rules as the product file documents them. */
bool ItemWritten(const RtItem &it, bool *pfAsked)
{
    *pfAsked = false;
    char cRule = it.rule.empty() ? (char)RULE_MARK_ALWAYS : it.rule[0];
    if (!it.fOld || cRule == RULE_MARK_ALWAYS)
        return true;
    if (cRule == RULE_MARK_NEVER)
        return false;
    if (cRule == RULE_MARK_OLDER && it.oldDate <= it.rule.substr(1, ITEM_DATE_LEN))
        return true;
    *pfAsked = cRule == RULE_MARK_ASK || it.rule.size() > 1 + ITEM_DATE_LEN;
    return *pfAsked && it.fYes;
}

bool IniWritten(const RtIni &c, bool *pfAsked)
{
    *pfAsked = false;
    if (!c.fOld || c.oldValue.empty() || c.rule.empty())
        return true;
    if (c.rule[0] == RULE_MARK_NEVER)
        return false;
    *pfAsked = c.rule[0] == RULE_MARK_ASK;
    return !*pfAsked || c.fYes;
}

std::string Expanded(std::string s, const std::string &dest)
{
    for (size_t n = 0; (n = s.find('%', n)) != std::string::npos;) {
        std::string with = s.compare(n, 2, "%D") == 0   ? dest + "\\"
                           : s.compare(n, 2, "%W") == 0 ? WindowsDir()
                                                        : std::string("%");
        s.replace(n, with == "%" ? 1 : 2, with);
        n += with.size();
    }
    return s;
}

/* A prompt's format with its %s filled in order. */
std::string Filled(std::string fmt, const std::vector<std::string> &args)
{
    size_t n = 0;
    for (const std::string &arg : args) {
        n = fmt.find("%s", n);
        fmt.replace(n, 2, arg);
        n += arg.size();
    }
    return fmt;
}

struct Question {
    std::string text;
    bool fYes;
};

/* The questions the install asks, in order: items, then INI changes. */
std::vector<Question> Questions(const RtProduct &p)
{
    std::vector<Question> v;
    bool fAsked = false;
    for (const RtItem &it : p.items)
        if (ItemWritten(it, &fAsked), fAsked)
            v.push_back(Question{Filled(it.rule.substr(it.rule.find(RULE_MARK_ASK) + 1), {p.dest + "\\" + it.rel}),
                                 it.fYes});
    for (const RtIni &c : p.inis)
        if (IniWritten(c, &fAsked), fAsked)
            v.push_back(Question{Filled(c.rule.substr(1), {c.oldValue, Expanded(c.value, p.dest)}), c.fYes});
    return v;
}

/* ---- Before, during and after the install ------------------------------ */

bool StampDate(const std::string &path, const std::string &date)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    FILETIME ft;
    WORD wDate = (WORD)(((atoi(date.substr(0, 4).c_str()) - ITEM_YEAR_FIRST) << 9) |
                        (atoi(date.substr(4, 2).c_str()) << 5) | atoi(date.substr(6, 2).c_str()));
    bool fOk = h != INVALID_HANDLE_VALUE && DosDateTimeToFileTime(wDate, 0, &ft) && SetFileTime(h, &ft, &ft, &ft);
    if (h != INVALID_HANDLE_VALUE)
        CloseHandle(h);
    return fOk;
}

std::string GroupDir(const RtProduct &p)
{
    return ProgramsDir() + p.group + "\\";
}

/* The folders there before, and for an update the old files and values. */
void Prepare(const RtProduct &p)
{
    for (const std::string &dir : p.made)
        ASSERT_TRUE(CreateDirectoryA(dir.c_str(), NULL) || DirExists(dir)) << dir;
    if (!p.group.empty())
        RemoveTree(GroupDir(p));
    if (!p.fUpdate)
        return;
    for (const std::string &sub : p.subdirs)
        ASSERT_TRUE(CreateDirectoryA((p.dest + "\\" + sub).c_str(), NULL)) << sub;
    for (const RtItem &it : p.items) {
        std::string path = p.dest + "\\" + it.rel;
        if (!it.fOld)
            continue;
        ASSERT_TRUE(WriteBytes(path, it.oldBytes) && StampDate(path, it.oldDate)) << path;
    }
    for (const RtIni &c : p.inis) {
        std::string path = p.dest + "\\" + c.file;
        if (!c.fOld)
            continue;
        ASSERT_TRUE(WritePrivateProfileStringA(c.section.c_str(), c.key.c_str(), c.oldValue.c_str(), path.c_str()))
            << path;
    }
}

bool IsEnabledWindow(void *pv)
{
    HWND hWnd = static_cast<HWND>(pv);
    return IsWindow(hWnd) && IsWindowEnabled(hWnd);
}

/* The install as a user does it: the destination typed, confirmed, each
   question answered as the product's plan says, the completion box read.
   What went otherwise is added to *pv. */
void Install(const RtProduct &p, const std::string &exe, std::vector<std::string> *pv)
{
    Installer inst(exe);
    HWND hMain = inst.Started() ? inst.MainDialog() : NULL;
    if (!hMain) {
        pv->push_back("the destination dialog did not come");
        return;
    }
    bool fOffered = IsWindowEnabled(GetDlgItem(hMain, IDC_STARTMENU)) &&
                    SendDlgItemMessageA(hMain, IDC_STARTMENU, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (fOffered != !p.group.empty())
        pv->push_back(std::string("Install into Start Menu is ") + (fOffered ? "" : "not ") + "offered and on");
    inst.TypeAndOk(hMain, p.dest);
    HWND hVerify = inst.Confirmation();
    if (!hVerify || !inst.Answer(hVerify, IDOK)) {
        pv->push_back("no confirmation of " + p.dest);
        return;
    }
    std::vector<Question> questions = Questions(p);
    questions.push_back(Question{p.done, true});
    for (size_t k = 0; k < questions.size(); k++) {
        const bool fLast = k + 1 == questions.size();
        /* The largest products copy hundreds of items and make hundreds
           of shortcuts between two boxes. */
        SeenBox box = inst.NextBox(120000);
        if (!box.bFound) {
            pv->push_back("no box came; expected: " + questions[k].text);
            break;
        }
        std::string caption = fLast ? szCaptionInstaller : szCaptionPrompt;
        bool fAsExpected = box.caption == caption && box.text == questions[k].text;
        if (!fAsExpected)
            pv->push_back("box \"" + box.caption + "\": \"" + box.text + "\"; expected \"" + caption + "\": \"" +
                          questions[k].text + "\"");
        int nAnswer = fLast || box.buttons.size() == 1 ? IDOK : questions[k].fYes ? IDYES : IDNO;
        if (!inst.Answer(box.hWnd, nAnswer)) {
            pv->push_back("the box \"" + box.text + "\" stayed");
            break;
        }
        if (fAsExpected || box.buttons.size() != 1)
            continue;
        /* After a failed copy the destination dialog is enabled again for
           another try: it is cancelled, so that the installer ends.  After
           any other error the install goes on to the box expected. */
        if (WaitUntil(IsEnabledWindow, hMain, 5000)) {
            PressButton(hMain, IDCANCEL);
            break;
        }
        k--;
    }
    int nExit = inst.Exit(60000);
    if (nExit != 0)
        pv->push_back("the installer ended with " + std::to_string(nExit));
    /* The shell opens the group's folder twice, once as it makes the
       group and once as it shows it; both are closed before the group's
       folder goes. */
    if (!p.group.empty())
        CloseWindowsTitled(p.group.c_str(), 30000, 2);
}

std::string Upper(std::string s)
{
    if (!s.empty())
        CharUpperA(&s[0]);
    return s;
}

/* ---- The checker ------------------------------------------------------- */

/* Everything the installed state says otherwise than the product file. */
std::vector<std::string> Differences(const RtProduct &p)
{
    std::vector<std::string> v;
    for (const std::string &sub : p.subdirs)
        if (!DirExists(p.dest + "\\" + sub))
            v.push_back("subdirectory missing: " + sub);
    /* Every file there, each crossed off as an item or INI file names it. */
    std::map<std::string, bool> files;
    ForEachBelow(p.dest + "\\", [&](const std::string &path, bool fDir) {
        if (!fDir)
            files[Upper(path)] = false;
    });
    bool fAsked = false;
    for (const RtItem &it : p.items) {
        std::string path = p.dest + "\\" + it.rel;
        files[Upper(path)] = true;
        bool fWritten = ItemWritten(it, &fAsked);
        if (ReadBytes(path) != (fWritten ? it.bytes : it.oldBytes))
            v.push_back(it.rel + ": not the bytes of " + (fWritten ? "the item" : "the old file"));
        std::string date = fWritten ? it.date : it.oldDate;
        if (!date.empty() && CreationDate(path) != date)
            v.push_back(it.rel + ": dated " + CreationDate(path) + ", expected " + date);
    }
    for (const RtIni &c : p.inis) {
        std::string path = p.dest + "\\" + c.file;
        files[Upper(path)] = true;
        std::string want = IniWritten(c, &fAsked) ? Expanded(c.value, p.dest) : c.oldValue;
        std::string got = IniValue(path, c.section.c_str(), c.key.c_str());
        if (got != want)
            v.push_back(c.file + " [" + c.section + "] " + c.key + " = \"" + got + "\", expected \"" + want + "\"");
    }
    for (const auto &file : files)
        if (!file.second)
            v.push_back("a file no item names: " + file.first);
    if (p.group.empty())
        return v;
    std::map<std::string, std::string> want, got = GroupShortcuts(GroupDir(p));
    for (const RtIcon &icon : p.icons)
        want[icon.title + ".lnk"] = Upper(p.dest + "\\" + icon.rel);
    for (auto &link : got)
        link.second = Upper(link.second);
    for (const auto &link : want)
        if (got.count(link.first) == 0 || got[link.first] != link.second)
            v.push_back("shortcut " + link.first + " -> " + (got.count(link.first) ? got[link.first] : "<absent>") +
                        ", expected " + link.second);
    for (const auto &link : got)
        if (want.count(link.first) == 0)
            v.push_back("a shortcut no icon names: " + link.first + " -> " + link.second);
    return v;
}

/* ---- The run ----------------------------------------------------------- */

uint64_t EnvNumber(const char *pszName, uint64_t uDefault)
{
    char sz[32];
    DWORD n = GetEnvironmentVariableA(pszName, sz, sizeof sz);
    return n > 0 && n < sizeof sz ? _strtoui64(sz, NULL, 10) : uDefault;
}

/* Builds the product with the kit; its messages go to *pv, since a
   product a careful author writes is built without a finding. */
bool Build(const RtProduct &p, const std::string &dir, std::vector<std::string> *pv)
{
    std::string toml = ProductFile(p);
    if (!WriteBytes(dir + "product.toml", toml) || !CreateDirectoryA((dir + "files").c_str(), NULL))
        return false;
    for (size_t i = 0; i < p.items.size(); i++)
        if (!WriteBytes(dir + SourceOf(i), p.items[i].bytes))
            return false;
    std::string out, cmd = "\"" + ExeDir() + "..\\quarnel-kit.exe\" build product.toml -o dist --stub \"" +
                           ExeDir() + "..\\quarnel-stub.exe\"";
    int nExit = RunAndRead(cmd, dir, 120000, &out);
    if (nExit != 0 || out.find(": warning: ") != std::string::npos)
        pv->push_back("quarnel-kit build ended with " + std::to_string(nExit) + ":\n" + Recoded(out, CP_UTF8, 1252));
    return nExit == 0;
}

/* One product made, built, installed and compared; true when it held. */
bool RoundTrip(uint64_t uSeed)
{
    std::string base = ScratchDir("rt-dest"), work = ScratchDir("rt-product");
    RtProduct p = Generator(uSeed, GetACP() == 1252).Make(base);
    std::vector<std::string> v;
    /* The shell may have ended with the previous product's windows. */
    if (!p.group.empty() && !WaitForProgramManager(60000))
        v.push_back("the shell does not answer Program Manager DDE");
    if (Build(p, work, &v)) {
        Prepare(p);
        Install(p, work + "dist\\quarnel.exe", &v);
        std::vector<std::string> diff = Differences(p);
        v.insert(v.end(), diff.begin(), diff.end());
    }
    if (!p.group.empty())
        RemoveTree(GroupDir(p));
    printf("round trip: seed %llu: %s\n", (unsigned long long)uSeed, v.empty() ? "as its product file says" : "differs");
    if (v.empty())
        return true;
    std::string report;
    for (size_t k = 0; k < v.size() && k < 40; k++)
        report += "  " + Utf8Of1252(v[k]) + "\n";
    ADD_FAILURE() << "seed " << uSeed << " (replay: QUARNEL_ROUNDTRIP_SEED=" << uSeed << "), " << v.size()
                  << " differences:\n"
                  << report << "product file:\n"
                  << ProductFile(p);
    return false;
}

TEST(RoundTrip, GeneratedProductsInstallAsTheirProductFilesSay)
{
    uint64_t uOne = EnvNumber("QUARNEL_ROUNDTRIP_SEED", 0);
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    uint64_t uDay = ((((uint64_t)ft.dwHighDateTime << 32) | ft.dwLowDateTime) / 10000000ull - 11644473600ull) / 86400;
    uint64_t uFirst = uOne ? uOne : uDay * 100000;
    /* A seed given replays that one product, or with a count those that
       follow it too. */
    uint64_t uCount = EnvNumber("QUARNEL_ROUNDTRIP_COUNT", uOne ? 1 : RUN_COUNT);
    printf("round trip: seeds %llu to %llu; QUARNEL_ROUNDTRIP_SEED=N replays one\n", (unsigned long long)uFirst,
           (unsigned long long)(uFirst + uCount - 1));
    /* The shell starts with the first window of the session: on a busy
       machine that takes a while. */
    ASSERT_TRUE(WaitForProgramManager(120000));
    int nFailed = 0;
    for (uint64_t k = 0; k < uCount; k++)
        nFailed += !RoundTrip(uFirst + k);
    printf("round trip: %d of %llu products differ\n", nFailed, (unsigned long long)uCount);
}

} // namespace
