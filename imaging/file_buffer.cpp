#include "imaging/file_buffer.h"

#include "imaging/decode_probe.h"

#include <limits>

namespace vistoro {

namespace {

// Reads the whole file into a new block; empty when anything fails.
UniqueGlobal readWhole(const std::wstring &name) {
    // Others may read, write or delete the file meanwhile: it is open only
    // for the time of this one read.
    UniqueFile file(::CreateFileW(name.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return {};
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size))
        return {};
    // An empty file has nothing to decode; one over 2 GiB cannot be held by
    // a 32-bit process in one block.
    if (size.QuadPart <= 0 || size.QuadPart > std::numeric_limits<LONG>::max())
        return {};
    const auto bytes = static_cast<DWORD>(size.QuadPart);

    UniqueGlobal block;
    if (!detail::faultAt(DecodeFault::allocBlock))
        block.reset(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes));
    if (!block)
        return {};
    DWORD read = 0;
    {
        GlobalLockGuard lock(block.get());
        if (!lock.get())
            return {};
        if (!::ReadFile(file.get(), lock.get(), bytes, &read, nullptr))
            read = 0;
        file.reset();
    }
    if (detail::faultAt(DecodeFault::shortRead))
        read = bytes - 1;
    if (read != bytes)
        return {};
    return block;
}

} // namespace

UniqueStream streamOverFile(const std::wstring &name) {
    UniqueGlobal block = readWhole(name);
    if (!block)
        return {};
    UniqueStream stream;
    if (detail::faultAt(DecodeFault::makeStream) ||
        ::CreateStreamOnHGlobal(block.get(), TRUE, stream.put()) != S_OK) {
        stream.release(); // the call may leave garbage there; the block is still ours
        return {};
    }
    block.release(); // the stream owns it now
    return stream;
}

} // namespace vistoro
