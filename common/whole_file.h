// Small files read and replaced whole: the score outbox and the kept
// settings. A reader is bounded, so a huge or endless file costs nothing; a
// writer never leaves half a file, whatever happens while it writes.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Reads at most limit + 1 bytes of the file into text, enough to tell a file
// longer than limit. True when it was read, or when there is no such file
// (missing set, text empty); false, with the reason in error, when it
// exists but cannot be read.
bool ReadBoundedFile(const std::string& path, std::size_t limit, std::string& text, bool& missing,
                     std::string& error);

// Replaces the file with contents: written to path + ".tmp" (mode 0600),
// flushed to the disk, renamed over the old file, then the folder flushed,
// so the file holds either the old or the new contents whatever happens.
// False, with the reason in error, when the old file is left as it was.
bool ReplaceFile(const std::string& path, std::string_view contents, std::string& error);

// Flushes a folder's names to the disk (a rename or unlink in it is durable
// only then). False when it cannot be opened or flushed.
bool SyncFolder(const std::string& folder);

// "what path: the system's reason", from errno.
std::string SystemError(const std::string& what, const std::string& path);
