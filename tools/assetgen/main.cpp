// zelk_assetgen: draws and synthesises the game's data folder.
//
//   zelk_assetgen OUTDIR [--only NAME] [--no-images] [--no-sounds] [--no-music]
//
// Output depends only on the program: no clock, no random seeds from
// outside, so running it twice gives the same files.
#include <cstdio>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>

#include "tools/assetgen/icons.h"
#include "tools/assetgen/images.h"
#include "tools/assetgen/sound.h"

namespace {
bool makeDir(const std::string& p) { return mkdir(p.c_str(), 0755) == 0 || errno == EEXIST; }
}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTDIR [--only NAME] [--no-images] [--no-sounds] [--no-music]\n", argv[0]);
        return 2;
    }
    std::string out = argv[1], only;
    bool images = true, sounds = true, music = true;
    for (int i = 2; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--only") && i + 1 < argc) only = argv[++i];
        else if (!std::strcmp(argv[i], "--no-images")) images = false;
        else if (!std::strcmp(argv[i], "--no-sounds")) sounds = false;
        else if (!std::strcmp(argv[i], "--no-music")) music = false;
        else {
            std::fprintf(stderr, "unknown option %s\n", argv[i]);
            return 2;
        }
    }
    for (const char* sub : {"", "/common", "/fonts", "/sfx"}) {
        if (!makeDir(out + sub)) {
            std::fprintf(stderr, "cannot create %s%s\n", out.c_str(), sub);
            return 1;
        }
    }
    bool ok = true;
    if (images) ok = assetgen::writeImages(out, only) && ok;
    if (images) ok = assetgen::writeIcons(out, only) && ok;
    if (sounds) ok = assetgen::writeSounds(out, music) && ok;
    return ok ? 0 : 1;
}
