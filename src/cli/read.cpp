#include "cli/read.h"

#include <filesystem>
#include <iostream>
#include <memory>

#include "model/pdb_reader.h"
#include "model/program_folder.h"
#include "model/text.h"
#include "surface/het_radii_file.h"

namespace tessmol::cli {

namespace {

std::string ChainLabel(char id) {
  return id == ' ' || id == '\0' ? std::string("(blank)") : std::string(1, id);
}

void PrintRanges(const char* title, const std::vector<SecondaryRange>& ranges) {
  std::cout << title << ": " << ranges.size() << '\n';
  for (const SecondaryRange& range : ranges) {
    std::cout << "  chain " << ChainLabel(range.chainId) << ' ' << range.firstResSeq << '-'
              << range.lastResSeq << '\n';
  }
}

void PrintStructure(const std::string& path, const PdbReader& reader) {
  const Structure& s = reader.structure();
  std::cout << "Structure " << std::filesystem::path(path).filename().string() << " (" << path << ")\n";
  std::cout << "Read as NMR: " << (reader.isNMR() ? "yes" : "no") << '\n';
  if (reader.modelsSkipped()) std::cout << "Models: first model read, later models skipped\n";
  std::cout << "Chains: " << s.chains.size() << '\n';
  for (const Chain& chain : s.chains) {
    const Residue& first = s.residues[chain.firstResidue];
    const Residue& last = s.residues[chain.lastResidue];
    std::cout << "  chain " << ChainLabel(chain.chainId) << ": residues " << first.resSeq << '-'
              << last.resSeq << " (" << chain.lastResidue - chain.firstResidue + 1 << " residues, index "
              << chain.firstResidue << '-' << chain.lastResidue << ")\n";
  }
  std::cout << "Residues: " << s.residues.size() << '\n';
  std::cout << "Atoms: " << s.atoms.size() << '\n';
  std::cout << "Heteroatoms: " << s.hetAtoms.size() << '\n';
  PrintRanges("Helices", s.helices);
  PrintRanges("Sheets", s.sheets);
  const char* axes[3] = {"x", "y", "z"};
  std::cout << "Bounding box:";
  for (int axis = 0; axis < 3; ++axis) {
    std::cout << ' ' << axes[axis] << " [" << FormatFixed(s.xyzExtremities[axis].f1, 3) << ", "
              << FormatFixed(s.xyzExtremities[axis].f2, 3) << ']';
  }
  std::cout << '\n';
}

}  // namespace

void SetupRead(CLI::App& app, int& status) {
  auto files = std::make_shared<std::vector<std::string>>();
  CLI::App* read = app.add_subcommand("read", "Show what was read from PDB files");
  read->add_option("FILE", *files, "PDB structure files")->required();
  read->callback([files, &status]() {
    HetAtomRadii radii;
    SilentFeedback quiet;  // a missing radius file only changes heteroatom radii, not what is read
    LoadHetAtomRadii(ExecutableFolder() + kHetRadiiFile, radii, quiet);
    bool first = true;
    for (const std::string& path : *files) {
      PdbReader reader(radii);
      FileStatus file = reader.Open(path);
      if (file) file = reader.Read();
      if (!file) {
        std::cerr << file.Describe() << '\n';
        status = 1;
        continue;
      }
      if (reader.structure().atoms.empty()) {
        std::cerr << "Error: no atoms in " << path << '\n';
        status = 1;
        continue;
      }
      if (!first) std::cout << '\n';
      first = false;
      PrintStructure(path, reader);
    }
  });
}

}  // namespace tessmol::cli
