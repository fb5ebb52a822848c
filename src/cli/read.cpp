#include "cli/read.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <memory>
#include <new>

#include "base/program_folder.h"
#include "base/text.h"
#include "cli/common.h"
#include "document/report.h"
#include "model/het_radii_file.h"
#include "model/secondary_structure.h"
#include "model/structure_file.h"

namespace tessmol::cli {

namespace {

struct ReadArgs {
  std::vector<std::string> files;
  bool residues = false;
  std::string secondary = "auto";
  int maxUnpackedMiB = kDefaultMaxUnpackedMiB;
  std::string confidence = "auto";
};

std::string ChainLabel(const std::string& name) {
  return name.empty() || name == " " || name[0] == '\0' ? std::string("(blank)") : name;
}

// Ranges name their chain by its one-character identifier; the listing names it in full,
// as the chain list does (an mmCIF assembly's copies are A, A-2, A-3).
void PrintRanges(const char* title, const std::vector<SecondaryRange>& ranges, const Structure& s) {
  std::cout << title << ": " << ranges.size() << '\n';
  for (const SecondaryRange& range : ranges) {
    std::string name(1, range.chainId);
    for (size_t k = 0; k < s.chains.size(); ++k) {
      if (s.chains[k].chainId == range.chainId) {
        name = s.ChainName(k);
        break;
      }
    }
    std::cout << "  chain " << ChainLabel(name) << ' ' << range.firstResSeq << '-' << range.lastResSeq
              << '\n';
  }
}

void PrintReading(const StructureFile& file, bool computed) {
  const ReadSummary& r = file.summary;
  std::cout << "Format: " << (file.format == StructureFormat::kMmcif ? "mmCIF" : "PDB")
            << (file.compressed ? ", gzip-compressed" : "") << '\n';
  std::cout << "Read as NMR: " << (file.isNMR ? "yes" : "no") << '\n';
  if (r.modelsSkipped) std::cout << "Models: first model read, later models skipped\n";
  if (r.hydrogens > 0) std::cout << "Hydrogen and deuterium atoms left out: " << r.hydrogens << '\n';
  if (r.conformerAtoms > 0) std::cout << "Atoms of other conformers left out: " << r.conformerAtoms << '\n';
  if (r.duplicateAtoms > 0) std::cout << "Duplicate atoms left out: " << r.duplicateAtoms << '\n';
  if (r.membraneMarkers > 0)
    std::cout << "Membrane pseudo-atoms (DUM) left out: " << r.membraneMarkers << '\n';
  if (r.nucleotides > 0)
    std::cout << "Nucleotides (DNA, RNA) read as heteroatoms, not scored: " << r.nucleotides << '\n';
  for (const auto& [name, parent] : r.modifiedResidues)
    std::cout << "Modified residue " << name << " read as " << parent << '\n';
  if (const std::string why = ConfidenceRefusedReason(file); !why.empty())
    std::cout << "Confidence: none (" << why << ")\n";
  if (!file.structure.confidence.empty()) {
    std::cout << ModelLine(file.structure) << (file.plddtScaled ? " (read as 0 to 1, scaled by 100)" : "")
              << '\n';
  }
  std::cout << "Secondary structure: "
            << (computed                     ? "assigned from coordinates"
                : file.hadSecondaryStructure ? "from the file's records"
                                             : "none")
            << '\n';
}

void PrintStructure(const std::string& path, const StructureFile& file, bool computed) {
  const Structure& s = file.structure;
  std::cout << "Structure " << std::filesystem::path(path).filename().string() << " (" << path << ")\n";
  PrintReading(file, computed);
  std::cout << "Chains: " << s.chains.size() << '\n';
  for (size_t k = 0; k < s.chains.size(); ++k) {
    const Chain& chain = s.chains[k];
    const Residue& first = s.residues[chain.firstResidue];
    const Residue& last = s.residues[chain.lastResidue];
    std::cout << "  chain " << ChainLabel(s.ChainName(k)) << ": residues " << first.resSeq << '-'
              << last.resSeq << " (" << chain.lastResidue - chain.firstResidue + 1 << " residues, index "
              << chain.firstResidue << '-' << chain.lastResidue << ")\n";
  }
  if (const std::string assembly = AssemblyLine(s); !assembly.empty()) std::cout << assembly << '\n';
  std::cout << "Residues: " << s.residues.size() << '\n';
  std::cout << "Atoms: " << s.atoms.size() << '\n';
  std::cout << "Heteroatoms: " << s.hetAtoms.size() << '\n';
  PrintRanges("Helices", s.helices, s);
  PrintRanges("Sheets", s.sheets, s);
  // From the atoms alone: the stored extremities start at the origin, which a structure
  // far from it does not reach.
  float low[3] = {s.atoms[0].x, s.atoms[0].y, s.atoms[0].z};
  float high[3] = {low[0], low[1], low[2]};
  for (const Atom& atom : s.atoms) {
    const float at[3] = {atom.x, atom.y, atom.z};
    for (int axis = 0; axis < 3; ++axis) {
      low[axis] = std::min(low[axis], at[axis]);
      high[axis] = std::max(high[axis], at[axis]);
    }
  }
  const char* axes[3] = {"x", "y", "z"};
  std::cout << "Bounding box:";
  for (int axis = 0; axis < 3; ++axis) {
    std::cout << ' ' << axes[axis] << " [" << FormatFixed(low[axis], 3) << ", " << FormatFixed(high[axis], 3)
              << ']';
  }
  std::cout << '\n';
}

// One line per residue: chain, number with insertion code, name, H, E or -, and a
// predicted model's pLDDT.
void PrintResidues(const Structure& s) {
  const bool model = s.confidence.size() == s.residues.size() && !s.confidence.empty();
  std::cout << "Chain\tNo.\tResidue\tSS" << (model ? "\tpLDDT" : "") << '\n';
  for (size_t k = 0; k < s.chains.size(); ++k) {
    for (int32_t i = s.chains[k].firstResidue; i <= s.chains[k].lastResidue; ++i) {
      const Residue& r = s.residues[i];
      const char ss = r.secStruct == SecondaryStructure::kHelix   ? 'H'
                      : r.secStruct == SecondaryStructure::kSheet ? 'E'
                                                                  : '-';
      std::cout << s.ChainName(k) << '\t' << r.resSeq
                << (r.iCode == ' ' || r.iCode == '\0' ? "" : std::string(1, r.iCode)) << '\t' << r.name
                << '\t' << ss;
      if (model) std::cout << '\t' << FormatFixed(s.confidence[i], 2);
      std::cout << '\n';
    }
  }
}

int Run(const ReadArgs& args) {
  HetAtomRadii radii;
  SilentFeedback quiet;  // a missing radius file only changes heteroatom radii, not what is read
  if (const FileStatus loaded = LoadHetAtomRadii(ExecutableFolder() + kHetRadiiFile, radii, quiet);
      loaded.problem == FileProblem::kFormat) {
    std::cerr << loaded.Describe() << '\n';
    return 1;
  }
  const SecondaryStructureSource source = SecondaryStructureSourceNamed(args.secondary);
  int status = 0;
  bool first = true;
  for (const std::string& path : args.files) {
    StructureFile file;
    // One file too large for the memory there is does not stop the others.
    try {
      file = ReadStructure(path, radii, MebibytesToBytes(args.maxUnpackedMiB),
                           ConfidenceSourceNamed(args.confidence));
    } catch (const std::bad_alloc&) {
      file = StructureFile{};
      file.status = OutOfMemory(path);
    }
    if (file.format == StructureFormat::kResult) {
      std::cerr << "Error: " << path << " is a Tessmol result file, not a structure: use show\n";
      status = 1;
      continue;
    }
    if (!file.status) {
      std::cerr << file.status.Describe() << '\n';
      status = 1;
      continue;
    }
    if (file.structure.atoms.empty()) {
      std::cerr << "Error: no atoms could be read from " << path
                << (NoProteinReason(file).empty() ? "" : ": " + NoProteinReason(file)) << '\n';
      status = 1;
      continue;
    }
    const bool computed = ApplySecondaryStructure(file.structure, file.hadSecondaryStructure, source);
    if (!first) std::cout << '\n';
    first = false;
    PrintStructure(path, file, computed);
    if (args.residues) PrintResidues(file.structure);
  }
  return status;
}

}  // namespace

void SetupRead(CLI::App& app, int& status) {
  auto args = std::make_shared<ReadArgs>();
  CLI::App* read =
      app.add_subcommand("read", "Show what was read from structure files (PDB or mmCIF, plain or gzip)");
  read->add_option("FILE", args->files, "Structure files")->required();
  read->add_flag(
      "--residues", args->residues,
      "One line per residue: chain, number, name, secondary structure (and a predicted model's pLDDT)");
  AddSecondaryStructureOption(*read, args->secondary);
  AddMaxUnpackedOption(*read, args->maxUnpackedMiB);
  AddConfidenceOption(*read, args->confidence);
  read->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
