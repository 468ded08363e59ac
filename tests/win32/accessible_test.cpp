// What a screen reader reads of the Win32 windows through the accessibility API: each
// control the keyboard reaches says the shared table's name (else its caption) and
// description. Wine (8) takes no annotations: there only the captions can be read.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <oleacc.h>

#include <string>

#include "builder/app_directory.h"
#include "display.h"
#include "win32/accessible_text.h"
#include "win32/main_window.h"

namespace pellix::win32 {
namespace {

// get_accName (or get_accDescription) of the control's accessible object.
std::wstring Read(HWND control, bool description = false) {
    IAccessible* object = nullptr;
    std::wstring text;
    if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                            IID_IAccessible, reinterpret_cast<void**>(&object))))
        return text;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR got = nullptr;
    if ((description ? object->get_accDescription(self, &got) : object->get_accName(self, &got)) ==
            S_OK &&
        got != nullptr)
        text = got;
    ::SysFreeString(got);
    object->Release();
    return text;
}

void ExpectNamed(const DesignWindow& window, const app::WindowDesign& design, bool annotated) {
    for (int id : app::TabOrder(design)) {
        const app::SpokenControl table = app::Spoken(design, id);
        SCOPED_TRACE(design.controls[id].name);
        if (table.name.empty()) {
            EXPECT_EQ(Read(window.Control(id)), Wide(design.controls[id].caption));
        } else if (annotated) {
            EXPECT_EQ(Read(window.Control(id)), Wide(table.name));
            EXPECT_EQ(Read(window.Control(id), true), Wide(table.description));
        }
    }
}

TEST(Accessible, EveryControlTheKeyboardReachesIsNamed) {
    PELLIX_REQUIRE_DISPLAY();
    const HRESULT com = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetApplicationDirectory(PELLIX_ASSETS_DIR);  // its gfx/ serves the preview
    MainWindow main;
    main.Open(SW_SHOWNORMAL);
    // Whether this platform keeps annotations (wine 8 does not).
    const bool annotated = SetAccessibleText(main.hwnd(), "probe", "");
    ClearAccessibleText(main.hwnd());
    ExpectNamed(main, app::MainWindowDesign(), annotated);

    main.SetText(app::MainControl::txtTitle1, "Pellix Quest");
    main.logic().OnPreview();
    auto* preview = dynamic_cast<DesignWindow*>(main.logic().Preview().Current());
    ASSERT_NE(preview, nullptr);
    ExpectNamed(*preview, app::PreviewWindowDesign(), annotated);
    if (annotated) {
        EXPECT_NE(Read(preview->Control(static_cast<int>(app::PreviewControl::picBG)))
                      .find(L"Pellix Quest"),
                  std::wstring::npos);
    }
    ::DestroyWindow(preview->hwnd());
    SetApplicationDirectory("");
    if (SUCCEEDED(com)) ::CoUninitialize();
}

}  // namespace
}  // namespace pellix::win32
