// The file-backed store that stands in for the web server's administration
// manager where that is not registered: the server's applicationHost.config
// read and written with MSXML. It serves the IIS 7 library only: no schema (a
// missing attribute reads as the empty text, nothing is validated), no
// inheritance between paths, and every path is kept in the one file, below the
// server level in <location> elements, whatever the commit path says.
#include "base/scope_exit.h"
#include "base/strings.h"
#include "platform/win32/com.h"
#include "iis7lib/iis7_operations.h"
#include "iis7lib/windows_store.h"

#include <msxml2.h>

#include <array>
#include <optional>

namespace quillon::iis7 {
namespace {

constexpr CLSID clsid_dom_document60 = {0x88d96a05, 0xf192, 0x11d4, {0xa6, 0x5f, 0x00, 0x40, 0x96, 0x32, 0x51, 0xe5}};

// The element names that are collection items; every other child element is a
// named child ("bindings", "limits") or a directive the library leaves alone.
constexpr std::array<std::wstring_view, 6> item_names = {L"add",     L"site",   L"application", L"virtualDirectory",
                                                         L"binding", L"mimeMap"};

bool is_item_name(std::wstring_view name)
{
    for (std::wstring_view item : item_names)
        if (item == name)
            return true;
    return false;
}

Result<std::wstring> node_name(IXMLDOMNode* node)
{
    win32::Bstr name;
    HRESULT result = node->get_nodeName(name.put());
    if (FAILED(result))
        return win32::com_error(result, "IIS configuration file: node name unreadable");
    return name.get() == nullptr ? std::wstring() : std::wstring(name.get(), SysStringLen(name.get()));
}

// The element children of a node, in document order.
Result<std::vector<win32::ComPtr<IXMLDOMElement>>> child_elements(IXMLDOMNode* parent)
{
    std::vector<win32::ComPtr<IXMLDOMElement>> elements;
    win32::ComPtr<IXMLDOMNode> node;
    HRESULT result = parent->get_firstChild(node.put());
    while (result == S_OK && node) {
        DOMNodeType type = NODE_INVALID;
        if (SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT) {
            win32::ComPtr<IXMLDOMElement> element;
            if (SUCCEEDED(node->QueryInterface(IID_IXMLDOMElement, element.put_void())))
                elements.push_back(std::move(element));
        }
        win32::ComPtr<IXMLDOMNode> next;
        result = node->get_nextSibling(next.put());
        node = std::move(next);
    }
    if (FAILED(result))
        return win32::com_error(result, "IIS configuration file: children unreadable");
    return elements;
}

Result<std::wstring> attribute_of(IXMLDOMElement* element, std::wstring_view name)
{
    win32::Variant value;
    HRESULT result = element->getAttribute(win32::Bstr(name).get(), value.put());
    if (FAILED(result))
        return win32::com_error(result, "IIS configuration file: attribute unreadable");
    if (result == S_FALSE || value.get().vt != VT_BSTR || value.get().bstrVal == nullptr)
        return std::wstring();
    return std::wstring(value.get().bstrVal, SysStringLen(value.get().bstrVal));
}

Result<void> set_attribute_of(IXMLDOMElement* element, std::wstring_view name, std::wstring_view value)
{
    HRESULT result = element->setAttribute(win32::Bstr(name).get(), win32::Variant::from_text(value).get());
    if (FAILED(result))
        return win32::com_error(result, "IIS configuration file: attribute not written");
    return {};
}

Result<win32::ComPtr<IXMLDOMElement>> new_element(IXMLDOMDocument* document, std::wstring_view name)
{
    win32::ComPtr<IXMLDOMElement> element;
    HRESULT result = document->createElement(win32::Bstr(name).get(), element.put());
    if (FAILED(result))
        return win32::com_error(result, "IIS configuration file: element not made");
    return element;
}

Result<void> append(IXMLDOMNode* parent, IXMLDOMNode* child)
{
    win32::ComPtr<IXMLDOMNode> appended;
    HRESULT result = parent->appendChild(child, appended.put());
    if (FAILED(result))
        return win32::com_error(result, "IIS configuration file: element not added");
    return {};
}

// The first child element of that name, made and appended when missing.
Result<win32::ComPtr<IXMLDOMElement>> child_element(IXMLDOMDocument* document, IXMLDOMElement* parent,
                                                    std::wstring_view name,
                                                    std::optional<std::wstring_view> location_path = std::nullopt)
{
    for (win32::ComPtr<IXMLDOMElement>& element : TRY(child_elements(parent))) {
        if (TRY(node_name(element.get())) != name)
            continue;
        if (!location_path)
            return std::move(element);
        // Location paths name sites and folders, which the server compares without regard to case.
        if (equal_nocase(win32::to_ansi(TRY(attribute_of(element.get(), L"path"))), win32::to_ansi(*location_path)))
            return std::move(element);
    }
    win32::ComPtr<IXMLDOMElement> element = TRY(new_element(document, name));
    if (location_path)
        TRY(set_attribute_of(element.get(), L"path", *location_path));
    TRY(append(parent, element.get()));
    return element;
}

class XmlElement final : public ConfigElement {
public:
    XmlElement(win32::ComPtr<IXMLDOMElement> element, IXMLDOMDocument* document)
        : m_element(std::move(element)), m_document(document)
    {
    }

    Result<std::string> name() override { return win32::to_ansi(TRY(node_name(m_element.get()))); }
    Result<std::string> attribute(std::string_view attribute_name) override
    {
        return win32::to_ansi(TRY(attribute_of(m_element.get(), win32::to_wide(attribute_name))));
    }
    Result<void> set_attribute(std::string_view attribute_name, std::string_view value) override
    {
        return set_attribute_of(m_element.get(), win32::to_wide(attribute_name), win32::to_wide(value));
    }
    Result<std::unique_ptr<ConfigElement>> child(std::string_view child_name) override
    {
        win32::ComPtr<IXMLDOMElement> element =
            TRY(child_element(m_document, m_element.get(), win32::to_wide(child_name)));
        return std::make_unique<XmlElement>(std::move(element), m_document);
    }
    Result<std::unique_ptr<ElementCollection>> collection() override;

    IXMLDOMElement* get() const noexcept { return m_element.get(); }

private:
    win32::ComPtr<IXMLDOMElement> m_element;
    IXMLDOMDocument* m_document; // owned by the manager, which outlives its elements
};

class XmlCollection final : public ElementCollection {
public:
    XmlCollection(IXMLDOMElement* owner, IXMLDOMDocument* document) : m_document(document)
    {
        owner->AddRef();
        m_owner.reset(owner);
    }

    Result<std::size_t> count() override { return TRY(items()).size(); }
    Result<std::unique_ptr<ConfigElement>> item(std::size_t index) override
    {
        std::vector<win32::ComPtr<IXMLDOMElement>> all = TRY(items());
        if (index >= all.size())
            return make_error(ErrorCode::out_of_range,
                              "IIS configuration file: no collection item " + std::to_string(index));
        return std::make_unique<XmlElement>(std::move(all[index]), m_document);
    }
    Result<std::unique_ptr<ConfigElement>> create_element(std::string_view element_name) override
    {
        std::wstring name = win32::to_wide(element_name);
        if (!is_item_name(name))
            return make_error(ErrorCode::unsupported,
                              "IIS configuration file: no collection of " + std::string(element_name));
        return std::make_unique<XmlElement>(TRY(new_element(m_document, name)), m_document);
    }
    Result<void> add(ConfigElement& element) override
    {
        auto* own = dynamic_cast<XmlElement*>(&element);
        if (own == nullptr)
            return make_error(ErrorCode::internal, "IIS configuration file: an element of another store");
        return append(m_owner.get(), own->get());
    }
    Result<void> remove(std::size_t index) override
    {
        std::vector<win32::ComPtr<IXMLDOMElement>> all = TRY(items());
        if (index >= all.size())
            return make_error(ErrorCode::out_of_range,
                              "IIS configuration file: no collection item " + std::to_string(index));
        win32::ComPtr<IXMLDOMNode> removed;
        HRESULT result = m_owner->removeChild(all[index].get(), removed.put());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration file: collection item not removed");
        return {};
    }

private:
    Result<std::vector<win32::ComPtr<IXMLDOMElement>>> items()
    {
        std::vector<win32::ComPtr<IXMLDOMElement>> all = TRY(child_elements(m_owner.get()));
        std::vector<win32::ComPtr<IXMLDOMElement>> result;
        for (win32::ComPtr<IXMLDOMElement>& element : all)
            if (is_item_name(TRY(node_name(element.get()))))
                result.push_back(std::move(element));
        return result;
    }

    win32::ComPtr<IXMLDOMElement> m_owner;
    IXMLDOMDocument* m_document;
};

Result<std::unique_ptr<ElementCollection>> XmlElement::collection()
{
    return std::make_unique<XmlCollection>(m_element.get(), m_document);
}

// "MACHINE/WEBROOT/APPHOST/Site/folder/" as the location path "Site/folder";
// empty for the server level.
Result<std::wstring> location_path(std::string_view config_path)
{
    std::string_view rest = config_path;
    if (rest.size() < apphost_path.size() || !equal_ascii_nocase(rest.substr(0, apphost_path.size()), apphost_path))
        return make_error(ErrorCode::unsupported, "IIS configuration file: no path " + std::string(config_path));
    rest.remove_prefix(apphost_path.size());
    if (!rest.empty() && rest.front() != '/')
        return make_error(ErrorCode::unsupported, "IIS configuration file: no path " + std::string(config_path));
    while (!rest.empty() && rest.front() == '/')
        rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == '/')
        rest.remove_suffix(1);
    return win32::to_wide(rest);
}

class XmlManager final : public AdminManager {
public:
    XmlManager(win32::ComPtr<IXMLDOMDocument> document, std::filesystem::path file)
        : m_document(std::move(document)), m_file(std::move(file))
    {
    }

    Result<std::unique_ptr<ConfigElement>> admin_section(std::string_view section,
                                                         std::string_view config_path) override
    {
        std::wstring location = TRY(location_path(config_path));
        win32::ComPtr<IXMLDOMElement> element;
        HRESULT result = m_document->get_documentElement(element.put());
        if (FAILED(result) || !element)
            return win32::com_error(result, "IIS configuration file: no configuration element");
        if (!location.empty())
            element = TRY(child_element(m_document.get(), element.get(), L"location", std::wstring_view(location)));
        std::wstring wide_section = win32::to_wide(section);
        std::wstring_view name_path = wide_section;
        while (!name_path.empty()) {
            std::size_t slash = name_path.find(L'/');
            std::wstring_view part = name_path.substr(0, slash);
            name_path = slash == std::wstring_view::npos ? std::wstring_view() : name_path.substr(slash + 1);
            if (part.empty())
                continue;
            element = TRY(child_element(m_document.get(), element.get(), part));
        }
        return std::make_unique<XmlElement>(std::move(element), m_document.get());
    }

    Result<void> set_commit_path(std::string_view config_path) override
    {
        TRY(location_path(config_path));
        return {};
    }

    // Written beside the file and moved over it, so that a failed write never
    // leaves the server with half a configuration.
    Result<void> commit() override
    {
        std::wstring folder = m_file.parent_path().wstring();
        wchar_t temp[MAX_PATH + 1] = {};
        if (GetTempFileNameW(folder.c_str(), L"ahc", 0, temp) == 0)
            return make_error(ErrorCode::io, "IIS configuration file: no temporary file beside it", GetLastError());
        ScopeExit remove_temp([&] { DeleteFileW(temp); });

        HRESULT result = m_document->save(win32::Variant::from_text(temp).get());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration file: not written");
        if (!MoveFileExW(temp, m_file.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return make_error(ErrorCode::io, "IIS configuration file: not replaced", GetLastError());
        remove_temp.dismiss();
        return {};
    }

private:
    win32::ComPtr<IXMLDOMDocument> m_document;
    std::filesystem::path m_file;
};

} // namespace

Result<std::unique_ptr<AdminManager>> open_file_admin_manager(const std::filesystem::path& config_file)
{
    if (GetFileAttributesW(config_file.c_str()) == INVALID_FILE_ATTRIBUTES)
        return make_error(ErrorCode::not_found, "no IIS configuration file " + win32::to_ansi(config_file.wstring()),
                          GetLastError());

    win32::ComPtr<IXMLDOMDocument> document;
    HRESULT result =
        CoCreateInstance(clsid_dom_document60, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument, document.put_void());
    if (FAILED(result))
        return win32::com_error(result, "MSXML 6 not available");
    document->put_async(VARIANT_FALSE);
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    // Keeps the file's layout for the lines the library does not touch.
    document->put_preserveWhiteSpace(VARIANT_TRUE);

    VARIANT_BOOL loaded = VARIANT_FALSE;
    result = document->load(win32::Variant::from_text(config_file.wstring()).get(), &loaded);
    if (FAILED(result) || loaded != VARIANT_TRUE) {
        std::string reason;
        win32::ComPtr<IXMLDOMParseError> parse_error;
        win32::Bstr text;
        if (SUCCEEDED(document->get_parseError(parse_error.put())) && parse_error &&
            SUCCEEDED(parse_error->get_reason(text.put())))
            reason = text.ansi();
        return make_error(ErrorCode::corrupt, "IIS configuration file unreadable: " + reason,
                          static_cast<std::uint32_t>(result));
    }
    return std::make_unique<XmlManager>(std::move(document), config_file);
}

} // namespace quillon::iis7
