#include "MultiPageTiff.h"
#include "PdfProbe.h"
#include "Pictures.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <sys/stat.h>
#include <vips/vips8>

namespace fs = std::filesystem;

namespace {

size_t PicturesIn(const fs::path& folder) {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

struct Conversion {
    ProgramResult result;
    nlohmann::json report;
    fs::path output;
};

// Runs the converter with --json into `save` and reads its report.
Conversion Convert(const TempDir& save, std::vector<std::string> arguments, const std::string& input = "",
                   const std::vector<std::string>& environment = {}) {
    arguments.insert(arguments.begin(), {"-o", save.path().string(), "--size", "200x300", "--json"});
    Conversion conversion;
    conversion.result = RunCli(arguments, input, environment);
    conversion.report = nlohmann::json::parse(conversion.result.out, nullptr, false);
    if (conversion.report.is_object()) {
        conversion.output = conversion.report["outputFolder"].get<std::string>();
    }
    return conversion;
}

std::string CorpusFolder(const char* name) {
    return (Corpus() / name).string();
}

} // namespace

TEST(CliConversion, CorpusMergedAndSeparateInFileMode) {
    TempDir save;
    const Conversion merged = Convert(save, {CorpusFolder("png"), CorpusFolder("gif")});
    ASSERT_EQ(merged.result.exitCode, 0) << merged.result.err;
    const size_t pictures = PicturesIn(Corpus() / "png") + PicturesIn(Corpus() / "gif");
    const PdfProbe probe = ProbePdf(merged.output / "result.pdf");
    ASSERT_TRUE(probe.opened) << probe.error;
    EXPECT_EQ(probe.pages.size(), pictures);
    for (const auto& page : probe.pages) {
        EXPECT_EQ(page.mediaBox, (std::array<double, 4>{0, 0, 200, 300}));
        ASSERT_EQ(page.images.size(), 1u);
        EXPECT_EQ(page.images[0].width, 200);
        EXPECT_EQ(page.images[0].height, 300);
    }
    ASSERT_TRUE(probe.openAction.has_value());
    EXPECT_EQ(probe.openAction->pageIndex, static_cast<int>(pictures) - 1);
    EXPECT_EQ(merged.report["picturesPrepared"], pictures);

    const Conversion separate = Convert(
        save,
        {"--separate", "--forbid-print", "--password-env", "QM_PASSWORD", CorpusFolder("exif-orientation")},
        "", {"QM_PASSWORD=geheim"});
    ASSERT_EQ(separate.result.exitCode, 0) << separate.result.err;
    EXPECT_NE(separate.output, merged.output);
    const size_t documents = PicturesIn(Corpus() / "exif-orientation");
    EXPECT_EQ(Entries(separate.output).size(), documents);
    EXPECT_TRUE(ProbePdf(separate.output / "0.pdf", "wrong").passwordRejected);
    const PdfProbe last = ProbePdf(separate.output / (std::to_string(documents - 1) + ".pdf"), "geheim");
    ASSERT_TRUE(last.opened) << last.error;
    ASSERT_TRUE(last.encryption.has_value());
    EXPECT_EQ(last.encryption->R, 3);
    EXPECT_EQ(last.encryption->keyBits, 128);
    EXPECT_FALSE(last.encryption->allowPrint);
}

TEST(CliConversion, CorpusFoldersModeMakesAGroupPerFolder) {
    TempDir save;
    const Conversion merged = Convert(save, {"--folders", CorpusFolder("png"), CorpusFolder("emf")});
    EXPECT_EQ(merged.result.exitCode, 1) << "test-183.emf has a line it cannot draw, and says so";
    EXPECT_EQ(Entries(merged.output), (std::set<std::string>{"png", "emf"}));
    EXPECT_EQ(ProbePdf(merged.output / "png" / "result.pdf").pages.size(), PicturesIn(Corpus() / "png"));
    EXPECT_EQ(ProbePdf(merged.output / "emf" / "result.pdf").pages.size(), PicturesIn(Corpus() / "emf"));
    ASSERT_EQ(merged.report["pictureProblems"].size(), 1u);
    EXPECT_NE(merged.report["pictureProblems"][0]["source"].get<std::string>().find("test-183.emf"),
              std::string::npos);

    const Conversion separate = Convert(save, {"--folders", "--separate", CorpusFolder("gif")});
    ASSERT_EQ(separate.result.exitCode, 0) << separate.result.err;
    EXPECT_EQ(Entries(separate.output / "gif").size(), PicturesIn(Corpus() / "gif"));
    EXPECT_TRUE(Entries(separate.output / "gif").count("0.pdf"));
}

TEST(CliConversion, BrokenPicturesAreListedWithTheirReasonAndExitOne) {
    TempDir save;
    const Conversion conversion = Convert(save, {CorpusFolder("broken")});
    EXPECT_EQ(conversion.result.exitCode, 1);
    const auto& problems = conversion.report["pictureProblems"];
    EXPECT_GE(problems.size(), 15u);
    for (const auto& problem : problems) {
        EXPECT_FALSE(problem["reason"].get<std::string>().empty()) << problem.dump();
    }
    // Every broken file still has its page, so the pages keep the list's numbering.
    EXPECT_EQ(ProbePdf(conversion.output / "result.pdf").pages.size(), PicturesIn(Corpus() / "broken"));
    // The reason in the user's words, the decoder's own in the detail.
    const std::map<std::string, std::pair<std::string, std::string>> expected = {
        {"truncated_jpeg.jpg", {"the JPEG file is cut short: the rest of the page is grey", "Premature end"}},
        {"xhdn0g08.png", {"the PNG data is corrupt", "CRC error"}},
        {"oom-225817ca.tif", {"the TIFF file is damaged or cut short", "TIFF directory"}},
        {"zero_width.gif", {"the GIF file holds no picture", "no frames in GIF"}},
    };
    size_t found = 0;
    for (const auto& problem : problems) {
        const auto row = expected.find(fs::path(problem["source"].get<std::string>()).filename().string());
        if (row != expected.end()) {
            ++found;
            EXPECT_EQ(problem["reason"].get<std::string>().rfind(row->second.first, 0), 0u) << problem.dump();
            EXPECT_NE(problem["detail"].get<std::string>().find(row->second.second), std::string::npos)
                << problem.dump();
        }
    }
    EXPECT_EQ(found, expected.size());

    const ProgramResult text = RunCli({"-o", save.path().string(), "--size", "100x100", "-q",
                                       (Corpus() / "broken" / "truncated_jpeg.jpg").string()});
    EXPECT_EQ(text.exitCode, 1);
    EXPECT_NE(text.err.find("truncated_jpeg.jpg: damaged, shown in part: the JPEG file is cut short"),
              std::string::npos)
        << text.err;
    EXPECT_NE(text.out.find(save.path().string()), std::string::npos) << "prints the output folder";
}

TEST(CliConversion, PasswordsComeFromAFileOrStandardInputNeverTheCommandLine) {
    TempDir save;
    std::ofstream(save / "pw.txt") << "aus der Datei\n";
    const std::string picture = (Corpus() / "jpeg" / "flower.jpg").string();
    const Conversion fromFile = Convert(save, {"--password-file", (save / "pw.txt").string(), picture});
    ASSERT_EQ(fromFile.result.exitCode, 0) << fromFile.result.err;
    EXPECT_TRUE(ProbePdf(fromFile.output / "result.pdf", "aus der Datei").opened);
    EXPECT_TRUE(ProbePdf(fromFile.output / "result.pdf", "").passwordRejected);

    const Conversion fromStdin = Convert(save, {"--password-stdin", picture}, "密码\n");
    ASSERT_EQ(fromStdin.result.exitCode, 0) << fromStdin.result.err;
    EXPECT_TRUE(ProbePdf(fromStdin.output / "result.pdf", "密码").opened);
    EXPECT_EQ(fromStdin.result.out.find("密码"), std::string::npos);
    EXPECT_EQ(fromStdin.result.err.find("密码"), std::string::npos);
}

TEST(CliConversion, PaperPagesTurnedPerPictureInNaturalNameOrder) {
    TempDir pictures, save;
    struct Picture {
        const char* name;
        int width, height;
        std::array<uint8_t, 3> colour;
    };
    // Written last to first, so time order is the reverse of name order.
    const Picture folder[] = {{"img1.png", 60, 30, {220, 30, 30}},
                              {"img2.png", 30, 60, {30, 200, 30}},
                              {"IMG3.png", 60, 30, {30, 30, 220}},
                              {"img10.png", 30, 60, {230, 200, 20}}};
    for (int n = 0; n < 4; ++n) {
        const fs::path file = pictures / folder[n].name;
        WriteSolidPicture(file, folder[n].width, folder[n].height, folder[n].colour);
        const timespec times[2] = {{1700000000 - n * 60, 0}, {1700000000 - n * 60, 0}};
        ::utimensat(AT_FDCWD, file.c_str(), times, 0);
    }
    const ProgramResult result = RunCli({"-o", save.path().string(), "--page", "A4", "--orient", "auto",
                                         "--order", "name", "--json", pictures.path().string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const fs::path output = nlohmann::json::parse(result.out)["outputFolder"].get<std::string>();
    const PdfProbe probe = ProbePdf(output / "result.pdf");
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.pages.size(), 4u);
    TempDir scratch;
    for (size_t i = 0; i < 4; ++i) {
        const bool wide = folder[i].width > folder[i].height;
        EXPECT_NEAR(probe.pages[i].mediaBox[2], wide ? 841.89 : 595.276, 0.01) << folder[i].name;
        EXPECT_NEAR(probe.pages[i].mediaBox[3], wide ? 595.276 : 841.89, 0.01) << folder[i].name;
        ASSERT_EQ(probe.pages[i].images.size(), 1u);
        const PdfImage& image = probe.pages[i].images[0];
        EXPECT_EQ(image.width, wide ? 1754 : 1240); // 150 dpi
        std::ofstream(scratch / "page.jpg", std::ios::binary) << image.bytes;
        const std::array<uint8_t, 3> middle =
            ReadPixel(scratch / "page.jpg", image.width / 2, image.height / 2);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(middle[c], folder[i].colour[c], 24) << folder[i].name;
        }
    }
}

// A phone's, a web page's and a scanner's pictures from one folder, oldest
// first: each kind is a page of its own colour, every page of a multi-page
// TIFF is a page, an animation is its first frame, a turned HEIC stands upright.
TEST(CliConversion, NewKindsMultiPageTiffAndAnimationFromAFolder) {
    TempDir pictures;
    const fs::path folder = pictures / "phone";
    fs::create_directory(folder);
    std::vector<std::array<uint8_t, 3>> expected; // the colour of each page, in order
    std::vector<int> pagesOfFile;                 // the pages of each file, in order
    int age = 100;
    auto added = [&](const fs::path& file, std::vector<std::array<uint8_t, 3>> colours) {
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::minutes(age--));
        expected.insert(expected.end(), colours.begin(), colours.end());
        pagesOfFile.push_back(static_cast<int>(colours.size()));
    };
    int colour = 0;
    for (const char* name : {"a.heic", "b.AVIF", "c.webp", "d.Jxl", "e.jp2", "f.J2K"}) {
        try {
            WriteSolidPicture(folder / name, 60, 40, ColourNumber(colour));
        } catch (const vips::VError& error) {
            std::cout << "left out " << name << ", this libvips cannot write it: " << error.what() << "\n";
            continue;
        }
        added(folder / name, {ColourNumber(colour++)});
    }
    WriteMultiPageTiff(folder / "scan.tif",
                       {{40, 60, ColourNumber(6)}, {40, 60, ColourNumber(7)}, {60, 40, ColourNumber(8)}});
    added(folder / "scan.tif", {ColourNumber(6), ColourNumber(7), ColourNumber(8)});
    vips::VImage frames =
        vips::VImage::black(30, 40).new_from_image(std::vector<double>{220, 30, 30}).cast(VIPS_FORMAT_UCHAR);
    frames = frames.join(frames.new_from_image(std::vector<double>{30, 30, 220}), VIPS_DIRECTION_VERTICAL);
    frames.set("page-height", 40);
    frames.gifsave((folder / "moving.gif").c_str());
    added(folder / "moving.gif", {{220, 30, 30}});
    fs::copy_file(fs::path(QUILLMARK_TEST_DATA) / "heic-turned-a-quarter.heic", folder / "turned.heic");
    added(folder / "turned.heic", {{30, 30, 200}});

    TempDir save;
    const Conversion merged = Convert(save, {folder.string()});
    ASSERT_EQ(merged.result.exitCode, 0) << merged.result.err << merged.result.out;
    const std::vector<std::array<uint8_t, 3>> colours = PageColours(merged.output / "result.pdf");
    ASSERT_EQ(colours.size(), expected.size());
    for (size_t page = 0; page < expected.size(); ++page) {
        EXPECT_TRUE(NearColour(colours[page], expected[page])) << "page " << page + 1;
    }
    // The turned picture: red along its bottom, blue at its top.
    const PdfProbe probe = ProbePdf(merged.output / "result.pdf");
    TempDir scratch;
    std::ofstream(scratch / "last.jpg", std::ios::binary) << probe.pages.back().images[0].bytes;
    EXPECT_TRUE(NearColour(ReadPixel(scratch / "last.jpg", 100, 290), {220, 30, 30}));
    EXPECT_TRUE(NearColour(ReadPixel(scratch / "last.jpg", 100, 10), {30, 30, 200}));

    // One document per file, the TIFF's with its three pages; folder mode alike.
    const Conversion separate = Convert(save, {"--separate", folder.string()});
    ASSERT_EQ(separate.result.exitCode, 0) << separate.result.err;
    EXPECT_EQ(Entries(separate.output).size(), pagesOfFile.size());
    for (size_t n = 0; n < pagesOfFile.size(); ++n) {
        EXPECT_EQ(ProbePdf(separate.output / (std::to_string(n) + ".pdf")).pages.size(),
                  size_t(pagesOfFile[n]))
            << n;
    }
    const Conversion groups = Convert(save, {"--folders", folder.string()});
    ASSERT_EQ(groups.result.exitCode, 0) << groups.result.err;
    EXPECT_EQ(PageColours(groups.output / "phone" / "result.pdf").size(), expected.size());
}

// A folder named beside pictures that holds none gives nothing, and the user
// must hear of it as of a picture that gave nothing.
TEST(CliConversion, AFolderWithoutPicturesIsNamedAndFailsTheJob) {
    TempDir save;
    TempDir dir;
    const fs::path empty = dir / "no pictures here";
    fs::create_directory(empty);
    std::ofstream(empty / "notes.txt") << "no picture";
    const std::string picture = (Corpus() / "jpeg" / "flower.jpg").string();

    const Conversion conversion = Convert(save, {picture, empty.string()});
    EXPECT_EQ(conversion.result.exitCode, 1) << conversion.result.err;
    EXPECT_EQ(conversion.report["emptyGroups"], nlohmann::json::array({empty.string()}));
    EXPECT_FALSE(conversion.report["allConverted"].get<bool>());
    EXPECT_EQ(ProbePdf(conversion.output / "result.pdf").pages.size(), 1u);

    const ProgramResult quiet = RunCli({"-q", "-o", save.path().string(), empty.string(), picture});
    EXPECT_EQ(quiet.exitCode, 1);
    EXPECT_NE(quiet.err.find(empty.string() + ": skipped, the folder holds no pictures"), std::string::npos)
        << quiet.err;

    const ProgramResult alone = RunCli({"-o", save.path().string(), empty.string()});
    EXPECT_EQ(alone.exitCode, 2);
    EXPECT_NE(alone.err.find("no pictures to convert: no pictures in " + empty.string()), std::string::npos)
        << alone.err;
}
