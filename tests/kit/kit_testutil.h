/* kit_testutil.h - helpers of the quarnel-kit tests: a fresh working
 * directory per test (script names resolve against the current directory),
 * small file helpers, and running the built tool as a user would. */
#ifndef QUARNEL_KIT_TESTUTIL_H
#define QUARNEL_KIT_TESTUTIL_H

#include <stdio.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

typedef std::vector<unsigned char> Bytes;

/* A new empty directory that is the current directory while it lives. */
class ScratchCwd {
public:
    ScratchCwd()
    {
        namespace fs = std::filesystem;
        m_prev = fs::current_path();
        std::string strTemplate = (fs::temp_directory_path() / "kit-test-XXXXXX").string();
        m_dir = mkdtemp(&strTemplate[0]);
        fs::current_path(m_dir);
    }
    ~ScratchCwd()
    {
        std::filesystem::current_path(m_prev);
        std::error_code ec;
        std::filesystem::remove_all(m_dir, ec);
    }
    std::string Path(const std::string &strName) const { return (m_dir / strName).string(); }

private:
    std::filesystem::path m_prev, m_dir;
};

inline void WriteText(const std::string &strPath, const std::string &strText)
{
    std::filesystem::path p(strPath);
    if (p.has_parent_path())
        std::filesystem::create_directories(p.parent_path());
    std::ofstream(strPath, std::ios::binary) << strText;
}

inline void WriteBytesTo(const std::string &strPath, const Bytes &v)
{
    std::ofstream(strPath, std::ios::binary).write((const char *)v.data(), (std::streamsize)v.size());
}

inline Bytes ReadAll(const std::string &strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

inline bool Exists(const std::string &strPath)
{
    return std::filesystem::exists(strPath);
}

struct ToolRun {
    int nExit;
    std::string strOut; /* stdout and stderr together */
};

/* Runs a shell command line, its stdout and stderr together. */
inline ToolRun RunCommand(const std::string &strCommand)
{
    ToolRun run{-1, ""};
    std::string strCmd = "(" + strCommand + ") 2>&1";
    FILE *pf = popen(strCmd.c_str(), "r");
    if (!pf)
        return run;
    char ach[4096];
    size_t cb;
    while ((cb = fread(ach, 1, sizeof ach, pf)) > 0)
        run.strOut.append(ach, cb);
    int nStatus = pclose(pf);
    run.nExit = WIFEXITED(nStatus) ? WEXITSTATUS(nStatus) : -1;
    return run;
}

/* Runs the built quarnel-kit with the given argument text (shell syntax). */
inline ToolRun RunTool(const std::string &strArgs)
{
    return RunCommand(std::string(KIT_TOOL) + " " + strArgs);
}

/* How often strPart occurs in str. */
inline size_t CountOccurrences(const std::string &str, const std::string &strPart)
{
    size_t n = 0;
    for (size_t i = str.find(strPart); i != std::string::npos; i = str.find(strPart, i + 1))
        n++;
    return n;
}

#endif
