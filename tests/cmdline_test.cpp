/* The built installer started with exact command lines: a tail names a
 * package script (quotes and all), a tail of blanks is no tail at all, and
 * the exit code is 0 whatever the builder did. */
#include <gtest/gtest.h>

#include <string>

#include "resource.h"
#include "testsupport.h"

namespace {

const char szScript[] = "*### PACKAGE# \"out.pkg\" ITEM# \"a3.bin\" ITEM# \"b5.bin\"";
const std::string sPackage("\x03\x00\x00\x00" "abc" "\x05\x00\x00\x00" "defgh", 16);

class CommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_exe = ExeDir() + "..\\quarnel.exe";
        ASSERT_TRUE(FileExists(m_exe)) << m_exe;
        std::string name = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        m_dir = ScratchDir("cmdline_" + name);
        ASSERT_TRUE(WriteBytes(m_dir + "a3.bin", "abc"));
        ASSERT_TRUE(WriteBytes(m_dir + "b5.bin", "defgh"));
        ASSERT_TRUE(WriteBytes(m_dir + "script.txt", szScript));
        m_pi = PROCESS_INFORMATION();
    }
    void TearDown() override
    {
        if (m_pi.hProcess) {
            if (WaitForSingleObject(m_pi.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(m_pi.hProcess, 1);
            CloseHandle(m_pi.hThread);
            CloseHandle(m_pi.hProcess);
        }
    }
    void Start(const std::string &cmdLine)
    {
        ASSERT_TRUE(StartProgram(cmdLine, m_dir, &m_pi)) << cmdLine;
    }
    /* Exit code after the process ended by itself, -1 when it did not. */
    int ExitCode(DWORD dwMs)
    {
        if (WaitForSingleObject(m_pi.hProcess, dwMs) != WAIT_OBJECT_0)
            return -1;
        DWORD dwCode = 1;
        GetExitCodeProcess(m_pi.hProcess, &dwCode);
        return static_cast<int>(dwCode);
    }
    std::string m_exe, m_dir;
    PROCESS_INFORMATION m_pi;
};

} // namespace

TEST_F(CommandLine, ScriptNameBuildsThePackage)
{
    const std::string lines[] = {
        m_exe + " script.txt",
        "\"" + m_exe + "\" script.txt",
        "\"" + m_exe + "\"script.txt",
        m_exe + " \t  script.txt",
    };
    for (const std::string &line : lines) {
        SCOPED_TRACE(line);
        DeleteFileA((m_dir + "out.pkg").c_str());
        Start(line);
        HANDLE hProcess = m_pi.hProcess;
        /* A box would keep the process from ending. */
        EXPECT_EQ(ExitCode(30000), 0);
        EXPECT_EQ(ReadBytes(m_dir + "out.pkg"), sPackage);
        CloseHandle(m_pi.hThread);
        CloseHandle(hProcess);
        m_pi = PROCESS_INFORMATION();
    }
}

TEST_F(CommandLine, QuotedScriptNameKeepsItsQuotes)
{
    Start(m_exe + " \"script.txt\"");
    HWND hBox = WaitForMessageBox(m_pi.dwProcessId, 30000);
    ASSERT_NE(hBox, (HWND)NULL) << "the builder should fail on the quoted name";
    SeenBox box = ReadMessageBox(hBox);
    EXPECT_EQ(box.caption, "Installer");
    EXPECT_EQ(box.text, "Didn't work.  Sorry.");
    EXPECT_EQ(box.icon, "error");
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.hOwner, (HWND)NULL);
    PressButton(hBox, IDOK);
    EXPECT_EQ(ExitCode(30000), 0);
    EXPECT_FALSE(FileExists(m_dir + "out.pkg"));
}

TEST_F(CommandLine, FailedBuildStillExitsWithZero)
{
    Start(m_exe + " missing.txt");
    HWND hBox = WaitForMessageBox(m_pi.dwProcessId, 30000);
    ASSERT_NE(hBox, (HWND)NULL);
    EXPECT_EQ(ReadMessageBox(hBox).text, "Didn't work.  Sorry.");
    PressButton(hBox, IDOK);
    EXPECT_EQ(ExitCode(30000), 0);
}

/* A tail of blanks starts the installer: its destination dialog opens,
   where the builder would try to open a script, fail and say so.  The
   dialog is not the subject here; the process is ended by its handle. */
TEST_F(CommandLine, BlankTailIsTheInstaller)
{
    const std::string lines[] = {m_exe + "   ", "\"" + m_exe + "\" \t "};
    for (const std::string &line : lines) {
        SCOPED_TRACE(line);
        Start(line);
        HANDLE hProcess = m_pi.hProcess;
        EXPECT_NE(WaitForDialog("Install", m_pi.dwProcessId, IDC_DESTDIR, 10000), (HWND)NULL);
        EXPECT_EQ(WaitForMessageBox(m_pi.dwProcessId, 0), (HWND)NULL);
        if (ExitCode(0) == -1)
            TerminateProcess(hProcess, 1);
        WaitForSingleObject(hProcess, 10000);
        CloseHandle(m_pi.hThread);
        CloseHandle(hProcess);
        m_pi = PROCESS_INFORMATION();
        EXPECT_FALSE(FileExists(m_dir + "out.pkg"));
    }
}
