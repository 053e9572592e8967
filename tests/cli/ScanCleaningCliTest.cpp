#include "PdfProbe.h"
#include "RunProgram.h"
#include "TempDir.h"
#include "TestScans.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <cmath>

namespace fs = std::filesystem;

namespace {

// The decision the report tells for `name`, or null when it tells none.
nlohmann::json DecisionFor(const nlohmann::json& report, const std::string& name) {
    for (const auto& decision : report["scanDecisions"]) {
        if (fs::path(decision["source"].get<std::string>()).filename() == name) {
            return decision;
        }
    }
    return nullptr;
}

} // namespace

TEST(CliScans, StraightUprightBlackAndWhitePagesWithoutTheBlankBacks) {
    TempDir scans, save;
    WriteScannedTextPage(scans / "0 askew.png", {4.0});
    WriteScannedTextPage(scans / "1 upside down.png", {-2.0, 2});
    WriteScannedTextPage(scans / "2 sideways.png", {0, 1});
    WriteLightPage(scans / "3 back.png", LightPage::Blank, 7);
    WritePhotoLikePicture(scans / "4 photo.png");
    std::vector<std::string> arguments = {"--deskew", "--auto-rotate", "--skip-blank", "--bilevel", "--page",
                                          "A4", "--separate", "--json", "-q", "-o", save.path().string()};
    for (const char* name : {"0 askew.png", "1 upside down.png", "2 sideways.png", "3 back.png", "4 photo.png"}) {
        arguments.push_back((scans / name).string());
    }
    const ProgramResult result = RunCli(arguments);
    ASSERT_EQ(result.exitCode, 0) << result.out << result.err;
    const nlohmann::json report = nlohmann::json::parse(result.out);

    const nlohmann::json askew = DecisionFor(report, "0 askew.png");
    ASSERT_TRUE(askew.is_object()) << report.dump(2);
    EXPECT_EQ(askew["turnedBy"], 0);
    EXPECT_NEAR(askew["straightenedBy"].get<double>(), -4.0, 0.25);
    const nlohmann::json upsideDown = DecisionFor(report, "1 upside down.png");
    ASSERT_TRUE(upsideDown.is_object()) << report.dump(2);
    EXPECT_EQ(upsideDown["turnedBy"], 180);
    EXPECT_NEAR(upsideDown["straightenedBy"].get<double>(), 2.0, 0.25);
    const nlohmann::json sideways = DecisionFor(report, "2 sideways.png");
    ASSERT_TRUE(sideways.is_object()) << report.dump(2);
    EXPECT_EQ(sideways["turnedBy"], 270);
    EXPECT_EQ(DecisionFor(report, "3 back.png")["blank"], true);
    EXPECT_TRUE(DecisionFor(report, "4 photo.png").is_null()) << report.dump(2);

    // A left-out picture gets no document; the others keep their numbers.
    const fs::path folder = report["outputFolder"].get<std::string>();
    for (const char* document : {"0.pdf", "1.pdf", "2.pdf", "4.pdf"}) {
        EXPECT_TRUE(fs::exists(folder / document)) << document;
    }
    EXPECT_FALSE(fs::exists(folder / "3.pdf"));
    // The page turned a quarter lies upright on an upright A4 page.
    const PdfProbe sidewaysPdf = ProbePdf(folder / "2.pdf");
    ASSERT_EQ(sidewaysPdf.pages.size(), 1u);
    ASSERT_EQ(sidewaysPdf.pages[0].images.size(), 1u);
    const PdfImage& page = sidewaysPdf.pages[0].images[0];
    EXPECT_LT(page.width, page.height);
    // Black and white pages go in as Group 4, a fraction of a grey page.
    EXPECT_EQ(page.filters, std::vector<std::string>{"/CCITTFaxDecode"});
    EXPECT_LT(page.bytes.size(), 60'000u);
}

TEST(CliScans, OnlyBlankPagesWriteNothingAndSaySo) {
    TempDir scans, save;
    WriteLightPage(scans / "back.png", LightPage::Blank, 3);
    const ProgramResult result =
        RunCli({"--skip-blank", "-o", save.path().string(), (scans / "back.png").string()});
    EXPECT_EQ(result.exitCode, 1) << result.out << result.err;
    EXPECT_NE(result.err.find("back.png: blank, left out"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("no document was written"), std::string::npos) << result.err;
}

TEST(CliScans, TurningUprightWithoutOrientationDataIsAUsageErrorNamingThePackage) {
    TempDir scans, save, noData;
    WriteScannedTextPage(scans / "page.png", {});
    const ProgramResult result = RunCli({"--auto-rotate", "-o", save.path().string(), (scans / "page.png").string()},
                                        "", {"TESSDATA_PREFIX=" + noData.path().string()});
    EXPECT_EQ(result.exitCode, 2) << result.out << result.err;
    EXPECT_NE(result.err.find("tesseract-ocr-osd"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::is_empty(save.path()));
}
