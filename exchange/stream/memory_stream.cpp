#include "exchange/stream/memory_stream.h"

#include "exchange/stream/atomic_file.h"
#include "infra/log/log_folder.h"
#include "platform/kernel/codepage.h"
#include "platform/kernel/files.h"
#include "platform/kernel/heap.h"
#include "platform/kernel/system_info.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>

namespace quill::exchange {

namespace {

// Numbers the dump files of the process, whichever TReadDumps writes them.
std::atomic<unsigned> gDumpCounter{0};

const std::string& ReadErrorText() {
    static const std::string text = kernel::WideToAnsi(u"Ошибка чтения потока. ");
    return text;
}

const std::string& TooLargeText() {
    static const std::string text = kernel::WideToAnsi(u"Поток превышает 2 ГБ.");
    return text;
}

} // namespace

TReadDumps& TReadDumps::Process() {
    static TReadDumps dumps;
    return dumps;
}

TDumpWindow DumpWindow(std::size_t size, std::size_t position) {
    if (size <= kMaxDumpBytes) return {0, size};
    // The failing position in the middle, moved inwards at either end of the stream.
    const std::size_t half = kMaxDumpBytes / 2;
    std::size_t offset = position > half ? position - half : 0;
    offset = std::min(offset, size - kMaxDumpBytes);
    return {offset, kMaxDumpBytes};
}

std::string TReadDumps::Write(const std::string& prefix, const void* data, std::size_t size,
                              std::size_t position) {
    // Claimed before writing, so that threads dumping at once stay within the bound too.
    if (FWritten.fetch_add(1) >= kMaxDumpsPerProcess) return {};
    const kernel::TFileHandle folder = infra::OpenLogFolder();
    const std::string path = infra::LogFolder();
    if (!folder || path.empty()) return {};
    const TDumpWindow window = DumpWindow(size, position);
    const char* bytes = static_cast<const char*>(data) + window.Offset;
    // The folder is shared with every user: a fresh name, created exclusively, never through a
    // link, and readable by the writer only (the stream may hold a host's data).
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string name = prefix + "_" + std::to_string(kernel::GetCurrentProcessId()) + "_" +
                           std::to_string(gDumpCounter.fetch_add(1));
        if (window.Offset != 0 || window.Size != size)
            name += "_at" + std::to_string(window.Offset);
        name += ".txt";
        const kernel::TFileHandle file = kernel::OpenFileAt(
            folder, name, kernel::TFileAccess::Write, kernel::TCreation::New, 0600, true);
        if (!file) {
            // Taken, or planted by someone else: try the next name.
            const kernel::TFileError why = file.Error();
            if (why.Is(kernel::TFileError::Exists) || why.Is(kernel::TFileError::AccessDenied) ||
                why.Is(kernel::TFileError::Link))
                continue;
            return {};
        }
        const bool ok = kernel::WriteAll(file, bytes, window.Size).Ok();
        return ok ? path + name : std::string();
    }
    return {};
}

void TMyMemoryStream::DumpContent(const std::string& prefix) const {
    if (!FDumps) return;
    FDumps->Write(prefix, Memory, static_cast<std::size_t>(std::max(Size, 0)),
                  static_cast<std::size_t>(std::max(Position, 0)));
}

TMyMemoryStream::~TMyMemoryStream() {
    kernel::HeapFreeBlock(Memory);
}

void TMyMemoryStream::SetCapacity(std::int32_t n) {
    if (n < 0 || n == Capacity) return;
    if (n == 0) {
        kernel::HeapFreeBlock(Memory);
        Memory = nullptr;
        Capacity = 0;
        return;
    }
    void* block = kernel::HeapReallocate(Memory, static_cast<std::size_t>(n));
    if (!block) throw std::bad_alloc();
    Memory = static_cast<unsigned char*>(block);
    Capacity = n;
    if (Size > n) Size = n;
}

void TMyMemoryStream::SetSize(std::int32_t n) {
    if (n < 0) return;
    if (n > Capacity) SetCapacity(n);
    Position = n;
    if (n > Size) Size = n;
}

std::int32_t TMyMemoryStream::WriteGrowing(const void* data, std::int32_t count) {
    if (count <= 0) return 0;
    const std::int64_t end = static_cast<std::int64_t>(Position) + count;
    if (Position < 0 || end > std::numeric_limits<std::int32_t>::max())
        throw rtl::Exception(TooLargeText());
    if (end > Capacity) {
        const std::int64_t grown = static_cast<std::int64_t>(Capacity) +
                                   std::max<std::int64_t>(end - Capacity, GrowthStep);
        SetCapacity(static_cast<std::int32_t>(
            std::min<std::int64_t>(grown, std::numeric_limits<std::int32_t>::max())));
    }
    std::memcpy(Memory + Position, data, static_cast<std::size_t>(count));
    Position = static_cast<std::int32_t>(end);
    if (Position > Size) Size = Position;
    return count;
}

std::int32_t TMyMemoryStream::ReadChecked(void* data, std::int32_t count) {
    if (Position < 0 || count < 1) return 0;
    if (static_cast<std::int64_t>(Position) + count > Size) {
        DumpContent("Buffer" + std::to_string(Position));
        RaiseReadError(count);
    }
    std::memcpy(data, Memory + Position, static_cast<std::size_t>(count));
    Position += count;
    return count;
}

void TMyMemoryStream::CheckReadable(std::int64_t count) {
    if (count <= 0) return;
    if (Position >= 0 && static_cast<std::int64_t>(Position) + count <= Size) return;
    DumpContent("Buffer" + std::to_string(Position));
    RaiseReadError(static_cast<std::int32_t>(
        std::min<std::int64_t>(count, std::numeric_limits<std::int32_t>::max())));
}

void TMyMemoryStream::RaiseReadError(std::int32_t count) const {
    throw rtl::Exception(ReadErrorText() +
                         rtl::Format("Pos=%d Size=%d Count=%d", {Position, Size, count}));
}

void TMyMemoryStream::Clear() {
    SetCapacity(0);
    Size = 0;
    Position = 0;
}

void TMyMemoryStream::SaveToFile(const std::string& fileName) const {
    ReplaceFileContents(fileName, {{Memory, static_cast<std::size_t>(Size)}});
}

} // namespace quill::exchange
