#include "ExtractorSite.h"

#include "EngineFixtures.h"
#include "download/ExtractorProgram.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace mw::test {

namespace fs = std::filesystem;

namespace {
std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
} // namespace

std::string AddHlsVideo(TFakeVideoSite& site, const std::string& id, const std::string& titleHtml,
                        const std::map<std::string, TFakeResponse>& overrides) {
    for (const auto& entry : fs::directory_iterator(Fixture("hls"))) {
        const std::string name = entry.path().filename().string();
        TFakeResponse r;
        r.Body = ReadFile(entry.path().string());
        r.ContentType = name.ends_with(".m3u8") ? "application/vnd.apple.mpegurl" : "video/mp2t";
        const auto o = overrides.find(name);
        site.Set("/" + id + "/" + name, o == overrides.end() ? r : o->second);
    }
    TFakeResponse page;
    page.ContentType = "text/html; charset=utf-8";
    page.Body = "<!DOCTYPE html><html><head><title>" + titleHtml +
                "</title></head><body><video controls><source src=\"master.m3u8\" "
                "type=\"application/x-mpegURL\"></video></body></html>";
    site.Set("/" + id + "/watch.html", page);
    return site.URL("/" + id + "/watch.html");
}

std::string AddPlainPage(TFakeVideoSite& site, const std::string& id) {
    TFakeResponse page;
    page.ContentType = "text/html; charset=utf-8";
    page.Body = "<!DOCTYPE html><html><head><title>Nothing here</title></head><body><p>Text only.</p></body></html>";
    site.Set("/" + id + "/plain.html", page);
    return site.URL("/" + id + "/plain.html");
}

TProbeFacts ProbeFile(const std::string& path) {
    int status = 0;
    const std::string out = RunCommand("ffprobe -v error -show_entries stream=codec_type,height:format=duration,"
                                       "format_name -of default=noprint_wrappers=1 " +
                                           ShellQuote(path) + " 2>/dev/null",
                                       status);
    TProbeFacts f;
    for (size_t at = 0; at < out.size();) {
        const size_t end = out.find('\n', at);
        const std::string line = out.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? out.size() : end + 1;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "codec_type" && value == "video") f.Video = true;
        if (key == "codec_type" && value == "audio") f.Audio = true;
        if (key == "height" && value != "N/A") f.Height = std::max(f.Height, std::stoi(value));
        if (key == "duration" && value != "N/A") f.DurationS = std::stod(value);
        if (key == "format_name") f.Format = value;
    }
    return f;
}

std::string WriteScript(const TTempDir& dir, const std::string& name, const std::string& body) {
    const std::string path = dir.Write(name, "#!/bin/sh\n" + body);
    ::chmod(path.c_str(), 0755);
    return path;
}

bool ProcessGroupGone(int pgid, int waitMs) {
    if (pgid <= 0) return false;
    for (int waited = 0;; waited += 20) {
        bool alive = false;
        for (const auto& entry : fs::directory_iterator("/proc")) {
            const std::string pid = entry.path().filename().string();
            if (pid.find_first_not_of("0123456789") != std::string::npos) continue;
            const std::string stat = ReadFile(entry.path().string() + "/stat");
            // pid (comm) state ppid pgrp ...; the name may hold anything, so read after its ")".
            const size_t close = stat.rfind(')');
            if (close == std::string::npos) continue;
            char state = 0;
            int ppid = 0, pgrp = 0;
            if (std::sscanf(stat.c_str() + close + 1, " %c %d %d", &state, &ppid, &pgrp) == 3 && pgrp == pgid &&
                state != 'Z' && state != 'X')
                alive = true;
        }
        if (!alive) return true;
        if (waited >= waitMs) return false;
        ::usleep(20000);
    }
}

std::string RealExtractor() {
    return FindProgramOnPath(ExtractorName);
}

} // namespace mw::test
