#pragma once

// The surfaces of a picture and the composition of an animated GIF's frames on them.
//
// Frames are composed on the work surface; a finished frame is copied to the display surface,
// which is what owners paint from. The display surface has a small lock of its own, held for the
// copy into it and for a copy out of it, so a paint never sees a half-composed frame.
//
// One pass of the animation, frame by frame (BeginAnimation once, then ShowFrame, a wait of the
// returned delay, EndFrame, and again):
//
//   ShowFrame   disposal 3 and not held: save the area under the frame
//               draw the frame at its position; copy work -> display
//   (wait)      delay x 10 ms; 100 ms for delays below 5 and frames without a delay
//   EndFrame    not held: disposal 2 fills the frame's area with the background colour,
//               disposal 3 puts the saved area back
//               held: one repetition less, the same frame again
//               otherwise the next frame; after the last, frame 0 on a cleared work surface,
//               held for the loop pause (extra repetitions)
//
// A frame is shown anew (and its owner worth repainting) when it is not a repetition of a held
// frame, or when its hold has run out.
//
// Thread rules: the display copies (CopyDisplay, CopyDisplayKeyed, GetDisplay) are safe from any
// thread. Everything else is used by one thread at a time: the animation thread while it runs,
// otherwise the picture's owner.

#include "controls/CGifParser.h"
#include "platform/gdi/Canvas.h"
#include "platform/gdi/MemoryCanvas.h"
#include "platform/gdi/Surface.h"
#include "platform/image/Image.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

// One decoded frame of an animated GIF.
struct tagGifFrame
{
    platform::Image img; // nWidth x nHeight pixels; transparent pixels have alpha 0
    int nWidth = 0;
    int nHeight = 0;
    int nLeft = 0;
    int nTop = 0;
    int nDelay = -1;   // hundredths of a second; -1 without a graphic control extension
    int nDisposal = 0; // 0 to 7
};

class CFrameComposer
{
public:
    // The classic desktop's system colours of button faces and menus: the background colour of
    // disposal and the colour new surfaces start with.
    static constexpr platform::COLORREF kColorBtnFace = platform::Rgb(240, 240, 240);
    static constexpr platform::COLORREF kColorMenu = platform::Rgb(240, 240, 240);

    // Surfaces of the picture's size filled with kColorMenu; null for a size no surface can have.
    static std::unique_ptr<CFrameComposer> Create(int nWidth, int nHeight,
                                                  std::vector<tagGifFrame> arrFrames);
    // Cuts the next nCount graphic blocks out of the parser's data and decodes each once; a frame
    // the decoder cannot read, or with no pixels on the logical screen, is left out.
    static std::vector<tagGifFrame> DecodeFrames(CGifParser& parser, int nCount);

    int GetWidth() const { return m_nWidth; }
    int GetHeight() const { return m_nHeight; }
    const std::vector<tagGifFrame>& GetFrames() const { return m_arrFrames; }
    platform::COLORREF GetBackgroundColor() const { return m_nBackground; }

    // Draws a still picture at (0, 0) on the work surface and shows it; false for a null image.
    bool ShowStill(const platform::Image& img);

    struct tagShown
    {
        bool bRendered = false; // the frame was drawn and copied to the display surface
        bool bNewFrame = false; // ... and is not a repetition of a held frame
        uint32_t nDelayMs = 0;  // how long it stays
    };

    // Disposes of the current frame's area before the first frame is shown (again).
    void BeginAnimation();
    tagShown ShowFrame();
    void EndFrame(float nLoopPause);

    size_t GetCurrentFrame() const { return m_nCurrentFrame; }
    float GetHoldCounter() const { return m_nHoldCounter; }

    // The wait after a frame with this delay (hundredths of a second, or -1).
    static uint32_t DelayMs(int nDelay) { return nDelay < 5 ? 100u : static_cast<uint32_t>(nDelay) * 10u; }

    // Any thread: w x h pixels of the display from (sx, sy) to (x, y) of dc.
    void CopyDisplay(platform::Canvas& dc, int x, int y, int w, int h, int sx, int sy) const;
    // Any thread: the display's (sx, sy, sw, sh) stretched into (x, y, w, h) of dc, leaving out
    // pixels of the colour nKey.
    void CopyDisplayKeyed(platform::Canvas& dc, int x, int y, int w, int h, int sx, int sy, int sw, int sh,
                          platform::COLORREF nKey) const;
    // Any thread: a copy of the display surface.
    platform::Surface GetDisplay() const;

private:
    CFrameComposer(int nWidth, int nHeight, std::vector<tagGifFrame> arrFrames, platform::Surface display);

    void FillFrameArea(const tagGifFrame& frame);
    void SaveFrameArea(const tagGifFrame& frame);
    void RestoreSavedArea(const tagGifFrame& frame);
    void Publish();

    int m_nWidth;
    int m_nHeight;
    std::vector<tagGifFrame> m_arrFrames;
    platform::COLORREF m_nBackground = kColorBtnFace;
    platform::MemoryCanvas m_work;
    std::optional<platform::MemoryCanvas> m_saved; // the area under a frame with disposal 3
    size_t m_nCurrentFrame = 0;
    float m_nHoldCounter = 0;
    bool m_bRepeat = false; // the current frame is shown again because it is held

    mutable std::mutex m_displayLock; // guards m_display
    platform::Surface m_display;
};
