#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>

#include "document/json_output.h"
#include "document/report.h"
#include "document/result_file.h"
#include "document/tessmol_doc.h"
#include "test_support.h"
#include "transmembrane/fasta.h"

namespace tessmol {
namespace {

void Write(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

std::vector<std::string> Sequences(const FastaFile& f) {
  std::vector<std::string> out;
  for (const FastaRecord& r : f.records) out.push_back(r.sequence);
  return out;
}

TEST(Fasta, HeadersEmptyLinesAndSkippedCharacters) {
  test::ScratchFolder scratch;
  Write("a.fasta", ">first\nMK\n\nV\n>second\n>third\r\nAC D\r\n");
  FastaFile f = ReadFasta("a.fasta");
  ASSERT_TRUE(f.status.ok());
  EXPECT_EQ(Sequences(f), (std::vector<std::string>{"MKV", "", "ACD"}));
  EXPECT_EQ(f.records[2].name, "third");
  EXPECT_EQ(f.records[2].headerLine, 6);
  // Case, blanks, position numbers and the stop are no residues.
  Write("g.fasta", ">p\n     1 mkvLL ggaa\n    11 WY*\n  \t\n");
  f = ReadFasta("g.fasta");
  ASSERT_TRUE(f.status.ok()) << f.status.Describe();
  EXPECT_EQ(Sequences(f), std::vector<std::string>{"MKVLLGGAAWY"});
  Write("b.fasta", "\n>late header\nMKV\n");
  EXPECT_EQ(ReadFasta("b.fasta").status.detail, kFastaNoHeader);
  Write("c.fasta", "MKV\n>header\nMKV\n");
  EXPECT_EQ(ReadFasta("c.fasta").status.detail, kFastaNoHeader);
  Write("d.fasta", ">only a header\n");
  f = ReadFasta("d.fasta");
  EXPECT_TRUE(f.status.ok());
  EXPECT_EQ(Sequences(f), std::vector<std::string>{""});
  Write("e.fasta", "");
  EXPECT_EQ(ReadFasta("e.fasta").status.detail, kFastaNoHeader);
  // UniProt's downloads come gzip-compressed; Windows editors start UTF-8 with a mark.
  Write("h.fasta", "\xEF\xBB\xBF>marked\nMKV\n>second\nWW\n");
  f = ReadFasta("h.fasta");
  ASSERT_TRUE(f.status.ok()) << f.status.Describe();
  EXPECT_EQ(f.records[0].name, "marked");
  EXPECT_EQ(Sequences(f), (std::vector<std::string>{"MKV", "WW"}));
  ASSERT_EQ(std::system("gzip -c h.fasta > h.fasta.gz"), 0);
  const FastaFile unpacked = ReadFasta("h.fasta.gz");
  ASSERT_TRUE(unpacked.status.ok()) << unpacked.status.Describe();
  EXPECT_EQ(Sequences(unpacked), Sequences(f));
  EXPECT_EQ(unpacked.records[1].headerLine, 3);
  // A compressed file cut short is a read failure, not a shorter sequence.
  std::ifstream whole("h.fasta.gz", std::ios::binary);
  const std::string packed((std::istreambuf_iterator<char>(whole)), {});
  Write("cut.fasta.gz", packed.substr(0, packed.size() - 6));
  const FileStatus cut = ReadFasta("cut.fasta.gz").status;
  EXPECT_EQ(
      FastaOpenFailure(cut, "cut.fasta.gz").rfind("Error: Failed to open cut.fasta.gz: the gzip stream", 0),
      0u)
      << cut.Describe();
  EXPECT_EQ(ReadFasta("missing.fasta").status.problem, FileProblem::kMissing);
  EXPECT_EQ(ReadFasta(scratch.path().string()).status.problem, FileProblem::kUnreadable);
}

TEST(Fasta, AnyOtherCharacterIsAFormatErrorOnItsLine) {
  test::ScratchFolder scratch;
  for (const auto& [text, line] : std::vector<std::pair<std::string, int>>{
           {">a\nMKV\nMK-V\n", 3}, {">a\nMK\n>b\nAC*D\n", 4}, {">a\nMK.\n", 2}, {">a\nM\xe9K\n", 2}}) {
    Write("bad.fasta", text);
    const FastaFile f = ReadFasta("bad.fasta");
    ASSERT_TRUE(f.status.ok()) << text;  // the fault is the record's, not the file's
    EXPECT_EQ(f.records.back().fault.problem, FileProblem::kFormat) << text;
    EXPECT_EQ(f.records.back().fault.line, line) << text;
  }
  // A faulty record, or one without residues, leaves the records after it readable.
  Write("bad.fasta", ">a\nMK.\nVV\n>b\nMKV\n>c\n>d\nWW\n");
  const FastaFile f = ReadFasta("bad.fasta");
  ASSERT_EQ(f.records.size(), 4u);
  EXPECT_EQ(f.records[0].fault.line, 2);
  EXPECT_EQ(f.records[2].fault.line, 6);
  EXPECT_TRUE(f.records[1].fault.ok() && f.records[3].fault.ok());
  EXPECT_EQ(Sequences(f), (std::vector<std::string>{"MK", "MKV", "", "WW"}));
}

// Two records of one name (a header's description differing) come out under one name in
// the 3-line output and the list: each later one is warned about, naming the first.
TEST(Fasta, ARepeatedNameIsWarnedAbout) {
  test::ScratchFolder scratch;
  Write("dup.fasta", ">dup isoform 1\nMKV\n>other\nWW\n>dup isoform 2\nMKW\n>dup isoform 3\nMKY\n");
  const FastaFile f = ReadFasta("dup.fasta");
  ASSERT_EQ(f.records.size(), 4u);
  EXPECT_EQ(f.records[0].sameNameLine, 0);
  EXPECT_EQ(f.records[1].sameNameLine, 0);
  EXPECT_EQ(f.records[2].sameNameLine, 1);
  EXPECT_EQ(f.records[3].sameNameLine, 1);
  EXPECT_TRUE(RecordWarnings("w", f.records[0]).empty());
  EXPECT_EQ(RecordWarnings("w", f.records[3]),
            std::vector<std::string>{"Warning: w has the name of the record at line 1: outputs that name "
                                     "records alone (3-line, the analysis list) cannot tell them apart"});
  // Names are the file's own: a second file starts afresh.
  EXPECT_EQ(ReadFasta("dup.fasta").records[0].sameNameLine, 0);
}

TEST(Fasta, RareLettersAreResiduesNamedOnceInAWarning) {
  test::ScratchFolder scratch;
  Write("r.fasta", ">r\nXXbuXoZjXB\n>plain\nMKV\n");
  const FastaFile f = ReadFasta("r.fasta");
  ASSERT_TRUE(f.status.ok());
  EXPECT_EQ(f.records[0].rareLetters, "XBUOZJ");
  EXPECT_EQ(RareLetterWarning("r.fasta", f.records[0]),
            "Warning: r.fasta holds X, B, U, O, Z, J: modelled as ALA, ASN, CYS, LYS, GLN, LEU (X read as "
            "unknown by the segmentation)");
  EXPECT_EQ(RareLetterWarning("r.fasta", f.records[1]), "");
  for (char c = 'A'; c <= 'Z'; ++c) EXPECT_NE(ResidueNameForLetter(c), "UNK") << c;
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
  ASSERT_TRUE(s.doc.RunSpanner2D({"mkv.txt", "two.fa"}, [&](size_t, const Protein& p, const FastaRecord& r) {
    names.push_back(p.fileName + ":" + r.name);
    for (const Residue& residue : p.structure.residues)
      EXPECT_EQ(residue.secStruct, SecondaryStructure::kHelix);
  }));
  EXPECT_EQ(names, (std::vector<std::string>{"mkv.txt:x", "two.fa:a", "two.fa:b"}));
  ASSERT_EQ(s.doc.entries().size(), 3u);  // one row per record
  EXPECT_EQ(s.doc.entries()[0].resultPath, "./mkv.tsm");
  EXPECT_EQ(s.doc.entries()[2].resultPath, "./two-2.tsm");
  Protein stored;
  ASSERT_TRUE(ReadResult(stored, "mkv.tsm").ok());
  ASSERT_EQ(stored.structure.residues.size(), 3u);  // M K V; the trailing blank is no residue
  stored = Protein();
  ASSERT_TRUE(ReadResult(stored, "two-2.tsm").ok());
  ASSERT_EQ(stored.structure.chains.size(), 1u);
  EXPECT_EQ(stored.structure.residues.size(), 2u);
  EXPECT_FALSE(s.doc.structureLoaded());  // the document's protein is not touched
  EXPECT_TRUE(s.feedback.messages.empty());
  EXPECT_EQ(s.feedback.documentChanges, 1);
}

TEST(Spanner2D, BadFilesStopTheCommand) {
  test::ScratchFolder scratch;
  Session s(scratch);
  Write("good.txt", ">x\nMKV\n");
  Write("header.txt", ">x\n");
  Write("plain.txt", "MKV\n");
  // A record without residues fails the run; the other files are still done.
  EXPECT_FALSE(s.doc.RunSpanner2D({"good.txt", "header.txt", "good.txt"}));
  EXPECT_EQ(s.doc.entries().size(), 2u);
  EXPECT_EQ(s.feedback.messages.back(),
            "Error: Could not process FASTA file: header.txt (x, line 1): the record has no sequence");
  EXPECT_FALSE(s.doc.RunSpanner2D({"plain.txt"}));
  EXPECT_EQ(s.feedback.messages.back(), "Error: file not in FASTA format: plain.txt");
  EXPECT_FALSE(s.doc.RunSpanner2D({"missing.txt"}));
  EXPECT_EQ(s.feedback.messages.back(), "Error: Failed to open missing.txt");
  // Lines ended by carriage returns alone read as one header: the file says why.
  Write("mac.txt", ">x\rMKVLLAGLLW\r");
  EXPECT_FALSE(s.doc.RunSpanner2D({"mac.txt"}));
  EXPECT_EQ(
      s.feedback.messages.back(),
      "Error: file not in FASTA format: mac.txt: its lines end in a carriage return alone (classic Mac OS): "
      "save it with Unix or Windows line ends");
  // Windows line ends are read as usual.
  Write("windows.txt", ">x\r\nMKV\r\n");
  EXPECT_TRUE(s.doc.RunSpanner2D({"windows.txt"}));
  EXPECT_EQ(s.feedback.documentChanges, 2);
}

// The flags of each record's residues, as 0/1 text, by record name.
std::map<std::string, std::string> FlagsByRecord(CTessmolDoc& doc, const std::vector<std::string>& files) {
  std::map<std::string, std::string> flags;
  EXPECT_TRUE(doc.RunSpanner2D(files, [&](size_t, const Protein& p, const FastaRecord& r) {
    for (const ResidueMembrane& residue : p.transmembrane.residues)
      flags[r.name] += residue.transmembrane ? '1' : '0';
  }));
  return flags;
}

class Spanner2DRecords : public testing::TestWithParam<TmMethod> {};

TEST_P(Spanner2DRecords, CaseAndFileLayoutDoNotChangeTheSegments) {
  test::ScratchFolder scratch;
  Session s(scratch);
  AnalysisSettings settings = s.doc.settings();
  settings.tmMethod = GetParam();
  s.doc.SetSettings(settings);
  std::string all, lower;
  std::vector<std::string> apart;
  for (const char* file : {"bacteriorhodopsin_4xxjA.fasta", "rhodopsin_1gzmA.fasta"}) {
    std::ifstream in(test::DataPath(file));
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    all += text;
    std::string low = text;
    bool header = false;
    for (char& c : low) {
      if (c == '>') header = true;
      if (c == '\n') header = false;
      if (!header) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    lower += low + "*\n";
    apart.push_back(test::DataPath(file));
  }
  Write("all.fasta", all);
  Write("lower.fasta", lower);
  const auto together = FlagsByRecord(s.doc, {"all.fasta"});
  ASSERT_EQ(together.size(), 2u);
  EXPECT_EQ(FlagsByRecord(s.doc, apart), together);
  EXPECT_EQ(FlagsByRecord(s.doc, {"lower.fasta"}), together);
  for (const auto& [name, flags] : together) EXPECT_NE(flags.find("1111111111"), std::string::npos) << name;
  EXPECT_TRUE(s.feedback.messages.empty());
}

INSTANTIATE_TEST_SUITE_P(BothMethods, Spanner2DRecords,
                         testing::Values(TmMethod::kWindow, TmMethod::kSegments), [](const auto& info) {
                           return info.param == TmMethod::kWindow ? "window" : "segments";
                         });

TEST(Spanner2D, ASignalPeptideIsMarkedAndIsNoSegment) {
  // Real records (topology_examples.3line): a secreted protein and a type I membrane
  // protein, each with a signal peptide; in one file and apart, the same residues.
  test::ScratchFolder scratch;
  Session s(scratch);
  AnalysisSettings settings = s.doc.settings();
  settings.tmMethod = TmMethod::kSegments;
  s.doc.SetSettings(settings);
  std::ifstream in(test::DataPath("topology_examples.3line"));
  std::string header, sequence, labels, all;
  std::map<std::string, std::string> truth;
  std::vector<std::string> apart;
  while (std::getline(in, header) && std::getline(in, sequence) && std::getline(in, labels)) {
    const std::string name = header.substr(1, header.find(' ') - 1);
    truth[name] = labels;
    all += ">" + name + "\n" + sequence + "\n";
    Write(name + ".fasta", ">" + name + "\n" + sequence + "\n");
    apart.push_back(name + ".fasta");
  }
  Write("all.fasta", all);
  std::map<std::string, std::string> marks;
  ASSERT_TRUE(s.doc.RunSpanner2D({"all.fasta"}, [&](size_t, const Protein& p, const FastaRecord& r) {
    for (const ResidueMembrane& residue : p.transmembrane.residues)
      marks[r.name] += residue.kind == SegmentKind::kSignalPeptide ? (residue.transmembrane ? '!' : 'S')
                       : residue.transmembrane                     ? 'M'
                                                                   : '.';
  }));
  for (const char* name : {"Q9Y4X3", "Q07699"}) {
    const std::string& m = marks[name];
    ASSERT_EQ(m.size(), truth[name].size()) << name;
    EXPECT_EQ(m.find('!'), std::string::npos) << name;  // never both
    // The signal peptide is where the labels put it, to within a few residues.
    const size_t predicted = m.find_first_not_of('S'), labelled = truth[name].find_first_not_of('S');
    EXPECT_NEAR(double(predicted), double(labelled), 6.0) << name << ' ' << m;
  }
  EXPECT_EQ(marks["Q9Y4X3"].find('M'), std::string::npos);
  EXPECT_NE(marks["Q07699"].find("MMMMMMMMMM"), std::string::npos);
  std::map<std::string, std::string> apartMarks;
  ASSERT_TRUE(s.doc.RunSpanner2D(apart, [&](size_t, const Protein& p, const FastaRecord& r) {
    for (const ResidueMembrane& residue : p.transmembrane.residues)
      apartMarks[r.name] += residue.kind == SegmentKind::kSignalPeptide ? 'S'
                            : residue.transmembrane                     ? 'M'
                                                                        : '.';
  }));
  EXPECT_EQ(apartMarks, marks);
}

TEST(Spanner2D, TheDefaultMethodSegmentsASequence) {
  // A sequence has no structure for the slab: the default (`auto`) runs the segmentation,
  // with its signal peptide, and records that it did.
  test::ScratchFolder scratch;
  Session s(scratch);
  ASSERT_EQ(s.doc.settings().tmMethod, TmMethod::kSlabElseSegments);
  std::ifstream in(test::DataPath("topology_examples.3line"));
  std::string header, sequence, labels;
  ASSERT_TRUE(std::getline(in, header) && std::getline(in, sequence) && std::getline(in, labels));
  Write("sp.fasta", header.substr(0, header.find(' ')) + "\n" + sequence + "\n");
  auto marks = [&]() {
    std::string m, method;
    EXPECT_TRUE(s.doc.RunSpanner2D({"sp.fasta"}, [&](size_t, const Protein& p, const FastaRecord&) {
      method = p.parameters.method;
      for (const ResidueMembrane& residue : p.transmembrane.residues)
        m += residue.kind == SegmentKind::kSignalPeptide ? 'S' : residue.transmembrane ? 'M' : '.';
    }));
    return std::make_pair(m, method);
  };
  const auto byDefault = marks();
  EXPECT_EQ(byDefault.second, "segments");
  // The labels' signal peptide (24 residues), to within a few.
  EXPECT_NEAR(double(byDefault.first.find_first_not_of('S')), double(labels.find_first_not_of('S')), 6.0)
      << byDefault.first;
  AnalysisSettings settings = s.doc.settings();
  settings.tmMethod = TmMethod::kSegments;
  s.doc.SetSettings(settings);
  EXPECT_EQ(marks(), byDefault);
  settings.tmMethod = TmMethod::kWindow;
  s.doc.SetSettings(settings);
  const auto window = marks();
  EXPECT_EQ(window.second, "window");
  EXPECT_EQ(window.first.find('S'), std::string::npos);  // the scan knows no signal peptide
}

TEST(Spanner2D, RareLettersWarnOnceAndAFormatErrorFailsItsRecordAndTheRun) {
  test::ScratchFolder scratch;
  Session s(scratch);
  Write("rare.fasta", ">r\nMKXXXXLLLLBBZ\nXXU\n>bad\nMKV\nMK?V\n>after\nMKV\n");
  std::vector<std::string> failed;
  EXPECT_FALSE(s.doc.RunSpanner2D({"rare.fasta"}, {},
                                  [&](size_t, const FastaRecord& r) { failed.push_back(r.name); }));
  EXPECT_EQ(s.doc.entries().size(), 2u);  // the record after the bad one is modelled
  EXPECT_EQ(failed, std::vector<std::string>{"bad"});
  ASSERT_EQ(s.feedback.messages.size(), 2u);
  EXPECT_EQ(
      s.feedback.messages[0],
      "Warning: rare.fasta (r, line 1) holds X, B, Z, U: modelled as ALA, ASN, GLN, CYS (X read as unknown "
      "by the segmentation)");
  EXPECT_EQ(
      s.feedback.messages[1],
      "Error: format error in rare.fasta on line 6: '?' is no residue letter; record bad is not modelled");
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
  ASSERT_TRUE(s.doc.RunSpanner2D({test::DataPath(file)}, [&](size_t, const Protein& p, const FastaRecord&) {
    for (const ResidueMembrane& r : p.transmembrane.residues) predicted += r.transmembrane ? '1' : '0';
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
  // Most helices found, and most predictions real. Measured with the default window scan:
  // 4xxjA 7 of 7 helices found, all 5 predictions on one; 1gzmA 6 of 7, 6 of 7 predictions.
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
  AnalysisSettings window = s.doc.settings();
  window.tmMethod = TmMethod::kWindow;
  s.doc.SetSettings(window);
  EXPECT_FALSE(s.doc.RunSpanner3D());
  EXPECT_EQ(s.feedback.messages, std::vector<std::string>{"Error no structure selected"});
  ASSERT_EQ(s.doc.OpenStructure(test::DataPath("1U19.pdb")), CTessmolDoc::OpenResult::kOpened);
  const float before = s.doc.protein().scores.averageScore;
  ASSERT_TRUE(s.doc.RunSpanner3D());
  const Structure& st = s.doc.protein().structure;
  const ScoreResult& scores = s.doc.protein().scores;
  const std::vector<ResidueMembrane>& tm = s.doc.protein().transmembrane.residues;
  int flagged = 0;
  float total = 0.0f;
  for (size_t k = 0; k < st.residues.size(); ++k) {
    const ResidueMembrane& r = tm[k];
    const ResidueScore& score = scores.residues[k];
    flagged += r.transmembrane;
    EXPECT_EQ(score.overallScore, r.transmembrane ? score.kavelinScore : score.solventScore);
    total += score.overallScore;
  }
  EXPECT_GT(flagged, 50);  // rhodopsin's seven helices, twice (two chains)
  // Segments stay in their chain: a window never reaches a chain's last residue.
  for (const Chain& c : st.chains) EXPECT_FALSE(tm[c.lastResidue].transmembrane) << c.chainId;
  EXPECT_FLOAT_EQ(scores.totalScore, total);
  EXPECT_NE(scores.averageScore, before);
  EXPECT_EQ(s.doc.entries()[0].averageScore, scores.averageScore);
  // The flags are in the row's own result file, which show and the list read.
  Protein stored;
  ASSERT_TRUE(ReadResult(stored, s.doc.entries()[0].resultPath).ok());
  ASSERT_EQ(stored.structure.residues.size(), st.residues.size());
  for (size_t i = 0; i < st.residues.size(); ++i)
    EXPECT_EQ(stored.transmembrane.residues[i].transmembrane, tm[i].transmembrane);
  // The same parameters give the same flags again.
  std::vector<bool> first;
  for (const ResidueMembrane& r : tm) first.push_back(r.transmembrane);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  const std::vector<ResidueMembrane>& again = s.doc.protein().transmembrane.residues;
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(again[i].transmembrane, first[i]);
}

// Residues without a template of their own (UNK, an unmapped modified residue) keep their main chain in
// the window scan's model: said in a warning, and no failure of the command.
TEST(Spanner3D, ResiduesWithoutATemplateAreWarnedOfNotAFailure) {
  test::ScratchFolder scratch;
  std::ifstream in(test::DataPath("1CRN.pdb"));
  std::ofstream out("odd.pdb");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("ATOM", 0) == 0 && line.size() > 26) {
      const int number = std::atoi(line.substr(22, 4).c_str());
      if (number == 10) line.replace(17, 3, "UNK");
      if (number == 20) line.replace(17, 3, "ABA");
    }
    out << line << '\n';
  }
  out.close();
  Session s(scratch);
  AnalysisSettings window = s.doc.settings();
  window.tmMethod = TmMethod::kWindow;
  s.doc.SetSettings(window);
  ASSERT_EQ(s.doc.OpenStructure("odd.pdb"), CTessmolDoc::OpenResult::kOpened);
  s.feedback.messages.clear();
  EXPECT_TRUE(s.doc.RunSpanner3D());
  ASSERT_FALSE(s.feedback.messages.empty());
  EXPECT_EQ(s.feedback.messages.back(),
            "Warning: no side-chain template for UNK, ABA: those residues of the helix model keep their main "
            "chain only");
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
  ASSERT_EQ(p.membranes.size(), 1u);
  ASSERT_TRUE(p.membranes.front().placed);
  std::vector<bool> expected(p.structure.residues.size(), false);
  for (const SlabSegment& segment : p.membranes.front().segments)
    for (int32_t i = segment.first; i <= segment.last; ++i) expected[i] = true;
  for (size_t i = 0; i < expected.size(); ++i)
    EXPECT_EQ(p.transmembrane.residues[i].transmembrane, expected[i]) << i;
  // Another method afterwards leaves no stale placement in the summary.
  settings.tmMethod = TmMethod::kSegments;
  s.doc.SetSettings(settings);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  EXPECT_TRUE(s.doc.protein().membranes.empty());
}

// The orientation of chain `chainId`'s residue `resSeq` after Spanner3D: 1 in→out, -1 out→in.
int TopologyAt(const Protein& p, char chainId, int32_t resSeq) {
  for (size_t i = 0; i < p.structure.residues.size(); ++i) {
    const Residue& r = p.structure.residues[i];
    if (r.chainId == chainId && r.resSeq == resSeq) return p.transmembrane.residues[i].tmTopology;
  }
  return 0;
}

TEST(Spanner3D, TheDefaultPlacesTheMembraneAndLeavesSolubleProteinsAlone) {
  test::ScratchFolder scratch;
  Session s(scratch);
  EXPECT_EQ(s.doc.settings().tmMethod, TmMethod::kSlabElseSegments);
  // Haemoglobin: no membrane fits, and the segmentation finds no segment either.
  ASSERT_EQ(s.doc.OpenStructure(test::DataPath("4HHB.pdb")), CTessmolDoc::OpenResult::kOpened);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  for (const ResidueMembrane& r : s.doc.protein().transmembrane.residues) EXPECT_FALSE(r.transmembrane);
  EXPECT_TRUE(TransmembraneDomains(s.doc.protein()).empty());

  // E. coli dihydrofolate reductase starts MISLIAALAV, a hydrophobic stretch a sequence
  // alone may take for a signal peptide; in the crystal it is the first strand of the
  // folded sheet. A crystallised chain is the mature one: no signal peptide, no segment.
  ASSERT_EQ(s.doc.OpenStructure(test::DataPath("1RX1.pdb")), CTessmolDoc::OpenResult::kOpened);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  for (const ResidueMembrane& r : s.doc.protein().transmembrane.residues) {
    EXPECT_FALSE(r.transmembrane);
    EXPECT_NE(r.kind, SegmentKind::kSignalPeptide);
  }

  // Rhodopsin's two crystal copies lie antiparallel: each gets its own membrane, and each
  // chain's helix 1 runs from outside in (its N-terminus is extracellular).
  ASSERT_EQ(s.doc.OpenStructure(test::DataPath("1U19.pdb")), CTessmolDoc::OpenResult::kOpened);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  EXPECT_EQ(s.doc.protein().membranes.size(), 2u);
  EXPECT_EQ(TopologyAt(s.doc.protein(), 'A', 50), -1);
  EXPECT_EQ(TopologyAt(s.doc.protein(), 'B', 50), -1);
  const std::vector<std::string> lines = SummaryLines(s.doc.protein());
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "The chains cannot share one membrane (crystal copies lying apart or antiparallel): 2 "
                      "placements"),
            lines.end());
}

TEST(Spanner3D, OnePlacementWhetherHeteroatomsWereAnalysedOrNot) {
  // The beta2-adrenergic receptor (2RH1) with its lipids, ligand and waters: the surface
  // analysed with them and without them gives one placement, as `membrane` gives it, and
  // so does its result file opened again.
  test::ScratchFolder scratch;
  std::vector<MembranePlacement> placements;
  for (bool ignore : {false, true}) {
    Session s(scratch);
    AnalysisSettings settings = s.doc.settings();
    settings.ignoreHeteroAtoms = ignore;
    settings.tmMethod = TmMethod::kSlab;
    s.doc.SetSettings(settings);
    ASSERT_EQ(s.doc.OpenStructure(test::DataPath("2RH1.pdb")), CTessmolDoc::OpenResult::kOpened);
    ASSERT_FALSE(s.doc.protein().structure.hetAtoms.empty());
    ASSERT_TRUE(s.doc.RunSpanner3D());
    ASSERT_EQ(s.doc.protein().membranes.size(), 1u);
    placements.push_back(s.doc.protein().membranes.front());
    // What `membrane` asks of the document for the structure analysed its way.
    Protein protein;
    ASSERT_EQ(s.doc.AnalyseFile(test::DataPath("2RH1.pdb"), protein), CTessmolDoc::OpenResult::kOpened);
    const std::vector<MembranePlacement> asked = s.doc.PlaceMembranes(protein);
    ASSERT_EQ(asked.size(), 1u);
    placements.push_back(asked.front());
  }
  // And its result file, which keeps no heteroatoms but areas they covered, opened again.
  {
    Session s(scratch);
    AnalysisSettings settings = s.doc.settings();
    settings.tmMethod = TmMethod::kSlab;
    s.doc.SetSettings(settings);
    ASSERT_EQ(s.doc.OpenStructure(test::DataPath("2RH1.pdb")), CTessmolDoc::OpenResult::kOpened);
    const std::string stored = s.doc.entries().back().resultPath;
    Session again(scratch);
    again.doc.SetSettings(settings);
    const int row = again.doc.AddStoredEntry(stored);
    ASSERT_TRUE(again.doc.LoadEntry(row, again.doc.entries()[static_cast<size_t>(row)].resultName));
    ASSERT_TRUE(again.doc.protein().structure.hetAtoms.empty());
    ASSERT_GT(again.doc.protein().parameters.coveringHetAtoms, 0);
    ASSERT_TRUE(again.doc.RunSpanner3D());
    ASSERT_EQ(again.doc.protein().membranes.size(), 1u);
    placements.push_back(again.doc.protein().membranes.front());
  }
  for (const MembranePlacement& m : placements) {
    ASSERT_TRUE(m.placed);
    EXPECT_EQ(m.normal, placements.front().normal);
    EXPECT_EQ(m.centre, placements.front().centre);
    EXPECT_EQ(m.halfThickness, placements.front().halfThickness);
    EXPECT_EQ(m.segments.size(), placements.front().segments.size());
  }
  // Seven helices, none of them longer than a bilayer's crossing allows.
  int crossing = 0;
  for (const SlabSegment& segment : placements.front().segments) {
    crossing += segment.kind == SegmentKind::kCrossing;
    EXPECT_LE(segment.last - segment.first + 1, 40);
  }
  EXPECT_GE(crossing, 7);
}

TEST(Spanner3D, AReEntrantHelixIsListedAsSuchAndStored) {
  test::ScratchFolder scratch;
  Session s(scratch);
  ASSERT_EQ(s.doc.OpenStructure(test::DataPath("1K4C.pdb")), CTessmolDoc::OpenResult::kOpened);
  ASSERT_TRUE(s.doc.RunSpanner3D());
  const std::vector<TransmembraneDomain> domains = TransmembraneDomains(s.doc.protein());
  const auto pore = std::find_if(domains.begin(), domains.end(), [](const TransmembraneDomain& d) {
    return d.chain == "C" && d.firstResSeq <= 70 && d.lastResSeq >= 70;
  });
  ASSERT_NE(pore, domains.end());
  EXPECT_EQ(pore->kind, SegmentKind::kReEntrant);
  EXPECT_EQ(DomainOrientationText(*pore), "out\u2192out (re-entrant)");
  // JSON names the kind beside the orientation; the crossing helices stay crossings.
  int reEntrant = 0, crossing = 0;
  const nlohmann::json json = StructureJson(s.doc.protein(), nullptr, false);
  for (const nlohmann::json& segment : json["transmembrane_segments"]) {
    if (segment["kind"] == "re-entrant") {
      ++reEntrant;
      EXPECT_EQ(segment["orientation"], "out-out");
    } else if (segment["kind"] == "crossing") {
      ++crossing;
    }
  }
  EXPECT_EQ(reEntrant, 1);
  EXPECT_EQ(crossing, 2);
  // The kind survives the row's result file.
  Protein stored;
  ASSERT_TRUE(ReadResult(stored, s.doc.entries()[0].resultPath).ok());
  const std::vector<ResidueMembrane>& tm = s.doc.protein().transmembrane.residues;
  ASSERT_EQ(stored.transmembrane.residues.size(), tm.size());
  for (size_t i = 0; i < tm.size(); ++i) {
    EXPECT_EQ(stored.transmembrane.residues[i].kind, tm[i].kind) << i;
    EXPECT_EQ(stored.transmembrane.residues[i].tmTopology, tm[i].tmTopology) << i;
  }
}

}  // namespace
}  // namespace tessmol
