// A file's bytes in one movable memory block, and a read-only stream over
// them whose reads never pass their end. Decoders are handed this stream
// rather than the platform's stream over a memory block, which on some
// platforms copies past the end of the data when a damaged file asks for
// more than there is. Internal to the imaging layer.
#pragma once

#include "base/handles.h"
#include "base/paths.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vistoro {

// How a file was read, for a caller that tells a failure that may pass
// from a verdict on the file.
struct FileReading {
    // In: how long a file that another program holds without sharing (a
    // virus scanner, a sync client) is waited for before the read fails.
    DWORD waitWhileHeldMs = 0;
    // Out: the read failed for a reason that may pass: the file held or
    // gone, a read error, memory, or a stop asked for (base/cancel.h).
    bool transient = false;
    // Out: the file as it was read, from the handle that read it.
    std::optional<FileStamp> stamp;
};

// The bytes stay locked in their block for as long as the object lives.
class ByteBlock {
  public:
    // The whole file, or null when it cannot be opened or read whole, when
    // it is empty, or when memory runs out. The file is closed before this
    // returns. A read asked to stop (base/cancel.h) stops at its next chunk.
    static std::shared_ptr<const ByteBlock> fromFile(const std::wstring &name,
                                                     FileReading *reading = nullptr);
    // A copy of bytes already in memory; null when there are none.
    static std::shared_ptr<const ByteBlock> fromBytes(const void *data, std::size_t size);
    // A block of `size` bytes, zeroed, that `write` fills in; null when
    // there would be none or over 2 GiB, when memory runs out, or when
    // `write` returns false.
    static std::shared_ptr<const ByteBlock> written(std::size_t size,
                                                    const std::function<bool(BYTE *)> &write);

    ByteBlock(UniqueGlobal block, std::size_t size) noexcept;
    ~ByteBlock();
    ByteBlock(const ByteBlock &) = delete;
    ByteBlock &operator=(const ByteBlock &) = delete;

    const BYTE *data() const noexcept { return data_; }
    std::size_t size() const noexcept { return size_; }

  private:
    UniqueGlobal block_;
    const BYTE *data_ = nullptr;
    std::size_t size_ = 0;
};

// The whole file into `into`, for a reader that only scans the bytes and
// reads many files one after another: a buffer kept from one call to the
// next costs the address space nothing new for each file. False as
// ByteBlock::fromFile would fail; `into` then holds nothing of use.
bool readFileInto(const std::wstring &name, std::vector<BYTE> &into, FileReading *reading = nullptr);

// A stream over the bytes, positioned at their start; it keeps them alive.
UniqueStream streamOver(std::shared_ptr<const ByteBlock> bytes);

// The same over a file, or over a copy of bytes; empty when the bytes
// cannot be had.
UniqueStream streamOverFile(const std::wstring &name);
UniqueStream streamOverBytes(const std::string &bytes);

} // namespace vistoro
