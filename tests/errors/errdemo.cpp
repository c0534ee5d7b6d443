// A small window program for the handler's end-to-end test. Started with a
// mode and a folder for its marker files, it raises one error from inside
// its window procedure, behind a recovery point:
//   abandon     an access-denied error: told, abandoned, the program goes on
//   unexpected  a C++ exception: the report question, then the end
//   fault       a write to an invalid address: the same report, then the end
//   overflow    a recursion that runs out of stack: the same
//   escape      a C++ exception thrown outside every recovery point: the same
// A shut-down routine writes "shutdown.txt" whichever way the program ends.
#include "errors/handler.h"
#include "toolkit/wrappers.h"

#include <windows.h>

#include <cstdint>
#include <fstream>
#include <stdexcept>
#include <string>

namespace {

std::string g_mode;
std::string g_dir;

void writeMarker(const std::string &name, const std::string &text) {
    std::ofstream(g_dir + "\\" + name) << text;
}

void OPENDATA() {
    vistoro::TrailFrame f;
    vistoro::ErrorObject e;
    e.osCode = 5;
    e.genCode = 21;
    e.subSystem = "DBFNTX";
    e.filename = "c:\\dati\\prova.txt";
    e.canDefault = true;
    vistoro::raiseError(e);
    writeMarker("after-raise.txt", "the operation went on"); // must never run
}

void RAISEUNEXPECTED() {
    vistoro::TrailFrame f;
    throw std::runtime_error("prova & 100% #1; fine");
}

void WRITEFAULT() {
    vistoro::TrailFrame f;
    volatile std::uintptr_t address = 0x10;
    *reinterpret_cast<volatile int *>(address) = 1;
}

volatile int g_depthLimit = 1 << 30; // far beyond any stack

void RECURSE(int depth) {
    vistoro::TrailFrame f;
    volatile char block[4096];
    block[0] = static_cast<char>(depth);
    if (depth < g_depthLimit)
        RECURSE(depth + 1);
    block[1] = block[0];
}

void ESCAPING() {
    vistoro::TrailFrame f;
    throw std::logic_error("nessun punto di ripresa");
}

LRESULT CALLBACK windowProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp) {
    LRESULT result = 0;
    const bool done = vistoro::recoveryPoint([&] {
        vistoro::TrailFrame f("WINDOWPROC", 0);
        switch (msg) {
        case WM_APP:
            if (g_mode == "abandon")
                OPENDATA();
            else if (g_mode == "unexpected")
                RAISEUNEXPECTED();
            else if (g_mode == "fault")
                WRITEFAULT();
            else if (g_mode == "overflow")
                RECURSE(0);
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            break;
        default:
            result = DefWindowProcW(wnd, msg, wp, lp);
        }
    });
    if (!done && msg == WM_APP) {
        writeMarker("resumed.txt", "after the recovery point");
        SetWindowTextA(wnd, "Errdemo ripreso");
    }
    return result;
}

} // namespace

int main(int argc, char **argv) {
    vistoro::ERRORSYS();
    if (argc < 3)
        return 2;
    g_mode = argv[1];
    g_dir = argv[2];
    vistoro::ShutdownRoutine marker([] { writeMarker("shutdown.txt", "shut-down routines ran"); });
    if (g_mode == "escape")
        ESCAPING();

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wc.lpszClassName = L"VistoroErrDemo";
    if (!vistoro::registerWindowClass(wc))
        return 3;
    HWND wnd = CreateWindowA("VistoroErrDemo", "Errdemo", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 100,
                             100, 300, 200, nullptr, nullptr, wc.hInstance, nullptr);
    if (!wnd)
        return 4;
    PostMessageA(wnd, WM_APP, 0, 0);
    MSG m;
    while (GetMessageA(&m, nullptr, 0, 0) > 0) {
        TranslateMessage(&m);
        DispatchMessageA(&m);
    }
    return 0;
}
