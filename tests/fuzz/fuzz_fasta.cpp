// FASTA files: the ideal-helix model of their sequences, analysed and scanned, and the
// segmentation of each sequence. The same file with its sequence lines in lower or upper
// case reads to the same records and gives the same segments.
#include <cctype>

#include "fuzz_support.h"
#include "transmembrane/fasta.h"
#include "transmembrane/helix_builder.h"
#include "transmembrane/scan.h"
#include "transmembrane/segments.h"

using namespace tessmol;

namespace {

// The input with every ASCII letter of its sequence lines (not its headers) turned by `to`.
std::string Recased(const uint8_t* data, size_t size, int (*to)(int)) {
  std::string text(reinterpret_cast<const char*>(data), size);
  bool header = false, lineStart = true;
  for (char& c : text) {
    if (lineStart) header = c == '>';
    lineStart = c == '\n';
    const auto u = static_cast<unsigned char>(c);
    if (!header && u < 0x80 && std::isalpha(u)) c = static_cast<char>(to(u));
  }
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::ScratchPath("input.fasta");
  fuzz::WriteBytes(path, data, size);
  const FastaFile fasta = ReadFasta(path);
  if (!fasta.status) return 0;
  size_t total = 0;
  for (const FastaRecord& r : fasta.records) {
    total += r.sequence.size();
    for (char c : r.sequence) FUZZ_CHECK(ResidueNameForLetter(c) != "UNK");  // every letter is a residue
  }
  for (int (*to)(int) : {::tolower, ::toupper}) {
    const std::string text = Recased(data, size, to);
    const std::string other = fuzz::ScratchPath("recased.fasta");
    fuzz::WriteBytes(other, reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const FastaFile recased = ReadFasta(other);
    FUZZ_CHECK(recased.status.ok());
    FUZZ_CHECK(recased.records.size() == fasta.records.size());
    for (size_t k = 0; k < fasta.records.size(); ++k) {
      FUZZ_CHECK(recased.records[k].sequence == fasta.records[k].sequence);
      FUZZ_CHECK(recased.records[k].rareLetters == fasta.records[k].rareLetters);
    }
  }
  if (total > 400) return 0;  // one input stays fast
  static const SegmentParams params = [] {
    SegmentParams p;
    FUZZ_CHECK(LoadSegmentParams(fuzz::ProgramFolder() + kSegmentParamsFile, p).ok());
    return p;
  }();
  for (const FastaRecord& record : fasta.records) {
    const std::string& sequence = record.sequence;
    const std::vector<TmSegment> segments = PredictSegments(sequence, params);
    for (size_t k = 0; k < segments.size(); ++k) {
      FUZZ_CHECK(segments[k].first >= 0 && segments[k].first <= segments[k].last);
      FUZZ_CHECK(segments[k].last < static_cast<int>(sequence.size()));
      FUZZ_CHECK(k == 0 || segments[k].first > segments[k - 1].last);
    }
  }
  if (total > 40) return 0;  // the helix model of short inputs only: its cost grows fast
  for (const FastaRecord& record : fasta.records) {
    Protein model;
    model.structure = fuzz::Builder().BuildFromSequences({record.sequence});
    if (model.structure.atoms.empty()) continue;
    if (fuzz::Analyse(model, BuiltInScores()))
      model.transmembrane = ScanTransmembrane(model.structure, model.surface, model.scores, ScanParams{});
  }
  return 0;
}
