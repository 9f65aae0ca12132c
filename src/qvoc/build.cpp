#include "qvoc/build.h"

#include "base/scope_exit.h"
#include "base/strings.h"
#include "qvoc/compile.h"
#include "qvoc/msi_package.h"
#include "qvoc/package_rows.h"
#include "qvoc/project.h"
#include "qvoc/qvoc_texts.h"
#include "qvoc/sevenzip_writer.h"
#include "script/pe_image.h"
#include "script/script_writer.h"

#include <algorithm>
#include <fstream>
#include <random>
#include <set>

namespace quillon::qvoc {

namespace {

namespace fs = std::filesystem;

std::unexpected<Error> io_error(const std::string& what, const std::error_code& code)
{
    return std::unexpected(
        Error{ErrorCode::io, static_cast<std::uint32_t>(code.value()), what + ": " + code.message()});
}

Result<std::string> read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return make_error(ErrorCode::io, "Cannot open " + path.string());
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return make_error(ErrorCode::io, "Cannot read " + path.string());
    return bytes;
}

Result<void> write_file(const fs::path& path, std::string_view first, std::string_view second = {})
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(first.data(), static_cast<std::streamsize>(first.size()));
    out.write(second.data(), static_cast<std::streamsize>(second.size()));
    out.close();
    if (!out)
        return make_error(ErrorCode::io, "Cannot write " + path.string());
    return {};
}

std::string random_suffix()
{
    std::random_device device;
    std::uniform_int_distribution<std::uint32_t> distribution;
    static constexpr char digits[] = "0123456789abcdef";
    std::uint32_t value = distribution(device);
    std::string suffix;
    for (int i = 0; i < 8; ++i)
        suffix.push_back(digits[(value >> (4 * i)) & 0xF]);
    return suffix;
}

std::span<const std::byte> as_bytes(std::string_view text)
{
    return {reinterpret_cast<const std::byte*>(text.data()), text.size()};
}

// A folder the project names, relative to the project's own folder.
Result<fs::path> project_folder(const Project& project, const fs::path& base, const std::string& relative,
                                std::size_t line, std::string_view what)
{
    fs::path folder = base / fs::path(relative);
    std::error_code code;
    if (!fs::is_directory(folder, code))
        return std::unexpected(project_error(project.display_name, line,
                                             std::string(what) + " \"" + relative + "\" is not a folder (looked at " +
                                                 folder.string() + ")"));
    return folder;
}

bool is_inside(const fs::path& path, const fs::path& folder)
{
    fs::path inner = fs::absolute(path).lexically_normal();
    fs::path outer = fs::absolute(folder).lexically_normal();
    if (!outer.has_filename())
        outer = outer.parent_path();
    return std::mismatch(outer.begin(), outer.end(), inner.begin(), inner.end()).first == outer.end();
}

// A web block's files below one top folder named after the block, which is
// where the engine looks for them after the extraction.
Result<std::vector<ArchiveItem>> block_items(const fs::path& source, const std::string& block)
{
    std::vector<ArchiveItem> items = TRY(collect_archive_items(source));
    std::u16string top = fs::path(block).u16string();
    for (ArchiveItem& item : items)
        item.name = top + u"/" + item.name;
    ArchiveItem folder;
    folder.name = top;
    folder.directory = true;
    folder.attributes = attribute_directory;
    items.insert(items.begin(), folder);
    return items;
}

class SetupBuilder {
public:
    explicit SetupBuilder(const BuildOptions& options) : m_options(options) {}

    Result<BuildReport> build()
    {
        std::string text = TRY(read_file(m_options.project));
        Project project = TRY(parse_project(text, m_options.project.string(), m_options.project.filename().string()));
        CompiledProject compiled = TRY(compile_project(project));
        auto script = write_script_image(compiled.script);
        if (!script)
            return make_error(script.error().code, m_options.project.string() + ": " + script.error().message);

        fs::path base = m_options.project.parent_path();
        std::optional<fs::path> resources;
        if (compiled.build.resources)
            resources = TRY(project_folder(project, base, *compiled.build.resources, *project.resources.line,
                                           "the resource folder"));
        std::vector<std::pair<fs::path, std::string>> media; // folder, name under data
        std::set<std::string> media_names;
        for (const ProjectName& folder : project.media_folders) {
            fs::path source = TRY(project_folder(project, base, folder.text, folder.line, "the media folder"));
            fs::path normal = fs::absolute(source).lexically_normal();
            std::string name = (normal.has_filename() ? normal : normal.parent_path()).filename().string();
            if (!media_names.insert(name).second)
                return std::unexpected(
                    project_error(project.display_name, folder.line,
                                  "a second media folder named \"" + name + "\"; each becomes data\\" + name));
            media.emplace_back(source, name);
        }

        // Payload archives beside the setup: "<folder name>.7z".
        std::vector<std::pair<std::string, std::vector<ArchiveItem>>> archives;
        std::set<std::string> archive_names;
        for (const ProjectName& folder : project.archive_folders) {
            fs::path source = TRY(project_folder(project, base, folder.text, folder.line, "the archive folder"));
            fs::path normal = fs::absolute(source).lexically_normal();
            std::string archive = (normal.has_filename() ? normal : normal.parent_path()).filename().string() + ".7z";
            if (!archive_names.insert(archive).second)
                return std::unexpected(project_error(project.display_name, folder.line,
                                                     "a second archive folder would become " + archive));
            archives.emplace_back(archive, TRY(collect_archive_items(source)));
        }

        // Web media blocks: "web\<folder name>.7zip", the files below one top folder of that name.
        std::vector<std::pair<std::string, std::vector<ArchiveItem>>> web_blocks;
        std::set<std::string> block_names;
        for (const ProjectName& folder : project.web_blocks) {
            fs::path source = TRY(project_folder(project, base, folder.text, folder.line, "the web block folder"));
            fs::path normal = fs::absolute(source).lexically_normal();
            std::string block = (normal.has_filename() ? normal : normal.parent_path()).filename().string();
            if (!block_names.insert(ascii_upper(block)).second)
                return std::unexpected(
                    project_error(project.display_name, folder.line, "a second web block named \"" + block + "\""));
            for (const ProjectPair& password : project.passwords)
                if (equal_ascii_nocase(password.name, block) || equal_ascii_nocase(password.name, "offline"))
                    return std::unexpected(project_error(
                        project.display_name, folder.line,
                        "web block \"" + block + "\" has a password (line " + std::to_string(password.line + 1) +
                            "); qvoc writes no encrypted archives: make this one with 7-Zip"));
            web_blocks.emplace_back(block + std::string(texts::web_block_extension), TRY(block_items(source, block)));
        }

        fs::path output = fs::absolute(m_options.output_folder).lexically_normal();
        if (!output.has_filename())
            output = output.parent_path();
        // The staging folder lies beside the output folder; inside a folder
        // that is being archived or copied it would be packed into itself.
        if (resources && is_inside(output, *resources))
            return std::unexpected(project_error(project.display_name, *project.resources.line,
                                                 "the output folder lies inside the resource folder"));
        for (std::size_t index = 0; index < media.size(); ++index)
            if (is_inside(output, media[index].first))
                return std::unexpected(project_error(project.display_name, project.media_folders[index].line,
                                                     "the output folder lies inside this media folder"));
        for (const auto* folders : {&project.archive_folders, &project.web_blocks})
            for (const ProjectName& folder : *folders)
                if (is_inside(output, base / fs::path(folder.text)))
                    return std::unexpected(project_error(project.display_name, folder.line,
                                                         "the output folder lies inside this archive folder"));
        std::vector<ArchiveItem> items;
        if (resources)
            items = TRY(collect_archive_items(*resources));

        fs::path engine = m_options.engine ? *m_options.engine : TRY(find_engine_stub(m_options.program_folder));
        std::string stub = TRY(read_file(engine));
        std::uint64_t stub_size = TRY(pe_stub_size(as_bytes(stub)));
        if (stub_size != stub.size())
            return make_error(ErrorCode::unsupported, engine.string() + " already has data appended; give the bare "
                                                                        "engine stub");

        std::vector<MediaFolderSource> media_sources;
        for (const auto& [source, folder_name] : media)
            media_sources.push_back({folder_name, source});
        PackageRows rows = TRY(
            make_package_rows(project, compiled.script, media_sources, compiled.build.platform == texts::platform_x64));
        // The package's own custom action comes from beside the stub, as
        // qvo.lib does: without it the rows would install into the wrong places.
        fs::path handover_library = engine.parent_path() / handover_library_name;
        std::error_code missing;
        if (!rows.empty() && !fs::is_regular_file(handover_library, missing))
            return make_error(ErrorCode::not_found,
                              "The installer package needs its hand-over library " + handover_library.string() +
                                  " beside the engine stub for the rows of the project's recorded commands; the "
                                  "Windows build puts it into dist/win64 beside engine.exe");

        std::error_code code;
        fs::create_directories(output.parent_path(), code);
        if (code)
            return io_error("Cannot create " + output.parent_path().string(), code);
        fs::path staging = output.parent_path() / ("." + output.filename().string() + ".qvoc-" + random_suffix());
        fs::create_directory(staging, code);
        if (code)
            return io_error("Cannot create " + staging.string(), code);
        ScopeExit remove_staging([&] {
            std::error_code ignored;
            fs::remove_all(staging, ignored);
        });

        const std::string& name = compiled.build.output_name;
        const CompiledScript& compiled_script = compiled.script;
        std::vector<std::string> produced;

        std::string setup_name = name + std::string(texts::setup_extension);
        TRY(write_file(staging / setup_name, stub, *script));
        produced.push_back(setup_name);

        BuildReport report;
        fs::path library = engine.parent_path() / texts::archive_library_name;
        if (fs::is_regular_file(library, code)) {
            fs::copy_file(library, staging / texts::archive_library_name, code);
            if (code)
                return io_error("Cannot copy " + library.string(), code);
            produced.emplace_back(texts::archive_library_name);
            report.archive_library = true;
        }

        std::string resource_name = name + std::string(texts::resource_extension);
        Compression compression{compiled.build.compression};
        TRY(write_7z_archive(staging / resource_name, items, compression));
        produced.push_back(resource_name);

        for (const auto& [archive, archive_items] : archives) {
            TRY(write_7z_archive(staging / archive, archive_items, compression));
            produced.push_back(archive);
        }

        std::string package_name = name + std::string(texts::package_extension);
        MsiPackageInfo package;
        package.product_code = compiled_script.product_code;
        package.product_name = compiled_script.product_title;
        package.product_version = compiled_script.product_version;
        package.manufacturer = compiled_script.publisher;
        package.package_code = compiled.build.package_code;
        package.platform = compiled.build.platform;
        package.code_page = compiled_script.code_page;
        package.rows = std::move(rows);
        package.handover_library = handover_library;
        fs::path work = staging / ".msi-work";
        fs::create_directory(work, code);
        if (code)
            return io_error("Cannot create " + work.string(), code);
        TRY(create_msi_package(staging / package_name, package, work));
        fs::remove_all(work, code);
        produced.push_back(package_name);

        if (!web_blocks.empty()) {
            fs::path web = staging / texts::web_folder_name;
            fs::create_directory(web, code);
            if (code)
                return io_error("Cannot create " + web.string(), code);
            for (const auto& [archive, block_items] : web_blocks)
                TRY(write_7z_archive(web / archive, block_items, compression));
            produced.emplace_back(texts::web_folder_name);
        }

        fs::path data = staging / texts::data_folder_name;
        fs::create_directory(data, code);
        if (code)
            return io_error("Cannot create " + data.string(), code);
        for (const auto& [source, folder_name] : media) {
            fs::copy(source, data / folder_name, fs::copy_options::recursive, code);
            if (code)
                return io_error("Cannot copy the media folder " + source.string(), code);
        }
        // An empty file named by the product code marks the setup's media: a
        // maintenance run that needs them accepts a folder that holds it.
        if (!std::ofstream(data / compiled_script.product_code, std::ios::binary))
            return io_error("Cannot write the media marker in " + data.string(), code);
        produced.emplace_back(texts::data_folder_name);

        TRY(install(staging, output, produced));
        report.setup = output / setup_name;
        report.engine = engine;
        report.command_count = compiled_script.commands.size();
        return report;
    }

private:
    // Moves the finished files into the output folder; renames within one
    // file system, so nothing is half-written there.
    static Result<void> install(const fs::path& staging, const fs::path& output,
                                const std::vector<std::string>& produced)
    {
        std::error_code code;
        fs::create_directories(output, code);
        if (code)
            return io_error("Cannot create " + output.string(), code);
        for (const std::string& item : produced) {
            fs::path target = output / item;
            fs::remove_all(target, code);
            if (code)
                return io_error("Cannot replace " + target.string(), code);
            fs::rename(staging / item, target, code);
            if (code)
                return io_error("Cannot move " + item + " into " + output.string(), code);
        }
        return {};
    }

    const BuildOptions& m_options;
};

} // namespace

Result<fs::path> find_engine_stub(const fs::path& program_folder)
{
    std::error_code code;
    fs::path beside = program_folder / texts::engine_stub_name;
    if (fs::is_regular_file(beside, code))
        return beside;
    for (fs::path folder = program_folder; !folder.empty(); folder = folder.parent_path()) {
        fs::path candidate = folder / "dist" / "win64" / texts::engine_stub_name;
        if (fs::is_regular_file(candidate, code))
            return candidate;
        if (folder == folder.parent_path())
            break;
    }
    return make_error(ErrorCode::not_found, "No engine stub found: looked for engine.exe beside qvoc and for "
                                            "dist/win64/engine.exe above it; name one with --engine");
}

Result<BuildReport> build_setup(const BuildOptions& options)
{
    return SetupBuilder(options).build();
}

} // namespace quillon::qvoc
