#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

// The languages text recognition can read: Tesseract's language data, one
// "<name>.traineddata" file per language, in one folder.

// That folder: $TESSDATA_PREFIX when set (as Tesseract itself takes it),
// otherwise the one the system's Tesseract packages install.
std::filesystem::path TessdataFolder();

// The installed languages by name ("chi_sim", "eng", ...), in name order.
// The orientation data "osd" is no language and is left out.
std::vector<std::string> InstalledOcrLanguages();

// Empty when every language of `languages` ("chi_sim+eng": Tesseract's
// form, names joined by "+") is installed; otherwise a sentence for the user
// that names what is missing and what is there.
std::optional<std::string> CheckOcrLanguages(const std::string& languages);

// What to recognise when the user has not chosen: Chinese and English, or
// whichever of them is installed; empty when neither is.
std::string DefaultOcrLanguages(const std::vector<std::string>& installed);
