/* dde_test.cpp - the Program Manager conversation, observed from both ends:
 * a small DDE server inside this test records exactly what is sent, and
 * the platform's own shell turns the commands into real Start Menu links. */
#include <gtest/gtest.h>

#include "makeicon.h"
#include "testsupport.h"
#include "manifest.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>

#include <string>
#include <vector>

namespace {

/* ---- A recording DDE server on a thread of its own ---------------------- */

struct ProbeLog {
    std::vector<std::string> topics;     /* topic of each connect */
    std::vector<std::string> services;   /* service of each connect */
    std::vector<std::string> executes;   /* bytes of each execute, terminator included */
    int nConversations = 0;              /* confirmed connects, named or not */
    LONG lDisconnects = 0;
};

class ProbeServer;
ProbeServer *pProbe = NULL;   /* the callback has no context of its own */

class ProbeServer {
public:
    explicit ProbeServer(const char *pszService) : m_service(pszService)
    {
        pProbe = this;
        InitializeCriticalSection(&m_cs);
        m_hReady = CreateEventA(NULL, TRUE, FALSE, NULL);
        m_hThread = CreateThread(NULL, 0, ThreadProc, this, 0, &m_dwThread);
        WaitForSingleObject(m_hReady, 10000);
    }
    ~ProbeServer()
    {
        Stop();
        CloseHandle(m_hReady);
        DeleteCriticalSection(&m_cs);
        pProbe = NULL;
    }
    bool Registered() const { return m_bRegistered; }

    /* Waits until n conversations have ended (the client's disconnect
       arrives at the server's own pace), then stops the server. */
    ProbeLog StopAfterDisconnects(LONG n, DWORD dwMs)
    {
        m_lWanted = n;
        WaitUntil(EnoughDisconnects, this, dwMs);
        Stop();
        return Snapshot();
    }

    static HDDEDATA CALLBACK Callback(UINT uType, UINT, HCONV, HSZ hSz1, HSZ hSz2,
                                      HDDEDATA hData, ULONG_PTR, ULONG_PTR)
    {
        return pProbe->Handle(uType, hSz1, hSz2, hData);
    }

private:
    static bool EnoughDisconnects(void *pv)
    {
        ProbeServer *p = static_cast<ProbeServer *>(pv);
        return p->Snapshot().lDisconnects >= p->m_lWanted;
    }

    static DWORD WINAPI ThreadProc(LPVOID pv)
    {
        static_cast<ProbeServer *>(pv)->Run();
        return 0;
    }

    void Run()
    {
        DdeInitializeA(&m_dwInst, Callback,
                       APPCLASS_STANDARD | CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS, 0);
        HSZ hsz = DdeCreateStringHandleA(m_dwInst, m_service.c_str(), CP_WINANSI);
        m_hszService = hsz;
        m_bRegistered = DdeNameService(m_dwInst, hsz, NULL, DNS_REGISTER) != NULL;
        SetEvent(m_hReady);
        MSG msg;
        while (GetMessageA(&msg, NULL, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        DdeNameService(m_dwInst, hsz, NULL, DNS_UNREGISTER);
        DdeFreeStringHandle(m_dwInst, hsz);
        DdeUninitialize(m_dwInst);
    }

    void Stop()
    {
        if (!m_hThread)
            return;
        PostThreadMessageA(m_dwThread, WM_QUIT, 0, 0);
        WaitForSingleObject(m_hThread, 10000);
        CloseHandle(m_hThread);
        m_hThread = NULL;
    }

    ProbeLog Snapshot()
    {
        EnterCriticalSection(&m_cs);
        ProbeLog log = m_log;
        LeaveCriticalSection(&m_cs);
        return log;
    }

    std::string Text(HSZ hsz)
    {
        char sz[256] = "";
        DdeQueryStringA(m_dwInst, hsz, sz, sizeof(sz), CP_WINANSI);
        return sz;
    }

    HDDEDATA Handle(UINT uType, HSZ hSz1, HSZ hSz2, HDDEDATA hData)
    {
        EnterCriticalSection(&m_cs);
        HDDEDATA hResult = NULL;
        switch (uType) {
        case XTYP_CONNECT:
            m_log.topics.push_back(Text(hSz1));
            m_log.services.push_back(Text(hSz2));
            hResult = reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(TRUE));
            break;
        case XTYP_WILDCONNECT: {
            /* Answers a connect that names no service: as a server that
               happens to be running would. */
            HSZPAIR aPairs[2] = {{m_hszService, m_hszService}, {NULL, NULL}};
            hResult = DdeCreateDataHandle(m_dwInst, reinterpret_cast<LPBYTE>(aPairs),
                                          sizeof(aPairs), 0, NULL, 0, 0);
            break;
        }
        case XTYP_EXECUTE: {
            DWORD cb = DdeGetData(hData, NULL, 0, 0);
            std::string bytes(cb, '\0');
            if (cb)
                DdeGetData(hData, reinterpret_cast<LPBYTE>(&bytes[0]), cb, 0);
            m_log.executes.push_back(bytes);
            hResult = reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(DDE_FACK));
            break;
        }
        case XTYP_CONNECT_CONFIRM:
            m_log.nConversations++;
            break;
        case XTYP_DISCONNECT:
            m_log.lDisconnects++;
            break;
        }
        LeaveCriticalSection(&m_cs);
        return hResult;
    }

    std::string m_service;
    CRITICAL_SECTION m_cs;
    HANDLE m_hReady = NULL;
    HANDLE m_hThread = NULL;
    DWORD m_dwThread = 0;
    LONG m_lWanted = 0;
    DWORD m_dwInst = 0;
    HSZ m_hszService = NULL;
    bool m_bRegistered = false;
    ProbeLog m_log;
};

const char szProbeService[] = "QuarnelProbe";

/* A command as it must arrive: its text and the terminating NUL. */
std::string Sent(const char *pszText)
{
    return std::string(pszText) + '\0';
}

/* Live DDE library instances of this thread, counted by the hidden event
   window the library keeps for each (a failed connect leaves a window of
   its own behind, so all windows cannot be counted). */
BOOL CALLBACK CountInstanceProc(HWND hWnd, LPARAM lParam)
{
    char sz[64] = "";
    GetClassNameA(hWnd, sz, sizeof(sz));
    std::string cls = sz;
    for (char &c : cls)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    if (cls.find("dde") != std::string::npos && cls.find("event") != std::string::npos)
        ++*reinterpret_cast<int *>(lParam);
    return TRUE;
}

int DdeInstanceCount()
{
    int n = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountInstanceProc, reinterpret_cast<LPARAM>(&n));
    return n;
}

/* The counter must see an instance while one is live, or a check against
   it could never fail. */
void ExpectCounterSeesInstances()
{
    int nBefore = DdeInstanceCount();
    DWORD dwInst = 0;
    ASSERT_EQ(DdeInitializeA(&dwInst, DdeCallback, APPCMD_CLIENTONLY, 0),
              static_cast<UINT>(DMLERR_NO_ERROR));
    EXPECT_EQ(DdeInstanceCount(), nBefore + 1);
    DdeUninitialize(dwInst);
    EXPECT_EQ(DdeInstanceCount(), nBefore);
}

/* ---- DdeCallback ----------------------------------------------------------- */

struct CallbackCase {
    UINT uType;
    ULONG_PTR nExpected;
};

TEST(DdeCallback, AcknowledgesAdviseDataOnly)
{
    const CallbackCase aCases[] = {
        {XTYP_ADVDATA, 0x8000},  {XTYP_EXECUTE, 0},    {XTYP_CONNECT, 0},
        {XTYP_REQUEST, 0},       {XTYP_POKE, 0},       {XTYP_ADVSTART, 0},
        {XTYP_DISCONNECT, 0},    {XTYP_XACT_COMPLETE, 0}, {0, 0},
    };
    for (const CallbackCase &c : aCases) {
        HDDEDATA h = DdeCallback(c.uType, CF_TEXT, NULL, NULL, NULL, NULL, 0, 0);
        EXPECT_EQ(reinterpret_cast<ULONG_PTR>(h), c.nExpected) << "type 0x" << std::hex << c.uType;
    }
}

/* ---- Against the recording server ------------------------------------------ */

TEST(AddToProgMan, SendsEachCommandWithItsTerminator)
{
    ASSERT_NE(UseManifest("manifest_dde_probe"), nullptr);
    ProbeServer server(szProbeService);
    ASSERT_TRUE(server.Registered());

    int r = AddToProgMan("C:\\Apps\\Tool\\");
    ProbeLog log = server.StopAfterDisconnects(1, 5000);

    EXPECT_EQ(r, 0);
    EXPECT_EQ(log.services, (std::vector<std::string>{"QuarnelProbe"}));
    EXPECT_EQ(log.topics, (std::vector<std::string>{"QuarnelProbe"}));
    ASSERT_EQ(log.executes.size(), 2u);
    EXPECT_EQ(log.executes[0], Sent("[CreateGroup(Probe Group)][ShowGroup(Probe Group,1)]"));
    EXPECT_EQ(log.executes[1], Sent("[AddItem(C:\\Apps\\Tool\\bin\\tool.exe,Tool)]"));
    EXPECT_EQ(log.lDisconnects, 1);
}

TEST(AddToProgMan, MissingCommandStopsAndReleasesTheConversation)
{
    ASSERT_NE(UseManifest("manifest_dde_gap"), nullptr);
    ProbeServer server(szProbeService);
    ASSERT_TRUE(server.Registered());
    ExpectCounterSeesInstances();
    int nBefore = DdeInstanceCount();

    int r = AddToProgMan("C:\\Apps\\");
    int nAfter = DdeInstanceCount();
    ProbeLog log = server.StopAfterDisconnects(1, 5000);

    EXPECT_EQ(r, 300);
    EXPECT_EQ(log.executes, (std::vector<std::string>{Sent("[CreateGroup(Gap)]")}));
    EXPECT_EQ(log.lDisconnects, 1);
    EXPECT_EQ(nAfter, nBefore);
}

/* A command cut to fit its buffer would name something else: nothing of it
   goes out, and the run ends as for a missing command. */
TEST(AddToProgMan, CommandTooLongForItsBufferIsNeverSent)
{
    ASSERT_NE(UseManifest("manifest_dde_cut"), nullptr);
    ProbeServer server(szProbeService);
    ASSERT_TRUE(server.Registered());
    std::string dest = "C:\\" + std::string(250, 'd') + "\\";

    int r = AddToProgMan(dest.c_str());
    ProbeLog log = server.StopAfterDisconnects(1, 5000);

    EXPECT_EQ(r, 300);
    EXPECT_EQ(log.executes, (std::vector<std::string>{Sent("[CreateGroup(Cut)]")}));
    EXPECT_EQ(log.lDisconnects, 1);
}

class NoCommands : public ::testing::TestWithParam<const char *> {};

/* Count absent, 0 or negative: the conversation is still opened and
   closed, and no command goes out although entry 700 is there. */
TEST_P(NoCommands, OpensAndClosesOnly)
{
    ASSERT_NE(UseManifest(GetParam()), nullptr);
    ProbeServer server(szProbeService);
    ASSERT_TRUE(server.Registered());

    int r = AddToProgMan("C:\\Apps\\");
    ProbeLog log = server.StopAfterDisconnects(1, 5000);

    EXPECT_EQ(r, 0);
    EXPECT_EQ(log.topics.size(), 1u);
    EXPECT_TRUE(log.executes.empty());
    EXPECT_EQ(log.lDisconnects, 1);
}

INSTANTIATE_TEST_SUITE_P(Counts, NoCommands,
                         ::testing::Values("manifest_dde_zero", "manifest_dde_negative",
                                           "manifest_dde_nocount"));

TEST(AddToProgMan, NobodyServingTheServiceGives304)
{
    ASSERT_NE(UseManifest("manifest_dde_noserver"), nullptr);
    ExpectCounterSeesInstances();
    int nBefore = DdeInstanceCount();

    int r = AddToProgMan("C:\\Apps\\");
    int nAfter = DdeInstanceCount();

    EXPECT_EQ(r, 304);
    /* The library instance is released on this way out too. */
    EXPECT_EQ(nAfter, nBefore);

    /* The code doubles as message ID: the manifest's own text is shown. */
    BoxAnswerer answerer({IDOK}, GetCurrentProcessId(), 1500);
    ErrBox(static_cast<UINT>(r), "Attempt to make icons failed.");
    std::vector<SeenBox> seen = answerer.Stop();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].text, "No shell to talk to.");
}

/* The probe answers connects that name no service, as a running server
   may: a service name too long for the library gives no handle, and must
   not turn into such a connect. */
TEST(AddToProgMan, ServiceNameTooLongReachesNobody)
{
    ASSERT_NE(UseManifest("manifest_dde_longservice"), nullptr);
    ProbeServer server(szProbeService);
    ASSERT_TRUE(server.Registered());
    /* The probe does take a connect without names, or this proves nothing. */
    {
        DWORD dwInst = 0;
        ASSERT_EQ(DdeInitializeA(&dwInst, DdeCallback, APPCMD_CLIENTONLY, 0),
                  static_cast<UINT>(DMLERR_NO_ERROR));
        HCONV hConv = DdeConnect(dwInst, NULL, NULL, NULL);
        EXPECT_NE(hConv, nullptr);
        if (hConv)
            DdeDisconnect(hConv);
        DdeUninitialize(dwInst);
    }

    int r = AddToProgMan("C:\\Apps\\");
    ProbeLog log = server.StopAfterDisconnects(2, 2000);

    EXPECT_EQ(r, 304);
    EXPECT_TRUE(log.executes.empty());
    EXPECT_EQ(log.nConversations, 1);   /* the check above, nothing else */
}

/* ---- Against the platform's shell ------------------------------------------ */

std::string Lower(std::string s)
{
    for (char &c : s)
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    return s;
}

class ShellGroup : public ::testing::Test {
protected:
    void SetUp() override
    {
        CoInitialize(NULL);
        ASSERT_TRUE(WaitForProgramManager(30000)) << "the shell does not answer Program Manager DDE";
    }
    void TearDown() override { CoUninitialize(); }
};

TEST_F(ShellGroup, ItemLinksPointIntoTheDestination)
{
    ASSERT_NE(UseManifest("manifest_dde_shell"), nullptr);
    std::string group = ProgramsDir() + "Quarnel Dde Test\\";
    RemoveTree(group);
    std::string dest = ScratchDir("dde_shell");
    ASSERT_TRUE(WriteBytes(dest + "tool.exe", "MZ tool"));
    CreateDirectoryA((dest + "bin").c_str(), NULL);
    ASSERT_TRUE(WriteBytes(dest + "bin\\second.exe", "MZ second"));

    int r = AddToProgMan(dest.c_str());

    EXPECT_EQ(r, 0);
    ASSERT_TRUE(DirExists(group));
    EXPECT_EQ(Lower(LinkTarget(group + "Quarnel Tool.lnk")), Lower(dest + "tool.exe"));
    /* The shell refuses an item whose program is missing; the commands
       after it are sent all the same. */
    EXPECT_FALSE(FileExists(group + "Ghost.lnk"));
    EXPECT_EQ(Lower(LinkTarget(group + "Second Tool.lnk")), Lower(dest + "bin\\second.exe"));
    RemoveTree(group);
}

/* A destination with blanks, parentheses and a comma, as "Program Files
   (x86)" or a folder the user names: in double quotes the expanded path is
   one parameter, and a quoted group name or title keeps its commas and
   parentheses; out of quotes the same item is refused. */
TEST_F(ShellGroup, QuotedParametersHoldBlanksCommasAndParentheses)
{
    ASSERT_NE(UseManifest("manifest_dde_quoted"), nullptr);
    const char szGroup[] = "Quarnel (Quoted) Test";
    std::string group = ProgramsDir() + szGroup + "\\";
    RemoveTree(group);
    std::string dest = ScratchDir("dde quoted (x86), A");
    ASSERT_TRUE(WriteBytes(dest + "tool.exe", "MZ tool"));

    int r = AddToProgMan(dest.c_str());

    EXPECT_EQ(r, 0);
    ASSERT_TRUE(DirExists(group));
    EXPECT_EQ(Lower(LinkTarget(group + "Quoted Tool, (x86).lnk")), Lower(dest + "tool.exe"));
    EXPECT_FALSE(FileExists(group + "Unquoted Tool.lnk"));
    RemoveTree(group);
}

TEST_F(ShellGroup, CommandsAfterAMissingOneAreNotSent)
{
    ASSERT_NE(UseManifest("manifest_dde_shellgap"), nullptr);
    std::string sent = ProgramsDir() + "Quarnel Gap Test";
    std::string never = ProgramsDir() + "Quarnel Gap Never";
    RemoveTree(sent);
    RemoveTree(never);

    int r = AddToProgMan("C:\\Apps\\");

    EXPECT_EQ(r, 300);
    EXPECT_TRUE(DirExists(sent));
    EXPECT_FALSE(DirExists(never));
    RemoveTree(sent);
    RemoveTree(never);
}

} // namespace
