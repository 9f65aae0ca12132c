// The binary interface between the engine and a plug-in library: the one
// export "RunTimeExecute". Shared by the engine's caller and the project's own
// test plug-in, so that both sides agree on every type.
#pragma once

#include <windows.h>

#include <cstdint>

namespace quillon::plugin_abi {

// Called by the library while it works, with a position (1 to 100) and a
// status text. Returns FALSE once the engine wants the library to stop.
using ProgressCallback = BOOL(WINAPI*)(std::int32_t position, const char* text);

// Called twice: with output == nullptr it returns the length of the output
// text (without its terminating zero) or -1; then with a buffer of that
// length + 1 bytes that it fills with the zero-terminated output. reserved
// points to a 32-bit value that is 0.
using RunTimeExecute = std::int32_t(WINAPI*)(HWND window, const char* variables, const char* parameter,
                                             ProgressCallback progress, std::int32_t* reserved, char* output);

inline constexpr char export_name[] = "RunTimeExecute";

} // namespace quillon::plugin_abi
