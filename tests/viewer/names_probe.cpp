// A window hook that a test sets on the viewer's thread, so that it runs
// inside the viewer's process and tells what only that process knows: its
// code page, the document names of the print jobs it has open (Wine's
// spooler keeps a job in the process that started it) and the titles given
// to its windows, also to those that live too briefly to be read from
// outside. Each report is a line of UTF-8 appended to the file that
// VISTORO_PROBE_OUT names: "acp=1252", "job=<document name>",
// "title=<window title>".
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
    const std::wstring text = line + L"\n";
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), size,
                        nullptr, nullptr);
    const HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return;
    DWORD written = 0;
    WriteFile(file, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr);
    CloseHandle(file);
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

// The open jobs of the default printer, the one the viewer prints on.
void reportJobs() {
    wchar_t name[256];
    DWORD size = 256;
    HANDLE printer = nullptr;
    if (!GetDefaultPrinterW(name, &size) || !OpenPrinterW(name, &printer, nullptr))
        return;
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
    ClosePrinter(printer);
}

} // namespace

// A WH_CALLWNDPROC hook: the code page at the first message it sees, the
// open jobs whenever a dialog starts (the print job's progress dialog is
// made once its document has started), and the title of a top-level window
// when it is set.
extern "C" __declspec(dllexport) LRESULT CALLBACK probeHook(int code, WPARAM wp, LPARAM lp) {
    static bool toldCodePage = false;
    if (code == HC_ACTION) {
        if (!toldCodePage) {
            toldCodePage = true;
            report(L"acp=" + std::to_wstring(GetACP()));
        }
        const auto *message = reinterpret_cast<const CWPSTRUCT *>(lp);
        if (message->message == WM_INITDIALOG)
            reportJobs();
        if (message->message == WM_SETTEXT && message->lParam &&
            !(GetWindowLongW(message->hwnd, GWL_STYLE) & WS_CHILD))
            report(std::wstring(L"title=") + reinterpret_cast<const wchar_t *>(message->lParam));
    }
    return CallNextHookEx(nullptr, code, wp, lp);
}
