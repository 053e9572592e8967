#pragma once

#include <optional>
#include <string>

// Asks for the open password on the terminal that is standard input, without
// showing what is typed, and asks again to confirm it. Empty, with `error`
// set, when the two differ or the terminal closes. The questions go to
// standard error, which belongs to the person at the terminal.
std::optional<std::string> PromptForPassword(std::string& error);
