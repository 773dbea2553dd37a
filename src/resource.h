/* resource.h - every numeric ID the installer shares between its resource
 * scripts and its code: control IDs of the dialog templates, the manifest's
 * string-table IDs and the message IDs.  Plain #defines only, so that windres
 * and the compiler read the same file; no other file spells these numbers. */
#ifndef QUARNEL_RESOURCE_H
#define QUARNEL_RESOURCE_H

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

/* Named resources (templates and icon groups are looked up by name). */
#define DLG_PARVEX        "PARVEXDLG"
#define DLG_PARVEX_ASKED  "ParvexDlg"      /* requested as; names match regardless of case */
#define DLG_BROWSE        "BROWSEDLG"
#define DLG_VERIFY        "VERIFYDLG"
#define DLG_VERIFY_NOSUB  "VERIFYDLGNOSUB"
#define DLG_VERIFY_ROOT   "VERIFYDLGROOTDIR"
#define DLG_VERIFY_WIN    "VERIFYDLGWINDIR"
#define DLG_VERIFY_SYS    "VERIFYDLGSYSDIR"
#define DLG_DISKSPACE     "DISKSPACEDLG"
#define DLG_WAIT          "WAITDLG"
#define TEXT_CHOOSE_DIR   "Choose Directory"  /* the directory chooser's caption */
#define ICON_CARGO        "CARGO"
#define ICON_QUARNEL      "QUARNEL"
/* The package checksums a product build seals into its installer (type
   RT_RCDATA, language neutral; layout in logic.h).  Absent in an installer
   built without them. */
#define RES_PACKAGE_SUMS  "QPKGSUMS"

/* Controls of the destination dialog. */
#define IDC_BROWSE        200
#define IDC_DESTDIR       201
#define IDC_STARTMENU     202
#define IDC_DESCRIPTION   203

/* Numbered static fields of the notice dialogs and the progress dialog:
   string k of a DLGPARAMS goes into IDC_FIELD0 + k. */
#define IDC_FIELD0        210
#define IDC_FIELD1        211
#define IDC_FIELD2        212
#define IDC_STATUS        210   /* progress dialog: status line */
#define IDC_BAR           211   /* progress dialog: bar area */

/* Manifest: single entries. */
#define IDS_PACKAGE       98    /* package file name, direct read into 16 */
#define IDS_DESCRIPTION   99
#define IDS_DEFAULT_DEST  100
#define IDS_SPACE_KB      101
#define IDS_FOLLOWUP      102
#define IDS_SHOW_PROGRESS 105
#define IDS_SHOW_DONE     106
#define IDS_WARN_ROOT     107
#define IDS_WARN_WINDIR   108
#define IDS_WARN_SYSDIR   109
#define IDS_CANCEL_ASK    112
#define IDS_DONE_TEXT     150
#define IDS_DDE_SERVICE   698

/* Manifest: counts and the bases of their families (entry = base + i). */
#define IDS_SUBDIR_COUNT  499
#define IDS_SUBDIR        500
#define IDS_DDE_COUNT     699
#define IDS_DDE_CMD       700
#define IDS_ITEM_COUNT    999
#define IDS_ITEM_DEST     1000
#define IDS_ITEM_NAME     1400  /* direct read into 256 */
#define IDS_ITEM_DATE     1800  /* direct read into 10 */
#define IDS_ITEM_RULE     2200  /* direct read into 100 */
#define IDS_INI_COUNT     2999
#define IDS_INI_FILE      3000
#define IDS_INI_RULE      3200
#define IDS_INI_SECTION   3400
#define IDS_INI_KEY       3600
#define IDS_INI_VALUE     3800

/* Most elements each family has room for before the next ID in use. */
#define MAX_SUBDIRS       198
#define MAX_DDE_CMDS      299
#define MAX_ITEMS         400
#define MAX_INI_CHANGES   200

/* Message IDs.  One ID may serve several texts; a manifest entry with that
   ID replaces all of them. */
#define MSG_BUILD_FAILED  0
#define MSG_MISSING       300   /* missing required entry; also the DDE "empty command" code */
#define MSG_BAD_PATH      302
#define MSG_SUBDIR        303   /* subdirectory creation failed; also file error 3 */
#define MSG_DDE_CONNECT   304
#define MSG_DDE_INIT      305
#define MSG_NO_MEMORY     306
#define MSG_BAD_PACKAGE   307
#define MSG_FILE_OTHER    400
#define MSG_FILE_TOOMANY  401
#define MSG_FILE_DENIED   402
#define MSG_BAD_DRIVE     403   /* also file error 15 */
#define MSG_FILE_WPROTECT 404
#define MSG_FILE_SHARING  405
#define MSG_FILE_LOCKING  406
#define MSG_FILE_NETWORK  407
#define MSG_WRITE_SHORT   408   /* "A file write failed.  The disk may be full." (an item not written whole) */

#endif
