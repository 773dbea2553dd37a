/* fixed.h - the installer's fixed figures and texts: how much of each
 * manifest entry and path is kept, the captions of its boxes, and the
 * built-in English messages that a manifest entry may replace.  The
 * installer and the authoring kit both read them from here, so a limit the
 * kit checks is always the one the installer applies.  Platform-free. */
#ifndef QUARNEL_FIXED_H
#define QUARNEL_FIXED_H

/* ---- Buffers and how much of a text they keep ---------------------------- */

enum {
    PATH_BUF = 256,                 /* every path buffer ... */
    PATH_KEPT = PATH_BUF - 1,       /* ... keeps at most 255 characters */
    STRING_BUF = 1024,              /* the readers' string and expansion buffers */
    STRING_KEPT = STRING_BUF - 1,
    INT_BUF = 32,                   /* integer and boolean entries */
    INT_KEPT = INT_BUF - 1,

    /* Entry 98: the package's file name, read directly into 16. */
    PACKAGE_NAME_BUF = 16,
    PACKAGE_NAME_KEPT = PACKAGE_NAME_BUF - 1,
    /* The program's own folder is kept to 239 characters, so that with the
       package name the package path stays within 254. */
    PROGRAM_PATH_KEPT = 239,

    /* Item entries read directly: display name, date, overwrite rule.  An
       item date is eight digits YYYYMMDD, compared over at most eight
       characters. */
    ITEM_NAME_BUF = PATH_BUF,
    ITEM_DATE_LEN = 8,
    /* The years a file date (a DOS date word) can hold. */
    ITEM_YEAR_FIRST = 1980,
    ITEM_YEAR_LAST = 2107,
    ITEM_DATE_BUF = 10,
    ITEM_RULE_BUF = 100,
    ITEM_RULE_KEPT = ITEM_RULE_BUF - 1,

    /* The largest item the 32-bit installer can count on holding on 32-bit
       Windows: it reads an item whole into one block, and there its process
       has 2 GB of address space, shared with the program, the system's
       DLLs, heaps and stacks, so the largest free run is well below 2 GB
       and moves with where the DLLs land (1.2 GB was seen to install, 1.9
       GB to fail).  Half the space leaves that margin.  The kit warns
       above it. */
    ITEM_HELD_32_MAX = 1073741824,

    /* Subdirectory paths: 235 characters of the destination, which leaves
       20 for the entry itself within the 255. */
    SUBDIR_DEST_KEPT = 235,

    /* The destination field: the user may type 245 characters; OK reads
       253 (room for the backslash it appends), Browse starts from 235. */
    DEST_FIELD_LIMIT = 245,
    DEST_READ_BUF = 254,
    BROWSE_READ_BUF = 236,

    /* An item prompt: a rule's format (at most 98) with a destination (255). */
    ITEM_PROMPT_BUF = 356,
    /* An INI change's file, section, key, value and rule, each expanded
       and kept whole or not used. */
    INI_TEXT_BUF = PATH_BUF,
    INI_TEXT_KEPT = INI_TEXT_BUF - 1,
    /* An INI prompt, and the key's current value it shows. */
    INI_PROMPT_BUF = 512,
    INI_VALUE_BUF = 100,
    /* The progress line: "Copying " and a display name. */
    STATUS_BUF = ITEM_PROMPT_BUF
};
static_assert(PROGRAM_PATH_KEPT + PACKAGE_NAME_KEPT < PATH_BUF,
              "the package path fits its buffer");
static_assert(ITEM_DATE_BUF > ITEM_DATE_LEN, "an item date fits its buffer");
static_assert(ITEM_PROMPT_BUF > (ITEM_RULE_KEPT - 1) + PATH_KEPT,
              "a whole item prompt fits its buffer");

/* ---- The destination dialog's description field ------------------------ */

/* Control 203 of the destination dialog shows entry 99 on one line of the
   dialog's font, 8-point MS Sans Serif: the second line a longer text wraps
   to is cut off by the field's 12 dialog units of height.  Its 117 dialog
   units of width are DESCRIPTION_FIELD_PX pixels, and a text fits when the
   widths of its characters (abDescriptionCharPx, characters 32 to 255) add
   up to no more.  Measured under Wine at 96 dots per inch, in Wine's copy
   of the font (whose metrics are Windows'), where the dialog's base units
   are 6 x 13 pixels, by the test
   Templates.DescriptionFieldMeasuresAsTheKitReckons: it opens the dialog,
   reads the field's client width and GetTextExtentPoint32A of every
   character in the field's own font, checks whole texts against the sum,
   and prints the table it measured whenever it differs from this one. */
enum { DESCRIPTION_FIELD_PX = 176 };
inline constexpr unsigned char abDescriptionCharPx[256 - 32] = {
    3, 3, 5, 7, 6, 8, 6, 2, 3, 3, 4, 6, 3, 3, 3, 5,
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 3, 3, 6, 6, 6, 6,
    11, 7, 7, 7, 8, 7, 6, 8, 8, 3, 5, 7, 6, 9, 8, 8,
    7, 8, 8, 7, 7, 8, 7, 11, 7, 7, 7, 3, 5, 3, 6, 6,
    3, 6, 6, 6, 6, 6, 3, 6, 6, 2, 2, 6, 2, 8, 6, 6,
    6, 6, 3, 5, 3, 6, 6, 8, 5, 5, 5, 4, 2, 4, 7, 3,
    6, 3, 3, 3, 5, 6, 5, 5, 3, 11, 7, 6, 10, 3, 7, 3,
    3, 3, 3, 4, 4, 6, 5, 6, 3, 9, 5, 6, 10, 3, 5, 7,
    3, 3, 6, 6, 6, 6, 2, 6, 3, 9, 4, 6, 6, 3, 8, 6,
    4, 6, 3, 3, 3, 6, 6, 3, 3, 3, 4, 6, 8, 8, 8, 6,
    7, 7, 7, 7, 7, 7, 10, 7, 7, 7, 7, 7, 3, 3, 3, 3,
    8, 8, 8, 8, 8, 8, 8, 6, 8, 8, 8, 8, 8, 7, 7, 6,
    6, 6, 6, 6, 6, 6, 10, 6, 6, 6, 6, 6, 2, 4, 4, 4,
    6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 6, 5, 6, 5,
};

/* ---- Destination macros ------------------------------------------------- */

/* In expanded entries: "%" and an upper-case letter. */
enum {
    MACRO_MARK = '%',
    MACRO_DEST = 'D',               /* the destination, as it is */
    MACRO_SYSDIR = 'S',             /* the system directory, with a backslash */
    MACRO_WINDIR = 'W'              /* the Windows directory, with a backslash */
};

/* ---- Overwrite rules ----------------------------------------------------- */

/* The first character of a rule chooses it; rules are case-sensitive. */
enum {
    RULE_MARK_ALWAYS = 'A',
    RULE_MARK_NEVER = 'N',
    RULE_MARK_OLDER = 'O',          /* items only: "O" + date [+ "P" + prompt] */
    RULE_MARK_ASK = 'P'             /* "P" + prompt; also the mark after an "O" date */
};

/* ---- Names ------------------------------------------------------------- */

/* The installer's rule for the name of a folder it creates (IsSubOk): not
   empty, not starting with a character of szNewFolderBadFirst, holding none
   of szNewFolderBadAnywhere and at most one full stop.  The kit names the
   same characters when it refuses a name. */
inline constexpr char szNewFolderBadFirst[] = ".+[];\",";
inline constexpr char szNewFolderBadAnywhere[] = "?*: |=<>/";

/* Characters Windows refuses in any file or folder name, besides the two
   separators and the control characters. */
inline constexpr char szNameRefused[] = "<>:\"|?*";

/* ---- Captions and built-in messages ------------------------------------- */

/* Captions; never taken from the manifest. */
inline constexpr char szCaptionInstaller[] = "Installer";   /* error boxes, completion */
inline constexpr char szCaptionCancelAsk[] = "Install";     /* the progress dialog's question */
inline constexpr char szCaptionPrompt[] = "Parvex";         /* overwrite questions */
/* The dialogs' captions, as their templates in quarnel.rc carry them (the
   trailing blanks are part of them), for those who find the windows. */
inline constexpr char szCaptionMain[] = "Install";           /* destination and progress */
inline constexpr char szCaptionVerify[] = "Install Verification  ";
inline constexpr char szCaptionSpace[] = "Install  ";         /* disk-space notice */

/* Built-in texts by the message ID they are shown under (resource.h). */
inline constexpr char szTextBuildFailed[] = "Didn't work.  Sorry.";
inline constexpr char szTextMissing[] = "The cargo manifest is missing required entries.";
inline constexpr char szTextIcons[] = "Attempt to make icons failed.";
inline constexpr char szTextBadPath[] = "The entered path is invalid.";
inline constexpr char szTextSubdir[] = "Subdirectory creation failed.";
inline constexpr char szTextNoMemory[] = "A memory allocation failed.";
inline constexpr char szTextBadPackage[] = "The install package file is invalid.";
inline constexpr char szTextBadDrive[] = "The selected drive is invalid.";
inline constexpr char szTextWriteShort[] = "A file write failed.  The disk may be full.";
inline constexpr char szTextCancelAsk[] = "Are you sure you want to\ncancel the installation?";
inline constexpr char szTextDone[] = "Installation complete.";

/* An item file that cannot be created, by the error code (FileErrMessage). */
inline constexpr char szTextFilePath[] = "Path invalid.";
inline constexpr char szTextFileTooMany[] = "There are too many open files.";
inline constexpr char szTextFileDenied[] = "Access denied.";
inline constexpr char szTextFileDrive[] = "Invalid drive.";
inline constexpr char szTextFileWriteProtect[] = "A write protect error occured.";
inline constexpr char szTextFileSharing[] = "A sharing violation occured.";
inline constexpr char szTextFileLocking[] = "A locking violation occured.";
inline constexpr char szTextFileNetwork[] = "A network error occured.";
inline constexpr char szTextFileOther[] = "An unusual file creation error occured.";

/* Progress texts: before each item's display name, and at the end. */
inline constexpr char szStatusCopying[] = "Copying ";
inline constexpr char szStatusDone[] = "DONE";

#endif
