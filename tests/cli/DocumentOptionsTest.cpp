#include "PdfProbe.h"
#include "Pictures.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <iterator>
#include <pty.h>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::set<std::string> Entries(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

std::string Picture(const char* folder, const char* name) {
    return (Corpus() / folder / name).string();
}

// The one folder the converter made in `save`.
fs::path OutputFolderIn(const fs::path& save) {
    for (const auto& entry : fs::directory_iterator(save)) {
        if (entry.is_directory()) {
            return entry.path();
        }
    }
    return {};
}

} // namespace

TEST(CliDocuments, OutputFileIsWrittenExactlyThereAndReplacedOnlyWhenForced) {
    TempDir dir;
    const fs::path scan = dir / "scan.pdf";
    const std::string a = Picture("jpeg", "flower.jpg"), b = Picture("png", "basn2c08.png");
    const ProgramResult first = RunCli({"-q", "--size", "100x100", "--output", scan.string(), a, b});
    ASSERT_EQ(first.exitCode, 0) << first.err;
    EXPECT_EQ(first.out, scan.string() + "\n");
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"scan.pdf"})
        << "no folder, no scratch, no leftovers";
    const PdfProbe probe = ProbePdf(scan);
    EXPECT_EQ(probe.pages.size(), 2u);
    EXPECT_EQ(probe.info.at("/Title"), "scan");
    const std::string before = ReadBytes(scan);

    const ProgramResult again = RunCli({"-q", "--json", "--output", scan.string(), a});
    EXPECT_EQ(again.exitCode, 2);
    const auto report = nlohmann::json::parse(again.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << again.out;
    EXPECT_NE(report["error"].get<std::string>().find("already exists"), std::string::npos);
    EXPECT_EQ(ReadBytes(scan), before);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"scan.pdf"});

    const ProgramResult forced = RunCli({"-q", "--force", "--output", scan.string(), a});
    ASSERT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_EQ(ProbePdf(scan).pages.size(), 1u);
    EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"scan.pdf"});
}

TEST(CliDocuments, SeparateDocumentsCanBeNamedAfterTheirPictures) {
    TempDir dir;
    fs::create_directories(dir / "a");
    fs::create_directories(dir / "b");
    fs::copy_file(Corpus() / "jpeg" / "flower.jpg", dir / "a" / "IMG_0001.jpg");
    fs::copy_file(Corpus() / "jpeg" / "hopper_gray.jpg", dir / "b" / "IMG_0001.jpg");
    fs::copy_file(Corpus() / "png" / "basn2c08.png", dir / "b" / "春游.png");
    fs::create_directories(dir / "out");
    const ProgramResult result =
        RunCli({"-q", "--separate", "--names", "source", "--size", "100x100", "-o", (dir / "out").string(),
                (dir / "a" / "IMG_0001.jpg").string(), (dir / "b" / "IMG_0001.jpg").string(),
                (dir / "b" / "春游.png").string()});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    const fs::path output = OutputFolderIn(dir / "out");
    EXPECT_EQ(Entries(output), (std::set<std::string>{"IMG_0001.pdf", "IMG_0001 (2).pdf", "春游.pdf"}));
    EXPECT_EQ(ProbePdf(output / "IMG_0001 (2).pdf").pages.at(0).images.at(0).width, 100);
    EXPECT_EQ(ProbePdf(output / "春游.pdf").info.at("/Title"), "春游");
}

// What the issue asks of the whole: protected documents whose pictures are
// the camera's own bytes, merged and one per picture.
TEST(CliDocuments, KeptJpegsInAes256Documents) {
    TempDir dir;
    std::ofstream(dir / "pw") << "geheim\n";
    const std::string photo = Picture("exif-orientation", "hopper_no_exif.jpg");
    for (const char* kind : {"merged", "--separate"}) {
        SCOPED_TRACE(kind);
        const fs::path save = dir / kind;
        fs::create_directories(save);
        std::vector<std::string> arguments = {
            "-q", "--keep-jpeg", "--encryption", "aes256", "--password-file", (dir / "pw").string(),
            "-o", save.string(), photo,          photo};
        if (std::string(kind) == "--separate") {
            arguments.push_back(kind);
        }
        const ProgramResult result = RunCli(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const fs::path output = OutputFolderIn(save);
        for (const auto& document : Entries(output)) {
            const PdfProbe probe = ProbePdf(output / document, "geheim");
            ASSERT_TRUE(probe.opened) << probe.error;
            EXPECT_EQ(probe.encryption->R, 6);
            EXPECT_TRUE(ProbePdf(output / document, "geheim?").passwordRejected);
            for (const auto& page : probe.pages) {
                EXPECT_TRUE(page.images.at(0).bytes == ReadBytes(photo)) << "not the camera's bytes";
            }
        }
    }
}

TEST(CliDocuments, LowerQualityMakesSmallerPages) {
    TempDir dir;
    std::vector<std::uintmax_t> sizes;
    for (const char* quality : {"20", "95"}) {
        const fs::path file = dir / (std::string("q") + quality + ".pdf");
        const ProgramResult result =
            RunCli({"-q", "--quality", quality, "--output", file.string(), Picture("jpeg", "flower.jpg")});
        ASSERT_EQ(result.exitCode, 0) << result.err;
        sizes.push_back(fs::file_size(file));
    }
    EXPECT_LT(sizes[0] * 2, sizes[1]);
}

TEST(CliDocuments, VersionAndUsageErrorsForScripts) {
    const ProgramResult version = RunCli({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, std::string("quillmark-cli ") + QUILLMARK_VERSION + "\n");

    TempDir dir;
    std::ofstream(dir / "empty") << "\n";
    const std::string picture = Picture("jpeg", "flower.jpg");
    const std::vector<std::vector<std::string>> bad = {
        {"--no-such-option", picture},
        {"--quality", "0", picture},
        {"--password-file", (dir / "empty").string(), picture},
        {"--output", (dir / "x.pdf").string(), "--separate", picture},
        {"--output", (dir / "x.pdf").string(), "--folders", dir.path().string()},
        {"--output", (dir / "no" / "x.pdf").string(), picture},
        {"--encryption", "des", picture},
        {(dir / "missing.jpg").string()},
    };
    for (auto arguments : bad) {
        arguments.insert(arguments.begin(), {"--json", "-o", dir.path().string()});
        SCOPED_TRACE(arguments[3]);
        const ProgramResult result = RunCli(arguments);
        EXPECT_EQ(result.exitCode, 2) << result.err;
        const auto json = nlohmann::json::parse(result.out, nullptr, false);
        ASSERT_TRUE(json.is_object()) << "not JSON: " << result.out;
        EXPECT_FALSE(json["error"].get<std::string>().empty());
        EXPECT_EQ(Entries(dir.path()), std::set<std::string>{"empty"});
    }
    const ProgramResult empty = RunCli({"--password-file", (dir / "empty").string(), picture});
    EXPECT_NE(empty.err.find("empty"), std::string::npos) << empty.err;
}

// On a terminal the password is asked for twice and never shown.
TEST(CliDocuments, PasswordTypedOnATerminalIsAskedTwiceAndNotShown) {
    TempDir dir;
    const fs::path pdf = dir / "typed.pdf";
    for (const auto& [second, exitCode] : {std::pair{"geheim", 0}, std::pair{"anders", 2}}) {
        int terminal = -1;
        const pid_t child = ::forkpty(&terminal, nullptr, nullptr, nullptr);
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::execl(QUILLMARK_CLI, QUILLMARK_CLI, "-q", "--password-stdin", "--force", "--output",
                    pdf.c_str(), Picture("png", "basn2c08.png").c_str(), static_cast<char*>(nullptr));
            ::_exit(127);
        }
        std::string screen;
        auto readUntil = [&](const std::string& text) {
            char buffer[256];
            while (screen.find(text) == std::string::npos) {
                const ssize_t n = ::read(terminal, buffer, sizeof buffer);
                if (n <= 0) {
                    return;
                }
                screen.append(buffer, static_cast<size_t>(n));
            }
        };
        readUntil("password: ");
        ASSERT_EQ(::write(terminal, "geheim\n", 7), 7);
        readUntil("again: ");
        const std::string line = std::string(second) + "\n";
        ASSERT_EQ(::write(terminal, line.data(), line.size()), static_cast<ssize_t>(line.size()));
        readUntil("\x04"); // to the end
        int status = 0;
        ::waitpid(child, &status, 0);
        ::close(terminal);
        EXPECT_EQ(WEXITSTATUS(status), exitCode) << screen;
        EXPECT_EQ(screen.find("geheim"), std::string::npos) << "the password was shown: " << screen;
    }
    EXPECT_TRUE(ProbePdf(pdf, "geheim").opened);
    EXPECT_TRUE(ProbePdf(pdf, "").passwordRejected);
}

TEST(CliDocuments, PagesShowPicturesAtTheirTrueShapeAndOwnSize) {
    TempDir dir;
    // 2 x 2 inches at 204 x 98 dpi, as a fax stores it, and 3 x 2 inches at 100 dpi.
    const fs::path fax = dir / "fax.jpg";
    WriteSolidPictureAt(fax, 408, 196, {0, 0, 0}, 204, 98);
    const fs::path photo = dir / "photo.jpg";
    WriteSolidPictureAt(photo, 300, 200, {0, 0, 0}, 100, 100);
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "kept" : "rendered");
        const fs::path own = dir / (keep ? "own-kept.pdf" : "own.pdf");
        std::vector<std::string> arguments = {"-q",       "--page",     "picture",    "--margin",    "0",
                                              "--output", own.string(), fax.string(), photo.string()};
        const fs::path square = dir / (keep ? "square-kept.pdf" : "square.pdf");
        std::vector<std::string> squareArguments = {"-q",       "--size",        "400x400",
                                                    "--output", square.string(), fax.string()};
        if (keep) {
            arguments.insert(arguments.begin(), "--keep-jpeg");
            squareArguments.insert(squareArguments.begin(), "--keep-jpeg");
        }
        const ProgramResult result = RunCli(arguments);
        ASSERT_EQ(result.exitCode, 0) << result.err;
        const PdfProbe probe = ProbePdf(own);
        ASSERT_EQ(probe.pages.size(), 2u);
        const std::array<std::array<double, 2>, 2> sizes{{{144, 144}, {216, 144}}};
        for (size_t i = 0; i < 2; ++i) {
            EXPECT_NEAR(probe.pages[i].mediaBox[2] - probe.pages[i].mediaBox[0], sizes[i][0], 0.5) << i;
            EXPECT_NEAR(probe.pages[i].mediaBox[3] - probe.pages[i].mediaBox[1], sizes[i][1], 0.5) << i;
        }

        // The default page: the fax fills the square page, not half of it.
        const ProgramResult squared = RunCli(squareArguments);
        ASSERT_EQ(squared.exitCode, 0) << squared.err;
        const PdfProbe page = ProbePdf(square);
        ASSERT_EQ(page.pages.size(), 1u);
        if (keep) {
            ASSERT_FALSE(page.pages[0].matrices.empty());
            const auto& m = page.pages[0].matrices[0];
            EXPECT_NEAR(m[0], 400, 1);
            EXPECT_NEAR(m[3], 400, 1);
        } else {
            std::string why;
            const fs::path shown = RenderPdfPage(square, 1, 72, why);
            if (!shown.empty()) {
                EXPECT_TRUE(NearColour(ReadPixel(shown, 200, 20), {0, 0, 0}, 40));
            }
        }
    }
}
