// A top-level window made from a design of window_layout.h: its controls at the monitor's
// DPI, their fonts and colours, keyboard order, and the relayout when the DPI changes.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "win32/controls.h"
#include "app/window_layout.h"

namespace pellix::win32 {

// Control ids: the design's row id plus this base, so that a tool finds a control by the
// same number on every run (1000 + MainControl, 2000 + PreviewControl).
constexpr int kMainIdBase = 1000;
constexpr int kPreviewIdBase = 2000;

// The window class names of the two windows.
extern const wchar_t kMainWindowClass[];
extern const wchar_t kPreviewWindowClass[];

class DesignWindow {
  public:
    DesignWindow(const app::WindowDesign& design, int idBase);
    DesignWindow(const DesignWindow&) = delete;
    DesignWindow& operator=(const DesignWindow&) = delete;
    virtual ~DesignWindow();

    // The window, or null before it is created and after it is destroyed.
    HWND hwnd() const { return hwnd_; }
    // The control of row `id` (null for shapes).
    HWND Control(int id) const;

    // The number of Pellix windows alive; the program ends when it falls to zero.
    static int LiveWindows();

  protected:
    // Creates the window hidden with its client area as designed, at the DPI of the monitor
    // it lands on, and every control of the design in stacking order.
    void Create(const wchar_t* className, DWORD style, DWORD exStyle, HWND owner = nullptr);

    // The window's messages; derived windows handle theirs and pass the rest on.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Called last, when the window has been destroyed.
    virtual void OnDestroyed() {}

    unsigned dpi() const { return dpi_; }
    const app::ControlDesign& Row(int id) const { return design_.controls[id]; }
    // Moves and sizes the control of row `id` (twips, from its container) at the DPI.
    void PlaceControl(int id, const app::TwipsRect& rect);
    void SetControlVisible(int id, bool visible);
    std::string ControlText(int id) const;
    void SetControlText(int id, const std::string& text);
    // Draws the text of row `id` in `colour` instead of the design's.
    void SetControlColour(int id, const app::Colour& colour);
    // Outer position and size in twips at the window's DPI.
    app::TwipsRectF OuterTwips() const;
    // Sets the client height (twips), keeping the outer width.
    void SetClientHeight(int twips);
    // Sets the client area's size (twips).
    void SetClientTwips(int width, int height);
    // A click on the check box with control id `controlId`: checked becomes unchecked,
    // unchecked or greyed becomes checked. False when the id is not a check box's.
    bool ToggleCheckBox(int controlId);
    // Gives the focus to the control of row `id` as keyboard navigation does.
    void FocusRow(int id);
    // What screen readers say for the control of row `id` (SetAccessibleText); kept until
    // the window is destroyed.
    void SetSpokenText(int id, const std::string& name, const std::string& description = {});

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void CreateControls();
    void Relayout();
    // The design's font of row `id`, made smaller where a wrapping label's words would not
    // fit its box at this DPI (faces and hinting differ from the design's).
    HFONT FittingFont(int id, const app::FontDesign& font);
    HWND ContainerWindow(int id) const;
    void ForgetSpokenText();
    COLORREF BackOf(int id) const;      // a control's own or inherited background
    COLORREF BackBehind(int id) const;  // what shows around a button
    COLORREF WindowBack() const;
    LRESULT ControlColours(HWND child, HDC dc);

    const app::WindowDesign& design_;
    const int idBase_;
    HWND hwnd_ = nullptr;
    unsigned dpi_ = 96;
    std::vector<HWND> controls_;
    std::vector<app::TwipsRect> rects_;
    std::vector<bool> visible_;
    std::vector<app::Colour> fore_;  // each row's text colour: the design's, or as set
    HWND lastFocus_ = nullptr;
    std::vector<HWND> spoken_;  // controls given a name or description
    HICON bigIcon_ = nullptr;
    HICON smallIcon_ = nullptr;
    FontCache fonts_;
    BrushCache brushes_;
};

// The design's artwork `file` (assets/window) for a window at `dpi`: the drawing at twice
// the size above 96 DPI (`density` 2), else the 1x one; null for a file the program lacks.
HBITMAP LoadArtwork(const char* file, unsigned dpi, int& density);

// UTF-8 to UTF-16 for the window's texts; bytes that are not UTF-8 become U+FFFD.
std::wstring Wide(const std::string& text);

}  // namespace pellix::win32
