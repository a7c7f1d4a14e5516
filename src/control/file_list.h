// Lists of input files for batch runs: a list read from a file or a pipe
// (one path a line, or NUL-separated as `find -print0` writes it), and the
// shard of such a list that one of N workers converts.
#pragma once

#include <cstddef>
#include <istream>
#include <string>
#include <vector>

// The paths in `in`, each ended by `separator` ('\n' or '\0'; the last
// may lack it). Empty entries are skipped: a blank line names no file.
std::vector<std::string> ReadFileList(std::istream& in, char separator);

// One of N disjoint parts of a list: the entries whose index (from 0, in
// list order) modulo `count` is `index`. Every entry is in exactly one
// shard for a given count, and the shards do not depend on what any
// worker converted, so a retried worker gets the same files again.
struct CShard {
    std::size_t index = 0;
    std::size_t count = 1;
};

// Reads "I/N" (decimal, 0 <= I < N); false on anything else.
bool ParseShard(const std::string& text, CShard& shard);

// The entries of `files` that belong to `shard`, in list order.
std::vector<std::string> SelectShard(const std::vector<std::string>& files, const CShard& shard);
