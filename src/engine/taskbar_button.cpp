#include "engine/taskbar_button.h"

#include "platform/win32/wide.h"

#include <objbase.h>
#include <shobjidl.h>

namespace quillon {

// The taskbar list; released, and COM uninitialized when this object initialized it, on the main thread.
struct TaskbarButton::List {
    ITaskbarList3* list = nullptr;
    bool com_initialized = false;

    List() = default;
    List(const List&) = delete;
    List& operator=(const List&) = delete;
    ~List()
    {
        if (list != nullptr)
            list->Release();
        if (com_initialized)
            CoUninitialize();
    }
};

TaskbarButton::TaskbarButton() = default;
TaskbarButton::~TaskbarButton() = default;

TaskbarButton::List* TaskbarButton::list()
{
    if (m_tried)
        return m_list.get();
    m_tried = true;
    auto bar = std::make_unique<List>();
    void** slot = reinterpret_cast<void**>(&bar->list);
    HRESULT result = CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, slot);
    if (result == CO_E_NOTINITIALIZED) {
        // Nobody initialized COM on the main thread: do it for the taskbar alone.
        if (SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
            bar->com_initialized = true;
            result = CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_INPROC_SERVER, IID_ITaskbarList3, slot);
        }
    }
    if (SUCCEEDED(result) && bar->list != nullptr && SUCCEEDED(bar->list->HrInit()))
        m_list = std::move(bar);
    return m_list.get();
}

bool TaskbarButton::available()
{
    return list() != nullptr;
}

void TaskbarButton::set_state(HWND window, TaskbarState state)
{
    List* bar = list();
    if (bar == nullptr || window == nullptr)
        return;
    TBPFLAG flag = TBPF_NOPROGRESS;
    switch (state) {
    case TaskbarState::normal: flag = TBPF_NORMAL; break;
    case TaskbarState::indeterminate: flag = TBPF_INDETERMINATE; break;
    case TaskbarState::error: flag = TBPF_ERROR; break;
    case TaskbarState::paused: flag = TBPF_PAUSED; break;
    case TaskbarState::none: break;
    }
    bar->list->SetProgressState(window, flag);
}

void TaskbarButton::set_value(HWND window, std::uint64_t completed, std::uint64_t total)
{
    List* bar = list();
    if (bar != nullptr && window != nullptr)
        bar->list->SetProgressValue(window, completed, total);
}

void TaskbarButton::set_overlay(HWND window, HICON icon, std::string_view description)
{
    List* bar = list();
    if (bar == nullptr || window == nullptr)
        return;
    bar->list->SetOverlayIcon(window, icon, icon != nullptr ? win32::to_wide(description).c_str() : L"");
}

} // namespace quillon
