#include "imaging/byte_stream.h"

#include "base/cancel.h"
#include "imaging/decode_probe.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <vector>

namespace vistoro {

namespace {

// A read-only IStream over shared bytes. Reads stop at the end of the data
// and clear what the caller asked for beyond it, so a decoder that trusts a
// length in the file sees zeros, never memory past the block.
class BoundedStream final : public IStream {
  public:
    explicit BoundedStream(std::shared_ptr<const ByteBlock> bytes, ULONGLONG at = 0) noexcept
        : bytes_(std::move(bytes)), at_(at) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_ISequentialStream || iid == IID_IStream) {
            *out = static_cast<IStream *>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(::InterlockedIncrement(&refs_));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG left = ::InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return static_cast<ULONG>(left);
    }

    HRESULT STDMETHODCALLTYPE Read(void *into, ULONG wanted, ULONG *got) override {
        if (!into && wanted)
            return STG_E_INVALIDPOINTER;
        // A decode nobody wants any more ends at its next read.
        if (cancelRequested()) {
            if (got)
                *got = 0;
            return E_ABORT;
        }
        const ULONGLONG size = bytes_->size();
        const ULONGLONG left = at_ < size ? size - at_ : 0;
        const ULONG n = static_cast<ULONG>(std::min<ULONGLONG>(wanted, left));
        if (n)
            std::memcpy(into, bytes_->data() + at_, n);
        if (n < wanted)
            std::memset(static_cast<BYTE *>(into) + n, 0, wanted - n);
        at_ += n;
        if (got)
            *got = n;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void *, ULONG, ULONG *written) override {
        if (written)
            *written = 0;
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER *now) override {
        LONGLONG base = 0;
        switch (origin) {
        case STREAM_SEEK_SET:
            break;
        case STREAM_SEEK_CUR:
            base = static_cast<LONGLONG>(at_);
            break;
        case STREAM_SEEK_END:
            base = static_cast<LONGLONG>(bytes_->size());
            break;
        default:
            return STG_E_INVALIDFUNCTION;
        }
        // Positions past the end are allowed (reads there give nothing);
        // before the start, or beyond what a 64-bit offset holds, are not.
        if ((move.QuadPart > 0 && base > std::numeric_limits<LONGLONG>::max() - move.QuadPart) ||
            base + move.QuadPart < 0)
            return STG_E_INVALIDFUNCTION;
        at_ = static_cast<ULONGLONG>(base + move.QuadPart);
        if (now)
            now->QuadPart = at_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream *to, ULARGE_INTEGER wanted, ULARGE_INTEGER *read,
                                     ULARGE_INTEGER *written) override {
        if (!to)
            return STG_E_INVALIDPOINTER;
        const ULONGLONG size = bytes_->size();
        const ULONGLONG left = at_ < size ? size - at_ : 0;
        ULONGLONG n = std::min<ULONGLONG>(wanted.QuadPart, left), done = 0;
        HRESULT hr = S_OK;
        while (done < n && SUCCEEDED(hr)) {
            const ULONG chunk = static_cast<ULONG>(std::min<ULONGLONG>(n - done, 1u << 20));
            ULONG put = 0;
            hr = to->Write(bytes_->data() + at_ + done, chunk, &put);
            done += put;
            if (put < chunk)
                break;
        }
        at_ += done;
        if (read)
            read->QuadPart = done;
        if (written)
            written->QuadPart = done;
        return hr;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG *stat, DWORD) override {
        if (!stat)
            return STG_E_INVALIDPOINTER;
        *stat = {};
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = bytes_->size();
        stat->grfMode = STGM_READ;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream **out) override {
        if (!out)
            return STG_E_INVALIDPOINTER;
        *out = new (std::nothrow) BoundedStream(bytes_, at_);
        return *out ? S_OK : E_OUTOFMEMORY;
    }

  private:
    ~BoundedStream() = default;
    std::shared_ptr<const ByteBlock> bytes_;
    ULONGLONG at_;
    LONG refs_ = 1;
};

} // namespace

ByteBlock::ByteBlock(UniqueGlobal block, std::size_t size) noexcept
    : block_(std::move(block)), size_(size) {
    data_ = block_ ? static_cast<const BYTE *>(::GlobalLock(block_.get())) : nullptr;
    if (!data_)
        size_ = 0;
}

ByteBlock::~ByteBlock() {
    if (data_)
        ::GlobalUnlock(block_.get());
}

namespace {

// Opens the file for reading; a file held without sharing is tried again
// for up to waitMs. Sets transient when the failure may pass.
UniqueFile openForReading(const std::wstring &name, DWORD waitMs, bool &transient) {
    const DWORD start = ::GetTickCount();
    for (DWORD pause = 10;; pause = std::min<DWORD>(pause * 2, 100)) {
        // Others may read, write or delete the file meanwhile: it is open
        // only for the time of this one read.
        UniqueFile file(::CreateFileW(name.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file)
            return file;
        const DWORD error = ::GetLastError();
        const bool held = error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION;
        // A file that is gone is a verdict on the file as it now stands (its
        // stamp says so too); one that is held says nothing of its bytes.
        transient = held || error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY;
        if (!held || ::GetTickCount() - start >= waitMs || cancelRequested())
            return {};
        ::Sleep(pause);
    }
}

// Reads into the block in chunks, so that a stop asked for is seen.
bool readWhole(HANDLE file, BYTE *into, DWORD bytes) {
    constexpr DWORD kChunk = 8u << 20;
    for (DWORD done = 0; done < bytes;) {
        if (cancelRequested())
            return false;
        const DWORD want = std::min(kChunk, bytes - done);
        DWORD read = 0;
        if (!::ReadFile(file, into + done, want, &read, nullptr) || read == 0)
            return false;
        done += read;
    }
    return true;
}

} // namespace

namespace {

// A file opened for a read of the whole of it, and its size.
struct WholeFile {
    UniqueFile file;
    DWORD bytes = 0;
};

// Opens the file and finds its size; none when it cannot be read whole,
// with the report saying whether that may pass. From a success on, every
// failure may pass (memory, a read error, a stop): the report says so.
std::optional<WholeFile> openWhole(const std::wstring &name, FileReading &report) {
    report.transient = false;
    report.stamp.reset();
    WholeFile whole{openForReading(name, report.waitWhileHeldMs, report.transient)};
    if (!whole.file)
        return std::nullopt;
    report.stamp = fileStampOf(whole.file.get());
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(whole.file.get(), &size)) {
        report.transient = true;
        return std::nullopt;
    }
    // An empty file has nothing to decode; one over 2 GiB is more than a
    // single read takes and more than a 32-bit process holds beside its
    // picture.
    if (size.QuadPart <= 0 || size.QuadPart > std::numeric_limits<LONG>::max())
        return std::nullopt;
    whole.bytes = static_cast<DWORD>(size.QuadPart);
    report.transient = true;
    return whole;
}

} // namespace

std::shared_ptr<const ByteBlock> ByteBlock::fromFile(const std::wstring &name,
                                                     FileReading *reading) {
    FileReading ignored;
    FileReading &report = reading ? *reading : ignored;
    std::optional<WholeFile> opened = openWhole(name, report);
    if (!opened)
        return nullptr;
    UniqueGlobal block;
    if (!detail::faultAt(DecodeFault::allocBlock))
        block.reset(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, opened->bytes));
    if (!block)
        return nullptr;
    bool whole = false;
    {
        GlobalLockGuard lock(block.get());
        if (!lock.get())
            return nullptr;
        whole = readWhole(opened->file.get(), static_cast<BYTE *>(lock.get()), opened->bytes);
    }
    opened->file.reset();
    if (detail::faultAt(DecodeFault::shortRead))
        whole = false;
    if (!whole)
        return nullptr;
    auto held = std::make_shared<const ByteBlock>(std::move(block), opened->bytes);
    if (!held->data())
        return nullptr;
    report.transient = false;
    return held;
}

bool readFileInto(const std::wstring &name, std::vector<BYTE> &into, FileReading *reading) {
    FileReading ignored;
    FileReading &report = reading ? *reading : ignored;
    std::optional<WholeFile> opened = openWhole(name, report);
    if (!opened)
        return false;
    try {
        into.resize(opened->bytes);
    } catch (const std::bad_alloc &) {
        return false;
    }
    if (!readWhole(opened->file.get(), into.data(), opened->bytes))
        return false;
    report.transient = false;
    return true;
}

std::shared_ptr<const ByteBlock> ByteBlock::fromBytes(const void *data, std::size_t size) {
    if (!data)
        return nullptr;
    return written(size, [&](BYTE *into) {
        std::memcpy(into, data, size);
        return true;
    });
}

std::shared_ptr<const ByteBlock> ByteBlock::written(std::size_t size,
                                                    const std::function<bool(BYTE *)> &write) {
    if (size == 0 || size > static_cast<std::size_t>(std::numeric_limits<LONG>::max()))
        return nullptr;
    UniqueGlobal block(::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size));
    if (!block)
        return nullptr;
    {
        GlobalLockGuard lock(block.get());
        if (!lock.get() || !write(static_cast<BYTE *>(lock.get())))
            return nullptr;
    }
    auto held = std::make_shared<const ByteBlock>(std::move(block), size);
    return held->data() ? held : nullptr;
}

UniqueStream streamOver(std::shared_ptr<const ByteBlock> bytes) {
    if (!bytes || detail::faultAt(DecodeFault::makeStream))
        return {};
    return UniqueStream(new (std::nothrow) BoundedStream(std::move(bytes)));
}

UniqueStream streamOverFile(const std::wstring &name) {
    return streamOver(ByteBlock::fromFile(name));
}

UniqueStream streamOverBytes(const std::string &bytes) {
    return streamOver(ByteBlock::fromBytes(bytes.data(), bytes.size()));
}

} // namespace vistoro
