/* docs_test.cpp - the documentation's examples, run: the README's worked
 * example command by command as a reader would type it, and every product
 * file snippet in docs/ loaded into a small product, so that neither can
 * drift from what the kit accepts. */
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>

#include "kit_product.h"
#include "kit_testutil.h"

namespace {

struct Block {
    std::string strLanguage; /* after the opening fence; empty for a plain block */
    std::string strText;
};

std::string ReadText(const std::string &strPath)
{
    Bytes v = ReadAll(strPath);
    return std::string(v.begin(), v.end());
}

/* The fenced blocks of a Markdown text, in order. */
std::vector<Block> FencedBlocks(const std::string &strMarkdown)
{
    std::vector<Block> v;
    Block *pOpen = nullptr;
    size_t nStart = 0;
    while (nStart < strMarkdown.size()) {
        size_t nEnd = strMarkdown.find('\n', nStart);
        if (nEnd == std::string::npos)
            nEnd = strMarkdown.size();
        std::string strLine = strMarkdown.substr(nStart, nEnd - nStart);
        nStart = nEnd + 1;
        if (strLine.compare(0, 3, "```") == 0) {
            if (pOpen) {
                pOpen = nullptr;
            } else {
                v.push_back(Block{strLine.substr(3), ""});
                pOpen = &v.back();
            }
        } else if (pOpen) {
            pOpen->strText += strLine + "\n";
        }
    }
    return v;
}

/* The README's section from its heading to the next heading of its level
   or above. */
std::string Section(const std::string &strMarkdown, const std::string &strHeading)
{
    size_t nStart = strMarkdown.find("\n" + strHeading + "\n");
    if (nStart == std::string::npos)
        return std::string();
    size_t nLevel = strHeading.find(' ');
    size_t nEnd = nStart + strHeading.size() + 2;
    for (nEnd = strMarkdown.find("\n#", nEnd); nEnd != std::string::npos; nEnd = strMarkdown.find("\n#", nEnd + 1))
        if (strMarkdown.find(' ', nEnd + 1) - (nEnd + 1) <= nLevel)
            break;
    return strMarkdown.substr(nStart, nEnd == std::string::npos ? std::string::npos : nEnd - nStart);
}

/* The worked example runs from the repository's top folder with the kit
   at build/host: here a scratch folder whose build/host/quarnel-kit is a
   link to the kit under test (which finds its stubs beside its real
   file).  Shell blocks run in order; a TOML block is the product file the
   last `-o FILE.toml` wrote, as edited by the reader; the CMake block is
   the other route, which needs the Windows trees and is built there. */
TEST(Docs, ReadmeWorkedExampleRunsAsWritten)
{
    std::string strSection = Section(ReadText(std::string(KIT_SOURCE_DIR) + "/README.md"), "### A worked example");
    ASSERT_FALSE(strSection.empty()) << "README.md has no section \"A worked example\"";
    std::vector<Block> vBlocks = FencedBlocks(strSection);
    ASSERT_GE(vBlocks.size(), 4u);
    ScratchCwd cwd;
    std::filesystem::create_directories("build/host");
    std::filesystem::create_symlink(KIT_TOOL, "build/host/quarnel-kit");
    std::string strProductFile;
    int nRun = 0;
    for (const Block &block : vBlocks) {
        if (block.strLanguage == "toml") {
            ASSERT_FALSE(strProductFile.empty()) << "a product file before any command wrote one";
            WriteText(strProductFile, block.strText);
            continue;
        }
        if (block.strLanguage != "sh")
            continue;
        std::smatch match;
        if (std::regex_search(block.strText, match, std::regex("-o (\\S+\\.toml)")))
            strProductFile = match[1];
        ToolRun run = RunCommand("set -e\n" + block.strText);
        nRun++;
        EXPECT_EQ(run.nExit, 0) << block.strText << "\n" << run.strOut;
        EXPECT_EQ(run.strOut.find("warning:"), std::string::npos) << block.strText << "\n" << run.strOut;
        EXPECT_EQ(run.strOut.find("error:"), std::string::npos) << block.strText << "\n" << run.strOut;
    }
    EXPECT_GE(nRun, 4) << "every command block is a shell block";
    EXPECT_TRUE(Exists("examples/tool/dist/quarnel.exe"));
    EXPECT_TRUE(Exists("examples/tool/TOOL.PKG")) << "the classic route's pack";
}

/* The tables a product file snippet defines, by their top-level name. */
std::set<std::string> TablesOf(const std::string &strToml)
{
    std::set<std::string> set;
    std::regex header("^\\[\\[?([a-z_]+)[.\\]]", std::regex::multiline);
    for (std::sregex_iterator it(strToml.begin(), strToml.end(), header), end; it != end; ++it)
        set.insert((*it)[1]);
    return set;
}

/* A snippet takes the place of the tables it defines in a small product
   that has the rest; the source files it names are made. */
std::string ProductAround(const std::string &strSnippet)
{
    const std::pair<const char *, const char *> aBase[] = {
        {"product", "[product]\nname = \"Doc\"\nversion = \"1.0\"\n"},
        {"install", "[install]\npackage = \"DOC.PKG\"\ndestination = 'C:\\DOC'\nsubdirectories = [\"DOCS\", 'DOCS\\EXTRA']\n"},
        {"item", "[[item]]\nsource = \"files/README.TXT\"\ndestination = '%DREADME.TXT'\n"},
    };
    std::set<std::string> setTables = TablesOf(strSnippet);
    std::string str;
    for (const auto &base : aBase)
        if (!setTables.count(base.first))
            str += base.second;
    return str + strSnippet;
}

TEST(Docs, EveryProductFileSnippetLoads)
{
    int nSnippets = 0;
    for (const auto &entry : std::filesystem::directory_iterator(std::string(KIT_SOURCE_DIR) + "/docs")) {
        if (entry.path().extension() != ".md")
            continue;
        for (const Block &block : FencedBlocks(ReadText(entry.path().string()))) {
            if (block.strLanguage != "toml")
                continue;
            nSnippets++;
            ScratchCwd cwd;
            WriteText("files/README.TXT", "read me");
            std::string strText = ProductAround(block.strText);
            std::regex source("source = [\"']([^\"']+)[\"']");
            for (std::sregex_iterator it(strText.begin(), strText.end(), source), end; it != end; ++it)
                WriteText((*it)[1], "bytes");
            WriteText("product.toml", strText);
            Product p;
            std::vector<std::string> v;
            EXPECT_TRUE(LoadProduct("product.toml", &p, &v)) << entry.path() << ":\n" << block.strText;
            for (const std::string &s : v)
                ADD_FAILURE() << entry.path() << ": " << s << "\nin:\n" << strText;
        }
    }
    EXPECT_GE(nSnippets, 7) << "docs/product-file.md shows every table";
}

} // namespace
