// The maintenance data: the full write read back in both modes, the update
// write and what a crash during it leaves.
#include "cache/maintenance_data.h"
#include "vars/VariableManager.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace quillon {
namespace {

using ::testing::ElementsAre;

// Files in memory; an operation can be made to fail, as a crash or a full
// disk would stop the engine there.
class MemoryFiles : public CacheFiles {
public:
    Result<std::optional<std::string>> read(const std::string& path) override
    {
        auto found = files.find(path);
        if (found == files.end())
            return std::optional<std::string>();
        return std::optional<std::string>(found->second);
    }
    Result<void> write(const std::string& path, std::string_view bytes) override
    {
        operations.push_back("write " + path);
        if (fail_at == operations.size())
            return make_error(ErrorCode::io, "stopped");
        files[path] = std::string(bytes);
        return {};
    }
    Result<void> replace(const std::string& from, const std::string& to) override
    {
        operations.push_back("replace " + from + " " + to);
        if (fail_at == operations.size())
            return make_error(ErrorCode::io, "stopped");
        files[to] = files.at(from);
        files.erase(from);
        return {};
    }

    std::map<std::string, std::string> files;
    std::vector<std::string> operations;
    std::size_t fail_at = 0; // 1-based; 0 never
};

TComponentModel sample_model()
{
    TComponentModel model({"KYRT-PREDEF-COMPONENT", "100"});
    model.StartFirstInstallation();
    model.Define("Tools", "the tools", true);
    model.Define("Docs", "", false);
    model.SetSpace("Tools", 2500);
    model.SetVisibility("Docs", false);
    return model;
}

SelectionRunValues sample_values()
{
    SelectionRunValues values;
    values.target_dir = "C:\\Program Files\\Sample\\";
    values.all_users = "TRUE";
    values.start_menu = "Sample";
    values.data_folder = "C:\\SETUP~1\\data\\";
    values.saved_variables = {{"NOTES", "first line\r\nsecond line"}, {"PATTERN", "$TARGETDIR$ and 100$"}};
    values.platform_mode = "x64";
    values.override_cache = "";
    return values;
}

// What the file keeps of each component (descriptions are the script's).
std::vector<std::string> names_and_states(const TComponentModel& model)
{
    std::vector<std::string> out;
    for (const Component& component : model.lists().components)
        out.push_back(component.name + "=" + component.state);
    return out;
}

struct Loaded {
    TVariableManager vars;
    TComponentModel model;
    std::vector<std::string> kept;
    std::string platform = "Win32";
};

void load(MemoryFiles& files, const std::string& path, MaintenanceLoad mode, Loaded& out)
{
    MaintenanceTarget target{out.model, out.vars, [&](std::string_view name) { out.kept.emplace_back(name); },
                             [&](std::string_view mode_text) { out.platform = mode_text; }};
    ASSERT_TRUE(LoadMaintenanceData(files, path, mode, target));
}

TEST(MaintenanceData, FullWriteComesBackInCurrentMode)
{
    MemoryFiles files;
    TComponentModel model = sample_model();
    ASSERT_TRUE(SaveMaintenanceData(files, "c\\setup.dat", MaintenanceSave::full, model, sample_values()));

    Loaded loaded;
    DefineVar(loaded.vars, "TARGETDIR", "C:\\elsewhere\\", "test");
    load(files, "c\\setup.dat", MaintenanceLoad::current, loaded);
    EXPECT_THAT(names_and_states(loaded.model), ElementsAre("KYRT-PREDEF-COMPONENT=TRUE", "Tools=TRUE", "Docs=FALSE"));
    EXPECT_EQ(loaded.model.lists().hidden, model.lists().hidden);
    EXPECT_EQ(loaded.model.size("Tools"), 2500);
    EXPECT_EQ(GetVar(loaded.vars, "TARGETDIR"), "C:\\Program Files\\Sample\\");
    EXPECT_EQ(GetVar(loaded.vars, "ALLUSERS"), "TRUE");
    EXPECT_EQ(GetVar(loaded.vars, "STARTMENU"), "Sample");
    // Values are data: the line break is back and nothing was expanded.
    EXPECT_EQ(GetVar(loaded.vars, "NOTES"), "first line\r\nsecond line");
    EXPECT_EQ(GetVar(loaded.vars, "PATTERN"), "$TARGETDIR$ and 100$");
    EXPECT_EQ(loaded.platform, "x64");
    // OVERRIDECACHE is defined but is no saved variable.
    EXPECT_TRUE(VarExists(loaded.vars, "OVERRIDECACHE"));
    EXPECT_THAT(loaded.kept, ElementsAre("NOTES", "PATTERN"));
}

TEST(MaintenanceData, ImportModeLeavesTheSizesOfThisBuild)
{
    MemoryFiles files;
    ASSERT_TRUE(SaveMaintenanceData(files, "old.dat", MaintenanceSave::full, sample_model(), sample_values()));
    Loaded loaded;
    loaded.model = TComponentModel({"Tools", "7"});
    load(files, "old.dat", MaintenanceLoad::import, loaded);
    EXPECT_EQ(loaded.model.size("Tools"), 7);
    EXPECT_TRUE(loaded.model.is_selected("Tools"));
    EXPECT_EQ(GetVar(loaded.vars, "NOTES"), "first line\r\nsecond line");
}

TEST(MaintenanceData, MissingFileLoadsNothing)
{
    MemoryFiles files;
    Loaded loaded;
    load(files, "none.dat", MaintenanceLoad::current, loaded);
    EXPECT_TRUE(loaded.model.lists().components.empty());
    EXPECT_TRUE(loaded.kept.empty());
}

TEST(MaintenanceData, UpdateKeepsTheListsAndRunValuesAndWritesCurrentVariables)
{
    MemoryFiles files;
    ASSERT_TRUE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::full, sample_model(), sample_values()));
    std::string before = files.files["setup.dat"];

    SelectionRunValues now = sample_values();
    now.target_dir = "D:\\not written\\";
    now.saved_variables = {{"NOTES", "changed\r\nagain"}, {"ADDED", "new"}};
    now.platform_mode = "Win32";
    now.override_cache = "E:\\cache\\";
    TComponentModel other; // an update does not write the model of the run
    files.operations.clear();
    ASSERT_TRUE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::update, other, now));
    EXPECT_THAT(files.operations, ElementsAre("write setup.dat.new", "replace setup.dat.new setup.dat"));

    Loaded loaded;
    load(files, "setup.dat", MaintenanceLoad::current, loaded);
    EXPECT_EQ(names_and_states(loaded.model), names_and_states(sample_model()));
    EXPECT_EQ(GetVar(loaded.vars, "TARGETDIR"), "C:\\Program Files\\Sample\\");
    EXPECT_EQ(GetVar(loaded.vars, "NOTES"), "changed\r\nagain");
    EXPECT_EQ(GetVar(loaded.vars, "ADDED"), "new");
    EXPECT_FALSE(VarExists(loaded.vars, "PATTERN"));
    EXPECT_EQ(loaded.platform, "Win32");
    EXPECT_EQ(GetVar(loaded.vars, "OVERRIDECACHE"), "E:\\cache\\");
    EXPECT_THAT(loaded.kept, ElementsAre("NOTES", "ADDED"));
    // Written again unchanged, the update gives the same text.
    std::string once = files.files["setup.dat"];
    ASSERT_TRUE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::update, other, now));
    EXPECT_EQ(files.files["setup.dat"], once);
    EXPECT_NE(once, before);
}

TEST(MaintenanceData, UpdateStoppedAtEachStepLeavesAReadableFile)
{
    for (std::size_t step : {1u, 2u}) {
        SCOPED_TRACE(step);
        MemoryFiles files;
        ASSERT_TRUE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::full, sample_model(), sample_values()));
        std::string before = files.files["setup.dat"];
        files.operations.clear();
        files.fail_at = step;
        SelectionRunValues now = sample_values();
        now.saved_variables = {{"NOTES", "changed"}};
        EXPECT_FALSE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::update, TComponentModel(), now));
        ASSERT_TRUE(files.files.contains("setup.dat"));
        EXPECT_EQ(files.files["setup.dat"], before);
        Loaded loaded;
        load(files, "setup.dat", MaintenanceLoad::current, loaded);
        EXPECT_EQ(GetVar(loaded.vars, "NOTES"), "first line\r\nsecond line");
    }
}

TEST(MaintenanceData, UpdateOfAMissingFileWritesNothing)
{
    MemoryFiles files;
    ASSERT_TRUE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::update, sample_model(), sample_values()));
    EXPECT_TRUE(files.files.empty());
}

TEST(MaintenanceData, UpdateOfADamagedFileWritesItInFull)
{
    MemoryFiles files;
    files.files["setup.dat"] = "Tools\r\n$\r\nTRUE\r\n"; // cut short in its lists
    ASSERT_TRUE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::update, sample_model(), sample_values()));
    Loaded loaded;
    load(files, "setup.dat", MaintenanceLoad::current, loaded);
    EXPECT_EQ(names_and_states(loaded.model), names_and_states(sample_model()));
    EXPECT_EQ(GetVar(loaded.vars, "TARGETDIR"), "C:\\Program Files\\Sample\\");
}

TEST(MaintenanceData, UpdateOfAFileCutShortInItsRunValuesKeepsThePairsInPlace)
{
    MemoryFiles files;
    files.files["setup.dat"] = "$\r\n$\r\n$\r\n$\r\n$\r\n$\r\nC:\\Target\\\r\n";
    SelectionRunValues now;
    now.saved_variables = {{"NOTES", "kept"}};
    now.platform_mode = "Win32";
    ASSERT_TRUE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::update, TComponentModel(), now));
    Loaded loaded;
    load(files, "setup.dat", MaintenanceLoad::current, loaded);
    EXPECT_EQ(GetVar(loaded.vars, "TARGETDIR"), "C:\\Target\\");
    EXPECT_EQ(GetVar(loaded.vars, "ALLUSERS"), "");
    EXPECT_EQ(GetVar(loaded.vars, "NOTES"), "kept");
}

TEST(MaintenanceData, UnknownPlatformModeIsNotApplied)
{
    MemoryFiles files;
    SelectionRunValues values = sample_values();
    values.platform_mode = "C:\\cache\\"; // what an update that copied the old last line would have written
    ASSERT_TRUE(SaveMaintenanceData(files, "setup.dat", MaintenanceSave::full, sample_model(), values));
    Loaded loaded;
    load(files, "setup.dat", MaintenanceLoad::current, loaded);
    EXPECT_EQ(loaded.platform, "Win32");
}

} // namespace
} // namespace quillon
