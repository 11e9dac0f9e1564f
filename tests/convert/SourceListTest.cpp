// The path a file row shows: the file name stays whole while the folders give way.
#include "convert/SourceList.h"

#include <gtest/gtest.h>

namespace mw {
namespace {

// Characters, not bytes: a room of n characters.
size_t Chars(const std::string& text) {
    size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

struct TCase {
    const char* Path;
    size_t Room;
    const char* Shown;
};

TEST(SourceList, ShortenRowPathKeepsTheFileName) {
    const TCase cases[] = {
        {"/home/ann/Videos/clip.mp4", 40, "/home/ann/Videos/clip.mp4"},
        // Folders after the first go first, from the left.
        {"/home/ann/Videos/Trips/2019/clip.mp4", 30, "/home/…/Trips/2019/clip.mp4"},
        {"/home/ann/Videos/Trips/2019/clip.mp4", 22, "/home/…/2019/clip.mp4"},
        {"/home/ann/Videos/Trips/2019/clip.mp4", 16, "/home/…/clip.mp4"},
        {"/home/ann/Videos/Trips/2019/clip.mp4", 12, "…/clip.mp4"},
        {"relative/dir/clip.mp4", 19, "relative/…/clip.mp4"},
        {"relative/dir/clip.mp4", 16, "…/clip.mp4"},
        // A name too long on its own loses its middle; the extension stays.
        {"/media/a_very_long_recording_name.mkv", 20, "…/a_very_lo…name.mkv"},
        {"a_very_long_recording_name.mkv", 16, "a_very_l…ame.mkv"},
        // Cuts never split a character.
        {"/home/ann/Видео/Поездки/клип.mp4", 20, "/home/…/клип.mp4"},
        {"/x/ääääääääää.mp3", 9, "…/ä…ä.mp3"},
        {"/x/clip.mp4", 1, "…/…"},
    };
    for (const TCase& c : cases) {
        const std::string shown =
            ShortenRowPath(c.Path, [&](const std::string& text) { return Chars(text) <= c.Room; });
        EXPECT_EQ(shown, c.Shown) << c.Path << " in " << c.Room;
    }
}

} // namespace
} // namespace mw
