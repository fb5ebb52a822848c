// What the fuzz targets share: a scratch folder for readers that take a path, the
// program's data, a small real structure to draw and score, and the check that aborts
// (so that libFuzzer keeps the input) when an invariant breaks.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/het_atom_radii.h"
#include "model/het_radii_file.h"
#include "model/protein.h"
#include "model/structure_file.h"
#include "scoring/residue_scores.h"
#include "scoring/score_table.h"
#include "surface/sasa.h"
#include "surface/sphere_points.h"
#include "test_support.h"
#include "transmembrane/helix_builder.h"

#define FUZZ_CHECK(condition)                                                                 \
  do {                                                                                        \
    if (!(condition)) {                                                                       \
      std::fprintf(stderr, "invariant broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__); \
      std::abort();                                                                           \
    }                                                                                         \
  } while (0)

namespace tessmol::fuzz {

// The program's data and the heteroatom radii, as the tests have them.
using test::ProgramFolder;

inline const HetAtomRadii& Radii() {
  return test::StandardHetRadii();
}

// A file in this process's own scratch folder, removed when the process ends.
inline std::string ScratchPath(const std::string& name) {
  struct Folder {
    std::string path;
    Folder() {
      const char* base = std::getenv("TMPDIR");
      path = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/tessmol_fuzz_" +
             std::to_string(::getpid());
      ::mkdir(path.c_str(), 0700);
    }
    ~Folder() {
      std::error_code ignored;
      std::filesystem::remove_all(path, ignored);
    }
  };
  static const Folder folder;
  return folder.path + "/" + name;
}

inline void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The coarsest point set: fuzzing wants many runs, not fine areas.
inline const std::vector<SpherePoint>& CoarsePoints() {
  static const std::vector<SpherePoint> points = ReadSpherePoints(ProgramFolder() + SpherePointFile(0));
  return points;
}

// Crambin's first residues, with a sulphate and a water when asked: a real structure
// small enough to analyse on every run.
inline std::string SmallStructureText(bool withHetAtoms) {
  std::ifstream in(test::DataPath("1CRN.pdb"));
  std::string line, text;
  int atoms = 0;
  while (std::getline(in, line) && atoms < 40) {
    if (line.rfind("ATOM  ", 0) == 0) {
      text += line + "\n";
      ++atoms;
    }
  }
  if (withHetAtoms) {
    text +=
        "HETATM  400  S   SO4 A 101      10.000  10.000  10.000  1.00 20.00           S\n"
        "HETATM  401  O1  SO4 A 101      10.500  11.300  10.000  1.00 20.00           O\n"
        "HETATM  402  FE  HEM A 102      12.000   8.000   9.000  1.00 20.00          FE\n"
        "HETATM  403  O   HOH A 201      14.000  12.000   5.000  1.00 20.00           O\n";
  }
  return text + "END\n";
}

// Load, surface areas at the coarsest points, scores: the analysis as the program runs it.
inline bool Analyse(Protein& protein, const ScoreValues& table) {
  SilentFeedback quiet;
  protein.Load(quiet);
  SasaSettings settings;
  settings.threads = 1;
  std::optional<SurfaceResult> surface = CalculateSASA(protein, CoarsePoints(), quiet, settings);
  if (!surface) return false;
  protein.surface = std::move(*surface);
  protein.scores = ScoreResidues(protein.structure, protein.surface, table);
  protein.transmembrane = TransmembraneResult::None(protein.structure.residues.size());
  SumScores(protein.transmembrane, protein.scores);
  return true;
}

// One helix builder for the process: it reads each amino-acid template once, not once
// per input, and writes no inspection file.
inline HelixBuilder& Builder() {
  static SilentFeedback quiet;
  static HelixBuilder builder = [] {
    HelixBuilder b(ProgramFolder(), quiet);
    b.inspectionPath.clear();
    return b;
  }();
  return builder;
}

// The small structure, analysed once.
inline const Protein& SmallProtein() {
  static const Protein protein = [] {
    Protein p;
    p.structure = ReadStructureText(SmallStructureText(false), "small.pdb", Radii()).structure;
    p.fileName = "small.pdb";
    Analyse(p, BuiltInScores());
    return p;
  }();
  return protein;
}

}  // namespace tessmol::fuzz
