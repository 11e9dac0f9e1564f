// Build step: encodes a plain product edition (INI) into the stored product configuration form.
#include "app/ProductConfig.h"
#include "app/UtilFuncs.h"

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: mw-encode-config EDITION.ini OUT\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "mw-encode-config: cannot read %s\n", argv[1]);
        return 1;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    const std::string text = ss.str();
    // These would be stored as CR, LF or NUL and break the file.
    for (unsigned char c : text) {
        if (c == 0xF2 || c == 0xF5 || c == 0xFF) {
            std::fprintf(stderr, "mw-encode-config: %s holds byte 0x%02X, which cannot be stored\n", argv[1],
                         c);
            return 1;
        }
    }
    std::string out;
    for (const std::string& line : mw::SplitTextLines(text))
        out += mw::DecodeConfigLine(line) + "\r\n";
    std::ofstream o(argv[2], std::ios::binary | std::ios::trunc);
    o << out;
    if (!o.flush()) {
        std::fprintf(stderr, "mw-encode-config: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
