// Pages for the extractor program on the fake site: an HTML5 video page over the HLS fixture
// (720p and 360p variants with a separate audio group, made by the ffmpeg tool), pages without
// media, and small stand-in programs for what the real extractor cannot be made to do offline.
// Outputs are checked with ffprobe.
#pragma once

#include "FakeVideoSite.h"
#include "TempDir.h"

#include <map>
#include <string>

namespace mw::test {

// Publishes the HLS fixture under /<id>/ with a watch page titled `title` (HTML as given, so
// entities work) and returns the page's link. `overrides` replaces files of the set by name
// ("720_000.ts" -> a 404).
std::string AddHlsVideo(TFakeVideoSite& site, const std::string& id, const std::string& titleHtml,
                        const std::map<std::string, TFakeResponse>& overrides = {});
// A page without any media.
std::string AddPlainPage(TFakeVideoSite& site, const std::string& id);

struct TProbeFacts {
    bool Video = false, Audio = false;
    int Height = 0;
    double DurationS = 0;
    std::string Format;
};
TProbeFacts ProbeFile(const std::string& path);

// An executable shell script in the folder; returns its path.
std::string WriteScript(const TTempDir& dir, const std::string& name, const std::string& body);

// True once no living process (zombies aside) is left in the process group, waiting up to waitMs.
bool ProcessGroupGone(int pgid, int waitMs = 2000);

// The extractor the tests run: the real one on PATH; "" when it is not installed.
std::string RealExtractor();

} // namespace mw::test
