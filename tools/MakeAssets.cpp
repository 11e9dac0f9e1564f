// Build step: draws the application icon and synthesises the two completion sounds, so the
// repository holds no opaque binaries.
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

// One 32-bit image of the icon: a blue disc with a white play triangle.
std::string IconImage(int size) {
    std::string bmp;
    Put32(bmp, 40);
    Put32(bmp, static_cast<uint32_t>(size));
    Put32(bmp, static_cast<uint32_t>(size * 2)); // colour rows plus mask rows
    Put16(bmp, 1);
    Put16(bmp, 32);
    for (int i = 0; i < 6; ++i)
        Put32(bmp, 0);
    const double c = (size - 1) / 2.0, r = size * 0.46;
    for (int y = size - 1; y >= 0; --y) { // bottom-up rows
        for (int x = 0; x < size; ++x) {
            const double dx = x - c, dy = y - c, d = std::sqrt(dx * dx + dy * dy);
            double alpha = std::clamp(r - d + 0.5, 0.0, 1.0);
            const double shade = 1.0 - (y / static_cast<double>(size)) * 0.45;
            uint8_t red = static_cast<uint8_t>(30 * shade), green = static_cast<uint8_t>(110 * shade),
                    blue = static_cast<uint8_t>(220 * shade);
            // Triangle pointing right, inside the disc.
            const double tx = (x - size * 0.36) / (size * 0.36), ty = std::fabs(dy) / (size * 0.25);
            if (tx >= 0 && tx <= 1 && ty <= 1 - tx) red = green = blue = 255;
            bmp += static_cast<char>(blue);
            bmp += static_cast<char>(green);
            bmp += static_cast<char>(red);
            bmp += static_cast<char>(static_cast<uint8_t>(alpha * 255));
        }
    }
    const int maskRow = ((size + 31) / 32) * 4;
    bmp.append(static_cast<size_t>(maskRow * size), '\0');
    return bmp;
}

std::string Icon() {
    const std::vector<int> sizes = {16, 32, 48};
    std::vector<std::string> images;
    for (int s : sizes)
        images.push_back(IconImage(s));
    std::string ico;
    Put16(ico, 0);
    Put16(ico, 1);
    Put16(ico, static_cast<uint16_t>(sizes.size()));
    uint32_t offset = static_cast<uint32_t>(6 + 16 * sizes.size());
    for (size_t i = 0; i < sizes.size(); ++i) {
        ico += static_cast<char>(sizes[i]);
        ico += static_cast<char>(sizes[i]);
        ico += '\0';
        ico += '\0';
        Put16(ico, 1);
        Put16(ico, 32);
        Put32(ico, static_cast<uint32_t>(images[i].size()));
        Put32(ico, offset);
        offset += static_cast<uint32_t>(images[i].size());
    }
    for (const std::string& img : images)
        ico += img;
    return ico;
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
    const bool ok = Write(dir + "/icon.ico", Icon()) &&
                    Write(dir + "/sounds/done.wav", Tone(523.0, 1046.0, 0.45)) &&
                    Write(dir + "/sounds/fail.wav", Tone(660.0, 220.0, 0.6));
    if (!ok) std::fprintf(stderr, "mw-make-assets: cannot write into %s\n", argv[1]);
    return ok ? 0 : 1;
}
