// TMyMemoryStream: a growable memory stream, the carrier of the value stream.
//
// The stream holds `Size` bytes of content in a block of `Capacity` bytes and reads and writes at
// `Position`. Writing grows the block by the shortfall but by at least 500,000 bytes at a time, so
// that encoding a large table does not reallocate per value. Reading past the content raises
// "Ошибка чтения потока. Pos=%d Size=%d Count=%d" (a plain rtl::Exception) and leaves the stream
// unchanged; before that, the whole content is dumped into a uniquely named file in the log folder
// for diagnosis (see TReadDumps). Positions and sizes are signed 32-bit as in the stored
// formats: content that would pass 2 GB raises instead of wrapping. The stream owns its block. It
// locks nothing: one thread at a time.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace quill::exchange {

// Dumps of failed reads are bounded, so that a crafted stream cannot fill the disk of the shared
// log folder: a dump holds at most kMaxDumpBytes around the failing position, and one TReadDumps
// writes at most kMaxDumpsPerProcess dumps.
constexpr std::size_t kMaxDumpBytes = 64 * 1024;
constexpr unsigned kMaxDumpsPerProcess = 16;

// The part of a stream of `size` bytes that a dump for a failure at `position` holds.
struct TDumpWindow {
    std::size_t Offset;
    std::size_t Size;
};
TDumpWindow DumpWindow(std::size_t size, std::size_t position);

// Where the content of a stream whose read failed is dumped for diagnosis: the log folder, within
// a share of kMaxDumpsPerProcess dumps. A stream is given its TReadDumps when it is made: the
// process's own (Process) unless told otherwise, or none (no dumps; fuzzing and tests that provoke
// read errors by the thousand), or one of a test's own with a fresh share. Thread-safe.
class TReadDumps {
  public:
    TReadDumps() = default;
    TReadDumps(const TReadDumps&) = delete;
    TReadDumps& operator=(const TReadDumps&) = delete;

    // The dumps of the process: one share for all its streams.
    static TReadDumps& Process();

    // Writes the dump window of `data` (`size` bytes, failing at `position`) to a new file
    // "<prefix>_<process>_<unique>[_at<offset>].txt" in the log folder, created exclusively, never
    // through a link, mode 0600. Returns the path, or empty when nothing was written (also once
    // the share is used up).
    std::string Write(const std::string& prefix, const void* data, std::size_t size,
                      std::size_t position);

  private:
    std::atomic<unsigned> FWritten{0};
};

class TMyMemoryStream {
  public:
    static constexpr std::int32_t GrowthStep = 500000;

    // `dumps`: where a failed read dumps the content (borrowed; null: nowhere).
    explicit TMyMemoryStream(TReadDumps* dumps = &TReadDumps::Process()) : FDumps(dumps) {}
    TMyMemoryStream(const TMyMemoryStream&) = delete;
    TMyMemoryStream& operator=(const TMyMemoryStream&) = delete;
    ~TMyMemoryStream();

    // Ignored for n < 0 or n = Capacity; otherwise (re)allocates n bytes, keeping the content that
    // fits. Raises on exhausted memory.
    void SetCapacity(std::int32_t n);
    // Ignored for n < 0. Grows the capacity to n when needed, moves the position to n, and grows
    // the size to n (a smaller n never shrinks the content).
    void SetSize(std::int32_t n);
    std::int32_t Write(const void* data, std::int32_t count) {
        // The common case inline: the value stream writes many small pieces.
        if (count > 0 && Position >= 0 && count <= Capacity - Position) {
            std::memcpy(Memory + Position, data, static_cast<std::size_t>(count));
            Position += count;
            if (Position > Size) Size = Position;
            return count;
        }
        return WriteGrowing(data, count);
    }
    // 0 for a negative position or count < 1; raises the read error past the content.
    std::int32_t Read(void* data, std::int32_t count) {
        if (count > 0 && Position >= 0 && count <= Size - Position) {
            std::memcpy(data, Memory + Position, static_cast<std::size_t>(count));
            Position += count;
            return count;
        }
        return ReadChecked(data, count);
    }
    void Clear();
    // Raises the read error (as Read would) unless `count` more bytes of content follow the
    // position; lets a decoder check a stored length before it allocates anything for it.
    void CheckReadable(std::int64_t count);
    // Dumps the content for a read that failed at the position (see TReadDumps); does nothing
    // when the stream has no dumps.
    void DumpContent(const std::string& prefix) const;
    // Writes the content to `fileName` (UTF-8 path), replacing the file only once it is complete.
    void SaveToFile(const std::string& fileName) const;

    std::int32_t Position = 0;
    std::int32_t Size = 0;
    std::int32_t Capacity = 0;
    unsigned char* Memory = nullptr;

  private:
    TReadDumps* FDumps;

    std::int32_t WriteGrowing(const void* data, std::int32_t count);
    std::int32_t ReadChecked(void* data, std::int32_t count);
    [[noreturn]] void RaiseReadError(std::int32_t count) const;
};

} // namespace quill::exchange
