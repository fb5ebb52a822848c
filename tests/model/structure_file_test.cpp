// Structures as scientists have them: mmCIF and gzip, hydrogens, membrane markers, and
// secondary structure from coordinates against DSSP.
#include "model/structure_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "model/secondary_structure.h"
#include "scoring/residue_scores.h"
#include "surface/sasa.h"
#include "test_support.h"

namespace tessmol {
namespace {

using test::DataPath;

// Areas and scores of a structure read from `path`, as the pipeline makes them.
struct Analysed {
  size_t residues = 0;
  float totalSASA = 0.0f;
  float averageScore = 0.0f;
  std::string chains;
};

Analysed Analyse(const std::string& path) {
  StructureFile file = ReadStructure(path, test::StandardHetRadii());
  EXPECT_TRUE(file.status.ok()) << file.status.Describe();
  Protein protein;
  protein.structure = std::move(file.structure);
  SilentFeedback quiet;
  protein.Load(quiet);
  EXPECT_TRUE(test::KeepSurface(protein, CalculateSASA(protein, 1, test::ProgramFolder(), quiet)));
  protein.scores = ScoreResidues(protein.structure, protein.surface, BuiltInScores());
  protein.transmembrane = TransmembraneResult::None(protein.structure.residues.size());
  SumScores(protein.transmembrane, protein.scores);
  Analysed a{protein.structure.residues.size(), protein.surface.totalSASA, protein.scores.averageScore, {}};
  for (size_t k = 0; k < protein.structure.chains.size(); ++k)
    a.chains += protein.structure.ChainName(k) + ";";
  return a;
}

void ExpectSame(const Analysed& a, const Analysed& b) {
  EXPECT_EQ(a.residues, b.residues);
  EXPECT_EQ(a.chains, b.chains);
  EXPECT_FLOAT_EQ(a.totalSASA, b.totalSASA);
  EXPECT_FLOAT_EQ(a.averageScore, b.averageScore);
}

class MmcifTwins : public testing::TestWithParam<std::string> {};

TEST_P(MmcifTwins, ReadLikeTheirPdbFile) {
  const std::string name = GetParam();
  const std::string cif = name + (name == "4HHB" ? ".cif.gz" : ".cif");
  const StructureFile file = ReadStructure(DataPath("mmcif/" + cif), test::StandardHetRadii());
  EXPECT_EQ(file.format, StructureFormat::kMmcif);
  EXPECT_EQ(file.compressed, name == "4HHB");
  ExpectSame(Analyse(DataPath("mmcif/" + cif)), Analyse(DataPath(name + ".pdb")));
}

INSTANTIATE_TEST_SUITE_P(RealFiles, MmcifTwins, testing::Values("1CRN", "1UBQ", "1A8O", "5PTI", "4HHB"));

// Our reader of the atom_site loop against gemmi reading the whole file.
TEST(StructureFiles, TheAtomLoopReadsAsGemmiReadsIt) {
  for (const char* name : {"1CRN.cif", "1A8O.cif", "5PTI.cif", "4HHB.cif.gz", "1E0P_assembly1.cif.gz"}) {
    SCOPED_TRACE(name);
    std::string text;
    ASSERT_TRUE(ReadFileText(DataPath(std::string("mmcif/") + name), text).ok());
    StructureBuilder fast(test::StandardHetRadii()), whole(test::StandardHetRadii());
    bool nmr = false;
    bool readFast = false;
    ASSERT_TRUE(ReadMmcif(text, name, fast, nmr, true, &readFast).ok());
    EXPECT_TRUE(readFast);  // a plain file of the PDB is the fast path's
    ASSERT_TRUE(ReadMmcif(text, name, whole, nmr, false).ok());
    const Structure a = fast.Finish(), b = whole.Finish();
    ASSERT_EQ(a.atoms.size(), b.atoms.size());
    ASSERT_EQ(a.residues.size(), b.residues.size());
    EXPECT_EQ(a.hetAtoms.size(), b.hetAtoms.size());
    EXPECT_EQ(a.helices.size(), b.helices.size());
    EXPECT_EQ(a.sheets.size(), b.sheets.size());
    EXPECT_EQ(a.chainNames, b.chainNames);
    for (size_t i = 0; i < a.atoms.size(); ++i) {
      ASSERT_EQ(a.atoms[i].name, b.atoms[i].name) << i;
      ASSERT_EQ(a.atoms[i].x, b.atoms[i].x) << i;
    }
    for (size_t i = 0; i < a.residues.size(); ++i) {
      ASSERT_EQ(a.residues[i].name, b.residues[i].name) << i;
      ASSERT_EQ(a.residues[i].secStruct, b.residues[i].secStruct) << i;
    }
  }
}

// gemmi's integer reading overflows (undefined behaviour) on long digit runs: such a value
// where gemmi reads is refused with its line; in a quoted value it is only text.
TEST(StructureFiles, IntegersBeyondRangeAreRefusedWithTheirLine) {
  std::string text;
  ASSERT_TRUE(ReadFileText(DataPath("mmcif/1CRN.cif"), text).ok());
  const size_t helix = text.find("HELX_P HELX_P2 H2 GLU A 23 ? THR A 30");
  ASSERT_NE(helix, std::string::npos);
  const auto line =
      static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(helix), '\n')) + 1;
  std::string quoted = text;
  quoted.replace(quoted.find("'DISTORTED 3/10 AT RES 30'"), 26, "'00012345678901234'");
  for (bool fast : {true, false}) {
    StructureBuilder builder(test::StandardHetRadii());
    bool nmr = false;
    EXPECT_TRUE(ReadMmcif(quoted, "quoted.cif", builder, nmr, fast).ok());
  }
  text.replace(helix + 29, 8, "THR A 3000000000000");
  for (bool fast : {true, false}) {
    StructureBuilder builder(test::StandardHetRadii());
    bool nmr = false;
    const FileStatus status = ReadMmcif(text, "long.cif", builder, nmr, fast);
    EXPECT_EQ(status.problem, FileProblem::kFormat);
    EXPECT_EQ(status.line, line);
    EXPECT_NE(status.Describe().find("a number beyond the integer range"), std::string::npos);
  }
}

// ---- legal mmCIF the atom loop's reader must not cut short ----------------------------

struct Read {
  FileStatus status;
  Structure structure;
  bool fast = false;
};

Read ReadText(const std::string& text, bool fast) {
  StructureBuilder builder(test::StandardHetRadii());
  bool nmr = false;
  Read read;
  read.status = ReadMmcif(text, "edited.cif", builder, nmr, fast, &read.fast);
  read.structure = builder.Finish();
  return read;
}

void ExpectSameAtoms(const Structure& a, const Structure& b) {
  ASSERT_EQ(a.atoms.size(), b.atoms.size());
  EXPECT_EQ(a.residues.size(), b.residues.size());
  EXPECT_EQ(a.hetAtoms.size(), b.hetAtoms.size());
  EXPECT_EQ(a.chainNames, b.chainNames);
  for (size_t i = 0; i < a.atoms.size(); ++i) {
    ASSERT_EQ(a.atoms[i].name, b.atoms[i].name) << i;
    ASSERT_EQ(a.atoms[i].x, b.atoms[i].x) << i;
    ASSERT_EQ(a.atoms[i].z, b.atoms[i].z) << i;
  }
}

int LineNumberOf(const std::string& text, size_t at) {
  return static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n')) + 1;
}

// Edited copies of crambin's mmCIF file read as gemmi reads them, and as the unedited file
// reads, whichever path takes them.
TEST(MmcifEdits, LegalVariantsGiveTheAtomsOfTheFile) {
  std::string original;
  ASSERT_TRUE(ReadFileText(DataPath("mmcif/1CRN.cif"), original).ok());
  const Read plain = ReadText(original, true);
  ASSERT_TRUE(plain.status.ok());
  ASSERT_EQ(plain.structure.atoms.size(), 327u);
  const size_t loop = original.find("loop_\n_atom_site.group_PDB");
  ASSERT_NE(loop, std::string::npos);
  size_t row20 = original.find("\nATOM", loop);
  for (int i = 0; i < 20; ++i) row20 = original.find("\nATOM", row20 + 1);

  std::map<std::string, std::string> variants;
  variants["comment inside the loop"] = std::string(original).insert(row20 + 1, "# a remark between rows\n");
  variants["atom_site in a text field"] =
      std::string(original).insert(loop, "_tessmol_note.text\n;\nloop_\n_atom_site.id\n1\n;\n");
  std::string upper = original;
  for (size_t at = 0; (at = upper.find("_atom_site.", at)) != std::string::npos; at += 11)
    upper.replace(at, 11, "_ATOM_SITE.");
  for (size_t at = 0; (at = upper.find("Cartn_", at)) != std::string::npos; at += 6)
    upper.replace(at, 6, "CARTN_");
  variants["upper-case tags"] = upper;
  std::string lower = original;
  for (size_t at = 0; (at = lower.find("_atom_site.", at)) != std::string::npos; at += 11) {
    for (size_t i = at; i < lower.size() && lower[i] != '\n'; ++i)
      lower[i] = static_cast<char>(std::tolower(lower[i]));
  }
  variants["lower-case tags"] = lower;
  variants["two data blocks"] = original + "data_SECOND\n" + original.substr(original.find('\n') + 1);
  variants["DATA_ in capitals"] = "DATA_" + original.substr(5);

  for (const auto& [what, text] : variants) {
    SCOPED_TRACE(what);
    EXPECT_EQ(DetectFormat(text), StructureFormat::kMmcif);
    const Read fast = ReadText(text, true), whole = ReadText(text, false);
    ASSERT_TRUE(fast.status.ok()) << fast.status.Describe();
    ASSERT_TRUE(whole.status.ok()) << whole.status.Describe();
    ExpectSameAtoms(fast.structure, whole.structure);
    ExpectSameAtoms(fast.structure, plain.structure);
  }
  // DATA_ is no PDB file.
  EXPECT_EQ(ReadStructureText(variants["DATA_ in capitals"], "x.cif", test::StandardHetRadii())
                .structure.atoms.size(),
            327u);
}

// Faults are reported on the file's own line, whichever path met them.
TEST(MmcifEdits, ErrorsNameTheFilesOwnLine) {
  std::string original;
  ASSERT_TRUE(ReadFileText(DataPath("mmcif/1CRN.cif"), original).ok());
  const size_t loop = original.find("loop_\n_atom_site.group_PDB");
  const size_t row = original.find("ATOM 30 ", loop);
  ASSERT_NE(row, std::string::npos);
  const int rowLine = LineNumberOf(original, row);
  // Coordinates no reader can use, with and without a comment that sends the file to gemmi.
  std::string implausible = original;
  implausible.replace(implausible.find("9.490", row), 5, "9999999");
  for (const std::string& text : {implausible, std::string(implausible).insert(loop + 6, "# note\n")}) {
    const int line = rowLine + (text.size() > implausible.size() ? 1 : 0);
    for (bool fast : {true, false}) {
      const Read read = ReadText(text, fast);
      EXPECT_EQ(read.status.problem, FileProblem::kFormat);
      EXPECT_EQ(read.status.line, line) << read.status.Describe();
    }
  }
  // A row one value short: gemmi names the loop.
  std::string shortRow = original;
  shortRow.erase(shortRow.find(" 1 \n", row) + 1, 2);
  for (bool fast : {true, false}) {
    const Read read = ReadText(shortRow, fast);
    EXPECT_FALSE(read.fast);
    EXPECT_EQ(read.status.line, LineNumberOf(original, loop)) << read.status.Describe();
    // The message names the file and the line once: gemmi's own "NAME:LINE:COLUMN: " is cut.
    EXPECT_EQ(read.status.detail.find(":" + std::to_string(read.status.line) + ":"), std::string::npos)
        << read.status.Describe();
    EXPECT_NE(read.status.detail.find("Wrong number of values"), std::string::npos) << read.status.Describe();
  }
  // Only label_* columns: gemmi reads no atoms without auth_seq_id; the loop is named.
  std::istringstream in(original);
  std::string line, labels;
  std::vector<size_t> dropped;
  size_t tag = 0;
  bool inLoop = false;
  while (std::getline(in, line)) {
    if (line.rfind("_atom_site.", 0) == 0) {
      inLoop = true;
      if (line.find(".auth_") != std::string::npos) {
        dropped.push_back(tag++);
        continue;
      }
      ++tag;
    } else if (inLoop && line.rfind("ATOM", 0) == 0) {
      std::istringstream fields(line);
      std::string field, kept;
      for (size_t i = 0; fields >> field; ++i) {
        if (std::find(dropped.begin(), dropped.end(), i) == dropped.end()) kept += field + " ";
      }
      line = kept;
    }
    labels += line + "\n";
  }
  for (bool fast : {true, false}) {
    const Read read = ReadText(labels, fast);
    EXPECT_EQ(read.status.problem, FileProblem::kFormat);
    EXPECT_EQ(read.status.line, LineNumberOf(original, loop));
    EXPECT_NE(read.status.detail.find("auth_seq_id"), std::string::npos) << read.status.Describe();
  }
}

// ---- gzip ------------------------------------------------------------------------------

TEST(GzipInput, MembersTrailingZerosTruncationAndTheLimit) {
  test::ScratchFolder scratch;
  std::filesystem::copy_file(DataPath("1CRN.pdb"), "a.pdb");
  ASSERT_EQ(test::RunCommand("head -c 40000 a.pdb > head.pdb && tail -c +40001 a.pdb > tail.pdb && "
                             "gzip -c head.pdb > two.pdb.gz && gzip -c tail.pdb >> two.pdb.gz && "
                             "gzip -c a.pdb > zeros.pdb.gz && head -c 1000 /dev/zero >> zeros.pdb.gz && "
                             "gzip -t zeros.pdb.gz && head -c 3000 zeros.pdb.gz > cut.pdb.gz && "
                             "cp zeros.pdb.gz junk.pdb.gz && printf 'x' >> junk.pdb.gz")
                .status,
            0);
  std::string plain, text;
  ASSERT_TRUE(ReadFileText("a.pdb", plain).ok());
  for (const char* name : {"two.pdb.gz", "zeros.pdb.gz"}) {
    bool compressed = false;
    EXPECT_TRUE(ReadFileText(name, text, &compressed).ok()) << name;
    EXPECT_TRUE(compressed);
    EXPECT_EQ(text, plain) << name;
  }
  const FileStatus cut = ReadFileText("cut.pdb.gz", text);
  EXPECT_EQ(cut.problem, FileProblem::kUnreadable);
  EXPECT_NE(cut.detail.find("ends early"), std::string::npos) << cut.Describe();
  EXPECT_FALSE(ReadFileText("junk.pdb.gz", text).ok());
  // Past the limit: an error that says how to read it, with no more than the limit held.
  const FileStatus limited = ReadFileText("zeros.pdb.gz", text, nullptr, plain.size() - 1);
  EXPECT_EQ(limited.problem, FileProblem::kUnreadable);
  EXPECT_NE(limited.Describe().find("raise --max-unpacked-mib"), std::string::npos) << limited.Describe();
  EXPECT_LE(text.size(), plain.size() - 1);
  EXPECT_TRUE(ReadFileText("zeros.pdb.gz", text, nullptr, plain.size()).ok());
}

TEST(StructureFiles, GzipGivesTheSameAsPlainAndFormatsGoByContent) {
  test::ScratchFolder scratch;
  // A PDB file under a misleading name, compressed by the system's gzip.
  std::filesystem::copy_file(DataPath("1UBQ.pdb"), "ubiquitin.cif");
  ASSERT_EQ(test::RunCommand("gzip -k ubiquitin.cif").status, 0);
  const StructureFile packed = ReadStructure("ubiquitin.cif.gz", test::StandardHetRadii());
  EXPECT_EQ(packed.format, StructureFormat::kPdb);
  EXPECT_TRUE(packed.compressed);
  ExpectSame(Analyse("ubiquitin.cif.gz"), Analyse(DataPath("1UBQ.pdb")));
  std::ofstream("broken.pdb.gz", std::ios::binary) << "\x1f\x8b\x08\x00 not really compressed";
  EXPECT_EQ(ReadStructure("broken.pdb.gz", test::StandardHetRadii()).status.problem,
            FileProblem::kUnreadable);
  std::ofstream("bad.cif") << "data_x\nloop_\n_atom_site.id\n'unterminated\n";
  EXPECT_EQ(ReadStructure("bad.cif", test::StandardHetRadii()).status.problem, FileProblem::kFormat);
}

// The first biological assembly as each file's header gives it (REMARK 350, or
// _pdbx_struct_assembly_gen): KcsA's file holds one of the four copies of its channel and
// Fab chains, Kv1.2's mmCIF one of the four copies of its thirteen subchains' four chains,
// the porin's membrane-frame copy all three of its trimer, rhodopsin's its dimer.
TEST(StructureFiles, TheFirstBiologicalAssemblyAndWhatTheFileLacksOfIt) {
  struct Case {
    const char* file;
    int copies;
    std::vector<std::string> chains;
    int missing;
  };
  for (const Case& c : {Case{"1K4C.pdb", 4, {"A", "B", "C"}, 9},
                        Case{"mmcif/2A79_updated.cif.gz", 4, {"A", "B", "C", "D"}, 12},
                        Case{"2POR_tr.pdb", 3, {"A"}, 0}, Case{"1U19.pdb", 1, {"A", "B"}, 0},
                        Case{"mmcif/1CRN.cif", 1, {"A"}, 0}, Case{"1AFO_tr.pdb", 0, {}, 0}}) {
    const StructureFile file = ReadStructure(DataPath(c.file), test::StandardHetRadii());
    ASSERT_TRUE(file.status.ok()) << c.file;
    EXPECT_EQ(file.structure.assemblyCopies, c.copies) << c.file;
    EXPECT_EQ(file.structure.assemblyChains, c.chains) << c.file;
    EXPECT_EQ(file.structure.MissingAssemblyChains(), c.missing) << c.file;
  }
  const test::ScratchFolder scratch;
  // One chain cut out of KcsA's file with its header kept: the assembly's other two chains
  // are on no record, so the file holds 1 of its 12 chains; rhodopsin's chain A alone, 1
  // of 2 (one copy). A protein chain whose partner is a chain of the file's ligands or DNA
  // (on HETATM or nucleotide records) misses nothing.
  std::string kcsa;
  ASSERT_TRUE(ReadFileText(DataPath("1K4C.pdb"), kcsa).ok());
  const auto keepChain = [](const std::string& text, char keep) {
    std::istringstream in(text);
    std::string line, out;
    while (std::getline(in, line)) {
      const bool coordinates = line.rfind("ATOM", 0) == 0 || line.rfind("HETATM", 0) == 0 ||
                               line.rfind("ANISOU", 0) == 0 || line.rfind("TER", 0) == 0;
      if (!coordinates || (line.size() > 21 && line[21] == keep)) out += line + "\n";
    }
    return out;
  };
  std::ofstream("1K4C_C.pdb") << keepChain(kcsa, 'C');
  std::string rhodopsin;
  ASSERT_TRUE(ReadFileText(DataPath("1U19.pdb"), rhodopsin).ok());
  std::ofstream("1U19_A.pdb") << keepChain(rhodopsin, 'A');
  std::string partnered = keepChain(rhodopsin, 'A'), hetB = keepChain(rhodopsin, 'B');
  std::istringstream lines(hetB);
  std::string line, ligand;
  while (std::getline(lines, line))
    if (line.rfind("HETATM", 0) == 0) ligand += line + "\n";
  partnered.insert(partnered.rfind("END"), ligand);
  std::ofstream("1U19_A_ligandsB.pdb") << partnered;
  for (const auto& [name, missing] : std::vector<std::pair<std::string, int>>{
           {"1K4C_C.pdb", 11}, {"1U19_A.pdb", 1}, {"1U19_A_ligandsB.pdb", 0}}) {
    const StructureFile file = ReadStructure(name, test::StandardHetRadii());
    ASSERT_TRUE(file.status.ok()) << name;
    EXPECT_EQ(file.structure.MissingAssemblyChains(), missing) << name;
  }
}

TEST(StructureFiles, LongChainNamesAreKeptAndMappedToOneCharacter) {
  // A biological assembly: chains A, A-2 and A-3 of bacteriorhodopsin.
  const StructureFile file = ReadStructure(DataPath("mmcif/1E0P_assembly1.cif.gz"), test::StandardHetRadii());
  ASSERT_TRUE(file.status.ok());
  const Structure& s = file.structure;
  ASSERT_EQ(s.chains.size(), 3u);
  EXPECT_EQ(s.ChainName(1), "A-2");
  EXPECT_EQ(s.ChainName(2), "A-3");
  EXPECT_NE(s.chains[1].chainId, s.chains[0].chainId);
  EXPECT_NE(s.chains[2].chainId, s.chains[1].chainId);
  EXPECT_GT(file.summary.conformerAtoms, 0);
}

// The same file without the lines an awk filter drops gives the same analysis.
void ExpectSameWithout(const std::string& name, const std::string& awkCondition) {
  test::ScratchFolder scratch;
  ASSERT_EQ(test::RunCommand("awk '!(" + awkCondition + ")' " + DataPath(name) + " > stripped.pdb").status,
            0);
  ExpectSame(Analyse(DataPath(name)), Analyse("stripped.pdb"));
}

TEST(StructureFiles, HydrogensAndDeuteriumTakeNoPart) {
  // 5PTI: joint X-ray and neutron refinement, with H and D; 1EJG: riding hydrogens.
  const std::string hydrogen = "/^(ATOM|HETATM)/ && substr($0,77,2) ~ /^ *[HD] *$/";
  ExpectSameWithout("5PTI.pdb", hydrogen);
  ExpectSameWithout("1EJG.pdb", hydrogen);
  ExpectSameWithout("1D3Z.pdb", hydrogen);  // NMR ubiquitin, with every hydrogen
  EXPECT_GT(ReadStructure(DataPath("5PTI.pdb"), test::StandardHetRadii()).summary.hydrogens, 400);
}

TEST(StructureFiles, MembraneMarkersAreNoHeteroatoms) {
  ExpectSameWithout("1QJP_opm.pdb", "/^HETATM/ && substr($0,18,3) == \"DUM\"");
}

// ---- secondary structure from coordinates against DSSP -----------------------------

// mkdssp's states (H, E, other as -) by chain and residue number, for a copy of the file
// with only what Debian's mkdssp 4.2 reads well: HEADER, CRYST1, the first conformer's ATOM
// lines, TER and END.
std::map<std::string, char> Dssp(const std::string& input) {
  std::map<std::string, char> states;
  if (test::RunCommand("mkdssp --output-format dssp " + input + " out.dssp 2>/dev/null").status != 0)
    return states;
  std::ifstream in("out.dssp");
  bool table = false;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("  #  RESIDUE", 0) == 0) {
      table = true;
    } else if (table && line.size() > 16 && line[13] != '!') {
      const char ss = line[16] == 'H' ? 'H' : line[16] == 'E' ? 'E' : '-';
      states[line.substr(11, 1) + std::to_string(std::stoi(line.substr(5, 5))) + line.substr(10, 1)] = ss;
    }
  }
  return states;
}

class AgainstDssp : public testing::TestWithParam<std::string> {};

TEST_P(AgainstDssp, NearlyEveryResidueInTheSameState) {
  ASSERT_TRUE(test::ToolInstalled("mkdssp", "dssp"));
  test::ScratchFolder scratch;
  const std::string prepare =
      "{ echo 'HEADER    PROTEIN                                 01-JAN-00   XXXX'; "
      "grep -m1 '^CRYST1' " +
      DataPath(GetParam()) +
      " || echo 'CRYST1    1.000    1.000    1.000  90.00  90.00  90.00 P 1           1'; "
      "awk '/^ENDMDL/{exit} /^TER/{print; next} /^ATOM/ && (substr($0,17,1)==\" \" || substr($0,17,1)==\"A\")"
      "{print substr($0,1,16)\" \"substr($0,18)}' " +
      DataPath(GetParam()) + "; echo END; } > in.pdb";
  ASSERT_EQ(test::RunCommand(prepare).status, 0);
  const std::map<std::string, char> dssp = Dssp("in.pdb");
  ASSERT_FALSE(dssp.empty()) << "mkdssp read nothing";
  const Structure s = ReadStructure("in.pdb", test::StandardHetRadii()).structure;
  const std::string ours = AssignSecondaryStructure(s);
  size_t agree = 0, compared = 0, helix = 0, strand = 0;
  for (size_t i = 0; i < s.residues.size(); ++i) {
    const Residue& r = s.residues[i];
    const auto found = dssp.find(std::string(1, r.chainId) + std::to_string(r.resSeq) + r.iCode);
    if (found == dssp.end()) continue;
    ++compared;
    agree += found->second == ours[i];
    helix += ours[i] == 'H';
    strand += ours[i] == 'E';
  }
  EXPECT_GE(compared * 100, s.residues.size() * 95);
  EXPECT_GE(agree * 100, compared * 97) << agree << " of " << compared;
  EXPECT_GT(helix + strand, 0u);
}

INSTANTIATE_TEST_SUITE_P(RealFiles, AgainstDssp,
                         testing::Values("1UBQ.pdb", "1CRN.pdb", "1EJG.pdb", "1AKI.pdb", "5PTI.pdb",
                                         "1RX1.pdb", "2SRC.pdb", "4HHB.pdb", "1U19.pdb"),
                         [](const auto& info) { return info.param.substr(0, 4); });

TEST(SecondaryStructure, RecordsWinUnlessComputedIsAsked) {
  Structure s = ReadStructure(DataPath("1UBQ.pdb"), test::StandardHetRadii()).structure;
  const Structure fromRecords = s;
  EXPECT_FALSE(ApplySecondaryStructure(s, true, SecondaryStructureSource::kRecordsElseComputed));
  EXPECT_FALSE(ApplySecondaryStructure(s, false, SecondaryStructureSource::kRecords));
  EXPECT_EQ(s.helices.size(), fromRecords.helices.size());
  EXPECT_TRUE(ApplySecondaryStructure(s, true, SecondaryStructureSource::kComputed));
  // Ubiquitin: the alpha helix 23-34 and the five strands of its sheet.
  EXPECT_EQ(s.residues[28].secStruct, SecondaryStructure::kHelix);
  EXPECT_EQ(s.residues[3].secStruct, SecondaryStructure::kSheet);
  EXPECT_FALSE(s.helices.empty());
  EXPECT_FALSE(s.sheets.empty());
}

}  // namespace
}  // namespace tessmol
