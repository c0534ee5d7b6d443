// Stands in for a mail program in the handler's end-to-end test: writes the
// address it was started with to the file named by VISTORO_MAIL_CAPTURE,
// through a temporary name so a reader never sees half of it.
#include <windows.h>

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
    char target[MAX_PATH * 4];
    const DWORD n = GetEnvironmentVariableA("VISTORO_MAIL_CAPTURE", target, sizeof target);
    if (n == 0 || n >= sizeof target || argc < 2)
        return 1;
    const std::string temp = std::string(target) + ".part";
    FILE *f = std::fopen(temp.c_str(), "wb");
    if (!f)
        return 1;
    const std::string address = argv[1];
    const bool written = std::fwrite(address.data(), 1, address.size(), f) == address.size();
    if (std::fclose(f) != 0 || !written)
        return 1;
    return MoveFileExA(temp.c_str(), target, MOVEFILE_REPLACE_EXISTING) ? 0 : 1;
}
