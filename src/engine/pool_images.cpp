#include "engine/pool_images.h"

#include "platform/win32/system_functions.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace quillon {

namespace {

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
    case 0: canvas.cross(0, 0, 16); break;
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

} // namespace

Result<void> PoolImages::create()
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

} // namespace quillon
