// ahadmin_wrapper.dll as the engine calls it, under Wine: Wine has no IIS, so
// the library works on an applicationHost.config the test puts into the
// prefix's system folder, and the test reads that file back.
#include "harness/harness.h"
#include "iis7lib/ahadmin_wrapper_abi.h"
#include "platform/win32/com.h"

#include <gtest/gtest.h>
#include <msxml2.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <set>
#include <string>

namespace quillon::test {
namespace {

namespace fs = std::filesystem;
using namespace quillon::iis7;

// Only this test program touches the prefix's configuration file; the names
// are its own all the same, and everything it makes is removed again.
constexpr char site_name[] = "QuillonWrapperTestSite";
constexpr char pool_name[] = "QuillonWrapperTestPool";
constexpr CLSID clsid_dom_document60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};

constexpr char initial_config[] = R"(<?xml version="1.0" encoding="UTF-8"?>
<configuration>
    <system.applicationHost>
        <applicationPools>
            <add name="DefaultAppPool" />
        </applicationPools>
        <sites>
            <site name="Default Web Site" id="1">
                <application path="/">
                    <virtualDirectory path="/" physicalPath="%SystemDrive%\inetpub\wwwroot" />
                </application>
                <bindings>
                    <binding protocol="http" bindingInformation="*:80:" />
                </bindings>
            </site>
            <site name="Intranet" id="3">
                <application path="/">
                    <virtualDirectory path="/" physicalPath="C:\intranet" />
                </application>
            </site>
            <siteDefaults>
                <logFile directory="%SystemDrive%\inetpub\logs\LogFiles" />
            </siteDefaults>
        </sites>
    </system.applicationHost>
    <system.webServer>
        <security>
            <authentication>
                <anonymousAuthentication enabled="true" userName="IUSR" />
            </authentication>
        </security>
    </system.webServer>
</configuration>
)";

const std::set<std::string> export_names = {
    "GetIISSiteList",      "GetIISSiteIndex",     "GetIISProperty", "SetIISProperty", "CreateIISSite",
    "CreateIISSiteFolder", "DeleteIISSiteFolder", "DeleteIISSite",  "ControlIISSite", "GetIISAnonUser"};

struct Wrapper {
    win32::UniqueHmodule module;
    abi::GetIISSiteListFunction GetIISSiteList = nullptr;
    abi::GetIISSiteIndexFunction GetIISSiteIndex = nullptr;
    abi::GetIISPropertyFunction GetIISProperty = nullptr;
    abi::SetIISPropertyFunction SetIISProperty = nullptr;
    abi::CreateIISSiteFunction CreateIISSite = nullptr;
    abi::CreateIISSiteFolderFunction CreateIISSiteFolder = nullptr;
    abi::DeleteIISSiteFolderFunction DeleteIISSiteFolder = nullptr;
    abi::DeleteIISSiteFunction DeleteIISSite = nullptr;
    abi::ControlIISSiteFunction ControlIISSite = nullptr;
    abi::GetIISAnonUserFunction GetIISAnonUser = nullptr;

    bool complete() const
    {
        return GetIISSiteList && GetIISSiteIndex && GetIISProperty && SetIISProperty && CreateIISSite &&
               CreateIISSiteFolder && DeleteIISSiteFolder && DeleteIISSite && ControlIISSite && GetIISAnonUser;
    }
};

template <typename Function>
void look_up(HMODULE module, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

Wrapper load_wrapper()
{
    Wrapper wrapper;
    wrapper.module.reset(LoadLibraryW(dist_file(L"ahadmin_wrapper.dll").c_str()));
    if (!wrapper.module)
        return wrapper;
    HMODULE module = wrapper.module.get();
    look_up(module, "GetIISSiteList", wrapper.GetIISSiteList);
    look_up(module, "GetIISSiteIndex", wrapper.GetIISSiteIndex);
    look_up(module, "GetIISProperty", wrapper.GetIISProperty);
    look_up(module, "SetIISProperty", wrapper.SetIISProperty);
    look_up(module, "CreateIISSite", wrapper.CreateIISSite);
    look_up(module, "CreateIISSiteFolder", wrapper.CreateIISSiteFolder);
    look_up(module, "DeleteIISSiteFolder", wrapper.DeleteIISSiteFolder);
    look_up(module, "DeleteIISSite", wrapper.DeleteIISSite);
    look_up(module, "ControlIISSite", wrapper.ControlIISSite);
    look_up(module, "GetIISAnonUser", wrapper.GetIISAnonUser);
    return wrapper;
}

// The names in the export directory of a loaded module.
std::set<std::string> exported_names(HMODULE module)
{
    auto* base = reinterpret_cast<const std::byte*>(module);
    auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& entry = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    std::set<std::string> names;
    if (entry.VirtualAddress == 0)
        return names;
    auto* directory = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
    auto* name_offsets = reinterpret_cast<const DWORD*>(base + directory->AddressOfNames);
    for (DWORD i = 0; i < directory->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + name_offsets[i]));
    return names;
}

fs::path config_folder()
{
    wchar_t windows[MAX_PATH + 1] = {};
    GetSystemWindowsDirectoryW(windows, MAX_PATH);
    return fs::path(windows) / L"system32" / L"inetsrv" / L"config";
}

// The configuration file as XML, for XPath questions.
class ConfigReader {
public:
    explicit ConfigReader(const fs::path& file)
    {
        // MSXML 6 selects with XPath from the start.
        if (FAILED(CoCreateInstance(clsid_dom_document60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                    m_document.put_void())))
            return;
        m_document->put_async(VARIANT_FALSE);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        m_loaded = SUCCEEDED(m_document->load(win32::Variant::from_text(file.wstring()).get(), &loaded)) &&
                   loaded == VARIANT_TRUE;
    }

    bool loaded() const { return m_loaded; }

    // The text of the first node the path selects; empty when none.
    std::optional<std::string> text(const std::string& xpath) const
    {
        if (!m_loaded)
            return std::nullopt;
        win32::ComPtr<IXMLDOMNode> node;
        if (m_document->selectSingleNode(win32::Bstr::from_ansi(xpath).get(), node.put()) != S_OK || !node)
            return std::nullopt;
        win32::Bstr value;
        node->get_text(value.put());
        return value.ansi();
    }

    long count(const std::string& xpath) const
    {
        win32::ComPtr<IXMLDOMNodeList> nodes;
        long length = -1;
        if (m_loaded && SUCCEEDED(m_document->selectNodes(win32::Bstr::from_ansi(xpath).get(), nodes.put())) && nodes)
            nodes->get_length(&length);
        return length;
    }

private:
    win32::ComPtr<IXMLDOMDocument> m_document;
    bool m_loaded = false;
};

std::string site_xpath(const std::string& rest = {})
{
    return "/configuration/system.applicationHost/sites/site[@name='" + std::string(site_name) + "']" + rest;
}

std::string location_xpath(const std::string& path, const std::string& rest)
{
    return "/configuration/location[@path='" + path + "']" + rest;
}

class AhadminWrapper : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(apartment.usable());
        folder = config_folder();
        file = folder / L"applicationHost.config";
        std::error_code error;
        made_inetsrv = !fs::exists(folder.parent_path(), error);
        fs::create_directories(folder, error);
        ASSERT_FALSE(error) << error.message();
        saved = read_file_bytes(file);
        write_config(initial_config);
        library = load_wrapper();
        ASSERT_TRUE(library.module) << "LoadLibrary failed: " << GetLastError();
        ASSERT_TRUE(library.complete());
    }

    void TearDown() override
    {
        library.module.reset();
        std::error_code error;
        if (saved) {
            write_config(*saved);
        } else {
            fs::remove(file, error);
            if (made_inetsrv)
                fs::remove_all(folder.parent_path(), error);
        }
    }

    void write_config(const std::string& bytes)
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

    std::string site_list()
    {
        std::string buffer(abi::text_buffer_size, '\0');
        EXPECT_EQ(library.GetIISSiteList(buffer.data(), abi::text_buffer_size), 1);
        return buffer.c_str();
    }

    int site_index(const char* description)
    {
        int index = -7;
        EXPECT_EQ(library.GetIISSiteIndex(description, &index), 1);
        return index;
    }

    std::optional<std::string> property(int site, const char* folder_path, const char* name)
    {
        std::string buffer(abi::text_buffer_size, 'Z');
        if (library.GetIISProperty(site, folder_path, name, buffer.data(), abi::text_buffer_size) != 1) {
            EXPECT_EQ(buffer, std::string(abi::text_buffer_size, 'Z')) << "no output after a failure";
            return std::nullopt;
        }
        return std::string(buffer.c_str());
    }

    int create_test_site()
    {
        return library.CreateIISSite(site_name, "", "*", "wrapper.test", "8080", "8443", 3725, 1, 1, 0, 0, 0, 0, 250,
                                     0);
    }

    win32::ComApartment apartment;
    fs::path folder;
    fs::path file;
    bool made_inetsrv = false;
    std::optional<std::string> saved;
    Wrapper library;
};

TEST_F(AhadminWrapper, ExportsExactlyTheTenFunctions)
{
    EXPECT_EQ(exported_names(library.module.get()), export_names);
}

TEST_F(AhadminWrapper, CreatesListsAndDeletesASite)
{
    EXPECT_EQ(site_list(), "Default Web Site$NEWLINE$Intranet");
    ASSERT_EQ(create_test_site(), 1);
    EXPECT_EQ(site_list(), std::string("Default Web Site$NEWLINE$Intranet$NEWLINE$") + site_name);
    EXPECT_EQ(site_index(site_name), 2) << "the first free id between 1 and 3";
    EXPECT_EQ(site_index("No such site"), 0);

    {
        ConfigReader config(file);
        ASSERT_TRUE(config.loaded());
        EXPECT_EQ(config.text(site_xpath("/@id")), "2");
        EXPECT_EQ(config.text(site_xpath("/application[@path='/']/virtualDirectory[@path='/']/@physicalPath")),
                  "%systemdrive%\\inetpub\\wwwroot\\wrapper.test");
        EXPECT_EQ(config.text(site_xpath("/bindings/binding[@protocol='http']/@bindingInformation")),
                  "*:8080:wrapper.test");
        EXPECT_EQ(config.text(site_xpath("/bindings/binding[@protocol='https']/@bindingInformation")),
                  "*:8443:wrapper.test");
        EXPECT_EQ(config.text(site_xpath("/limits/@connectionTimeout")), "01:02:05");
        EXPECT_EQ(config.text(site_xpath("/limits/@maxConnections")), "250");
        EXPECT_EQ(config.text(site_xpath("/logFile/@enabled")), "true");
        EXPECT_EQ(config.text(location_xpath(site_name, "/system.webServer/httpProtocol/@allowKeepAlive")), "true");
        EXPECT_EQ(config.text(location_xpath(site_name, "/system.webServer/httpLogging/@selectiveLogging")),
                  "LogSuccessful");
        // What the library does not touch stays as it was.
        EXPECT_EQ(config.text("/configuration/system.applicationHost/sites/siteDefaults/logFile/@directory"),
                  "%SystemDrive%\\inetpub\\logs\\LogFiles");
        EXPECT_EQ(config.count("/configuration/system.applicationHost/sites/site"), 3);
    }

    // A second call for the same index updates the site instead of adding one.
    ASSERT_EQ(
        library.CreateIISSite(site_name, "2", "10.0.0.5", "wrapper.test", "81", "444", 60, 0, 0, 0, 0, 1, 0, 0, 0), 1);
    {
        ConfigReader config(file);
        EXPECT_EQ(config.count(site_xpath("/bindings/binding")), 2);
        EXPECT_EQ(config.text(site_xpath("/bindings/binding[@protocol='http']/@bindingInformation")),
                  "10.0.0.5:81:wrapper.test");
        EXPECT_EQ(config.text(site_xpath("/limits/@maxConnections")), "-1");
        EXPECT_EQ(config.text(site_xpath("/limits/@connectionTimeout")), "00:01:00");
        EXPECT_EQ(config.text(location_xpath(site_name, "/system.webServer/httpLogging/@dontLog")), "true");
        EXPECT_EQ(config.count("/configuration/location[@path='" + std::string(site_name) + "']"), 1);
    }

    ASSERT_EQ(library.DeleteIISSite(2), 1);
    EXPECT_EQ(site_list(), "Default Web Site$NEWLINE$Intranet");
    EXPECT_EQ(library.DeleteIISSite(2), 1) << "no such site: nothing to do";

    // Every commit replaced the file through a temporary file beside it.
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 1u);
}

TEST_F(AhadminWrapper, ApplicationSettingsOfASiteAndAFolder)
{
    ASSERT_EQ(create_test_site(), 1);
    EXPECT_EQ(property(2, "", "Greeting"), std::nullopt);
    ASSERT_EQ(library.SetIISProperty(2, "", "Greeting", "hello"), 1);
    ASSERT_EQ(library.SetIISProperty(2, "", "Greeting", "good bye"), 1);
    ASSERT_EQ(library.SetIISProperty(2, "shop/cart", "Greeting", "folder"), 1);
    EXPECT_EQ(property(2, "", "Greeting"), "good bye");
    EXPECT_EQ(property(2, "shop/cart", "Greeting"), "folder");
    EXPECT_EQ(property(9, "", "Greeting"), std::nullopt) << "no site 9";
    EXPECT_EQ(library.SetIISProperty(9, "", "Greeting", "x"), 0);

    ConfigReader config(file);
    EXPECT_EQ(config.count(location_xpath(site_name, "/appSettings/add")), 1);
    EXPECT_EQ(config.text(location_xpath(std::string(site_name) + "/shop/cart", "/appSettings/add/@value")), "folder");
}

TEST_F(AhadminWrapper, CreatesAndDeletesFolders)
{
    ASSERT_EQ(create_test_site(), 1);
    ASSERT_EQ(library.CreateIISSiteFolder("docs", 2, "C:\\content\\docs", 1, 1, 0, 1, 0, 0, 0, 1, 1,
                                          "index.htm,default.htm", "", 1, 0, 1, "xyz=text/plain,abc", ""),
              1);
    ASSERT_EQ(library.CreateIISSiteFolder("api", 2, "C:\\content\\api", 0, 1, 0, 0, 1, 0, 2, 2, 0, "", "footer.htm", 1,
                                          1, 0, "", pool_name),
              1);
    {
        ConfigReader config(file);
        ASSERT_TRUE(config.loaded());
        EXPECT_EQ(config.text(site_xpath("/application[@path='/']/virtualDirectory[@path='/docs']/@physicalPath")),
                  "C:\\content\\docs");
        EXPECT_EQ(config.count(site_xpath("/application")), 2) << "isolation 0 adds no application";
        EXPECT_EQ(config.text(site_xpath("/application[@path='/api']/@applicationPool")), pool_name);
        EXPECT_EQ(config.text(site_xpath("/application[@path='/api']/virtualDirectory[@path='/']/@physicalPath")),
                  "C:\\content\\api");
        EXPECT_EQ(config.text("/configuration/system.applicationHost/applicationPools/add[@name='" +
                              std::string(pool_name) + "']/@autoStart"),
                  "true");

        std::string docs = std::string(site_name) + "/docs";
        EXPECT_EQ(config.text(location_xpath(docs, "/system.webServer/handlers/@accessPolicy")),
                  "Source, Read, Script");
        EXPECT_EQ(config.text(location_xpath(docs, "/system.webServer/directoryBrowse/@enabled")), "true");
        EXPECT_EQ(config.count(location_xpath(docs, "/system.webServer/defaultDocument/files/add")), 2);
        EXPECT_EQ(config.text(location_xpath(docs, "/system.webServer/defaultDocument/files/add[2]/@value")),
                  "default.htm");
        EXPECT_EQ(config.text(location_xpath(docs, "/system.webServer/staticContent/mimeMap[2]/@fileExtension")),
                  "abc");
        EXPECT_EQ(config.text(location_xpath(docs, "/system.webServer/staticContent/@enableDocFooter")), "false");
        EXPECT_EQ(
            config.text(location_xpath(docs, "/system.webServer/security/authentication/basicAuthentication/@enabled")),
            "true");

        std::string api = std::string(site_name) + "/api";
        EXPECT_EQ(config.text(location_xpath(api, "/system.webServer/handlers/@accessPolicy")),
                  "Read, Script, Execute");
        EXPECT_EQ(config.text(location_xpath(api, "/system.webServer/staticContent/@defaultDocFooter")), "footer.htm");
    }

    ASSERT_EQ(library.DeleteIISSiteFolder(2, "docs"), 1);
    ASSERT_EQ(library.DeleteIISSiteFolder(2, "api"), 1);
    ASSERT_EQ(library.DeleteIISSiteFolder(2, "never made"), 1);
    EXPECT_EQ(library.DeleteIISSiteFolder(9, "docs"), 0) << "no site 9";
    ConfigReader config(file);
    EXPECT_EQ(config.count(site_xpath("/application")), 1);
    EXPECT_EQ(config.count(site_xpath("/application/virtualDirectory")), 1);
}

TEST_F(AhadminWrapper, ControlNeedsTheCommandLineTool)
{
    ASSERT_EQ(create_test_site(), 1);
    // No appcmd.exe under Wine: every code that runs it fails, one that runs nothing succeeds.
    EXPECT_EQ(library.ControlIISSite(2, 0), 0);
    EXPECT_EQ(library.ControlIISSite(2, 1), 0);
    EXPECT_EQ(library.ControlIISSite(2, -1), 1);
    EXPECT_EQ(library.ControlIISSite(9, -1), 0) << "no site 9";
}

TEST_F(AhadminWrapper, TextAnswersAreCutToFitTheBuffer)
{
    char small[5] = {'x', 'x', 'x', 'x', 'x'};
    ASSERT_EQ(library.GetIISSiteList(small, sizeof small), 1);
    EXPECT_STREQ(small, "Defa");
    EXPECT_EQ(library.GetIISSiteList(nullptr, 100), 0);
    EXPECT_EQ(library.GetIISSiteList(small, 0), 0);

    char user[64] = {};
    ASSERT_EQ(library.GetIISAnonUser(user, sizeof user), 1);
    EXPECT_STREQ(user, "IUSR");
}

TEST_F(AhadminWrapper, WithoutTheConfigurationFileEveryCallFails)
{
    fs::remove(file);
    char buffer[64] = "untouched";
    EXPECT_EQ(library.GetIISSiteList(buffer, sizeof buffer), 0);
    EXPECT_STREQ(buffer, "untouched");
    int index = -7;
    EXPECT_EQ(library.GetIISSiteIndex("Default Web Site", &index), 0);
    EXPECT_EQ(index, -7);
    EXPECT_EQ(create_test_site(), 0);
    EXPECT_FALSE(fs::exists(file)) << "the library makes no configuration of its own";
}

} // namespace
} // namespace quillon::test
