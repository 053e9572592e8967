// Faults from outside: the converter killed at random points, a full disk, a
// save folder it cannot write, two copies at once. Nothing under a final name
// may be truncated, and the user's pictures never change.
#include "EndlessDecoding.h"
#include "PdfProbe.h"
#include "ReadOnlyFolder.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <chrono>
#include <csignal>
#include <fstream>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <nlohmann/json.hpp>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::map<fs::path, std::string> Snapshot(const fs::path& folder) {
    std::map<fs::path, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) {
            files[entry.path()] = ReadAll(entry.path());
        }
    }
    return files;
}

pid_t StartCli(const std::vector<std::string>& arguments) {
    const pid_t child = ::fork();
    if (child == 0) {
        std::freopen("/dev/null", "w", stdout);
        std::freopen("/dev/null", "w", stderr);
        std::vector<char*> argv{const_cast<char*>(QUILLMARK_CLI)};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(QUILLMARK_CLI, argv.data());
        std::_Exit(127);
    }
    return child;
}

// Every document under a final name that qpdf does not pass.
std::vector<std::string> BrokenDocuments(const fs::path& save) {
    std::vector<std::string> broken;
    for (const auto& entry : fs::recursive_directory_iterator(save)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file() && entry.path().extension() == ".pdf" && name.front() != '.') {
            const ProgramResult check = RunProgram("/usr/bin/qpdf", {"--check", entry.path().string()});
            if (check.exitCode != 0) {
                broken.push_back(entry.path().string() + ": " + check.out + check.err);
            }
        }
    }
    return broken;
}

// Scratch folders and unfinished documents still lying in the save folder.
std::vector<std::string> Leftovers(const fs::path& save) {
    std::vector<std::string> left;
    for (const auto& entry : fs::recursive_directory_iterator(save)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(".quillmark-work-", 0) == 0 ||
            (name.front() == '.' && name.find(".pdf.") != std::string::npos)) {
            left.push_back(entry.path().string());
        }
    }
    return left;
}

fs::path SourcePictures(const TempDir& dir) {
    const fs::path sources = dir / "sources";
    fs::create_directories(sources / "group");
    int n = 0;
    for (const char* name :
         {"jpeg/flower.jpg", "jpeg/xmp_test.jpg", "png/basn6a08.png", "gif/hopper.gif", "tiff/hopper_lzw.tif",
          "bmp/rgb24.bmp", "emf/test-142.emf", "jpeg/junk_jpeg_header.jpg"}) {
        const fs::path from = Corpus() / name;
        fs::copy_file(from, sources / ("p" + std::to_string(n++) + from.extension().string()));
        fs::copy_file(from, sources / "group" / from.filename());
    }
    return sources;
}

bool CanMount() {
    return ::geteuid() == 0 && fs::exists("/bin/mount");
}

} // namespace

TEST(Faults, KilledAtRandomPointsLeavesNoBrokenDocumentAndUnchangedPictures) {
    TempDir dir;
    const fs::path sources = SourcePictures(dir);
    const fs::path save = dir / "save";
    fs::create_directory(save);
    const auto before = Snapshot(sources);
    const std::vector<std::vector<std::string>> modes = {
        {sources.string()},
        {"--separate", sources.string()},
        {"--folders", (sources / "group").string()},
        {"--folders", "--separate", "--forbid-print", (sources / "group").string()},
    };
    std::mt19937 random(20261209);
    int kills = 0;
    const int rounds = 24;
    for (int round = 0; round < rounds; ++round) {
        std::vector<std::string> arguments = {"-o", save.string(), "--size", "800x1100"};
        const auto& mode = modes[round % modes.size()];
        arguments.insert(arguments.end(), mode.begin(), mode.end());
        const pid_t cli = StartCli(arguments);
        std::this_thread::sleep_for(
            std::chrono::milliseconds(std::uniform_int_distribution<int>(0, 900)(random)));
        if (::kill(cli, SIGKILL) == 0) {
            ++kills;
        }
        int status = 0;
        ::waitpid(cli, &status, 0);
        const auto broken = BrokenDocuments(save);
        EXPECT_TRUE(broken.empty()) << "round " << round << ": " << broken.front();
    }
    // Workers notice their parent is gone and end; then the next job clears
    // what the dead ones left.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const ProgramResult clean =
        RunCli({"-o", save.string(), "--size", "100x100", (sources / "p0.jpg").string()});
    EXPECT_EQ(clean.exitCode, 0) << clean.err;
    EXPECT_EQ(Leftovers(save), std::vector<std::string>{});
    EXPECT_TRUE(BrokenDocuments(save).empty());

    const auto after = Snapshot(sources);
    size_t changedBytes = 0;
    for (const auto& [path, bytes] : before) {
        const auto found = after.find(path);
        changedBytes += found == after.end() ? bytes.size() : (found->second == bytes ? 0 : bytes.size());
    }
    std::cout << "kills survived: " << kills << " of " << rounds
              << " rounds; bytes of source data changed: " << changedBytes << "\n";
    EXPECT_EQ(changedBytes, 0u);
    EXPECT_EQ(after.size(), before.size());
}

TEST(Faults, CtrlCStopsCleanly) {
    TempDir dir;
    const fs::path sources = SourcePictures(dir);
    const fs::path save = dir / "save";
    fs::create_directory(save);
    std::vector<std::string> arguments = {"-o", save.string(), "--separate", "-j", "1"};
    for (int copy = 0; copy < 6; ++copy) {
        arguments.push_back(sources.string());
    }
    const pid_t cli = StartCli(arguments);
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    ::kill(cli, SIGINT);
    int status = 0;
    ::waitpid(cli, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_EQ(Leftovers(save), std::vector<std::string>{});
    EXPECT_TRUE(BrokenDocuments(save).empty());
}

TEST(Faults, CtrlCToTheConverterAloneEndsAPictureBeingDecoded) {
    TempDir dir;
    // A picture whose decoder waits for ever. The signal goes to the
    // converter only, not to its decoders, as `kill -INT` does.
    const EndlessDecoding endlessDecoding;
    const fs::path endless = dir / "endless.jpg";
    fs::copy_file(Corpus() / "jpeg" / "flower.jpg", endless);
    const fs::path save = dir / "save";
    fs::create_directory(save);
    const pid_t cli = StartCli({"-o", save.string(), "-j", "1", endless.string(), endless.string()});
    std::this_thread::sleep_for(std::chrono::milliseconds(700));
    const auto asked = std::chrono::steady_clock::now();
    ::kill(cli, SIGINT);
    int status = 0;
    ::waitpid(cli, &status, 0);
    const auto took = std::chrono::steady_clock::now() - asked;
    std::cout << "the converter stopped " << std::chrono::duration<double, std::milli>(took).count()
              << " ms after Ctrl-C\n";
    // The picture would have taken its whole time limit of 90 seconds.
    EXPECT_LT(took, std::chrono::seconds(30));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(fs::is_empty(save)) << "left behind in " << save;
}

TEST(Faults, TwoCopiesIntoOneSaveFolderKeepTheirOwnOutput) {
    TempDir dir;
    const fs::path sources = SourcePictures(dir);
    const fs::path save = dir / "save";
    fs::create_directory(save);
    const std::vector<std::string> arguments = {"-o",      save.string(), "--size",
                                                "300x400", "--json",      sources.string()};
    ProgramResult first, second;
    std::thread other([&] { second = RunCli(arguments); });
    first = RunCli(arguments);
    other.join();
    ASSERT_EQ(first.exitCode, 0) << first.err;
    ASSERT_EQ(second.exitCode, 0) << second.err;
    std::vector<fs::path> outputs;
    for (const auto& entry : fs::directory_iterator(save)) {
        outputs.push_back(entry.path());
    }
    ASSERT_EQ(outputs.size(), 2u);
    for (const auto& output : outputs) {
        EXPECT_EQ(ProbePdf(output / "result.pdf").pages.size(), 8u) << output;
    }
}

TEST(Faults, AFullDiskEndsAsAReportedFailure) {
    if (!CanMount()) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    TempDir dir;
    const fs::path sources = SourcePictures(dir);
    const fs::path small = dir / "small";
    fs::create_directory(small);
    if (RunProgram("/bin/mount", {"-t", "tmpfs", "-o", "size=400k", "tmpfs", small.string()}).exitCode != 0) {
        GTEST_SKIP() << "this machine does not let the test mount a tmpfs";
    }
    const ProgramResult full =
        RunCli({"-o", small.string(), "--size", "1500x2000", "--json", sources.string()});
    // A disk with room for no more files stops a list of folders as soon as
    // a group's folder cannot be made.
    const ProgramResult noMoreFiles = [&] {
        const fs::path tiny = dir / "tiny";
        fs::create_directory(tiny);
        RunProgram("/bin/mount", {"-t", "tmpfs", "-o", "size=1m,nr_inodes=3", "tmpfs", tiny.string()});
        ProgramResult result =
            RunCli({"-o", tiny.string(), "--folders", sources.string(), (sources / "group").string()});
        result.out += fs::is_empty(tiny) ? "" : "\nleft behind in the save folder";
        RunProgram("/bin/umount", {tiny.string()});
        return result;
    }();
    const ProgramResult readOnly = [&] {
        RunProgram("/bin/mount", {"-o", "remount,ro", small.string()});
        return RunCli({"-o", small.string(), "--size", "100x100", sources.string()});
    }();
    const auto broken = BrokenDocuments(small);
    const auto left = Leftovers(small);
    RunProgram("/bin/umount", {small.string()});

    // One line that names the folder the user chose and what was missing,
    // not one per picture naming our own scratch files.
    EXPECT_EQ(full.exitCode, 1) << full.out << full.err;
    const auto report = nlohmann::json::parse(full.out, nullptr, false);
    ASSERT_TRUE(report.is_object()) << full.out;
    const std::string error = report["error"].is_string() ? report["error"].get<std::string>() : "";
    EXPECT_NE(error.find("the disk that holds " + small.string() + " is full"), std::string::npos)
        << full.out;
    EXPECT_NE(error.find("B for this page"), std::string::npos) << error;
    EXPECT_EQ(error.find(".quillmark-work"), std::string::npos) << error;
    EXPECT_TRUE(report["pictureProblems"].empty()) << full.out;
    EXPECT_TRUE(broken.empty()) << broken.front();
    EXPECT_TRUE(left.empty()) << left.front();
    EXPECT_EQ(noMoreFiles.exitCode, 1) << noMoreFiles.out;
    EXPECT_NE(noMoreFiles.err.find("is full"), std::string::npos) << noMoreFiles.err;
    EXPECT_EQ(noMoreFiles.out.find("left behind"), std::string::npos) << noMoreFiles.out;
    EXPECT_EQ(readOnly.exitCode, 1);
    EXPECT_NE(readOnly.err.find("cannot create the output folder"), std::string::npos) << readOnly.err;
}

// A folder the converter may not write to is refused before anything is made
// there, in words that name the folder rather than a scratch folder.
TEST(Faults, AFolderThatCannotBeWrittenIsRefusedAtTheStart) {
    TempDir dir;
    const std::string picture = (Corpus() / "jpeg" / "flower.jpg").string();
    ProgramResult intoSaveFolder, intoOutputFile;
    fs::path locked;
    bool untouched = false;
    {
        const ReadOnlyFolder readOnly(dir / "locked");
        if (!readOnly.whyNot().empty()) {
            GTEST_SKIP() << readOnly.whyNot();
        }
        locked = readOnly.path();
        intoSaveFolder = RunCli({"-o", locked.string(), "--size", "100x100", picture});
        intoOutputFile = RunCli({"--output", (locked / "x.pdf").string(), picture});
        untouched = fs::is_empty(locked);
    }
    for (const ProgramResult* result : {&intoSaveFolder, &intoOutputFile}) {
        EXPECT_EQ(result->exitCode, 1) << result->err;
        EXPECT_NE(result->err.find("the folder " + locked.string() + " cannot be written to"), std::string::npos)
            << result->err;
        EXPECT_EQ(result->err.find("scratch"), std::string::npos) << result->err;
        EXPECT_EQ(result->err.find("0 of 0"), std::string::npos) << result->err;
    }
    EXPECT_TRUE(untouched);
}
