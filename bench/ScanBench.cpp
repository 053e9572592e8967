// Scans for bench/scans.sh, and the skew left on a page after cleaning.
//   scan_bench make FOLDER     writes the scans and FOLDER/truth.txt (name, kind, angle)
//   scan_bench skew PICTURE    prints the skew Leptonica finds on PICTURE, in degrees (0: none found)
#include "ScanPictures.h"
#include "TestScans.h"
#include "VipsRuntime.h"

#include <cstdio>
#include <fstream>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: scan_bench make FOLDER | skew PICTURE\n");
        return 2;
    }
    EnsureVipsStarted();
    const std::string command = argv[1];
    const std::filesystem::path where = argv[2];
    if (command == "skew") {
        const vips::VImage grey = GreyOf(vips::VImage::new_from_file(where.c_str())).copy_memory();
        std::printf("%.3f\n", FindTextSkew(grey).value_or(0.0));
        return 0;
    }
    std::filesystem::create_directories(where);
    std::ofstream truth(where / "truth.txt");
    // Text pages at 300 dpi on A4, laid askew by known angles either way.
    const double angles[] = {0.5, -1.0, 2.0, -3.0, 4.0, -5.0, 6.0, -7.0};
    int n = 0;
    for (double angle : angles) {
        const std::string name = "page" + std::to_string(n++) + ".png";
        WriteScannedTextPage(where / name, {angle, 0, n % 3 == 0}, 2480, 3508);
        truth << name << " askew " << angle << "\n";
    }
    for (int turns : {1, 2}) {
        const std::string name = "turned" + std::to_string(turns * 90) + ".png";
        WriteScannedTextPage(where / name, {0, turns}, 2480, 3508);
        truth << name << " turned " << turns * 90 << "\n";
    }
    const std::pair<LightPage, const char*> light[] = {{LightPage::Blank, "blank"},
                                                       {LightPage::Blank, "blank"},
                                                       {LightPage::Blank, "blank"},
                                                       {LightPage::FaintPencil, "content"},
                                                       {LightPage::PencilDot, "content"},
                                                       {LightPage::PaleStamp, "content"}};
    int seed = 1;
    for (const auto& [kind, what] : light) {
        const std::string name = "light" + std::to_string(seed) + ".png";
        WriteLightPage(where / name, kind, seed++, 2480, 3508);
        truth << name << " " << what << " 0\n";
    }
    return 0;
}
