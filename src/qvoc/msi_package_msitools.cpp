// The portable build writes the package with Debian's msitools: the tables
// as text archive (.idt) files imported by msibuild, the summary values that
// msibuild cannot set patched into the finished file.
#include "qvoc/compound_file.h"
#include "qvoc/msi_package.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iconv.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quillon::qvoc {

namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t pid_page_count = 14;
constexpr std::uint32_t pid_word_count = 15;

// The database stores its strings in its code page; libmsi takes them in
// UTF-8 and converts them when it saves.
Result<std::string> to_utf8(const std::string& text, int code_page)
{
    std::string from = "CP" + std::to_string(code_page);
    iconv_t converter = iconv_open("UTF-8", from.c_str());
    if (converter == reinterpret_cast<iconv_t>(-1))
        return make_error(ErrorCode::unsupported, "The code page " + std::to_string(code_page) +
                                                      " is not known here, so the installer package cannot be "
                                                      "written.");
    std::string out(text.size() * 4 + 4, '\0');
    char* in_pointer = const_cast<char*>(text.data());
    std::size_t in_left = text.size();
    char* out_pointer = out.data();
    std::size_t out_left = out.size();
    std::size_t converted = iconv(converter, &in_pointer, &in_left, &out_pointer, &out_left);
    iconv_close(converter);
    if (converted == static_cast<std::size_t>(-1))
        return make_error(ErrorCode::parse,
                          "\"" + text + "\" is not valid text in code page " + std::to_string(code_page) + ".");
    out.resize(out.size() - out_left);
    return out;
}

Result<void> write_text(const fs::path& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
    out.close();
    if (!out)
        return make_error(ErrorCode::io, "Cannot write " + path.string());
    return {};
}

// msibuild imports tables from its working folder, so it runs inside it.
Result<void> run_msibuild(const fs::path& folder, std::vector<std::string> arguments)
{
    arguments.insert(arguments.begin(), "msibuild");
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    pid_t child = fork();
    if (child < 0)
        return make_error(ErrorCode::io, std::string("Cannot start msibuild: ") + std::strerror(errno),
                          static_cast<std::uint32_t>(errno));
    if (child == 0) {
        if (chdir(folder.c_str()) == 0)
            execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0)
        if (errno != EINTR)
            return make_error(ErrorCode::io, "Lost the msibuild process");
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
        return make_error(ErrorCode::not_found,
                          "msibuild was not found; install msitools to build the installer package");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return make_error(ErrorCode::installer, "msibuild failed to build the installer package");
    return {};
}

// msibuild takes an argument that starts with "-" for its next option; the
// summary's subject and author are informational, so a leading blank is
// harmless there.
std::string summary_argument(std::string text)
{
    if (!text.empty() && text.front() == '-')
        text.insert(text.begin(), ' ');
    return text;
}

bool is_safe_idt_text(const std::string& text)
{
    return text.find_first_of("\t\r\n") == std::string::npos;
}

} // namespace

Result<void> create_msi_package(const fs::path& path, const MsiPackageInfo& info, const fs::path& work_folder)
{
    std::string table = "Property\tValue\r\ns72\tl0\r\nProperty\tProperty\r\n";
    for (const auto& [name, value] : package_properties(info)) {
        // A tab or line break would split the row of the text archive.
        if (!is_safe_idt_text(value))
            return make_error(ErrorCode::unsupported,
                              "The installer property " + name + " cannot hold a tab or line break.");
        table += name + "\t" + TRY(to_utf8(value, info.code_page)) + "\r\n";
    }
    TRY(write_text(work_folder / "_ForceCodepage.idt",
                   "\r\n\r\n" + std::to_string(info.code_page) + "\t_ForceCodepage\r\n"));
    TRY(write_text(work_folder / "Property.idt", table));

    fs::path package = fs::absolute(work_folder / "package.msi");
    std::error_code ignored;
    fs::remove(package, ignored);
    std::vector<std::string> import = {package.string(), "-i", "_ForceCodepage.idt", "Property.idt"};
    TRY(stage_binary_data(info, work_folder));
    for (const PackageTable& rows : package_tables(info.rows)) {
        TRY(check_idt_fields(rows));
        std::string file_name = rows.name + ".idt";
        std::string text = TRY(to_utf8(idt_text(rows), info.code_page));
        TRY(write_text(work_folder / file_name, text));
        import.push_back(file_name);
    }
    TRY(run_msibuild(work_folder, import));
    std::string subject = TRY(to_utf8(info.product_name, info.code_page));
    std::string author = TRY(to_utf8(info.manufacturer, info.code_page));
    TRY(run_msibuild(work_folder, {package.string(), "-s", summary_argument(subject), summary_argument(author),
                                   package_template(info), info.package_code}));

    std::string bytes;
    {
        std::ifstream in(package, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!in.good() && !in.eof())
            return make_error(ErrorCode::io, "Cannot read " + package.string());
    }
    TRY(set_summary_integer(bytes, pid_page_count, package_page_count));
    TRY(set_summary_integer(bytes, pid_word_count, package_word_count));
    TRY(write_text(path, bytes));
    return {};
}

} // namespace quillon::qvoc
