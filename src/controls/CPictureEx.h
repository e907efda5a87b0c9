#pragma once

// A picture of the program's resources that owners draw from their own paint code: every skin
// element (button faces, page and row backgrounds, busy indicators, scrollbar parts) is one.
//
// GIF data is parsed block by block and each frame decoded once, at load time. A GIF with more
// than one frame is animated by a thread of its own that composes the frames with their delays and
// disposal methods and, unless switched off, has the owner window repainted after each new frame.
// Any other picture data (bitmaps stored under the type "GIF", PNG, JPEG) is one still picture.
// A picture that failed to load, or whose resource is missing, is empty and draws nothing.
//
// Thread rules: a picture belongs to its owner's thread (the window thread), which calls every
// method. The animation thread touches no window: it composes on surfaces it shares with the
// picture and posts WM_INVALIDATE to the owner's handle. If that thread does not end within the
// stop bound, it keeps its own share of the surfaces and frames until it ends, so unloading or
// destroying the picture is safe at any time.

#include "controls/CFrameComposer.h"
#include "platform/gdi/Canvas.h"
#include "platform/gdi/Geometry.h"
#include "platform/image/Image.h"
#include "platform/thread/Thread.h"
#include "platform/window/Message.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

namespace platform {
class Window;
}

class CPictureEx
{
public:
    // The transparent colour that asks for a plain copy (the callers' -1).
    static constexpr platform::COLORREF kNoTransparency = 0xFFFFFFFF;
    // How long Stop waits for the animation thread.
    static constexpr uint32_t kStopTimeoutMs = 5000;

    // pOwner: the window that draws the picture and is repainted after each frame; may be null.
    explicit CPictureEx(platform::Window* pOwner);
    virtual ~CPictureEx();
    CPictureEx(const CPictureEx&) = delete;
    CPictureEx& operator=(const CPictureEx&) = delete;

    // Loads the resource of this id and type through resources::FindResource. False when it is
    // missing or cannot be loaded; the picture is empty then.
    bool LoadFromResource(uint32_t nId, std::string_view strType);
    // Loads picture data (copied as needed; the data need not outlive the call). Unloads first.
    bool Load(std::span<const uint8_t> data);
    // Stops the animation and frees frames and surfaces; the picture is empty afterwards.
    void Unload();

    // False when nothing is loaded. An animated GIF starts its thread and returns false, as the
    // callers know it; IsRunning() tells whether it runs. Anything else is drawn once onto the
    // display surface: true, or false when it could not be drawn.
    bool Start();
    // Ends the animation thread, waiting at most kStopTimeoutMs for it.
    void Stop();

    // Copies the picture to the canvas's origin, leaving out pixels of nTransparent (or with a
    // plain copy for kNoTransparency). With a paint rectangle set, copies only that part, plainly.
    void Draw(platform::Canvas& dc, platform::COLORREF nTransparent) const;
    // Copies from (nSourceX, nSourceY) of the picture to (x + nExtraX, y + nExtraY): with a
    // transparent colour, a width x height area stretched to (width + nExtraWidth) x
    // (height + nExtraHeight); with kNoTransparency, that many pixels unstretched. With a paint
    // rectangle set, copies that part to the canvas's origin instead.
    void DrawAt(platform::Canvas& dc, platform::COLORREF nTransparent, int x, int y, int nSourceX = 0,
                int nSourceY = 0, int nExtraX = 0, int nExtraY = 0, int nExtraWidth = 0,
                int nExtraHeight = 0) const;

    // After each new frame, invalidate the owner (on by default).
    void SetInvalidateOwner(bool bInvalidate);
    bool GetInvalidateOwner() const { return m_bInvalidateOwner; }
    // Extra repetitions of the first frame after each pass of the animation (0 by default).
    void SetLoopPause(float nLoopPause);
    float GetLoopPause() const { return m_nLoopPause; }
    // When not empty, Draw and DrawAt copy only this part of the picture.
    void SetPaintRect(const platform::Rect& rc) { m_rcPaint = rc; }

    bool IsLoaded() const { return m_pComposer != nullptr; }
    bool IsGif() const { return m_bIsGif; }
    // More than one frame: Start runs a thread.
    bool IsAnimated() const;
    bool IsRunning() const;
    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    size_t GetFrameCount() const;
    // A copy of what Draw shows; a null surface when nothing is loaded.
    platform::Surface GetDisplay() const;

private:
    struct tagAnimationRun;

    bool LoadGif(std::span<const uint8_t> data);
    void RefreshOwnerHandle() const;
    static uint32_t AnimationThread(const std::shared_ptr<tagAnimationRun>& pRun);

    bool m_bInvalidateOwner = true;
    float m_nLoopPause = 0;
    platform::Window* m_pOwner;
    platform::Rect m_rcPaint;
    int m_nWidth = 0;
    int m_nHeight = 0;
    bool m_bIsGif = false;
    std::optional<platform::Image> m_imgStill;
    // Shared with the animation thread while it runs.
    std::shared_ptr<CFrameComposer> m_pComposer;
    std::shared_ptr<tagAnimationRun> m_pRun;
    std::unique_ptr<platform::Thread> m_pThread;
};
