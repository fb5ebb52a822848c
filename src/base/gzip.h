// gzip input, inflated as a stream into memory that is bounded: a small compressed file
// can unpack to any size, so what it unpacks to is limited, and the limit is the user's.
#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "base/file_status.h"

namespace tessmol {

// What a compressed structure may unpack to unless the user says otherwise. The largest
// entries of the PDB (a few million atoms, about 100 bytes an atom in mmCIF) unpack to a
// few hundred MiB; reading one takes about three times its text, so 1 GiB of text stays
// within an ordinary 16 GB workstation even with two files read at once.
inline constexpr int kDefaultMaxUnpackedMiB = 1024;
// The largest value the option takes: 1 TiB.
inline constexpr int kMaxUnpackedMiBLimit = 1 << 20;

inline constexpr uint64_t MebibytesToBytes(int mib) {
  return static_cast<uint64_t>(mib) << 20;
}

// True when `head` starts with the gzip magic bytes.
bool LooksGzipped(const char* head, size_t size);

// Inflates the gzip data read from `in` into `out`: every member of a concatenated file,
// and trailing zero bytes after the last (as gzip itself accepts). Stops with an error for
// `path` once the text would pass `maxBytes`, and for a damaged or cut-short stream.
FileStatus Gunzip(std::istream& in, const std::string& path, std::string& out, uint64_t maxBytes);

// The whole file in `text`, decompressed when it starts with the gzip magic bytes (a
// damaged stream, or one that unpacks to more than `maxUnpackedBytes`, is an error).
// `compressed`, when given, tells which.
FileStatus ReadFileText(const std::string& path, std::string& text, bool* compressed = nullptr,
                        uint64_t maxUnpackedBytes = MebibytesToBytes(kDefaultMaxUnpackedMiB));

}  // namespace tessmol
