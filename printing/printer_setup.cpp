#include "printing/printer_setup.h"

#include "base/text.h"
#include "printing/printer_calls.h"
#include "util/late_bound.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <utility>

namespace vistoro {

namespace {

detail::PrintDialogCall printDialogCall = nullptr;

BOOL callPrintDialog(PRINTDLGW &pd) {
    if (printDialogCall)
        return printDialogCall(&pd);
    using DialogCall = decltype(&::PrintDlgW);
    static const DialogCall dialog = lateBound<DialogCall>(L"comdlg32.dll", "PrintDlgW");
    return dialog ? dialog(&pd) : FALSE;
}

// The selection record. Made at first use from the default printer; its
// device-mode and device-names blocks live until the program ends, lent to
// the dialog's record only for the length of a dialog call.
struct Selection {
    PRINTDLGW pd{};
    UniqueGlobal devMode;
    UniqueGlobal devNames;

    Selection() {
        pd.lStructSize = sizeof pd;
        pd.hwndOwner = ::GetActiveWindow();
        pd.Flags = PD_RETURNDEFAULT;
        pd.nFromPage = 1;
        pd.nToPage = 1;
        pd.nMinPage = 1;
        pd.nMaxPage = 0xFFFF;
        pd.nCopies = 1;
        // No dialog is shown: the platform fills the blocks for the default
        // printer, and leaves them 0 when there is none.
        runDialog();
        // The default query makes no context; one made anyway is dropped.
        UniqueDC unused(std::exchange(pd.hDC, nullptr));
    }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;

    // The dialog call over the record. The call may free the blocks it was
    // given and put new ones in their place, so the owners let go of them
    // for the call and take back whatever the record holds afterwards.
    BOOL runDialog() {
        pd.hDevMode = devMode.release();
        pd.hDevNames = devNames.release();
        ScopeExit takeBack([this]() noexcept {
            devMode.reset(std::exchange(pd.hDevMode, nullptr));
            devNames.reset(std::exchange(pd.hDevNames, nullptr));
        });
        return callPrintDialog(pd);
    }
};

Selection &selection() {
    static Selection s;
    return s;
}

// The locked device mode when its block holds the orientation field.
class DevModeLock {
  public:
    explicit DevModeLock(HGLOBAL h) noexcept : lock_(h) {
        if (lock_.get() && ::GlobalSize(h) >= offsetof(DEVMODEW, dmOrientation) + sizeof(short))
            dm_ = static_cast<DEVMODEW *>(lock_.get());
    }
    DEVMODEW *get() const noexcept { return dm_; }

  private:
    GlobalLockGuard lock_;
    DEVMODEW *dm_ = nullptr;
};

bool setOrientation(short value) {
    Selection &s = selection();
    if (!s.devMode)
        return false;
    DevModeLock lock(s.devMode.get());
    if (!lock.get())
        return false;
    lock.get()->dmOrientation = value;
    return true;
}

// One name of a locked DEVNAMES block, kept within the block; its offset
// counts characters.
std::string devName(const void *names, SIZE_T size, WORD offset) {
    const SIZE_T chars = size / sizeof(wchar_t);
    if (offset >= chars)
        return {};
    const wchar_t *text = static_cast<const wchar_t *>(names) + offset;
    return narrowUtf8(std::wstring_view(text, ::wcsnlen(text, chars - offset)));
}

struct DeviceNames {
    std::string driver, device, port;
};

// The selection's names, read within their block; nothing without a
// printer or when the block cannot be read.
std::optional<DeviceNames> deviceNames(const Selection &s) {
    if (!s.devNames)
        return std::nullopt;
    GlobalLockGuard names(s.devNames.get());
    const SIZE_T size = ::GlobalSize(s.devNames.get());
    if (!names.get() || size < sizeof(DEVNAMES))
        return std::nullopt;
    DEVNAMES dn;
    std::memcpy(&dn, names.get(), sizeof dn);
    return DeviceNames{devName(names.get(), size, dn.wDriverOffset),
                       devName(names.get(), size, dn.wDeviceOffset),
                       devName(names.get(), size, dn.wOutputOffset)};
}

} // namespace

UniqueDC PRINTERSETUP(std::optional<HWND> hWndOwner) {
    Selection &s = selection();
    s.pd.hwndOwner = hWndOwner ? *hWndOwner : ::GetActiveWindow();
    s.pd.Flags = PD_PRINTSETUP | PD_RETURNDC | PD_USEDEVMODECOPIESANDCOLLATE;
    s.pd.hDC = nullptr;
    if (!s.runDialog())
        return {};
    return UniqueDC(std::exchange(s.pd.hDC, nullptr));
}

bool PSETUP() { return static_cast<bool>(PRINTERSETUP()); }

int PRNGETORIENTATION() {
    Selection &s = selection();
    if (!s.devMode)
        return 0;
    DevModeLock lock(s.devMode.get());
    return lock.get() ? lock.get()->dmOrientation : 0;
}

bool PRNPORTRAIT() { return setOrientation(kPortrait); }

bool PRNLANDSCAPE() { return setOrientation(kLandscape); }

namespace {
// Without a device mode the printer's own defaults apply; a device mode
// that cannot be read gives no context rather than the wrong settings.
UniqueDC contextWithSelectionMode(const Selection &s, const std::string &driver,
                                  const std::string &device, const std::string &port) {
    std::optional<GlobalLockGuard> mode;
    if (s.devMode) {
        mode.emplace(s.devMode.get());
        if (!mode->get())
            return {};
    }
    const std::wstring wdriver = widen(driver), wdevice = widen(device), wport = widen(port);
    return UniqueDC(printerCalls().createDC(
        wdriver.c_str(), wdevice.c_str(), wport.empty() ? nullptr : wport.c_str(),
        mode ? static_cast<const DEVMODEW *>(mode->get()) : nullptr));
}
} // namespace

UniqueDC GETPRINTDEFAULT() {
    Selection &s = selection();
    const auto names = deviceNames(s);
    if (!names)
        return {};
    return contextWithSelectionMode(s, names->driver, names->device, names->port);
}

UniqueDC PRINTERDCFROMNAME(const std::string &cDriver, const std::string &cDevice,
                           const std::string &cPort) {
    return contextWithSelectionMode(selection(), cDriver, cDevice, cPort);
}

std::string PRNGETNAME() {
    const auto names = deviceNames(selection());
    return names ? names->device : std::string();
}

namespace detail {
void setPrintDialogCall(PrintDialogCall call) noexcept { printDialogCall = call; }
} // namespace detail

} // namespace vistoro
