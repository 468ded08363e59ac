// Keyboard order in design order across panels, skipping what cannot take the focus, and
// the pump that keeps the windows live during a build.
#include <gtest/gtest.h>

#include <windows.h>

#include "display.h"
#include "win32/event_pump.h"

namespace pellix::win32 {
namespace {

HWND Child(const wchar_t* cls, HWND parent, int x, int y, DWORD extra = 0) {
    return ::CreateWindowExW(0, cls, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | extra, x, y, 80, 20,
                             parent, nullptr, nullptr, nullptr);
}

// A window with a panel 40 pixels high holding one box inside it and one below its edge,
// plus a disabled button, a hidden box and two plain boxes: order F A B C D E.
class Navigation : public ::testing::Test {
  protected:
    void SetUp() override {
        PELLIX_REQUIRE_DISPLAY();
        top = ::CreateWindowExW(0, L"STATIC", L"navigation", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                400, 300, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(top, nullptr);
        panel = ::CreateWindowExW(WS_EX_CONTROLPARENT, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0,
                                  100, 300, 40, top, nullptr, nullptr, nullptr);
        a = Child(L"EDIT", top, 0, 0);
        b = Child(L"EDIT", panel, 0, 10);
        c = Child(L"EDIT", panel, 0, 60);  // below the panel's edge: cut away
        d = Child(L"BUTTON", top, 0, 30, WS_DISABLED);
        e = ::CreateWindowExW(0, L"EDIT", L"", WS_CHILD | WS_TABSTOP, 0, 60, 80, 20, top, nullptr,
                              nullptr, nullptr);
        f = Child(L"EDIT", top, 100, 0);
        SetNavigation(top, {f, a, b, c, d, e});
    }
    void TearDown() override {
        if (top == nullptr) return;
        ForgetNavigation(top);
        ::DestroyWindow(top);
    }
    HWND top{}, panel{}, a{}, b{}, c{}, d{}, e{}, f{};
};

TEST_F(Navigation, TabSkipsWhatCannotTakeTheFocusAndWraps) {
    struct Step {
        HWND from;
        bool backwards;
        HWND to;
    };
    const Step steps[] = {
        {f, false, a},      {a, false, b}, {b, false, f},        // C cut away, D disabled, E hidden
        {f, true, b},       {a, true, f},  {nullptr, false, f},  // from outside: the first
        {nullptr, true, b},                                      // backwards from outside: the last
    };
    for (const Step& s : steps) EXPECT_EQ(NextTabStop(top, s.from, s.backwards), s.to);
    EXPECT_EQ(FirstTabStop(top), f);
    EXPECT_FALSE(CanTakeFocus(c));

    // The panel grows (the customisation panel unfolds): C can be reached.
    ::SetWindowPos(panel, nullptr, 0, 0, 300, 100, SWP_NOMOVE | SWP_NOZORDER);
    EXPECT_TRUE(CanTakeFocus(c));
    EXPECT_EQ(NextTabStop(top, b, false), c);
    EXPECT_EQ(NextTabStop(top, nullptr, false), f);
    EXPECT_EQ(NextTabStop(::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, nullptr, nullptr,
                                            nullptr, nullptr),
                          a, false),
              nullptr)
        << "a window without an order has no next stop";
}

TEST_F(Navigation, TabKeyMovesTheFocusInDesignOrder) {
    FocusControl(a);
    ASSERT_EQ(::GetFocus(), a);
    MSG tab{a, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_TRUE(TranslateNavigation(tab));
    EXPECT_EQ(::GetFocus(), b);
    MSG other{nullptr, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    EXPECT_FALSE(TranslateNavigation(other)) << "thread messages are not navigation";
}

TEST(EventPump, DispatchesWhatIsWaitingAndLeavesQuitForTheMainLoop) {
    PELLIX_REQUIRE_DISPLAY();
    static int seen = 0;
    seen = 0;
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_APP) seen += static_cast<int>(wp);
        return ::DefWindowProcW(w, m, wp, lp);
    };
    wc.lpszClassName = L"PumpTest";
    ::RegisterClassW(&wc);
    HWND window =
        ::CreateWindowExW(0, L"PumpTest", L"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    ::PostMessageW(window, WM_APP, 1, 0);
    ::PostMessageW(window, WM_APP, 2, 0);
    DispatchPending();
    EXPECT_EQ(seen, 3);

    ::PostQuitMessage(7);
    DispatchPending();
    MSG msg{};
    ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "WM_QUIT kept";
    EXPECT_EQ(msg.wParam, 7u);
    ::DestroyWindow(window);
}

}  // namespace
}  // namespace pellix::win32
