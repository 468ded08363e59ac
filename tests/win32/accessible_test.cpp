// What a screen reader reads of the Win32 windows through the platform's accessibility API:
// each control the keyboard reaches says the shared table's name (else its caption) and
// description, and the preview's pictures say what they show.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>
#include <oleacc.h>

#include <cstdio>
#include <string>
#include <utility>

#include "builder/app_directory.h"
#include "display.h"
#include "win32/accessible_text.h"
#include "win32/main_window.h"
#include "win32/preview_window.h"

namespace pellix::win32 {
namespace {

using app::MainControl;
using app::PreviewControl;

struct Spoken {
    std::wstring name, description;
};

// What AccessibleObjectFromWindow and get_accName/get_accDescription give for `control`.
Spoken Read(HWND control) {
    Spoken spoken;
    IAccessible* object = nullptr;
    if (FAILED(::AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT),
                                            IID_IAccessible, reinterpret_cast<void**>(&object))))
        return spoken;
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR text = nullptr;
    if (object->get_accName(self, &text) == S_OK && text != nullptr) spoken.name = text;
    ::SysFreeString(std::exchange(text, nullptr));
    if (object->get_accDescription(self, &text) == S_OK && text != nullptr)
        spoken.description = text;
    ::SysFreeString(text);
    object->Release();
    return spoken;
}

class AccessibleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PELLIX_REQUIRE_DISPLAY();
        MSG quit;
        while (::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
        }
        com_ = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        // The installation's gfx/ is the source tree's.
        SetApplicationDirectory(PELLIX_ASSETS_DIR);
        // Wine (8) takes no annotations: there only names from captions can be read.
        HWND probe = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                       nullptr, nullptr);
        annotations_ = SetAccessibleText(probe, "probe", "");
        ClearAccessibleText(probe);
        ::DestroyWindow(probe);
        if (!annotations_) std::printf("note: this platform serves no annotated names\n");
        main_.Open(SW_SHOWNORMAL);
    }
    void TearDown() override {
        SetApplicationDirectory("");
        if (SUCCEEDED(com_)) ::CoUninitialize();
    }
    // Every control of `window` that takes the focus reads as the table says.
    void ExpectNamed(const DesignWindow& window, const app::WindowDesign& design) {
        for (int id : app::TabOrder(design)) {
            const app::SpokenControl table = app::Spoken(design, id);
            SCOPED_TRACE(design.controls[id].name);
            const Spoken read = Read(window.Control(id));
            if (table.name.empty()) {
                EXPECT_EQ(read.name, Wide(design.controls[id].caption));
            } else if (annotations_) {
                EXPECT_EQ(read.name, Wide(table.name));
                EXPECT_EQ(read.description, Wide(table.description));
            }
        }
    }

    HRESULT com_ = E_FAIL;
    bool annotations_ = false;
    MainWindow main_;
};

TEST_F(AccessibleTest, EveryControlTheKeyboardReachesIsNamed) {
    ExpectNamed(main_, app::MainWindowDesign());
    // A caption that changes is read as it is now.
    main_.logic().OnCustomize();
    EXPECT_EQ(Read(main_.Control(static_cast<int>(MainControl::cmdCustomize))).name,
              Wide(app::kPanelUnfolded.caption));

    main_.SetText(MainControl::txtTitle1, "Pellix Quest");
    main_.logic().OnPreview();
    auto* preview = dynamic_cast<PreviewWindow*>(main_.logic().Preview().Current());
    ASSERT_NE(preview, nullptr);
    ExpectNamed(*preview, app::PreviewWindowDesign());
    if (annotations_) {
        const std::wstring entry =
            Read(preview->Control(static_cast<int>(PreviewControl::picBG))).name;
        EXPECT_NE(entry.find(L"Pellix Quest"), std::wstring::npos) << entry;
    }
    ::DestroyWindow(preview->hwnd());
}

}  // namespace
}  // namespace pellix::win32
