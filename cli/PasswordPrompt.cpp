#include "PasswordPrompt.h"

#include <cstdio>
#include <iostream>
#include <termios.h>
#include <unistd.h>

namespace {

// Turns echo off for as long as it lives, also when reading fails.
class HiddenInput {
  public:
    HiddenInput() : changed_(::tcgetattr(STDIN_FILENO, &saved_) == 0) {
        if (changed_) {
            termios quiet = saved_;
            quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
            quiet.c_lflag |= ECHONL;
            changed_ = ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
        }
    }
    ~HiddenInput() {
        if (changed_) {
            ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
        }
    }
    HiddenInput(const HiddenInput&) = delete;
    HiddenInput& operator=(const HiddenInput&) = delete;

  private:
    termios saved_{};
    bool changed_ = false;
};

std::optional<std::string> Ask(const char* question) {
    std::fputs(question, stderr);
    std::fflush(stderr);
    std::string line;
    if (!std::getline(std::cin, line)) {
        return std::nullopt;
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

} // namespace

std::optional<std::string> PromptForPassword(std::string& error) {
    const HiddenInput hidden;
    const std::optional<std::string> first = Ask("Open password: ");
    const std::optional<std::string> second = first ? Ask("The same password again: ") : std::nullopt;
    if (!first || !second) {
        error = "no password was typed (the terminal closed)";
        return std::nullopt;
    }
    if (*first != *second) {
        error = "the two passwords typed differ";
        return std::nullopt;
    }
    return first;
}
