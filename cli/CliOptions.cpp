#include "CliOptions.h"

#include "PasswordPrompt.h"
#include "Utf8.h"

#include <CLI/CLI.hpp>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <map>
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
        throw UsageError{"the save folder " + request.saveFolder.string() + " does not exist"};
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
    std::vector<std::string> sources;
    std::string saveFolder = ".";
    std::string size = "1587x2245";
    std::string paper;
    std::string passwordFile, passwordEnv;
    bool passwordStdin = false;
    std::string encryption = "rc4";
    std::string names = "numbers";
    std::string outputFile;

    app.add_option("SOURCE", sources, "pictures or folders to convert, in page order")->required();
    app.add_option("-o,--save-folder", saveFolder, "folder in which the time-stamped output folder is made")
        ->capture_default_str();
    auto* sizeOption = app.add_option("--size", size, "page size WIDTHxHEIGHT in pixels (3 to 14400 each)")
                           ->capture_default_str();
    auto* pageOption = app.add_option("--page", paper,
                                      "paper size instead: A5, A4, A3, A2, B5, Letter, Legal or Tabloid "
                                      "(a PDF page of the true sheet size)")
                           ->option_text("NAME");
    pageOption->excludes(sizeOption);
    app.add_option("--dpi", request.dpi, "resolution of the pages of a --page size (72 to 600)")
        ->capture_default_str()
        ->needs(pageOption);
    const std::map<std::string, PageOrientation> orientations{{"portrait", PageOrientation::Portrait},
                                                              {"landscape", PageOrientation::Landscape},
                                                              {"auto", PageOrientation::Auto}};
    app.add_option("--orient", request.orientation,
                   "turn pages: portrait, landscape, or auto (landscape for pictures wider than tall); "
                   "default: as the size says")
        ->transform(CLI::CheckedTransformer(orientations, CLI::ignore_case))
        ->option_text("portrait|landscape|auto");
    app.add_option("--margin", request.margin,
                   "white border on every side: millimetres with --page, pixels otherwise (default 0)");
    const std::map<std::string, PictureFit> fits{{"fit", PictureFit::Fit}, {"shrink", PictureFit::Shrink}};
    app.add_option("--fit", request.fit,
                   "fit: enlarge or reduce pictures to the page (default); shrink: never enlarge")
        ->transform(CLI::CheckedTransformer(fits, CLI::ignore_case))
        ->option_text("fit|shrink");
    const std::map<std::string, FolderOrder> orders{{"time", FolderOrder::WriteTime},
                                                    {"name", FolderOrder::Name}};
    app.add_option("--order", request.order,
                   "order of the pictures taken from a folder: time (oldest first, the default) or name "
                   "(natural: img2 before img10); with --folders, groups are in name order unless given")
        ->transform(CLI::CheckedTransformer(orders, CLI::ignore_case))
        ->option_text("time|name");
    app.add_flag("--separate", request.separate, "one PDF per picture instead of one merged PDF");
    app.add_flag("--forbid-print", request.forbidPrint, "forbid printing, changing and copying");
    auto* file =
        app.add_option("--password-file", passwordFile, "read the open password from FILE's first line");
    auto* env = app.add_option("--password-env", passwordEnv, "read the open password from environment VAR");
    auto* in = app.add_flag("--password-stdin", passwordStdin, "read the open password from standard input");
    file->excludes(env)->excludes(in);
    env->excludes(in);
    app.add_flag("--folders", request.folders,
                 "each SOURCE is a folder whose pictures form a group of its own");
    auto* ocr = app.add_option("--ocr", request.ocrLanguages,
                               "recognise the text of every page in LANGS (such as chi_sim+eng) and add it "
                               "as an invisible layer, so the documents can be searched and copied from");
    ocr->type_name("LANGS");
    app.add_option("-j,--jobs", request.jobs, "pictures prepared at once (default: one per core)")
        ->check(CLI::Range(1, 256));
    app.add_flag("--json", request.json, "print the report (and usage errors) as JSON on standard output");
    app.add_flag("-q,--quiet", request.quiet, "no progress and no summary");
    app.add_option("--quality", request.quality, "JPEG quality of rendered pages, 1 to 100")->capture_default_str();
    app.add_flag("--keep-jpeg", request.keepJpeg,
                 "put JPEG pictures into the PDF byte for byte instead of rendering them again");
    app.add_option("--encryption", encryption, "how protected documents are encrypted: rc4 or aes256")
        ->check(CLI::IsMember({"rc4", "aes256"}))
        ->capture_default_str();
    app.add_option("--names", names, "names of separate documents: numbers (0.pdf, 1.pdf) or source "
                                      "(after each picture)")
        ->check(CLI::IsMember({"numbers", "source"}))
        ->capture_default_str();
    auto* output = app.add_option("--output", outputFile,
                                  "write one merged document exactly to FILE (no time-stamped folder)");
    auto* force = app.add_flag("--force", request.force, "let --output replace an existing file");
    force->needs(output);
    app.set_version_flag("--version", std::string("quillmark-cli ") + QUILLMARK_VERSION);

    CliParse parse;
    parse.json = AskedForJson(argc, argv);
    try {
        app.parse(argc, argv);
        if (!outputFile.empty() && (request.separate || request.folders)) {
            throw UsageError{"--output writes one merged document; it cannot be used with --separate or --folders"};
        }
        if (!outputFile.empty() && app.count("--save-folder") > 0) {
            throw UsageError{"--output names the document itself; it cannot be used with --save-folder"};
        }
        request.aes256 = encryption == "aes256";
        request.namesBySource = names == "source";
        request.outputFile = outputFile;
        ParseSize(size, request);
        if (!paper.empty()) {
            ParsePaper(paper, request);
        }
        if (ocr->count() > 0 && request.ocrLanguages.empty()) {
            throw UsageError{"--ocr takes the languages to recognise, such as chi_sim+eng"};
        }
        request.saveFolder = saveFolder;
        request.sources.assign(sources.begin(), sources.end());
        CheckPaths(request);
        request.password = ReadPassword(passwordFile, passwordEnv, passwordStdin);
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
