#pragma once

#include <filesystem>

// The folder scan's picture test: the full path contains ".jpg", ".JPG",
// ".jpeg", ".JPEG", ".png", ".PNG", ".bmp", ".BMP", ".tif", ".TIF", ".tiff",
// ".TIFF", ".gif", ".GIF", ".emf" or ".EMF" anywhere (folder part included).
// Mixed-case forms such as ".Jpg" do not match.
bool PassesPictureTest(const std::filesystem::path& path);
