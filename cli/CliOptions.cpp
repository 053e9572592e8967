#include "CliOptions.h"

#include "PasswordPrompt.h"
#include "Utf8.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <limits>
#include <nlohmann/json.hpp>
#include <regex>
#include <unistd.h>

namespace {

constexpr const char* kDescription =
    "Quillmark: turns pictures (JPEG, PNG, BMP, TIFF, GIF, EMF, HEIC, HEIF, AVIF, WebP,\n"
    "JPEG XL, JPEG 2000) into PDF documents; every page of a multi-page TIFF becomes a page.\n"
    "Each SOURCE is a picture, or a folder whose pictures are taken oldest first\n"
    "(or by name with --order name).\n"
    "The documents go into a new folder \"转换结果<date and time>\" inside the save folder.";

struct UsageError {
    std::string message;
};

std::string FirstLine(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

// An empty password would give a document that claims protection and opens
// with nothing typed: refused here, where the user can still choose another.
std::u16string DecodePassword(const std::string& bytes, const std::string& where) {
    if (bytes.empty()) {
        throw UsageError{"the password from " + where +
                         " is empty; a document that opens without typing anything is not protected"};
    }
    auto wide = Utf8ToUtf16(bytes);
    if (!wide) {
        throw UsageError{"the password from " + where + " is not valid UTF-8 text"};
    }
    return *wide;
}

std::string PasswordFromStandardInput() {
    if (!::isatty(STDIN_FILENO)) {
        return FirstLine(std::cin);
    }
    std::string error;
    std::optional<std::string> typed = PromptForPassword(error);
    if (!typed) {
        throw UsageError{error};
    }
    return *typed;
}

std::optional<std::u16string> ReadPassword(const std::string& file, const std::string& env, bool fromStdin) {
    if (!file.empty()) {
        std::ifstream in(file, std::ios::binary);
        if (!in) {
            throw UsageError{"cannot read the password file " + file};
        }
        return DecodePassword(FirstLine(in), "the password file");
    }
    if (!env.empty()) {
        const char* value = std::getenv(env.c_str());
        if (value == nullptr) {
            throw UsageError{"the environment variable " + env + " holding the password is not set"};
        }
        return DecodePassword(value, "the environment variable " + env);
    }
    if (fromStdin) {
        return DecodePassword(PasswordFromStandardInput(), "standard input");
    }
    return std::nullopt;
}

void ParseSize(const std::string& text, CliRequest& request) {
    static const std::regex kSize(R"(\s*(\d{1,9})\s*[xX×]\s*(\d{1,9})\s*)");
    std::smatch match;
    if (!std::regex_match(text, match, kSize)) {
        throw UsageError{"--size takes WIDTHxHEIGHT in pixels, such as 1587x2245, not \"" + text + "\""};
    }
    // The range is the engine's to check, once, when the job begins.
    request.pageWidth = std::stoi(match[1]);
    request.pageHeight = std::stoi(match[2]);
}

void ParsePaper(const std::string& name, CliRequest& request) {
    const std::optional<PaperSize> paper = PaperSizeNamed(name);
    if (!paper) {
        std::string names;
        for (PaperSize preset : PaperPresets()) {
            names += std::string(names.empty() ? "" : ", ") + PaperName(preset);
        }
        throw UsageError{"--page takes one of " + names + ", not \"" + name + "\""};
    }
    request.paper = *paper;
}

void CheckPaths(const CliRequest& request) {
    std::error_code error;
    if (!std::filesystem::is_directory(request.saveFolder, error)) {
        const bool isFile = std::filesystem::exists(request.saveFolder, error);
        throw UsageError{"the save folder " + request.saveFolder.string() +
                         (isFile ? " is a file, not a folder" : " does not exist")};
    }
    for (const auto& source : request.sources) {
        if (!std::filesystem::exists(source, error)) {
            throw UsageError{"no such picture or folder: " + source.string()};
        }
        if (request.folders && !std::filesystem::is_directory(source, error)) {
            throw UsageError{"with --folders every SOURCE must be a folder: " + source.string()};
        }
    }
}

template <typename Value> struct Choice {
    const char* name;
    Value value;
};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

// One of a few words, as CLI11's own checks would take it (any case), but
// refused in a sentence that names every word the option takes.
template <typename Value, size_t N>
Value ParseChoice(const char* option, const std::string& text, const Choice<Value> (&choices)[N]) {
    std::string accepted;
    for (size_t i = 0; i < N; ++i) {
        if (SameIgnoringCase(text, choices[i].name)) {
            return choices[i].value;
        }
        accepted += std::string(i == 0 ? "" : i + 1 == N ? " or " : ", ") + choices[i].name;
    }
    throw UsageError{std::string(option) + " takes " + accepted + ", not \"" + text + "\""};
}

// A number that is the whole text. Its range is the engine's to check, once,
// when the job begins, except where `low` and `high` are given; a NaN or an
// infinity is never in range.
template <typename Number>
Number ParseNumber(const char* option, const std::string& text, const std::string& accepts,
                   Number low = std::numeric_limits<Number>::lowest(),
                   Number high = std::numeric_limits<Number>::max()) {
    Number value{};
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end || !(value >= low && value <= high)) {
        throw UsageError{std::string(option) + " takes " + accepts + ", not \"" + text + "\""};
    }
    return value;
}

// The options as typed, kept as text so that a bad value is refused in our
// own words rather than in the parser's.
struct TypedOptions {
    std::vector<std::string> sources;
    std::string saveFolder = ".";
    std::string size = "1587x2245";
    std::string paper;
    std::string dpi = std::to_string(kDefaultDpi);
    std::string orientation;
    std::string margin;
    std::string fit;
    std::string order;
    std::string jobs;
    std::string quality = "75";
    std::string passwordFile, passwordEnv;
    bool passwordStdin = false;
    std::string encryption = "rc4";
    std::string names = "numbers";
    std::string outputFile;
    std::string pdfa;
    CLI::Option* ocr = nullptr;
};

void AddPageOptions(CLI::App& app, TypedOptions& typed) {
    app.add_option("SOURCE", typed.sources, "pictures or folders to convert, in page order")->required();
    app.add_option("-o,--save-folder", typed.saveFolder,
                   "folder in which the time-stamped output folder is made")
        ->capture_default_str();
    auto* sizeOption =
        app.add_option("--size", typed.size, "page size WIDTHxHEIGHT in pixels (3 to 14400 each)")
            ->capture_default_str();
    auto* pageOption = app.add_option("--page", typed.paper,
                                      "paper size instead: A5, A4, A3, A2, B5, Letter, Legal or Tabloid "
                                      "(a PDF page of the true sheet size), or picture (each page the "
                                      "picture's own size at its resolution, 96 dpi when it states none)")
                           ->option_text("NAME");
    pageOption->excludes(sizeOption);
    app.add_option("--dpi", typed.dpi, "resolution of the pages of a --page size (72 to 600)")
        ->type_name("INT")
        ->capture_default_str()
        ->needs(pageOption);
    app.add_option("--orient", typed.orientation,
                   "turn pages: portrait, landscape, or auto (landscape for pictures wider than tall); "
                   "default: as the size says")
        ->option_text("portrait|landscape|auto");
    app.add_option("--margin", typed.margin,
                   "white border on every side: millimetres with --page, pixels otherwise (default 0)")
        ->type_name("NUMBER");
    app.add_option("--fit", typed.fit,
                   "fit: enlarge or reduce pictures to the page (default); shrink: never enlarge")
        ->option_text("fit|shrink");
    app.add_option("--order", typed.order,
                   "order of the pictures taken from a folder: time (oldest first, the default) or name "
                   "(natural: img2 before img10); with --folders, groups are in name order unless given")
        ->option_text("time|name");
}

void AddDocumentOptions(CLI::App& app, TypedOptions& typed, CliRequest& request) {
    app.add_flag("--separate", request.separate, "one PDF per picture instead of one merged PDF");
    app.add_flag("--forbid-print", request.forbidPrint, "forbid printing, changing and copying");
    auto* file = app.add_option("--password-file", typed.passwordFile,
                                "read the open password from FILE's first line");
    auto* env =
        app.add_option("--password-env", typed.passwordEnv, "read the open password from environment VAR");
    auto* in =
        app.add_flag("--password-stdin", typed.passwordStdin, "read the open password from standard input");
    file->excludes(env)->excludes(in);
    env->excludes(in);
    app.add_flag("--folders", request.folders,
                 "each SOURCE is a folder whose pictures form a group of its own");
    typed.ocr = app.add_option("--ocr", request.ocrLanguages,
                               "recognise the text of every page in LANGS (such as chi_sim+eng) and add it "
                               "as an invisible layer, so the documents can be searched and copied from");
    typed.ocr->type_name("LANGS");
    app.add_option("-j,--jobs", typed.jobs, "pictures prepared at once (default: one per core)")
        ->type_name("INT");
    app.add_flag("--json", request.json, "print the report (and usage errors) as JSON on standard output");
    app.add_flag("-q,--quiet", request.quiet, "no progress and no summary");
    app.add_option("--quality", typed.quality, "JPEG quality of rendered pages, 1 to 100")
        ->type_name("INT")
        ->capture_default_str();
    app.add_flag("--keep-jpeg", request.keepJpeg,
                 "put JPEG pictures into the PDF byte for byte instead of rendering them again");
    app.add_flag("--lossless", request.lossless,
                 "show every picture's own pixels, never resampled: JPEGs, PNGs, Group 4 scans and JPEG 2000 "
                 "go in as they are, other pictures compressed losslessly (HEIC, AVIF, lossy WebP and JPEG XL "
                 "stay lossy, as JPEGs of their own size)");
    app.add_option("--encryption", typed.encryption, "how protected documents are encrypted: rc4 or aes256")
        ->type_name("rc4|aes256")
        ->capture_default_str();
    app.add_option("--names", typed.names,
                   "names of separate documents: numbers (0.pdf, 1.pdf) or source (after each picture)")
        ->type_name("numbers|source")
        ->capture_default_str();
    auto* output = app.add_option("--output", typed.outputFile,
                                  "write one merged document exactly to FILE, whose name ends in .pdf "
                                  "(no time-stamped folder)");
    auto* force = app.add_flag("--force", request.force,
                               "let --output replace an existing file, or write to a name without .pdf");
    force->needs(output);
    app.add_option("--title", request.properties.title,
                   "title of every document (default: its folder's or its picture's name)");
    app.add_option("--author", request.properties.author, "author named in every document");
    app.add_option("--subject", request.properties.subject, "subject of every document");
    app.add_option("--keywords", request.properties.keywords, "keywords of every document");
    app.add_flag("--bookmarks", request.bookmarks,
                 "an outline entry per picture in merged documents, named after its file");
    app.add_flag("--deskew", request.cleaning.deskew,
                 "straighten pages of text scanned askew (up to 10 degrees); photos and drawings stay as they are");
    app.add_flag("--auto-rotate", request.cleaning.autoRotate,
                 "turn pages scanned sideways or upside down upright by their text (needs tesseract-ocr-osd)");
    app.add_flag("--skip-blank", request.cleaning.skipBlank,
                 "leave blank pages (white paper with at most noise and dust) out of the documents");
    app.add_flag("--bilevel", request.cleaning.bilevel,
                 "store pages in black and white, by a threshold that follows the page's shading");
    app.add_option("--pdfa", typed.pdfa, "write archival PDF/A documents: 1b (PDF/A-1b) or 2b (PDF/A-2b)")
        ->type_name("1b|2b");
}

// The properties go into the documents as Unicode text: a byte sequence that
// is no UTF-8 would come out as something the user never typed.
void CheckProperties(const DocumentProperties& properties) {
    for (const auto& [option, value] :
         {std::pair{"--title", &properties.title}, std::pair{"--author", &properties.author},
          std::pair{"--subject", &properties.subject}, std::pair{"--keywords", &properties.keywords}}) {
        if (!Utf8ToUtf16(*value)) {
            throw UsageError{std::string(option) + " is not valid UTF-8 text"};
        }
    }
}

void ReadValues(const TypedOptions& typed, CliRequest& request) {
    static constexpr Choice<PageOrientation> kOrientations[] = {{"portrait", PageOrientation::Portrait},
                                                                {"landscape", PageOrientation::Landscape},
                                                                {"auto", PageOrientation::Auto}};
    static constexpr Choice<PictureFit> kFits[] = {{"fit", PictureFit::Fit}, {"shrink", PictureFit::Shrink}};
    static constexpr Choice<FolderOrder> kOrders[] = {{"time", FolderOrder::WriteTime},
                                                      {"name", FolderOrder::Name}};
    static constexpr Choice<bool> kEncryptions[] = {{"rc4", false}, {"aes256", true}};
    static constexpr Choice<bool> kNames[] = {{"numbers", false}, {"source", true}};
    static constexpr Choice<PdfA> kPdfA[] = {{"1b", PdfA::A1b}, {"2b", PdfA::A2b}};
    if (!typed.pdfa.empty()) {
        request.pdfa = ParseChoice("--pdfa", typed.pdfa, kPdfA);
    }
    if (!typed.orientation.empty()) {
        request.orientation = ParseChoice("--orient", typed.orientation, kOrientations);
    }
    if (!typed.fit.empty()) {
        request.fit = ParseChoice("--fit", typed.fit, kFits);
    }
    if (!typed.order.empty()) {
        request.order = ParseChoice("--order", typed.order, kOrders);
    }
    request.aes256 = ParseChoice("--encryption", typed.encryption, kEncryptions);
    request.namesBySource = ParseChoice("--names", typed.names, kNames);
    request.dpi = ParseNumber<int>("--dpi", typed.dpi, "a resolution in dots per inch, from 72 to 600");
    request.quality = ParseNumber<int>("--quality", typed.quality, "a whole number from 1 to 100");
    if (!typed.jobs.empty()) {
        request.jobs = ParseNumber<int>("--jobs", typed.jobs, "a whole number from 1 to 256", 1, 256);
    }
    if (!typed.margin.empty()) {
        request.margin = ParseNumber<double>("--margin", typed.margin,
                                             "a number: millimetres with --page, pixels otherwise");
    }
    ParseSize(typed.size, request);
    if (!typed.paper.empty()) {
        ParsePaper(typed.paper, request);
    }
}

// A name without .pdf is most often a slip (a picture's name typed where the
// document's belongs); writing a PDF under it would hide the document.
void CheckOutputFile(const CLI::App& app, const TypedOptions& typed, const CliRequest& request) {
    if (typed.outputFile.empty()) {
        return;
    }
    if (request.separate || request.folders) {
        throw UsageError{
            "--output writes one merged document; it cannot be used with --separate or --folders"};
    }
    if (app.count("--save-folder") > 0) {
        throw UsageError{"--output names the document itself; it cannot be used with --save-folder"};
    }
    const std::string extension = std::filesystem::path(typed.outputFile).extension().string();
    if (!request.force && !SameIgnoringCase(extension, ".pdf")) {
        throw UsageError{"the output file " + typed.outputFile +
                         " does not end in .pdf; name it so, or add --force to write a PDF under that name"};
    }
}

void Interpret(const CLI::App& app, const TypedOptions& typed, CliRequest& request) {
    CheckOutputFile(app, typed, request);
    request.outputFile = typed.outputFile;
    ReadValues(typed, request);
    if (typed.ocr->count() > 0 && request.ocrLanguages.empty()) {
        throw UsageError{"--ocr takes the languages to recognise, such as chi_sim+eng"};
    }
    request.saveFolder = typed.saveFolder;
    request.sources.assign(typed.sources.begin(), typed.sources.end());
    CheckPaths(request);
    CheckProperties(request.properties);
    // Before the password is asked for: it could not be used.
    const bool protect = !typed.passwordFile.empty() || !typed.passwordEnv.empty() || typed.passwordStdin ||
                         request.forbidPrint;
    if (request.pdfa != PdfA::None && protect) {
        throw UsageError{kPdfANoEncryption};
    }
    request.password = ReadPassword(typed.passwordFile, typed.passwordEnv, typed.passwordStdin);
}

// Whether --json stands among the options, looked for before they are parsed
// so that a usage error can already be told as JSON.
bool AskedForJson(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) {
            return false;
        }
        if (std::strcmp(argv[i], "--json") == 0) {
            return true;
        }
    }
    return false;
}

} // namespace

int ReportUsageError(const std::string& message, bool json) {
    if (json) {
        const nlohmann::json error = {{"error", message}, {"exitCode", kExitBadUsage}};
        std::printf("%s\n", error.dump(2, ' ', false, nlohmann::json::error_handler_t::replace).c_str());
    } else {
        std::fprintf(stderr, "quillmark-cli: %s\n", message.c_str());
    }
    return kExitBadUsage;
}

CliParse ParseCommandLine(int argc, char** argv) {
    CLI::App app{kDescription, "quillmark-cli"};
    CliRequest request;
    TypedOptions typed;
    AddPageOptions(app, typed);
    AddDocumentOptions(app, typed, request);
    app.set_version_flag("--version", std::string("quillmark-cli ") + QUILLMARK_VERSION);

    CliParse parse;
    parse.json = AskedForJson(argc, argv);
    try {
        app.parse(argc, argv);
        Interpret(app, typed, request);
        parse.request = std::move(request);
    } catch (const CLI::CallForHelp&) {
        parse.message = app.help();
    } catch (const CLI::CallForVersion& version) {
        parse.message = version.what();
    } catch (const CLI::ParseError& error) {
        parse.exitCode = kExitBadUsage;
        parse.message = std::string(error.what()) + "\nRun with --help for the options.";
    } catch (const UsageError& error) {
        parse.exitCode = kExitBadUsage;
        parse.message = error.message;
    }
    return parse;
}
