#include "PageNotes.h"
#include "ConvertOptions.h"
#include "PdfTestDocuments.h"
#include "PdfProbe.h"
#include "PdfText.h"
#include "Pictures.h"
#include "TempDir.h"
#include "TextLineLayout.h"
#include "Utf8.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <sstream>

namespace fs = std::filesystem;

namespace {

std::string Utf8(const std::u32string& text) {
    std::u16string wide;
    for (char32_t c : text) {
        if (c >= 0x10000) {
            wide += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            wide += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            wide += static_cast<char16_t>(c);
        }
    }
    return ToUtf8(wide).value_or("?");
}

// A line of words, each given by its text and its left and right edges, on
// a band from y = top to y = top + 30 with its baseline 6 above the bottom.
RecognizedLine Line(int top, const std::vector<std::tuple<std::string, int, int>>& words) {
    RecognizedLine line;
    line.top = top;
    line.bottom = top + 30;
    line.baselineY1 = line.baselineY2 = top + 24;
    for (const auto& [text, left, right] : words) {
        line.words.push_back({text, left, top, right, top + 30});
    }
    line.left = line.words.front().left;
    line.right = line.words.back().right;
    line.baselineX1 = line.left;
    line.baselineX2 = line.right;
    return line;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The non-empty lines of a text.
std::vector<std::string> LinesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (line.find_first_not_of(" \f") != std::string::npos) {
            lines.push_back(line);
        }
    }
    return lines;
}

} // namespace

TEST(TextLineLayout, SpacesStandWhereTheScriptsPutThem) {
    struct Row {
        const char* what;
        RecognizedLine line;
        const char* expected;
    };
    const std::vector<Row> rows = {
        {"English words", Line(0, {{"The", 10, 40}, {"quick", 50, 95}, {"fox.", 105, 140}}),
         "The quick fox."},
        {"Chinese read one character at a time",
         Line(0, {{"今天", 10, 50}, {"天", 50, 70}, {"气", 70, 90}, {"很好", 90, 130}, {"。", 130, 150}}),
         "今天天气很好。"},
        {"a Latin word inside Chinese", Line(0, {{"转换成", 10, 70}, {"PDF", 80, 110}, {"文档", 120, 160}}),
         "转换成 PDF 文档"},
        {"numbers and brackets cling to Chinese",
         Line(0, {{"2024", 10, 50}, {"年", 50, 70}, {"3", 70, 80}, {"月", 80, 100}, {"（注）", 100, 160}}),
         "2024年3月（注）"},
        {"Japanese kana", Line(0, {{"これは", 10, 70}, {"テスト", 70, 130}}), "これはテスト"},
        {"Korean keeps its spaces", Line(0, {{"안녕하세요", 10, 110}, {"세계", 120, 160}}),
         "안녕하세요 세계"},
        {"beyond the Basic Multilingual Plane", Line(0, {{"𠀀", 10, 30}, {"字", 30, 50}}), "𠀀字"},
        // The boxes of a CJK run often overlap or run backwards; the text
        // still comes out whole and in order.
        {"boxes that overlap and run backwards",
         Line(0, {{"今天", 10, 300}, {"天", 40, 60}, {"气", 30, 50}, {"ok", 45, 45}}), "今天天气 ok"},
    };
    for (const Row& row : rows) {
        const std::vector<TextPiece> pieces = LayOutLine(row.line);
        std::u32string text;
        for (size_t i = 0; i < pieces.size(); ++i) {
            text += pieces[i].text;
            EXPECT_GT(pieces[i].end, pieces[i].start) << row.what << ": piece " << i << " has no width";
            if (i > 0) {
                // A gap would read as a space, an overlap as a repeated glyph.
                EXPECT_DOUBLE_EQ(pieces[i].start, pieces[i - 1].end) << row.what << ": piece " << i;
            }
        }
        EXPECT_EQ(Utf8(text), row.expected) << row.what;
        ASSERT_FALSE(pieces.empty()) << row.what;
        EXPECT_DOUBLE_EQ(pieces.front().start, row.line.words.front().left) << row.what;
    }
}

TEST(PageNotes, CarryTheTextBesideTheOtherNotesAndRefuseTextTheyCannotTrust) {
    PageNotes notes;
    notes.source = "/home/user/Pictures/scan.jpg";
    notes.keptJpeg = KeptJpeg{640, 480, 6, 400, 300, {100, 0, 200, 300}};
    notes.text = PageText{400, 300, {Line(20, {{"Hello", 20, 100}, {"中文", 110, 150}})}};
    EXPECT_EQ(PageNotesFromJson(PageNotesToJson(notes)).notes, notes);

    const std::vector<std::string> untrusted = {
        R"({"text": {"width": 400, "height": 300, "lines": [{"box": [0, 0, 500, 10],
            "baseline": [0, 5, 10, 5], "words": [["a", 0, 0, 1, 1]]}]}})", // box off the page
        R"({"text": {"width": 400, "height": 300, "lines": [{"box": [0, 0, 10, 10],
            "baseline": [0, 5, 10, 5], "words": [["", 0, 0, 1, 1]]}]}})",  // a word without text
        R"({"text": {"width": 400, "height": 300, "lines": [{"box": [0, 0, 10, 10],
            "baseline": [0, 5, 10, 5], "words": [["a", 5, 0, 1, 1]]}]}})", // right of a word before its left
        R"({"text": {"width": 0, "height": 300, "lines": []}})",
        R"({"text": {"width": 400, "height": 300, "lines": [{"box": [0, 0, 10, 10],
            "baseline": [0, 5, 10, 5], "words": []}]}})",
        R"({"text": "Hello"})",
    };
    for (const std::string& side : untrusted) {
        const PageNotesRead read = PageNotesFromJson(side);
        EXPECT_NE(read.error, "") << side;
        EXPECT_FALSE(read.notes.text) << side;
    }
}

TEST(TextLayer, ReadersFindTheTextAsRecognisedAndThePageLooksTheSame) {
    TempDir dir;
    const fs::path plainPage = dir / "plain" / "0.jpg";
    const fs::path textPage = dir / "text" / "0.jpg";
    fs::create_directories(plainPage.parent_path());
    fs::create_directories(textPage.parent_path());
    WriteSolidPicture(plainPage, 400, 300, {250, 250, 240});
    fs::copy_file(plainPage, textPage);
    const PageText text{
        400,
        300,
        {Line(20, {{"Hello", 20, 100}, {"world", 115, 200}}),
         Line(70, {{"中文", 20, 60}, {"文本", 60, 100}, {"2024", 100, 140}, {"年", 140, 160}}),
         Line(120, {{"𠀀字", 20, 60}, {"PDF", 75, 120}}), Line(170, {{"안녕", 20, 60}, {"세계", 75, 120}})}};
    const std::vector<std::string> expected = {"Hello world", "中文文本2024年", "𠀀字 PDF", "안녕 세계"};

    struct Protection {
        const char* what;
        bool password;
        bool forbidPrint;
    };
    for (const Protection& protection :
         {Protection{"unprotected", false, false}, Protection{"with a password", true, false},
          Protection{"printing forbidden", false, true}}) {
        ConvertOptions options;
        options.pageWidth = 400;
        options.pageHeight = 300;
        options.usePassword = protection.password ? 1 : 0;
        options.password = u"secret";
        options.forbidPrint = protection.forbidPrint ? 1 : 0;
        const std::string password = protection.password ? "secret" : "";
        const fs::path withText = dir / (std::string(protection.what) + " text.pdf");
        const fs::path without = dir / (std::string(protection.what) + " plain.pdf");
        ASSERT_EQ(WritePages({{textPage, {}, {}, text}}, withText, DocumentSettingsFor(options)).status,
                  PdfOutcome::Status::Written);
        ASSERT_EQ(JpegToPdf(plainPage, without, DocumentSettingsFor(options)).status, PdfOutcome::Status::Written);

        const std::optional<std::string> read = PdfToText(withText, password);
        ASSERT_TRUE(read) << protection.what;
        EXPECT_EQ(LinesOf(*read), expected) << protection.what;
        const PdfProbe probe = ProbePdf(withText, password);
        ASSERT_TRUE(probe.opened) << protection.what << ": " << probe.error;
        EXPECT_EQ(probe.pages.size(), 1u);
        // Invisible: the page is drawn exactly as the page without text.
        const std::string drawn = DrawFirstPage(withText, 36, password);
        EXPECT_FALSE(drawn.empty()) << protection.what;
        EXPECT_TRUE(drawn == DrawFirstPage(without, 36, password)) << protection.what;
        if (protection.password || protection.forbidPrint) {
            // Encrypted with the rest: the characters' codes appear nowhere in clear.
            EXPECT_EQ(ReadBytes(withText).find("4E2D6587"), std::string::npos) << protection.what;
        }
        if (protection.password) {
            EXPECT_FALSE(PdfToText(withText)) << "opened without the password";
        }
    }
}
