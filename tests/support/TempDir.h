#pragma once

#include <filesystem>

// A fresh folder for one test, removed with everything in it at the end.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The real-world test pictures kept in tests/data/corpus, e.g. Corpus() / "jpeg" / "flower.jpg".
std::filesystem::path Corpus();
