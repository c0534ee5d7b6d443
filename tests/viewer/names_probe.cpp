// A window hook that a test sets on the viewer's thread, so that it runs
// inside the viewer's process and tells what only that process knows: its
// code page, the document names of the print jobs it has open (Wine's
// spooler keeps a job in the process that started it) and the titles given
// to its windows, also to those that live too briefly to be read from
// outside. Each report is a line of UTF-8 appended to the file that
// VISTORO_PROBE_OUT names: "acp=1252", "job=<document name>",
// "title=<window title>".
#include "base/handles.h"
#include "base/text.h"

#include <windows.h>
#include <winspool.h>

#include <string>
#include <vector>

namespace {

void report(const std::wstring &line) {
    wchar_t path[MAX_PATH];
    const DWORD n = GetEnvironmentVariableW(L"VISTORO_PROBE_OUT", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return;
    const std::string utf8 = vistoro::narrowUtf8(line + L"\n");
    const vistoro::UniqueFile file(CreateFileW(path, FILE_APPEND_DATA,
                                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                               OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file)
        WriteFile(file.get(), utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
}

void reportJob(HANDLE printer, DWORD id) {
    DWORD need = 0;
    GetJobW(printer, id, 1, nullptr, 0, &need);
    if (need == 0)
        return;
    std::vector<BYTE> buffer(need);
    if (GetJobW(printer, id, 1, buffer.data(), need, &need)) {
        const auto *job = reinterpret_cast<const JOB_INFO_1W *>(buffer.data());
        report(std::wstring(L"job=") + (job->pDocument ? job->pDocument : L""));
    }
}

void closePrinter(HANDLE printer) noexcept {
    ClosePrinter(printer);
}
using UniquePrinter = vistoro::UniqueHandle<HANDLE, vistoro::NullTraits<HANDLE, closePrinter>>;

// The open jobs of the default printer, the one the viewer prints on.
void reportJobs() {
    wchar_t name[256];
    DWORD size = 256;
    HANDLE opened = nullptr;
    if (!GetDefaultPrinterW(name, &size) || !OpenPrinterW(name, &opened, nullptr))
        return;
    const UniquePrinter owner(opened);
    const HANDLE printer = owner.get();
    DWORD need = 0, count = 0;
    EnumJobsW(printer, 0, 1000, 1, nullptr, 0, &need, &count);
    std::vector<BYTE> buffer(need);
    if (need && EnumJobsW(printer, 0, 1000, 1, buffer.data(), need, &need, &count)) {
        const auto *jobs = reinterpret_cast<const JOB_INFO_1W *>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            reportJob(printer, jobs[i].JobId);
    } else {
        // Wine lists no jobs; its job numbers count from 1 in each process.
        for (DWORD id = 1; id <= 64; ++id)
            reportJob(printer, id);
    }
}

// What the hook looks at: the code page at the first message it sees, the
// open jobs whenever a dialog starts (the print job's progress dialog is
// made once its document has started), and the title of a top-level window
// when it is set.
void observe(const CWPSTRUCT &message) {
    static bool toldCodePage = false;
    if (!toldCodePage) {
        toldCodePage = true;
        report(L"acp=" + std::to_wstring(GetACP()));
    }
    if (message.message == WM_INITDIALOG)
        reportJobs();
    if (message.message == WM_SETTEXT && message.lParam &&
        !(GetWindowLongW(message.hwnd, GWL_STYLE) & WS_CHILD))
        report(std::wstring(L"title=") + reinterpret_cast<const wchar_t *>(message.lParam));
}

} // namespace

// A WH_CALLWNDPROC hook.
extern "C" __declspec(dllexport) LRESULT CALLBACK probeHook(int code, WPARAM wp, LPARAM lp) {
    if (code == HC_ACTION) {
        try {
            observe(*reinterpret_cast<const CWPSTRUCT *>(lp));
        } catch (...) {
            // Nothing may leave a hook; a lost report shows as a failed test.
        }
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}
