// The caller of plug-in libraries: loads one, calls its RunTimeExecute export
// for the length and then for the text of the new variable set, and frees it.
// Runs on the interpreter's worker thread.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

struct PluginCall {
    std::string library_path;  // full path, 8-bit ANSI
    std::uintptr_t window = 0; // HWND of the current dialog, 0 for none
    std::string variables;     // snapshot (comma text)
    std::string parameter;     // the plug-in's own parameter text
    // Progress from the library: position and text; returns whether the library may go on.
    // Called on the thread that runs RunPluginLibrary; an exception from it reads as "stop".
    std::function<bool(std::int32_t position, std::string_view text)> progress;
};

// Loads the library, finds RunTimeExecute, calls it twice, frees the library.
// The output text (up to its first zero byte), or std::nullopt when the call
// counts as -1: the library cannot be loaded, has no such export, returned -1
// from either call, gave a negative or absurd length, or ended either call with
// an exception (C++ or a processor fault). A library that ended with a fault is
// left loaded: its detach code cannot be trusted to run on whatever state the
// fault left behind.
std::optional<std::string> RunPluginLibrary(const PluginCall& call) noexcept;

} // namespace quillon
