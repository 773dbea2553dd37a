/* drive_follow.cpp - the follow-up command: the installer starts it as it
 * ends, and the preview records its command line as started and ends it
 * (it belongs to the real machine, not to the throw-away one).  A process
 * the installer started is found by its parent; its command line is read
 * from its own memory, where the system keeps it. */
#include "drive.h"

#include "watch.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <set>

/* Processes dealt with, by ID and start time: the system reuses an ended
   process's ID, and the next run's follow-up may well get it. */
typedef std::pair<DWORD, ULONGLONG> ProcessKey;
static std::set<ProcessKey> handled;

/* How long a new process may take to set itself up. */
static const DWORD READ_MS = 10000;

static bool FirstSeen(DWORD dwPid)
{
    ProcessKey key(dwPid, 0);
    HANDLE hProcess = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, dwPid);
    FILETIME ftStart, ftEnd, ftKernel, ftUser;
    if (hProcess && GetProcessTimes(hProcess, &ftStart, &ftEnd, &ftKernel, &ftUser))
        key.second = (static_cast<ULONGLONG>(ftStart.dwHighDateTime) << 32) | ftStart.dwLowDateTime;
    if (hProcess)
        CloseHandle(hProcess);
    return handled.insert(key).second;
}

/* The command line of a process, from its process parameters. */
static bool CommandLineOf(HANDLE hProcess, std::wstring *pText)
{
    PROCESS_BASIC_INFORMATION pbi = {};
    ULONG cb = 0;
    if (NtQueryInformationProcess(hProcess, ProcessBasicInformation, &pbi, sizeof(pbi), &cb) != 0 ||
        !pbi.PebBaseAddress)
        return false;
    PEB peb = {};
    RTL_USER_PROCESS_PARAMETERS params = {};
    SIZE_T cbRead = 0;
    if (!ReadProcessMemory(hProcess, pbi.PebBaseAddress, &peb, sizeof(peb), &cbRead) || !peb.ProcessParameters ||
        !ReadProcessMemory(hProcess, peb.ProcessParameters, &params, sizeof(params), &cbRead))
        return false;
    std::wstring text(params.CommandLine.Length / sizeof(WCHAR), L'\0');
    return text.empty() ||
           ReadProcessMemory(hProcess, params.CommandLine.Buffer, &text[0], params.CommandLine.Length, &cbRead)
               ? (pText->swap(text), true)
               : false;
}

static std::vector<DWORD> ChildrenOf(DWORD dwParentPid)
{
    std::vector<DWORD> kids;
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return kids;
    PROCESSENTRY32 pe = {};
    pe.dwSize = sizeof(pe);
    for (BOOL f = Process32First(hSnap, &pe); f; f = Process32Next(hSnap, &pe))
        if (pe.th32ParentProcessID == dwParentPid && pe.th32ProcessID != dwParentPid)
            kids.push_back(pe.th32ProcessID);
    CloseHandle(hSnap);
    return kids;
}

/* Ends a process and, first, whatever it started in turn. */
static void EndTree(DWORD dwPid)
{
    for (DWORD dwKid : ChildrenOf(dwPid))
        if (FirstSeen(dwKid))
            EndTree(dwKid);
    HANDLE hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, dwPid);
    if (hProcess) {
        TerminateProcess(hProcess, 1);
        WaitForSingleObject(hProcess, 5000);
        CloseHandle(hProcess);
    }
}

namespace {
struct Reading {
    HANDLE hProcess;
    std::wstring cmd;
};

/* A process just made sets up its parameters itself: until then there is
   nothing to read. */
bool CommandLineRead(void *pv)
{
    Reading *p = static_cast<Reading *>(pv);
    return CommandLineOf(p->hProcess, &p->cmd) && !p->cmd.empty();
}
} // namespace

void EndChildrenOf(DWORD dwParentPid, int nRun)
{
    for (DWORD dwKid : ChildrenOf(dwParentPid)) {
        if (!FirstSeen(dwKid))
            continue;
        Reading reading = {OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, dwKid),
                           std::wstring()};
        if (reading.hProcess && WaitUntil(CommandLineRead, &reading, READ_MS, reading.hProcess))
            RecordEvent(nRun, "followup", AnsiOfWide(reading.cmd));
        else
            RecordEvent(nRun, "note", "the installer started a process (" + std::to_string(dwKid) +
                                          ") whose command line could not be read");
        if (reading.hProcess)
            CloseHandle(reading.hProcess);
        EndTree(dwKid);
    }
}
