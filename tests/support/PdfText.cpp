#include "PdfText.h"

#include "RunProgram.h"

#include <cstdio>
#include <sstream>
#include <vector>

namespace {

std::vector<std::string> PasswordArguments(const std::string& password) {
    if (password.empty()) {
        return {};
    }
    return {"-upw", password};
}

} // namespace

std::optional<std::string> PdfToText(const std::filesystem::path& pdf, const std::string& password) {
    std::vector<std::string> arguments = PasswordArguments(password);
    arguments.insert(arguments.end(), {"-enc", "UTF-8", pdf.string(), "-"});
    const ProgramResult result = RunProgram("/usr/bin/pdftotext", arguments);
    if (result.exitCode != 0) {
        return std::nullopt;
    }
    return result.out;
}

std::string DrawFirstPage(const std::filesystem::path& pdf, int dpi, const std::string& password) {
    std::vector<std::string> arguments = PasswordArguments(password);
    arguments.insert(arguments.end(), {"-r", std::to_string(dpi), "-f", "1", "-l", "1", pdf.string()});
    const ProgramResult result = RunProgram("/usr/bin/pdftoppm", arguments);
    return result.exitCode == 0 ? result.out : std::string();
}

std::optional<PdfWordBox> FindWord(const std::filesystem::path& pdf, const std::string& word,
                                   const std::string& password) {
    std::vector<std::string> arguments = PasswordArguments(password);
    arguments.insert(arguments.end(), {"-bbox", "-f", "1", "-l", "1", pdf.string(), "-"});
    const ProgramResult result = RunProgram("/usr/bin/pdftotext", arguments);
    std::istringstream lines(result.out);
    for (std::string line; std::getline(lines, line);) {
        PdfWordBox box;
        if (line.find(">" + word + "</word>") != std::string::npos &&
            std::sscanf(line.c_str(), " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\"", &box.left,
                        &box.top, &box.right, &box.bottom) == 4) {
            return box;
        }
    }
    return std::nullopt;
}
