/* manifest.h - the program's own module and the manifest readers: every
 * resource comes from the application instance, every manifest text passes
 * through the readers, and the boxes that show manifest texts live beside
 * them.  Below every module that reads the manifest (the driver, the copy,
 * the progress dialog, the builder, the program group); implemented in
 * unload_readers.cpp. */
#ifndef QUARNEL_MANIFEST_H
#define QUARNEL_MANIFEST_H

#include <windows.h>

/* The module every resource (manifest, templates, icons) is loaded from. */
HINSTANCE GetAppInstance(void);
void SetAppInstance(HINSTANCE hInstance);

/* A direct read: entry uId into psz (cch characters, cut to fit, always
   terminated); empty when the entry is absent.  No default. */
void LoadEntry(UINT uId, char *psz, int cch);

/* Readers.  LoadStr returns its 1024-character buffer (valid until the next
   LoadStr, LoadStrExpand, ErrBox or FileErrBox); LoadStrExpand and ExpandStr
   return the expansion buffer (valid until the next expansion). */
int LoadInt(UINT uId, int nDefault);
int LoadBool(UINT uId, int fDefault);
char *LoadStr(UINT uId, const char *pszDefault);
char *LoadStrExpand(UINT uId, const char *pszDefault, const char *pszPath);
char *ExpandStr(const char *pszFmt, const char *pszPath);

/* 1 when the latest LoadStrExpand / ExpandStr result was cut to fit its
   buffer (or a macro's directory was unavailable); callers treat such a
   result like a missing required entry. */
int ExpandWasCut(void);

/* Error boxes: text from the manifest by message ID, else the default;
   caption "Installer", error icon, owned by the active window. */
void ErrBox(UINT uId, const char *pszDefault);
void FileErrBox(UINT nErr);

/* The overwrite question of an item or an INI change: pszText in a
   Yes/No/Cancel box captioned "Parvex", owned by the active window.
   OVR_WRITE, OVR_SKIP or OVR_CANCEL; a box that cannot be shown is no
   consent and reads as OVR_SKIP. */
int AskOverwrite(const char *pszText);

#endif
