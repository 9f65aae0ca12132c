#include "interp/mDotNetCommands.h"

#include "interp/command_call.h"
#include "vars/mEval.h"

#include <array>

namespace quillon {

namespace {

// The frameworks' folders below the Windows folder, newest first.
constexpr std::array<std::string_view, 3> frameworks = {
    "Microsoft.NET\\Framework\\v4.0.30319\\",
    "Microsoft.NET\\Framework\\v2.0.50727\\",
    "Microsoft.NET\\Framework\\v1.1.4322\\",
};
constexpr std::size_t oldest_framework = 2;

std::string in_quotes(std::string_view text)
{
    return "\"" + std::string(text) + "\"";
}

std::string folder_of(const std::string& path)
{
    std::size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Runs the tool of each framework in turn until one ends with 0.
void run_with_frameworks(CommandCall& call, std::string_view tool, const std::string& folder,
                         const std::function<std::string(std::size_t framework)>& arguments)
{
    InstallerServices& installer = call.executor().installer();
    std::string windows = installer.windows_folder();
    for (std::size_t i = 0; i < frameworks.size(); ++i) {
        std::string program = windows + std::string(frameworks[i]) + std::string(tool);
        if (installer.run_tool(program, arguments(i), folder) == 0)
            return;
    }
}

// An empty Boolean of these commands means its default.
bool flag_or(const std::string& text, bool empty_value)
{
    return text.empty() ? empty_value : text_is_true(text);
}

// Parameter 1: assembly|install.
Result<void> generate_native_images(CommandCall& call)
{
    auto [assembly, install_text] = TRY(call.pair(1));
    bool install = flag_or(install_text, true);
    run_with_frameworks(call, "ngen.exe", folder_of(assembly), [&](std::size_t framework) {
        std::string verb =
            framework == oldest_framework ? (install ? "" : "/delete") : (install ? "install" : "uninstall");
        return verb + " " + in_quotes(assembly);
    });
    return {};
}

// Parameters: 1 assembly, 2 install.
Result<void> run_installer_class(CommandCall& call)
{
    std::string assembly = TRY(call.text(1));
    bool install = TRY(call.flag(2));
    run_with_frameworks(call, "installutil.exe", folder_of(assembly),
                        [&](std::size_t) { return std::string(install ? "" : "/u") + " " + in_quotes(assembly); });
    return {};
}

// Parameter 1: assembly|register|code base.
Result<void> register_assembly(CommandCall& call)
{
    auto [assembly, rest] = TRY(call.pair(1));
    auto [register_text, codebase_text] = split_pair(rest);
    bool register_it = flag_or(register_text, true);
    bool codebase = flag_or(codebase_text, false);
    if (assembly.find('\\') == std::string::npos) {
        SystemServices& system = call.executor().system();
        for (const std::string& candidate :
             AssemblyCacheCandidates(call.executor().installer().windows_folder(), assembly)) {
            if (system.file_exists(candidate)) {
                assembly = candidate;
                break;
            }
        }
    }
    std::string switches = register_it ? "/tlb" : "/tlb /unregister";
    if (codebase)
        switches += " /codebase";
    run_with_frameworks(call, "regasm.exe", folder_of(assembly),
                        [&](std::size_t) { return switches + " " + in_quotes(assembly) + " /silent"; });
    return {};
}

// One run of a removal tool per assembly of the package; the last exit code (0 when none ran).
std::int32_t remove_with(CommandCall& call, const std::string& tool)
{
    InstallerServices& installer = call.executor().installer();
    PackageAssemblies assemblies = installer.package_assemblies();
    if (assemblies.names.empty() || assemblies.names.size() != assemblies.versions.size())
        return 0;
    std::int32_t code = 0;
    for (std::size_t i = 0; i < assemblies.names.size(); ++i)
        code = installer.run_tool(tool, "/u " + assemblies.names[i] + ",Version=" + assemblies.versions[i],
                                  folder_of(tool));
    return code;
}

Result<void> remove_assemblies(CommandCall& call)
{
    InstallerServices& installer = call.executor().installer();
    std::string runtime4 = TRY(installer.write_gac_helper(true));
    if (remove_with(call, runtime4) == 0)
        return {};
    std::string runtime2 = TRY(installer.write_gac_helper(false));
    if (remove_with(call, runtime2) == 0)
        return {};
    remove_with(call, installer.windows_folder() + std::string(frameworks[oldest_framework]) + "gacutil.exe");
    return {};
}

std::string after(std::string_view text, std::string_view marker, bool to_comma)
{
    std::size_t at = text.find(marker);
    if (at == std::string_view::npos)
        return {};
    std::string_view rest = text.substr(at + marker.size());
    return std::string(to_comma ? rest.substr(0, rest.find(',')) : rest);
}

} // namespace

std::vector<std::string> AssemblyCacheCandidates(std::string_view windows_folder, std::string_view strong_name)
{
    std::string name(strong_name.substr(0, strong_name.find(',')));
    std::string token = after(strong_name, "PublicKeyToken=", false);
    std::string version = after(strong_name, "Version=", true);
    std::vector<std::string> candidates;
    for (std::string_view cache : {"GAC_MSIL\\", "GAC_32\\", "GAC_64\\", "GAC\\"})
        candidates.push_back(std::string(windows_folder) + "assembly\\" + std::string(cache) + name + "\\" + version +
                             "__" + token + "\\" + name + ".dll");
    return candidates;
}

void RegisterDotNetCommands(HandlerTable& table)
{
    table.add("Generate Native Images", generate_native_images);
    table.add("Run .NET Installer Class", run_installer_class);
    table.add("Register Assembly", register_assembly);
    table.add("Remove Assemblies", remove_assemblies);
}

} // namespace quillon
