// Compressed input as bytes: any bytes named as a structure file are read or refused, and
// never unpack past the limit; and any text, packed as gzip members with trailing zero
// bytes, unpacks to itself or is refused at the limit.
#include <zlib.h>

#include "fuzz_support.h"

using namespace tessmol;

namespace {

constexpr uint64_t kLimit = 64 << 10;

std::string GzipMember(const uint8_t* data, size_t size) {
  z_stream z{};
  FUZZ_CHECK(deflateInit2(&z, 6, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) == Z_OK);
  std::string out(deflateBound(&z, static_cast<uLong>(size)) + 32, '\0');
  z.next_in = const_cast<Bytef*>(data);
  z.avail_in = static_cast<uInt>(size);
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  FUZZ_CHECK(deflate(&z, Z_FINISH) == Z_STREAM_END);
  out.resize(out.size() - z.avail_out);
  deflateEnd(&z);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::ScratchPath("input.gz");
  fuzz::WriteBytes(path, data, size);
  StructureFile file = ReadStructure(path, fuzz::Radii(), kLimit);
  std::string text;
  bool compressed = false;
  const FileStatus read = ReadFileText(path, text, &compressed, kLimit);
  FUZZ_CHECK(read.ok() || file.status.problem != FileProblem::kNone);
  if (read.ok() && compressed) FUZZ_CHECK(text.size() <= kLimit);
  if (!read.ok()) FUZZ_CHECK(compressed && read.problem == FileProblem::kUnreadable && !read.detail.empty());

  // The same bytes as the text of two members and some zero bytes.
  const size_t split = size == 0 ? 0 : data[0] % (size + 1);
  std::string packed = GzipMember(data, split) + GzipMember(data + split, size - split);
  packed.append(size == 0 ? 0 : data[size - 1] % 5, '\0');
  fuzz::WriteBytes(path, reinterpret_cast<const uint8_t*>(packed.data()), packed.size());
  const FileStatus back = ReadFileText(path, text, &compressed, kLimit);
  FUZZ_CHECK(compressed);
  if (size <= kLimit) {
    FUZZ_CHECK(back.ok());
    FUZZ_CHECK(text.size() == size &&
               std::equal(text.begin(), text.end(), reinterpret_cast<const char*>(data)));
  } else {
    FUZZ_CHECK(!back.ok() && back.detail.find("--max-unpacked-mib") != std::string::npos);
  }
  return 0;
}
