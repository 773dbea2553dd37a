/* drive_record.cpp - drive.tsv: one record a line, fields separated by a
 * tab, every text in UTF-8 and escaped, so that a text with a line break
 * or a tab keeps its line.  Written as the run goes, so that whatever was
 * seen before a failure is still there. */
#include "drive.h"

#include <stdio.h>

#include "logic.h"

static FILE *pRecords = NULL;

bool OpenRecords(const std::string &outDir)
{
    std::string path = outDir;
    if (!path.empty() && path.back() != '\\')
        path.push_back('\\');
    pRecords = fopen((path + "drive.tsv").c_str(), "wb");
    return pRecords != NULL;
}

void CloseRecords()
{
    if (pRecords)
        fclose(pRecords);
    pRecords = NULL;
}

static std::wstring WideOf(const std::string &text, UINT uCodePage)
{
    int n = MultiByteToWideChar(uCodePage, 0, text.data(), static_cast<int>(text.size()), NULL, 0);
    std::wstring wide(n > 0 ? n : 0, L'\0');
    if (n > 0)
        MultiByteToWideChar(uCodePage, 0, text.data(), static_cast<int>(text.size()), &wide[0], n);
    return wide;
}

static std::string BytesOf(const std::wstring &wide, UINT uCodePage)
{
    int n = WideCharToMultiByte(uCodePage, 0, wide.data(), static_cast<int>(wide.size()), NULL, 0, NULL, NULL);
    std::string text(n > 0 ? n : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(uCodePage, 0, wide.data(), static_cast<int>(wide.size()), &text[0], n, NULL, NULL);
    return text;
}

std::string AnsiOfWide(const std::wstring &text)
{
    return BytesOf(text, CP_ACP);
}

/* A field already in UTF-8, escaped. */
static std::string Escaped(const std::string &utf8)
{
    std::string out(EscapeRecordField(utf8.c_str(), NULL, 0) + 1, '\0');
    out.resize(EscapeRecordField(utf8.c_str(), &out[0], out.size()));
    return out;
}

void WriteRecord(const char *pszKind, const std::vector<std::string> &fields)
{
    if (!pRecords)
        return;
    std::string line = pszKind;
    for (const std::string &field : fields)
        line += "\t" + Escaped(BytesOf(WideOf(field, CP_ACP), CP_UTF8));
    line += "\n";
    fwrite(line.data(), 1, line.size(), pRecords);
    fflush(pRecords);
}

void RecordEvent(int nRun, const char *pszKind, const std::string &text)
{
    WriteRecord("event", {std::to_string(nRun), pszKind, text});
}
