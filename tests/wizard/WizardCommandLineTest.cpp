// The desktop program's arguments and its end-of-run notice: plain logic, no Qt.
#include "wizard/WizardCommandLine.h"
#include "wizard/RunNotice.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

TEST(WizardCommandLine, FilesOptionsAndAddresses) {
    struct TCase {
        std::vector<std::string> Args;
        std::vector<std::string> Files;
        std::vector<std::string> Refused;
        bool Help, Version;
        bool Error;
    };
    const TCase cases[] = {
        {{}, {}, {}, false, false, false},
        {{"a.avi", "/m/b.mp3", "../c.ogg"},
         {"/home/u/a.avi", "/m/b.mp3", "/home/c.ogg"},
         {},
         false,
         false,
         false},
        {{"file:///m/My%20Film.mkv", "file://localhost/m/x.mp4"},
         {"/m/My Film.mkv", "/m/x.mp4"},
         {},
         false,
         false,
         false},
        // Names with a colon are files, not addresses.
        {{"a:b.wav", "clip 1: intro.mp4"},
         {"/home/u/a:b.wav", "/home/u/clip 1: intro.mp4"},
         {},
         false,
         false,
         false},
        {{"https://example.com/v.mp4", "file://server/share/v.mp4", "file:///m/%zz.avi",
          "file:///m/a%00b.avi", "file:///m/v.mp4?x=1", "ftp://h/v.mp4"},
         {},
         {"https://example.com/v.mp4: not a local file", "file://server/share/v.mp4: not a local file",
          "file:///m/%zz.avi: not a local file", "file:///m/a%00b.avi: not a local file",
          "file:///m/v.mp4?x=1: not a local file", "ftp://h/v.mp4: not a local file"},
         false,
         false,
         false},
        {{"--version"}, {}, {}, false, true, false},
        {{"-h", "x.avi"}, {"/home/u/x.avi"}, {}, true, false, false},
        // After "--" everything is a file; before it an unknown option is an error, yet a later
        // --version still counts (Qt's own options are still there in the early look).
        {{"--", "--version", "-x.avi"}, {"/home/u/--version", "/home/u/-x.avi"}, {}, false, false, false},
        {{"-platform", "offscreen", "--version"}, {"/home/u/offscreen"}, {}, false, true, true},
        {{"--bogus"}, {}, {}, false, false, true},
    };
    for (const TCase& c : cases) {
        const TWizardCommandLine line = ParseWizardCommandLine(c.Args, "/home/u");
        const std::string what = c.Args.empty() ? "(none)" : c.Args[0];
        EXPECT_EQ(line.Files, c.Files) << what;
        EXPECT_EQ(line.Refused, c.Refused) << what;
        EXPECT_EQ(line.Help, c.Help) << what;
        EXPECT_EQ(line.Version, c.Version) << what;
        EXPECT_EQ(!line.Error.empty(), c.Error) << what << ": " << line.Error;
    }
}

TEST(RunNotice, OnlyWhenTheUserIsNotLookingAndWithTheSummaryCounts) {
    struct TCase {
        TWindowAttention Window;
        bool Notify;
    };
    const TCase cases[] = {
        {{true, false, true}, false},  // in front, active: the summary page says it all
        {{false, false, true}, true},  // behind another window
        {{true, true, true}, true},    // minimised (it may still hold the focus)
        {{false, false, false}, true}, // hidden
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ShouldNotifyRunEnd(c.Window), c.Notify)
            << c.Window.Active << c.Window.Minimised << c.Window.Visible;

    const TRunNotice conversion = RunEndNotice(TRunKind::Conversion, "Kestrel Video Joiner", 1, 0, 1);
    EXPECT_EQ(conversion.Summary, "Kestrel Video Joiner has finished the conversion.");
    EXPECT_EQ(conversion.Body, "Total files: 1\nSuccessed: 0\nFailed: 1");
    EXPECT_EQ(RunEndNotice(TRunKind::Download, "K", 3, 2, 1).Summary, "K has finished the downloading.");
}

} // namespace
} // namespace mw
