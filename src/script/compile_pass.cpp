#include "script/compile_pass.h"

#include "base/strings.h"
#include "script/compile_texts.h"
#include "vars/mEval.h"
#include "vars/texts.h"

#include <array>
#include <initializer_list>
#include <optional>

namespace quillon {
namespace {

namespace ct = compile_text;

// A self-referencing constant ("#A#" -> "x#A#") grows on every round; real
// scripts nest a handful of levels at most.
constexpr int max_expansion_rounds = 32;

// Replaces every "#name#" in text by value, ignoring case.
std::string replace_constant(std::string_view text, std::string_view name, std::string_view value)
{
    std::string token = "#";
    token.append(name);
    token.push_back('#');
    std::string out;
    std::size_t from = 0;
    for (;;) {
        std::size_t at = find_nocase(text.substr(from), token);
        if (at == std::string_view::npos) {
            break;
        }
        out.append(text.substr(from, at));
        out.append(value);
        from += at + token.size();
    }
    out.append(text.substr(from));
    return out;
}

// How a command is checked beyond its declarations.
enum class Check {
    none,
    web_media_block,
    delete_files,
    install_files,
    variable_exists, // parameter 1 names a variable that must exist
    expression,
    set_variable,
    goto_label,
    if_test,
    display_dialog,
};

struct CommandRule {
    std::string_view name;
    Check check = Check::none;
    std::size_t required = 0; // parameter that must not be empty ("Variable required"), 0 for none
    std::array<std::size_t, 2> declares{}; // parameters declared as variables, 0 for none
    bool mark = false;                     // installation command recorded for the installer
};

constexpr CommandRule rule(std::string_view name, std::size_t declare_a = 0, std::size_t declare_b = 0)
{
    return {name, Check::none, 0, {declare_a, declare_b}, false};
}

constexpr CommandRule marked(std::string_view name)
{
    return {name, Check::none, 0, {}, true};
}

constexpr std::array command_rules{
    CommandRule{"Web Media Block", Check::web_media_block, 0, {}, false},
    rule("Comment"),
    rule("Get Folder Location", 1),
    rule("Get INI File Settings", 1),
    rule("Check File Version", 1),
    rule("Get System Settings", 1),
    rule("Get OS or SP Level", 1),
    rule("Read Registry", 1),
    rule("Check Registry", 1),
    rule("Does File/Folder Exist", 1),
    rule("Get Temporary File", 1),
    rule("Localization Variable", 1),
    rule("Get IIS Property", 1),
    rule("Get IIS Site List", 1),
    rule("Mathematics", 4),
    CommandRule{"Is MSI Setup Installed", Check::none, 2, {2, 0}, false},
    rule("Extract 7Zip Archive", 3),
    rule("Run Light Mode Setup", 2),
    rule("Read from Text File", 2, 3),
    rule("Parse String", 3, 4),
    CommandRule{"Delete Files", Check::delete_files, 0, {}, true},
    marked("Copy/Move Local Files"),
    marked("Create Folder"),
    marked("Create Shortcut"),
    marked("Advertised Shortcut"),
    marked("Edit INI File"),
    marked("Install Assembly"),
    marked("Set Environment"),
    marked("Install Service"),
    marked("Install ODBC Driver"),
    marked("Create ODBC DSN"),
    marked("Control Service"),
    marked("Write Registry"),
    marked("Create File Type"),
    marked("Advertised File Type"),
    CommandRule{"Install Files", Check::install_files, 0, {}, true},
    CommandRule{"Convert Path", Check::variable_exists, 0, {}, false},
    CommandRule{"Convert Case", Check::variable_exists, 0, {}, false},
    CommandRule{"Extract Path", Check::variable_exists, 0, {}, false},
    CommandRule{"Replace String", Check::variable_exists, 0, {}, false},
    CommandRule{"Evaluate Expression", Check::expression, 0, {2, 0}, false},
    rule("Run Program", 5),
    rule("Run Program As", 8),
    CommandRule{"Set Variable", Check::set_variable, 0, {}, false},
    rule("Get File Version", 2),
    rule("Get Environment", 2),
    rule("Get IIS Site Index", 2),
    CommandRule{"GoTo Label", Check::goto_label, 0, {}, false},
    CommandRule{"Find All Files", Check::none, 4, {4, 0}, false},
    CommandRule{"Check Disk Space", Check::none, 1, {1, 0}, false},
    CommandRule{"If", Check::if_test, 1, {}, false},
    CommandRule{"Else If", Check::if_test, 1, {}, false},
    rule("MessageBox", 5),
    rule("Check Service", 3),
    rule("Check Process", 2),
    rule("Register Library", 3),
    rule("Apply Changes", 2),
    rule("Apply Patch", 1),
    CommandRule{"Display Dialog", Check::display_dialog, 0, {2, 0}, false},
    rule("Get Component State", 2),
    rule("Get Component Space", 2),
    rule("IIS Anonymous User", 1),
};

const CommandRule* find_rule(std::string_view name)
{
    for (const CommandRule& r : command_rules) {
        if (r.name == name) {
            return &r;
        }
    }
    return nullptr;
}

// The engine's own variables, declared so that the checks find them.
constexpr std::array engine_variables{
    "KYRT_COMPRESSCACHE",
    "KYRT_DISABLEROLLBACK",
    "KYRT_DISABLEVISTARESTARTMANAGER",
    "IISHOST",
    "OVERRIDECACHE",
    "KYRTLOGO",
    "TIME",
    "DATE",
    "NEWINSTANCE",
    "SELECTED",
    "WINDOWHANDLE",
    "EXEDIR",
    "EXEFILE",
    "UNINSTALLLINK",
    "ENGINECACHE",
    "COPYWEBLOCK",
    "ABORT",
    "SILENT",
    "LOGGED",
    "CMDLINE",
    "REBOOTNOW",
    "SFXPATH",
    "SFXFILE",
    "LASTERROR",
    "PROGRESSMODE",
    "PROGRESSTEXT",
    "PROGRESS",
    "LICENSE",
    "USERNAME",
    "USERCOMPANY",
    "REBOOTCOMPUTER",
    "RUNAPP",
    "WIZARD",
    "VERSION",
    "TARGETDIR",
    "STARTMENU",
    "ADVERTISE",
    "ALLUSERS",
    "COMPLETE",
    "MINIMUM",
    "PERSONALIZED",
    "MODIFY",
    "REPAIR",
    "REMOVE",
    "DATADIR",
    "PRODUCTCODE",
    "REVISIONCODE",
    "ROOTDIR",
    "MAINTENANCE",
    "NEWLINE",
    "NEEDSUPGRADE",
    "TITLE",
    "COMPANY",
    "TEMPDIR",
    "SUPPORTDIR",
    "MSIFILE",
    "LANGUAGE",
    "ABORTONERROR",
    "ABORTEDONERROR",
    "SAVEDATA",
};

// "$NAME$" with nothing else: the name, else nothing.
std::optional<std::string_view> dollar_reference(std::string_view text)
{
    if (text.size() >= 3 && text.front() == '$' && text.back() == '$') {
        std::string_view inner = text.substr(1, text.size() - 2);
        if (inner.find('$') == std::string_view::npos) {
            return inner;
        }
    }
    return std::nullopt;
}

// A variable named bare or as "$NAME$".
bool names_existing_variable(const TVariableManager& vars, std::string_view text)
{
    if (auto inner = dollar_reference(text)) {
        return VarExists(vars, *inner);
    }
    return VarExists(vars, text);
}

class CompilePass {
public:
    CompilePass(const TScriptImage& image, TVariableManager& vars) : m_image(image), m_vars(vars) {}

    CompileResult run()
    {
        declare_engine_variables();
        m_out.result = ct::accepted;
        m_out.message = std::string(ct::compiled_ok);
        if (check_balance() && collect_labels()) {
            declare_flagged_assignments();
            if (check_commands()) {
                check_wizard_loops();
            }
        }
        m_vars.Clear();
        return std::move(m_out);
    }

private:
    // A missing block or a parameter past the section reads as empty.
    std::string param(std::size_t index, std::size_t k) const
    {
        return m_image.Parameter(m_image.CommandId(index), k).value_or(std::string());
    }

    bool fail(std::size_t index, std::string message)
    {
        m_out.result = static_cast<std::int32_t>(index);
        m_out.message = std::move(message);
        return false;
    }

    void declare(std::string_view name) { DefineVar(m_vars, ansi_upper(name), "", origin::compilation); }

    void declare_engine_variables()
    {
        m_vars.Clear();
        DefineVar(m_vars, "KYRT_TIMEOUT", "FALSE", origin::compilation);
        DefineVar(m_vars, "GPOPATH", "FALSE", origin::compilation);
        for (std::string_view name : engine_variables) {
            DefineVar(m_vars, name, "", origin::compilation);
        }
    }

    bool check_balance()
    {
        long opened = 0;
        long closed = 0;
        long depth = 0;
        for (std::size_t i = 0; i < m_image.CommandCount(); ++i) {
            if (m_image.IsDisabled(i)) {
                continue;
            }
            const std::string& name = m_image.CommandName(i);
            if (name == ct::cmd_if || name == ct::cmd_wizard_loop) {
                ++opened;
                ++depth;
            } else if (name == ct::cmd_end) {
                ++closed;
                --depth;
            } else if (name == ct::cmd_label && depth != 0) {
                return fail(i, std::string(ct::label_nested));
            }
        }
        if (opened != closed) {
            m_out.result = ct::end_imbalance;
            m_out.message = std::string(closed < opened ? ct::insufficient_end : ct::too_many_end);
            return false;
        }
        return true;
    }

    bool collect_labels()
    {
        for (std::size_t i = 0; i < m_image.CommandCount(); ++i) {
            if (m_image.CommandName(i) != ct::cmd_label) {
                continue;
            }
            std::string written = param(i, 1);
            std::string upper = ansi_upper(written);
            for (const std::string& known : m_out.labels) {
                if (known == upper) {
                    return fail(i, std::string(ct::label_redefined) + written);
                }
            }
            m_out.labels.push_back(std::move(upper));
        }
        return true;
    }

    void declare_flagged_assignments()
    {
        for (std::size_t i = 0; i < m_image.CommandCount(); ++i) {
            if (m_image.CommandName(i) != ct::cmd_set_variable) {
                continue;
            }
            std::string target = param(i, 1);
            std::size_t at = target.find(ct::flag_marker);
            if (at == std::string::npos) {
                continue;
            }
            bool flag = std::string_view(target).substr(at + ct::flag_marker.size()) == "TRUE";
            std::string name = target.substr(0, at);
            if (flag && !VarExists(m_vars, name)) {
                declare(name);
            }
        }
    }

    bool check_commands()
    {
        for (std::size_t i = 0; i < m_image.CommandCount(); ++i) {
            m_out.marks.emplace_back("SKIP");
            if (m_image.IsDisabled(i)) {
                continue;
            }
            const CommandRule* r = find_rule(m_image.CommandName(i));
            if (r != nullptr && !check_command(i, *r)) {
                // The marks still cover every command, so later readers may index them freely.
                m_out.marks.resize(m_image.CommandCount(), "SKIP");
                return false;
            }
        }
        return true;
    }

    bool check_command(std::size_t i, const CommandRule& r)
    {
        if (r.required != 0 && param(i, r.required).empty()) {
            return fail(i, std::string(ct::variable_required));
        }
        if (r.check == Check::display_dialog && param(i, 1).empty()) {
            return fail(i, std::string(ct::dialog_unnamed));
        }
        for (std::size_t p : r.declares) {
            if (p != 0) {
                declare(param(i, p));
            }
        }
        if (!special_check(i, r.check)) {
            return false;
        }
        if (r.mark) {
            m_out.marks[i] = "FALSE";
        }
        return true;
    }

    bool special_check(std::size_t i, Check check)
    {
        switch (check) {
        case Check::none: return true;
        case Check::web_media_block: {
            std::string block = param(i, 1);
            std::size_t cut = block.find_last_of("\\:");
            std::string_view last = std::string_view(block).substr(cut == std::string::npos ? 0 : cut + 1);
            if (last.find_first_of("/*?\"<>|") != std::string_view::npos) {
                return fail(i, std::string(ct::web_block_name));
            }
            if (!block.empty() && param(i, 2).empty()) {
                return fail(i, std::string(ct::web_block_url));
            }
            return true;
        }
        case Check::delete_files:
            if (!text_is_true(param(i, 3)) && !text_is_true(param(i, 4))) {
                return fail(i, std::string(ct::delete_mode));
            }
            return true;
        case Check::install_files:
            if (param(i, 3).empty()) {
                return fail(i, std::string(ct::install_target));
            }
            return true;
        case Check::variable_exists: {
            std::string name = param(i, 1);
            if (!VarExists(m_vars, name)) {
                return fail(i, std::string(ct::variable_not_defined) + name);
            }
            return true;
        }
        case Check::expression: {
            // A check that cannot run (an out-of-range number) is no syntax fault.
            auto ok = CheckExpressionSyntax(param(i, 1));
            if (ok.has_value() && !*ok) {
                return fail(i, std::string(ct::expression_syntax));
            }
            return true;
        }
        case Check::set_variable: {
            std::string target = param(i, 1);
            std::size_t at = target.find(ct::flag_marker);
            if (at != std::string::npos) {
                target.resize(at);
            }
            declare(target);
            return true;
        }
        case Check::goto_label: {
            std::string written = param(i, 1);
            std::string upper = ansi_upper(written);
            for (const std::string& known : m_out.labels) {
                if (known == upper) {
                    return true;
                }
            }
            return fail(i, std::string(ct::label_undefined) + written);
        }
        case Check::if_test: {
            if (param(i, 2) == "5") {
                return true;
            }
            std::string value = param(i, 3);
            if (auto ref = dollar_reference(value); ref && !VarExists(m_vars, *ref)) {
                return fail(i, std::string(ct::variable_not_defined) + value);
            }
            std::string variable = param(i, 1);
            if (!names_existing_variable(m_vars, variable)) {
                return fail(i, std::string(ct::variable_not_defined) + variable);
            }
            return true;
        }
        case Check::display_dialog: {
            std::string variable = param(i, 4);
            if (!variable.empty() && !names_existing_variable(m_vars, variable)) {
                return fail(i, std::string(ct::variable_not_defined) + variable);
            }
            return true;
        }
        }
        return true;
    }

    void check_wizard_loops()
    {
        bool inside = false;
        for (std::size_t i = 0; i < m_image.CommandCount(); ++i) {
            const std::string& name = m_image.CommandName(i);
            if (name == ct::cmd_wizard_loop) {
                inside = true;
            } else if (name == ct::cmd_end && inside) {
                inside = false;
            } else if (inside && name != ct::cmd_display_dialog && name != ct::cmd_comment && !m_image.IsDisabled(i) &&
                       name != ct::cmd_ignore) {
                fail(i, std::string(ct::wizard_loop_only));
                return;
            }
        }
    }

    const TScriptImage& m_image;
    TVariableManager& m_vars;
    CompileResult m_out;
};

} // namespace

std::string ExpandBuildConstants(std::string_view text, const TScriptImage& image)
{
    std::string current(text);
    const std::vector<std::string>& pairs = image.build_constants();
    for (int round = 0; round < max_expansion_rounds; ++round) {
        if (current.find('#') == std::string::npos) {
            return current;
        }
        std::string result = current;
        for (std::size_t k = 0; k + 1 < pairs.size(); k += 2) {
            if (pairs[k].empty()) {
                continue; // "##" is no reference
            }
            result = replace_constant(result, pairs[k], pairs[k + 1]);
        }
        if (result == current) {
            return result;
        }
        current = std::move(result);
    }
    return current;
}

CompileResult CompileScript(const TScriptImage& image, TVariableManager& variables)
{
    return CompilePass(image, variables).run();
}

} // namespace quillon
