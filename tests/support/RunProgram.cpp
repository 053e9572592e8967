#include "RunProgram.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string TempFile(const char* name) {
    std::string pattern = std::string(P_tmpdir) + "/quillmark-" + name + "-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        throw std::runtime_error("cannot create a temporary file");
    }
    ::close(fd);
    return pattern;
}

} // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                         const std::string& input, const std::vector<std::string>& environment) {
    const std::string in = TempFile("in"), out = TempFile("out"), err = TempFile("err");
    std::ofstream(in, std::ios::binary) << input;
    // Whatever this process still holds in its buffers would otherwise be
    // written a second time by the child.
    std::fflush(stdout);
    std::fflush(stderr);
    const pid_t child = ::fork();
    if (child == 0) {
        std::freopen(in.c_str(), "rb", stdin);
        std::freopen(out.c_str(), "wb", stdout);
        std::freopen(err.c_str(), "wb", stderr);
        for (const auto& entry : environment) {
            ::putenv(const_cast<char*>(entry.c_str()));
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        std::_Exit(127);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ProgramResult result;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = Slurp(out);
    result.err = Slurp(err);
    for (const auto& file : {in, out, err}) {
        std::remove(file.c_str());
    }
    return result;
}

ProgramResult RunCli(const std::vector<std::string>& arguments, const std::string& input,
                     const std::vector<std::string>& environment) {
    return RunProgram(QUILLMARK_CLI, arguments, input, environment);
}
