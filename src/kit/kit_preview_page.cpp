/* kit_preview_page.cpp - the preview's two outputs: index.html, one page
 * with every screen in the order the installer showed it (findings drawn
 * over the pictures) and the installed result as tables, and report.json,
 * the same facts for a CI job.  Both need nothing from the network. */
#include <stdio.h>

#include "kit_preview.h"

namespace {

std::string Html(const std::string &str)
{
    std::string s;
    for (char c : str) {
        switch (c) {
        case '&': s += "&amp;"; break;
        case '<': s += "&lt;"; break;
        case '>': s += "&gt;"; break;
        case '"': s += "&quot;"; break;
        default: s += c;
        }
    }
    return s;
}

std::string Json(const std::string &str)
{
    std::string s = "\"";
    for (char c : str) {
        unsigned char u = (unsigned char)c;
        if (c == '"' || c == '\\') {
            s += '\\';
            s += c;
        } else if (u < 0x20) {
            char sz[8];
            snprintf(sz, sizeof sz, "\\u%04x", u);
            s += sz;
        } else {
            s += c;
        }
    }
    return s + "\"";
}

std::string Hex(uint32_t u)
{
    char sz[16];
    snprintf(sz, sizeof sz, "%08x", u);
    return sz;
}

const char *KindName(PreviewFindingKind kind)
{
    switch (kind) {
    case PF_ITEM: return "item";
    case PF_INI: return "ini";
    case PF_SHORTCUT: return "shortcut";
    default: return "clipped";
    }
}

std::string Px(int n)
{
    return std::to_string(n) + "px";
}

} // namespace

std::string PreviewSummary(const PreviewResult &r)
{
    return std::to_string(r.log.vScreens.size()) + " screens, " + std::to_string(r.vItems.size()) + " items, " +
           std::to_string(r.vFindings.size()) + (r.vFindings.size() == 1 ? " finding" : " findings");
}

namespace {

const char *const pszStyle =
    "body{font-family:sans-serif;margin:1.5em;color:#222}"
    "table{border-collapse:collapse;margin:.5em 0 1.5em}"
    "td,th{border:1px solid #bbb;padding:2px 6px;text-align:left;vertical-align:top;font-size:90%}"
    ".shot{position:relative;display:inline-block;border:1px solid #888}"
    ".shot img{display:block}"
    ".mark{position:absolute;box-sizing:border-box;border:2px solid #e00020}"
    ".crop{display:inline-block;border:2px solid #e00020;background-repeat:no-repeat}"
    ".bad{color:#b00018;font-weight:bold}"
    ".ok{color:#176f2c}"
    "pre{white-space:pre-wrap;margin:0}";

void AddScreen(const DriveScreen &s, std::string *pstr)
{
    std::string &o = *pstr;
    o += "<h3 id=\"screen" + std::to_string(s.n) + "\">" + std::to_string(s.n) + ". " + Html(s.strCaption) +
         " <small>(install " + std::to_string(s.nRun) + ", " + Html(s.strClass) + ")</small></h3>\n";
    o += "<div class=\"shot\"><img src=\"" + Html(s.strPng) + "\" width=\"" + std::to_string(s.w) + "\" height=\"" +
         std::to_string(s.h) + "\" alt=\"" + Html(s.strCaption) + "\">";
    for (const DriveControl &c : s.vControls)
        if (c.fClipped)
            o += "<div class=\"mark\" title=\"text does not fit\" style=\"left:" + Px(c.x) + ";top:" + Px(c.y) +
                 ";width:" + Px(c.w) + ";height:" + Px(c.h) + "\"></div>";
    o += "</div>\n<table><tr><th>ID</th><th>class</th><th>text</th><th>fits</th></tr>\n";
    for (const DriveControl &c : s.vControls) {
        o += "<tr><td>" + std::to_string(c.nId) + "</td><td>" + Html(c.strClass) + "</td><td><pre>" +
             Html(c.strText) + "</pre></td><td>";
        if (c.fClipped)
            o += "<span class=\"bad\">no: needs " + std::to_string(c.nTextW) + "&times;" + std::to_string(c.nTextH) +
                 ", has " + std::to_string(c.w) + "&times;" + std::to_string(c.h) + "</span><br>" +
                 "<span class=\"crop\" style=\"width:" + Px(c.w) + ";height:" + Px(c.h) + ";background-image:url('" +
                 Html(s.strPng) + "');background-position:" + Px(-c.x) + " " + Px(-c.y) + "\"></span>";
        else
            o += "<span class=\"ok\">yes</span>";
        o += "</td></tr>\n";
    }
    o += "</table>\n";
}

void AddInstalled(const PreviewResult &r, std::string *pstr)
{
    std::string &o = *pstr;
    o += "<h2>Installed files</h2>\n<table><tr><th>#</th><th>name</th><th>path</th><th>size</th><th>CRC-32</th>"
         "<th>date</th><th>product says</th></tr>\n";
    for (const ItemState &i : r.vItems) {
        bool fOk = i.fFound && i.nSize == i.nWantSize && i.uCrc == i.uWantCrc &&
                   (i.strWantDate.empty() || i.strDate == i.strWantDate);
        o += "<tr class=\"" + std::string(fOk ? "ok" : "bad") + "\"><td>" + std::to_string(i.nIndex) + "</td><td>" +
             Html(i.strName) + "</td><td>" + Html(i.strDest) + "</td>";
        if (i.fFound)
            o += "<td>" + std::to_string(i.nSize) + "</td><td>" + Hex(i.uCrc) + "</td><td>" + i.strDate + "</td>";
        else
            o += "<td colspan=\"3\">not installed</td>";
        o += "<td>" + std::to_string(i.nWantSize) + " bytes, " + Hex(i.uWantCrc) +
             (i.strWantDate.empty() ? std::string() : ", " + i.strWantDate) + "</td></tr>\n";
    }
    o += "</table>\n<h2>INI values</h2>\n<table><tr><th>file</th><th>section</th><th>key</th><th>value</th>"
         "<th>product writes</th><th>rule</th><th>before</th></tr>\n";
    for (const IniState &i : r.vIni)
        o += "<tr><td>" + Html(i.strFile) + "</td><td>" + Html(i.strSection) + "</td><td>" + Html(i.strKey) +
             "</td><td>" + (i.fFound ? Html(i.strGot) : "<span class=\"bad\">none</span>") + "</td><td>" +
             Html(i.strWant) + "</td><td>" + Html(i.strRule) + "</td><td>" +
             (i.fHadBefore ? Html(i.strBefore) : "") + "</td></tr>\n";
    o += "</table>\n<h2>Start Menu shortcuts</h2>\n<table><tr><th>shortcut</th><th>target</th><th>arguments</th>"
         "<th>working folder</th><th>product</th></tr>\n";
    for (const DriveShortcut &d : r.log.vShortcuts) {
        std::string strProduct;
        for (const ShortcutState &s : r.vShortcuts)
            if (s.fFound && s.strPath.size() == d.strPath.size() && s.strTarget == d.strTarget)
                strProduct = s.strCommand;
        o += "<tr><td>" + Html(d.strPath) + "</td><td>" + Html(d.strTarget) + "</td><td>" + Html(d.strArgs) +
             "</td><td>" + Html(d.strWorkDir) + "</td><td>" + Html(strProduct) + "</td></tr>\n";
    }
    for (const ShortcutState &s : r.vShortcuts)
        if (!s.fFound)
            o += "<tr class=\"bad\"><td>" + Html(s.strPath) + "</td><td colspan=\"3\">missing</td><td>" +
                 Html(s.strCommand) + "</td></tr>\n";
    o += "</table>\n<h2>Follow-up command</h2>\n<table><tr><th>product</th><td>" +
         Html(r.strFollowupWant.empty() ? "none" : r.strFollowupWant) + "</td></tr><tr><th>started</th><td>" +
         Html(r.strFollowupGot.empty() ? "none" : r.strFollowupGot) + "</td></tr></table>\n";
}

} // namespace

std::string FormatPreviewHtml(const PreviewFacts &facts, const PreviewResult &r)
{
    std::string o = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Preview: " + Html(facts.strTitle) +
                    "</title><style>" + pszStyle + "</style></head><body>\n";
    o += "<h1>Preview: " + Html(facts.strTitle) + "</h1>\n<p>" + std::to_string(facts.nBits) +
         "-bit installer under " + Html(facts.strWine) + ": " + PreviewSummary(r) + ".</p>\n";
    if (r.fFailed)
        o += "<p class=\"bad\">The install failed: " + Html(r.strFailure) + "</p>\n";
    o += "<h2>Findings</h2>\n";
    if (r.vFindings.empty())
        o += "<p class=\"ok\">None.</p>\n";
    o += "<ul>\n";
    for (const PreviewFinding &f : r.vFindings)
        o += "<li class=\"bad\">" +
             (f.kind == PF_CLIPPED ? "<a href=\"#screen" + std::to_string(f.nScreen) + "\">" + Html(f.strMessage) + "</a>"
                                   : Html(f.strMessage)) +
             "</li>\n";
    o += "</ul>\n<h2>Screens</h2>\n";
    for (const DriveScreen &s : r.log.vScreens)
        AddScreen(s, &o);
    o += "<h2>Events</h2>\n<table><tr><th>install</th><th>event</th><th>text</th></tr>\n";
    for (const DriveEvent &e : r.log.vEvents)
        o += "<tr><td>" + std::to_string(e.nRun) + "</td><td>" + Html(e.strKind) + "</td><td><pre>" + Html(e.strText) +
             "</pre></td></tr>\n";
    o += "</table>\n";
    AddInstalled(r, &o);
    return o + "</body></html>\n";
}

std::string FormatPreviewJson(const PreviewFacts &facts, const PreviewResult &r)
{
    std::string o = "{\n  \"product\": " + Json(facts.strTitle) + ",\n  \"bits\": " + std::to_string(facts.nBits) +
                    ",\n  \"wine\": " + Json(facts.strWine) + ",\n  \"failed\": " + (r.fFailed ? "true" : "false") +
                    ",\n  \"failure\": " + Json(r.strFailure) + ",\n  \"screens\": [";
    for (size_t i = 0; i < r.log.vScreens.size(); i++) {
        const DriveScreen &s = r.log.vScreens[i];
        o += std::string(i ? "," : "") + "\n    {\"n\": " + std::to_string(s.n) + ", \"run\": " +
             std::to_string(s.nRun) + ", \"png\": " + Json(s.strPng) + ", \"class\": " + Json(s.strClass) +
             ", \"caption\": " + Json(s.strCaption) + ", \"width\": " + std::to_string(s.w) +
             ", \"height\": " + std::to_string(s.h) + ", \"controls\": [";
        for (size_t c = 0; c < s.vControls.size(); c++) {
            const DriveControl &k = s.vControls[c];
            o += std::string(c ? ", " : "") + "{\"id\": " + std::to_string(k.nId) + ", \"class\": " + Json(k.strClass) +
                 ", \"rect\": [" + std::to_string(k.x) + ", " + std::to_string(k.y) + ", " + std::to_string(k.w) +
                 ", " + std::to_string(k.h) + "], \"text_size\": [" + std::to_string(k.nTextW) + ", " +
                 std::to_string(k.nTextH) + "], \"clipped\": " + (k.fClipped ? "true" : "false") +
                 ", \"text\": " + Json(k.strText) + "}";
        }
        o += "]}";
    }
    o += "\n  ],\n  \"events\": [";
    for (size_t i = 0; i < r.log.vEvents.size(); i++)
        o += std::string(i ? "," : "") + "\n    {\"run\": " + std::to_string(r.log.vEvents[i].nRun) +
             ", \"kind\": " + Json(r.log.vEvents[i].strKind) + ", \"text\": " + Json(r.log.vEvents[i].strText) + "}";
    o += "\n  ],\n  \"items\": [";
    for (size_t i = 0; i < r.vItems.size(); i++) {
        const ItemState &t = r.vItems[i];
        o += std::string(i ? "," : "") + "\n    {\"index\": " + std::to_string(t.nIndex) + ", \"name\": " +
             Json(t.strName) + ", \"path\": " + Json(t.strDest) + ", \"installed\": " + (t.fFound ? "true" : "false") +
             ", \"size\": " + std::to_string(t.nSize) + ", \"crc32\": " + Json(Hex(t.uCrc)) + ", \"date\": " +
             Json(t.strDate) + ", \"want_size\": " + std::to_string(t.nWantSize) + ", \"want_crc32\": " +
             Json(Hex(t.uWantCrc)) + ", \"want_date\": " + Json(t.strWantDate) + "}";
    }
    o += "\n  ],\n  \"ini\": [";
    for (size_t i = 0; i < r.vIni.size(); i++) {
        const IniState &t = r.vIni[i];
        o += std::string(i ? "," : "") + "\n    {\"file\": " + Json(t.strFile) + ", \"section\": " +
             Json(t.strSection) + ", \"key\": " + Json(t.strKey) + ", \"rule\": " + Json(t.strRule) +
             ", \"written\": " + (t.fFound ? "true" : "false") + ", \"value\": " + Json(t.strGot) +
             ", \"want\": " + Json(t.strWant) + ", \"before\": " + (t.fHadBefore ? Json(t.strBefore) : "null") + "}";
    }
    o += "\n  ],\n  \"shortcuts\": [";
    for (size_t i = 0; i < r.log.vShortcuts.size(); i++) {
        const DriveShortcut &d = r.log.vShortcuts[i];
        o += std::string(i ? "," : "") + "\n    {\"path\": " + Json(d.strPath) + ", \"target\": " +
             Json(d.strTarget) + ", \"args\": " + Json(d.strArgs) + ", \"workdir\": " + Json(d.strWorkDir) + "}";
    }
    o += "\n  ],\n  \"followup\": {\"want\": " + Json(r.strFollowupWant) + ", \"started\": " +
         Json(r.strFollowupGot) + "},\n  \"findings\": [";
    for (size_t i = 0; i < r.vFindings.size(); i++) {
        const PreviewFinding &f = r.vFindings[i];
        o += std::string(i ? "," : "") + "\n    {\"kind\": " + Json(KindName(f.kind)) + ", \"message\": " +
             Json(f.strMessage) + (f.kind == PF_CLIPPED ? ", \"screen\": " + std::to_string(f.nScreen) : "") + "}";
    }
    return o + "\n  ]\n}\n";
}
