// The engine's seven callbacks over the C runtime's streams. The callbacks get
// no context from the engine, so open streams live in one table here; the
// subcommands register their own output streams in the same table.
#pragma once

#include <cabinet/engine.h>

#include <cstdint>
#include <cstdio>
#include <string>

struct DecoderCallbacks;

namespace cabtool {

// A handle whose writes go nowhere (for testing a cabinet), or to the sink
// set with setDiscardSink.
inline constexpr std::int32_t kDiscardHandle = 0x7FFF0000;
// A handle whose writes go nowhere, never to the sink: for decoding a file
// nobody asked for, so that a folder is decoded on into the next cabinet.
inline constexpr std::int32_t kPassOverHandle = 0x7FFF0001;

// Sees the bytes the engine writes to kDiscardHandle (to hash them, or to pass
// them on to standard output).
class ByteSink {
public:
    virtual ~ByteSink() = default;
    // False when the bytes cannot be taken; the engine then fails the file.
    virtual bool take(const void *bytes, std::uint32_t count) = 0;
};
// Null sends them nowhere again.
void setDiscardSink(ByteSink *sink);

// Creates an engine wired to these callbacks; null with *error filled on failure.
CabinetEngine *createEngine(CabError *error);

// The same callbacks, for code that drives the block decoders itself.
DecoderCallbacks decoderCallbacks();

// Caps the memory decoders may take for their windows (--max-window-memory):
// every request of 4 KiB or more counts, except the engine's two block buffers.
// A Quantum window that does not fit is then paged through a temporary file.
void setWindowMemoryCap(std::uint32_t bytes);

// A scratch file (a decoder's window, or output kept back): gone once it is
// closed, or when the program ends. Null when none can be made.
std::FILE *scratchFile();

// Opens a cabinet for reading, which must be a regular file: a pipe, device
// or folder named as a cabinet could hang the tool or feed it without end.
// Null with errno set on failure, to kNotRegularFile for such a file.
inline constexpr int kNotRegularFile = -1;
std::FILE *openCabinetFile(const char *path);

// Puts an already opened stream into the table; -1 when it is full.
std::int32_t adoptStream(std::FILE *stream);
// Closes a handle from the table (0 on success).
std::int32_t closeHandle(std::int32_t handle);
// The system's error number of the last open that failed.
int lastOpenFailure();
// How many handles are open (cabinet handles are closed by the engine).
int openHandleCount();
// Bytes read through the engine's read callback since the program started:
// what the engine has fetched from cabinets.
std::uint64_t bytesReadByEngine();

// Presents the cabinet of `size` bytes at `offset` in the file at path as if it
// were the whole file: every later open of that path through the callbacks
// reads from the cabinet's first byte, seeks are shifted by the offset, an
// end-relative seek counts from the cabinet's end and reads stop there. One
// window at a time.
void setCabinetWindow(const std::string &path, std::uint64_t offset, std::uint32_t size);
void clearCabinetWindow();
// Where the window over path begins in the file, 0 when there is none.
std::uint64_t cabinetWindowOffset(const std::string &path);

// Seeks a stream to a position that may lie beyond 2 GiB.
bool seekStream(std::FILE *stream, std::uint64_t position);

}  // namespace cabtool
