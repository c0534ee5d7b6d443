// What a desktop shares with a program, as a test plays it: files dropped
// from a file manager, and the clipboard.
#include "harness/harness.h"

#include "base/text.h"

#include <atomic>
#include <cstdio>

namespace harness {

namespace {

// The host tool's Unix path, when the build made it (tests/CMakeLists.txt).
#ifdef VISTORO_XDND_DROP
constexpr const char *kDropTool = VISTORO_XDND_DROP;
#else
constexpr const char *kDropTool = "";
#endif

// Wine's own export, absent on Windows: the Unix name of a Windows path
// (any drive), allocated on the process heap.
using UnixNameFn = char *(CDECL *)(const wchar_t *);

UnixNameFn unixNameFn() {
    static const auto fn = reinterpret_cast<UnixNameFn>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32"), "wine_get_unix_file_name")));
    return fn;
}

std::optional<std::string> unixPath(const std::string &windowsPath) {
    if (const UnixNameFn fn = unixNameFn())
        if (char *name = fn(vistoro::widen(windowsPath).c_str())) {
            std::string out = name;
            HeapFree(GetProcessHeap(), 0, name);
            return out;
        }
    // Wine finds no name where a folder is missing; drive Z: is the Unix
    // root all the same, so a dropped name that is gone still travels.
    if (windowsPath.size() > 2 && (windowsPath[0] == 'Z' || windowsPath[0] == 'z') &&
        windowsPath[1] == ':') {
        std::string out = windowsPath.substr(2);
        for (char &c : out)
            if (c == '\\')
                c = '/';
        return out;
    }
    return std::nullopt;
}

// A Unix path as Wine shows it on drive Z:.
std::wstring onDriveZ(const std::string &unixPath) {
    std::wstring out = L"Z:" + vistoro::widen(unixPath);
    for (wchar_t &c : out)
        if (c == L'/')
            c = L'\\';
    return out;
}

// One word for /bin/sh, whatever it holds.
std::string shellQuote(const std::string &s) {
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool writeBytes(const std::wstring &path, const std::string &bytes) {
    const HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool ok =
        WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
        written == bytes.size();
    CloseHandle(f);
    return ok;
}

std::optional<std::string> readBytes(const std::wstring &path) {
    const HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE)
        return std::nullopt;
    char buf[64];
    DWORD got = 0;
    const bool ok = ReadFile(f, buf, sizeof buf, &got, nullptr);
    CloseHandle(f);
    return ok ? std::optional<std::string>(std::string(buf, got)) : std::nullopt;
}

// Runs the drop tool and gives its exit code. Wine starts a Unix program
// from CreateProcess but hands back no handle to wait on, so a script runs
// it and leaves the code in a file, renamed into place once written; the
// script also carries the names as bytes, past any code-page conversion
// of a command line.
std::optional<int> runDropTool(int x, int y, const std::vector<std::string> &unixPaths) {
    static std::atomic<unsigned> counter{0};
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring base = std::wstring(temp) + L"vistoro-drop-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
    const std::wstring script = base + L".sh", result = base + L".rc";
    const auto unixScript = unixPath(vistoro::narrowUtf8(script));
    const auto unixResult = unixPath(vistoro::narrowUtf8(result));
    if (!unixScript || !unixResult)
        return std::nullopt;

    std::string text = shellQuote(kDropTool) + " " + std::to_string(x) + " " + std::to_string(y);
    for (const auto &p : unixPaths)
        text += " " + shellQuote(p);
    text += "\necho $? >" + shellQuote(*unixResult + ".part") + " && mv " +
            shellQuote(*unixResult + ".part") + " " + shellQuote(*unixResult) + "\n";
    if (!writeBytes(script, text))
        return std::nullopt;

    std::wstring cmd = L"/bin/sh " + vistoro::widen(quoteArg(*unixScript));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION info{};
    std::optional<std::string> code;
    if (CreateProcessW(nullptr, cmd.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                       &info)) {
        if (info.hThread)
            CloseHandle(info.hThread);
        if (info.hProcess)
            CloseHandle(info.hProcess);
        // The tool bounds each of its waits to 5 s; this outlasts them all.
        waitUntil([&] { return (code = readBytes(result)).has_value(); }, Millis{20000});
    }
    DeleteFileW(script.c_str());
    DeleteFileW(result.c_str());
    if (!code || code->empty())
        return std::nullopt;
    return std::atoi(code->c_str());
}

// Opens the clipboard for this thread, trying again for a while: another
// program (Wine's own clipboard manager among them) may hold it a moment.
bool openClipboard(HWND owner, Millis wait) {
    return waitUntil([&] { return OpenClipboard(owner) != FALSE; }, wait, Millis{10});
}

} // namespace

bool canDropFiles() {
    return *kDropTool && unixNameFn() &&
           GetFileAttributesW(onDriveZ(kDropTool).c_str()) != INVALID_FILE_ATTRIBUTES &&
           GetFileAttributesW(onDriveZ("/bin/sh").c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool dropFiles(int x, int y, const std::vector<std::string> &windowsPaths) {
    if (!canDropFiles()) {
        std::fprintf(stderr, "dropFiles: no drop tool here\n");
        return false;
    }
    std::vector<std::string> unixPaths;
    for (const auto &p : windowsPaths) {
        const auto u = unixPath(p);
        if (!u) {
            std::fprintf(stderr, "dropFiles: no Unix name for %s\n", p.c_str());
            return false;
        }
        unixPaths.push_back(*u);
    }
    const auto code = runDropTool(x, y, unixPaths);
    if (!code)
        std::fprintf(stderr, "dropFiles: the drop tool gave no answer\n");
    return code == 0;
}

bool clipboardHolds(UINT format) {
    return IsClipboardFormatAvailable(format) != FALSE;
}

std::optional<std::string> clipboardBytes(UINT format) {
    if (!openClipboard(nullptr, Millis{5000}))
        return std::nullopt;
    std::optional<std::string> bytes;
    if (const HANDLE data = GetClipboardData(format))
        if (const void *p = GlobalLock(data)) {
            bytes.emplace(static_cast<const char *>(p), GlobalSize(data));
            GlobalUnlock(data);
        }
    CloseClipboard();
    return bytes;
}

ClipboardHold::ClipboardHold(Millis wait) {
    wnd_ = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
    held_ = wnd_ && openClipboard(wnd_, wait);
}

ClipboardHold::~ClipboardHold() {
    if (held_)
        CloseClipboard();
    if (wnd_)
        DestroyWindow(wnd_);
}

} // namespace harness
