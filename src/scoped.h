/* scoped.h - small owners that release a platform resource on every way out
 * of a function, so early returns cannot leak a file, a memory block, a DDE
 * instance or a device context.  Detach() hands ownership on. */
#ifndef QUARNEL_SCOPED_H
#define QUARNEL_SCOPED_H

#include <windows.h>
#include <ddeml.h>

/* An HFILE from OpenFile / OpenFileQ; HFILE_ERROR is empty. */
class FileOwner {
public:
    explicit FileOwner(HFILE h = HFILE_ERROR) : m_h(h) {}
    ~FileOwner() { Close(); }
    HFILE Get() const { return m_h; }
    bool IsOpen() const { return m_h != HFILE_ERROR; }
    HFILE Detach() { HFILE h = m_h; m_h = HFILE_ERROR; return h; }
    void Close() { if (m_h != HFILE_ERROR) { _lclose(m_h); m_h = HFILE_ERROR; } }
private:
    FileOwner(const FileOwner &);
    FileOwner &operator=(const FileOwner &);
    HFILE m_h;
};

/* A movable global block, locked while held: unlocked and freed at the end. */
class GlobalOwner {
public:
    GlobalOwner() : m_h(NULL), m_p(NULL) {}
    ~GlobalOwner() { Free(); }
    /* Takes a block (and its lock, when pv is its locked pointer). */
    void Adopt(HGLOBAL h, void *pv) { Free(); m_h = h; m_p = pv; }
    /* GMEM_MOVEABLE | GMEM_ZEROINIT block of cb bytes, locked; NULL on failure. */
    void *Alloc(SIZE_T cb) {
        Free();
        m_h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, cb);
        if (m_h) m_p = GlobalLock(m_h);
        return m_p;
    }
    void *Get() const { return m_p; }
    /* Hands the block on, still locked: the taker unlocks and frees it. */
    HGLOBAL Detach() { HGLOBAL h = m_h; m_h = NULL; m_p = NULL; return h; }
    void Free() {
        if (m_h) {
            if (m_p) GlobalUnlock(m_h);
            GlobalFree(m_h);
        }
        m_h = NULL;
        m_p = NULL;
    }
private:
    GlobalOwner(const GlobalOwner &);
    GlobalOwner &operator=(const GlobalOwner &);
    HGLOBAL m_h;
    void *m_p;
};

/* A DDEML instance: uninitialised at the end (which frees its string handles). */
class DdeInstanceOwner {
public:
    DdeInstanceOwner() : m_id(0) {}
    ~DdeInstanceOwner() { if (m_id) DdeUninitialize(m_id); }
    DWORD *Address() { return &m_id; }
    DWORD Get() const { return m_id; }
private:
    DdeInstanceOwner(const DdeInstanceOwner &);
    DdeInstanceOwner &operator=(const DdeInstanceOwner &);
    DWORD m_id;
};

/* A DDE conversation: disconnected at the end. */
class DdeConvOwner {
public:
    explicit DdeConvOwner(HCONV h) : m_h(h) {}
    ~DdeConvOwner() { if (m_h) DdeDisconnect(m_h); }
    HCONV Get() const { return m_h; }
private:
    DdeConvOwner(const DdeConvOwner &);
    DdeConvOwner &operator=(const DdeConvOwner &);
    HCONV m_h;
};

/* A window's device context from GetDC: released at the end. */
class DcOwner {
public:
    explicit DcOwner(HWND hWnd) : m_hWnd(hWnd), m_hDc(GetDC(hWnd)) {}
    ~DcOwner() { if (m_hDc) ReleaseDC(m_hWnd, m_hDc); }
    HDC Get() const { return m_hDc; }
private:
    DcOwner(const DcOwner &);
    DcOwner &operator=(const DcOwner &);
    HWND m_hWnd;
    HDC m_hDc;
};

/* A GDI object the program created: deleted at the end. */
class GdiOwner {
public:
    explicit GdiOwner(HGDIOBJ h) : m_h(h) {}
    ~GdiOwner() { if (m_h) DeleteObject(m_h); }
    HGDIOBJ Get() const { return m_h; }
private:
    GdiOwner(const GdiOwner &);
    GdiOwner &operator=(const GdiOwner &);
    HGDIOBJ m_h;
};

#endif
