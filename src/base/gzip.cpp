#include "base/gzip.h"

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "base/text.h"

namespace tessmol {

bool LooksGzipped(const char* head, size_t size) {
  return size >= 2 && static_cast<unsigned char>(head[0]) == 0x1f &&
         static_cast<unsigned char>(head[1]) == 0x8b;
}

namespace {

struct Inflater {
  z_stream z{};
  bool ready = false;
  Inflater() { ready = inflateInit2(&z, 15 + 16) == Z_OK; }  // gzip wrapping only
  ~Inflater() {
    if (ready) inflateEnd(&z);
  }
};

std::string TooLarge(uint64_t maxBytes) {
  return "it unpacks to more than " + std::to_string(maxBytes >> 20) +
         " MiB; raise --max-unpacked-mib to read it";
}

// One inflate call into `buffer`, its output appended to `out`: zlib's result and the bytes
// produced, or kTooLarge (nothing appended) when `out` would pass maxBytes.
constexpr int kTooLarge = -1000;  // no zlib result has this value
std::pair<int, size_t> InflateChunk(z_stream& z, char* buffer, size_t size, std::string& out,
                                    uint64_t maxBytes) {
  z.next_out = reinterpret_cast<Bytef*>(buffer);
  z.avail_out = static_cast<uInt>(size);
  const int result = inflate(&z, Z_NO_FLUSH);
  const size_t produced = size - z.avail_out;
  if (out.size() + produced > maxBytes) return {kTooLarge, produced};
  out.append(buffer, produced);
  return {result, produced};
}

FileStatus Damaged(const std::string& path, const z_stream& z) {
  return FileStatus::Unreadable(
      path, std::string("a damaged gzip stream (") + (z.msg != nullptr ? z.msg : "inflate error") + ")");
}

}  // namespace

FileStatus Gunzip(std::istream& in, const std::string& path, std::string& out, uint64_t maxBytes) {
  out.clear();
  Inflater inflater;
  if (!inflater.ready) return FileStatus::Unreadable(path, "the gzip decoder could not start");
  z_stream& z = inflater.z;
  constexpr size_t kChunk = 1 << 16;
  const auto input = std::make_unique<char[]>(kChunk);
  const auto output = std::make_unique<char[]>(kChunk);
  bool inMember = true;  // false between members: what follows is a member or zero bytes
  bool zeros = false;    // zero bytes met after a member: only more of them may follow
  while (true) {
    in.read(input.get(), kChunk);
    const auto got = static_cast<size_t>(in.gcount());
    if (in.bad()) return FileStatus::Unreadable(path, "read error");
    if (got == 0) break;
    z.next_in = reinterpret_cast<Bytef*>(input.get());
    z.avail_in = static_cast<uInt>(got);
    while (z.avail_in > 0) {
      if (!inMember) {
        while (z.avail_in > 0 && *z.next_in == 0) {
          ++z.next_in;
          --z.avail_in;
          zeros = true;
        }
        if (z.avail_in == 0) break;
        if (zeros) return FileStatus::Unreadable(path, "data after the end of the gzip stream");
        if (inflateReset(&z) != Z_OK) return FileStatus::Unreadable(path, "the gzip decoder failed");
        inMember = true;
      }
      const auto [result, produced] = InflateChunk(z, output.get(), kChunk, out, maxBytes);
      if (result == kTooLarge) return FileStatus::Unreadable(path, TooLarge(maxBytes));
      if (result == Z_STREAM_END) {
        inMember = false;
      } else if (result == Z_BUF_ERROR && z.avail_in == 0) {
        break;  // more input wanted
      } else if (result != Z_OK) {
        return Damaged(path, z);
      }
    }
    // Output may be pending with all input taken: drain it before reading more.
    while (inMember) {
      const auto [result, produced] = InflateChunk(z, output.get(), kChunk, out, maxBytes);
      if (result == kTooLarge) return FileStatus::Unreadable(path, TooLarge(maxBytes));
      if (result == Z_STREAM_END) {
        inMember = false;
      } else if (result != Z_OK && result != Z_BUF_ERROR) {
        return Damaged(path, z);
      } else if (result == Z_BUF_ERROR || produced == 0) {
        break;
      }
    }
    if (!in) break;
  }
  if (inMember) return FileStatus::Unreadable(path, "the gzip stream ends early (a truncated file)");
  return FileStatus::Ok(path);
}

FileStatus ReadFileText(const std::string& path, std::string& text, bool* compressed,
                        uint64_t maxUnpackedBytes) {
  text.clear();
  if (compressed) *compressed = false;
  std::ifstream in;
  if (!OpenForReading(in, path)) return ReadFailure(path);
  // A compressed file is inflated as it is read, never held whole in both forms.
  char head[2] = {};
  in.read(head, 2);
  if (in.bad()) return FileStatus::Unreadable(path, "read error");
  const bool gzip = LooksGzipped(head, static_cast<size_t>(in.gcount()));
  in.clear();
  in.seekg(0);
  if (gzip) {
    if (compressed) *compressed = true;
    return Gunzip(in, path, text, maxUnpackedBytes);
  }
  // Read in one piece of the file's size where it has one (not a pipe), else as a stream.
  std::error_code error;
  const auto size =
      std::filesystem::is_regular_file(path, error) ? std::filesystem::file_size(path, error) : 0;
  if (!error && size > 0) {
    text.resize(static_cast<size_t>(size));
    in.read(text.data(), static_cast<std::streamsize>(size));
    text.resize(static_cast<size_t>(in.gcount()));
    if (in.bad()) return FileStatus::Unreadable(path, "read error");
    if (in) {  // a file that grew while it was read
      std::ostringstream rest;
      rest << in.rdbuf();
      text += rest.str();
    }
  } else {
    std::ostringstream all;
    all << in.rdbuf();
    if (in.bad()) return FileStatus::Unreadable(path, "read error");
    text = all.str();
  }
  return FileStatus::Ok(path);
}

}  // namespace tessmol
