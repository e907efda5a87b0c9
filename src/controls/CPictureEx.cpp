#include "controls/CPictureEx.h"

#include "controls/CGifParser.h"
#include "platform/window/Window.h"
#include "platform/window/WindowSystem.h"
#include "resources/Resources.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

// What the animation thread shares with the picture. The thread holds its own reference, so a
// thread that outlives a timed-out Stop still finds everything it uses.
struct CPictureEx::tagAnimationRun
{
    explicit tagAnimationRun(std::shared_ptr<CFrameComposer> pComposerIn) : pComposer(std::move(pComposerIn))
    {
    }

    std::shared_ptr<CFrameComposer> pComposer;
    std::atomic<bool> bRunning{false};
    std::atomic<bool> bEnded{false};
    std::atomic<bool> bStopRequest{false};
    platform::Event evStop{true, false};
    std::atomic<platform::HWND> hOwner{0};
    std::atomic<bool> bInvalidateOwner{true};
    std::atomic<float> nLoopPause{0};
};

CPictureEx::CPictureEx(platform::Window* pOwner) : m_pOwner(pOwner) {}

CPictureEx::~CPictureEx()
{
    Unload();
}

bool CPictureEx::LoadFromResource(uint32_t nId, std::string_view strType)
{
    std::span<const uint8_t> data = resources::FindResource(nId, strType);
    if (data.empty()) {
        Unload();
        return false;
    }
    return Load(data);
}

bool CPictureEx::Load(std::span<const uint8_t> data)
{
    Unload();
    if (data.size() >= 3 && data[0] == 'G' && data[1] == 'I' && data[2] == 'F') {
        if (!LoadGif(data)) {
            Unload();
            return false;
        }
    } else {
        std::optional<platform::Image> img = platform::Image::Decode(data.data(), data.size());
        if (!img)
            return false;
        m_nWidth = img->GetWidth();
        m_nHeight = img->GetHeight();
        m_imgStill = std::move(img);
        m_pComposer = CFrameComposer::Create(m_nWidth, m_nHeight, {});
    }
    if (!m_pComposer) {
        Unload();
        return false;
    }
    return true;
}

bool CPictureEx::LoadGif(std::span<const uint8_t> data)
{
    m_bIsGif = true;
    CGifParser parser;
    if (!parser.Open(data))
        return false;
    m_nWidth = parser.GetWidth();
    m_nHeight = parser.GetHeight();
    const int nCount = parser.CountGraphicBlocks();
    if (nCount == 0)
        return false;

    std::vector<tagGifFrame> arrFrames;
    if (nCount == 1) {
        std::optional<platform::Image> img = platform::Image::Decode(data.data(), data.size());
        if (!img)
            return false;
        m_imgStill = std::move(img);
    } else {
        arrFrames = CFrameComposer::DecodeFrames(parser, nCount);
        if (arrFrames.empty())
            return false;
    }
    m_pComposer = CFrameComposer::Create(m_nWidth, m_nHeight, std::move(arrFrames));
    return m_pComposer != nullptr;
}

void CPictureEx::Unload()
{
    Stop();
    m_pThread.reset();
    m_pRun.reset();
    m_pComposer.reset();
    m_imgStill.reset();
    m_nWidth = m_nHeight = 0;
    m_bIsGif = false;
}

bool CPictureEx::IsAnimated() const
{
    return m_pComposer && m_bIsGif && m_pComposer->GetFrames().size() > 1;
}

bool CPictureEx::IsRunning() const
{
    return m_pRun && m_pRun->bRunning;
}

size_t CPictureEx::GetFrameCount() const
{
    if (!m_pComposer)
        return 0;
    return m_imgStill ? 1 : m_pComposer->GetFrames().size();
}

bool CPictureEx::Start()
{
    if (!m_pComposer)
        return false;
    if (!IsAnimated()) {
        if (m_imgStill)
            return m_pComposer->ShowStill(*m_imgStill);
        // A GIF of whose frames only one could be decoded: that frame, still.
        if (m_pComposer->GetFrames().size() == 1) {
            m_pComposer->BeginAnimation();
            return m_pComposer->ShowFrame().bRendered;
        }
        return false;
    }
    // One thread at a time composes on the surfaces, so a thread that is still running (or did
    // not stop in time) is not joined by a second one.
    if (m_pRun && !m_pRun->bEnded)
        return false;

    auto pRun = std::make_shared<tagAnimationRun>(m_pComposer);
    pRun->bInvalidateOwner = m_bInvalidateOwner;
    pRun->nLoopPause = m_nLoopPause;
    pRun->hOwner = m_pOwner ? m_pOwner->GetSafeHwnd() : 0;
    m_pThread = platform::Thread::Create([pRun] { return AnimationThread(pRun); },
                                         platform::ThreadPriority::Normal, true);
    if (!m_pThread)
        return false;
    pRun->bRunning = true; // the caller sees it running from here on
    m_pRun = std::move(pRun);
    m_pThread->Resume();
    return false;
}

uint32_t CPictureEx::AnimationThread(const std::shared_ptr<tagAnimationRun>& pRun)
{
    pRun->bRunning = true;
    CFrameComposer& composer = *pRun->pComposer;
    composer.BeginAnimation();
    while (!pRun->bStopRequest) {
        const CFrameComposer::tagShown shown = composer.ShowFrame();
        if (shown.bRendered && shown.bNewFrame && pRun->bInvalidateOwner) {
            if (platform::HWND hOwner = pRun->hOwner)
                platform::PostMessage(hOwner, platform::WM_INVALIDATE, 0);
        }
        if (pRun->bStopRequest)
            break;
        pRun->evStop.Wait(shown.nDelayMs);
        if (pRun->bStopRequest)
            break;
        composer.EndFrame(pRun->nLoopPause);
    }
    pRun->bRunning = false;
    pRun->bEnded = true;
    return 0;
}

void CPictureEx::Stop()
{
    if (!m_pRun || !m_pThread)
        return;
    m_pRun->bRunning = false;
    m_pRun->bStopRequest = true;
    m_pRun->evStop.Set();
    m_pThread->Wait(kStopTimeoutMs);
    m_pThread.reset();
    // A thread that ended leaves its run behind for the next Start to replace; one that did not
    // keeps the stop request it was given and Start refuses to add a second.
}

void CPictureEx::SetInvalidateOwner(bool bInvalidate)
{
    m_bInvalidateOwner = bInvalidate;
    if (m_pRun)
        m_pRun->bInvalidateOwner = bInvalidate;
}

void CPictureEx::SetLoopPause(float nLoopPause)
{
    m_nLoopPause = nLoopPause;
    if (m_pRun)
        m_pRun->nLoopPause = nLoopPause;
}

void CPictureEx::RefreshOwnerHandle() const
{
    // An owner created after Start gets its repaints from its first paint on.
    if (m_pRun && m_pRun->hOwner == 0 && m_pOwner && m_pOwner->IsCreated())
        m_pRun->hOwner = m_pOwner->GetSafeHwnd();
}

void CPictureEx::Draw(platform::Canvas& dc, platform::COLORREF nTransparent) const
{
    if (!m_pComposer)
        return;
    RefreshOwnerHandle();
    if (!m_rcPaint.IsEmpty())
        m_pComposer->CopyDisplay(dc, 0, 0, m_rcPaint.Width(), m_rcPaint.Height(), m_rcPaint.left,
                                 m_rcPaint.top);
    else if (nTransparent == kNoTransparency)
        m_pComposer->CopyDisplay(dc, 0, 0, m_nWidth, m_nHeight, 0, 0);
    else
        m_pComposer->CopyDisplayKeyed(dc, 0, 0, m_nWidth, m_nHeight, 0, 0, m_nWidth, m_nHeight, nTransparent);
}

void CPictureEx::DrawAt(platform::Canvas& dc, platform::COLORREF nTransparent, int x, int y, int nSourceX,
                        int nSourceY, int nExtraX, int nExtraY, int nExtraWidth, int nExtraHeight) const
{
    if (!m_pComposer)
        return;
    RefreshOwnerHandle();
    if (!m_rcPaint.IsEmpty()) {
        m_pComposer->CopyDisplay(dc, 0, 0, m_rcPaint.Width(), m_rcPaint.Height(), m_rcPaint.left,
                                 m_rcPaint.top);
        return;
    }
    const int nWidth = m_nWidth + nExtraWidth;
    const int nHeight = m_nHeight + nExtraHeight;
    if (nTransparent == kNoTransparency)
        m_pComposer->CopyDisplay(dc, x + nExtraX, y + nExtraY, nWidth, nHeight, nSourceX, nSourceY);
    else
        m_pComposer->CopyDisplayKeyed(dc, x + nExtraX, y + nExtraY, nWidth, nHeight, nSourceX, nSourceY,
                                      m_nWidth, m_nHeight, nTransparent);
}

platform::Surface CPictureEx::GetDisplay() const
{
    return m_pComposer ? m_pComposer->GetDisplay() : platform::Surface();
}
