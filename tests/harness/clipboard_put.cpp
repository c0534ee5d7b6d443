// Puts a file's bytes on the clipboard as one format, from a process of its
// own as another program would:   clipboard_put FORMAT FILE
// Exit code: 0 put, 1 the clipboard stayed held by someone else, 2 any
// other failure.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

int main(int argc, char **argv) {
    if (argc != 3)
        return 2;
    const UINT format = static_cast<UINT>(std::strtoul(argv[1], nullptr, 0));
    std::ifstream in(argv[2], std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in.is_open() || bytes.empty())
        return 2;
    const HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    void *p = block ? GlobalLock(block) : nullptr;
    if (!p)
        return 2;
    std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);

    // The clipboard needs an owner window, or the data cannot be set. Any
    // program may hold the clipboard a moment: a second's tries tell that
    // from a holder that does not let go.
    const HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                       GetModuleHandleW(nullptr), nullptr);
    bool open = false;
    for (int i = 0; i < 50 && !(open = OpenClipboard(owner)); ++i)
        Sleep(20);
    if (!open) {
        GlobalFree(block);
        return 1;
    }
    EmptyClipboard();
    const bool put = SetClipboardData(format, block) != nullptr;
    if (!put)
        GlobalFree(block);
    CloseClipboard();
    return put ? 0 : 2;
}
