#include "RunProgram.h"
#include "TempDir.h"

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
