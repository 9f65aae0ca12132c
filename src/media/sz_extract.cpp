// sz_extract ARCHIVE TARGET [-pPASSWORD] [-l]: extracts (or lists) a 7z archive.
#include "media/sevenzip/sevenzip.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    using namespace quillon::sevenzip;
    if (argc < 3) {
        std::fprintf(stderr, "usage: sz_extract ARCHIVE TARGET [-pPASSWORD] [-l]\n");
        return 2;
    }
    OpenOptions options;
    bool list = false;
    for (int i = 3; i < argc; ++i) {
        if (std::strncmp(argv[i], "-p", 2) == 0) {
            std::string text = argv[i] + 2;
            options.password = [text] {
                return std::optional<std::u16string>(std::u16string(text.begin(), text.end()));
            };
        } else if (std::strcmp(argv[i], "-l") == 0) {
            list = true;
        }
    }
    options.separator = '/';
    auto archive = Archive::open(argv[1], options);
    if (!archive) {
        std::fprintf(stderr, "sz_extract: %s\n", archive.error().message.c_str());
        return 1;
    }
    if (list) {
        for (const auto& entry : archive->entries())
            std::printf("%12llu %s%s\n", static_cast<unsigned long long>(entry.size), entry.path.c_str(),
                        entry.is_directory ? "/" : "");
        return 0;
    }
    auto result = archive->extract(argv[2]);
    if (!result) {
        std::fprintf(stderr, "sz_extract: %s\n", result.error().message.c_str());
        return 1;
    }
    return 0;
}
