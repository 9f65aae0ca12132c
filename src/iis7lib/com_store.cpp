// The configuration store of the web server itself, through its writable
// administration manager.
#include "iis7lib/ahadmin_com.h"
#include "platform/win32/com.h"
#include "iis7lib/windows_store.h"

namespace quillon::iis7 {
namespace {

class ComElement final : public ConfigElement {
public:
    explicit ComElement(win32::ComPtr<ahadmin::IAppHostElement> element) : m_element(std::move(element)) {}

    Result<std::string> name() override
    {
        win32::Bstr text;
        HRESULT result = m_element->get_Name(text.put());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration: element name unreadable");
        return text.ansi();
    }

    Result<std::string> attribute(std::string_view attribute_name) override
    {
        win32::ComPtr<ahadmin::IAppHostProperty> property = TRY(open_property(attribute_name));
        win32::Bstr text;
        HRESULT result = property->get_StringValue(text.put());
        if (FAILED(result))
            return win32::com_error(result,
                                    "IIS configuration: attribute " + std::string(attribute_name) + " unreadable");
        return text.ansi();
    }

    Result<void> set_attribute(std::string_view attribute_name, std::string_view value) override
    {
        win32::ComPtr<ahadmin::IAppHostProperty> property = TRY(open_property(attribute_name));
        win32::Variant text = win32::Variant::from_text(win32::to_wide(value));
        HRESULT result = property->put_Value(text.get());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration refuses " + std::string(attribute_name) + "=" +
                                                std::string(value));
        return {};
    }

    Result<std::unique_ptr<ConfigElement>> child(std::string_view child_name) override
    {
        win32::ComPtr<ahadmin::IAppHostElement> element;
        HRESULT result = m_element->GetElementByName(win32::Bstr::from_ansi(child_name).get(), element.put());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration: no element " + std::string(child_name));
        return std::make_unique<ComElement>(std::move(element));
    }

    Result<std::unique_ptr<ElementCollection>> collection() override;

    ahadmin::IAppHostElement* get() const noexcept { return m_element.get(); }

private:
    Result<win32::ComPtr<ahadmin::IAppHostProperty>> open_property(std::string_view attribute_name)
    {
        win32::ComPtr<ahadmin::IAppHostProperty> property;
        HRESULT result = m_element->GetPropertyByName(win32::Bstr::from_ansi(attribute_name).get(), property.put());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration: no attribute " + std::string(attribute_name));
        return property;
    }

    win32::ComPtr<ahadmin::IAppHostElement> m_element;
};

class ComCollection final : public ElementCollection {
public:
    explicit ComCollection(win32::ComPtr<ahadmin::IAppHostElementCollection> collection)
        : m_collection(std::move(collection))
    {
    }

    Result<std::size_t> count() override
    {
        DWORD count = 0;
        HRESULT result = m_collection->get_Count(&count);
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration: collection unreadable");
        return count;
    }

    Result<std::unique_ptr<ConfigElement>> item(std::size_t index) override
    {
        win32::ComPtr<ahadmin::IAppHostElement> element;
        HRESULT result = m_collection->get_Item(win32::Variant::from_index(index).get(), element.put());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration: no collection item " + std::to_string(index));
        return std::make_unique<ComElement>(std::move(element));
    }

    Result<std::unique_ptr<ConfigElement>> create_element(std::string_view element_name) override
    {
        win32::ComPtr<ahadmin::IAppHostElement> element;
        HRESULT result = m_collection->CreateNewElement(win32::Bstr::from_ansi(element_name).get(), element.put());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration refuses a new " + std::string(element_name));
        return std::make_unique<ComElement>(std::move(element));
    }

    Result<void> add(ConfigElement& element) override
    {
        auto* own = dynamic_cast<ComElement*>(&element);
        if (own == nullptr)
            return make_error(ErrorCode::internal, "IIS configuration: an element of another store");
        HRESULT result = m_collection->AddElement(own->get(), -1);
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration refuses the new element");
        return {};
    }

    Result<void> remove(std::size_t index) override
    {
        HRESULT result = m_collection->DeleteElement(win32::Variant::from_index(index).get());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration: collection item not removed");
        return {};
    }

private:
    win32::ComPtr<ahadmin::IAppHostElementCollection> m_collection;
};

Result<std::unique_ptr<ElementCollection>> ComElement::collection()
{
    win32::ComPtr<ahadmin::IAppHostElementCollection> items;
    HRESULT result = m_element->get_Collection(items.put());
    if (FAILED(result) || !items)
        return win32::com_error(result, "IIS configuration: the element has no collection");
    return std::make_unique<ComCollection>(std::move(items));
}

class ComManager final : public AdminManager {
public:
    explicit ComManager(win32::ComPtr<ahadmin::IAppHostWritableAdminManager> manager) : m_manager(std::move(manager)) {}

    Result<std::unique_ptr<ConfigElement>> admin_section(std::string_view section,
                                                         std::string_view config_path) override
    {
        win32::ComPtr<ahadmin::IAppHostElement> element;
        HRESULT result = m_manager->GetAdminSection(win32::Bstr::from_ansi(section).get(),
                                                    win32::Bstr::from_ansi(config_path).get(), element.put());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration: no section " + std::string(section) + " at " +
                                                std::string(config_path));
        return std::make_unique<ComElement>(std::move(element));
    }

    Result<void> set_commit_path(std::string_view config_path) override
    {
        HRESULT result = m_manager->put_CommitPath(win32::Bstr::from_ansi(config_path).get());
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration refuses the commit path " + std::string(config_path));
        return {};
    }

    Result<void> commit() override
    {
        HRESULT result = m_manager->CommitChanges();
        if (FAILED(result))
            return win32::com_error(result, "IIS configuration: changes not committed");
        return {};
    }

private:
    win32::ComPtr<ahadmin::IAppHostWritableAdminManager> m_manager;
};

} // namespace

Result<std::unique_ptr<AdminManager>> open_iis_admin_manager()
{
    win32::ComPtr<ahadmin::IAppHostWritableAdminManager> manager;
    HRESULT result = CoCreateInstance(ahadmin::clsid_writable_admin_manager, nullptr, CLSCTX_INPROC_SERVER,
                                      ahadmin::iid_writable_admin_manager, manager.put_void());
    if (result == REGDB_E_CLASSNOTREG)
        return make_error(ErrorCode::not_found, "IIS administration manager not registered",
                          static_cast<std::uint32_t>(result));
    if (FAILED(result))
        return win32::com_error(result, "IIS administration manager not created");
    return std::make_unique<ComManager>(std::move(manager));
}

} // namespace quillon::iis7
