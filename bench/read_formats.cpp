// Reading one structure in each of its forms (PDB or mmCIF, plain or gzip), in seconds per
// 10,000 atoms, and the share of secondary-structure assignment in a whole analysis at
// the default resolution.
// Usage: bench_read_formats FILE...   (the first file is also analysed)
#include <chrono>
#include <cstdio>

#include "base/program_folder.h"
#include "model/het_radii_file.h"
#include "model/secondary_structure.h"
#include "model/structure_file.h"
#include "surface/sasa.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_read_formats FILE...\n");
    return 2;
  }
  tessmol::SilentFeedback quiet;
  tessmol::HetAtomRadii radii;
  if (const auto loaded =
          tessmol::LoadHetAtomRadii(tessmol::ExecutableFolder() + tessmol::kHetRadiiFile, radii, quiet);
      !loaded) {
    std::fprintf(stderr, "%s\n", loaded.Describe().c_str());
    return 1;
  }
  std::printf("%-28s %9s %12s %16s\n", "file", "atoms", "seconds", "s per 10k atoms");
  for (int a = 1; a < argc; ++a) {
    double best = 1e30;
    size_t atoms = 0;
    for (int round = 0; round < 3; ++round) {
      const auto t0 = Clock::now();
      const tessmol::StructureFile file = tessmol::ReadStructure(argv[a], radii);
      best = std::min(best, Since(t0));
      atoms = file.structure.atoms.size() + file.structure.hetAtoms.size();
      if (!file.status) {
        std::fprintf(stderr, "%s\n", file.status.Describe().c_str());
        return 1;
      }
    }
    std::printf("%-28s %9zu %12.4f %16.4f\n", argv[a], atoms, best,
                best / (static_cast<double>(atoms) / 1e4));
  }
  tessmol::StructureFile file = tessmol::ReadStructure(argv[1], radii);
  tessmol::Protein protein;
  protein.structure = std::move(file.structure);
  auto t0 = Clock::now();
  const std::string ss = tessmol::AssignSecondaryStructure(protein.structure);
  const double assign = Since(t0);
  t0 = Clock::now();
  protein.Load(quiet);
  tessmol::SasaSettings settings;
  settings.threads = 1;
  const auto surface = tessmol::CalculateSASA(protein, 2, tessmol::ExecutableFolder(), quiet, settings);
  if (!surface) return 1;
  const double analysis = Since(t0);
  std::printf("secondary structure of %s: %.4f s, %.1f %% of load and surface areas (%.4f s, one thread)\n",
              argv[1], assign, 100.0 * assign / (assign + analysis), analysis);
  return 0;
}
