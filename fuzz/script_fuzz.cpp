// Feeds arbitrary bytes to the script parser and the PE stub-size reader, and
// asks a parsed script every question the engine can ask it.
#include "script/ScriptImage.h"
#include "script/pe_image.h"
#include "script/scrambled_password.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace {

void exercise(quillon::TScriptImage& image)
{
    std::size_t count = image.CommandCount();
    for (bool scan : {true, false}) {
        image.set_startup_scan(scan);
        // One index past the end too: the accessors must answer, not crash.
        for (std::size_t i = 0; i <= count; ++i) {
            const std::string& identifier = image.CommandId(i);
            (void)image.CommandName(i);
            (void)image.IsDisabled(i);
            (void)image.CommandMediaFolder(i);
            (void)image.SourceFile(i);
            (void)image.SourceLine(i);
            (void)image.CommandHeader(i);
            (void)image.command_index(identifier);
            for (std::size_t k = 0; k < 4; ++k)
                (void)image.Parameter(identifier, k);
            (void)image.Parameter(identifier, SIZE_MAX);
        }
    }
    const auto& constants = image.build_constants();
    for (std::size_t i = 0; i < constants.size(); ++i)
        (void)image.BuildConstant(constants[i]);
    const auto& passwords = image.web_media_passwords();
    for (std::size_t i = 0; i < passwords.size(); ++i) {
        (void)image.web_media_password(passwords[i]);
        auto clear = quillon::unscramble_password(passwords[i]);
        if (clear) {
            auto again = quillon::unscramble_password(quillon::scramble_password(*clear));
            if (!again || *again != *clear)
                __builtin_trap();
        }
    }
    (void)image.web_media_password("no such block");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::span<const std::byte> bytes(reinterpret_cast<const std::byte*>(data), size);
    (void)quillon::pe_stub_size(bytes);
    auto image = quillon::parse_script_image(bytes);
    if (image)
        exercise(*image);
    return 0;
}
