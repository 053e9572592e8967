#pragma once

#include <filesystem>

// Scanned pages made on the fly: printed English text at 300 dpi, laid on
// the scanner as a person lays it, with the paper's noise and dust.

struct ScanLook {
    double askew = 0;     // degrees the page lies turned clockwise on the glass
    int quarterTurns = 0; // quarter turns clockwise it was laid (2: upside down)
    bool shaded = false;  // a grey shadow across the page, as a book's gutter casts
};

// A page of text `width` x `height` pixels (before any quarter turn), grey,
// as a PNG.
void WriteScannedTextPage(const std::filesystem::path& path, const ScanLook& look, int width = 1700,
                          int height = 2200);

// What a blank page can hold besides nothing.
enum class LightPage {
    Blank,        // paper, scanner noise, a few specks of dust, the lid's shadow at one edge
    FaintPencil,  // the same with a short, faint pencil stroke in the middle
    PencilDot,    // the same with a pencilled tick mark
    PaleStamp,    // the same with a pale grey stamp
};

void WriteLightPage(const std::filesystem::path& path, LightPage kind, int seed, int width = 1700,
                    int height = 2200);

// A photo-like picture without any text: soft gradients and round shapes.
void WritePhotoLikePicture(const std::filesystem::path& path, int width = 1600, int height = 1200);
