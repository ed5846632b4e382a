#pragma once
// The subcommands of twinsift-cli. Each registers its options on the parser and
// returns the process's exit status when run: 0 success, 1 a failure while working,
// 2 bad usage (unknown key, wrong value, missing folder), 130 interrupted (Ctrl-C,
// SIGTERM or SIGHUP).

#include <CLI/CLI.hpp>
#include <functional>

namespace twcli {

using Runner = std::function<int()>;

Runner addHashCommand(CLI::App& app);
Runner addPrefsCommand(CLI::App& app);
Runner addScanCommand(CLI::App& app);
Runner addRemoveCommand(CLI::App& app);

// Writes a path so that one line is one file: control characters and backslashes are
// escaped (\n, \t, \xNN, \\); bytes that are not valid UTF-8 are shown as \xNN.
std::string printablePath(const std::string& path);
bool isValidUtf8(const std::string& text);

}  // namespace twcli
