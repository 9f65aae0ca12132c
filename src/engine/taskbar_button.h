// The taskbar button of a page (ITaskbarList3, created on first use): its
// progress state and value, and the overlay icon. Every failure is ignored:
// systems without the interface show nothing.
#pragma once

#include <windows.h>

#include <cstdint>
#include <memory>
#include <string_view>

namespace quillon {

enum class TaskbarState : std::uint8_t { normal, indeterminate, error, paused, none };

class TaskbarButton {
public:
    TaskbarButton();
    TaskbarButton(const TaskbarButton&) = delete;
    TaskbarButton& operator=(const TaskbarButton&) = delete;
    ~TaskbarButton();

    void set_state(HWND window, TaskbarState state);
    void set_value(HWND window, std::uint64_t completed, std::uint64_t total);
    // The icon as overlay, with the description as its alternative text; null takes it away.
    void set_overlay(HWND window, HICON icon, std::string_view description);
    // Whether the taskbar interface exists here (creates it on first use).
    bool available();

private:
    struct List;
    List* list();

    std::unique_ptr<List> m_list;
    bool m_tried = false;
};

} // namespace quillon
