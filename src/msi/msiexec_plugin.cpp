// mMSIExec.dll: the plug-in library behind "(Un)Install MSI Setup". It installs
// or removes another Windows Installer package without a user interface of its
// own, reporting Windows Installer's progress to the engine's page and
// stopping the package when the engine asks it to.
#include "msi/installer_api.h"
#include "msi/installer_messages.h"
#include "base/strings.h"
#include "msi/msiexec_request.h"
#include "platform/win32/plugin_abi.h"
#include "vars/VariableManager.h"
#include "vars/comma_text.h"

#include <windows.h>

#include <cstring>
#include <string>

namespace {

using quillon::plugin_abi::ProgressCallback;
namespace msi = quillon::msi;

constexpr std::uint32_t ui_level_none = 2;
constexpr std::uint32_t message_kind_action_start = 0x08000000;
constexpr std::uint32_t message_kind_progress = 0x0A000000;

struct RunContext {
    ProgressCallback progress = nullptr;
    msi::InstallerProgress state;
    bool stopped = false;
};

int __stdcall on_message(void* context, std::uint32_t type, const char* text)
{
    auto* run = static_cast<RunContext*>(context);
    std::uint32_t kind = type & 0xFF000000u;
    std::string_view message = text != nullptr ? text : "";
    if (kind == message_kind_progress)
        msi::ApplyProgressMessage(run->state, message);
    else if (kind == message_kind_action_start) {
        std::size_t dot = message.find('.');
        run->state.action_text = std::string(dot == std::string_view::npos ? message : message.substr(dot + 1));
        while (!run->state.action_text.empty() && run->state.action_text.front() == ' ')
            run->state.action_text.erase(0, 1);
    }
    if (run->progress != nullptr &&
        !run->progress(msi::ProgressPercent(run->state.position, run->state.total), run->state.action_text.c_str()))
        run->stopped = true;
    return run->stopped ? IDCANCEL : 0;
}

std::string expand_with(void* context, std::string_view text)
{
    return static_cast<const quillon::TVariableManager*>(context)->Expand(text);
}

// The variables after the run, as comma text; the request's result variable
// holds Windows Installer's result code.
std::string run(const char* variables, const char* parameter, ProgressCallback progress)
{
    quillon::TVariableManager vars;
    vars.replace_with_pairs(quillon::parse_comma_text(variables != nullptr ? variables : ""));
    quillon::Result<msi::MsiExecRequest> request =
        msi::ParseMsiExecRequest(parameter != nullptr ? parameter : "", expand_with, &vars);
    std::string code;
    if (!request) {
        code = "-1";
    } else {
        RunContext context;
        context.progress = progress;
        (void)msi::SetInternalUI(ui_level_none);
        (void)msi::SetExternalUI(on_message, msi::message_filter, &context);
        std::string line = msi::MsiExecCommandLine(*request);
        quillon::Result<std::uint32_t> result = !request->install && msi::NamesProductCode(request->package)
                                                    ? msi::RemoveProduct(request->package, line)
                                                    : msi::InstallProduct(request->package, line);
        (void)msi::ClearExternalUI();
        code = result ? std::to_string(*result) : "-1";
    }
    if (request && !request->result_variable.empty()) {
        if (vars.Exists(request->result_variable))
            vars.SetValue(request->result_variable, code);
        else
            vars.Add(quillon::ascii_upper(request->result_variable), code);
    }
    std::vector<std::string> pairs;
    vars.ToStrings(pairs);
    return quillon::comma_text(pairs);
}

} // namespace

// The engine calls twice with the same input: first for the length, then for
// the text. The package runs once: its outcome is kept for the second call.
extern "C" __declspec(dllexport) std::int32_t WINAPI RunTimeExecute(HWND, const char* variables, const char* parameter,
                                                                    ProgressCallback progress, std::int32_t*,
                                                                    char* output)
{
    static std::string kept;
    try {
        if (output == nullptr) {
            kept = run(variables, parameter, progress);
            return static_cast<std::int32_t>(kept.size());
        }
        std::memcpy(output, kept.c_str(), kept.size() + 1);
        return static_cast<std::int32_t>(kept.size());
    } catch (...) {
        return -1;
    }
}
