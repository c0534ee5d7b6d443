#include "util/filedlg.h"

#include "toolkit/wrappers.h"
#include "util/late_bound.h"
#include "base/text.h"

#include <windows.h>

#include <commdlg.h>

#include <vector>

namespace vistoro {

std::wstring fileDialogFilter(const std::string &filter) {
    std::wstring w = widen(leftChars(filter, 399));
    for (wchar_t &c : w)
        if (c == L'|')
            c = L'\0';
    w.push_back(L'\0');
    w.push_back(L'\0');
    return w;
}

std::string CGETFILE(const GetFileArgs &args) {
    if (!args.cFilter && !args.cTitle && !args.nIndex && !args.cInitDir)
        return "";
    const std::wstring filter = fileDialogFilter(args.cFilter.value_or(""));
    const std::wstring title = widen(leftChars(args.cTitle.value_or("Select the file"), 255));
    const std::wstring initDir = widen(leftChars(args.cInitDir.value_or(""), 255));

    // 512 characters of path; the wide call returns them whole, and the
    // UTF-8 result grows as the multi-byte text needs.
    std::vector<wchar_t> path(512, L'\0');
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = GETACTIVEWINDOW();
    ofn.lpstrFilter = filter.c_str();
    ofn.nFilterIndex = static_cast<DWORD>(args.nIndex.value_or(0) ? *args.nIndex : 1);
    ofn.lpstrFile = path.data();
    ofn.nMaxFile = static_cast<DWORD>(path.size());
    ofn.lpstrInitialDir = initDir.empty() ? nullptr : initDir.c_str();
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    using OpenCall = decltype(&::GetOpenFileNameW);
    static const OpenCall open = lateBound<OpenCall>(L"comdlg32.dll", "GetOpenFileNameW");
    if (!open || !open(&ofn))
        return "";
    return narrowUtf8(path.data());
}

} // namespace vistoro
