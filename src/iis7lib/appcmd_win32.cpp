// appcmd.exe, the web server's command-line tool, run hidden with its output
// collected from a pipe.
#include "iis7lib/windows_store.h"
#include "platform/win32/unique_handle.h"
#include "platform/win32/wide.h"

#include <windows.h>

#include <array>

namespace quillon::iis7 {
namespace {

constexpr DWORD output_piece = 4096;

struct Pipe {
    win32::UniqueHandle read;
    win32::UniqueHandle write;
};

// A pipe whose one end (the child's) is inherited.
Result<Pipe> make_pipe(bool child_reads)
{
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    HANDLE read = nullptr;
    HANDLE write = nullptr;
    if (!CreatePipe(&read, &write, &inherit, 0))
        return make_error(ErrorCode::win32, "Stdout pipe creation failed", GetLastError());
    Pipe pipe{win32::UniqueHandle(read), win32::UniqueHandle(write)};
    HANDLE own_end = child_reads ? pipe.write.get() : pipe.read.get();
    if (!SetHandleInformation(own_end, HANDLE_FLAG_INHERIT, 0))
        return make_error(ErrorCode::win32, "Stdout pipe creation failed", GetLastError());
    return pipe;
}

} // namespace

Result<std::string> AppCmdTool::run(std::string_view arguments)
{
    Pipe output = TRY(make_pipe(false));
    // Its standard input is a pipe that never receives anything.
    Pipe input = TRY(make_pipe(true));

    std::wstring folder = windows_folder() + L"\\system32\\inetsrv";
    std::wstring program = folder + L"\\appcmd.exe";
    std::wstring command_line = L"appcmd.exe " + win32::to_wide(arguments);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = input.read.get();
    startup.hStdOutput = output.write.get();
    startup.hStdError = output.write.get();
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), command_line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        folder.c_str(), &startup, &info))
        return make_error(ErrorCode::win32, "Cannot call AppCmd", GetLastError());
    win32::UniqueHandle process(info.hProcess);
    win32::UniqueHandle thread(info.hThread);

    // Only the child holds the pipes' other ends now: its input is at its end
    // at once, and reading stops when it has exited. The output is read before
    // the wait, so that a tool with more to say than the pipe holds never
    // blocks on a full pipe while we wait for it.
    output.write.reset();
    input.read.reset();
    input.write.reset();
    std::string text;
    std::array<char, output_piece> piece{};
    DWORD read = 0;
    while (ReadFile(output.read.get(), piece.data(), output_piece, &read, nullptr) && read > 0)
        text.append(piece.data(), read);
    WaitForSingleObject(process.get(), INFINITE);
    return text;
}

} // namespace quillon::iis7
