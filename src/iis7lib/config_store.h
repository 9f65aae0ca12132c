// The web server's configuration store as the IIS 7 library sees it: the shape
// of the writable administration manager (sections by name and configuration
// path, elements with text attributes, child elements and one collection each),
// reduced to what the library uses. Texts are 8-bit ANSI; a backend converts
// them where it talks to the store.
#pragma once

#include "base/error.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace quillon::iis7 {

class ElementCollection;

class ConfigElement {
public:
    virtual ~ConfigElement() = default;

    // The element's own name ("site", "add", "binding").
    virtual Result<std::string> name() = 0;
    // An attribute as text; a backend without a schema gives the empty text
    // for an attribute the element does not carry.
    virtual Result<std::string> attribute(std::string_view name) = 0;
    virtual Result<void> set_attribute(std::string_view name, std::string_view value) = 0;
    // The child element of that name ("bindings", "limits").
    virtual Result<std::unique_ptr<ConfigElement>> child(std::string_view name) = 0;
    // The items of the element's collection ("site" items of the sites section).
    virtual Result<std::unique_ptr<ElementCollection>> collection() = 0;
};

class ElementCollection {
public:
    virtual ~ElementCollection() = default;

    virtual Result<std::size_t> count() = 0;
    virtual Result<std::unique_ptr<ConfigElement>> item(std::size_t index) = 0;
    // A new item, not yet part of the collection: fill it, then add it.
    virtual Result<std::unique_ptr<ConfigElement>> create_element(std::string_view name) = 0;
    // Appends an element made by create_element of this collection.
    virtual Result<void> add(ConfigElement& element) = 0;
    virtual Result<void> remove(std::size_t index) = 0;
};

// One administration manager: its changes are kept until commit and lost
// when it is dropped without one.
class AdminManager {
public:
    virtual ~AdminManager() = default;

    virtual Result<std::unique_ptr<ConfigElement>> admin_section(std::string_view section,
                                                                 std::string_view config_path) = 0;
    // Where the changes are written; by default the server level.
    virtual Result<void> set_commit_path(std::string_view config_path) = 0;
    virtual Result<void> commit() = 0;
};

// Opens a new manager on the current state of the store.
class ConfigStore {
public:
    virtual ~ConfigStore() = default;

    virtual Result<std::unique_ptr<AdminManager>> open() = 0;
};

// The web server's command-line tool (appcmd): runs it with the arguments
// and gives what it wrote.
class CommandTool {
public:
    virtual ~CommandTool() = default;

    virtual Result<std::string> run(std::string_view arguments) = 0;
};

} // namespace quillon::iis7
