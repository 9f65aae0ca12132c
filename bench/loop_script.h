// The scripts the benchmarks run. The loop benchmarks': "Set Variable"
// commands and "If"/"End" pairs, a quarter of the conditions failing.
#pragma once

#include "script/ScriptImage.h"
#include "script/script_writer.h"

#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace quillon::bench {

// The image of a script of these commands, under the benchmarks' product.
inline TScriptImage bench_script(std::vector<CompiledCommand> commands)
{
    CompiledScript script;
    script.product_code = "{22222222-2222-3333-4444-555555555555}";
    script.revision_code = "{77777777-7777-8888-9999-AAAAAAAAAAAA}";
    script.product_title = "Bench";
    script.product_version = "1.0";
    script.default_language = "English";
    script.component_sizes = {{"KYRT-PREDEF-COMPONENT", 0}};
    script.commands = std::move(commands);
    Result<std::string> text = write_script_image(script);
    Result<TScriptImage> image =
        parse_script_image(std::span(reinterpret_cast<const std::byte*>(text->data()), text->size()));
    return std::move(*image);
}

inline TScriptImage loop_script(std::size_t count)
{
    std::vector<CompiledCommand> commands;
    for (std::size_t i = 0; i < count; ++i) {
        CompiledCommand c;
        char id[64];
        std::snprintf(id, sizeof id, "{0D0D0D0D-0000-0000-0000-%012zu}", i);
        c.identifier = id;
        c.project_file = "bench.qvp";
        c.project_line = static_cast<std::int32_t>(i);
        switch (i % 4) {
        case 0:
            c.name = "Set Variable";
            c.parameters = {"VALUE" + std::to_string(i % 64), "$COUNTER$ step"};
            break;
        case 1:
            c.name = "If";
            c.parameters = {"COUNTER", "0", "7", (i % 8 == 1) ? "TRUE" : "FALSE"};
            break;
        case 2:
            c.name = "Set Variable";
            c.parameters = {"COUNTER", "7"};
            break;
        default: c.name = "End"; break;
        }
        commands.push_back(std::move(c));
    }
    return bench_script(std::move(commands));
}

} // namespace quillon::bench
