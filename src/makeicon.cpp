/* makeicon.cpp - the Program Manager conversation: one DDE client
 * conversation with the shell over which the manifest's execute commands are
 * sent in order, so that the product gets its program group and items. */
#include "makeicon.h"

#include <string.h>

#include "manifest.h"
#include "resource.h"
#include "scoped.h"

/* How long one command may keep the shell busy before we go on. */
static const DWORD DDE_TIMEOUT_MS = 10000;

int AddToProgMan(const char *pszDest)
{
    /* The owners end the conversation and the instance on every way out,
       the conversation first (it is declared later). */
    DdeInstanceOwner dde;
    if (DdeInitializeA(dde.Address(), DdeCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR)
        return MSG_DDE_INIT;

    /* The service text lives in the readers' buffer, which the commands
       overwrite: both handles are made before any command is read.  The
       instance frees them when it ends. */
    const char *pszPM = LoadStr(IDS_DDE_SERVICE, "PROGMAN");
    HSZ hszService = DdeCreateStringHandleA(dde.Get(), pszPM, CP_WINANSI);
    HSZ hszTopic = DdeCreateStringHandleA(dde.Get(), pszPM, CP_WINANSI);
    /* A name the library cannot hold (too long) gives no handle, and
       connecting without one would reach whichever server answers first. */
    if (hszService == NULL || hszTopic == NULL)
        return MSG_DDE_CONNECT;

    DdeConvOwner conv(DdeConnect(dde.Get(), hszService, hszTopic, NULL));
    if (conv.Get() == NULL)
        return MSG_DDE_CONNECT;

    DWORD dwRes = 0;
    int nCount = LoadInt(IDS_DDE_COUNT, 0);
    for (int i = 0; i < nCount; i++) {
        char *pszCmd = LoadStrExpand(IDS_DDE_CMD + i, "", pszDest);
        /* A command cut to fit would name the wrong program or group, so it
           is treated like a missing one and nothing of it is sent. */
        if (pszCmd[0] == '\0' || ExpandWasCut())
            return MSG_MISSING;
        /* The shell's answer does not matter: a refused or timed-out
           command must not keep the others from being sent. */
        DdeClientTransaction(reinterpret_cast<LPBYTE>(pszCmd), (DWORD)strlen(pszCmd) + 1,
                             conv.Get(), NULL, CF_TEXT, XTYP_EXECUTE, DDE_TIMEOUT_MS, &dwRes);
    }
    return 0;
}

HDDEDATA CALLBACK DdeCallback(UINT uType, UINT uFmt, HCONV hConv, HSZ hSz1, HSZ hSz2,
                              HDDEDATA hData, ULONG_PTR dwData1, ULONG_PTR dwData2)
{
    (void)uFmt;
    (void)hConv;
    (void)hSz1;
    (void)hSz2;
    (void)hData;
    (void)dwData1;
    (void)dwData2;
    /* No advise loop is ever started; should data arrive anyway it is
       acknowledged so the server does not wait on us. */
    if (uType == XTYP_ADVDATA)
        return (HDDEDATA)(ULONG_PTR)DDE_FACK;
    return NULL;
}
