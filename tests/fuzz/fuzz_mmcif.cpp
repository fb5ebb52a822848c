// mmCIF text through the atom loop's fast reader and through gemmi's whole-file reading:
// where the fast reader takes a file it gives the same atoms, and the same failure.
#include "fuzz_support.h"

using namespace tessmol;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  StructureBuilder fastBuilder(fuzz::Radii()), wholeBuilder(fuzz::Radii());
  bool fastNmr = false, wholeNmr = false, readFast = false;
  const FileStatus fast = ReadMmcif(text, "fuzz.cif", fastBuilder, fastNmr, true, &readFast);
  const FileStatus whole = ReadMmcif(text, "fuzz.cif", wholeBuilder, wholeNmr, false);
  // An error names a line of the input.
  for (const FileStatus* status : {&fast, &whole}) {
    if (!status->ok())
      FUZZ_CHECK(status->line >= 1 && status->line <= std::count(text.begin(), text.end(), '\n') + 1);
  }
  if (!readFast) return 0;
  FUZZ_CHECK(fast.ok() == whole.ok());
  if (!fast.ok()) {
    FUZZ_CHECK(fast.line == whole.line);
    return 0;
  }
  FUZZ_CHECK(fastNmr == wholeNmr);
  FUZZ_CHECK(fastBuilder.summary().modelsSkipped == wholeBuilder.summary().modelsSkipped);
  const Structure a = fastBuilder.Finish(), b = wholeBuilder.Finish();
  FUZZ_CHECK(a.atoms.size() == b.atoms.size());
  FUZZ_CHECK(a.hetAtoms.size() == b.hetAtoms.size());
  FUZZ_CHECK(a.residues.size() == b.residues.size());
  FUZZ_CHECK(a.chainNames == b.chainNames);
  FUZZ_CHECK(a.helices.size() == b.helices.size() && a.sheets.size() == b.sheets.size());
  for (size_t i = 0; i < a.atoms.size(); ++i) {
    FUZZ_CHECK(a.atoms[i].name == b.atoms[i].name);
    FUZZ_CHECK(a.atoms[i].x == b.atoms[i].x && a.atoms[i].y == b.atoms[i].y && a.atoms[i].z == b.atoms[i].z);
  }
  for (size_t i = 0; i < a.hetAtoms.size(); ++i) {
    FUZZ_CHECK(a.hetAtoms[i].name == b.hetAtoms[i].name);
    FUZZ_CHECK(a.hetAtoms[i].x == b.hetAtoms[i].x);
  }
  for (size_t i = 0; i < a.residues.size(); ++i) {
    FUZZ_CHECK(a.residues[i].name == b.residues[i].name && a.residues[i].resSeq == b.residues[i].resSeq);
  }
  return 0;
}
