// Reading a file that a user names on a command line (a settings document, a key recording),
// under the rules of the plug-in's own files: links are followed as ResolvePath does, only a
// regular file is opened (a FIFO, a device, a socket or a folder is refused before it is opened,
// so nothing waits on a pipe or reads a device without end), and a file of more than `limit`
// bytes is refused by its size before anything is read.
//
// On failure `why` says in a few words what is wrong with the file, for a message that already
// names the path ("is a FIFO, not a regular file", "is larger than the limit of 67108864 bytes",
// "no such file"). Thread-safe.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quill::kernel {

bool ReadNamedFile(std::string_view path, std::size_t limit, std::string& contents,
                   std::string& why);

} // namespace quill::kernel
