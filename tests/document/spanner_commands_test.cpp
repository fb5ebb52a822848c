#include "document/tessmol_doc.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>

#include "document/result_file.h"
#include "test_support.h"
#include "transmembrane/fasta.h"

namespace tessmol {
namespace {

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

TEST(Fasta, HeadersEmptyLinesAndOddCharacters) {
  test::ScratchFolder scratch;
  Write("a.fasta", ">first\nMK\n\nV\n>second\n>third\r\nAC D\r\n");
  FastaFile f = ReadFasta("a.fasta");
  ASSERT_EQ(f.status, FastaStatus::kOk);
  EXPECT_EQ(f.sequences, (std::vector<std::string>{"MKV", "", "AC D"}));
  Write("b.fasta", "\n>late header\nMKV\n");
  EXPECT_EQ(ReadFasta("b.fasta").status, FastaStatus::kNotFasta);
  Write("c.fasta", "MKV\n>header\nMKV\n");
  EXPECT_EQ(ReadFasta("c.fasta").status, FastaStatus::kNotFasta);
  Write("d.fasta", ">only a header\n");
  f = ReadFasta("d.fasta");
  EXPECT_EQ(f.status, FastaStatus::kOk);
  EXPECT_EQ(f.sequences, std::vector<std::string>{""});
  Write("e.fasta", "");
  EXPECT_EQ(ReadFasta("e.fasta").status, FastaStatus::kNotFasta);
  EXPECT_EQ(ReadFasta("missing.fasta").status, FastaStatus::kCannotOpen);
  EXPECT_EQ(ReadFasta(scratch.path().string()).status, FastaStatus::kCannotOpen);
}

struct Session {
  explicit Session(const test::ScratchFolder&) : state(test::ProgramFolder()), doc(state, feedback) {
    AnalysisSettings settings;
    settings.writeHelixInspection = false;
    doc.SetSettings(settings);
    state.CloseLog();
  }
  ProcessState state;
  RecordingFeedback feedback;
  CTessmolDoc doc;
};

TEST(Spanner2D, ModelsRowsAndResultFiles) {
  test::ScratchFolder scratch;
  Session s(scratch);
  Write("mkv.txt", ">x\nMK\n\nV \n");
  Write("two.fa", ">a\nMKVL\n>b\nAG\n");
  std::vector<std::string> names;
  ASSERT_TRUE(s.doc.RunSpanner2D({"mkv.txt", "two.fa"}, [&](const Protein& p) {
    names.push_back(p.fileName);
    for (const Residue& r : p.structure.residues) EXPECT_EQ(r.secStruct, 1);
  }));
  EXPECT_EQ(names, (std::vector<std::string>{"mkv.txt", "two.fa"}));
  ASSERT_EQ(s.doc.entries().size(), 2u);
  EXPECT_EQ(s.doc.entries()[0].resultPath, "./mkv.tsm");
  Structure stored;
  ASSERT_TRUE(ReadResult(stored, "mkv.tsm").ok());
  ASSERT_EQ(stored.residues.size(), 4u);  // M K V and the trailing blank
  EXPECT_EQ(stored.residues[3].name, "UNK");
  stored = Structure();
  ASSERT_TRUE(ReadResult(stored, "two.tsm").ok());
  ASSERT_EQ(stored.chains.size(), 2u);
  EXPECT_EQ(stored.chains[1].chainId, 'B');
  EXPECT_EQ(stored.chains[1].firstResidue, 4);
  EXPECT_FALSE(s.doc.structureLoaded());        // the document's protein is not touched
  EXPECT_EQ(s.feedback.messages.size(), 1u);  // the UNK residue's missing template
  EXPECT_EQ(s.feedback.documentChanges, 1);
}

TEST(Spanner2D, BadFilesStopTheCommand) {
  test::ScratchFolder scratch;
  Session s(scratch);
  Write("good.txt", ">x\nMKV\n");
  Write("header.txt", ">x\n");
  Write("plain.txt", "MKV\n");
  EXPECT_FALSE(s.doc.RunSpanner2D({"good.txt", "header.txt", "good.txt"}));
  EXPECT_EQ(s.doc.entries().size(), 1u);  // what was done before the stop stays
  EXPECT_EQ(s.feedback.messages.back(), "Error: Could not process FASTA file: header.txt");
  EXPECT_FALSE(s.doc.RunSpanner2D({"plain.txt"}));
  EXPECT_EQ(s.feedback.messages.back(), "Error: file not in FASTA format: plain.txt");
  EXPECT_FALSE(s.doc.RunSpanner2D({"missing.txt"}));
  EXPECT_EQ(s.feedback.messages.back(), "Error: Failed to open missing.txt");
  EXPECT_EQ(s.feedback.documentChanges, 0);
}

TEST(Spanner2D, ChainsPastZKeepPrintableNames) {
  test::ScratchFolder scratch;
  Session s(scratch);
  std::string fasta;
  for (int i = 0; i < 205; ++i) fasta += ">s" + std::to_string(i) + "\nMK\n";
  Write("many.fasta", fasta);
  ASSERT_TRUE(s.doc.RunSpanner2D({"many.fasta"}));
  Structure stored;
  ASSERT_TRUE(ReadResult(stored, "many.tsm").ok());
  ASSERT_EQ(stored.chains.size(), 205u);
  EXPECT_EQ(stored.chains[26].chainId, 'a');
  EXPECT_EQ(stored.chains[201].chainId, 'P');  // 201 = 3 x 62 + 15
  for (const Chain& c : stored.chains) EXPECT_TRUE(std::isalnum(static_cast<unsigned char>(c.chainId)));
}

// Segments of a 0/1 label string: (first, last) index pairs.
std::vector<std::pair<int, int>> Segments(const std::string& labels) {
  std::vector<std::pair<int, int>> segments;
  for (size_t i = 0; i < labels.size(); ++i) {
    if (labels[i] == '1' && (i == 0 || labels[i - 1] != '1')) segments.push_back({int(i), int(i)});
    if (labels[i] == '1') segments.back().second = int(i);
  }
  return segments;
}

int Overlap(std::pair<int, int> a, std::pair<int, int> b) {
  return std::max(0, std::min(a.second, b.second) - std::max(a.first, b.first) + 1);
}

class Spanner2DOnMembraneProteins : public testing::TestWithParam<std::pair<std::string, std::string>> {};

TEST_P(Spanner2DOnMembraneProteins, FindsSegmentsWhereTheStructureHasThem) {
  const auto& [file, id] = GetParam();
  std::ifstream truthFile(test::DataPath("tm_examples.3line"));
  std::string header, sequence, labels;
  while (std::getline(truthFile, header) && std::getline(truthFile, sequence) &&
         std::getline(truthFile, labels)) {
    if (header == ">" + id) break;
  }
  ASSERT_EQ(header, ">" + id);
  test::ScratchFolder scratch;
  Session s(scratch);
  std::string predicted;
  ASSERT_TRUE(s.doc.RunSpanner2D({test::DataPath(file)}, [&](const Protein& p) {
    for (const Residue& r : p.structure.residues) predicted += r.transmembrane ? '1' : '0';
  }));
  ASSERT_EQ(predicted.size(), labels.size());
  const auto truth = Segments(labels);
  const auto found = Segments(predicted);
  int matched = 0, inside = 0;
  for (const auto& t : truth) {
    for (const auto& f : found) {
      if (Overlap(t, f) >= 5) {
        ++matched;
        break;
      }
    }
  }
  for (const auto& f : found) {
    for (const auto& t : truth) {
      if (Overlap(t, f) >= 5) {
        ++inside;
        break;
      }
    }
  }
  std::printf("%s: %zu annotated segments, %d found; %zu predicted, %d of them on an annotated one\n",
              id.c_str(), truth.size(), matched, found.size(), inside);
  // Measured: see the closing note. Most helices found, and most predictions real.
  EXPECT_GE(matched, static_cast<int>(truth.size()) / 2);
  EXPECT_GE(inside * 4, static_cast<int>(found.size()) * 3);
}

INSTANTIATE_TEST_SUITE_P(
    SevenHelixProteins, Spanner2DOnMembraneProteins,
    testing::Values(std::make_pair(std::string("bacteriorhodopsin_4xxjA.fasta"), std::string("4xxjA")),
                    std::make_pair(std::string("rhodopsin_1gzmA.fasta"), std::string("1gzmA"))),
    [](const auto& info) { return info.param.second; });

TEST(Spanner3D, FlagsRescoringAndResultFile) {
  test::ScratchFolder scratch;
  Session s(scratch);
  EXPECT_FALSE(s.doc.RunSpanner3D());
  EXPECT_EQ(s.feedback.messages, std::vector<std::string>{"Error no structure selected"});
  ASSERT_EQ(s.doc.OpenStructure(test::DataPath("1U19.pdb")), CTessmolDoc::OpenResult::kOpened);
  const float before = s.doc.protein().structure.averageScore;
  ASSERT_TRUE(s.doc.RunSpanner3D());
  const Structure& st = s.doc.protein().structure;
  int flagged = 0;
  float total = 0.0f;
  for (const Residue& r : st.residues) {
    flagged += r.transmembrane;
    EXPECT_EQ(r.overallScore, r.transmembrane ? r.kavelinScore : r.solventScore);
    total += r.overallScore;
  }
  EXPECT_GT(flagged, 50);  // rhodopsin's seven helices, twice (two chains)
  // Segments stay in their chain: a window never reaches a chain's last residue.
  for (const Chain& c : st.chains) EXPECT_FALSE(st.residues[c.lastResidue].transmembrane) << c.chainId;
  EXPECT_FLOAT_EQ(st.totalScore, total);
  EXPECT_NE(st.averageScore, before);
  EXPECT_EQ(s.doc.entries()[0].averageScore, st.averageScore);
  // The flags are in the row's own result file, which show and the list read.
  Structure stored;
  ASSERT_TRUE(ReadResult(stored, s.doc.entries()[0].resultPath).ok());
  ASSERT_EQ(stored.residues.size(), st.residues.size());
  for (size_t i = 0; i < st.residues.size(); ++i) EXPECT_EQ(stored.residues[i].transmembrane, st.residues[i].transmembrane);
  // The same parameters give the same flags again.
  std::vector<bool> first;
  for (const Residue& r : st.residues) first.push_back(r.transmembrane);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(st.residues[i].transmembrane, first[i]);
}

TEST(Spanner3D, TheSlabFlagsWhatLiesInTheMembraneAndSpanner2DRefusesIt) {
  test::ScratchFolder scratch;
  Session s(scratch);
  AnalysisSettings settings = s.doc.settings();
  settings.tmMethod = TmMethod::kSlab;
  settings.ignoreHeteroAtoms = true;
  s.doc.SetSettings(settings);
  Write("seq.fa", ">x\nMKVLLLLLLLLLLLLLLLLLLLLLLLKR\n");
  EXPECT_FALSE(s.doc.RunSpanner2D({"seq.fa"}));
  EXPECT_EQ(s.feedback.messages.back(), kSlabNeedsStructure);
  EXPECT_TRUE(s.doc.entries().empty());

  ASSERT_EQ(s.doc.OpenStructure(test::DataPath("1U19_tr.pdb")), CTessmolDoc::OpenResult::kOpened);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  const Protein& p = s.doc.protein();
  ASSERT_TRUE(p.membrane && p.membrane->placed);
  std::vector<bool> expected(p.structure.residues.size(), false);
  for (const SlabSegment& segment : p.membrane->segments)
    for (int32_t i = segment.first; i <= segment.last; ++i) expected[i] = true;
  for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(p.structure.residues[i].transmembrane, expected[i]) << i;
  // Another method afterwards leaves no stale placement in the summary.
  settings.tmMethod = TmMethod::kSegments;
  s.doc.SetSettings(settings);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  EXPECT_FALSE(s.doc.protein().membrane.has_value());
}

}  // namespace
}  // namespace tessmol
