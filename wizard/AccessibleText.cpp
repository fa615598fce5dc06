#include "wizard/AccessibleText.h"

#include <initguid.h>
#include <oleacc.h>

#include "system/ComPtr.h"
#include "system/Utf8.h"
#include "wizard/WindowText.h"

void SetAccessibleNameAndDescription(HWND window, const std::string& name, const std::string& description) {
    // The system's accessible object of a window is named by its text.
    SetWindowTextUtf8(window, name);
    // A description has no window text to come from: the accessibility
    // layer keeps it as an annotation of the window. Without that service
    // the name alone is given.
    ComPtr<IAccPropServices> services;
    if (SUCCEEDED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                   services.putVoid())))
        services->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_DESCRIPTION,
                                 Widen(description).c_str());
    NotifyWinEvent(EVENT_OBJECT_NAMECHANGE, window, OBJID_CLIENT, CHILDID_SELF);
    NotifyWinEvent(EVENT_OBJECT_DESCRIPTIONCHANGE, window, OBJID_CLIENT, CHILDID_SELF);
}
