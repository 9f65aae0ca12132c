// qtestplug.dll: the project's own plug-in library for tests of the plug-in
// caller. Its parameter is a list of directives separated by ";", done in order:
//
//   set:NAME=VALUE     set or add a variable          drop:NAME       remove a variable
//   window:NAME        the window handle, decimal     param:NAME      the whole parameter text
//   reserved:NAME      the value *reserved holds      progress:N      N progress calls, "step i"
//   hang               report "waiting" every 20 ms until told to stop, then hand back the
//                      variables as they came in (a library that honours the stop request)
//   hang-count:NAME    as hang, then set NAME to the number of calls answered true before the stop
//   hang-hard          never return and never call back (a library that ignores it)
//   wait-file:PATH     create PATH + ".started", then wait (at most two minutes) until PATH exists
//   save:PATH          write the variables as they came in (comma text) to PATH
//   fail, fail-late    return -1 from the first (length) or the second (text) call
//   throw, throw-late  let a C++ exception out of the first or the second call
//   crash, crash-late  write through a null pointer in the first or the second call
//   illegal, divide    an illegal instruction, an integer division by zero (first call)
//   overflow           recurse until the stack overflows (first call)
//   empty              hand back an empty text
//   length:N           report N as the length in the first call
//   unterminated       fill the buffer but put 'X' where the terminating zero belongs
//   catch-throw:NAME   throw and catch a C++ exception inside, then set NAME to "caught"
//   catch-fault:NAME   fault under the library's own SEH handler, then set NAME to "caught"
//
// An unknown directive fails the call. Both calls compute the output afresh from
// their input, so they agree; the library keeps no state between them.
#include "base/strings.h"
#include "platform/win32/plugin_abi.h"
#include "vars/comma_text.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace {

using quillon::plugin_abi::ProgressCallback;

enum class Pass { length, text };

struct Request {
    HWND window;
    std::string_view variables;
    std::string_view parameter;
    ProgressCallback progress;
    const std::int32_t* reserved;
    Pass pass;
};

struct Outcome {
    enum class Kind { text, fail, throw_out } kind = Kind::text;
    std::string text;
    std::optional<std::int32_t> reported_length;
    bool unterminated = false;
};

struct Variable {
    std::string name;
    std::string value;
};

std::vector<Variable> parse_variables(std::string_view text)
{
    std::vector<std::string> items = quillon::parse_comma_text(text);
    std::vector<Variable> variables;
    for (std::size_t i = 0; i < items.size(); i += 2)
        variables.push_back({items[i], i + 1 < items.size() ? items[i + 1] : std::string()});
    return variables;
}

std::string format_variables(const std::vector<Variable>& variables)
{
    std::vector<std::string> items;
    for (const Variable& variable : variables) {
        items.push_back(variable.name);
        items.push_back(variable.value);
    }
    return quillon::comma_text(items);
}

void set_variable(std::vector<Variable>& variables, std::string_view name, std::string value)
{
    for (Variable& variable : variables) {
        if (quillon::equal_nocase(variable.name, name)) {
            variable.value = std::move(value);
            return;
        }
    }
    variables.push_back({std::string(name), std::move(value)});
}

void drop_variable(std::vector<Variable>& variables, std::string_view name)
{
    std::erase_if(variables, [name](const Variable& variable) { return quillon::equal_nocase(variable.name, name); });
}

// Opaque to the optimiser, so that the faults below really happen at run time.
volatile std::uintptr_t null_address = 0;
volatile int dividend = 1000;
volatile int zero_divisor = 0;
volatile int sink = 0;

void write_through_null()
{
    *reinterpret_cast<volatile int*>(null_address) = 1;
}

void divide_by_zero()
{
    sink = dividend / zero_divisor;
}

// Far deeper than any stack. Each level keeps a page of stack alive, so the
// recursion cannot be turned into a loop.
volatile int recursion_limit = 1 << 30;

[[gnu::noinline]] int recurse(int depth)
{
    volatile char page[4096];
    page[0] = static_cast<char>(depth);
    return depth < recursion_limit ? recurse(depth + 1) + page[0] : 0;
}

void report_progress(ProgressCallback progress, std::int32_t count)
{
    for (std::int32_t i = 1; i <= count && progress != nullptr; ++i) {
        std::string text = "step " + std::to_string(i);
        if (!progress((i - 1) % 100 + 1, text.c_str()))
            return;
    }
}

// Answers the number of calls that were answered true.
std::int32_t wait_for_stop(ProgressCallback progress)
{
    std::int32_t i = 0;
    for (; progress != nullptr && progress(i % 100 + 1, "waiting"); ++i)
        Sleep(20);
    return i;
}

[[gnu::noinline]] void throw_inside()
{
    throw std::runtime_error("qtestplug: caught inside");
}

volatile bool own_filter_ran = false;

} // namespace

// The filter of the library's own handler; named in the scope table below.
extern "C" LONG qtestplug_own_filter(EXCEPTION_POINTERS*, void*)
{
    own_filter_ran = true;
    return EXCEPTION_EXECUTE_HANDLER;
}

namespace {

// mingw's __try1/__except1 put a __C_specific_handler scope around the fault:
// the way a C library built with mingw handles its own faults. Used once in
// this file (its labels are fixed), in a function without C++ clean-ups.
[[gnu::noinline]] bool fault_under_own_handler()
{
    own_filter_ran = false;
    __try1(qtestplug_own_filter) * reinterpret_cast<volatile int*>(null_address) = 1;
    __except1 return own_filter_ran;
}

Outcome fail()
{
    Outcome outcome;
    outcome.kind = Outcome::Kind::fail;
    return outcome;
}

Outcome execute(const Request& request)
{
    const bool first = request.pass == Pass::length;
    std::vector<Variable> variables = parse_variables(request.variables);
    Outcome outcome;
    bool empty = false;

    std::string_view rest = request.parameter;
    while (!rest.empty()) {
        const std::size_t end = rest.find(';');
        const std::string_view directive = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        if (directive.empty())
            continue;
        const std::size_t colon = directive.find(':');
        const std::string_view verb = directive.substr(0, colon);
        const std::string_view argument =
            colon == std::string_view::npos ? std::string_view() : directive.substr(colon + 1);

        if (verb == "set") {
            const std::size_t equals = argument.find('=');
            if (equals == std::string_view::npos)
                return fail();
            set_variable(variables, argument.substr(0, equals), std::string(argument.substr(equals + 1)));
        } else if (verb == "drop") {
            drop_variable(variables, argument);
        } else if (verb == "window") {
            set_variable(variables, argument, std::to_string(reinterpret_cast<std::uintptr_t>(request.window)));
        } else if (verb == "param") {
            set_variable(variables, argument, std::string(request.parameter));
        } else if (verb == "reserved") {
            set_variable(variables, argument, request.reserved != nullptr ? std::to_string(*request.reserved) : "null");
        } else if (verb == "progress") {
            const std::optional<std::int32_t> count = quillon::parse_int32(argument);
            if (!count || *count < 0)
                return fail();
            if (first)
                report_progress(request.progress, *count);
        } else if (verb == "hang") {
            if (first)
                wait_for_stop(request.progress);
            outcome.text = std::string(request.variables);
            return outcome;
        } else if (verb == "hang-count") {
            // Both calls hand back the same text: the count of the first is kept for the second.
            static std::int32_t answered_true = 0;
            if (first)
                answered_true = wait_for_stop(request.progress);
            set_variable(variables, argument, std::to_string(answered_true));
        } else if (verb == "wait-file") {
            if (first) {
                std::string path(argument);
                HANDLE started = CreateFileA((path + ".started").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL, nullptr);
                if (started != INVALID_HANDLE_VALUE)
                    CloseHandle(started);
                for (int waited = 0; waited < 120000 && GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES;
                     waited += 50)
                    Sleep(50);
            }
        } else if (verb == "save") {
            if (first) {
                HANDLE file = CreateFileA(std::string(argument).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                          FILE_ATTRIBUTE_NORMAL, nullptr);
                if (file == INVALID_HANDLE_VALUE)
                    return fail();
                DWORD written = 0;
                bool whole = WriteFile(file, request.variables.data(), static_cast<DWORD>(request.variables.size()),
                                       &written, nullptr) &&
                             written == request.variables.size();
                CloseHandle(file);
                if (!whole)
                    return fail();
            }
        } else if (verb == "hang-hard") {
            for (;;)
                Sleep(1000);
        } else if (verb == "fail" || verb == "fail-late") {
            if (first == (verb == "fail"))
                return fail();
        } else if (verb == "throw" || verb == "throw-late") {
            if (first == (verb == "throw")) {
                outcome.kind = Outcome::Kind::throw_out;
                return outcome;
            }
        } else if (verb == "crash" || verb == "crash-late") {
            if (first == (verb == "crash"))
                write_through_null();
        } else if (verb == "illegal") {
            if (first)
                __builtin_trap();
        } else if (verb == "divide") {
            if (first)
                divide_by_zero();
        } else if (verb == "overflow") {
            if (first)
                sink = recurse(0);
        } else if (verb == "empty") {
            empty = true;
        } else if (verb == "length") {
            outcome.reported_length = quillon::parse_int32(argument);
            if (!outcome.reported_length)
                return fail();
        } else if (verb == "unterminated") {
            outcome.unterminated = true;
        } else if (verb == "catch-throw") {
            try {
                throw_inside();
            } catch (const std::runtime_error&) {
                set_variable(variables, argument, "caught");
            }
        } else if (verb == "catch-fault") {
            if (fault_under_own_handler())
                set_variable(variables, argument, "caught");
        } else {
            return fail();
        }
    }
    if (!empty)
        outcome.text = format_variables(variables);
    return outcome;
}

} // namespace

extern "C" std::int32_t WINAPI RunTimeExecute(HWND window, const char* variables, const char* parameter,
                                              ProgressCallback progress, std::int32_t* reserved, char* output)
{
    Outcome outcome;
    try {
        outcome = execute(Request{window, variables != nullptr ? variables : "", parameter != nullptr ? parameter : "",
                                  progress, reserved, output == nullptr ? Pass::length : Pass::text});
    } catch (...) {
        return -1;
    }
    switch (outcome.kind) {
    case Outcome::Kind::fail: return -1;
    case Outcome::Kind::throw_out:
        // The one exception that leaves on purpose: the caller must survive it.
        throw std::runtime_error("qtestplug: thrown on request");
    case Outcome::Kind::text: break;
    }
    if (outcome.text.size() > 0x7FFFFFFF)
        return -1;
    const auto length = static_cast<std::int32_t>(outcome.text.size());
    if (output == nullptr)
        return outcome.reported_length.value_or(length);
    // Never more than the caller made room for, whatever length was reported.
    std::size_t room = outcome.text.size();
    if (outcome.reported_length)
        room = *outcome.reported_length < 0 ? 0 : std::min(room, static_cast<std::size_t>(*outcome.reported_length));
    std::memcpy(output, outcome.text.data(), room);
    output[room] = outcome.unterminated ? 'X' : '\0';
    return length;
}

static_assert(std::is_same_v<decltype(&RunTimeExecute), quillon::plugin_abi::RunTimeExecute>);
