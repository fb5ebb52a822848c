// Reading plus placing the atoms in the neighbour grid on one structure: atoms, seconds for each step,
// and the process's peak memory per atom.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "base/program_folder.h"
#include "model/het_radii_file.h"
#include "model/pdb_reader.h"
#include "model/protein.h"

int main(int argc, char** argv) {
  using Clock = std::chrono::steady_clock;
  if (argc < 2) {
    std::fprintf(stderr, "usage: bench_read_load FILE.pdb [--ignore-het]\n");
    return 2;
  }
  const bool ignoreHet = argc > 2 && std::string(argv[2]) == "--ignore-het";
  tessmol::SilentFeedback quiet;
  tessmol::HetAtomRadii radii;
  if (const auto loaded =
          tessmol::LoadHetAtomRadii(tessmol::ExecutableFolder() + tessmol::kHetRadiiFile, radii, quiet);
      !loaded) {
    std::fprintf(stderr, "%s\n", loaded.Describe().c_str());
    return 1;
  }

  const auto t0 = Clock::now();
  tessmol::PdbReader reader(radii);
  if (!reader.Open(argv[1])) {
    std::fprintf(stderr, "cannot read %s\n", argv[1]);
    return 1;
  }
  if (const auto read = reader.Read(); !read) {
    std::fprintf(stderr, "%s\n", read.Describe().c_str());
    return 1;
  }
  tessmol::Protein protein;
  protein.structure = std::move(reader.structure());
  protein.ignoreHeteroAtoms = ignoreHet;
  const auto t1 = Clock::now();
  protein.Load(quiet);
  const auto t2 = Clock::now();

  // The lists themselves are found by the surface-area pass; count them once here.
  size_t pairs = 0;
  tessmol::NeighbourScratch scratch;
  for (size_t c = 0; c < protein.neighbourGrid->CellCount(); ++c)
    protein.neighbourGrid->ForEachAtom(c, scratch, [&](tessmol::AtomRef ref, const auto& found) {
      if (!ref.hetero()) pairs += found.size();
    });
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const double atoms = static_cast<double>(protein.structure.atoms.size());
  std::printf("atoms %zu hetatoms %zu residues %zu neighbours/atom %.1f\n", protein.structure.atoms.size(),
              protein.structure.hetAtoms.size(), protein.structure.residues.size(), pairs / atoms);
  std::printf("read %.3f s  load %.3f s  total %.3f s\n", std::chrono::duration<double>(t1 - t0).count(),
              std::chrono::duration<double>(t2 - t1).count(), std::chrono::duration<double>(t2 - t0).count());
  std::printf("peak memory %.1f MiB, %.0f bytes per atom\n", usage.ru_maxrss / 1024.0,
              usage.ru_maxrss * 1024.0 / atoms);
  return 0;
}
