#pragma once

#include <string>
#include <vector>

struct ProgramResult {
    int exitCode = -1; // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

// Runs `program` with `arguments` (no shell), feeding `input` to its standard
// input and collecting both outputs. `environment` entries "NAME=value" are
// added to this process's environment.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input = "", const std::vector<std::string>& environment = {});

// quillmark-cli, as built beside the tests.
ProgramResult RunCli(const std::vector<std::string>& arguments, const std::string& input = "",
                     const std::vector<std::string>& environment = {});
