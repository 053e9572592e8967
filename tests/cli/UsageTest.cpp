#include "RunProgram.h"
#include "TempDir.h"

#include <fstream>
#include <gtest/gtest.h>

namespace {

bool IsEmptyFolder(const std::filesystem::path& folder) {
    return std::filesystem::is_empty(folder);
}

} // namespace

TEST(CliUsage, BadOptionsExitTwoAndWriteNothing) {
    TempDir save;
    const std::string picture = (Corpus() / "jpeg" / "flower.jpg").string();
    const std::vector<std::vector<std::string>> bad = {
        {},                                                      // no source
        {"-o", save.path().string(), "--size", "0x100", picture}, // page size out of range
        {"-o", save.path().string(), "--size", "a4", picture},
        {"-o", save.path().string(), "--size", "20000x100", picture},
        {"-o", save.path().string(), "--no-such-option", picture},
        {"-o", save.path().string(), (save / "missing.jpg").string()},
        {"-o", (save / "no-such-folder").string(), picture},
        {"-o", save.path().string(), "--folders", picture},
        {"-o", save.path().string(), "-j", "0", picture},
        {"-o", save.path().string(), "--password-env", "QM_UNSET_VARIABLE", picture},
        {"-o", save.path().string(), "--password-env", "A", "--password-stdin", picture},
        {"-o", save.path().string(), "--page", "A6", picture},
        {"-o", save.path().string(), "--page", "A4", "--size", "100x100", picture},
        {"-o", save.path().string(), "--dpi", "300", picture}, // a resolution needs a paper size
        {"-o", save.path().string(), "--page", "A4", "--dpi", "1200", picture},
        {"-o", save.path().string(), "--page", "A4", "--margin", "105", picture}, // nothing left of the sheet
        {"-o", save.path().string(), "--margin", "-1", picture},
        {"-o", save.path().string(), "--orient", "sideways", picture},
        {"-o", save.path().string(), "--fit", "zoom", picture},
        {"-o", save.path().string(), "--order", "size", picture},
        {"-o", save.path().string(), "--ocr", "", picture},
        {"-o", save.path().string(), "--ocr", "no_such_language", picture},
    };
    for (const auto& arguments : bad) {
        const ProgramResult result = RunCli(arguments);
        std::string shown;
        for (const auto& a : arguments) {
            shown += a + " ";
        }
        EXPECT_EQ(result.exitCode, 2) << shown << "\n" << result.err;
        EXPECT_FALSE(result.err.empty()) << shown;
        EXPECT_TRUE(IsEmptyFolder(save.path())) << shown;
    }
}

TEST(CliUsage, HelpExitsZero) {
    const ProgramResult result = RunCli({"--help"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("--save-folder"), std::string::npos);
}

// Each mistake is told in a sentence that says what to do instead, never in
// the option parser's own notation.
TEST(CliUsage, MistakesAreToldInPlainWords) {
    TempDir dir;
    const std::string save = (dir / "save").string();
    std::filesystem::create_directory(save);
    const std::string picture = (Corpus() / "jpeg" / "flower.jpg").string();
    const std::string existing = (dir / "done.pdf").string();
    std::ofstream(existing) << "kept";
    std::ofstream(dir / "notes.txt") << "a file";
    struct Row {
        std::vector<std::string> arguments;
        int exitCode;
        std::string says;
    };
    const Row rows[] = {
        {{"-o", save, "--orient", "sideways", picture},
         2,
         "--orient takes portrait, landscape or auto, not \"sideways\""},
        {{"-o", save, "--fit", "zoom", picture}, 2, "--fit takes fit or shrink, not \"zoom\""},
        {{"-o", save, "--order", "size", picture}, 2, "--order takes time or name, not \"size\""},
        {{"-o", save, "--encryption", "des", picture}, 2, "--encryption takes rc4 or aes256, not \"des\""},
        {{"-o", save, "--names", "dates", "--separate", picture}, 2, "--names takes numbers or source"},
        {{"-o", save, "-j", "0", picture}, 2, "--jobs takes a whole number from 1 to 256, not \"0\""},
        {{"-o", save, "--quality", "best", picture}, 2, "--quality takes a whole number from 1 to 100"},
        {{"-o", save, "--page", "A4", "--dpi", "high", picture},
         2,
         "--dpi takes a resolution in dots per inch"},
        {{"-o", save, "--margin", "wide", picture}, 2, "--margin takes a number"},
        {{"-o", (dir / "notes.txt").string(), picture}, 2, "notes.txt is a file, not a folder"},
        {{"--output", existing, picture}, 2, "already exists; add --force to replace it"},
        {{"--output", (dir / "scan.png").string(), picture},
         2,
         "does not end in .pdf; name it so, or add --force"},
    };
    for (const Row& row : rows) {
        std::string shown;
        for (const auto& a : row.arguments) {
            shown += a + " ";
        }
        const ProgramResult result = RunCli(row.arguments);
        EXPECT_EQ(result.exitCode, row.exitCode) << shown << "\n" << result.err;
        EXPECT_NE(result.err.find(row.says), std::string::npos) << shown << "\n" << result.err;
        EXPECT_EQ(result.err.find("FAILED"), std::string::npos) << shown << "\n" << result.err;
        EXPECT_TRUE(IsEmptyFolder(save)) << shown;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "scan.png"));

    // Asked for in so many words, a PDF may have any name.
    const ProgramResult forced =
        RunCli({"-q", "--force", "--size", "100x100", "--output", (dir / "scan.png").string(), picture});
    EXPECT_EQ(forced.exitCode, 0) << forced.err;
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "scan.png"));
}
