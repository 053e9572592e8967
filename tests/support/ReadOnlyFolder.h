#pragma once

#include <filesystem>
#include <string>

// Makes an empty folder that this process cannot write into, for as long as
// the object lives. Root writes through permissions, so as root the folder is
// a read-only tmpfs mounted there; anyone else gets a folder without write
// permission. `whyNot` is set (and the folder stays writable) where neither
// can be had, for the test to skip with.
class ReadOnlyFolder {
  public:
    explicit ReadOnlyFolder(std::filesystem::path folder);
    ~ReadOnlyFolder();
    ReadOnlyFolder(const ReadOnlyFolder&) = delete;
    ReadOnlyFolder& operator=(const ReadOnlyFolder&) = delete;

    const std::filesystem::path& path() const { return folder_; }
    const std::string& whyNot() const { return whyNot_; }

  private:
    std::filesystem::path folder_;
    std::string whyNot_;
    bool mounted_ = false;
};
