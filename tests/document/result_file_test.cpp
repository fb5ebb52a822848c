#include "document/result_file.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>
#include <set>
#include <sstream>

#include "base/text.h"
#include "model/structure_builder.h"
#include "model/structure_file.h"
#include "scoring/residue_scores.h"
#include "scoring/score_table.h"
#include "surface/sasa.h"
#include "test_support.h"

namespace tessmol {
namespace {

Protein Analysed(const std::string& name) {
  Protein protein = test::LoadedProtein(name, false);
  SilentFeedback quiet;
  EXPECT_TRUE(test::KeepSurface(protein, CalculateSASA(protein, 1, test::ProgramFolder(), quiet)));
  protein.scores = ScoreResidues(protein.structure, protein.surface, BuiltInScores());
  // A few transmembrane flags and a negative residue number, which must come back.
  protein.transmembrane = TransmembraneResult::None(protein.structure.residues.size());
  for (size_t i = 10; i < 20 && i < protein.structure.residues.size(); ++i)
    protein.transmembrane.residues[i].transmembrane = true;
  protein.structure.residues[0].resSeq = -3;
  SumScores(protein.transmembrane, protein.scores);
  return protein;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

// What is read back writes the same file again, to the byte: nothing stored is lost
// (atoms and box included), so recalculation can rewrite a file without spoiling it.
TEST(ResultFile, WriteReadWriteGivesTheSameFile) {
  test::ScratchFolder scratch;
  for (const char* name : {"1U19.pdb", "4HHB.pdb", "1UBQ.pdb"}) {
    SCOPED_TRACE(name);
    const Protein protein = Analysed(name);
    ASSERT_TRUE(WriteResult(protein, "first.tsm").ok());
    Protein back;
    ASSERT_TRUE(ReadResult(back, "first.tsm").ok());
    EXPECT_EQ(back.structure.residues.size(), protein.structure.residues.size());
    EXPECT_EQ(back.structure.atoms.size(), protein.structure.atoms.size());
    EXPECT_EQ(back.surface.residues.size(), protein.structure.residues.size());
    EXPECT_EQ(back.surface.atoms.size(), protein.structure.atoms.size());
    EXPECT_EQ(back.structure.residues[0].resSeq, -3);
    EXPECT_TRUE(back.transmembrane.residues[12].transmembrane);
    // The totals as analysed, to the last bit: rhodopsin's area has nine digits.
    EXPECT_EQ(back.surface.totalSASA, protein.surface.totalSASA);
    EXPECT_EQ(back.scores.averageScore, protein.scores.averageScore);
    ASSERT_TRUE(WriteResult(back, "second.tsm").ok());
    EXPECT_EQ(ReadAll("first.tsm"), ReadAll("second.tsm"));
  }
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);  // no leftover temporary
}

// A structure large enough to have its atom records written by two threads keeps them in
// order, each with its own numbers as the format writes them.
TEST(ResultFile, LargeStructuresKeepTheirAtomRecordsInOrder) {
  Protein protein = Analysed("1U19.pdb");
  Structure& large = protein.structure;
  const std::vector<Atom> once = large.atoms;
  const std::vector<AtomSurface> onceSurface = protein.surface.atoms;
  for (int copy = 1; copy < 6; ++copy) {
    for (Atom a : once) {
      a.index = static_cast<int32_t>(large.atoms.size());
      a.x += 100.0f * static_cast<float>(copy);
      large.atoms.push_back(a);
    }
    protein.surface.atoms.insert(protein.surface.atoms.end(), onceSurface.begin(), onceSurface.end());
  }
  ASSERT_GT(large.atoms.size(), 30000u);
  std::ostringstream out;
  WriteResult(protein, out);
  std::istringstream lines(out.str());
  std::string line;
  size_t n = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("ATOM\t", 0) != 0) continue;
    std::vector<std::string> fields;
    std::istringstream row(line);
    for (std::string f; std::getline(row, f, '\t');) fields.push_back(f);
    ASSERT_EQ(fields.size(), 16u) << n;
    ASSERT_EQ(fields[3], std::to_string(n));
    ASSERT_EQ(fields[5], FormatNumber(large.atoms[n].x)) << n;
    ++n;
  }
  EXPECT_EQ(n, large.atoms.size());
  EXPECT_EQ(out.str().substr(out.str().size() - 4), "\nEND");
  // The plain writer: the same atoms in pieces too small for a second thread.
  auto atomLines = [](const std::string& text) {
    std::string atoms;
    std::istringstream in(text);
    for (std::string l; std::getline(in, l);) {
      if (l.rfind("ATOM\t", 0) == 0) atoms += l + '\n';
    }
    return atoms;
  };
  constexpr size_t kPiece = 10000;  // below the size at which a second thread formats
  std::string oneThread;
  for (size_t first = 0; first < large.atoms.size(); first += kPiece) {
    const auto from = static_cast<std::ptrdiff_t>(first);
    const auto to = static_cast<std::ptrdiff_t>(std::min(first + kPiece, large.atoms.size()));
    Protein piece;
    piece.structure.atoms.assign(large.atoms.begin() + from, large.atoms.begin() + to);
    piece.surface.atoms.assign(protein.surface.atoms.begin() + from, protein.surface.atoms.begin() + to);
    std::ostringstream pieceOut;
    WriteResult(piece, pieceOut);
    oneThread += atomLines(pieceOut.str());
  }
  EXPECT_TRUE(atomLines(out.str()) == oneThread);
}

TEST(ResultFile, NamesAreWrittenPrintableSoFieldsStayInPlace) {
  test::ScratchFolder scratch;
  Protein protein = Analysed("1CRN.pdb");
  protein.structure.residues[3].name = "A\tB";
  protein.structure.residues[4].chainId = '\n';
  ASSERT_TRUE(WriteResult(protein, "names.tsm").ok());
  Protein back;
  ASSERT_TRUE(ReadResult(back, "names.tsm").ok());
  ASSERT_EQ(back.structure.residues.size(), 46u);
  EXPECT_EQ(back.structure.residues[3].name, "A?B");
  EXPECT_EQ(back.structure.residues[4].chainId, '?');
  EXPECT_FLOAT_EQ(back.scores.residues[3].overallScore, protein.scores.residues[3].overallScore);
  EXPECT_NEAR(back.scores.averageScore, protein.scores.averageScore, 1e-6);
}

// The numbers a result file stores for secondary structure (0 sheet, 1 helix, 2 neither),
// residue type (21 no standard type) and atom class read as the named values, and any
// other number an older or edited file holds is kept as written and scores as coil.
TEST(ResultFile, StoredCodesReadAsTheirNamesAndStrangeOnesAreKept) {
  auto residue = [](int secStruct, int type) {
    return "RESIDUE\tX\t1\tA\t0\t-1\t-1\t-1\t0\t" + std::to_string(secStruct) +
           "\t0\t0\t0\t0\t0\t0\t17\t18\t0\t0\t0\t0\t" + std::to_string(type) + "\nSIDECHAIN\t\n";
  };
  const std::string text = "STRUCTURE\t10\t0.5\nXYZEX\t0\t0\nXYZEX\t0\t0\nXYZEX\t0\t0\n" + residue(0, kLeu) +
                           residue(1, 21) + residue(2, kGly) + residue(7, kAla) +
                           "ATOM\tSG\tA\t0\t1\t0\t0\t0\t1\t6\t3.25\t132.7\t10\t0\t5\t0\nEND";
  Protein p;
  std::istringstream in(text);
  ASSERT_TRUE(ReadResult(p, in, "codes.tsm").ok());
  const std::vector<Residue>& r = p.structure.residues;
  ASSERT_EQ(r.size(), 4u);
  EXPECT_EQ(r[0].secStruct, SecondaryStructure::kSheet);
  EXPECT_EQ(r[1].secStruct, SecondaryStructure::kHelix);
  EXPECT_EQ(r[1].type, kUnknownResidueType);
  EXPECT_EQ(r[2].secStruct, SecondaryStructure::kCoil);
  EXPECT_EQ(p.structure.atoms[0].atomClass, AtomClass::kCysteineSulphur);
  // Number 7 is no secondary structure: classified as coil, written back as 7.
  EXPECT_EQ(ClassifyEnvironment(10.0f, 0.5f, r[3].secStruct),
            ClassifyEnvironment(10.0f, 0.5f, r[2].secStruct));
  std::ostringstream out;
  WriteResult(p, out);
  EXPECT_EQ(out.str(), text);
}

TEST(ResultFile, DamagedFilesAreFormatErrorsWithTheirLine) {
  test::ScratchFolder scratch;
  const std::string residue =
      "RESIDUE\tGLY\t1\tA\t-1\t-1\t-1\t-1\t0\t2\t0\t0\t0\t0\t0\t0\t17\t18\t0\t0\t0\t0\t8\n";
  const std::string head = "STRUCTURE\t10\t0.5\n" + residue + "SIDECHAIN\t\n";
  auto lineOf = [](const std::string& text) {
    Protein p;
    std::istringstream in(text);
    const FileStatus status = ReadResult(p, in, "x.tsm");
    return status.problem == FileProblem::kFormat ? status.line : (status.ok() ? 0 : -1);
  };
  EXPECT_EQ(lineOf(head + "bogus\nEND"), 4);      // the SIDECHAIN line counts
  EXPECT_EQ(lineOf(head + "\nEND"), 4);           // an empty line is no record
  EXPECT_EQ(lineOf(head + "END\n\nbogus\n"), 0);  // nothing after END is read
  EXPECT_EQ(lineOf(head), 4);                     // cut short before END
  EXPECT_EQ(lineOf("STRUCTURE\t1\t2\nSIDECHAIN\t1\t\nEND"), 2);
  EXPECT_EQ(lineOf(head + residue + residue + "SIDECHAIN\t\nEND"), 5);  // RESIDUE without SIDECHAIN
  EXPECT_EQ(lineOf("RESIDUE\tALA\t4\tB\nSIDECHAIN\t\nEND"), 1);         // a record cut short
  EXPECT_EQ(lineOf("STRUCTURE\t7.5\t1\r\nEND\r\n"), 0);                 // Windows line ends
  // Counts below 0 and references to atoms or residues the file lacks are refused.
  const std::string atom = "ATOM\tCA\tA\t0\t1\t0\t0\t0\t1\t1\t3.27\t134.4\t10\t0\t5\t";
  EXPECT_EQ(lineOf("STRUCTURE\t1\t2\n" + atom + "-15\nEND"), 2);
  EXPECT_EQ(lineOf("STRUCTURE\t1\t2\n" + atom + "2\nEND"), 0);
  EXPECT_EQ(lineOf(head + "CHAIN\tA\t0\t1\nEND"), 5);  // one residue, not two: said at END
  const std::string pointing =
      "RESIDUE\tGLY\t1\tA\t-1\t0\t-1\t-1\t0\t2\t0\t0\t0\t0\t0\t0\t17\t18\t0\t0\t0\t0\t8\nSIDECHAIN\t\n";
  EXPECT_EQ(lineOf(pointing + "END"), 1);  // its CA is atom 0, and there is none: said on its line
  Protein p;
  EXPECT_EQ(ReadResult(p, "missing.tsm").problem, FileProblem::kMissing);
  EXPECT_EQ(ReadResult(p, ".").problem, FileProblem::kUnreadable);
}

// A real result file with one field of one record replaced: every value that is no
// finite number within its range is refused with that record's line; a field with no
// number at all still reads as 0, as old files rely on.
TEST(ResultFile, NumbersOutOfRangeOrNotFiniteAreRefusedWithTheirLine) {
  test::ScratchFolder scratch;
  ASSERT_TRUE(WriteResult(Analysed("1CRN.pdb"), "crambin.tsm").ok());
  std::vector<std::string> lines;
  {
    std::ifstream in("crambin.tsm", std::ios::binary);
    for (std::string line; ReadLine(in, line);) lines.push_back(line);
  }
  auto lineStarting = [&](const std::string& keyword) {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].rfind(keyword + "\t", 0) == 0) return i;
    ADD_FAILURE() << keyword;
    return size_t{0};
  };
  // Field `field` of the first `keyword` record set to `value`: the line refused, 0 when read.
  auto refusedLine = [&](const std::string& keyword, size_t field, const std::string& value) {
    const size_t at = lineStarting(keyword);
    std::vector<std::string> fields = SplitFields(lines[at]);
    fields.at(field) = value;
    std::string text;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (i != at) {
        text += lines[i] + "\n";
        continue;
      }
      for (size_t k = 0; k < fields.size(); ++k) text += (k > 0 ? "\t" : "") + fields[k];
      text += "\n";
    }
    WriteText("edited.tsm", text);
    Protein p;
    const FileStatus status = ReadResult(p, "edited.tsm");
    if (status.ok()) return 0;
    EXPECT_EQ(status.problem, FileProblem::kFormat) << status.Describe();
    EXPECT_EQ(status.Describe().rfind("Error: format error in edited.tsm on line ", 0), 0u);
    return status.line;
  };
  Protein whole;
  ASSERT_TRUE(ReadResult(whole, "crambin.tsm").ok());
  const int structure = static_cast<int>(lineStarting("STRUCTURE")) + 1;
  const int atom = static_cast<int>(lineStarting("ATOM")) + 1;
  const int residue = static_cast<int>(lineStarting("RESIDUE")) + 1;
  const int box = static_cast<int>(lineStarting("XYZEX")) + 1;
  for (const char* bad : {"inf", "-inf", "nan", "NaN", "1e400", "-1e999", "1e-400"}) {
    SCOPED_TRACE(bad);
    EXPECT_EQ(refusedLine("STRUCTURE", 1, bad), structure);  // total area
    EXPECT_EQ(refusedLine("STRUCTURE", 2, bad), structure);  // average score
    EXPECT_EQ(refusedLine("ATOM", 5, bad), atom);            // x
    EXPECT_EQ(refusedLine("ATOM", 12, bad), atom);           // accessible area
    EXPECT_EQ(refusedLine("RESIDUE", 14, bad), residue);     // fraction polar
    EXPECT_EQ(refusedLine("RESIDUE", 20, bad), residue);     // overall score
    EXPECT_EQ(refusedLine("XYZEX", 2, bad), box);
  }
  // Finite, but out of the stated ranges.
  EXPECT_EQ(refusedLine("ATOM", 6, "1000001"), atom);        // |y| beyond 1e6 angstrom
  EXPECT_EQ(refusedLine("ATOM", 10, "12"), atom);            // a radius past 10 angstrom
  EXPECT_EQ(refusedLine("ATOM", 11, "-1"), atom);            // a negative sphere area
  EXPECT_EQ(refusedLine("RESIDUE", 12, "200000"), residue);  // side area past 1e5
  EXPECT_EQ(refusedLine("RESIDUE", 14, "1.5"), residue);     // fraction polar past 1
  EXPECT_EQ(refusedLine("RESIDUE", 18, "2e6"), residue);     // a score past the tables' 1e6
  EXPECT_EQ(refusedLine("STRUCTURE", 1, "2e9"), structure);  // total area past 1e9
  EXPECT_EQ(refusedLine("ATOM", 3, "99999999999"), atom);    // an index past 32 bits
  EXPECT_EQ(refusedLine("CHAIN", 3, "-99999999999"), static_cast<int>(lineStarting("CHAIN")) + 1);
  EXPECT_EQ(refusedLine("SIDECHAIN", 1, "4294967296"), residue + 1);
  // An atom that is not there is named on the line that refers to it, not at the end.
  EXPECT_EQ(refusedLine("RESIDUE", 5, "99999"), residue);
  EXPECT_EQ(refusedLine("SIDECHAIN", 1, "-5"), residue + 1);
  // Environment classes run 0 to 17, KAVELIN's to 18 (a residue of unknown type).
  EXPECT_EQ(refusedLine("RESIDUE", 16, "999"), residue);
  EXPECT_EQ(refusedLine("RESIDUE", 16, "-1"), residue);
  EXPECT_EQ(refusedLine("RESIDUE", 16, "18"), residue);
  EXPECT_EQ(refusedLine("RESIDUE", 17, "19"), residue);
  EXPECT_EQ(refusedLine("RESIDUE", 17, "18"), 0);
  // Residue types run 0 to 19 and 21 (any other residue); points are counted from 0.
  for (const char* type : {"55", "-3", "20"}) EXPECT_EQ(refusedLine("RESIDUE", 22, type), residue) << type;
  EXPECT_EQ(refusedLine("RESIDUE", 22, "21"), 0);
  EXPECT_EQ(refusedLine("RESIDUE", 8, "-4"), residue);
  // A field that is not one whole number is damage, never read as 0 or as its start: a
  // word, a number with something after it, a fraction where a whole number belongs.
  EXPECT_EQ(refusedLine("RESIDUE", 18, "abc"), residue);
  EXPECT_EQ(refusedLine("RESIDUE", 18, "0.79x"), residue);
  EXPECT_EQ(refusedLine("RESIDUE", 2, "1.5"), residue);
  EXPECT_EQ(refusedLine("RESIDUE", 2, "one"), residue);
  EXPECT_EQ(refusedLine("ATOM", 5, "x"), atom);
  EXPECT_EQ(refusedLine("STRUCTURE", 2, "none"), structure);
  // Within range, and an empty field (0, as files of older versions may hold): accepted.
  EXPECT_EQ(refusedLine("ATOM", 5, "-999999.5"), 0);
  EXPECT_EQ(refusedLine("RESIDUE", 13, "-250"), 0);  // more exposed than the reference
  EXPECT_EQ(refusedLine("RESIDUE", 19, "1e6"), 0);
  EXPECT_EQ(refusedLine("RESIDUE", 19, "-.5"), 0);
  EXPECT_EQ(refusedLine("ATOM", 12, ""), 0);
}

TEST(ResultFile, FailedWritesKeepTheOldFileAndSayWhy) {
  test::ScratchFolder scratch;
  WriteText("keep.tsm", "STRUCTURE\t1\t2\nEND");
  EXPECT_EQ(WriteResult(Protein(), "no/such/folder/x.tsm").Describe(),
            "Error: cannot write no/such/folder/x.tsm: No such file or directory");
  ASSERT_TRUE(WriteResult(Protein(), "fresh.tsm").ok());
  // A folder where the file should go: the write fails and says so.
  std::filesystem::create_directory("taken.tsm");
  EXPECT_EQ(WriteResult(Protein(), "taken.tsm").problem, FileProblem::kWriteFailed);
  EXPECT_EQ(ReadAll("keep.tsm"), "STRUCTURE\t1\t2\nEND");
}

// A result is written over an earlier result, or an empty file, and never over the user's
// data: a structure given the result's name, a table, a write-protected result.
TEST(ResultFile, NeverWritesOverAFileThatHoldsNoResult) {
  test::ScratchFolder scratch;
  const std::string structure = ReadAll(test::DataPath("1CRN.pdb"));
  WriteText("1CRN.pdb", structure);
  WriteText("table.tsm", "Index\tResidue\n1\tTHR\n");
  for (const char* name : {"1CRN.pdb", "table.tsm"}) {
    const FileStatus refused = WriteResult(Analysed("1CRN.pdb"), name);
    EXPECT_EQ(refused.Describe(), std::string("Error: cannot write ") + name +
                                      ": it holds no result (a result file begins with STRUCTURE); "
                                      "nothing is written over it");
  }
  EXPECT_EQ(ReadAll("1CRN.pdb"), structure);
  EXPECT_EQ(ReadAll("table.tsm"), "Index\tResidue\n1\tTHR\n");
  WriteText("empty.tsm", "");
  EXPECT_TRUE(WriteResult(Analysed("1CRN.pdb"), "empty.tsm").ok());
  EXPECT_TRUE(WriteResult(Analysed("1CRN.pdb"), "empty.tsm").ok());  // now a result: replaced
  std::filesystem::permissions("empty.tsm", std::filesystem::perms::owner_read);
  EXPECT_EQ(WriteResult(Protein(), "empty.tsm").detail, "it is write-protected; nothing is written over it");
  Protein back;
  EXPECT_TRUE(ReadResult(back, "empty.tsm").ok());
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 3);  // no temporary left
}

// An assembly of 100 copies of crambin's chain: past the 84 identifiers of the pool the
// letters repeat, but every chain keeps its full name, also through a result file.
TEST(StructureFiles, AHundredChainsKeepTheirNames) {
  test::ScratchFolder scratch;
  std::ifstream in(test::DataPath("mmcif/1CRN.cif"));
  std::string head, rows, line;
  while (std::getline(in, line)) {
    if (line.rfind("ATOM ", 0) == 0) {
      rows += line + "\n";
    } else if (rows.empty()) {
      head += line + "\n";
    }
  }
  std::string text = head;
  for (int k = 1; k <= 100; ++k) {
    std::istringstream atoms(rows);
    while (std::getline(atoms, line)) {
      std::vector<std::string> f;
      std::istringstream words(line);
      for (std::string w; words >> w;) f.push_back(w);
      f[6] = f[23] = "A-" + std::to_string(k);  // label_asym_id, auth_asym_id
      f[10] = std::to_string(std::stod(f[10]) + 40.0 * k);
      for (const std::string& w : f) text += w + " ";
      text += "\n";
    }
  }
  std::ofstream("assembly.cif") << text << "#\n";
  const StructureFile file = ReadStructure("assembly.cif", test::StandardHetRadii());
  ASSERT_TRUE(file.status.ok()) << file.status.Describe();
  Protein assembly;
  assembly.structure = file.structure;
  assembly.ClearResults();
  const Structure& s = assembly.structure;
  ASSERT_EQ(s.chains.size(), 100u);
  std::set<char> ids;
  for (size_t k = 0; k < s.chains.size(); ++k) {
    EXPECT_EQ(s.ChainName(k), "A-" + std::to_string(k + 1));
    const char id = s.chains[k].chainId;
    EXPECT_TRUE(id > ' ' && id < 0x7f && std::string("'\"#$_;[].?").find(id) == std::string::npos) << id;
    if (k < ChainIdPool().size()) {
      EXPECT_TRUE(ids.insert(id).second) << k;  // distinct while the pool lasts
    }
  }
  EXPECT_EQ(s.chains[84].chainId, 'A');
  Protein stored;
  std::stringstream result;
  WriteResult(assembly, result);
  ASSERT_TRUE(ReadResult(stored, result, "assembly.tsm").ok());
  ASSERT_EQ(stored.structure.chains.size(), 100u);
  for (size_t k = 0; k < 100; ++k) {
    EXPECT_EQ(stored.structure.ChainName(k), s.ChainName(k));
    EXPECT_EQ(stored.structure.chains[k].chainId, s.chains[k].chainId);
  }
}

}  // namespace
}  // namespace tessmol
