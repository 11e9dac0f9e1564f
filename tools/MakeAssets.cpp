// Build step: synthesises the two completion sounds, so the repository holds no opaque binaries (the
// icon is rendered from its SVG source by mw-render-artwork).
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

void Put16(std::string& s, uint16_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>(v >> 8);
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, static_cast<uint16_t>(v & 0xFFFF));
    Put16(s, static_cast<uint16_t>(v >> 16));
}

// 16-bit mono PCM tone sweeping from f0 to f1 Hz with a soft start and end.
std::string Tone(double f0, double f1, double seconds) {
    const uint32_t rate = 22050;
    const uint32_t n = static_cast<uint32_t>(rate * seconds);
    std::string data;
    double phase = 0;
    const double pi = std::acos(-1.0);
    for (uint32_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        const double f = f0 + (f1 - f0) * t;
        phase += 2 * pi * f / rate;
        const double envelope = std::min(1.0, std::min(t, 1.0 - t) * 20.0);
        Put16(data, static_cast<uint16_t>(static_cast<int16_t>(std::sin(phase) * envelope * 12000)));
    }
    std::string wav = "RIFF";
    Put32(wav, static_cast<uint32_t>(36 + data.size()));
    wav += "WAVEfmt ";
    Put32(wav, 16);
    Put16(wav, 1);
    Put16(wav, 1);
    Put32(wav, rate);
    Put32(wav, rate * 2);
    Put16(wav, 2);
    Put16(wav, 16);
    wav += "data";
    Put32(wav, static_cast<uint32_t>(data.size()));
    return wav + data;
}

bool Write(const std::string& path, const std::string& bytes) {
    std::ofstream o(path, std::ios::binary | std::ios::trunc);
    o << bytes;
    return static_cast<bool>(o.flush());
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: mw-make-assets RUN_FOLDER\n");
        return 2;
    }
    const std::string dir = argv[1];
    const bool ok = Write(dir + "/sounds/done.wav", Tone(523.0, 1046.0, 0.45)) &&
                    Write(dir + "/sounds/fail.wav", Tone(660.0, 220.0, 0.6));
    if (!ok) std::fprintf(stderr, "mw-make-assets: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
