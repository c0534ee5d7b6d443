#include "imaging/file_buffer.h"

#include "imaging/decode_probe.h"

#include <cstring>
#include <limits>

namespace vistoro {

namespace {

// Reads the whole file into a new block of `bytes` bytes; empty when
// anything fails.
UniqueGlobal readWhole(const std::wstring &name, DWORD &bytes) {
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
    bytes = static_cast<DWORD>(size.QuadPart);

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

// A stream of `bytes` bytes that owns the block; empty (the block freed)
// when none can be made. The block may be larger than asked for, and the
// stream would otherwise take its whole size.
UniqueStream streamOwning(UniqueGlobal block, DWORD bytes) {
    if (!block)
        return {};
    UniqueStream stream;
    if (detail::faultAt(DecodeFault::makeStream) ||
        ::CreateStreamOnHGlobal(block.get(), TRUE, stream.put()) != S_OK) {
        stream.release(); // the call may leave garbage there; the block is still ours
        return {};
    }
    block.release(); // the stream owns it now
    ULARGE_INTEGER size{};
    size.QuadPart = bytes;
    if (stream.get()->SetSize(size) != S_OK)
        return {};
    return stream;
}

} // namespace

UniqueStream streamOverFile(const std::wstring &name) {
    DWORD bytes = 0;
    UniqueGlobal block = readWhole(name, bytes);
    return streamOwning(std::move(block), bytes);
}

UniqueStream streamOverBytes(const std::string &bytes) {
    if (bytes.empty() || bytes.size() > std::numeric_limits<LONG>::max())
        return {};
    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE, bytes.size()));
    if (!block)
        return {};
    {
        GlobalLockGuard lock(block.get());
        if (!lock.get())
            return {};
        std::memcpy(lock.get(), bytes.data(), bytes.size());
    }
    return streamOwning(std::move(block), static_cast<DWORD>(bytes.size()));
}

} // namespace vistoro
