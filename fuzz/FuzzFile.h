#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

// One scratch folder per fuzzing process, in memory when possible.
inline const std::filesystem::path& FuzzFolder() {
    static const std::filesystem::path folder = [] {
        const std::filesystem::path base = std::filesystem::exists("/dev/shm") ? "/dev/shm" : "/tmp";
        std::filesystem::path made = base / ("quillmark-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(made);
        return made;
    }();
    return folder;
}

inline std::filesystem::path WriteInput(const uint8_t* data, size_t size, const char* name) {
    const std::filesystem::path file = FuzzFolder() / name;
    std::FILE* out = std::fopen(file.c_str(), "wb");
    std::fwrite(data, 1, size, out);
    std::fclose(out);
    return file;
}
