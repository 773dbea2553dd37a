/* drive_follow.cpp - the follow-up command: the installer starts it as it
 * ends, and the preview records its command line as started and ends it
 * (it belongs to the real machine, not to the throw-away one).  A process
 * the installer started is found by its parent; its command line is read
 * from its own memory, where the system keeps it. */
#include "drive.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <set>

static std::set<DWORD> handled;

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
        if (handled.insert(dwKid).second)
            EndTree(dwKid);
    HANDLE hProcess = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, dwPid);
    if (hProcess) {
        TerminateProcess(hProcess, 1);
        WaitForSingleObject(hProcess, 5000);
        CloseHandle(hProcess);
    }
}

void EndChildrenOf(DWORD dwParentPid, int nRun)
{
    for (DWORD dwKid : ChildrenOf(dwParentPid)) {
        if (!handled.insert(dwKid).second)
            continue;
        HANDLE hProcess = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, dwKid);
        std::wstring cmd;
        bool bRead = hProcess && CommandLineOf(hProcess, &cmd);
        if (hProcess)
            CloseHandle(hProcess);
        if (bRead)
            RecordEvent(nRun, "followup", AnsiOfWide(cmd));
        else
            RecordEvent(nRun, "note", "the installer started a process (" + std::to_string(dwKid) +
                                          ") that ended before its command line could be read");
        EndTree(dwKid);
    }
}
