#include "EngineFixtures.h"

#include "engine/FFLoad.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace mw::test {

namespace {

namespace fs = std::filesystem;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteAll(const std::string& path, const std::string& data) {
    std::ofstream(path, std::ios::binary) << data;
}

void Ffmpeg(const std::string& args, const std::string& out) {
    int status = 0;
    RunCommand("ffmpeg -nostdin -v error -y " + args + " " + ShellQuote(out) + " 2>&1", status);
    if (status != 0) throw std::runtime_error("ffmpeg failed making " + out);
}

const std::string AvSource = "-f lavfi -i testsrc=size=320x240:rate=25:duration=2 "
                             "-f lavfi -i sine=frequency=440:duration=2 ";

// A clip of the given length for joining: small picture, MPEG-4 video and AAC audio.
std::string JoinSource(int seconds) {
    const std::string d = std::to_string(seconds);
    return "-f lavfi -i testsrc=size=160x120:rate=25:duration=" + d +
           " -f lavfi -i sine=frequency=440:duration=" + d + " -c:v mpeg4 -c:a aac -shortest -f mp4";
}

// The AVI's picture size fields (BITMAPINFOHEADER of the video stream) set to 100000 x 100000.
void MakeHugeDimensions(const std::string& out) {
    std::string data = ReadAll(Fixture("av.avi"));
    const size_t vids = data.find("vids");
    const size_t strf = data.find("strf", vids);
    if (vids == std::string::npos || strf == std::string::npos) throw std::runtime_error("no strf in av.avi");
    const unsigned char huge[4] = {0xA0, 0x86, 0x01, 0x00}; // 100000, little endian
    for (int i = 0; i < 4; ++i) {
        data[strf + 12 + i] = static_cast<char>(huge[i]);
        data[strf + 16 + i] = static_cast<char>(huge[i]);
    }
    WriteAll(out, data);
}

// Every 7th byte of the middle of the file overwritten: headers intact, frames damaged.
void MakeCorrupted(const std::string& out) {
    std::string data = ReadAll(Fixture("av.avi"));
    for (size_t i = 6000; i + 4000 < data.size(); i += 7)
        data[i] = static_cast<char>(0xFF);
    WriteAll(out, data);
}

uint32_t Crc32(const std::string& data) {
    uint32_t crc = 0xFFFFFFFFu;
    for (const unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string BigEndian32(uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
            static_cast<char>(v)};
}

std::string PngChunk(const std::string& type, const std::string& body) {
    return BigEndian32(static_cast<uint32_t>(body.size())) + type + body + BigEndian32(Crc32(type + body));
}

// A black 1-bit PNG of 8200 x 8200 (67 megapixels) in 8 MB, written directly: the ffmpeg tool
// would need half a minute and gigabytes to make a picture this large.
void MakeBigFramePng(const std::string& out) {
    constexpr uint32_t Side = 8200;
    const size_t rowBytes = 1 + (Side + 7) / 8; // filter byte + pixels
    const std::string raw(rowBytes * Side, '\0');
    // zlib stream of stored (uncompressed) blocks.
    std::string z = "\x78\x01";
    for (size_t at = 0; at < raw.size(); at += 65535) {
        const size_t n = std::min<size_t>(65535, raw.size() - at);
        z += static_cast<char>(at + n == raw.size() ? 1 : 0);
        z += {static_cast<char>(n & 0xFF), static_cast<char>(n >> 8), static_cast<char>(~n & 0xFF),
              static_cast<char>((~n >> 8) & 0xFF)};
        z.append(raw, at, n);
    }
    uint32_t a = 1, b = 0; // Adler-32 of the zero bytes
    for (size_t i = 0; i < raw.size(); ++i)
        b = (b + a) % 65521;
    z += BigEndian32((b << 16) | a);
    const std::string ihdr = BigEndian32(Side) + BigEndian32(Side) + std::string("\x01\x00\x00\x00\x00", 5);
    WriteAll(out, "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", ihdr) + PngChunk("IDAT", z) + PngChunk("IEND", ""));
}

// quadrant.mp4 with a "rotate" tag (counter-clockwise), which the muxer writes as a display matrix.
void Rotated(int degrees, const std::string& out) {
    Ffmpeg("-i " + ShellQuote(Fixture("quadrant.mp4")) +
               " -c copy -metadata:s:v:0 rotate=" + std::to_string(degrees) + " -f mp4",
           out);
}

// One second of pictures and sound for the join tests: size, frame rate, sample rate and channels
// vary by clip (an empty size: no pictures; a rate of 0: no sound).
void JoinClip(const std::string& size, int rate, int sampleRate, int channels, const std::string& out) {
    std::string args;
    if (!size.empty())
        args += "-f lavfi -i testsrc=size=" + size + ":rate=" + std::to_string(rate) + ":duration=1 ";
    if (sampleRate)
        args += "-f lavfi -i sine=frequency=440:duration=1:sample_rate=" + std::to_string(sampleRate) +
                " -ac " + std::to_string(channels) + " ";
    args += size.empty() ? "-c:a libmp3lame -f mp3" : "-c:v mpeg4 -c:a aac -f mp4";
    Ffmpeg(args, out);
}

struct TFixtureRow {
    const char* Name;
    std::function<void(const std::string& out)> Make;
};

const std::vector<TFixtureRow>& FixtureTable() {
    static const std::vector<TFixtureRow> rows = {
        {"av.avi",
         [](const std::string& o) {
             Ffmpeg(AvSource + "-c:v mpeg4 -g 12 -c:a libmp3lame -b:a 64k -shortest -f avi", o);
         }},
        {"a.mp3",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i sine=frequency=440:duration=2 -c:a libmp3lame -b:a 128k -f mp3", o);
         }},
        // Long enough that a run over it can be stopped halfway.
        {"long.mp3",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i sine=frequency=440:duration=300 -c:a libmp3lame -b:a 32k -f mp3", o);
         }},
        {"v.mp4",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v libx264 -pix_fmt yuv420p -g 10 "
                    "-f mp4",
                    o);
         }},
        {"onekey.mp4",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v libx264 -pix_fmt yuv420p -g "
                    "1000 -f mp4",
                    o);
         }},
        {"onekey.flv",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -c:v libx264 -pix_fmt yuv420p -g "
                    "1000 -f flv",
                    o);
         }},
        {"still.png",
         [](const std::string& o) { Ffmpeg("-f lavfi -i testsrc=size=64x48 -frames:v 1 -f image2", o); }},
        {"cover.mp3",
         [](const std::string& o) {
             Ffmpeg("-i " + ShellQuote(Fixture("a.mp3")) + " -i " + ShellQuote(Fixture("still.png")) +
                        " -map 0 -map 1 -c copy -disposition:v attached_pic -f mp3",
                    o);
         }},
        {"text.avi", [](const std::string& o) { WriteAll(o, "This is a text file, not a movie.\n"); }},
        {"empty.avi", [](const std::string& o) { WriteAll(o, ""); }},
        {"truncated.avi",
         [](const std::string& o) {
             const std::string d = ReadAll(Fixture("av.avi"));
             WriteAll(o, d.substr(0, d.size() / 2));
         }},
        {"truncated.mp4",
         [](const std::string& o) {
             const std::string d = ReadAll(Fixture("v.mp4"));
             WriteAll(o, d.substr(0, d.size() / 2));
         }},
        // The headers of av.avi and nothing of its frames: streams known, no packet.
        {"header-only.avi",
         [](const std::string& o) {
             const std::string d = ReadAll(Fixture("av.avi"));
             const size_t movi = d.find("movi");
             if (movi == std::string::npos) throw std::runtime_error("no movi in av.avi");
             WriteAll(o, d.substr(0, movi + 4));
         }},
        // Every byte of every video packet overwritten: no picture decodes; the audio is sound.
        {"video-undecodable.mkv",
         [](const std::string& o) {
             Ffmpeg("-i " + ShellQuote(Fixture("v.mp4")) +
                        " -f lavfi -i sine=duration=2 -map 0:v -map 1:a "
                        "-c:v copy -bsf:v noise=amount=1 -c:a libvorbis -shortest -f matroska",
                    o);
         }},
        // An MP3 whose header (Xing) promises 4 s of which 1 s is there.
        {"short-data.mp3",
         [](const std::string& o) {
             const std::string full = o + ".full.mp3";
             Ffmpeg("-f lavfi -i sine=frequency=440:duration=4 -c:a libmp3lame -q:a 6 -f mp3", full);
             const std::string d = ReadAll(full);
             fs::remove(full);
             WriteAll(o, d.substr(0, d.size() / 4));
         }},
        // Transcoding run fixtures.
        {"mono48k.wav",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i sine=frequency=440:sample_rate=48000:duration=2 -ac 1 -c:a pcm_s16le -f wav",
                    o);
         }},
        {"mono44k.wav",
         [](const std::string& o) {
             Ffmpeg(
                 "-f lavfi -i sine=frequency=440:sample_rate=44100:duration=1.5 -ac 1 -c:a pcm_s16le -f wav",
                 o);
         }},
        {"join10.mp4", [](const std::string& o) { Ffmpeg(JoinSource(10), o); }},
        {"join20.mp4", [](const std::string& o) { Ffmpeg(JoinSource(20), o); }},
        {"sizechange.m2v",
         [](const std::string& o) {
             const std::string big = o + ".big.m2v", small = o + ".small.m2v";
             Ffmpeg("-f lavfi -i testsrc=size=320x240:rate=25:duration=1 -c:v mpeg2video -f mpeg2video", big);
             Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -c:v mpeg2video -f mpeg2video",
                    small);
             WriteAll(o, ReadAll(big) + ReadAll(small));
             fs::remove(big);
             fs::remove(small);
         }},
        {"nonkey.ts",
         [](const std::string& o) {
             // Cut 0.2 s into a 10-picture group while keeping the pictures before the next key frame.
             Ffmpeg("-i " + ShellQuote(Fixture("v.mp4")) + " -ss 0.2 -c copy -copyinkf -f mpegts", o);
         }},
        {"corrupted.avi", MakeCorrupted},
        {"huge.avi", MakeHugeDimensions},
        {"bigframe.png", MakeBigFramePng},
        {"bigframe.mov",
         [](const std::string& o) {
             Ffmpeg("-i " + ShellQuote(Fixture("bigframe.png")) + " -c copy -f mov", o);
         }},
        // A tone on the left channel only; its decoder gives planar samples.
        {"left.mp3",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i sine=frequency=440:duration=1 -af \"pan=stereo|c0=c0|c1=0*c0\" "
                    "-c:a libmp3lame -b:a 128k -f mp3",
                    o);
         }},
        // Moving pictures woven from two fields each: every picture shows combing.
        // A song with its cover picture (a still whose "frame rate" is 90000).
        {"cover.m4a",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i sine=frequency=440:duration=1 -f lavfi -i color=red:size=8x14:duration=0.04 "
                    "-map 0 -map 1 -c:a aac -c:v mjpeg -frames:v 1 -disposition:v:0 attached_pic -f mp4",
                    o);
         }},
        // A film with a larger cover picture after it.
        {"film-cover.mp4",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=1 -f lavfi -i "
                    "color=blue:size=320x240:duration=0.04 -map 0 -map 1 -c:v:0 libx264 -pix_fmt yuv420p "
                    "-c:v:1 mjpeg -frames:v:1 1 -disposition:v:1 attached_pic -f mp4",
                    o);
         }},
        // Full HD noise: key frames far above 64 kB at any bit rate the presets use.
        {"hd-noise.mp4",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i \"testsrc2=size=1920x1080:rate=25:duration=0.4,noise=alls=15:allf=t\" "
                    "-c:v libx264 -preset ultrafast -pix_fmt yuv420p -f mp4",
                    o);
         }},
        // A folder: an HLS master playlist with 720p and 360p video variants and a separate
        // audio group, one-second segments (what today's video sites serve).
        {"hls",
         [](const std::string& o) {
             fs::create_directories(o);
             int status = 0;
             RunCommand("cd " + ShellQuote(o) +
                            " && ffmpeg -nostdin -v error -f lavfi -i testsrc=size=320x180:rate=25:duration=2 "
                            "-f lavfi -i sine=frequency=440:duration=2 -filter_complex "
                            "\"[0:v]split=2[a][b];[a]scale=1280:720[v720];[b]scale=640:360[v360]\" "
                            "-map \"[v720]\" -map \"[v360]\" -map 1:a -c:v libx264 -preset ultrafast "
                            "-pix_fmt yuv420p -g 25 -b:v:0 600k -b:v:1 250k -c:a aac -b:a 64k -f hls -hls_time 1 "
                            "-hls_playlist_type vod -master_pl_name master.m3u8 -var_stream_map "
                            "\"v:0,agroup:aud,name:720 v:1,agroup:aud,name:360 a:0,agroup:aud,name:audio\" "
                            "-hls_segment_filename '%v_%03d.ts' '%v.m3u8' 2>&1",
                        status);
             if (status != 0) throw std::runtime_error("ffmpeg failed making " + o);
          }},
        // Black with a white top-left quarter: any turn or flip of it shows.
        {"quadrant.mp4",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i \"color=black:size=160x120:rate=25:duration=1,drawbox=x=0:y=0:w=80:h=60:"
                    "color=white:t=fill\" -f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a aac "
                    "-shortest -f mp4",
                    o);
         }},
        // The same film with a display matrix (as phones write it) that turns it clockwise by 90,
        // 180 or 270 degrees when shown; the muxer's "rotate" tag counts the other way round.
        {"turn90.mp4", [](const std::string& o) { Rotated(270, o); }},
        {"turn180.mp4", [](const std::string& o) { Rotated(180, o); }},
        {"turn270.mp4", [](const std::string& o) { Rotated(90, o); }},
        {"j-base.mp4", [](const std::string& o) { JoinClip("160x120", 25, 44100, 1, o); }},
        {"j-big.mp4", [](const std::string& o) { JoinClip("320x240", 25, 44100, 1, o); }},
        {"j-30fps.mp4", [](const std::string& o) { JoinClip("160x120", 30, 44100, 1, o); }},
        {"j-48k.mp4", [](const std::string& o) { JoinClip("160x120", 25, 48000, 1, o); }},
        {"j-stereo.mp4", [](const std::string& o) { JoinClip("160x120", 25, 44100, 2, o); }},
        {"j-silent.mp4", [](const std::string& o) { JoinClip("160x120", 25, 0, 0, o); }},
        {"j-sound.mp3", [](const std::string& o) { JoinClip("", 0, 44100, 1, o); }},
        // Pictures and sound whose timestamps jump ten hours ahead after the first second.
        {"jump.mkv",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i testsrc=size=160x120:rate=25:duration=3 -f lavfi -i sine=duration=3 "
                    "-vf \"setpts=PTS+gte(T\\,1)*36000/TB\" -af \"asetpts=PTS+gte(T\\,1)*36000/TB\" "
                    "-c:v libx264 -preset ultrafast -c:a aac -vsync passthrough -f matroska",
                    o);
         }},
        // Stereo sound with a ten-minute gap after the first second.
        {"gap.mka",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i sine=duration=2 -ac 2 -af \"asetpts=PTS+gte(T\\,1)*600/TB\" -c:a pcm_s16le "
                    "-f matroska",
                    o);
         }},
        // Blocks of IMA ADPCM, several to a packet: one packet decodes into several frames.
        {"ima.wav",
         [](const std::string& o) {
             Ffmpeg("-f lavfi -i sine=duration=1 -ac 2 -c:a adpcm_ima_wav -f wav", o);
         }},
        // Sound with pictures whose every packet is noise: no picture can be decoded.
        {"badvideo.avi",
         [](const std::string& o) {
             Ffmpeg(
                 "-f lavfi -i testsrc=size=160x120:rate=25:duration=2 -f lavfi -i sine=duration=2 -c:v mjpeg "
                 "-bsf:v noise=amount=2 -c:a pcm_s16le -shortest -f avi",
                 o);
         }},
        {"interlaced.avi",
         [](const std::string& o) {
             Ffmpeg(
                 "-f lavfi -i \"testsrc=size=320x120:rate=50:duration=1,crop=160:120:t*160:0,tinterlace=4\" "
                 "-c:v mpeg4 -q:v 2 -f avi",
                 o);
         }},
    };
    return rows;
}

} // namespace

std::string ShellQuote(const std::string& text) {
    std::string q = "'";
    for (char c : text)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string RunCommand(const std::string& command, int& status) {
    std::string out;
    FILE* p = ::popen(command.c_str(), "r");
    if (!p) {
        status = -1;
        return out;
    }
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    const int rc = ::pclose(p);
    status = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string Fixture(const std::string& name) {
    const std::string dir = std::string(MW_TEST_BINARY_DIR) + "/test-fixtures/engine/";
    const std::string path = dir + name;
    if (fs::exists(path)) return path;
    fs::create_directories(dir);
    for (const auto& row : FixtureTable()) {
        if (name != row.Name) continue;
        // Test cases run as parallel processes: make under a private name, then rename atomically.
        const std::string ext = fs::path(name).extension().string();
        const std::string temp = dir + "tmp-" + std::to_string(::getpid()) + "-" + name + ext;
        row.Make(temp);
        // A folder cannot replace one another process made meanwhile: then that one serves.
        std::error_code ec;
        fs::rename(temp, path, ec);
        if (ec) {
            fs::remove_all(temp);
            if (!fs::exists(path)) throw std::runtime_error("cannot keep the fixture " + name);
        }
        return path;
    }
    throw std::runtime_error("no such fixture: " + name);
}

// CI clones elsewhere, with a copy of the folder beside the checkout.
std::string RealMediaFolder() {
    for (const std::string& dir :
         {std::string(MW_TEST_SOURCE_DIR) + "/../shared/media", std::string("/work/shared/media")})
        if (fs::is_directory(dir)) return dir;
    return "";
}

void LoadEngineLibraries() {
    std::string error;
    if (!LoadLibraries("", error)) throw std::runtime_error(error);
}

} // namespace mw::test
