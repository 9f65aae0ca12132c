// The interfaces of the IIS 7 administration manager ("ahadmin") that the
// library calls. mingw-w64 ships no header for them: they are declared here
// from the documented interface definitions, every method in its vtable
// order, so that the slots the library calls line up. Interfaces the library
// never calls (schemas, metadata, property collections) are passed as IUnknown.
#pragma once

#include <windows.h>
#include <oaidl.h>
#include <unknwn.h>

namespace quillon::iis7::ahadmin {

inline constexpr CLSID clsid_writable_admin_manager = {
    0x2b72133b, 0x3f5b, 0x4602, {0x89, 0x52, 0x80, 0x35, 0x46, 0xce, 0x33, 0x44}};
inline constexpr IID iid_writable_admin_manager = {
    0xfa7660f6, 0x7b3f, 0x4237, {0xa8, 0xbf, 0xed, 0x0a, 0xd0, 0xdc, 0xbb, 0xd9}};
inline constexpr IID iid_admin_manager = {0x9be77978, 0x73ed, 0x4a9a, {0x87, 0xfd, 0x13, 0xf0, 0x9f, 0xec, 0x1b, 0x13}};
inline constexpr IID iid_element = {0x64ff8ccc, 0xb287, 0x4dae, {0xb0, 0x8a, 0xa7, 0x2c, 0xbf, 0x45, 0xf4, 0x53}};
inline constexpr IID iid_element_collection = {
    0xc8550bff, 0x5281, 0x4b1e, {0xac, 0x34, 0x99, 0xb6, 0xfa, 0x38, 0x46, 0x4d}};
inline constexpr IID iid_property = {0xed35f7a1, 0x5024, 0x4e7b, {0xa4, 0x4d, 0x07, 0xdd, 0xaf, 0x4b, 0x52, 0x4d}};

struct IAppHostElement;
struct IAppHostProperty;

struct IAppHostElementCollection : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Count(DWORD* count) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Item(VARIANT index, IAppHostElement** element) = 0;
    virtual HRESULT STDMETHODCALLTYPE AddElement(IAppHostElement* element, INT position) = 0;
    virtual HRESULT STDMETHODCALLTYPE DeleteElement(VARIANT index) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateNewElement(BSTR element_name, IAppHostElement** element) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Schema(IUnknown** schema) = 0; // IAppHostCollectionSchema
};

struct IAppHostElement : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Collection(IAppHostElementCollection** collection) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Properties(IUnknown** properties) = 0;     // IAppHostPropertyCollection
    virtual HRESULT STDMETHODCALLTYPE get_ChildElements(IUnknown** elements) = 0;    // IAppHostChildElementCollection
    virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR metadata_type, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR metadata_type, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Schema(IUnknown** schema) = 0;             // IAppHostElementSchema
    virtual HRESULT STDMETHODCALLTYPE GetElementByName(BSTR name, IAppHostElement** element) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetPropertyByName(BSTR name, IAppHostProperty** property) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Methods(IUnknown** methods) = 0;           // IAppHostMethodCollection
};

struct IAppHostProperty : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE get_Name(BSTR* name) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Value(VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Value(VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE Clear() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_StringValue(BSTR* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Exception(IUnknown** exception) = 0;      // IAppHostPropertyException
    virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR metadata_type, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR metadata_type, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Schema(IUnknown** schema) = 0;            // IAppHostPropertySchema
};

struct IAppHostAdminManager : public IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetAdminSection(BSTR section_name, BSTR path, IAppHostElement** section) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetMetadata(BSTR metadata_type, VARIANT* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetMetadata(BSTR metadata_type, VARIANT value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ConfigManager(IUnknown** config_manager) = 0; // IAppHostConfigManager
};

struct IAppHostWritableAdminManager : public IAppHostAdminManager {
    virtual HRESULT STDMETHODCALLTYPE CommitChanges() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CommitPath(BSTR* commit_path) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_CommitPath(BSTR commit_path) = 0;
};

} // namespace quillon::iis7::ahadmin
