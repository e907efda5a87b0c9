// Suite: threaded
#include "platform/window/WindowSystem.h"
#include "platform/display/SdlDisplay.h"
#include "platform/gdi/Canvas.h"
#include "platform/image/Image.h"
#include "platform/window/Dialog.h"
#include "platform/window/PaintDC.h"
#include "platform/window/StockControls.h"

#include "support/HeadlessWindowTest.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

using namespace platform;

namespace {

// Every test runs a real window system on the SDL dummy driver.
class WindowSystemTest : public testing_support::HeadlessWindowTest
{
protected:
    void Click(Window& top, Point pt)
    {
        InputEvent event;
        event.nWindow = top.GetNativeId();
        event.pt = pt;
        event.nButton = 1;
        event.nKind = InputEvent::Kind::MouseDown;
        m_pSystem->InjectInput(event);
        event.nKind = InputEvent::Kind::MouseUp;
        m_pSystem->InjectInput(event);
        m_pSystem->PumpPending();
    }

    void Key(Window& top, uint32_t nKey)
    {
        InputEvent event;
        event.nWindow = top.GetNativeId();
        event.nKind = InputEvent::Kind::KeyDown;
        event.nKey = nKey;
        m_pSystem->InjectInput(event);
    }
};

// A window that fills itself with one colour and records what it receives.
class ProbeWindow : public Window
{
public:
    explicit ProbeWindow(COLORREF nColor = 0x202020) : m_nColor(nColor) {}
    ~ProbeWindow() override { DestroyWindow(); }

    int m_nPaints = 0;
    int m_nTimers = 0;
    std::vector<UINT> m_arrCommands;
    std::vector<UINT> m_arrNotifyCodes;
    std::atomic<int> m_nUserMessages{0};

protected:
    const MessageMap& GetMessageMap() const override
    {
        static const MessageMap map(&Window::GetMessageMap(),
                                    {
                                        platform::OnPaint(&ProbeWindow::OnPaint),
                                        platform::OnTimer(&ProbeWindow::OnTimer),
                                        OnMessage(WM_COMMAND, &ProbeWindow::OnCommand),
                                        OnMessage(WM_NOTIFY, &ProbeWindow::OnNotifyMessage),
                                        OnMessage(WM_USER + 1, &ProbeWindow::OnUser),
                                    });
        return map;
    }

private:
    void OnPaint()
    {
        ++m_nPaints;
        PaintDC dc(this);
        dc.FillSolidRect(GetClientRect(), m_nColor);
    }
    void OnTimer(uintptr_t) { ++m_nTimers; }
    LRESULT OnCommand(WPARAM wParam, LPARAM)
    {
        m_arrCommands.push_back(LowWord(wParam));
        return 0;
    }
    LRESULT OnNotifyMessage(WPARAM, LPARAM lParam)
    {
        m_arrNotifyCodes.push_back(reinterpret_cast<NMHDR*>(lParam)->code);
        return 5;
    }
    LRESULT OnUser(WPARAM wParam, LPARAM lParam)
    {
        ++m_nUserMessages;
        return static_cast<LRESULT>(wParam) * 2 + lParam;
    }

    COLORREF m_nColor;
};

COLORREF PixelAt(const Window& top, int x, int y)
{
    return PixelToColor(top.GetSurface()->GetPixel(x, y));
}

} // namespace

TEST_F(WindowSystemTest, ChildrenPaintOverTheirParentAtTheirOffset)
{
    ProbeWindow top(0x0000FF), child(0x00FF00), grandchild(0xFF0000);
    ASSERT_TRUE(top.Create(nullptr, Rect{0, 0, 100, 80}, WS_POPUP | WS_VISIBLE, 0));
    ASSERT_TRUE(child.Create(&top, Rect{10, 20, 60, 70}, WS_CHILD | WS_VISIBLE, 1));
    ASSERT_TRUE(grandchild.Create(&child, Rect{5, 5, 15, 15}, WS_CHILD | WS_VISIBLE, 2));
    m_pSystem->PumpPending();
    EXPECT_EQ(PixelAt(top, 5, 5), 0x0000FFu);
    EXPECT_EQ(PixelAt(top, 10, 20), 0x00FF00u);
    EXPECT_EQ(PixelAt(top, 15, 25), 0xFF0000u);
    EXPECT_EQ(PixelAt(top, 24, 34), 0xFF0000u);
    EXPECT_EQ(PixelAt(top, 25, 35), 0x00FF00u);
    EXPECT_EQ(PixelAt(top, 60, 70), 0x0000FFu);

    child.ShowWindow(SW_HIDE);
    m_pSystem->PumpPending();
    EXPECT_EQ(PixelAt(top, 15, 25), 0x0000FFu);
}

TEST_F(WindowSystemTest, InvalidationIsCoalescedIntoOnePaint)
{
    ProbeWindow top;
    ASSERT_TRUE(top.Create(nullptr, Rect{0, 0, 50, 50}, WS_POPUP | WS_VISIBLE, 0));
    m_pSystem->PumpPending();
    int nBefore = top.m_nPaints;
    for (int i = 0; i < 10; ++i) {
        Rect rc{i, i, i + 5, i + 5};
        top.InvalidateRect(&rc);
    }
    EXPECT_EQ(top.m_nPaints, nBefore);
    m_pSystem->PumpPending();
    EXPECT_EQ(top.m_nPaints, nBefore + 1);
    m_pSystem->PumpPending();
    EXPECT_EQ(top.m_nPaints, nBefore + 1);
}

TEST_F(WindowSystemTest, TimersTickUntilKilled)
{
    ProbeWindow top;
    ASSERT_TRUE(top.Create(nullptr, Rect{0, 0, 10, 10}, WS_POPUP, 0));
    ASSERT_TRUE(top.SetTimer(7, 10));
    ASSERT_TRUE(PumpUntil([&] { return top.m_nTimers >= 3; }));
    EXPECT_TRUE(top.KillTimer(7));
    EXPECT_FALSE(top.KillTimer(7));
    int nTicks = top.m_nTimers;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    m_pSystem->PumpPending();
    EXPECT_EQ(top.m_nTimers, nTicks);
}

TEST_F(WindowSystemTest, ButtonClickReachesTheParentAsCommandAndNotifyAsNotify)
{
    ProbeWindow top;
    PushButton button;
    ASSERT_TRUE(top.Create(nullptr, Rect{0, 0, 200, 100}, WS_POPUP | WS_VISIBLE, 0));
    ASSERT_TRUE(button.Create(&top, Rect{10, 10, 90, 40}, WS_CHILD | WS_VISIBLE, 1025, L"Close"));
    Click(top, Point{20, 20});
    ASSERT_EQ(top.m_arrCommands.size(), 1u);
    EXPECT_EQ(top.m_arrCommands[0], 1025u);

    // Pressed inside, released outside: no click.
    InputEvent event;
    event.nWindow = top.GetNativeId();
    event.nButton = 1;
    event.nKind = InputEvent::Kind::MouseDown;
    event.pt = Point{20, 20};
    m_pSystem->InjectInput(event);
    event.nKind = InputEvent::Kind::MouseUp;
    event.pt = Point{150, 80};
    m_pSystem->InjectInput(event);
    m_pSystem->PumpPending();
    EXPECT_EQ(top.m_arrCommands.size(), 1u);

    NMHDR header;
    EXPECT_EQ(button.NotifyParent(header, 1229), 5);
    EXPECT_EQ(header.idFrom, 1025u);
    EXPECT_EQ(header.hwndFrom, button.GetSafeHwnd());
    EXPECT_EQ(top.m_arrNotifyCodes, std::vector<UINT>{1229});
}

TEST_F(WindowSystemTest, DisabledWindowsGetNoClicks)
{
    ProbeWindow top;
    PushButton button;
    ASSERT_TRUE(top.Create(nullptr, Rect{0, 0, 200, 100}, WS_POPUP | WS_VISIBLE, 0));
    ASSERT_TRUE(button.Create(&top, Rect{10, 10, 90, 40}, WS_CHILD | WS_VISIBLE, 1025, L"Close"));
    button.EnableWindow(false);
    Click(top, Point{20, 20});
    top.EnableWindow(true);
    button.EnableWindow(true);
    top.EnableWindow(false);
    Click(top, Point{20, 20});
    EXPECT_TRUE(top.m_arrCommands.empty());
}

TEST_F(WindowSystemTest, SendFromAWorkerWaitsForTheWindowThreadAndPostsArriveInOrder)
{
    ProbeWindow top;
    ASSERT_TRUE(top.Create(nullptr, Rect{0, 0, 10, 10}, WS_POPUP, 0));
    HWND hWnd = top.GetSafeHwnd();
    std::atomic<LRESULT> lResult{-1};
    std::thread worker([&] {
        platform::PostMessage(hWnd, WM_USER + 1, 1, 0);
        lResult = platform::SendMessage(hWnd, WM_USER + 1, 20, 2);
    });
    ASSERT_TRUE(PumpUntil([&] { return lResult.load() != -1; }));
    worker.join();
    EXPECT_EQ(lResult.load(), 42);
    m_pSystem->PumpPending();
    EXPECT_EQ(top.m_nUserMessages.load(), 2);

    // A handle whose window is gone: the message is dropped.
    top.DestroyWindow();
    EXPECT_TRUE(platform::PostMessage(hWnd, WM_USER + 1, 0, 0));
    m_pSystem->PumpPending();
    EXPECT_EQ(platform::SendMessage(hWnd, WM_USER + 1, 1, 1), 0);
}

namespace {

DialogTemplate SmallDialog()
{
    DialogTemplate dlg;
    dlg.nId = 184;
    dlg.nStyle = WS_POPUP | WS_VISIBLE;
    dlg.cx = 213;
    dlg.cy = 141;
    dlg.arrControls = {
        {L"BUTTON", L"OK", IDOK, 58, 106, 40, 20, WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON},
        {L"BUTTON", L"Cancel", IDCANCEL, 117, 106, 40, 20, WS_VISIBLE | WS_TABSTOP},
        {L"STATIC", L"Remove the game?", 1000, 10, 10, 190, 20, WS_VISIBLE},
    };
    return dlg;
}

} // namespace

TEST_F(WindowSystemTest, DialogControlsArePlacedInDialogUnits)
{
    DialogTemplate dlg = SmallDialog();
    Dialog dialog(dlg);
    ASSERT_TRUE(dialog.CreateModeless(nullptr));
    Window* pOk = dialog.GetDlgItem(IDOK);
    ASSERT_TRUE(pOk);
    EXPECT_EQ(pOk->GetWindowRectInParent(), (Rect{87, 172, 147, 204}));
    EXPECT_EQ(dialog.GetClientRect(), (Rect{0, 0, 319, 229}));
    EXPECT_EQ(dialog.GetDlgItem(1000)->GetWindowText(), L"Remove the game?");
}

namespace {

// Looks at its owner from inside the modal run, on the window thread.
class OwnerCheckDialog : public Dialog
{
public:
    using Dialog::Dialog;
    std::atomic<bool> bChecked{false};
    bool bOwnerEnabled = true;

protected:
    const MessageMap& GetMessageMap() const override
    {
        static const MessageMap map(&Dialog::GetMessageMap(),
                                    {platform::OnTimer(&OwnerCheckDialog::OnTimer)});
        return map;
    }
    bool OnInitDialog() override
    {
        SetTimer(1, 1);
        return true;
    }

private:
    void OnTimer(uintptr_t)
    {
        bOwnerEnabled = GetOwner()->IsWindowEnabled();
        bChecked = true;
    }
};

} // namespace

TEST_F(WindowSystemTest, ModalRunEndsFromAnotherThreadAndReenablesTheOwner)
{
    ProbeWindow owner;
    ASSERT_TRUE(owner.Create(nullptr, Rect{0, 0, 400, 300}, WS_POPUP | WS_VISIBLE, 0));
    DialogTemplate dlg = SmallDialog();
    OwnerCheckDialog dialog(dlg, &owner);
    std::thread worker([&] {
        while (!dialog.bChecked.load())
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        dialog.EndDialog(7);
    });
    int nResult = dialog.DoModal();
    worker.join();
    EXPECT_EQ(nResult, 7);
    EXPECT_FALSE(dialog.bOwnerEnabled);
    EXPECT_TRUE(owner.IsWindowEnabled());
    EXPECT_FALSE(dialog.IsCreated());
}

namespace {

// Presses a key at itself as soon as it is up, as a user would.
class KeyDialog : public Dialog
{
public:
    KeyDialog(const DialogTemplate& dlg, uint32_t nKey) : Dialog(dlg), m_nKey(nKey) {}

protected:
    bool OnInitDialog() override
    {
        InputEvent event;
        event.nWindow = GetNativeId();
        event.nKind = InputEvent::Kind::KeyDown;
        event.nKey = m_nKey;
        WindowSystem::Get()->InjectInput(event);
        return true;
    }

private:
    uint32_t m_nKey;
};

} // namespace

TEST_F(WindowSystemTest, EnterAndEscapeEndTheDialogWithOkAndCancel)
{
    for (auto [nKey, nExpected] : {std::pair<uint32_t, int>{VK_RETURN, IDOK}, {VK_ESCAPE, IDCANCEL}}) {
        DialogTemplate dlg = SmallDialog();
        KeyDialog dialog(dlg, nKey);
        EXPECT_EQ(dialog.DoModal(), nExpected);
    }
}

TEST_F(WindowSystemTest, EditTakesTypedTextWithCaretAndSelection)
{
    ProbeWindow top;
    EditControl edit;
    ASSERT_TRUE(top.Create(nullptr, Rect{0, 0, 200, 60}, WS_POPUP | WS_VISIBLE, 0));
    ASSERT_TRUE(edit.Create(&top, Rect{10, 10, 190, 34}, WS_CHILD | WS_VISIBLE | WS_TABSTOP, 1001));
    edit.SetFocus();
    InputEvent text;
    text.nWindow = top.GetNativeId();
    text.nKind = InputEvent::Kind::Text;
    text.strText = L"player@example";
    m_pSystem->InjectInput(text);
    Key(top, VK_BACK);
    Key(top, VK_HOME);
    Key(top, VK_DELETE);
    m_pSystem->PumpPending();
    EXPECT_EQ(edit.GetWindowText(), L"layer@exampl");
    edit.SetSel(0, 5);
    text.strText = L"gamer";
    m_pSystem->InjectInput(text);
    m_pSystem->PumpPending();
    EXPECT_EQ(edit.GetWindowText(), L"gamer@exampl");
    EXPECT_EQ(edit.GetCaret(), 5u);
}

TEST_F(WindowSystemTest, StaticShowsItsIconOrItsText)
{
    ProbeWindow top(0xFFFFFF);
    StaticControl icon, text;
    ASSERT_TRUE(top.Create(nullptr, Rect{0, 0, 200, 60}, WS_POPUP | WS_VISIBLE, 0));
    ASSERT_TRUE(icon.Create(&top, Rect{10, 10, 42, 42}, WS_CHILD | WS_VISIBLE | SS_ICON, 20));
    ASSERT_TRUE(text.Create(&top, Rect{50, 10, 190, 40}, WS_CHILD | WS_VISIBLE, 21, L"Application error"));
    auto image = Image::Create(32, 32, 0xFFD04010);
    ASSERT_TRUE(image);
    image->SetPixel(0, 0, 0x00000000); // fully transparent: the parent shows through
    icon.SetIcon(&*image);
    m_pSystem->PumpPending();
    EXPECT_EQ(PixelAt(top, 10, 10), 0xFFFFFFu);
    EXPECT_EQ(PixelAt(top, 20, 20), Rgb(0xD0, 0x40, 0x10));
    int nInk = 0;
    for (int y = 10; y < 40; ++y)
        for (int x = 50; x < 190; ++x)
            nInk += PixelAt(top, x, y) != 0xFFFFFFu;
    EXPECT_GT(nInk, 50);
}
