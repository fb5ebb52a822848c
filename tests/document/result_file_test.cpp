#include "document/result_file.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "scoring/score_table.h"
#include "surface/environment.h"
#include "surface/sasa.h"
#include "test_support.h"

namespace tessmol {
namespace {

// Same value to six significant digits.
void ExpectSix(float read, float written) {
  EXPECT_NEAR(read, written, 5e-6f * std::max(1.0f, std::abs(written)));
}

Protein Analysed(const std::string& name) {
  Protein protein = test::LoadedProtein(name, false);
  SilentFeedback quiet;
  EXPECT_TRUE(CalculateSASA(protein, 1, test::ProgramFolder(), quiet));
  ScoreResidues(protein, BuiltInScores());
  // A few transmembrane flags and a negative residue number, which must come back.
  for (size_t i = 10; i < 20 && i < protein.structure.residues.size(); ++i)
    protein.structure.residues[i].transmembrane = true;
  protein.structure.residues[0].resSeq = -3;
  SumScores(protein);
  return protein;
}

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(ResultFile, RealStructuresRoundTrip) {
  test::ScratchFolder scratch;
  for (const char* name : {"1U19.pdb", "4HHB.pdb", "1UBQ.pdb"}) {
    SCOPED_TRACE(name);
    const Protein protein = Analysed(name);
    const Structure& w = protein.structure;
    ASSERT_TRUE(WriteResult(w, "out.tsm"));
    Structure r;
    ASSERT_EQ(ReadResult(r, "out.tsm"), 0);
    ExpectSix(r.totalSASA, w.totalSASA);
    ExpectSix(r.averageScore, w.averageScore);
    EXPECT_TRUE(r.atoms.empty());
    EXPECT_TRUE(r.hetAtoms.empty());
    for (const FloatPair& p : r.xyzExtremities) EXPECT_TRUE(p.f1 == 0.0f && p.f2 == 0.0f);
    ASSERT_EQ(r.chains.size(), w.chains.size());
    for (size_t i = 0; i < w.chains.size(); ++i) {
      EXPECT_EQ(r.chains[i].chainId, w.chains[i].chainId);
      EXPECT_EQ(r.chains[i].firstResidue, w.chains[i].firstResidue);
      EXPECT_EQ(r.chains[i].lastResidue, w.chains[i].lastResidue);
    }
    ASSERT_EQ(r.helices.size(), w.helices.size());
    ASSERT_EQ(r.sheets.size(), w.sheets.size());
    for (size_t i = 0; i < w.sheets.size(); ++i) {
      EXPECT_EQ(r.sheets[i].firstResSeq, w.sheets[i].firstResSeq);
      EXPECT_EQ(r.sheets[i].lastResSeq, w.sheets[i].lastResSeq);
      EXPECT_EQ(r.sheets[i].chainId, w.sheets[i].chainId);
    }
    ASSERT_EQ(r.residues.size(), w.residues.size());
    for (size_t i = 0; i < w.residues.size(); ++i) {
      const Residue& a = r.residues[i];
      const Residue& b = w.residues[i];
      EXPECT_EQ(a.name, b.name);
      EXPECT_EQ(a.resSeq, b.resSeq);
      EXPECT_EQ(a.chainId, b.chainId);
      EXPECT_EQ(a.cIndex, b.cIndex);
      EXPECT_EQ(a.caIndex, b.caIndex);
      EXPECT_EQ(a.nIndex, b.nIndex);
      EXPECT_EQ(a.oIndex, b.oIndex);
      EXPECT_EQ(a.contactPoints, b.contactPoints);
      EXPECT_EQ(a.polarPoints, b.polarPoints);
      EXPECT_EQ(a.secStruct, b.secStruct);
      ExpectSix(a.mainSASA, b.mainSASA);
      ExpectSix(a.sideSASA, b.sideSASA);
      ExpectSix(a.areaBuried, b.areaBuried);
      ExpectSix(a.fractionPolar, b.fractionPolar);
      ExpectSix(a.kavelinFP, b.kavelinFP);
      EXPECT_EQ(a.profEnv, b.profEnv);
      EXPECT_EQ(a.kavelinEnv, b.kavelinEnv);
      ExpectSix(a.solventScore, b.solventScore);
      ExpectSix(a.kavelinScore, b.kavelinScore);
      ExpectSix(a.overallScore, b.overallScore);
      EXPECT_EQ(a.transmembrane, b.transmembrane);
      EXPECT_EQ(a.type, b.type);
      EXPECT_EQ(a.sideChain, b.sideChain);
    }
  }
}

TEST(ResultFile, LayoutOfTheRecords) {
  test::ScratchFolder scratch;
  Structure s;
  s.totalSASA = 12345.5f;
  s.averageScore = 0.25f;
  s.chains.push_back({0, 0, 'A'});
  Residue r("GLY", 7, 'A');
  r.sideChain = {3, 4, 5};
  r.oIndex = -1;
  s.residues.push_back(r);
  Atom a;
  a.name = "CA";
  a.x = 1.5e-05f;
  s.atoms.push_back(a);
  ASSERT_TRUE(WriteResult(s, "layout.tsm"));
  std::ifstream in("layout.tsm", std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), {});
  EXPECT_EQ(text.substr(0, 29), "STRUCTURE\t12345.5\t0.25\nCHAIN\t");
  EXPECT_NE(text.find("\tGLY\t7\tA\t-1\t-1\t-1\t-1\t0\t2\t0\t0\t"), std::string::npos);
  EXPECT_NE(text.find("\nSIDECHAIN\t3\t4\t5\t\n"), std::string::npos);
  EXPECT_NE(text.find("\nATOM\tCA\t \t0\t0\t1.5e-05\t0\t0\t"), std::string::npos);
  EXPECT_EQ(text.substr(text.size() - 4), "\nEND");  // no line end after END
  Structure back;
  ASSERT_EQ(ReadResult(back, "layout.tsm"), 0);
  EXPECT_EQ(back.residues[0].sideChain, (std::vector<int32_t>{3, 4, 5}));
  EXPECT_EQ(back.residues[0].oIndex, -1);
  EXPECT_TRUE(std::filesystem::exists("layout.tsm"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 1);  // no leftover temporary
}

TEST(ResultFile, FormatErrorsGiveTheirLineNumbers) {
  test::ScratchFolder scratch;
  const std::string head =
      "STRUCTURE\t10\t0.5\nRESIDUE\tGLY\t1\tA\t-1\t-1\t-1\t-"
      "1\t0\t2\t0\t0\t0\t0\t0\t0\t17\t18\t0\t0\t0\t0\t8\nSIDECHAIN\t\n";
  Structure s;
  WriteText("a.tsm", head + "bogus\nEND");
  EXPECT_EQ(ReadResult(s, "a.tsm"), 4);  // the SIDECHAIN line counts
  s = Structure();
  WriteText("b.tsm", head + "\nEND");  // an empty line is no record
  EXPECT_EQ(ReadResult(s, "b.tsm"), 4);
  s = Structure();
  WriteText("c.tsm", head + "END\n\nbogus\n");  // nothing after END is read
  EXPECT_EQ(ReadResult(s, "c.tsm"), 0);
  EXPECT_EQ(s.residues.size(), 1u);
  s = Structure();
  WriteText("d.tsm", head);  // no END: read to the end without error
  EXPECT_EQ(ReadResult(s, "d.tsm"), 0);
  s = Structure();
  WriteText("e.tsm", "STRUCTURE\t1\t2\nSIDECHAIN\t1\t\n");  // SIDECHAIN only after RESIDUE
  EXPECT_EQ(ReadResult(s, "e.tsm"), 2);
  s = Structure();
  WriteText("f.tsm",
            "RESIDUE\tALA\t4294967293\tB\nCHAIN\tB\t0\t0\nEND");  // old unsigned numbers, short record
  EXPECT_EQ(ReadResult(s, "f.tsm"), 0);
  ASSERT_EQ(s.residues.size(), 1u);
  EXPECT_EQ(s.residues[0].resSeq, 2147483647);
  EXPECT_TRUE(s.chains.empty());  // the line after a RESIDUE is taken for its SIDECHAIN
  s = Structure();
  WriteText("g.tsm", "STRUCTURE\t7.5\t1\r\nEND\r\n");
  EXPECT_EQ(ReadResult(s, "g.tsm"), 0);
  EXPECT_EQ(s.totalSASA, 7.5f);
  s = Structure();
  EXPECT_EQ(ReadResult(s, "missing.tsm"), 0);
  EXPECT_TRUE(s.residues.empty());
}

TEST(ResultFile, AFailedWriteKeepsTheOldFile) {
  test::ScratchFolder scratch;
  WriteText("keep.tsm", "STRUCTURE\t1\t2\nEND");
  std::filesystem::create_directory("keep.tsm.partial-" +
                                    std::to_string(::getpid()));  // the temporary cannot be made
  EXPECT_FALSE(WriteResult(Structure(), "keep.tsm"));
  Structure s;
  EXPECT_EQ(ReadResult(s, "keep.tsm"), 0);
  EXPECT_EQ(s.totalSASA, 1.0f);
  EXPECT_FALSE(WriteResult(Structure(), "no/such/folder/x.tsm"));
}

}  // namespace
}  // namespace tessmol
