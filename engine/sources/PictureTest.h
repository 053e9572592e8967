#pragma once

#include <filesystem>
#include <span>
#include <string_view>

// The endings of the picture files the program takes, lower case, without the
// dot. Every test of "is this a picture?" goes through this one table.
std::span<const std::string_view> PictureExtensions();

// True when `name` ends with one of the picture extensions in any mix of
// letter case; `needDot` asks for a dot before the extension.
bool EndsWithPictureExtension(std::string_view name, bool needDot);

// The folder scan's picture test: the file's own name ends with "." and a
// picture extension in any mix of case (".jpg", ".Jpg", ".JPEG", ...). A
// sidecar such as "IMG_0001.JPG.xmp", or any file inside a folder named
// "photos.jpg.d", is not a picture.
bool PassesPictureTest(const std::filesystem::path& path);

// The test for an entry of a folder: it passes the picture test and is a
// file. A folder named "holiday.jpg", a named pipe or a device is left out: it
// can never be a page, and opening a pipe would wait for ever. An entry that
// cannot be looked at (a link to nothing) is kept, so that the report says why
// it could not be read.
bool IsPictureFile(const std::filesystem::path& path);
