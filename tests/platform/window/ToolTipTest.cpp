#include "platform/window/ToolTip.h"
#include "platform/display/SdlDisplay.h"
#include "platform/gdi/Canvas.h"
#include "platform/window/PaintDC.h"
#include "platform/window/WindowSystem.h"

#include "support/HeadlessWindowTest.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

using namespace platform;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// A top-level window with two tools side by side, at a known place on the screen.
struct Scene
{
    static constexpr Point kOrigin{100, 100};
    static constexpr Point kOverA{40, 30}; // top-level client coordinates
    static constexpr Point kOverB{190, 30};
    static constexpr Point kOffTools{200, 100};

    Window top;
    std::unique_ptr<Window> pToolA = std::make_unique<Window>();
    std::unique_ptr<Window> pToolB = std::make_unique<Window>();

    bool Create()
    {
        return top.Create(nullptr, Rect::FromSize(kOrigin.x, kOrigin.y, 300, 120), WS_POPUP | WS_VISIBLE,
                          0) &&
               pToolA->Create(&top, Rect{10, 10, 110, 50}, WS_CHILD | WS_VISIBLE, 1) &&
               pToolB->Create(&top, Rect{150, 10, 250, 50}, WS_CHILD | WS_VISIBLE, 2);
    }
};

class ToolTipTest : public testing_support::HeadlessWindowTest
{
protected:
    void Drain()
    {
        while (m_pSystem->PumpPending()) {
        }
    }

public:
    // Public, so the table of cases can call them.
    void Mouse(Window& top, InputEvent::Kind nKind, Point pt, int nButton = 0)
    {
        InputEvent event;
        event.nKind = nKind;
        event.nWindow = top.GetNativeId();
        event.pt = pt;
        event.nButton = nButton;
        m_pSystem->InjectInput(event);
    }
    void Move(Window& top, Point pt) { Mouse(top, InputEvent::Kind::MouseMove, pt); }

protected:
    // Rests the pointer on pt and waits for the tip, painted.
    bool HoverUntilShown(ToolTip& tip, Window& top, Point pt)
    {
        Move(top, pt);
        bool bShown = PumpUntil([&] { return tip.IsShowing(); });
        Drain();
        return bShown;
    }
};

bool IsDark(COLORREF nColor)
{
    return GetR(nColor) < 0x50 && GetG(nColor) < 0x50 && GetB(nColor) < 0x50;
}

// The smallest rectangle around the dark pixels of a surface's inside (its frame left out).
Rect DarkBounds(const Surface& surface)
{
    Rect rc{surface.GetWidth(), surface.GetHeight(), 0, 0};
    for (int y = 1; y < surface.GetHeight() - 1; ++y) {
        for (int x = 1; x < surface.GetWidth() - 1; ++x) {
            if (IsDark(PixelToColor(surface.GetPixel(x, y)))) {
                rc = {std::min(rc.left, x), std::min(rc.top, y), std::max(rc.right, x + 1),
                      std::max(rc.bottom, y + 1)};
            }
        }
    }
    return rc;
}

} // namespace

TEST_F(ToolTipTest, RestingOnAToolShowsItsTextBelowThePointerAfterTheDelay)
{
    struct Colours
    {
        bool bSet;
        COLORREF nBk;
        COLORREF nText;
    };
    // The classic defaults, and the white the launcher's buttons ask for.
    for (Colours colours : {Colours{false, 0xE1FFFF, 0x000000}, Colours{true, 0xFFFFFF, 0x000000}}) {
        SCOPED_TRACE(colours.bSet ? "launcher colours" : "default colours");
        Scene scene;
        ASSERT_TRUE(scene.Create());
        ToolTip tip;
        ASSERT_TRUE(tip.AddTool(*scene.pToolA, L"Install the game"));
        if (colours.bSet) {
            tip.SetTipBkColor(colours.nBk);
            tip.SetTipTextColor(colours.nText);
        }
        EXPECT_FALSE(tip.IsShowing());

        auto started = Clock::now();
        ASSERT_TRUE(HoverUntilShown(tip, scene.top, Scene::kOverA));
        EXPECT_GE(Clock::now() - started, std::chrono::milliseconds(ToolTip::kInitialDelay));
        EXPECT_EQ(tip.GetShownText(), L"Install the game");

        Rect rcTip = tip.GetWindowRect();
        EXPECT_EQ(rcTip.TopLeft(), (Point{Scene::kOrigin.x + Scene::kOverA.x,
                                          Scene::kOrigin.y + Scene::kOverA.y + ToolTip::kCursorOffsetY}));

        const Surface& surface = *tip.GetSurface();
        EXPECT_EQ(PixelToColor(surface.GetPixel(0, 0)), kToolTipFrame);
        EXPECT_EQ(PixelToColor(surface.GetPixel(rcTip.Width() - 1, rcTip.Height() - 1)), kToolTipFrame);
        EXPECT_EQ(PixelToColor(surface.GetPixel(2, 2)), colours.nBk);
        // The text lies inside the padding, and the tip is no wider than the text needs.
        Rect rcText = DarkBounds(surface);
        int nInset = ToolTip::kFrame + ToolTip::kPadding;
        ASSERT_FALSE(rcText.IsEmpty());
        EXPECT_GT(rcText.Width(), 60);
        EXPECT_GE(rcText.left, nInset);
        EXPECT_GE(rcText.top, nInset);
        EXPECT_LE(rcText.right, rcTip.Width() - nInset);
        EXPECT_LE(rcText.bottom, rcTip.Height() - nInset);
        EXPECT_LE(rcTip.Width() - nInset - rcText.right, 4);
    }
}

TEST_F(ToolTipTest, TipStaysWhileThePointerMovesOnTheToolAndPopsAfterFiveSeconds)
{
    Scene scene;
    ASSERT_TRUE(scene.Create());
    ToolTip tip;
    ASSERT_TRUE(tip.AddTool(*scene.pToolA, L"Play"));
    // The auto-pop timer starts when the tip shows, at least the initial delay after the move.
    auto moved = Clock::now();
    ASSERT_TRUE(HoverUntilShown(tip, scene.top, Scene::kOverA));
    Rect rcTip = tip.GetWindowRect();

    for (int i = 1; i <= 5; ++i) {
        Move(scene.top, Point{Scene::kOverA.x + i * 5, Scene::kOverA.y});
        PumpFor(50ms);
        ASSERT_TRUE(tip.IsShowing());
    }
    EXPECT_EQ(tip.GetWindowRect(), rcTip);

    ASSERT_TRUE(PumpUntil([&] { return !tip.IsShowing(); }, 20s));
    EXPECT_GE(Clock::now() - moved,
              std::chrono::milliseconds(ToolTip::kInitialDelay + ToolTip::kAutoPopDelay));
    EXPECT_EQ(tip.GetShownText(), L"");
}

TEST_F(ToolTipTest, TipHidesWhenThePointerLeavesPressesOrTheToolGoes)
{
    enum class Then
    {
        ShowsAgain,  // a rest on the tool brings the tip back
        StaysHidden, // it does not, while the pointer stays on the tool
        Nothing,     // the tool is gone
    };
    struct Case
    {
        const char* pszName;
        std::function<void(ToolTipTest&, Scene&, ToolTip&)> action;
        Then then;
    };
    const Case cases[] = {
        {"pointer leaves the window",
         [](ToolTipTest& t, Scene& s, ToolTip&) { t.Mouse(s.top, InputEvent::Kind::MouseLeave, Point{}); },
         Then::ShowsAgain},
        {"pointer moves off the tool",
         [](ToolTipTest& t, Scene& s, ToolTip&) { t.Move(s.top, Scene::kOffTools); }, Then::ShowsAgain},
        {"left press",
         [](ToolTipTest& t, Scene& s, ToolTip&) {
             t.Mouse(s.top, InputEvent::Kind::MouseDown, Scene::kOverA, 1);
             t.Mouse(s.top, InputEvent::Kind::MouseUp, Scene::kOverA, 1);
         },
         Then::StaysHidden},
        {"right press",
         [](ToolTipTest& t, Scene& s, ToolTip&) {
             t.Mouse(s.top, InputEvent::Kind::MouseDown, Scene::kOverA, 3);
         },
         Then::StaysHidden},
        {"tool removed", [](ToolTipTest&, Scene& s, ToolTip& tip) { tip.RemoveTool(*s.pToolA); },
         Then::StaysHidden},
        {"tooltip deactivated", [](ToolTipTest&, Scene&, ToolTip& tip) { tip.Activate(false); },
         Then::StaysHidden},
        {"tool hidden", [](ToolTipTest&, Scene& s, ToolTip&) { s.pToolA->ShowWindow(SW_HIDE); },
         Then::Nothing},
        {"tool destroyed", [](ToolTipTest&, Scene& s, ToolTip&) { s.pToolA->DestroyWindow(); },
         Then::Nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.pszName);
        Scene scene;
        ASSERT_TRUE(scene.Create());
        ToolTip tip;
        ASSERT_TRUE(tip.AddTool(*scene.pToolA, L"Uninstall"));
        ASSERT_TRUE(HoverUntilShown(tip, scene.top, Scene::kOverA));

        // Hidden by the action, not by the auto-pop: long before that could come.
        c.action(*this, scene, tip);
        ASSERT_TRUE(PumpUntil([&] { return !tip.IsShowing(); },
                              std::chrono::milliseconds(ToolTip::kAutoPopDelay / 2)));
        EXPECT_EQ(tip.GetShownText(), L"");

        if (c.then == Then::ShowsAgain) {
            EXPECT_TRUE(HoverUntilShown(tip, scene.top, Scene::kOverA));
        } else if (c.then == Then::StaysHidden) {
            Move(scene.top, Point{Scene::kOverA.x + 3, Scene::kOverA.y});
            PumpFor(std::chrono::milliseconds(ToolTip::kInitialDelay + 300));
            EXPECT_FALSE(tip.IsShowing());
        }
    }
}

TEST_F(ToolTipTest, EachToolShowsItsOwnTextAndTextChangesReachTheShownTip)
{
    Scene scene;
    ASSERT_TRUE(scene.Create());
    ToolTip tip;
    ASSERT_TRUE(tip.AddTool(*scene.pToolA, L"Play"));
    ASSERT_TRUE(tip.AddTool(*scene.pToolB, L"Settings"));
    ASSERT_TRUE(HoverUntilShown(tip, scene.top, Scene::kOverA));
    EXPECT_EQ(tip.GetShownText(), L"Play");

    Move(scene.top, Scene::kOverB);
    ASSERT_TRUE(PumpUntil([&] { return tip.IsShowing() && tip.GetShownText() == L"Settings"; }));
    EXPECT_EQ(tip.GetWindowRect().TopLeft(),
              (Point{Scene::kOrigin.x + Scene::kOverB.x,
                     Scene::kOrigin.y + Scene::kOverB.y + ToolTip::kCursorOffsetY}));

    // A longer text for the shown tool: the tip takes it at once, in place, and grows to it.
    Rect rcBefore = tip.GetWindowRect();
    tip.UpdateTipText(*scene.pToolB, L"Settings and accounts");
    EXPECT_EQ(tip.GetShownText(), L"Settings and accounts");
    Rect rcAfter = tip.GetWindowRect();
    EXPECT_EQ(rcAfter.TopLeft(), rcBefore.TopLeft());
    EXPECT_GT(rcAfter.Width(), rcBefore.Width());

    // AddTool on a registered tool replaces its text; a window that is not live is refused.
    ASSERT_TRUE(tip.AddTool(*scene.pToolB, L"Options"));
    EXPECT_EQ(tip.GetShownText(), L"Options");
    Window notCreated;
    EXPECT_FALSE(tip.AddTool(notCreated, L"Nothing"));
}

TEST_F(ToolTipTest, TipStaysOnTheScreenAndGoesAboveThePointerAtTheBottom)
{
    Size screen = m_pSystem->GetDriver().GetScreenSize();
    Window top;
    ASSERT_TRUE(top.Create(nullptr, Rect{screen.cx - 60, screen.cy - 30, screen.cx, screen.cy},
                           WS_POPUP | WS_VISIBLE, 0));
    ToolTip tip;
    ASSERT_TRUE(tip.AddTool(top, L"A text much wider than the space right of the pointer"));
    ASSERT_TRUE(HoverUntilShown(tip, top, Point{50, 20}));
    Rect rcTip = tip.GetWindowRect();
    EXPECT_EQ(Rect::Intersect(rcTip, Rect{0, 0, screen.cx, screen.cy}), rcTip);
    EXPECT_LE(rcTip.bottom, screen.cy - 10);
}

TEST_F(ToolTipTest, ToolsAndTooltipMayGoInEitherOrder)
{
    // The tool goes while its tip shows; the tooltip goes after.
    {
        Scene scene;
        ASSERT_TRUE(scene.Create());
        auto pTip = std::make_unique<ToolTip>();
        ASSERT_TRUE(pTip->AddTool(*scene.pToolA, L"Play"));
        ASSERT_TRUE(pTip->AddTool(*scene.pToolB, L"Settings"));
        ASSERT_TRUE(HoverUntilShown(*pTip, scene.top, Scene::kOverA));
        scene.pToolA.reset();
        ASSERT_TRUE(PumpUntil([&] { return !pTip->IsShowing(); }));
        // The other tool still works.
        ASSERT_TRUE(HoverUntilShown(*pTip, scene.top, Scene::kOverB));
        pTip.reset();
        Move(scene.top, Scene::kOverB);
        PumpFor(100ms);
    }
    // The tooltip goes while its tip shows; the tools stay and take the pointer without it.
    {
        Scene scene;
        ASSERT_TRUE(scene.Create());
        auto pTip = std::make_unique<ToolTip>();
        ASSERT_TRUE(pTip->AddTool(*scene.pToolA, L"Play"));
        ASSERT_TRUE(HoverUntilShown(*pTip, scene.top, Scene::kOverA));
        pTip.reset();
        Move(scene.top, Scene::kOverB);
        Move(scene.top, Scene::kOverA);
        Mouse(scene.top, InputEvent::Kind::MouseDown, Scene::kOverA, 1);
        PumpFor(100ms);
    }
    // A tool's window goes first but its object stays and is made again after the tooltip is
    // gone: the observer the tooltip could not reach any more must do nothing.
    {
        Scene scene;
        ASSERT_TRUE(scene.Create());
        auto pTip = std::make_unique<ToolTip>();
        ASSERT_TRUE(pTip->AddTool(*scene.pToolA, L"Play"));
        scene.pToolA->DestroyWindow();
        pTip.reset();
        ASSERT_TRUE(scene.pToolA->Create(&scene.top, Rect{10, 10, 110, 50}, WS_CHILD | WS_VISIBLE, 1));
        Move(scene.top, Scene::kOverA);
        Move(scene.top, Scene::kOffTools);
        PumpFor(100ms);
    }
}
