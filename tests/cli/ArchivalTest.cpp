#include "PdfProbe.h"
#include "Pictures.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kJava = "/usr/bin/java";
constexpr const char* kJars = "/usr/share/java";

// Apache PDFBox's validator, as Debian installs it (libpdfbox2-java with
// default-jre-headless, libactivation-java and libjaxb-api-java); empty when
// part of it is missing, `why` then says what.
std::string PreflightClassPath(std::string& why) {
    if (::access(kJava, X_OK) != 0) {
        why = "no Java (default-jre-headless) is installed";
        return {};
    }
    std::string path;
    for (const char* jar :
         {"preflight", "pdfbox2", "fontbox2", "xmpbox", "commons-logging", "javax.activation", "jaxb-api"}) {
        const fs::path file = fs::path(kJars) / (std::string(jar) + ".jar");
        if (!fs::exists(file)) {
            why = file.string() + " is missing (libpdfbox2-java, libactivation-java, libjaxb-api-java)";
            return {};
        }
        path += (path.empty() ? "" : ":") + file.string();
    }
    return path;
}

// What the validator says about `pdf`: empty when it calls it valid PDF/A-1b.
std::string PreflightComplaints(const std::string& classPath, const fs::path& pdf) {
    const ProgramResult result =
        RunProgram(kJava, {"-cp", classPath, "org.apache.pdfbox.preflight.Validator_A1b", pdf.string()});
    if (result.exitCode == 0 && result.out.find("is a valid PDF/A-1b file") != std::string::npos) {
        return {};
    }
    return result.out + result.err;
}

std::vector<fs::path> DocumentsIn(const fs::path& folder) {
    std::vector<fs::path> documents;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.path().extension() == ".pdf") {
            documents.push_back(entry.path());
        }
    }
    return documents;
}

std::string Picture(const char* folder, const char* name) {
    return (Corpus() / folder / name).string();
}

} // namespace

// Every way of making documents gives files the validator accepts: merged
// and separate, lists and folder groups, text layers, kept JPEGs, paper sizes.
TEST(CliArchival, PreflightAcceptsEveryMode) {
    std::string why;
    const std::string classPath = PreflightClassPath(why);
    if (classPath.empty()) {
        GTEST_SKIP() << why;
    }
    TempDir dir;
    fs::create_directories(dir / "groups" / "a");
    fs::create_directories(dir / "groups" / "b");
    fs::copy_file(Corpus() / "jpeg" / "flower.jpg", dir / "groups" / "a" / "flower.jpg");
    fs::copy_file(Corpus() / "jpeg" / "hopper_gray.jpg", dir / "groups" / "a" / "grey.jpg");
    fs::copy_file(Corpus() / "tiff" / "g4-multi.tiff", dir / "groups" / "b" / "scan.tiff");
    const std::vector<std::string> pictures = {
        Picture("jpeg", "flower.jpg"), Picture("jpeg", "hopper_gray.jpg"), Picture("png", "basn2c08.png"),
        Picture("tiff", "g4-multi.tiff"), Picture("png", "basn0g16.png"), Picture("png", "basn3p04.png"),
        (dir / "photo.jp2").string()};
    ReencodePicture(Corpus() / "png" / "basn2c08.png", dir / "photo.jp2");
    const std::vector<std::string> groups = {(dir / "groups" / "a").string(),
                                             (dir / "groups" / "b").string()};
    struct Row {
        const char* name;
        std::vector<std::string> options;
        bool folders;
    };
    const Row rows[] = {{"merged", {}, false},
                        {"separate", {"--separate"}, false},
                        {"folders", {"--folders"}, true},
                        {"folders-separate", {"--folders", "--separate"}, true},
                        {"text", {"--ocr", "eng"}, false},
                        {"kept", {"--keep-jpeg"}, false},
                        // PDF 1.4 has neither 16-bit samples nor JPEG 2000.
                        {"lossless", {"--lossless"}, false},
                        {"a4", {"--page", "A4"}, false}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const fs::path save = dir / "out" / row.name;
        fs::create_directories(save);
        std::vector<std::string> arguments = {"-q",      "--pdfa", "1b", "--bookmarks",
                                              "--title", "T",      "-o", save.string()};
        arguments.insert(arguments.end(), row.options.begin(), row.options.end());
        const auto& sources = row.folders ? groups : pictures;
        arguments.insert(arguments.end(), sources.begin(), sources.end());
        const ProgramResult run = RunCli(arguments);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::vector<fs::path> documents = DocumentsIn(save);
        EXPECT_FALSE(documents.empty());
        for (const fs::path& document : documents) {
            EXPECT_EQ(PreflightComplaints(classPath, document), "") << document;
        }
    }
}

// PDF/A-2b, which the validator does not check: its identification, its
// output intent, and a file that qpdf finds sound.
TEST(CliArchival, PdfA2bCarriesItsIdentification) {
    TempDir dir;
    const fs::path file = dir / "a.pdf";
    const ProgramResult run = RunCli({"-q", "--pdfa", "2b", "--bookmarks", "--output", file.string(),
                                      Picture("jpeg", "flower.jpg"), Picture("tiff", "g4-multi.tiff")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const PdfProbe probe = ProbePdf(file);
    ASSERT_TRUE(probe.opened) << probe.error;
    EXPECT_EQ(probe.version, "1.7");
    EXPECT_NE(probe.metadata.find("<pdfaid:part>2</pdfaid:part>"), std::string::npos);
    EXPECT_NE(probe.metadata.find("<pdfaid:conformance>B</pdfaid:conformance>"), std::string::npos);
    ASSERT_EQ(probe.outputIntents.size(), 1u);
    EXPECT_EQ(probe.outputIntents[0].rfind("/GTS_PDFA1 ", 0), 0u);
    EXPECT_EQ(probe.outline.size(), 2u);
    const ProgramResult check = RunProgram("/usr/bin/qpdf", {"--check", file.string()});
    EXPECT_EQ(check.exitCode, 0) << check.out << check.err;
}

// Refused before anything is written or a password is asked for.
TEST(CliArchival, RefusesWhatPdfACannotBeOrWhatIsNoText) {
    struct Row {
        std::vector<std::string> options;
        const char* message;
    };
    const Row rows[] = {
        {{"--pdfa", "1b", "--forbid-print"}, "PDF/A does not allow encryption"},
        {{"--pdfa", "2b", "--password-env", "QM_PASSWORD"}, "PDF/A does not allow encryption"},
        {{"--pdfa", "3u"}, "--pdfa takes 1b or 2b"},
        {{"--title", "caf\xE9"}, "--title is not valid UTF-8"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        std::vector<std::string> arguments = {"-o", dir.path().string()};
        arguments.insert(arguments.end(), row.options.begin(), row.options.end());
        arguments.push_back(Picture("jpeg", "flower.jpg"));
        const ProgramResult run = RunCli(arguments, "", {"QM_PASSWORD=secret"});
        EXPECT_EQ(run.exitCode, 2) << row.message;
        EXPECT_NE(run.err.find(row.message), std::string::npos) << run.err;
        EXPECT_TRUE(fs::is_empty(dir.path())) << row.message;
    }
}
