// Direct annotation of the controls' standard accessible objects (IAccPropServices).
#include "win32/accessible_text.h"

#include <initguid.h>  // defines the annotation GUIDs here: no import of oleacc.dll
#include <objbase.h>
#include <oleacc.h>

#include "win32/design_window.h"

namespace pellix::win32 {

namespace {

// The annotation service, released when the call is done.
class PropServices {
  public:
    PropServices() {
        if (FAILED(::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IAccPropServices, reinterpret_cast<void**>(&services_))))
            services_ = nullptr;
    }
    ~PropServices() {
        if (services_ != nullptr) services_->Release();
    }
    PropServices(const PropServices&) = delete;
    PropServices& operator=(const PropServices&) = delete;
    IAccPropServices* operator->() const { return services_; }
    explicit operator bool() const { return services_ != nullptr; }

  private:
    IAccPropServices* services_ = nullptr;
};

bool Annotate(const PropServices& services, HWND control, const MSAAPROPID& property,
              const std::string& text) {
    if (text.empty()) return true;
    return SUCCEEDED(services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT),
                                              CHILDID_SELF, property, Wide(text).c_str()));
}

}  // namespace

bool SetAccessibleText(HWND control, const std::string& name, const std::string& description) {
    const PropServices services;
    if (!services) return false;
    const bool named = Annotate(services, control, PROPID_ACC_NAME, name);
    const bool described = Annotate(services, control, PROPID_ACC_DESCRIPTION, description);
    return named && described;
}

void ClearAccessibleText(HWND control) {
    const PropServices services;
    if (!services) return;
    MSAAPROPID properties[] = {PROPID_ACC_NAME, PROPID_ACC_DESCRIPTION};
    services->ClearHwndProps(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, properties,
                             2);
}

}  // namespace pellix::win32
