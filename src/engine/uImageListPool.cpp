#include "engine/uImageListPool.h"

#include "platform/win32/system_functions.h"
#include "platform/win32/system_library.h"
#include "platform/win32/wide.h"

#include <objbase.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillon {

namespace {

constexpr wchar_t pool_class[] = L"TImageListPool";
constexpr UINT tray_icon_id = 1;
constexpr UINT first_command_id = 0x5101;

// The names the form gives its parts, in one place.
constexpr std::array<std::string_view, pool_timer_count> timer_names = {
    "thzTimer", "thyTimer", "thxTimer", "traxTimer", "tdemTimer", "traTimer", "tfafTimer", "plugTimer", "Win7Timer",
};

struct PopupItem {
    FeatureMenuAction action;
    std::string_view name;
    std::string_view caption; // English; replaced by the message line when there is one
    std::optional<MessageLine> message_line; // none: the caption is not localized
    int image;                // in ImageList
    bool visible;
    bool separator_before;
};

constexpr PopupItem popup_items[] = {
    {FeatureMenuAction::install_node, "InstallComponentOnly1", "Will be &installed on local hard drive", MessageLine::install_node, 4, true,
     false},
    {FeatureMenuAction::install_feature, "InstallComponentwithSubComponents1",
     "&Entire feature will be installed on local hard drive", MessageLine::install_feature, 5, true, false},
    {FeatureMenuAction::unavailable, "Entirefeaturewillbeunavailable1", "Entire feature will be &unavailable", MessageLine::feature_unavailable, 2,
     true, true},
    {FeatureMenuAction::node_only_off, "DoNotInstallComponentOnly1", "Do Not Install Component &Only", std::nullopt, 2, false,
     false},
    {FeatureMenuAction::node_and_children_off, "DoNotInstallComponentorSubComponents1",
     "Do &Not Install Component or Sub Components", std::nullopt, 3, false, false},
};

const PopupItem* find_item(FeatureMenuAction action)
{
    for (const PopupItem& item : popup_items) {
        if (item.action == action)
            return &item;
    }
    return nullptr;
}

// The pictures are drawn by code: a small canvas of premultiplied 0xAARRGGBB
// pixels, transparent where nothing is drawn.
constexpr std::uint32_t drive_body = 0xFFA8AEB8;
constexpr std::uint32_t drive_edge = 0xFF4B5563;
constexpr std::uint32_t led_green = 0xFF16A34A;
constexpr std::uint32_t cross_red = 0xFFDC2626;
constexpr std::uint32_t overlay_blue = 0xFF2563EB;
constexpr std::uint32_t white = 0xFFFFFFFF;
constexpr std::uint32_t black = 0xFF000000;
constexpr std::uint32_t off_grey = 0xFF9CA3AF;

struct Canvas {
    int width;
    int height;
    std::vector<std::uint32_t> pixels;

    Canvas(int w, int h, std::uint32_t background = 0)
        : width(w), height(h), pixels(static_cast<std::size_t>(w * h), background)
    {
    }

    void put(int x, int y, std::uint32_t colour)
    {
        if (x >= 0 && y >= 0 && x < width && y < height)
            pixels[static_cast<std::size_t>(y * width + x)] = colour;
    }
    void fill(int left, int top, int right, int bottom, std::uint32_t colour)
    {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                put(x, y, colour);
    }
    void frame(int left, int top, int right, int bottom, std::uint32_t colour)
    {
        fill(left, top, right, top + 1, colour);
        fill(left, bottom - 1, right, bottom, colour);
        fill(left, top, left + 1, bottom, colour);
        fill(right - 1, top, right, bottom, colour);
    }
    // A line of the given half thickness: every pixel centre near enough to the segment.
    void line(double x0, double y0, double x1, double y1, double half, std::uint32_t colour)
    {
        double dx = x1 - x0;
        double dy = y1 - y0;
        double length2 = dx * dx + dy * dy;
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                double px = x + 0.5 - x0;
                double py = y + 0.5 - y0;
                double t = length2 > 0 ? std::clamp((px * dx + py * dy) / length2, 0.0, 1.0) : 0.0;
                double ex = px - t * dx;
                double ey = py - t * dy;
                if (ex * ex + ey * ey <= half * half)
                    put(x, y, colour);
            }
        }
    }
    void disc(double cx, double cy, double radius, std::uint32_t colour) { line(cx, cy, cx, cy, radius, colour); }

    // Glyphs in a square cell of `size` pixels at (left, top).
    void drive(int left, int top, int size)
    {
        int unit = std::max(1, size / 16);
        fill(left + unit, top + size * 5 / 16, left + size - unit, top + size * 12 / 16, drive_body);
        frame(left + unit, top + size * 5 / 16, left + size - unit, top + size * 12 / 16, drive_edge);
        fill(left + size * 10 / 16, top + size * 8 / 16, left + size * 13 / 16, top + size * 10 / 16, led_green);
    }
    void cross(int left, int top, int size)
    {
        double half = size / 10.0;
        double from = size * 3.0 / 16;
        double to = size * 13.0 / 16;
        line(left + from, top + from, left + to, top + to, half, cross_red);
        line(left + to, top + from, left + from, top + to, half, cross_red);
    }
    void arrow_down(int left, int top, int size)
    {
        for (int row = 0; row < size / 2; ++row)
            fill(left + row, top + size / 4 + row, left + size - row, top + size / 4 + row + 1, black);
    }
};

// ImageList: 0 not selected, 1 selected (tree); 2 unavailable, 3 component and
// sub-components off, 4 installed here, 5 whole feature installed (menu).
Canvas tree_image(int index)
{
    Canvas canvas(32, 16);
    switch (index) {
    case 0:
        canvas.cross(0, 0, 16);
        break;
    case 1:
    case 4:
        canvas.drive(0, 0, 16);
        if (index == 4)
            canvas.arrow_down(20, 4, 8);
        break;
    case 2:
    case 3:
        canvas.drive(0, 0, 16);
        canvas.cross(0, 0, 16);
        if (index == 3)
            canvas.cross(18, 3, 12);
        break;
    default:
        canvas.drive(0, 0, 16);
        canvas.drive(18, 3, 12);
        break;
    }
    return canvas;
}
constexpr int tree_image_count = 6;

Result<HBITMAP> make_dib(const Canvas& canvas)
{
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = canvas.width;
    info.bmiHeader.biHeight = -canvas.height; // top-down, as the canvas
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (bitmap == nullptr || bits == nullptr)
        return make_error(ErrorCode::win32, "Cannot create a bitmap", GetLastError());
    std::memcpy(bits, canvas.pixels.data(), canvas.pixels.size() * sizeof(std::uint32_t));
    GdiFlush();
    return bitmap;
}

// A monochrome mask, 1 where the canvas is transparent; rows padded to 16 bits.
Result<HBITMAP> make_mask(const Canvas& canvas)
{
    int stride = (canvas.width + 15) / 16 * 2;
    std::vector<std::uint8_t> bits(static_cast<std::size_t>(stride * canvas.height), 0);
    for (int y = 0; y < canvas.height; ++y) {
        for (int x = 0; x < canvas.width; ++x) {
            if ((canvas.pixels[static_cast<std::size_t>(y * canvas.width + x)] >> 24) == 0)
                bits[static_cast<std::size_t>(y * stride + x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
        }
    }
    HBITMAP mask = CreateBitmap(canvas.width, canvas.height, 1, 1, bits.data());
    if (mask == nullptr)
        return make_error(ErrorCode::win32, "Cannot create a bitmap", GetLastError());
    return mask;
}

// Colour and mask, so that the list draws transparently with either version of the common controls.
Result<void> add_image(HIMAGELIST list, const Canvas& canvas)
{
    win32::UniqueBitmap colour(TRY(make_dib(canvas)));
    win32::UniqueBitmap mask(TRY(make_mask(canvas)));
    int added = win32::image_list_add(list, colour.get(), mask.get());
    if (added < 0)
        return make_error(ErrorCode::win32, "Cannot add an image to an image list", GetLastError());
    return {};
}

// The program's first icon, else the standard application icon. Icons from
// LoadIcon are shared and never destroyed.
HICON application_icon()
{
    HMODULE module = GetModuleHandleW(nullptr);
    struct Found {
        bool any = false;
        std::wstring name;
        WORD id = 0;
    } found;
    EnumResourceNamesW(
        module, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) -> BOOL {
            auto* f = reinterpret_cast<Found*>(param);
            f->any = true;
            if (IS_INTRESOURCE(name))
                f->id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
            else
                f->name = name;
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&found));
    HICON icon = nullptr;
    if (found.any)
        icon = LoadIconW(module, found.name.empty() ? MAKEINTRESOURCEW(found.id) : found.name.c_str());
    return icon != nullptr ? icon : LoadIconW(nullptr, IDI_APPLICATION);
}

template <std::size_t N>
void copy_truncated(wchar_t (&target)[N], std::wstring_view text)
{
    std::size_t count = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), count, target);
    target[count] = L'\0';
}

// An elevated engine must still hear from the lower-integrity shell. The call
// exists from Windows 7 on, so it is looked up at run time.
void allow_message_from_shell(HWND window, UINT message)
{
    using Filter = BOOL(WINAPI*)(HWND, UINT, DWORD, PCHANGEFILTERSTRUCT);
    auto filter = win32::proc<Filter>(GetModuleHandleW(L"user32.dll"), "ChangeWindowMessageFilterEx");
    if (filter != nullptr)
        filter(window, message, MSGFLT_ALLOW, nullptr);
}

} // namespace

// The taskbar list; released, and COM uninitialized when this object initialized it, on the main thread.
struct TImageListPool::Taskbar {
    ITaskbarList3* list = nullptr;
    bool com_initialized = false;

    Taskbar() = default;
    Taskbar(const Taskbar&) = delete;
    Taskbar& operator=(const Taskbar&) = delete;
    ~Taskbar()
    {
        if (list != nullptr)
            list->Release();
        if (com_initialized)
            CoUninitialize();
    }
};

TImageListPool::TImageListPool()
{
    m_timers[static_cast<std::size_t>(PoolTimer::win7)].interval = 0; // set from the balloon's time-out
}

Result<std::unique_ptr<TImageListPool>> TImageListPool::Create(const EngineMessages* messages)
{
    std::unique_ptr<TImageListPool> pool(new TImageListPool());
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW window_class{};
    window_class.lpfnWndProc = window_proc;
    window_class.hInstance = instance;
    window_class.lpszClassName = pool_class;
    if (RegisterClassW(&window_class) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return make_error(ErrorCode::win32, "Cannot register the window class TImageListPool", GetLastError());
    // A top-level window, not a message-only one: only top-level windows hear
    // the shell's "TaskbarCreated" broadcast.
    HWND window = CreateWindowExW(WS_EX_TOOLWINDOW, pool_class, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance,
                                  pool.get());
    if (window == nullptr)
        return make_error(ErrorCode::win32, "Cannot create the window TImageListPool", GetLastError());
    pool->m_window.reset(window);

    pool->m_taskbar_created = RegisterWindowMessageW(L"TaskbarCreated");
    if (pool->m_taskbar_created != 0)
        allow_message_from_shell(window, pool->m_taskbar_created);
    allow_message_from_shell(window, tray_callback_message);
    pool->m_tray_icon = application_icon();

    TRY(pool->create_images());
    TRY(pool->create_menus(messages));
    return pool;
}

TImageListPool::~TImageListPool()
{
    if (!m_window)
        return;
    // Whatever the window still receives while it goes away is not ours to handle.
    SetWindowLongPtrW(m_window.get(), GWLP_USERDATA, 0);
    for (Timer& timer : m_timers)
        stop(timer);
    if (m_tray_shown)
        notify_tray(NIM_DELETE, 0);
}

Result<void> TImageListPool::create_images()
{
    m_image_list.reset(win32::image_list_create(32, 16, ILC_COLOR32 | ILC_MASK, tree_image_count, 0));
    if (!m_image_list)
        return make_error(ErrorCode::win32, "Cannot create the image list ImageList", GetLastError());
    for (int index = 0; index < tree_image_count; ++index) {
        Canvas image = tree_image(index);
        TRY(add_image(m_image_list.get(), image));
        m_menu_bitmaps[static_cast<std::size_t>(index)].reset(TRY(make_dib(image)));
    }

    m_image_list7.reset(win32::image_list_create(32, 32, ILC_COLOR32 | ILC_MASK, 1, 0));
    if (!m_image_list7)
        return make_error(ErrorCode::win32, "Cannot create the image list ImageList7", GetLastError());
    Canvas overlay(32, 32);
    overlay.disc(16, 16, 15, overlay_blue);
    overlay.disc(16, 16, 6, white);
    TRY(add_image(m_image_list7.get(), overlay));
    // The taskbar copies the icon it is given, so one icon serves every call.
    m_overlay_icon.reset(win32::image_list_get_icon(m_image_list7.get(), 0, ILD_NORMAL));

    // Opaque on the dialog colour: static controls ignore transparency.
    std::uint32_t face = 0xFF000000 | GetSysColor(COLOR_BTNFACE);
    face = (face & 0xFF00FF00) | ((face & 0xFF) << 16) | ((face >> 16) & 0xFF); // COLORREF is 0x00BBGGRR
    Canvas image(32, 32, face);
    image.drive(0, 0, 32);
    Canvas off(32, 32, face);
    off.disc(16, 16, 12, off_grey);
    Canvas on(32, 32, face);
    on.disc(16, 16, 12, led_green);
    m_pictures[static_cast<std::size_t>(PoolPicture::image)].reset(TRY(make_dib(image)));
    m_pictures[static_cast<std::size_t>(PoolPicture::image7_off)].reset(TRY(make_dib(off)));
    m_pictures[static_cast<std::size_t>(PoolPicture::image7_on)].reset(TRY(make_dib(on)));
    return {};
}

Result<void> TImageListPool::create_menus(const EngineMessages* messages)
{
    m_popup.reset(CreatePopupMenu());
    m_hidden.reset(CreatePopupMenu());
    if (!m_popup || !m_hidden)
        return make_error(ErrorCode::win32, "Cannot create the menu Popup", GetLastError());
    for (const PopupItem& item : popup_items) {
        HMENU menu = item.visible ? m_popup.get() : m_hidden.get();
        if (item.separator_before) {
            MENUITEMINFOW separator{};
            separator.cbSize = sizeof separator;
            separator.fMask = MIIM_FTYPE;
            separator.fType = MFT_SEPARATOR;
            InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &separator);
        }
        std::string caption(item.caption);
        // An empty localized text would leave a blank item: keep the English one then.
        if (messages != nullptr && item.message_line && !messages->text(*item.message_line).empty())
            caption = messages->text(*item.message_line);
        std::wstring wide = win32::to_wide(caption);
        MENUITEMINFOW info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_BITMAP;
        info.fType = MFT_STRING;
        info.wID = command_id(item.action);
        info.dwTypeData = wide.data();
        info.hbmpItem = m_menu_bitmaps[static_cast<std::size_t>(item.image)].get();
        if (!InsertMenuItemW(menu, static_cast<UINT>(GetMenuItemCount(menu)), TRUE, &info))
            return make_error(ErrorCode::win32, "Cannot add the menu item " + std::string(item.name), GetLastError());
    }
    return {};
}

LRESULT CALLBACK TImageListPool::window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) noexcept
{
    try {
        if (message == WM_NCCREATE) {
            auto* create = reinterpret_cast<CREATESTRUCTW*>(lparam);
            SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        }
        auto* pool = reinterpret_cast<TImageListPool*>(GetWindowLongPtrW(window, GWLP_USERDATA));
        if (pool != nullptr) {
            if (std::optional<LRESULT> result = pool->handle(message, wparam, lparam))
                return *result;
        }
    } catch (...) {
        // A callback that throws loses only its own work; the message loop goes on.
        return 0;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

std::optional<LRESULT> TImageListPool::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_TIMER:
        fire(wparam);
        return 0;
    case tray_callback_message: {
        // The classic notification: lparam is the mouse message itself.
        auto mouse = static_cast<UINT>(lparam);
        if (mouse == WM_LBUTTONUP || mouse == WM_LBUTTONDBLCLK)
            restore_from_tray();
        return 0;
    }
    case WM_CLOSE:
        // The form lives as long as the engine; a close request (a task manager's) does not end it.
        return 0;
    case WM_DESTROY:
        // Destroyed from outside (the thread ends): the handle must not be destroyed twice.
        SetWindowLongPtrW(m_window.get(), GWLP_USERDATA, 0);
        m_window.release();
        return 0;
    default:
        break;
    }
    if (m_taskbar_created != 0 && message == m_taskbar_created) {
        // Explorer restarted and forgot the icons.
        if (m_tray_shown)
            notify_tray(NIM_ADD, NIF_ICON | NIF_TIP | NIF_MESSAGE);
        return 0;
    }
    return std::nullopt;
}

std::string_view TImageListPool::timer_name(PoolTimer timer)
{
    return timer_names[static_cast<std::size_t>(timer)];
}

void TImageListPool::start(Timer& timer)
{
    stop(timer);
    if (timer.interval == 0 || !m_window)
        return;
    // A fresh id per start: a tick of an earlier start that is still queued can
    // never be taken for this one.
    UINT_PTR id = m_next_timer_id++;
    UINT interval = std::min<std::uint32_t>(timer.interval, USER_TIMER_MAXIMUM);
    if (SetTimer(m_window.get(), id, interval, nullptr) != 0)
        timer.id = id;
}

void TImageListPool::stop(Timer& timer)
{
    if (timer.id != 0 && m_window)
        KillTimer(m_window.get(), timer.id);
    timer.id = 0;
}

void TImageListPool::fire(WPARAM id)
{
    for (Timer& timer : m_timers) {
        if (timer.armed && timer.id != 0 && timer.id == id) {
            stop(timer);
            timer.armed = false;
            // Moved out first: the callback may arm this timer again with a new one.
            std::function<void()> tick = std::move(timer.on_tick);
            timer.on_tick = nullptr;
            if (tick)
                tick();
            return;
        }
    }
    // A tick that was already queued when its timer was stopped or restarted.
    if (m_window)
        KillTimer(m_window.get(), id);
}

void TImageListPool::arm(PoolTimer which, std::function<void()> on_tick)
{
    Timer& timer = m_timers[static_cast<std::size_t>(which)];
    timer.on_tick = std::move(on_tick);
    timer.armed = true;
    start(timer);
}

void TImageListPool::disarm(PoolTimer which)
{
    Timer& timer = m_timers[static_cast<std::size_t>(which)];
    stop(timer);
    timer.armed = false;
    timer.on_tick = nullptr;
}

bool TImageListPool::armed(PoolTimer which) const
{
    return m_timers[static_cast<std::size_t>(which)].armed;
}

void TImageListPool::set_interval(PoolTimer which, std::uint32_t milliseconds)
{
    Timer& timer = m_timers[static_cast<std::size_t>(which)];
    timer.interval = milliseconds;
    if (timer.armed)
        start(timer);
}

std::uint32_t TImageListPool::interval(PoolTimer which) const
{
    return m_timers[static_cast<std::size_t>(which)].interval;
}

bool TImageListPool::notify_tray(DWORD operation, DWORD flags, std::wstring_view title, std::wstring_view text,
                                 DWORD info_flags, UINT timeout)
{
    if (!m_window)
        return false;
    NOTIFYICONDATAW data{};
    // The XP layout: every later shell accepts it, and it carries balloons.
    data.cbSize = NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = m_window.get();
    data.uID = tray_icon_id;
    data.uFlags = flags;
    data.uCallbackMessage = tray_callback_message;
    data.hIcon = m_tray_icon;
    copy_truncated(data.szTip, m_tray_tip);
    copy_truncated(data.szInfoTitle, title);
    copy_truncated(data.szInfo, text);
    data.dwInfoFlags = info_flags;
    data.uTimeout = timeout; // honoured up to Windows XP; later systems take the accessibility setting
    return Shell_NotifyIconW(operation, &data) != FALSE;
}

bool TImageListPool::add_tray_icon(std::string_view tip)
{
    m_tray_tip = win32::to_wide(tip);
    constexpr DWORD flags = NIF_ICON | NIF_TIP | NIF_MESSAGE;
    // Modify first; an icon lost with a restarted Explorer is added again.
    if (m_tray_shown && notify_tray(NIM_MODIFY, flags))
        return true;
    m_tray_shown = notify_tray(NIM_ADD, flags);
    return m_tray_shown;
}

bool TImageListPool::remove_tray_icon()
{
    if (!m_tray_shown)
        return true;
    m_tray_shown = false;
    return notify_tray(NIM_DELETE, 0);
}

bool TImageListPool::tray_balloon(std::string_view title, std::string_view text, BalloonIcon icon,
                                  std::uint32_t timeout_ms)
{
    if (!m_tray_shown)
        return false;
    DWORD info_flags = NIIF_NONE;
    switch (icon) {
    case BalloonIcon::none:
        break;
    case BalloonIcon::info:
        info_flags = NIIF_INFO;
        break;
    case BalloonIcon::warning:
        info_flags = NIIF_WARNING;
        break;
    case BalloonIcon::error:
        info_flags = NIIF_ERROR;
        break;
    }
    return notify_tray(NIM_MODIFY, NIF_INFO, win32::to_wide(title), win32::to_wide(text), info_flags, timeout_ms);
}

void TImageListPool::set_restore_target(std::function<HWND()> current_window, std::function<void()> first_show,
                                        std::function<void()> restored)
{
    m_current_window = std::move(current_window);
    m_first_show = std::move(first_show);
    m_restored = std::move(restored);
}

void TImageListPool::restore_from_tray()
{
    if (m_first_show)
        m_first_show();
    HWND target = m_current_window ? m_current_window() : nullptr;
    if (target != nullptr && IsWindow(target)) {
        ShowWindow(target, SW_SHOW);
        BringWindowToTop(target);
        // Through the window's own system command, so that its handler sees the restore.
        if (IsIconic(target))
            SendMessageW(target, WM_SYSCOMMAND, SC_RESTORE, 0);
        SetForegroundWindow(target);
    }
    if (m_restored)
        m_restored();
}

TImageListPool::Taskbar* TImageListPool::taskbar()
{
    if (m_taskbar_tried)
        return m_taskbar.get();
    m_taskbar_tried = true;
    auto bar = std::make_unique<Taskbar>();
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
        m_taskbar = std::move(bar);
    return m_taskbar.get();
}

bool TImageListPool::taskbar_available()
{
    return taskbar() != nullptr;
}

void TImageListPool::set_taskbar_state(HWND window, TaskbarState state)
{
    Taskbar* bar = taskbar();
    if (bar == nullptr || window == nullptr)
        return;
    TBPFLAG flag = TBPF_NOPROGRESS;
    switch (state) {
    case TaskbarState::normal:
        flag = TBPF_NORMAL;
        break;
    case TaskbarState::indeterminate:
        flag = TBPF_INDETERMINATE;
        break;
    case TaskbarState::error:
        flag = TBPF_ERROR;
        break;
    case TaskbarState::paused:
        flag = TBPF_PAUSED;
        break;
    case TaskbarState::none:
        break;
    }
    bar->list->SetProgressState(window, flag);
}

void TImageListPool::set_taskbar_value(HWND window, std::uint64_t completed, std::uint64_t total)
{
    Taskbar* bar = taskbar();
    if (bar != nullptr && window != nullptr)
        bar->list->SetProgressValue(window, completed, total);
}

void TImageListPool::set_taskbar_overlay(HWND window, bool on, std::string_view description)
{
    Taskbar* bar = taskbar();
    if (bar == nullptr || window == nullptr)
        return;
    if (on)
        bar->list->SetOverlayIcon(window, m_overlay_icon.get(), win32::to_wide(description).c_str());
    else
        bar->list->SetOverlayIcon(window, nullptr, L"");
}

UINT TImageListPool::command_id(FeatureMenuAction action)
{
    for (std::size_t index = 0; index < std::size(popup_items); ++index) {
        if (popup_items[index].action == action)
            return first_command_id + static_cast<UINT>(index);
    }
    return 0;
}

std::optional<FeatureMenuAction> TImageListPool::action_for_command(UINT command)
{
    if (command < first_command_id || command >= first_command_id + std::size(popup_items))
        return std::nullopt;
    return popup_items[command - first_command_id].action;
}

std::string_view TImageListPool::item_name(FeatureMenuAction action)
{
    const PopupItem* item = find_item(action);
    return item != nullptr ? item->name : std::string_view{};
}

std::optional<FeatureMenuAction> TImageListPool::track_popup_menu(HWND owner, POINT screen) const
{
    UINT flags = TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON | TPM_LEFTALIGN | TPM_TOPALIGN;
    BOOL chosen = TrackPopupMenuEx(m_popup.get(), flags, screen.x, screen.y, owner, nullptr);
    return action_for_command(static_cast<UINT>(chosen));
}

} // namespace quillon
