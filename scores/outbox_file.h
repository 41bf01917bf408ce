// The score outbox as a file in the player's data folder (its format is in
// scores/outbox_format.h): reading it, setting a damaged one aside, writing
// it so that a crash or a full disk never leaves half a file, and the lock
// that keeps two copies of the game from sending the same entries.
//
// Files in the folder:
//   score-outbox.txt             the entries waiting; absent when none wait
//   score-outbox.txt.tmp         the next version while it is written
//   score-outbox.lock            empty; locked (flock) while an exchange uses the outbox
//   score-outbox.damaged-N.txt   a damaged outbox, set aside for a person to look at
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "scores/outbox_format.h"

struct OutboxLoad {
    // False when the file could not be read or, being damaged, could not be
    // set aside: the outbox must then be neither used nor written over.
    bool usable = false;
    std::vector<OutboxEntry> entries;  // oldest first; the sound entries of a damaged file too
    std::string damage;                // what was wrong with the file; empty when it was sound or absent
    std::string setAsideAs;            // where a damaged file went
    std::string error;                 // why the outbox is not usable
};

class OutboxFile {
public:
    // folder: an existing folder the player may write to.
    explicit OutboxFile(std::string folder);
    ~OutboxFile();  // releases the lock
    OutboxFile(const OutboxFile&) = delete;
    OutboxFile& operator=(const OutboxFile&) = delete;

    // Takes the lock, trying until deadline. False, with the reason in error,
    // when another process holds it that long or the lock file cannot be made.
    bool Lock(std::chrono::steady_clock::time_point deadline, std::string& error);

    // Reads the entries. A damaged file is renamed to a free
    // score-outbox.damaged-N.txt before its sound entries are handed back.
    OutboxLoad Load();

    // Replaces the file with entries: written to the temporary file, flushed
    // to the disk, renamed over the old one, and the folder flushed, so the
    // file holds either the old or the new entries whatever happens. No
    // entries removes the file. False, with the reason in error, when the old
    // file is left as it was.
    bool Save(const std::vector<OutboxEntry>& entries, std::string& error);

    const std::string& path() const { return path_; }

private:
    std::string folder_;
    std::string path_;
    int lock_ = -1;
};
