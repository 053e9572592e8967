#include "ExactPixels.h"
#include "PdfProbe.h"
#include "Pictures.h"
#include "RunProgram.h"
#include "TempDir.h"

#include <gtest/gtest.h>
#include <vips/vips8>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

namespace fs = std::filesystem;
using vips::VImage;

namespace {

// Bits per component of each image of `pdf`, as pdfimages lists them.
std::vector<int> BitsOfImages(const fs::path& pdf) {
    std::istringstream lines(RunProgram("/usr/bin/pdfimages", {"-list", pdf.string()}).out);
    std::vector<int> bits;
    std::string line;
    for (int skipped = 0; skipped < 2 && std::getline(lines, line); ++skipped) {
    }
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string field;
        for (int i = 0; i < 8 && fields >> field; ++i) {
        }
        bits.push_back(std::stoi(field));
    }
    return bits;
}

// The compressed picture data of a PNG: its IDAT chunks, joined.
std::string IdatOf(const fs::path& png) {
    std::ifstream in(png, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string data;
    for (size_t at = 8; at + 12 <= bytes.size();) {
        const auto* b = reinterpret_cast<const unsigned char*>(bytes.data() + at);
        const size_t length = size_t{b[0]} << 24 | size_t{b[1]} << 16 | size_t{b[2]} << 8 | b[3];
        if (bytes.compare(at + 4, 4, "IDAT") == 0) {
            data += bytes.substr(at + 8, length);
        }
        at += length + 12;
    }
    return data;
}

struct Kind {
    std::string picture;
    std::string filter; // how its page's image is stored
    int bits;           // and at how many bits per component
};

// Pictures of every kind --lossless treats in its own way, made where the
// corpus has none.
std::vector<Kind> EveryKind(const TempDir& dir) {
    const fs::path corpus = Corpus();
    std::vector<Kind> kinds = {
        {(corpus / "png" / "basn2c08.png").string(), "/FlateDecode", 8},  // RGB, copied
        {(corpus / "png" / "basn0g16.png").string(), "/FlateDecode", 16}, // 16-bit grey, copied
        {(corpus / "png" / "basn3p04.png").string(), "/FlateDecode", 4},  // palette, copied
        {(corpus / "png" / "basi0g08.png").string(), "/FlateDecode", 8},  // interlaced: decoded
        {(corpus / "png" / "basn6a08.png").string(), "/FlateDecode", 8},  // alpha: over white
        {(corpus / "png" / "basn0g01.png").string(), "/CCITTFaxDecode", 1},
        {(corpus / "tiff" / "hopper_g4.tif").string(), "/CCITTFaxDecode", 1},         // its strip, copied
        {(corpus / "tiff" / "g4-fillorder-test.tif").string(), "/CCITTFaxDecode", 1}, // encoded again
        {(corpus / "tiff" / "hopper_lzw.tif").string(), "/FlateDecode", 8},
        {(corpus / "gif" / "hopper.gif").string(), "/FlateDecode", 8}, // 256 colours: Indexed
    };
    // A fax: 2 x 2 inches at 204 x 98 dpi, one bit a pixel in Group 4.
    WriteSolidPictureAt(dir / "fax.tif", 408, 196, {0, 0, 0}, 204, 98, true);
    kinds.push_back({(dir / "fax.tif").string(), "/CCITTFaxDecode", 1});
    const VImage photo = VImage::new_from_file((corpus / "png" / "basn2c08.png").c_str());
    try {
        photo.webpsave((dir / "lossless.webp").c_str(), VImage::option()->set("lossless", true));
        kinds.push_back({(dir / "lossless.webp").string(), "/FlateDecode", 8});
        photo.jp2ksave((dir / "photo.jp2").c_str(), VImage::option()->set("lossless", true));
        kinds.push_back({(dir / "photo.jp2").string(), "/JPXDecode", 8});
    } catch (const vips::VError&) {
        ADD_FAILURE() << "this libvips cannot write WebP or JPEG 2000: " << vips_error_buffer();
    }
    return kinds;
}

} // namespace

// Every page shows its picture's own pixels, stored as its kind allows, at
// the picture's true shape: extracted from the document, each image is its
// source exactly.
TEST(CliLossless, EveryPageIsItsPictureExactly) {
    TempDir dir;
    const std::vector<Kind> kinds = EveryKind(dir);
    std::vector<std::string> arguments = {"-q",      "--lossless", "--page",
                                          "picture", "--output",   (dir / "all.pdf").string()};
    for (const Kind& kind : kinds) {
        arguments.push_back(kind.picture);
    }
    const ProgramResult run = RunCli(arguments);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const PdfProbe probe = ProbePdf(dir / "all.pdf");
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.pages.size(), kinds.size());
    const std::vector<fs::path> images = ExtractImages(dir / "all.pdf", dir / "images");
    ASSERT_EQ(images.size(), kinds.size());
    const std::vector<int> bits = BitsOfImages(dir / "all.pdf");
    ASSERT_EQ(bits.size(), kinds.size());
    for (size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i].picture);
        ASSERT_EQ(probe.pages[i].images.size(), 1u);
        EXPECT_EQ(probe.pages[i].images[0].filters, std::vector<std::string>{kinds[i].filter});
        EXPECT_EQ(bits[i], kinds[i].bits);
        if (kinds[i].bits != 16) { // pdfimages gives 8 bits of 16
            EXPECT_EQ(DifferentPixels(images[i], kinds[i].picture), 0);
        }
    }
    // Copied means copied: the PDF holds the PNGs' own compressed data, not
    // the writer's second go at it.
    for (size_t copied = 0; copied < 3; ++copied) {
        EXPECT_EQ(probe.pages[copied].images[0].bytes, IdatOf(kinds[copied].picture)) << kinds[copied].picture;
    }
    // The fax at its true shape: 2 x 2 inches, its 408 x 196 pixels stretched.
    const PdfPage& fax = probe.pages[10];
    EXPECT_NEAR(fax.mediaBox[2] - fax.mediaBox[0], 144, 0.5);
    EXPECT_NEAR(fax.mediaBox[3] - fax.mediaBox[1], 144, 0.5);
    EXPECT_EQ(fax.images[0].width, 408);
    EXPECT_EQ(fax.images[0].height, 196);
}

// Pictures coded lossily already become JPEGs of their own size, never
// inflated into Flate; a PNG whose data is damaged cannot be copied and is
// decoded and reported as any damaged picture is.
TEST(CliLossless, LossyPicturesStayJpegsAndDamagedOnesAreDecoded) {
    TempDir dir;
    ReadSize(Corpus() / "png" / "basn2c08.png"); // starts libvips
    const VImage photo = VImage::new_from_file((Corpus() / "png" / "basn2c08.png").c_str());
    photo.webpsave((dir / "lossy.webp").c_str());
    std::ifstream in(Corpus() / "png" / "basn2c08.png", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const size_t data = bytes.find("IDAT");
    ASSERT_NE(data, std::string::npos);
    bytes[data + 40] ^= 0x5A; // inside the compressed data; the checksum no longer matches
    std::ofstream(dir / "damaged.png", std::ios::binary) << bytes;
    const ProgramResult run =
        RunCli({"-q", "--lossless", "--page", "picture", "--output", (dir / "out.pdf").string(),
                (dir / "lossy.webp").string(), (dir / "damaged.png").string()});
    EXPECT_NE(run.err.find("damaged.png"), std::string::npos) << run.err;
    const PdfProbe probe = ProbePdf(dir / "out.pdf");
    ASSERT_TRUE(probe.opened) << probe.error;
    ASSERT_EQ(probe.pages.size(), 2u);
    EXPECT_EQ(probe.pages[0].images[0].filters, std::vector<std::string>{"/DCTDecode"});
    EXPECT_EQ(probe.pages[0].images[0].width, photo.width());
    EXPECT_EQ(probe.pages[1].images[0].filters, std::vector<std::string>{"/DCTDecode"});
}

// Text recognition reads the picture itself, whether its data was copied
// (a PNG) or decoded and stored again (a TIFF in PackBits), and the text
// lies over it.
TEST(CliLossless, CopiedAndDecodedPagesAreSearchable) {
    TempDir dir;
    WriteTextPicture(dir / "letter.png", "Quarterly invoice", 18, 900);
    ReencodePicture(dir / "letter.png", dir / "letter.tif");
    const ProgramResult run =
        RunCli({"-q", "--lossless", "--ocr", "eng", "--output", (dir / "text.pdf").string(),
                (dir / "letter.png").string(), (dir / "letter.tif").string()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* page : {"1", "2"}) {
        const ProgramResult text =
            RunProgram("/usr/bin/pdftotext", {"-f", page, "-l", page, (dir / "text.pdf").string(), "-"});
        EXPECT_NE(text.out.find("invoice"), std::string::npos) << "page " << page << ": " << text.out;
    }
}
