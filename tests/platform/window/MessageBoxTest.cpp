#include "platform/window/MessageBox.h"
#include "platform/display/SdlDisplay.h"
#include "platform/gdi/Region.h"
#include "platform/gdi/Surface.h"
#include "platform/window/StockControls.h"
#include "platform/window/WindowSystem.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

using namespace platform;
using namespace std::chrono_literals;

namespace {

// The SDL display with a count of its beeps, which the dummy driver cannot make heard.
class BeepCountingDisplay final : public DisplayDriver
{
public:
    BeepCountingDisplay(std::unique_ptr<DisplayDriver> pInner, std::shared_ptr<std::atomic<int>> pnBeeps)
        : m_pInner(std::move(pInner)), m_pnBeeps(std::move(pnBeeps))
    {
    }

    NativeWindowId CreateNativeWindow(const std::wstring& strTitle, const Rect& rc) override
    {
        return m_pInner->CreateNativeWindow(strTitle, rc);
    }
    void DestroyNativeWindow(NativeWindowId nWindow) override { m_pInner->DestroyNativeWindow(nWindow); }
    void SetBounds(NativeWindowId nWindow, const Rect& rc) override { m_pInner->SetBounds(nWindow, rc); }
    void SetTitle(NativeWindowId nWindow, const std::wstring& strTitle) override
    {
        m_pInner->SetTitle(nWindow, strTitle);
    }
    void Show(NativeWindowId nWindow, bool bShow) override { m_pInner->Show(nWindow, bShow); }
    void Minimize(NativeWindowId nWindow) override { m_pInner->Minimize(nWindow); }
    void Restore(NativeWindowId nWindow) override { m_pInner->Restore(nWindow); }
    void SetShape(NativeWindowId nWindow, const Region* pRegion) override
    {
        m_pInner->SetShape(nWindow, pRegion);
    }
    void Present(NativeWindowId nWindow, const Surface& surface, const Rect& rcDirty) override
    {
        m_pInner->Present(nWindow, surface, rcDirty);
    }
    void SetCursor(CursorKind nCursor) override { m_pInner->SetCursor(nCursor); }
    Point GetCursorPos() override { return m_pInner->GetCursorPos(); }
    Size GetScreenSize() override { return m_pInner->GetScreenSize(); }
    void Beep() override
    {
        ++*m_pnBeeps;
        m_pInner->Beep();
    }
    void PollEvents(std::vector<InputEvent>& events) override { m_pInner->PollEvents(events); }
    int GetEventFd() override { return m_pInner->GetEventFd(); }

private:
    std::unique_ptr<DisplayDriver> m_pInner;
    std::shared_ptr<std::atomic<int>> m_pnBeeps;
};

// What a script does to the open box.
struct Input
{
    enum class Kind
    {
        Key,
        Click, // on the button whose id is nValue
        Close, // the window manager's close request
    };
    Kind nKind;
    uint32_t nValue = 0;
};

// Drives the open message box from inside its modal loop, on the window thread: its timer runs
// one step per tick; a step returns false to be tried again on the next tick. A box still open
// after 10 s is ended with -1, so a broken box fails its test instead of hanging it.
class ScriptWindow : public Window
{
public:
    using Step = std::function<bool(MessageBoxWindow& box)>;

    explicit ScriptWindow(std::vector<Step> arrSteps) : m_arrSteps(std::move(arrSteps)) {}
    ~ScriptWindow() override { DestroyWindow(); }

    bool Start()
    {
        m_deadline = std::chrono::steady_clock::now() + 10s;
        return Create(nullptr, Rect{0, 0, 1, 1}, WS_POPUP, 0) && SetTimer(1, 10);
    }

protected:
    const MessageMap& GetMessageMap() const override
    {
        static const MessageMap map(&Window::GetMessageMap(), {platform::OnTimer(&ScriptWindow::OnTimer)});
        return map;
    }

private:
    void OnTimer(uintptr_t)
    {
        MessageBoxWindow* pBox = MessageBoxWindow::GetOpen();
        if (!pBox)
            return;
        if (std::chrono::steady_clock::now() > m_deadline)
            pBox->EndDialog(-1);
        else if (m_nStep < m_arrSteps.size() && m_arrSteps[m_nStep](*pBox))
            ++m_nStep;
    }

    std::vector<Step> m_arrSteps;
    size_t m_nStep = 0;
    std::chrono::steady_clock::time_point m_deadline;
};

class MessageBoxTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        std::string strError;
        auto pDriver = OpenSdlDisplay(strError);
        ASSERT_TRUE(pDriver) << strError;
        m_pSystem = WindowSystem::Start(std::make_unique<BeepCountingDisplay>(std::move(pDriver), m_pnBeeps));
        ASSERT_TRUE(m_pSystem);
    }
    void TearDown() override
    {
        if (m_pSystem)
            m_pSystem->Stop();
    }

    int Run(Window* pOwner, const std::wstring& strText, UINT nType, std::vector<ScriptWindow::Step> arrSteps)
    {
        ScriptWindow script(std::move(arrSteps));
        EXPECT_TRUE(script.Start());
        return MessageBox(pOwner, strText, L"Brevanto test", nType);
    }

    // A step that sends the input to the box.
    ScriptWindow::Step Send(Input input)
    {
        return [this, input](MessageBoxWindow& box) {
            InputEvent event;
            event.nWindow = box.GetNativeId();
            switch (input.nKind) {
            case Input::Kind::Key:
                event.nKind = InputEvent::Kind::KeyDown;
                event.nKey = input.nValue;
                m_pSystem->InjectInput(event);
                break;
            case Input::Kind::Close:
                event.nKind = InputEvent::Kind::Close;
                m_pSystem->InjectInput(event);
                break;
            case Input::Kind::Click: {
                Window* pButton = box.GetDlgItem(input.nValue);
                EXPECT_TRUE(pButton) << "no button " << input.nValue;
                if (!pButton)
                    return true;
                Rect rc = pButton->GetWindowRectInParent();
                event.pt = Point{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
                event.nButton = 1;
                event.nKind = InputEvent::Kind::MouseDown;
                m_pSystem->InjectInput(event);
                event.nKind = InputEvent::Kind::MouseUp;
                m_pSystem->InjectInput(event);
                break;
            }
            }
            return true;
        };
    }

    std::shared_ptr<std::atomic<int>> m_pnBeeps = std::make_shared<std::atomic<int>>(0);
    std::shared_ptr<WindowSystem> m_pSystem;
};

Point Center(const Rect& rc)
{
    return Point{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

int CountPixels(const Surface& surface, const Rect& rc, const std::function<bool(COLORREF)>& bMatches)
{
    int nCount = 0;
    for (int y = rc.top; y < rc.bottom; ++y) {
        for (int x = rc.left; x < rc.right; ++x)
            nCount += bMatches(PixelToColor(surface.GetPixel(x, y))) ? 1 : 0;
    }
    return nCount;
}

bool IsRed(COLORREF c)
{
    return GetR(c) > 0xB0 && GetG(c) < 0x60 && GetB(c) < 0x60;
}
bool IsBlue(COLORREF c)
{
    return GetB(c) > 0xB0 && GetR(c) < 0x60;
}
bool IsYellow(COLORREF c)
{
    return GetR(c) > 0xD0 && GetG(c) > 0xA0 && GetB(c) < 0x40;
}
bool IsWhite(COLORREF c)
{
    return GetR(c) > 0xD0 && GetG(c) > 0xD0 && GetB(c) > 0xD0;
}
bool IsDark(COLORREF c)
{
    return GetR(c) < 0x50 && GetG(c) < 0x50 && GetB(c) < 0x50;
}

} // namespace

TEST_F(MessageBoxTest, KeysClicksAndCloseRequestsGiveTheClassicAnswers)
{
    using K = Input::Kind;
    struct Case
    {
        const char* pszName;
        UINT nType;
        std::vector<Input> arrInputs;
        int nExpected;
    };
    const Case cases[] = {
        {"OK: Enter", MB_OK, {{K::Key, VK_RETURN}}, IDOK},
        {"OK: Escape", MB_OK | MB_ICONINFORMATION, {{K::Key, VK_ESCAPE}}, IDOK},
        {"OK: close request", MB_OK, {{K::Close}}, IDOK},
        {"OK: click", MB_OK, {{K::Click, IDOK}}, IDOK},
        {"OK/Cancel: Enter", MB_OKCANCEL, {{K::Key, VK_RETURN}}, IDOK},
        {"OK/Cancel: Escape", MB_OKCANCEL | MB_ICONQUESTION, {{K::Key, VK_ESCAPE}}, IDCANCEL},
        {"OK/Cancel: close request", MB_OKCANCEL, {{K::Close}}, IDCANCEL},
        {"OK/Cancel: click Cancel", MB_OKCANCEL, {{K::Click, IDCANCEL}}, IDCANCEL},
        {"Yes/No: Enter", MB_YESNO | MB_ICONQUESTION, {{K::Key, VK_RETURN}}, IDYES},
        {"Yes/No: click No", MB_YESNO, {{K::Click, IDNO}}, IDNO},
        {"Yes/No: click Yes", MB_YESNO, {{K::Click, IDYES}}, IDYES},
        // Neither Escape nor a close request answers Yes/No: only the later click does.
        {"Yes/No: Escape and close do nothing",
         MB_YESNO | MB_ICONEXCLAMATION,
         {{K::Key, VK_ESCAPE}, {K::Close}, {K::Click, IDNO}},
         IDNO},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        std::vector<ScriptWindow::Step> arrSteps;
        for (const Input& input : c.arrInputs)
            arrSteps.push_back(Send(input));
        EXPECT_EQ(Run(nullptr, L"Remove the game from this computer?", c.nType, std::move(arrSteps)),
                  c.nExpected);
        EXPECT_EQ(MessageBoxWindow::GetOpen(), nullptr);
    }
}

TEST_F(MessageBoxTest, OwnerIsDisabledWhileTheBoxRunsCentredOnItAndGetsItsFocusBack)
{
    Window owner;
    EditControl edit;
    ASSERT_TRUE(owner.Create(nullptr, Rect::FromSize(200, 150, 500, 400), WS_POPUP | WS_VISIBLE, 0));
    ASSERT_TRUE(edit.Create(&owner, Rect{10, 10, 200, 34}, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 1001));
    edit.SetFocus();

    bool bOwnerEnabled = true;
    Window* pBoxOwner = nullptr;
    Rect rcBox;
    int nResult = Run(&edit, L"Saved.", MB_OK,
                      {[&](MessageBoxWindow& box) {
                           bOwnerEnabled = owner.IsWindowEnabled();
                           pBoxOwner = box.GetOwner();
                           rcBox = box.GetWindowRect();
                           return true;
                       },
                       Send({Input::Kind::Key, VK_RETURN})});
    EXPECT_EQ(nResult, IDOK);
    EXPECT_FALSE(bOwnerEnabled);
    EXPECT_EQ(pBoxOwner, &owner); // the top-level window of the window given
    Point ptBox = Center(rcBox), ptOwner = Center(owner.GetWindowRect());
    EXPECT_LE(std::abs(ptBox.x - ptOwner.x), 1);
    EXPECT_LE(std::abs(ptBox.y - ptOwner.y), 1);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_EQ(Window::GetFocus(), &edit);
}

TEST_F(MessageBoxTest, LongTextWrapsAndTheBoxGrowsDownwardWithButtonsCentredBelow)
{
    struct Measured
    {
        Rect rcBox;
        Rect rcText;
        Rect rcOk;
        Rect rcCancel;
    };
    auto measure = [&](const std::wstring& strText) {
        Measured m;
        Run(nullptr, strText, MB_OKCANCEL | MB_ICONWARNING,
            {[&](MessageBoxWindow& box) {
                 m.rcBox = box.GetWindowRect();
                 m.rcText = box.GetDlgItem(MessageBoxWindow::kTextId)->GetWindowRectInParent();
                 m.rcOk = box.GetDlgItem(IDOK)->GetWindowRectInParent();
                 m.rcCancel = box.GetDlgItem(IDCANCEL)->GetWindowRectInParent();
                 return true;
             },
             Send({Input::Kind::Key, VK_ESCAPE})});
        return m;
    };
    Measured small = measure(L"Disk full.");
    std::wstring strLong;
    for (int i = 0; i < 12; ++i)
        strLong += L"The download could not be written to the disk because there is no room left. ";
    Measured large = measure(strLong);

    EXPECT_LE(large.rcText.Width(), kMessageBoxTextWidth);
    EXPECT_LE(large.rcBox.Width(), kMessageBoxTextWidth + 120);
    EXPECT_GT(large.rcBox.Height(), small.rcBox.Height() + 100);
    EXPECT_LT(small.rcBox.Width(), large.rcBox.Width());

    for (const Measured* p : {&small, &large}) {
        // Centred on the screen without an owner; the two buttons centred at the bottom.
        Size screen = m_pSystem->GetDriver().GetScreenSize();
        EXPECT_LE(std::abs(Center(p->rcBox).x - screen.cx / 2), 1);
        EXPECT_LE(std::abs(Center(p->rcBox).y - screen.cy / 2), 1);
        EXPECT_LE(std::abs(p->rcOk.left - (p->rcBox.Width() - p->rcCancel.right)), 2);
        EXPECT_GT(p->rcCancel.top, p->rcText.bottom);
        EXPECT_LE(p->rcBox.Height() - p->rcCancel.bottom, 12);
    }
}

TEST_F(MessageBoxTest, IconsAreDrawnInTheirColoursAndBoxesWithIconsBeep)
{
    struct Case
    {
        const char* pszName;
        UINT nType;
        bool (*bBody)(COLORREF);
        bool (*bGlyph)(COLORREF);
        int nBeeps;
    };
    const Case cases[] = {
        {"error", MB_OK | MB_ICONERROR, IsRed, IsWhite, 1},
        {"information", MB_OK | MB_ICONINFORMATION, IsBlue, IsWhite, 1},
        {"question", MB_YESNO | MB_ICONQUESTION, IsBlue, IsWhite, 1},
        {"exclamation", MB_OKCANCEL | MB_ICONEXCLAMATION, IsYellow, IsDark, 1},
        {"no icon", MB_OK, nullptr, nullptr, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        *m_pnBeeps = 0;
        bool bHasIcon = false;
        int nBody = 0, nGlyph = 0, nCaptionText = 0;
        Run(nullptr, L"The game could not be started.", c.nType,
            {[&](MessageBoxWindow& box) {
                 box.UpdateWindow();
                 const Surface& surface = *box.GetSurface();
                 // The caption bar holds the caption in light letters on its dark colour.
                 nCaptionText = CountPixels(surface, Rect{0, 0, surface.GetWidth(), 20}, IsWhite);
                 Window* pIcon = box.GetDlgItem(MessageBoxWindow::kIconId);
                 bHasIcon = pIcon != nullptr;
                 if (pIcon && c.bBody) {
                     Rect rc = pIcon->GetWindowRectInParent();
                     nBody = CountPixels(surface, rc, c.bBody);
                     nGlyph = CountPixels(surface, rc, c.bGlyph);
                 }
                 return true;
             },
             Send({Input::Kind::Key, VK_RETURN})});
        EXPECT_GT(nCaptionText, 20);
        EXPECT_EQ(bHasIcon, c.bBody != nullptr);
        if (c.bBody) {
            EXPECT_GT(nBody, 350); // a disc or triangle 32 pixels across, less its glyph
            EXPECT_GT(nGlyph, 15);
        }
        EXPECT_EQ(m_pnBeeps->load(), c.nBeeps);
    }
}

TEST_F(MessageBoxTest, MessageBeepBeepsAndOtherThreadsGetNoBox)
{
    MessageBeep(MB_OK);
    MessageBeep(MB_ICONERROR);
    EXPECT_EQ(m_pnBeeps->load(), 2);

    std::atomic<int> nResult{-1};
    std::thread worker([&] { nResult = MessageBox(nullptr, L"From a worker", L"Worker", MB_OK); });
    worker.join();
    EXPECT_EQ(nResult.load(), 0);
    EXPECT_EQ(MessageBoxWindow::GetOpen(), nullptr);
}
