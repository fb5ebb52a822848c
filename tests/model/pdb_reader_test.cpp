#include "model/pdb_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "model/structure_file.h"
#include "test_support.h"

namespace tessmol {
namespace {

using test::DataPath;
using test::ReadPdb;

Structure ReadText(const std::string& text, bool* isNMR = nullptr) {
  PdbReader reader(test::StandardHetRadii());
  std::istringstream in(text);
  EXPECT_TRUE(reader.Read(in, "text").ok());
  if (isNMR) *isNMR = reader.isNMR();
  return reader.structure();
}

// An ATOM line in the fixed columns.
std::string AtomLine(int serial, const std::string& name, char alt, const std::string& res, char chain,
                     int resSeq, char iCode, float x, float y, float z,
                     const std::string& record = "ATOM  ") {
  char buffer[100];
  std::snprintf(buffer, sizeof buffer, "%-6s%5d %-4s%c%-3s %c%4d%c   %8.3f%8.3f%8.3f  1.00  0.00\n",
                record.c_str(), serial, name.c_str(), alt, res.c_str(), chain, resSeq, iCode, x, y, z);
  return buffer;
}

// ---- counts against an independent reading of the files -----------------------------

class ReaderCounts : public testing::TestWithParam<std::string> {};

TEST_P(ReaderCounts, AgreeWithAnIndependentCount) {
  const std::string path = DataPath(GetParam());
  const test::CommandResult oracle =
      test::RunCommand("awk -f " + std::string(TESSMOL_TEST_SOURCE) + "/model/pdb_counts.awk " + path);
  ASSERT_EQ(oracle.status, 0);
  std::istringstream counts(oracle.out);
  size_t atoms = 0, residues = 0, het = 0;
  counts >> atoms >> residues >> het;
  const Structure s = ReadPdb(path).structure;
  EXPECT_EQ(s.atoms.size(), atoms);
  EXPECT_EQ(s.residues.size(), residues);
  EXPECT_EQ(s.hetAtoms.size(), het);
  // Every atom is registered with exactly one residue, and indices match positions.
  std::vector<int> owners(s.atoms.size(), 0);
  for (const Residue& r : s.residues) {
    for (int32_t i : {r.nIndex, r.caIndex, r.cIndex, r.oIndex}) {
      if (i >= 0) ++owners[i];
    }
    for (int32_t i : r.sideChain) ++owners[i];
  }
  for (size_t i = 0; i < s.atoms.size(); ++i) {
    EXPECT_EQ(owners[i], 1) << "atom " << i;
    EXPECT_EQ(s.atoms[i].index, static_cast<int32_t>(i));
  }
}

INSTANTIATE_TEST_SUITE_P(RealFiles, ReaderCounts,
                         testing::Values("1UBQ.pdb", "1CRN.pdb", "1U19.pdb", "4HHB.pdb", "1AKI.pdb",
                                         "5PTI.pdb", "1EJG.pdb", "1A8O.pdb", "2SRC.pdb", "1D3Z.pdb",
                                         "2JO4.pdb", "2BEG.pdb", "1LVZ.pdb", "biopython_disordered.pdb",
                                         "freesasa_icode.pdb", "freesasa_alt_model_twochain.pdb",
                                         "freesasa_3bzd_trimmed.pdb", "freesasa_empty_model.pdb"),
                         [](const auto& info) {
                           std::string name = info.param.substr(0, info.param.find('.'));
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// ---- chains -----------------------------------------------------------------------------

TEST(ReaderChains, TerLinesSeparateChains) {
  const Structure s = ReadPdb(DataPath("4HHB.pdb")).structure;
  ASSERT_EQ(s.chains.size(), 4u);
  const char ids[4] = {'A', 'B', 'C', 'D'};
  for (size_t k = 0; k < 4; ++k) {
    EXPECT_EQ(s.chains[k].chainId, ids[k]);
    for (int32_t r = s.chains[k].firstResidue; r <= s.chains[k].lastResidue; ++r) {
      EXPECT_EQ(s.residues[r].chainId, ids[k]);
    }
    if (k > 0) {
      EXPECT_EQ(s.chains[k].firstResidue, s.chains[k - 1].lastResidue + 1);
    }
  }
  EXPECT_EQ(s.chains[0].firstResidue, 0);
  EXPECT_EQ(s.chains[3].lastResidue, static_cast<int32_t>(s.residues.size()) - 1);
  // Haemoglobin: 141 residues in the alpha chains, 146 in the beta chains.
  EXPECT_EQ(s.chains[0].lastResidue - s.chains[0].firstResidue + 1, 141);
  EXPECT_EQ(s.chains[1].lastResidue - s.chains[1].firstResidue + 1, 146);
}

TEST(ReaderChains, ChainsWithoutTerSplitAtTheFirstResidueOfTheNext) {
  const Structure s = ReadPdb(DataPath("freesasa_alt_model_twochain.pdb")).structure;
  ASSERT_EQ(s.chains.size(), 2u);
  EXPECT_EQ(s.chains[0].chainId, 'A');
  EXPECT_EQ(s.chains[0].firstResidue, 0);
  EXPECT_EQ(s.chains[0].lastResidue, 1);
  EXPECT_EQ(s.chains[1].chainId, 'B');
  EXPECT_EQ(s.chains[1].firstResidue, 2);
  EXPECT_EQ(s.chains[1].lastResidue, 3);
}

TEST(ReaderChains, SelenomethioninesStayInTheirChainAsMethionine) {
  // 1A8O writes its selenomethionines (MSE 185, 214, 215) as HETATM between ATOM lines.
  const test::ReadStructureResult read = ReadPdb(DataPath("1A8O.pdb"));
  const Structure& s = read.structure;
  ASSERT_EQ(s.chains.size(), 1u);
  ASSERT_EQ(s.residues.size(), 70u);
  const Residue& mse = s.residues[185 - s.residues[0].resSeq];
  EXPECT_EQ(mse.resSeq, 185);
  EXPECT_EQ(mse.name, "MET");
  EXPECT_EQ(mse.type, kMet);
  bool sulphur = false;
  for (int32_t i : mse.sideChain)
    sulphur = sulphur || (s.atoms[i].name == "SD" && s.atoms[i].atomClass == AtomClass::kMethionineSulphur);
  EXPECT_TRUE(sulphur);  // the selenium, typed as MET's sulphur
}

TEST(ReaderChains, TerEndsAChainAndOneResidueIsAChain) {
  const std::string gly1 = AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 0, 0, 0);
  const std::string gly2 = AtomLine(2, "N", ' ', "GLY", 'A', 2, ' ', 5, 0, 0);
  const std::string gly3 = AtomLine(3, "N", ' ', "GLY", 'A', 3, ' ', 9, 0, 0);
  Structure s = ReadText(gly1 + gly2 + "TER\n" + gly3);
  ASSERT_EQ(s.chains.size(), 2u);
  EXPECT_EQ(s.chains[0].lastResidue, 1);
  EXPECT_EQ(s.chains[1].firstResidue, 2);
  EXPECT_EQ(s.chains[1].lastResidue, 2);
  s = ReadText(gly1);
  ASSERT_EQ(s.chains.size(), 1u);
  EXPECT_EQ(s.chains[0].lastResidue, 0);
}

TEST(ReaderChains, AChangeOfChainAloneStartsAResidue) {
  const std::string text = AtomLine(1, "N", ' ', "GLY", 'A', 5, ' ', 0, 0, 0) +
                           AtomLine(2, "CA", ' ', "GLY", 'A', 5, ' ', 1, 0, 0) +
                           AtomLine(3, "N", ' ', "GLY", 'B', 5, ' ', 2, 0, 0) +
                           AtomLine(4, "CA", ' ', "GLY", 'B', 5, ' ', 3, 0, 0) +
                           AtomLine(5, "N", ' ', "GLY", 'B', 6, ' ', 4, 0, 0);
  const Structure s = ReadText(text);
  ASSERT_EQ(s.residues.size(), 3u);
  EXPECT_EQ(s.residues[1].chainId, 'B');
  ASSERT_EQ(s.chains.size(), 2u);
  EXPECT_EQ(s.chains[1].firstResidue, 1);
  EXPECT_EQ(s.chains[1].lastResidue, 2);
}

// ---- the first model only -------------------------------------------------------------

TEST(ReaderModels, SolutionNmrEntriesGiveTheFirstModelOnly) {
  for (const char* name : {"1D3Z.pdb", "2JO4.pdb", "2BEG.pdb"}) {
    SCOPED_TRACE(name);
    const auto result = ReadPdb(DataPath(name));
    EXPECT_TRUE(result.isNMR);  // EXPDTA    SOLUTION NMR
    const test::CommandResult firstModel = test::RunCommand(
        "awk '/^ENDMDL/{exit} /^ATOM/ && substr($0,77,2) !~ /[HD]/ {n++} END{print n+0}' " + DataPath(name));
    EXPECT_EQ(result.structure.atoms.size(), std::stoul(firstModel.out));
    // No two atoms of one residue share a name, as they would if models were stacked.
    for (const Residue& r : result.structure.residues) {
      std::set<std::string> names;
      for (int32_t i : r.sideChain) EXPECT_TRUE(names.insert(result.structure.atoms[i].name).second);
    }
  }
}

TEST(ReaderModels, MultiChainNmrEntriesKeepEveryChainOfTheFirstModel) {
  const Structure s = ReadPdb(DataPath("2BEG.pdb")).structure;
  ASSERT_EQ(s.chains.size(), 5u);
  for (size_t k = 0; k < 5; ++k) {
    EXPECT_EQ(s.chains[k].chainId, "ABCDE"[k]);
    EXPECT_EQ(s.chains[k].lastResidue - s.chains[k].firstResidue + 1, 26);  // residues 17-42
  }
}

TEST(ReaderModels, AnyMethodNamingNmrSetsTheFlag) {
  bool isNMR = false;
  const std::string model1 = AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 1, 1, 1);
  const std::string model2 = AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 9, 9, 9);
  Structure s = ReadText(
      "EXPDTA    NMR\nMODEL        1\n" + model1 + "ENDMDL\nMODEL        2\n" + model2 + "ENDMDL\n", &isNMR);
  EXPECT_TRUE(isNMR);
  ASSERT_EQ(s.atoms.size(), 1u);
  EXPECT_FLOAT_EQ(s.atoms[0].x, 1.0f);
  ReadText("EXPDTA    SOLID-STATE NMR\n", &isNMR);
  EXPECT_TRUE(isNMR);
  ReadText("EXPDTA    X-RAY DIFFRACTION\n", &isNMR);
  EXPECT_FALSE(isNMR);
}

TEST(ReaderModels, AnEmptyFirstModelDoesNotHideTheNext) {
  const Structure s = ReadText("MODEL        1\nENDMDL\nMODEL        2\n" +
                               AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 1, 1, 1) + "ENDMDL\n");
  EXPECT_EQ(s.atoms.size(), 1u);
}

// ---- alternate locations and insertion codes -----------------------------------------

TEST(ReaderAltLocs, TheFirstConformerOfEachResidueIsKept) {
  const Structure s = ReadPdb(DataPath("biopython_disordered.pdb")).structure;
  for (const Residue& r : s.residues) {
    std::set<std::string> names;
    for (int32_t i : {r.nIndex, r.caIndex, r.cIndex, r.oIndex}) {
      if (i >= 0) names.insert(s.atoms[i].name);
    }
    for (int32_t i : r.sideChain) {
      EXPECT_TRUE(names.insert(s.atoms[i].name).second) << r.name << r.resSeq << " " << s.atoms[i].name;
    }
  }
  // ARG 27: CZ without a letter comes first, then CZ, NH1 and NH2 of conformer B, the first
  // letter met: the residue is conformer B whole, never CZ of one with NH1 of the other.
  const auto arg =
      std::find_if(s.residues.begin(), s.residues.end(), [](const Residue& r) { return r.resSeq == 27; });
  ASSERT_NE(arg, s.residues.end());
  ASSERT_EQ(arg->sideChain.size(), 7u);  // CB CG CD NE CZ NH1 NH2
  const Atom& cz = s.atoms[arg->sideChain[4]];
  const Atom& nh1 = s.atoms[arg->sideChain[5]];
  EXPECT_EQ(cz.name, "CZ");
  EXPECT_FLOAT_EQ(cz.x, 60.798f);   // conformer B's CZ line in the file
  EXPECT_FLOAT_EQ(nh1.x, 61.262f);  // and its NH1 line
  // A guanidinium C-N bond, not the 2.7 to 3.5 angstrom of a mixed conformer.
  const float d = std::hypot(cz.x - nh1.x, cz.y - nh1.y, cz.z - nh1.z);
  constexpr double kGuanidiniumCN = 1.33;  // angstrom, a standard bond length
  EXPECT_NEAR(d, kGuanidiniumCN, 0.05);
}

TEST(ReaderAltLocs, HighResolutionEntryWithAnisouLines) {
  // Crambin at 0.54 A: two conformers of most atoms, each followed by an ANISOU line.
  const Structure s = ReadPdb(DataPath("1EJG.pdb")).structure;
  EXPECT_EQ(s.residues.size(), 46u);
  ASSERT_EQ(s.chains.size(), 1u);
  EXPECT_EQ(s.chains[0].lastResidue, 45);
  EXPECT_FLOAT_EQ(s.atoms[s.residues[0].nIndex].x, 16.885f);  // conformer A
  // Residue 22 is PRO in conformer A and SER in conformer B: the PRO atoms stay, without
  // their hydrogens.
  EXPECT_EQ(s.residues[21].name, "PRO");
  EXPECT_EQ(s.residues[21].sideChain.size(), 3u);
}

TEST(ReaderInsertionCodes, EachCodeIsItsOwnResidue) {
  const Structure s = ReadPdb(DataPath("freesasa_icode.pdb")).structure;
  ASSERT_EQ(s.residues.size(), 5u);
  const char codes[5] = {' ', 'A', 'B', 'C', ' '};
  const char* names[5] = {"MET", "GLN", "ILE", "PHE", "VAL"};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(s.residues[i].iCode, codes[i]);
    EXPECT_EQ(s.residues[i].name, names[i]);
    EXPECT_EQ(s.residues[i].type, ResidueTypeOf(names[i]));
  }
  EXPECT_EQ(s.residues[3].resSeq, 1);
}

// ---- secondary structure -------------------------------------------------------------

TEST(ReaderSecondaryStructure, HelixAndSheetRangesTypeTheResidues) {
  const Structure s = ReadPdb(DataPath("1UBQ.pdb")).structure;
  // 1UBQ: HELIX 1 ILE 23 - GLU 34; SHEET strands include MET 1 - THR 7.
  for (const Residue& r : s.residues) {
    if (r.resSeq >= 23 && r.resSeq <= 34) {
      EXPECT_EQ(r.secStruct, SecondaryStructure::kHelix) << r.resSeq;
    }
    if (r.resSeq >= 1 && r.resSeq <= 7) {
      EXPECT_EQ(r.secStruct, SecondaryStructure::kSheet) << r.resSeq;
    }
  }
  EXPECT_EQ(s.residues[70].secStruct, SecondaryStructure::kSheet);  // strand 66-72
  EXPECT_EQ(s.residues[75].secStruct, SecondaryStructure::kCoil);   // GLY 76
}

TEST(ReaderSecondaryStructure, AnAtomLineRightAfterAHelixRunIsRead) {
  const std::string helix = "HELIX    1   1 GLY A    1  GLY A    2  1                                   2\n";
  const std::string sheet = "SHEET    1   A 2 GLY A   2  GLY A   2  0\n";
  const Structure s = ReadText(helix + AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 1, 2, 3) + sheet +
                               AtomLine(2, "N", ' ', "GLY", 'A', 2, ' ', 4, 5, 6));
  ASSERT_EQ(s.atoms.size(), 2u);
  ASSERT_EQ(s.residues.size(), 2u);
  EXPECT_EQ(s.residues[0].secStruct, SecondaryStructure::kHelix);
  EXPECT_EQ(s.residues[1].secStruct, SecondaryStructure::kSheet);  // a sheet wins over a helix
}

TEST(ReaderSecondaryStructure, PolyprolineHelicesAreNoHelices) {
  // HELIX class 10 (columns 39-40) is polyproline, left-handed; class 5 (3-10) is right-handed.
  const Structure s = ReadText(
      "HELIX    1   1 GLY A    1  GLY A    1 10\n"
      "HELIX    2   2 GLY A    2  GLY A    2  5\n" +
      AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 1, 2, 3) +
      AtomLine(2, "N", ' ', "GLY", 'A', 2, ' ', 4, 5, 6));
  ASSERT_EQ(s.residues.size(), 2u);
  EXPECT_EQ(s.residues[0].secStruct, SecondaryStructure::kCoil);
  EXPECT_EQ(s.residues[1].secStruct, SecondaryStructure::kHelix);
}

TEST(ReaderSecondaryStructure, RangesAfterTheAtomsTypeNothing) {
  const Structure s = ReadText(AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 1, 2, 3) +
                               "HELIX    1   1 GLY A    1  GLY A    2  1\n");
  ASSERT_EQ(s.helices.size(), 1u);
  EXPECT_EQ(s.residues[0].secStruct, SecondaryStructure::kCoil);
}

// ---- heteroatoms, bounding box ---------------------------------------------------------

TEST(ReaderHetAtoms, RadiiAndPolarityFromTheTable) {
  const Structure s = ReadPdb(DataPath("4HHB.pdb")).structure;
  ASSERT_FALSE(s.hetAtoms.empty());
  const HetAtom& iron = s.hetAtoms[0];
  EXPECT_EQ(iron.name, "FE  ");
  EXPECT_EQ(iron.residueName, "HEM");
  EXPECT_FLOAT_EQ(iron.radius, 1.4f + 2.44f);
  EXPECT_TRUE(iron.polar);
  const HetAtom& carbon = s.hetAtoms[1];
  EXPECT_EQ(carbon.name, " CHA");
  EXPECT_FLOAT_EQ(carbon.radius, 1.4f + 1.70f);
  EXPECT_FALSE(carbon.polar);
  for (const HetAtom& h : s.hetAtoms) {
    EXPECT_TRUE(h.hetero);
    if (h.residueName == "HOH") {
      EXPECT_FLOAT_EQ(h.radius, 1.4f + 1.52f);
      EXPECT_TRUE(h.polar);
    }
  }
  // Heteroatoms carry the number of protein atoms read before them.
  const test::CommandResult before =
      test::RunCommand("awk '/^HETATM/{exit} /^ATOM/{n++} END{print n+0}' " + DataPath("4HHB.pdb"));
  EXPECT_EQ(iron.index, std::stoi(before.out));
}

// The lac repressor headpiece on its operator DNA (1LCD, first NMR model): the two DNA
// strands, written as ATOM records, are no protein. They become heteroatoms (which cover
// the protein's surface as a ligand's do) and never residues with scores.
TEST(ReaderHetAtoms, DnaAndRnaAreHeteroatomsNotResidues) {
  const std::string path = DataPath("1LCD_model1.pdb");
  const StructureFile file = ReadStructure(path, test::StandardHetRadii());
  const Structure& s = file.structure;
  auto count = [&](const std::string& awk) {
    return std::stoi(test::RunCommand("awk '" + awk + "' " + path).out);
  };
  const int proteinResidues = count("/^ATOM/ && substr($0,13,4)==\" CA \"{n++} END{print n+0}");
  const int dnaResidues =
      count("/^ATOM/ && substr($0,18,3)~/^ D[ACGT]$/ && !seen[substr($0,22,5)]++{n++} END{print n+0}");
  const int dnaAtoms = count("/^ATOM/ && substr($0,18,3)~/^ D[ACGT]$/{n++} END{print n+0}");
  ASSERT_EQ(proteinResidues, 51);
  ASSERT_EQ(dnaResidues, 22);  // two strands of eleven
  EXPECT_EQ(static_cast<int>(s.residues.size()), proteinResidues);
  ASSERT_EQ(s.chains.size(), 1u);
  EXPECT_EQ(s.chains[0].chainId, 'A');
  EXPECT_EQ(file.summary.nucleotides, dnaResidues);
  int dnaHet = 0;
  for (const HetAtom& h : s.hetAtoms) dnaHet += h.residueName.find('D') != std::string::npos;
  EXPECT_EQ(dnaHet, dnaAtoms);
  // Its cytidines methylated (5CM), as the file's MODRES records say: still no residues.
  std::ifstream in(path);
  std::string text = "MODRES 1LCD 5CM B    3   DC  5-METHYL-2'-DEOXY-CYTIDINE\n", line;
  while (std::getline(in, line)) {
    if ((line.rfind("ATOM", 0) == 0) && line.substr(17, 3) == " DC") line.replace(17, 3, "5CM");
    text += line + "\n";
  }
  const Structure methylated = ReadText(text);
  EXPECT_EQ(methylated.residues.size(), s.residues.size());
  EXPECT_EQ(methylated.hetAtoms.size(), s.hetAtoms.size());
  // RNA's names are one letter; ALA and a ligand named like none stay what they were.
  const Structure rna = ReadText(AtomLine(1, "N", ' ', "ALA", 'A', 1, ' ', 0, 0, 0) +
                                 AtomLine(2, "CA", ' ', "ALA", 'A', 1, ' ', 1.5f, 0, 0) +
                                 AtomLine(3, "P", ' ', "U", 'R', 1, ' ', 9, 9, 9) +
                                 AtomLine(4, "P", ' ', "G", 'R', 2, ' ', 12, 9, 9));
  EXPECT_EQ(rna.residues.size(), 1u);
  EXPECT_EQ(rna.hetAtoms.size(), 2u);
  EXPECT_TRUE(IsNucleotide("  U") && IsNucleotide(" DT") && IsNucleotide("DN"));
  EXPECT_FALSE(IsNucleotide("ALA") || IsNucleotide("ATP") || IsNucleotide("D") || IsNucleotide(""));
}

TEST(ReaderHetAtoms, UnknownKeysGetTheDefaultRadius) {
  const Structure s = ReadText(AtomLine(1, "XX1", ' ', "LIG", 'A', 1, ' ', 0, 0, 0, "HETATM"));
  ASSERT_EQ(s.hetAtoms.size(), 1u);
  EXPECT_FLOAT_EQ(s.hetAtoms[0].radius, 2.8f);
  EXPECT_FLOAT_EQ(s.hetAtoms[0].sphereArea, 2.8f * 2.8f * 12.566371f);
}

TEST(ReaderBoundingBox, SpansTheAtomsAndTheOrigin) {
  const Structure s = ReadPdb(DataPath("1CRN.pdb")).structure;
  for (int axis = 0; axis < 3; ++axis) {
    float low = 0.0f, high = 0.0f;
    for (const Atom& a : s.atoms) {
      const float v = axis == 0 ? a.x : axis == 1 ? a.y : a.z;
      low = std::min(low, v);
      high = std::max(high, v);
    }
    EXPECT_EQ(s.xyzExtremities[axis].f1, low);
    EXPECT_EQ(s.xyzExtremities[axis].f2, high);
  }
  // The box always holds the origin, even when every atom lies at positive coordinates.
  const Structure positive = ReadText(AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 3, 4, 5) +
                                      AtomLine(2, "CA", ' ', "GLY", 'A', 1, ' ', 6, 7, 8));
  for (int axis = 0; axis < 3; ++axis) EXPECT_EQ(positive.xyzExtremities[axis].f1, 0.0f);
  EXPECT_EQ(positive.xyzExtremities[2].f2, 8.0f);
}

// ---- bad input ----------------------------------------------------------------------

TEST(ReaderBadInput, CoordinatesBeyondAMillionAngstromAreRefusedWithTheirLine) {
  const std::string good = AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 3, 4, 5);
  for (const char* x : {"  1e30  ", "-1.0e7  ", "2e+06   ", "  1e39  "}) {
    std::string bad = AtomLine(2, "CA", ' ', "GLY", 'A', 1, ' ', 6, 7, 8);
    bad.replace(30, 8, x);
    PdbReader reader(test::StandardHetRadii());
    std::istringstream in(good + bad);
    const FileStatus status = reader.Read(in, "text");
    EXPECT_EQ(status.problem, FileProblem::kFormat) << x;
    EXPECT_EQ(status.line, 2) << x;
  }
  // mmCIF the same, through the atom_site loop, on the row's own line.
  const std::string cif =
      "data_x\nloop_\n_atom_site.group_PDB\n_atom_site.id\n_atom_site.type_symbol\n_atom_site.label_atom_id\n"
      "_atom_site.label_alt_id\n_atom_site.label_comp_id\n_atom_site.label_asym_id\n_atom_site.auth_seq_id\n"
      "_atom_site.Cartn_x\n_atom_site.Cartn_y\n_atom_site.Cartn_z\n_atom_site.occupancy\n"
      "_atom_site.B_iso_or_equiv\nATOM 1 N N . GLY A 1 1.0 2.0 3.0 1 10\nATOM 2 C CA . GLY A 1 1e30 2.0 3.0 "
      "1 10\n";
  const StructureFile file = ReadStructureText(cif, "x.cif", test::StandardHetRadii());
  EXPECT_EQ(file.status.problem, FileProblem::kFormat);
  EXPECT_EQ(file.status.line, 17) << file.status.Describe();
  EXPECT_NE(file.status.Describe().find(kImplausibleCoordinates), std::string::npos)
      << file.status.Describe();
}

TEST(ReaderBadInput, NeverCrashesAndKeepsWhatItCan) {
  EXPECT_TRUE(ReadText("").atoms.empty());
  EXPECT_TRUE(ReadText("\n\n\r\n").atoms.empty());
  // Lines shorter than their fields read the missing fields as empty.
  Structure s = ReadText("HELIX\nSHEET\nEXPDTA\n");
  EXPECT_EQ(s.helices.size(), 1u);
  EXPECT_EQ(s.sheets.size(), 1u);
  // Non-numeric fields other than the coordinates read as 0; text beyond column 80 is ignored.
  s = ReadText("ATOM   abcd  N   GLY A  xy       1.000   2.000 -1.0000 " + std::string(200, 'Z') + "\n");
  ASSERT_EQ(s.atoms.size(), 1u);
  EXPECT_EQ(s.atoms[0].serial, 0);
  EXPECT_EQ(s.atoms[0].resSeq, 0);
  EXPECT_FLOAT_EQ(s.atoms[0].z, -1.0f);
  // Binary bytes and NaN coordinates are format errors.
  std::string binary = "ATOM  ";
  for (int c = 0; c < 256; ++c) binary.push_back(static_cast<char>(c));
  for (const std::string& text :
       {binary, std::string("ATOM      1  N   GLY A   1         nan     inf    -inf")}) {
    PdbReader reader(test::StandardHetRadii());
    EXPECT_EQ(reader.Read(std::string_view(text), "text").problem, FileProblem::kFormat);
  }
}

// 1CRN's last ATOM line (line 599) written as a broken download leaves it, and variants
// of the coordinate columns that other programs write.
TEST(ReaderBadInput, AtomLinesWithoutNumericCoordinatesAreFormatErrorsOnTheirLine) {
  std::ifstream file(DataPath("1CRN.pdb"), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  const size_t start = text.find("ATOM    327  OXT ASN A  46      12.703   4.973  10.746");
  ASSERT_NE(start, std::string::npos);
  const size_t end = text.find('\n', start) + 1;
  const std::string line = text.substr(start, end - start);
  auto read = [&](const std::string& replacement, bool keepRest = true) {
    const std::string variant = text.substr(0, start) + replacement + (keepRest ? text.substr(end) : "");
    PdbReader reader(test::StandardHetRadii());
    const FileStatus status = reader.Read(std::string_view(variant), "1CRN.pdb");
    return std::make_pair(status, reader.structure());
  };
  const std::string tooShort =
      "Error: format error in 1CRN.pdb on line 599: " + std::string(kAtomLineTooShort);
  const std::string noNumber =
      "Error: format error in 1CRN.pdb on line 599: " + std::string(kImplausibleCoordinates);
  EXPECT_EQ(read(line.substr(0, 46) + "\n").first.Describe(), tooShort);  // z missing
  EXPECT_EQ(read(line.substr(0, 30) + "\n").first.Describe(), tooShort);  // no coordinates
  EXPECT_EQ(read(line.substr(0, 46) + "   xx.yy" + line.substr(54)).first.Describe(), noNumber);
  EXPECT_EQ(read(line.substr(0, 38) + "   4 973" + line.substr(46)).first.Describe(), noNumber);
  // The file cut off within its last line, also within the record name.
  EXPECT_EQ(read(line.substr(0, 51), false).first.Describe(), tooShort);
  EXPECT_EQ(read("ATO", false).first.Describe(), tooShort);
  // A whole last line without its newline, ending at column 54, reads.
  EXPECT_TRUE(read(line.substr(0, 54), false).first.ok());
  // Whole numbers, blanks on either side and a sign read; nothing after z is needed.
  const auto [status, s] = read(line.substr(0, 30) + "      12  +4.97   10.746\n");
  ASSERT_TRUE(status.ok()) << status.Describe();
  ASSERT_EQ(s.atoms.size(), 327u);
  EXPECT_FLOAT_EQ(s.atoms.back().x, 12.0f);
  EXPECT_FLOAT_EQ(s.atoms.back().y, 4.97f);
  EXPECT_FLOAT_EQ(s.atoms.back().z, 10.746f);
}

// 1U19.pdb cut after 200037 bytes, as a download that stopped: within the z field of atom
// 1656 on line 2470.
TEST(ReaderBadInput, AFileCutWithinAnAtomLineIsAFormatError) {
  std::ifstream file(DataPath("1U19.pdb"), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  text.resize(200037);
  PdbReader reader(test::StandardHetRadii());
  const FileStatus status = reader.Read(std::string_view(text), "1U19.pdb");
  EXPECT_EQ(status.problem, FileProblem::kFormat);
  EXPECT_EQ(status.line, 2470);
}

TEST(ReaderBadInput, FoldersMissingFilesAndEmptyPathsDoNotOpen) {
  PdbReader reader(test::StandardHetRadii());
  EXPECT_EQ(reader.Open("").problem, FileProblem::kMissing);
  EXPECT_EQ(reader.Open(TESSMOL_TEST_DATA).problem, FileProblem::kUnreadable);
  EXPECT_EQ(reader.Open(DataPath("no_such_file.pdb")).problem, FileProblem::kMissing);
  EXPECT_FALSE(reader.Read().ok());  // nothing open: nothing read
  EXPECT_TRUE(reader.structure().atoms.empty());
  const auto empty = ReadPdb(DataPath("biopython_header.pdb"));
  EXPECT_TRUE(empty.opened);
  EXPECT_TRUE(empty.structure.atoms.empty());
  EXPECT_TRUE(empty.structure.residues.empty());
}

// A stream that delivers the first `good` bytes of a text and then fails, as a failing
// disk or an exhausted allocation does in the middle of a file.
class FailingBuffer : public std::streambuf {
 public:
  FailingBuffer(std::string text, size_t good) : text_(std::move(text)) {
    setg(text_.data(), text_.data(), text_.data() + std::min(good, text_.size()));
  }

 protected:
  int_type underflow() override { throw std::ios_base::failure("read error"); }

 private:
  std::string text_;
};

TEST(ReaderBadInput, AReadErrorIsAnErrorNotTheEndOfTheFile) {
  std::ifstream file(DataPath("1CRN.pdb"), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  FailingBuffer buffer(text, text.size() / 2);
  std::istream in(&buffer);
  PdbReader reader(test::StandardHetRadii());
  const FileStatus status = reader.Read(in, "1CRN.pdb");
  EXPECT_EQ(status.problem, FileProblem::kUnreadable);
  EXPECT_NE(status.Describe().find("1CRN.pdb"), std::string::npos);
}

TEST(ReaderBadInput, ResultFilesAndDuplicateAtoms) {
  PdbReader reader(test::StandardHetRadii());
  std::istringstream result("STRUCTURE\t3009.5\t0.3\nEND");
  EXPECT_EQ(reader.Read(result, "x.tsm").problem, FileProblem::kFormat);
  EXPECT_TRUE(reader.isResultFile());
  // Every ATOM line of a residue written twice: each atom is kept once.
  const std::string n = AtomLine(1, "N", ' ', "GLY", 'A', 1, ' ', 1, 2, 3);
  const std::string ca = AtomLine(2, "CA", ' ', "GLY", 'A', 1, ' ', 2.2f, 2, 3);
  PdbReader twice(test::StandardHetRadii());
  std::istringstream doubled(n + n + ca + AtomLine(3, "CA", ' ', "GLY", 'A', 1, ' ', 2.205f, 2, 3));
  ASSERT_TRUE(twice.Read(doubled, "doubled").ok());
  EXPECT_EQ(twice.structure().atoms.size(), 2u);
  EXPECT_EQ(twice.duplicateAtoms(), 2);
}

}  // namespace
}  // namespace tessmol
