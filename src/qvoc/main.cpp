// qvoc, the setup compiler: "qvoc build" turns a project into a setup
// folder, "qvoc dump" turns a built setup back into a project.
#include "qvoc/build.h"
#include "qvoc/dump.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

namespace {

using namespace quillon;
using namespace quillon::qvoc;

constexpr int exit_failure = 1;
constexpr int exit_usage = 2;

constexpr const char* usage_text = "usage: qvoc build PROJECT -o OUTDIR [--engine PATH]\n"
                                   "       qvoc dump SETUP.exe [-o FILE] [--inexact]\n"
                                   "\n"
                                   "build  compiles PROJECT into OUTDIR: B.exe, B.res, B.msi, qvo.lib and data\\,\n"
                                   "       B being the project's output name (\"setup\" unless it says otherwise).\n"
                                   "       The engine stub is --engine, else engine.exe beside qvoc, else\n"
                                   "       dist/win64/engine.exe in qvoc's folder or above it.\n"
                                   "dump   writes the script of a built setup as a project (to stdout or FILE).\n"
                                   "       --inexact writes it even when it would not rebuild the same bytes.\n";

int usage()
{
    std::cerr << usage_text;
    return exit_usage;
}

// Project errors already read "file:line: message", like a compiler's.
int report(const Error& error)
{
    if (error.code == ErrorCode::parse)
        std::cerr << error.message << "\n";
    else
        std::cerr << "qvoc: " << error.describe() << "\n";
    return exit_failure;
}

int run_build(const std::vector<std::string>& arguments)
{
    BuildOptions options;
    bool have_project = false;
    bool have_output = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if ((argument == "-o" || argument == "--engine") && i + 1 < arguments.size()) {
            if (argument == "-o") {
                options.output_folder = arguments[++i];
                have_output = true;
            } else {
                options.engine = std::filesystem::path(arguments[++i]);
            }
        } else if (!argument.empty() && argument[0] != '-' && !have_project) {
            options.project = argument;
            have_project = true;
        } else {
            return usage();
        }
    }
    if (!have_project || !have_output)
        return usage();
    if (!options.engine) {
        auto folder = executable_folder();
        if (!folder)
            return report(folder.error());
        options.program_folder = *folder;
    }
    auto built = build_setup(options);
    if (!built)
        return report(built.error());
    std::cout << "qvoc: wrote " << built->setup.string() << " (" << built->command_count << " commands, engine "
              << built->engine.string() << (built->archive_library ? ", with qvo.lib" : ", no qvo.lib beside it")
              << ")\n";
    return 0;
}

int run_dump(const std::vector<std::string>& arguments)
{
    std::optional<std::string> setup;
    std::optional<std::string> output;
    DumpOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "-o" && i + 1 < arguments.size())
            output = arguments[++i];
        else if (argument == "--inexact")
            options.allow_inexact = true;
        else if (!argument.empty() && argument[0] != '-' && !setup)
            setup = argument;
        else
            return usage();
    }
    if (!setup)
        return usage();

    auto script = read_appended_script(*setup);
    if (!script)
        return report(script.error());
    options.output_name = std::filesystem::path(*setup).stem().string();
    auto dumped = dump_script(*script, options);
    if (!dumped)
        return report(dumped.error());
    if (!dumped->inexact_reason.empty())
        std::cerr << "qvoc: warning: the project will not rebuild the same script: " << dumped->inexact_reason << "\n";

    if (output) {
        std::ofstream out(*output, std::ios::binary | std::ios::trunc);
        out << dumped->project;
        out.close();
        if (!out)
            return report(Error{ErrorCode::io, 0, "Cannot write " + *output});
    } else {
        std::fwrite(dumped->project.data(), 1, dumped->project.size(), stdout);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    if (arguments.empty())
        return usage();
    std::string command = arguments.front();
    arguments.erase(arguments.begin());
    try {
        if (command == "build")
            return run_build(arguments);
        if (command == "dump")
            return run_dump(arguments);
        if (command == "help" || command == "--help" || command == "-h") {
            std::cout << usage_text;
            return 0;
        }
    } catch (const std::exception& exception) {
        // std::filesystem and the streams may throw; report instead of aborting.
        std::cerr << "qvoc: " << exception.what() << "\n";
        return exit_failure;
    }
    return usage();
}
