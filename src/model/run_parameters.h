// The parameters a structure was analysed with and the program that did it, kept beside
// the results so that every output (summary, tables, JSON, result file) can say how its
// numbers were made.
#pragma once

#include <string>

namespace tessmol {

struct RunParameters {
  std::string version;             // of Tessmol; empty when not recorded (an older result file)
  int resolution = -1;             // sphere-point option 0 to 6; -1 when not recorded
  bool ignoreHeteroAtoms = false;  // true: every heteroatom left out, else waters only
  std::string secondaryStructure;  // auto, records or computed
  std::string scoreTable;          // the score table's file name
  std::string method;              // window, segments or slab after a transmembrane run; empty before
  // Heteroatoms that covered the surface and water molecules left out; -1 when not recorded.
  long long coveringHetAtoms = -1;
  long long watersLeftOut = -1;
  // A predicted model's confidence cut-off (pLDDT) for its confident scores; -1 when not
  // recorded (an experimental structure, an older result file).
  float confidentPlddt = -1.0f;

  bool recorded() const { return !version.empty(); }
};

}  // namespace tessmol
