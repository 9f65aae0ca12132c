#include "engine/web_server_win32.h"

#include "base/scope_exit.h"
#include "iis7lib/ahadmin_wrapper_abi.h"
#include "platform/win32/com.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

#include <iads.h>

#include <cstring>
#include <vector>

namespace quillon {

namespace {

using win32::Bstr;
using win32::ComPtr;

// The anonymous account through the administration objects of IIS 6 and
// older: a site made for the question inherits the web service's account;
// it is read, and the site deleted again.
std::string adsi_anonymous_user(const std::string& host)
{
    win32::ComApartment apartment;
    if (!apartment.usable())
        return {};
    CLSID name_space_class{};
    if (FAILED(CLSIDFromProgID(L"IISNamespace", &name_space_class)))
        return {};
    ComPtr<IADsContainer> name_space;
    if (FAILED(CoCreateInstance(name_space_class, nullptr, CLSCTX_ALL, IID_IADsContainer, name_space.put_void())))
        return {};
    ComPtr<IDispatch> found;
    if (FAILED(
            name_space->GetObject(Bstr(L"IIsWebService").get(), Bstr::from_ansi(host + "/w3svc").get(), found.put())))
        return {};
    ComPtr<IADsContainer> service;
    if (FAILED(found->QueryInterface(IID_IADsContainer, service.put_void())))
        return {};

    Bstr server_class(L"IIsWebServer");
    std::int32_t index = first_free_site_index([&](std::int32_t n) {
        ComPtr<IDispatch> site;
        return SUCCEEDED(service->GetObject(server_class.get(), Bstr(std::to_wstring(n)).get(), site.put()));
    });
    if (index < 0)
        return {};
    Bstr site_name(std::to_wstring(index));
    ComPtr<IDispatch> created;
    if (FAILED(service->Create(server_class.get(), site_name.get(), created.put())))
        return {};
    ComPtr<IADs> site;
    if (FAILED(created->QueryInterface(IID_IADs, site.put_void())) || FAILED(site->SetInfo()))
        return {};
    // The site exists from here on: it goes again whatever the reading gives.
    ScopeExit remove_site([&] { service->Delete(server_class.get(), site_name.get()); });
    win32::Variant value;
    if (FAILED(site->Get(Bstr(L"AnonymousUserName").get(), value.put())))
        return {};
    win32::Variant text;
    if (FAILED(VariantChangeType(text.put(), &value.get(), 0, VT_BSTR)))
        return {};
    BSTR account = text.get().bstrVal;
    return account == nullptr ? std::string() : win32::to_ansi(std::wstring_view(account, SysStringLen(account)));
}

} // namespace

std::string WindowsWebServer::library_path(const std::string& support_folder)
{
    if (m_library.path().empty() && !support_folder.empty()) {
        Result<std::string> written = WriteIisWrapper(support_folder);
        if (!written)
            return {};
        m_library.remember(*written);
        m_library.mark_for_removal();
    }
    return m_library.path();
}

std::string WindowsWebServer::anonymous_user(const WebServerTarget& target)
{
    try {
        if (target.back_end == WebServerBackEnd::adsi)
            return adsi_anonymous_user(target.host);
        std::string path = library_path(target.support_folder);
        if (path.empty())
            return {};
        Result<win32::UniqueHmodule> library = win32::load_library_by_full_path(win32::to_wide(path));
        if (!library)
            return {};
        auto function = win32::proc<iis7::abi::GetIISAnonUserFunction>(library->get(), "GetIISAnonUser");
        if (function == nullptr)
            return {};
        std::vector<char> buffer(iis7::abi::text_buffer_size, '\0');
        if (function(buffer.data(), static_cast<int>(buffer.size())) == 0)
            return {};
        return std::string(buffer.data(), strnlen(buffer.data(), buffer.size()));
    } catch (...) {
        // Every failure of a web server question is its empty answer.
        return {};
    }
}

} // namespace quillon
