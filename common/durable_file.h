// Files in the player's folders written so that a crash, a power cut or a
// full disk never leaves half a file, and read with a bound on their length.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// Replaces (or creates) path with bytes: written to path + ".tmp" (mode
// 0600), flushed to the disk, renamed over path, and the folder flushed, so
// path holds either its old or its new bytes whatever happens. False, with
// the reason in error, when path is left as it was.
bool WriteFileDurably(const std::string& path, std::string_view bytes, std::string& error);

// Flushes a folder's names (after a rename or an unlink): false when it cannot.
bool SyncFolder(const std::string& folder);

// Reads at most limit + 1 bytes of path into text, enough to tell a file
// that is too long. True when read, or when the file does not exist (missing
// is then set and text empty); false, with the reason in error, otherwise.
bool ReadFileBounded(const std::string& path, std::size_t limit, std::string& text, bool& missing,
                     std::string& error);
