#include "platform/win32/plugin_library.h"

#include "base/scope_exit.h"
#include "platform/win32/plugin_abi.h"
#include "platform/win32/system_library.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <malloc.h> // _resetstkoflw

#include <cstring>
#include <memory>
#include <utility>

// The fault guard.
//
// A plug-in library is foreign code: a processor fault in it (access violation,
// illegal instruction, division by zero, ...) or a C++ exception of another
// runtime (MSVC's, Delphi's) must fail the call, not end the setup. GCC on x64
// has no __try/__except, so the guard is what MSVC would emit for one: a small
// function whose unwind information names a language handler. The system's
// dispatcher offers an exception to the frames from the innermost outwards, so
// the library's own handlers always see it first; only an exception that the
// library leaves unhandled reaches the guard frame, which then unwinds the
// stack to its landing point the documented way (RtlUnwindEx, as
// __C_specific_handler does for __except). The unwind runs the termination
// handlers of the library's frames on the way and restores the guard's
// callee-saved registers, so the caller continues as after a normal return.
//
// libgcc's own codes (C++ throw, unwind, forced unwind) are left alone: they
// belong to GCC's two-phase unwinding, and the catch (...) inside the guard
// handles a C++ exception of our runtime or of a GCC-built library properly.
// libgcc's frame handler ignores every other code, so our C++ frames between
// the library and the guard are transparent to a fault.

extern "C" {

// Calls body(context) inside the guard frame. 0 when body returned; after an
// exception that nothing inside handled, bit 32 set and the exception code in
// the low 32 bits.
std::uint64_t quillon_plugin_guarded_call(void (*body)(void*), void* context);

EXCEPTION_DISPOSITION quillon_plugin_guard_handler(EXCEPTION_RECORD* record, void* establisher_frame, CONTEXT* context,
                                                   DISPATCHER_CONTEXT* dispatcher) noexcept;
}

// The guard frame: 40 bytes of stack (shadow space and alignment), one call.
// The instruction after the call keeps the return address out of the epilogue:
// the unwinder calls no handler for a frame it believes is returning. The
// handler data is the landing point's address relative to the image.
asm(R"(
    .text
    .p2align 4
    .globl quillon_plugin_guarded_call
    .def quillon_plugin_guarded_call; .scl 2; .type 32; .endef
    .seh_proc quillon_plugin_guarded_call
quillon_plugin_guarded_call:
    subq $40, %rsp
    .seh_stackalloc 40
    .seh_endprologue
    movq %rcx, %rax
    movq %rdx, %rcx
    call *%rax
    xorl %eax, %eax
.Lquillon_plugin_guard_landing:
    addq $40, %rsp
    ret
    .seh_handler quillon_plugin_guard_handler, @except
    .seh_handlerdata
    .rva .Lquillon_plugin_guard_landing
    .text
    .seh_endproc
)");

namespace {

constexpr DWORD gcc_code_mask = 0xF0FFFFFF; // the throw/unwind/forced type sits in bits 24-27
constexpr DWORD gcc_code = 0x20474343;      // customer bit and "GCC"
constexpr std::uint64_t guard_fault_flag = std::uint64_t{1} << 32;

} // namespace

extern "C" EXCEPTION_DISPOSITION quillon_plugin_guard_handler(EXCEPTION_RECORD* record, void* establisher_frame,
                                                              CONTEXT*, DISPATCHER_CONTEXT* dispatcher) noexcept
{
    // Registered for the search pass only; the checks keep it harmless anyway.
    if (IS_UNWINDING(record->ExceptionFlags) || (record->ExceptionCode & gcc_code_mask) == gcc_code)
        return ExceptionContinueSearch;
    const auto landing_rva = *static_cast<const DWORD*>(dispatcher->HandlerData);
    auto* landing = reinterpret_cast<void*>(dispatcher->ImageBase + landing_rva);
    auto* result = reinterpret_cast<void*>(guard_fault_flag | record->ExceptionCode);
    // Does not return: resumes at the landing point with result in RAX.
    RtlUnwindEx(establisher_frame, landing, record, result, dispatcher->ContextRecord, dispatcher->HistoryTable);
    return ExceptionContinueSearch;
}

namespace quillon {

namespace {

// A longer text is not a variable set but a broken length.
constexpr std::int32_t max_output_length = 256 * 1024 * 1024;

// The call this thread is making: the library's progress callback carries no
// context, and calls on different worker threads may overlap.
thread_local const PluginCall* current_call = nullptr;

BOOL WINAPI forward_progress(std::int32_t position, const char* text) noexcept
{
    const PluginCall* call = current_call;
    // A call from another thread of the library cannot be told apart from a
    // stray one; let it go on, as if it had not asked.
    if (call == nullptr || !call->progress)
        return TRUE;
    try {
        return call->progress(position, text != nullptr ? std::string_view(text) : std::string_view()) ? TRUE : FALSE;
    } catch (...) {
        return FALSE;
    }
}

struct Invocation {
    plugin_abi::RunTimeExecute entry;
    const PluginCall* call;
    char* output;
    std::int32_t result = -1;
    bool threw = false;
};

// Runs inside the guard frame. Nothing here may need a destructor: a fault
// unwinds through this frame without running GCC clean-ups.
void invoke(void* context)
{
    auto& invocation = *static_cast<Invocation*>(context);
    const PluginCall& call = *invocation.call;
    std::int32_t reserved = 0;
    try {
        invocation.result = invocation.entry(reinterpret_cast<HWND>(call.window), call.variables.c_str(),
                                             call.parameter.c_str(), &forward_progress, &reserved, invocation.output);
    } catch (...) {
        invocation.threw = true;
    }
}

struct Attempt {
    std::int32_t value = -1; // -1 after an exception
    bool faulted = false;    // ended by an exception the guard caught
};

Attempt call_guarded(plugin_abi::RunTimeExecute entry, const PluginCall& call, char* output)
{
    Invocation invocation{entry, &call, output};
    const std::uint64_t outcome = quillon_plugin_guarded_call(&invoke, &invocation);
    if (outcome != 0) {
        // The overflow used up the stack's guard page; without a new one the
        // next overflow would end the process.
        if (static_cast<DWORD>(outcome) == EXCEPTION_STACK_OVERFLOW)
            _resetstkoflw();
        return {-1, true};
    }
    return {invocation.threw ? -1 : invocation.result, false};
}

win32::UniqueHmodule load_library(const std::string& path)
{
    // A failed load reports an error code; it must not put up a system dialog
    // from the worker thread.
    DWORD previous_mode = 0;
    const bool mode_set = SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previous_mode) != 0;
    Result<win32::UniqueHmodule> library = win32::load_library_by_full_path(win32::to_wide(path));
    if (mode_set)
        SetThreadErrorMode(previous_mode, nullptr);
    return library ? std::move(*library) : win32::UniqueHmodule();
}

std::optional<std::string> run(const PluginCall& call)
{
    if (call.library_path.empty())
        return std::nullopt;
    win32::UniqueHmodule library = load_library(call.library_path);
    if (!library)
        return std::nullopt;
    auto entry = win32::proc<plugin_abi::RunTimeExecute>(library.get(), plugin_abi::export_name);
    if (entry == nullptr)
        return std::nullopt;

    const PluginCall* previous = std::exchange(current_call, &call);
    ScopeExit restore_call([previous] { current_call = previous; });

    // After a fault the library stays loaded: its detach code would run on
    // whatever state the fault left behind, outside any guard.
    const Attempt length = call_guarded(entry, call, nullptr);
    if (length.faulted)
        library.release();
    if (length.faulted || length.value < 0 || length.value > max_output_length)
        return std::nullopt;

    // One byte more for the zero; it is set again after the call, so that a
    // library that leaves it out cannot make us read past the buffer.
    const auto size = static_cast<std::size_t>(length.value);
    auto buffer = std::make_unique<char[]>(size + 1);
    buffer[size] = '\0';
    const Attempt filled = call_guarded(entry, call, buffer.get());
    if (filled.faulted)
        library.release();
    if (filled.faulted || filled.value == -1)
        return std::nullopt;
    buffer[size] = '\0';
    return std::string(buffer.get(), strnlen(buffer.get(), size));
}

} // namespace

std::optional<std::string> RunPluginLibrary(const PluginCall& call) noexcept
{
    try {
        return run(call);
    } catch (...) {
        return std::nullopt;
    }
}

} // namespace quillon
