#include "platform/display/SdlDisplay.h"

#include "platform/gdi/Region.h"
#include "platform/gdi/Surface.h"
#include "platform/text/Text.h"
#include "platform/window/Message.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/extensions/shape.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <optional>
#include <vector>

namespace platform {

namespace {

struct NativeWindow
{
    SDL_Window* pWindow = nullptr;
    std::optional<Region> region;
    bool bShown = false;
};

uint32_t TranslateKey(SDL_Keycode nKey)
{
    switch (nKey) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return VK_RETURN;
    case SDLK_ESCAPE:
        return VK_ESCAPE;
    case SDLK_TAB:
        return VK_TAB;
    case SDLK_BACKSPACE:
        return VK_BACK;
    case SDLK_DELETE:
        return VK_DELETE;
    case SDLK_LEFT:
        return VK_LEFT;
    case SDLK_RIGHT:
        return VK_RIGHT;
    case SDLK_UP:
        return VK_UP;
    case SDLK_DOWN:
        return VK_DOWN;
    case SDLK_HOME:
        return VK_HOME;
    case SDLK_END:
        return VK_END;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
        return VK_SHIFT;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
        return VK_CONTROL;
    default:
        break;
    }
    if (nKey >= SDLK_a && nKey <= SDLK_z)
        return static_cast<uint32_t>('A' + (nKey - SDLK_a));
    if (nKey >= SDLK_0 && nKey <= SDLK_9)
        return static_cast<uint32_t>('0' + (nKey - SDLK_0));
    return 0;
}

uint32_t TranslateModifiers(uint16_t nMod)
{
    uint32_t nFlags = 0;
    if (nMod & KMOD_SHIFT)
        nFlags |= MK_SHIFT;
    if (nMod & KMOD_CTRL)
        nFlags |= MK_CONTROL;
    return nFlags;
}

class SdlDisplay final : public DisplayDriver
{
public:
    SdlDisplay() = default;
    ~SdlDisplay() override
    {
        for (auto& [nId, window] : m_windows)
            SDL_DestroyWindow(window.pWindow);
        for (SDL_Cursor* pCursor : m_cursors) {
            if (pCursor)
                SDL_FreeCursor(pCursor);
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    NativeWindowId CreateNativeWindow(const std::wstring& strTitle, const Rect& rc) override
    {
        SDL_Window* pWindow =
            SDL_CreateWindow(ToUtf8(strTitle).c_str(), rc.left, rc.top, std::max(rc.Width(), 1),
                             std::max(rc.Height(), 1), SDL_WINDOW_BORDERLESS | SDL_WINDOW_HIDDEN);
        if (!pWindow)
            return 0;
        NativeWindowId nId = SDL_GetWindowID(pWindow);
        m_windows[nId] = NativeWindow{pWindow, std::nullopt, false};
        if (!m_pXDisplay) {
            SDL_SysWMinfo info;
            SDL_VERSION(&info.version);
            if (SDL_GetWindowWMInfo(pWindow, &info) && info.subsystem == SDL_SYSWM_X11)
                m_pXDisplay = info.info.x11.display;
        }
        return nId;
    }

    void DestroyNativeWindow(NativeWindowId nWindow) override
    {
        if (NativeWindow* pNative = Find(nWindow)) {
            SDL_DestroyWindow(pNative->pWindow);
            m_windows.erase(nWindow);
        }
    }

    void SetBounds(NativeWindowId nWindow, const Rect& rc) override
    {
        if (NativeWindow* pNative = Find(nWindow)) {
            SDL_SetWindowPosition(pNative->pWindow, rc.left, rc.top);
            SDL_SetWindowSize(pNative->pWindow, std::max(rc.Width(), 1), std::max(rc.Height(), 1));
        }
    }

    void SetTitle(NativeWindowId nWindow, const std::wstring& strTitle) override
    {
        if (NativeWindow* pNative = Find(nWindow))
            SDL_SetWindowTitle(pNative->pWindow, ToUtf8(strTitle).c_str());
    }

    void Show(NativeWindowId nWindow, bool bShow) override
    {
        NativeWindow* pNative = Find(nWindow);
        if (!pNative || pNative->bShown == bShow)
            return;
        pNative->bShown = bShow;
        if (bShow) {
            SDL_ShowWindow(pNative->pWindow);
            // The shape extension clips a window only once it is mapped.
            ApplyShape(*pNative);
        } else {
            SDL_HideWindow(pNative->pWindow);
        }
    }

    void Minimize(NativeWindowId nWindow) override
    {
        if (NativeWindow* pNative = Find(nWindow))
            SDL_MinimizeWindow(pNative->pWindow);
    }

    void Restore(NativeWindowId nWindow) override
    {
        if (NativeWindow* pNative = Find(nWindow))
            SDL_RestoreWindow(pNative->pWindow);
    }

    void SetShape(NativeWindowId nWindow, const Region* pRegion) override
    {
        NativeWindow* pNative = Find(nWindow);
        if (!pNative)
            return;
        pNative->region = pRegion ? std::optional<Region>(*pRegion) : std::nullopt;
        if (pNative->bShown)
            ApplyShape(*pNative);
    }

    void Present(NativeWindowId nWindow, const Surface& surface, const Rect& rcDirty) override
    {
        NativeWindow* pNative = Find(nWindow);
        if (!pNative)
            return;
        SDL_Surface* pTarget = SDL_GetWindowSurface(pNative->pWindow);
        if (!pTarget || pTarget->format->BytesPerPixel != 4)
            return;
        Rect rc = Rect::Intersect(rcDirty, Rect{0, 0, std::min(surface.GetWidth(), pTarget->w),
                                                std::min(surface.GetHeight(), pTarget->h)});
        if (rc.IsEmpty())
            return;
        bool bSameLayout = pTarget->format->Rmask == 0x00FF0000 && pTarget->format->Gmask == 0x0000FF00 &&
                           pTarget->format->Bmask == 0x000000FF;
        if (SDL_MUSTLOCK(pTarget))
            SDL_LockSurface(pTarget);
        for (int y = rc.top; y < rc.bottom; ++y) {
            const uint32_t* pSource = surface.GetRow(y) + rc.left;
            auto* pDest = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(pTarget->pixels) +
                                                      static_cast<ptrdiff_t>(y) * pTarget->pitch) +
                          rc.left;
            if (bSameLayout) {
                std::memcpy(pDest, pSource, static_cast<size_t>(rc.Width()) * 4);
            } else {
                for (int x = 0; x < rc.Width(); ++x) {
                    uint32_t p = pSource[x];
                    pDest[x] = SDL_MapRGB(pTarget->format, static_cast<uint8_t>(p >> 16),
                                          static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p));
                }
            }
        }
        if (SDL_MUSTLOCK(pTarget))
            SDL_UnlockSurface(pTarget);
        SDL_Rect area{rc.left, rc.top, rc.Width(), rc.Height()};
        SDL_UpdateWindowSurfaceRects(pNative->pWindow, &area, 1);
    }

    void SetCursor(CursorKind nCursor) override
    {
        size_t nIndex = nCursor == CursorKind::Hand ? 1 : 0;
        if (!m_cursors[nIndex])
            m_cursors[nIndex] =
                SDL_CreateSystemCursor(nIndex ? SDL_SYSTEM_CURSOR_HAND : SDL_SYSTEM_CURSOR_ARROW);
        if (m_cursors[nIndex] && m_nCursor != nIndex) {
            SDL_SetCursor(m_cursors[nIndex]);
            m_nCursor = nIndex;
        }
    }

    Point GetCursorPos() override
    {
        int x = 0, y = 0;
        SDL_GetGlobalMouseState(&x, &y);
        return Point{x, y};
    }

    Size GetScreenSize() override
    {
        SDL_DisplayMode mode;
        if (SDL_GetDesktopDisplayMode(0, &mode) != 0)
            return Size{1024, 768};
        return Size{mode.w, mode.h};
    }

    void Beep() override
    {
        if (m_pXDisplay) {
            XBell(m_pXDisplay, 0);
            XFlush(m_pXDisplay);
        }
    }

    void PollEvents(std::vector<InputEvent>& events) override
    {
        SDL_Event event;
        while (SDL_PollEvent(&event))
            Translate(event, events);
    }

    int GetEventFd() override { return m_pXDisplay ? ConnectionNumber(m_pXDisplay) : -1; }

private:
    NativeWindow* Find(NativeWindowId nWindow)
    {
        auto it = m_windows.find(nWindow);
        return it == m_windows.end() ? nullptr : &it->second;
    }

    void ApplyShape(NativeWindow& native)
    {
        if (!m_pXDisplay)
            return;
        SDL_SysWMinfo info;
        SDL_VERSION(&info.version);
        if (!SDL_GetWindowWMInfo(native.pWindow, &info) || info.subsystem != SDL_SYSWM_X11)
            return;
        ::Window hX = info.info.x11.window;
        if (!native.region) {
            XShapeCombineMask(m_pXDisplay, hX, ShapeBounding, 0, 0, None, ShapeSet);
        } else {
            std::vector<XRectangle> rects;
            for (const Rect& rc : native.region->GetRects()) {
                rects.push_back(XRectangle{static_cast<short>(rc.left), static_cast<short>(rc.top),
                                           static_cast<unsigned short>(rc.Width()),
                                           static_cast<unsigned short>(rc.Height())});
            }
            XShapeCombineRectangles(m_pXDisplay, hX, ShapeBounding, 0, 0, rects.data(),
                                    static_cast<int>(rects.size()), ShapeSet, Unsorted);
        }
        XFlush(m_pXDisplay);
    }

    void Translate(const SDL_Event& event, std::vector<InputEvent>& events)
    {
        InputEvent input;
        using Kind = InputEvent::Kind;
        switch (event.type) {
        case SDL_MOUSEMOTION:
            input.nKind = Kind::MouseMove;
            input.nWindow = event.motion.windowID;
            input.pt = Point{event.motion.x, event.motion.y};
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP:
            input.nKind = event.type == SDL_MOUSEBUTTONDOWN ? Kind::MouseDown : Kind::MouseUp;
            input.nWindow = event.button.windowID;
            input.pt = Point{event.button.x, event.button.y};
            input.nButton = event.button.button == SDL_BUTTON_LEFT    ? 1
                            : event.button.button == SDL_BUTTON_RIGHT ? 3
                                                                      : 2;
            input.nClicks = event.button.clicks;
            break;
        case SDL_MOUSEWHEEL: {
            input.nKind = Kind::MouseWheel;
            input.nWindow = event.wheel.windowID;
            input.nWheel = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
            SDL_GetMouseState(&input.pt.x, &input.pt.y);
            break;
        }
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            input.nKind = event.type == SDL_KEYDOWN ? Kind::KeyDown : Kind::KeyUp;
            input.nWindow = event.key.windowID;
            input.nKey = TranslateKey(event.key.keysym.sym);
            input.nModifiers = TranslateModifiers(event.key.keysym.mod);
            if (input.nKey == 0)
                return;
            break;
        case SDL_TEXTINPUT:
            input.nKind = Kind::Text;
            input.nWindow = event.text.windowID;
            input.strText = FromUtf8(event.text.text);
            break;
        case SDL_WINDOWEVENT:
            input.nWindow = event.window.windowID;
            if (event.window.event == SDL_WINDOWEVENT_SHOWN || event.window.event == SDL_WINDOWEVENT_EXPOSED) {
                // The window is mapped now: only then does the shape take.
                if (NativeWindow* pNative = Find(event.window.windowID); pNative && pNative->region)
                    ApplyShape(*pNative);
            }
            switch (event.window.event) {
            case SDL_WINDOWEVENT_CLOSE:
                input.nKind = Kind::Close;
                break;
            case SDL_WINDOWEVENT_EXPOSED:
                input.nKind = Kind::Exposed;
                break;
            case SDL_WINDOWEVENT_MINIMIZED:
                input.nKind = Kind::Minimized;
                break;
            case SDL_WINDOWEVENT_RESTORED:
                input.nKind = Kind::Restored;
                break;
            case SDL_WINDOWEVENT_LEAVE:
                input.nKind = Kind::MouseLeave;
                break;
            default:
                return;
            }
            break;
        default:
            return;
        }
        events.push_back(input);
    }

    std::map<NativeWindowId, NativeWindow> m_windows;
    Display* m_pXDisplay = nullptr;
    SDL_Cursor* m_cursors[2] = {nullptr, nullptr};
    size_t m_nCursor = 0;
};

} // namespace

std::unique_ptr<DisplayDriver> OpenSdlDisplay(std::string& strError)
{
    // Termination signals belong to the program, which turns them into a close of its window.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        strError = SDL_GetError();
        return nullptr;
    }
    return std::make_unique<SdlDisplay>();
}

} // namespace platform
