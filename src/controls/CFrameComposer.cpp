#include "controls/CFrameComposer.h"

#include <algorithm>

using platform::ColorToPixel;

namespace {

// The frame's own rectangle out of a decoded frame GIF, which the decoder renders on a
// transparent logical screen; null when the rectangle has no pixels on that screen.
platform::Image CropFrame(const platform::Image& screen, tagGifFrame& frame)
{
    frame.nWidth = std::min(frame.nWidth, screen.GetWidth() - frame.nLeft);
    frame.nHeight = std::min(frame.nHeight, screen.GetHeight() - frame.nTop);
    std::optional<platform::Image> img = platform::Image::Create(frame.nWidth, frame.nHeight);
    if (!img)
        return {};
    const std::vector<uint32_t>& arrScreen = screen.GetPixels();
    std::span<uint32_t> arrBits = img->GetBits();
    for (int y = 0; y < frame.nHeight; ++y) {
        const auto itRow =
            arrScreen.begin() + static_cast<ptrdiff_t>(frame.nTop + y) * screen.GetWidth() + frame.nLeft;
        std::copy(itRow, itRow + frame.nWidth, arrBits.begin() + static_cast<ptrdiff_t>(y) * frame.nWidth);
    }
    return std::move(*img);
}

} // namespace

std::vector<tagGifFrame> CFrameComposer::DecodeFrames(CGifParser& parser, int nCount)
{
    std::vector<tagGifFrame> arrFrames;
    for (int i = 0; i < nCount; ++i) {
        std::optional<tagGifFrameData> cut = parser.ExtractNextFrame();
        if (!cut)
            break;
        std::optional<platform::Image> screen =
            platform::Image::Decode(cut->arrGif.data(), cut->arrGif.size());
        if (!screen)
            continue;
        tagGifFrame frame{{}, cut->nWidth, cut->nHeight, cut->nLeft, cut->nTop, cut->nDelay, cut->nDisposal};
        frame.img = CropFrame(*screen, frame);
        if (!frame.img.IsNull())
            arrFrames.push_back(std::move(frame));
    }
    return arrFrames;
}

std::unique_ptr<CFrameComposer> CFrameComposer::Create(int nWidth, int nHeight,
                                                       std::vector<tagGifFrame> arrFrames)
{
    std::optional<platform::Surface> display =
        platform::Surface::Create(nWidth, nHeight, ColorToPixel(kColorMenu));
    if (!display)
        return nullptr;
    std::unique_ptr<CFrameComposer> pComposer(
        new CFrameComposer(nWidth, nHeight, std::move(arrFrames), std::move(*display)));
    if (pComposer->m_work.IsNull())
        return nullptr;
    return pComposer;
}

CFrameComposer::CFrameComposer(int nWidth, int nHeight, std::vector<tagGifFrame> arrFrames,
                               platform::Surface display)
    : m_nWidth(nWidth), m_nHeight(nHeight), m_arrFrames(std::move(arrFrames)),
      m_work(nWidth, nHeight, ColorToPixel(kColorMenu)), m_display(std::move(display))
{
}

bool CFrameComposer::ShowStill(const platform::Image& img)
{
    if (img.IsNull())
        return false;
    m_work.DrawImage(0, 0, img);
    Publish();
    return true;
}

void CFrameComposer::Publish()
{
    std::span<const uint32_t> source = m_work.GetSurface()->GetBits();
    std::lock_guard<std::mutex> guard(m_displayLock);
    std::copy(source.begin(), source.end(), m_display.GetBits().begin());
}

void CFrameComposer::FillFrameArea(const tagGifFrame& frame)
{
    m_work.FillSolidRect(platform::Rect::FromSize(frame.nLeft, frame.nTop, frame.nWidth, frame.nHeight),
                         m_nBackground);
}

void CFrameComposer::SaveFrameArea(const tagGifFrame& frame)
{
    m_saved.emplace(frame.nWidth, frame.nHeight);
    if (m_saved->IsNull()) {
        m_saved.reset();
        return;
    }
    m_saved->BitBlt(0, 0, frame.nWidth, frame.nHeight, m_work, frame.nLeft, frame.nTop);
}

void CFrameComposer::RestoreSavedArea(const tagGifFrame& frame)
{
    m_work.BitBlt(frame.nLeft, frame.nTop, frame.nWidth, frame.nHeight, *m_saved, 0, 0);
    m_saved.reset();
}

void CFrameComposer::BeginAnimation()
{
    m_bRepeat = false;
    if (m_nCurrentFrame >= m_arrFrames.size())
        return;
    const tagGifFrame& frame = m_arrFrames[m_nCurrentFrame];
    if (frame.nDisposal == 2)
        FillFrameArea(frame);
    if (m_saved && frame.nDisposal == 3 && m_nHoldCounter <= 0)
        RestoreSavedArea(frame);
}

CFrameComposer::tagShown CFrameComposer::ShowFrame()
{
    tagShown shown;
    if (m_nCurrentFrame >= m_arrFrames.size())
        return shown;
    const tagGifFrame& frame = m_arrFrames[m_nCurrentFrame];
    shown.nDelayMs = DelayMs(frame.nDelay);
    if (frame.img.IsNull())
        return shown;
    if (frame.nDisposal == 3 && m_nHoldCounter <= 0)
        SaveFrameArea(frame);
    m_work.DrawImage(frame.nLeft, frame.nTop, frame.img);
    Publish();
    shown.bRendered = true;
    shown.bNewFrame = !m_bRepeat || m_nHoldCounter <= 0;
    return shown;
}

void CFrameComposer::EndFrame(float nLoopPause)
{
    if (m_nCurrentFrame >= m_arrFrames.size())
        return;
    const tagGifFrame& frame = m_arrFrames[m_nCurrentFrame];
    if (m_nHoldCounter <= 0) {
        if (frame.nDisposal == 2)
            FillFrameArea(frame);
        else if (frame.nDisposal == 3 && m_saved)
            RestoreSavedArea(frame);
    }

    if (m_nHoldCounter > 0) {
        m_nHoldCounter -= 1;
        m_bRepeat = true;
        return;
    }
    m_bRepeat = false;
    if (++m_nCurrentFrame >= m_arrFrames.size()) {
        m_nCurrentFrame = 0;
        m_work.FillSolidRect(platform::Rect{0, 0, m_nWidth, m_nHeight}, m_nBackground);
        m_nHoldCounter = std::max(nLoopPause, 0.0f);
    }
}

void CFrameComposer::CopyDisplay(platform::Canvas& dc, int x, int y, int w, int h, int sx, int sy) const
{
    std::lock_guard<std::mutex> guard(m_displayLock);
    dc.BitBlt(x, y, w, h, m_display, sx, sy);
}

void CFrameComposer::CopyDisplayKeyed(platform::Canvas& dc, int x, int y, int w, int h, int sx, int sy,
                                      int sw, int sh, platform::COLORREF nKey) const
{
    std::lock_guard<std::mutex> guard(m_displayLock);
    dc.TransparentBlt(x, y, w, h, m_display, sx, sy, sw, sh, nKey);
}

platform::Surface CFrameComposer::GetDisplay() const
{
    std::lock_guard<std::mutex> guard(m_displayLock);
    return m_display;
}
