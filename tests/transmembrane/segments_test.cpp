#include "transmembrane/segments.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <random>
#include <sstream>

#include "model/structure_file.h"
#include "test_support.h"
#include "transmembrane/fasta.h"
#include "transmembrane/helix_builder.h"

namespace tessmol {
namespace {

// Every valid segment set, by enumeration: the best value any of them reaches.
double BruteForceBest(const SegmentTracks& tracks, const SegmentParams& p) {
  const int n = static_cast<int>(tracks.core.size());
  double best = 0.0;  // the empty set
  std::vector<TmSegment> chosen;
  std::function<void(int)> extend = [&](int from) {
    for (int start = from; start < n; ++start) {
      for (int length = p.minLength; length <= p.maxLength && start + length <= n; ++length) {
        chosen.push_back({start, start + length - 1, true});
        best = std::max(best, SegmentSetValue(tracks, chosen, p));
        extend(start + length + p.minLoop);
        chosen.pop_back();
      }
    }
  };
  extend(0);
  return best;
}

TEST(Segmentation, DynamicProgrammingEqualsEnumeration) {
  std::mt19937 random(20261206);
  std::uniform_real_distribution<float> score(-2.0f, 2.0f);
  for (int trial = 0; trial < 300; ++trial) {
    SCOPED_TRACE(trial);
    SegmentParams p;
    p.minLength = 2 + static_cast<int>(random() % 3);
    p.maxLength = p.minLength + static_cast<int>(random() % 4);
    p.minLoop = static_cast<int>(random() % 3);
    p.cost = score(random) + 1.0f;
    p.bias = score(random) / 4;
    p.capLength = static_cast<int>(random() % 2);
    p.flankLength = static_cast<int>(random() % 3);
    p.anchor = -std::numeric_limits<float>::infinity();
    p.topologyWeight = random() % 2 == 0 ? 0.0f : std::fabs(score(random));
    p.topologyReach = 1 + static_cast<int>(random() % 4);
    SegmentTracks tracks;
    const int n = 6 + static_cast<int>(random() % 9);
    for (int i = 0; i < n; ++i) {
      tracks.core.push_back(score(random));
      if (p.capLength > 0) tracks.cap.push_back(score(random));
      if (p.flankLength > 0) tracks.flank.push_back(score(random));
      if (p.topologyWeight > 0) tracks.positive.push_back(random() % 3 == 0 ? 1.0f : 0.0f);
    }
    const std::vector<TmSegment> found = BestSegments(tracks, p);
    for (size_t k = 0; k < found.size(); ++k) {
      const int length = found[k].last - found[k].first + 1;
      EXPECT_GE(length, p.minLength);
      EXPECT_LE(length, p.maxLength);
      if (k > 0) {
        EXPECT_GE(found[k].first - found[k - 1].last - 1, p.minLoop);
      }
    }
    EXPECT_NEAR(SegmentSetValue(tracks, found, p), BruteForceBest(tracks, p), 1e-9);
  }
}

// The joint labelling's grammar, written out on its own: an optional signal peptide of
// signalMin to signalMax residues at the start that leaves signalMature or more after it,
// then outside; helices of minLength to
// maxLength residues; between two helices a loop of at least max(minLoop, 1) residues on
// one side, between the signal peptide and a helix one of at least signalLoop; the loops
// on the two sides of a helix differ.
bool Grammatical(const std::string& labels, const SegmentParams& p) {
  const int n = static_cast<int>(labels.size());
  int at = 0;
  while (at < n && labels[at] == 'S') ++at;
  if (at > 0 && (at < p.signalMin || at > p.signalMax || n - at < p.signalMature)) return false;
  const bool signal = at > 0;
  char side = signal ? 'o' : 0;  // the side the chain is on; 0 before anything says
  int loop = 0;                  // loop residues since the last helix or the signal peptide
  bool afterSomething = signal, afterHelix = false;
  while (at < n) {
    const char l = labels[at];
    if (l == 'S') return false;
    if (l == 'i' || l == 'o') {
      if (side != 0 && l != side) return false;
      side = l;
      ++loop;
      ++at;
      continue;
    }
    int end = at;
    while (end < n && labels[end] == 'M') ++end;
    if (end - at < p.minLength || end - at > p.maxLength) return false;
    if (afterSomething && loop < std::max(afterHelix ? p.minLoop : p.signalLoop, 1)) return false;
    // Entered from `side` (when known), left on the other.
    if (end < n) {
      if (labels[end] != 'i' && labels[end] != 'o') return false;
      if (side != 0 && labels[end] == side) return false;
      side = labels[end];
    } else {
      side = 0;
    }
    afterSomething = afterHelix = true;
    loop = 0;
    at = end;
  }
  return true;
}

TEST(JointLabelling, DecoderEqualsEnumeration) {
  std::mt19937 random(20261207);
  std::uniform_real_distribution<float> score(-3.0f, 0.0f);
  const std::string alphabet = "ioMS";
  for (int trial = 0; trial < 120; ++trial) {
    SCOPED_TRACE(trial);
    SegmentParams p;
    p.minLength = 2 + static_cast<int>(random() % 2);
    p.maxLength = p.minLength + static_cast<int>(random() % 3);
    p.minLoop = static_cast<int>(random() % 3);
    p.cost = score(random) + 1.5f;
    p.lengthPenalty = random() % 2 == 0 ? 0.0f : 0.5f;
    p.preferredLength = p.minLength + 1;
    p.signalMin = 1 + static_cast<int>(random() % 2);
    p.signalMax = p.signalMin + static_cast<int>(random() % 3);
    p.signalCost = score(random) + 1.5f;
    p.signalLoop = 1 + static_cast<int>(random() % 3);
    p.signalMature = static_cast<int>(random() % 4);
    p.topologyWeight = random() % 2 == 0 ? 0.0f : -score(random) / 2;
    p.topologyReach = 1 + static_cast<int>(random() % 3);
    const int n = 4 + static_cast<int>(random() % 5);
    LabelScores scores;
    // Ends of 1 residue, or none (the core takes all), leave room in these short chains for
    // helices with both ends and a core.
    scores.capLength = static_cast<int>(random() % 2);
    for (auto& track : scores.score)
      for (int i = 0; i < n; ++i) track.push_back(score(random));
    for (int i = 0; i < n; ++i) scores.positive.push_back(random() % 3 == 0 ? 1.0f : 0.0f);
    // Best value over every grammatical labelling, by kind: [signal][helix].
    constexpr double kNone = -std::numeric_limits<double>::infinity();
    double best[2][2] = {{kNone, kNone}, {kNone, kNone}};
    std::string labels(n, 'i');
    for (long code = 0; code < (1L << (2 * n)); ++code) {
      for (int i = 0; i < n; ++i) labels[i] = alphabet[(code >> (2 * i)) & 3];
      if (!Grammatical(labels, p)) continue;
      const int signal = labels[0] == 'S', helix = labels.find('M') != std::string::npos;
      best[signal][helix] = std::max(best[signal][helix], LabelStringValue(scores, labels, p));
    }
    for (int signal = 0; signal < 2; ++signal) {
      const LabelDecoding d = DecodeLabels(scores, p, signal == 1);
      for (int helix = 0; helix < 2; ++helix) {
        const LabelPath& path = helix ? d.withHelix : d.withoutHelix;
        SCOPED_TRACE(std::to_string(signal) + std::to_string(helix));
        ASSERT_EQ(path.valid, best[signal][helix] != kNone);
        if (!path.valid) continue;
        EXPECT_NEAR(path.value, best[signal][helix], 1e-4);
        // The decoded path is grammatical, of its kind, and worth what it claims.
        const std::string decoded = PathLabels(path, n);
        EXPECT_TRUE(Grammatical(decoded, p)) << decoded;
        EXPECT_EQ(decoded[0] == 'S', signal == 1) << decoded;
        EXPECT_EQ(decoded.find('M') != std::string::npos, helix == 1) << decoded;
        EXPECT_NEAR(LabelStringValue(scores, decoded, p), path.value, 1e-4) << decoded;
      }
    }
  }
}

TEST(JointLabelling, OnlyAChainWithTwoHelicesIsLabelledAgain) {
  // Two strong helix stretches (3-7, 28-32) and a weak one (15-19) between them. Raised by
  // membraneBias the weak one is worth a helix (5 x 0.8 - 1 > 0), unraised it is not
  // (5 x -0.2 - 1 < 0). A chain whose first labelling has one helix keeps it alone: its
  // weak stretches lie in its soluble domains.
  SegmentParams p;
  p.minLength = 3;
  p.maxLength = 6;
  p.preferredLength = 6;
  p.minLoop = 1;
  p.cost = 1.0f;
  p.topologyWeight = 0.0f;
  p.membraneBias = 1.0f;
  auto scoresWith = [](bool secondStrong) {
    LabelScores scores;
    scores.capLength = 0;
    const int n = 40;
    for (int c = 0; c < kLabelCount; ++c)
      scores.score[c].assign(n, c == kLabelInside || c == kLabelOutside ? -0.7f : -10.0f);
    auto helix = [&](int from, float value, float loop) {
      for (int i = from; i < from + 5; ++i) {
        for (int c : kHelixLabels) scores.score[c][i] = value;
        scores.score[kLabelInside][i] = scores.score[kLabelOutside][i] = loop;
      }
    };
    helix(3, 0.0f, -3.0f);
    helix(15, -0.9f, -0.7f);
    if (secondStrong) helix(28, 0.0f, -3.0f);
    scores.positive.assign(n, 0.0f);
    return scores;
  };
  auto firsts = [](const LabelPath& path) {
    std::vector<int> starts;
    for (const TmSegment& s : path.segments) starts.push_back(s.first);
    return starts;
  };
  const LabelScores lone = scoresWith(false), pair = scoresWith(true);
  const LabelPath loneFirst = DecodeLabels(lone, p, false).withHelix;
  const LabelPath pairFirst = DecodeLabels(pair, p, false).withHelix;
  ASSERT_EQ(firsts(loneFirst), std::vector<int>({3}));
  ASSERT_EQ(firsts(pairFirst), std::vector<int>({3, 28}));
  EXPECT_EQ(firsts(MembraneLabelling(lone, p, false, loneFirst)), std::vector<int>({3}));
  EXPECT_EQ(firsts(MembraneLabelling(pair, p, false, pairFirst)), std::vector<int>({3, 15, 28}));
  p.membraneBias = 0.0f;
  EXPECT_EQ(firsts(MembraneLabelling(pair, p, false, pairFirst)), std::vector<int>({3, 28}));
}

TEST(Segmentation, PositiveInsideDecidesTheOrientation) {
  // Loops: KKRK before the first segment, DEDE between, KRKR after: N-terminus inside.
  const std::vector<int> types =
      TypesOfSequence("KKRK" + std::string(20, 'L') + "DEDE" + std::string(20, 'L') + "KRKR");
  std::vector<TmSegment> segments = {{4, 23, false}, {28, 47, false}};
  OrientSegments(types, segments);
  EXPECT_TRUE(segments[0].nInside);
  EXPECT_FALSE(segments[1].nInside);
}

SegmentParams Shipped() {
  SegmentParams p;
  EXPECT_TRUE(LoadSegmentParams(test::ProgramFolder() + kSegmentParamsFile, p).ok());
  return p;
}

std::string FastaSequence(const std::string& name) {
  std::ifstream in(test::DataPath(name));
  std::string line, sequence;
  while (std::getline(in, line)) {
    if (!line.empty() && line[0] != '>') sequence += line;
  }
  return sequence;
}

std::string ChainSequence(const std::string& pdb, size_t chain) {
  const Structure s = ReadStructure(test::DataPath(pdb), test::StandardHetRadii()).structure;
  std::string sequence;
  for (int32_t i = s.chains[chain].firstResidue; i <= s.chains[chain].lastResidue; ++i) {
    const int type = s.residues[i].type;
    sequence += type < kResidueTypeCount ? "WFYLIVMAGPCTSQNEDHKR"[type] : 'X';
  }
  return sequence;
}

TEST(Segmentation, SevenHelixProteinsAndSolubleOnes) {
  const SegmentParams p = Shipped();
  // Bacteriorhodopsin: seven helices, C to E no longer one "domain" from 77 to 155.
  const auto br = PredictSegments(FastaSequence("bacteriorhodopsin_4xxjA.fasta"), p);
  EXPECT_EQ(br.size(), 7u);
  int between = 0;
  for (const TmSegment& s : br) between += s.first >= 70 && s.last <= 160;
  EXPECT_GE(between, 3);
  EXPECT_EQ(PredictSegments(FastaSequence("rhodopsin_1gzmA.fasta"), p).size(), 7u);
  // Haemoglobin's alpha chain: helices, all soluble.
  EXPECT_TRUE(PredictSegments(ChainSequence("4HHB.pdb", 0), p).empty());
  // Preproinsulin: a hydrophobic signal peptide, cleaved after AAA, and no membrane segment.
  EXPECT_TRUE(
      PredictSegments("MALWMRLLPLLALLALWGPDPAAAFVNQHLCGSHLVEALYLVCGERGFFYTPKTRREAEDLQVGQVELGGGPGAGSLQPLALEG"
                      "SLQKRGIVEQCCTSICSLYQLENYCN",
                      p)
          .empty());
}

// A record of topology_examples.3line (real proteins of the DeepTMHMM set, with their
// labels): its sequence and labels.
struct Labelled {
  std::string sequence, labels;
};
Labelled Example(const std::string& id) {
  std::ifstream in(test::DataPath("topology_examples.3line"));
  std::string header, sequence, labels;
  while (std::getline(in, header) && std::getline(in, sequence) && std::getline(in, labels)) {
    if (header.rfind(">" + id + " ", 0) == 0) return {sequence, labels};
  }
  ADD_FAILURE() << id << " not in topology_examples.3line";
  return {};
}

// The annotated helices' first and last positions.
std::vector<std::pair<int, int>> Helices(const std::string& labels) {
  std::vector<std::pair<int, int>> runs;
  for (int i = 0; i < static_cast<int>(labels.size()); ++i) {
    if (labels[i] != 'M') continue;
    if (i == 0 || labels[i - 1] != 'M') runs.push_back({i, i});
    runs.back().second = i;
  }
  return runs;
}

bool Overlaps(const TmSegment& s, std::pair<int, int> helix, int residues) {
  return std::min(s.last, helix.second) - std::max(s.first, helix.first) + 1 >= residues;
}

TEST(WindowModel, LogOddsAreTheSumOfTheWindowsWeights) {
  // A plain reference: each weight looked up by hand from its offset and type.
  WindowModel m;
  m.weights.resize(kWindowModelSize);
  std::mt19937 random(5);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  for (float& w : m.weights) w = value(random);
  const std::vector<int> types = TypesOfSequence("MKWLLAXRE");
  const std::vector<float> logOdds = WindowLogOdds(types, m);
  ASSERT_EQ(logOdds.size(), types.size());
  for (int i = 0; i < static_cast<int>(types.size()); ++i) {
    double expected = m.Intercept() + m.Position(i / kPositionBinWidth);
    for (int o = -kWindowHalf; o <= kWindowHalf; ++o) {
      const int at = i + o;
      const int type = at < 0 || at >= static_cast<int>(types.size()) ? kWindowTypes - 1
                       : types[at] < 20                               ? types[at]
                                                                      : 20;
      expected += m.At(o, type);
    }
    EXPECT_NEAR(logOdds[i], expected, 1e-4) << i;
  }
}

TEST(JointLabelling, HydropathyBinsAndProbabilities) {
  // Mean Kyte-Doolittle hydropathy over the stretch, bins of 0.5 from -1 (below: bin 0):
  // five leucines 3.8 (top bin), five alanines 1.8 (bin 6), five lysines -3.9 (bin 0).
  for (const auto& [sequence, bin] :
       std::vector<std::pair<std::string, int>>{{"LLLLL", 9}, {"AAAAA", 6}, {"KKKKK", 0}}) {
    const auto f = HydropathyFeatures(TypesOfSequence(sequence));
    EXPECT_EQ(f[2][0], kWindowModelSize + bin) << sequence;  // the 5-residue stretch
  }
  // The stretch is cut at the chain's start: at AGKKK's first residue it is A, G (-0.4)
  // and K, mean -0.833, bin 1 (over five places with nothing beyond the start it would be
  // -0.5, bin 2); at its second A, G, K, K: -1.6, bin 0.
  const auto cut = HydropathyFeatures(TypesOfSequence("AGKKK"));
  EXPECT_EQ(cut[0][0], kWindowModelSize + 1);
  EXPECT_EQ(cut[1][0], kWindowModelSize + 0);
  // The six labels' probabilities sum to one at every residue; without the helix ends'
  // models (a file fitted before them) the four others do, and the ends take the core's.
  LabelModel m;
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-1.0f, 1.0f);
  for (WindowModel& label : m.labels) {
    label.weights.resize(kLabelModelSize);
    for (float& w : label.weights) w = value(random);
  }
  const auto logP = LabelLogProbabilities(TypesOfSequence("MKWLLAXRELLLIVVAG"), m);
  for (size_t i = 0; i < logP[0].size(); ++i) {
    double total = 0.0;
    for (const auto& label : logP) total += std::exp(double(label[i]));
    EXPECT_NEAR(total, 1.0, 1e-5) << i;
  }
  m.labels[kLabelCapInside].weights.clear();
  m.labels[kLabelCapOutside].weights.clear();
  const auto core = LabelLogProbabilities(TypesOfSequence("MKWLLAXRELLLIVVAG"), m);
  for (size_t i = 0; i < core[0].size(); ++i) {
    double total = 0.0;
    for (int c = 0; c < kCoreLabelCount; ++c) total += std::exp(double(core[c][i]));
    EXPECT_NEAR(total, 1.0, 1e-5) << i;
    EXPECT_EQ(core[kLabelCapInside][i], core[kLabelMembrane][i]);
    EXPECT_EQ(core[kLabelCapOutside][i], core[kLabelMembrane][i]);
  }
}

TEST(Topology, ShippedParametersSayWhatTheyWereFittedOn) {
  const std::string path = test::ProgramFolder() + kSegmentParamsFile;
  std::ifstream in(path);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The provenance: the training sets and the folds the figures come from.
  for (const char* needed : {"topology_train.3line", "train328.truth.3line", "soluble3209.fasta", "cv0-cv4",
                             "Cross-validated by class"})
    EXPECT_NE(text.find(needed), std::string::npos) << needed;
  EXPECT_NE(text.find("LABELMODELM"), std::string::npos);
  EXPECT_NE(text.find("medoid"), std::string::npos);
  const SegmentParams p = Shipped();
  ASSERT_EQ(p.others.size(), 2u);  // the ensemble of three
  for (const SegmentParams& member : p.others) EXPECT_TRUE(member.labelModel.caps());
  EXPECT_TRUE(p.labelModel.caps());
  for (const WindowModel& label : p.labelModel.labels)
    EXPECT_EQ(label.weights.size(), static_cast<size_t>(kLabelModelSize));
  EXPECT_EQ(p.jointChainModel.size(), static_cast<size_t>(kJointChainFeatureCount));
  EXPECT_EQ(p.jointSignalDecision.size(), static_cast<size_t>(kSignalFeatureCount));
}

TEST(Topology, JointParametersSurviveSavingAndLoading) {
  // Saved and read back, the shipped parameters label the examples as before; a file
  // with the inside model but without the others is refused, and so is one with one helix
  // end's model but not the other; one without both (fitted before them) loads.
  test::ScratchFolder scratch;
  const SegmentParams shipped = Shipped();
  ASSERT_TRUE(SaveSegmentParams("again.txt", shipped, "# again\n"));
  SegmentParams again;
  ASSERT_TRUE(LoadSegmentParams("again.txt", again));
  EXPECT_EQ(again.others.size(), shipped.others.size());
  for (const char* id : {"Q9Y4X3", "O60896", "P28612", "Q07699"}) {
    const std::vector<int> types = TypesOfSequence(Example(id).sequence);
    const ChainTopology a = PredictTopology(types, shipped), b = PredictTopology(types, again);
    EXPECT_EQ(a.signalEnd, b.signalEnd) << id;
    ASSERT_EQ(a.segments.size(), b.segments.size()) << id;
    for (size_t k = 0; k < a.segments.size(); ++k) {
      EXPECT_EQ(a.segments[k].first, b.segments[k].first) << id;
      EXPECT_EQ(a.segments[k].last, b.segments[k].last) << id;
      EXPECT_EQ(a.segments[k].nInside, b.segments[k].nInside) << id;
    }
  }
  auto without = [](const std::vector<std::string>& keys) {
    std::ifstream in("again.txt");
    std::string text, line;
    while (std::getline(in, line)) {
      bool dropped = false;
      for (const std::string& key : keys) dropped = dropped || line.rfind(key + "\t", 0) == 0;
      if (!dropped) text += line + "\n";
    }
    std::ofstream("partial.txt") << text;
    SegmentParams partial;
    return std::make_pair(LoadSegmentParams("partial.txt", partial), partial);
  };
  EXPECT_EQ(without({"LABELMODELO"}).first.problem, FileProblem::kFormat);
  EXPECT_EQ(without({"LABELMODELE"}).first.problem, FileProblem::kFormat);
  const auto [status, older] = without({"LABELMODELC", "LABELMODELE"});
  ASSERT_TRUE(status);
  EXPECT_FALSE(older.labelModel.caps());
  EXPECT_FALSE(PredictTopology(TypesOfSequence(Example("Q07699").sequence), older).segments.empty());
}

TEST(Topology, ATruncatedModelLineIsAFormatErrorOnItsLine) {
  test::ScratchFolder scratch;
  const std::string path = "short_model.txt";
  {
    std::ofstream out(path);
    out << "# a comment\nMEMBRANEMODEL\t0.5\t0.25\n";
  }
  SegmentParams p;
  const FileStatus status = LoadSegmentParams(path, p);
  EXPECT_EQ(status.problem, FileProblem::kFormat);
  EXPECT_EQ(status.line, 2);
}

TEST(Topology, ADecisionFittedOnFewerFeaturesGivesTheRestNoWeight) {
  // A file from before the signal decision's last four features: its eight weights load,
  // the others are 0; fewer than eight are a format error on their line.
  test::ScratchFolder scratch;
  SegmentParams shipped;
  shipped.membraneModel.weights.assign(kWindowModelSize, 0.5f);
  for (int k = 0; k < kSignalFeatureCount; ++k) shipped.signalDecision.push_back(0.25f * float(k + 1));
  std::ostringstream eight;
  for (int k = 0; k < 8; ++k) eight << '\t' << shipped.signalDecision[k];
  ASSERT_TRUE(SaveSegmentParams("full.txt", shipped, "# test\n"));
  std::ifstream in("full.txt");
  std::string text, line;
  while (std::getline(in, line))
    text += (line.rfind("SIGNALDECISION", 0) == 0 ? "SIGNALDECISION" + eight.str() : line) + "\n";
  std::ofstream("old.txt") << text;
  SegmentParams old;
  ASSERT_TRUE(LoadSegmentParams("old.txt", old));
  ASSERT_EQ(old.signalDecision.size(), size_t(kSignalFeatureCount));
  for (int k = 0; k < kSignalFeatureCount; ++k)
    EXPECT_FLOAT_EQ(old.signalDecision[k], k < 8 ? shipped.signalDecision[k] : 0.0f) << k;
  // The same for the membrane decision before its GPI feature: its nine weights load, the
  // last is 0; eight are a format error.
  auto withChainModel = [](const std::string& weights) {
    std::ifstream in("full.txt");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream("chain.txt") << text << "JOINTCHAINMODEL" << weights << "\n";
    SegmentParams read;
    return std::make_pair(LoadSegmentParams("chain.txt", read), read);
  };
  const auto [nineStatus, nine] = withChainModel("\t1\t2\t3\t4\t5\t6\t7\t8\t9");
  ASSERT_TRUE(nineStatus);
  ASSERT_EQ(nine.jointChainModel.size(), size_t(kJointChainFeatureCount));
  EXPECT_FLOAT_EQ(nine.jointChainModel[8], 9.0f);
  EXPECT_FLOAT_EQ(nine.jointChainModel.back(), 0.0f);
  EXPECT_EQ(withChainModel("\t1\t2\t3\t4\t5\t6\t7\t8").first.problem, FileProblem::kFormat);
  std::ofstream("seven.txt") << "# seven weights\nSIGNALDECISION\t1\t2\t3\t4\t5\t6\t7\n";
  SegmentParams seven;
  const FileStatus status = LoadSegmentParams("seven.txt", seven);
  EXPECT_EQ(status.problem, FileProblem::kFormat);
  EXPECT_EQ(status.line, 2);
}

TEST(Topology, SignalPeptideBeforeAnAnchorGivesTheAnchorOutsideIn) {
  // Q07699 (sodium channel subunit beta-1): a signal peptide of 17 residues, an outside
  // immunoglobulin domain, one helix, the C-terminus inside.
  const SegmentParams p = Shipped();
  const Labelled e = Example("Q07699");
  const ChainTopology t = PredictTopology(TypesOfSequence(e.sequence), p);
  EXPECT_GT(t.signalEnd, 12);
  EXPECT_LT(t.signalEnd, 25);
  const auto helices = Helices(e.labels);
  ASSERT_EQ(helices.size(), 1u);
  ASSERT_EQ(t.segments.size(), 1u);
  EXPECT_TRUE(Overlaps(t.segments[0], helices[0], 5));
  EXPECT_FALSE(t.segments[0].nInside);  // the loop before it is outside
}

TEST(Topology, SecretedProteinHasASignalPeptideAndNoSegment) {
  // Q9Y4X3: a signal peptide (24 residues) and nothing in the membrane; its hydrophobic
  // h-region must not be called a helix.
  const Labelled e = Example("Q9Y4X3");
  const ChainTopology t = PredictTopology(TypesOfSequence(e.sequence), Shipped());
  EXPECT_GT(t.signalEnd, 15);
  EXPECT_LT(t.signalEnd, 32);
  EXPECT_TRUE(t.segments.empty());
  EXPECT_TRUE(PredictSegments(e.sequence, Shipped()).empty());
}

TEST(Topology, ShortChainThatBeginsWithItsHelixIsAnchoredNotSecreted) {
  // Photosystem II's PsbI (spinach, 36 residues) is one helix from its N-terminus, the
  // shape of the small subunits of photosystems and respiratory complexes. Taken as a
  // signal peptide (residues 1-25), it left an 11-residue "secreted protein"; a signal
  // peptide leaves a mature part behind it.
  const SegmentParams p = Shipped();
  const std::string psbI = "MLTLKLFVYTVVIFFVSLFIFGFLSNDPGRNPGREE";
  const ChainTopology t = PredictTopology(TypesOfSequence(psbI), p);
  EXPECT_EQ(t.signalEnd, 0);
  ASSERT_EQ(t.segments.size(), 1u);
  EXPECT_TRUE(Overlaps(t.segments[0], {4, 22}, 5));
  // A short secreted precursor keeps its signal peptide: P01499 (50 residues, signal
  // peptide 1-27, the shortest mature part in the training data).
  const std::string precursor = "MISMLRCTFFFLSVILITSYFVTPTMSIKCNCKRHVIKPHICRKICGKNG";
  const ChainTopology secreted = PredictTopology(TypesOfSequence(precursor), p);
  EXPECT_GT(secreted.signalEnd, 20);
  EXPECT_TRUE(secreted.segments.empty());
}

TEST(Topology, SinglePassAnchorIsAMembraneProtein) {
  // P28612: one helix (residues 20 to 41) after a cytoplasmic N-terminus, no signal
  // peptide, and a long soluble domain. A chain with a single anchor is a membrane
  // protein. (Its orientation is not asserted: its five lysines lie 16 to 20 residues
  // before the helix, beyond the reach of the positive-inside term.)
  const Labelled e = Example("P28612");
  const ChainTopology t = PredictTopology(TypesOfSequence(e.sequence), Shipped());
  EXPECT_EQ(t.signalEnd, 0);
  ASSERT_EQ(t.segments.size(), 1u);
  EXPECT_TRUE(Overlaps(t.segments[0], Helices(e.labels)[0], 5));
}

TEST(Topology, UnknownResiduesAreNoEvidence) {
  // X is no residue the models know: a chain of them has no signal peptide and no helix
  // (read as alanine they gave both), and a run of them after a real anchor leaves the
  // anchor where it was.
  const SegmentParams p = Shipped();
  const ChainTopology unknown = PredictTopology(TypesOfSequence(std::string(120, 'X')), p);
  EXPECT_EQ(unknown.signalEnd, 0);
  EXPECT_TRUE(unknown.segments.empty());
  EXPECT_EQ(TopologyLabels(unknown, 120), std::string(120, '-'));
  const Labelled e = Example("P28612");
  const ChainTopology alone = PredictTopology(TypesOfSequence(e.sequence), p);
  const ChainTopology tailed = PredictTopology(TypesOfSequence(e.sequence + std::string(60, 'x')), p);
  ASSERT_EQ(alone.segments.size(), 1u);
  ASSERT_EQ(tailed.segments.size(), 1u);
  EXPECT_EQ(tailed.signalEnd, alone.signalEnd);
  EXPECT_EQ(tailed.segments[0].first, alone.segments[0].first);
  EXPECT_EQ(tailed.segments[0].last, alone.segments[0].last);
  // One unknown residue within a helix is what an average residue would be there, not
  // evidence against the helix: human phospholamban (P26678) keeps its C-terminal anchor
  // (31-52) whichever of its residues is unknown. The weights fitted for "other" came from
  // unknown residues in loops and took the helix away with an X at 35 or 38.
  const std::string phospholamban = "MEKVQYLTRSAIRRASTIEMPQQARQKLQNLFINFCLILICLLLICIIVMLL";
  ASSERT_EQ(PredictTopology(TypesOfSequence(phospholamban), p).segments.size(), 1u);
  for (size_t at = 30; at < phospholamban.size(); ++at) {
    std::string x = phospholamban;
    x[at] = 'X';
    const ChainTopology t = PredictTopology(TypesOfSequence(x), p);
    EXPECT_EQ(t.segments.size(), 1u) << "X at " << at + 1;
  }
}

TEST(Topology, GpiAttachmentSignalIsNoAnchor) {
  // P31358 (CD52): a signal peptide, a short outside peptide and a hydrophobic stretch
  // that runs to the C-terminus: the GPI-attachment signal, cleaved when the anchor is
  // added. O60896 (RAMP3) has a signal peptide and a helix as hydrophobic, but a
  // cytoplasmic tail of 10 residues after it: a type I anchor.
  const SegmentParams p = Shipped();
  for (const char* id : {"P31358", "O60896"}) {
    const std::vector<int> types = TypesOfSequence(Example(id).sequence);
    const LabelScores scores = MakeLabelScores(types, p);
    const LabelDecoding decoding = DecodeLabels(scores, p, true);
    ASSERT_TRUE(decoding.withHelix.valid) << id;
    const auto f = JointChainFeatures(types, scores, decoding, p);
    const bool gpi = std::string(id) == "P31358";
    EXPECT_EQ(f[kChainFeatureCount + 1], gpi ? 1.0f : 0.0f) << id;
    const ChainTopology t = PredictTopology(types, p);
    EXPECT_GT(t.signalEnd, 0) << id;
    EXPECT_EQ(t.segments.size(), gpi ? 0u : 1u) << id;
  }
}

TEST(Topology, LowerCaseReadsAsUpperCase) {
  const Labelled e = Example("O60896");
  std::string lower = e.sequence;
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  test::ScratchFolder scratch;
  const std::string path = "lower.fasta";
  {
    std::ofstream out(path);
    out << ">lower\n" << lower.substr(0, 60) << '\n' << lower.substr(60) << '\n';
  }
  const FastaFile read = ReadFasta(path);
  ASSERT_TRUE(read.status.ok());
  ASSERT_EQ(read.records.size(), 1u);
  const ChainTopology upper = PredictTopology(TypesOfSequence(e.sequence), Shipped());
  const ChainTopology fromLower = PredictTopology(TypesOfSequence(read.records[0].sequence), Shipped());
  EXPECT_EQ(fromLower.signalEnd, upper.signalEnd);
  ASSERT_EQ(fromLower.segments.size(), upper.segments.size());
  for (size_t k = 0; k < upper.segments.size(); ++k) {
    EXPECT_EQ(fromLower.segments[k].first, upper.segments[k].first);
    EXPECT_EQ(fromLower.segments[k].last, upper.segments[k].last);
  }
}

// ---- the ensemble ----------------------------------------------------------------------

TEST(Ensemble, TheMedoidIsThePredictionNearestTheOthers) {
  // Over 40 residues: nothing; a helix 10-30 entered from the inside; the same one residue
  // later. The two helices differ at 2 residues, each from "nothing" at all 40.
  const ChainTopology none, early{0, {{10, 30, true}}}, late{0, {{11, 31, true}}};
  EXPECT_EQ(TopologyLabels(none, 40), std::string(40, '-'));
  EXPECT_EQ(TopologyLabels(early, 40), std::string(10, 'i') + std::string(21, 'M') + std::string(9, 'o'));
  EXPECT_EQ(TopologyLabels(ChainTopology{5, {}}, 8), "SSSSSooo");  // a signal peptide: then outside
  EXPECT_EQ(TopologyMedoid({none, early, late}, 40), 1u);          // tied with `late`: the first
  EXPECT_EQ(TopologyMedoid({late, none, early}, 40), 0u);
  EXPECT_EQ(TopologyMedoid({none, none, early}, 40), 0u);
}

TEST(Ensemble, TwoMembersOutvoteAThirdThatSeesHelicesEverywhere) {
  const SegmentParams shipped = Shipped();
  ASSERT_EQ(shipped.others.size(), 2u);
  SegmentParams good = shipped, second = shipped.others[0];
  good.others.clear();
  SegmentParams broken = good;
  broken.bias += 8.0f;  // every stretch of 16 residues or more pays for a helix
  // A secreted protein: a signal peptide and no segment, but the broken member finds some.
  const std::vector<int> types = TypesOfSequence(Example("Q9Y4X3").sequence);
  const ChainTopology right = PredictTopology(types, good);
  ASSERT_TRUE(right.segments.empty());
  ASSERT_GT(right.signalEnd, 0);
  ASSERT_FALSE(PredictTopology(types, broken).segments.empty());
  for (int place = 0; place < 3; ++place) {
    SegmentParams ensemble;
    std::vector<SegmentParams> members = {good, second};
    members.insert(members.begin() + place, broken);
    ensemble = members[0];
    ensemble.others = {members[1], members[2]};
    const ChainTopology voted = PredictTopology(types, ensemble);
    EXPECT_TRUE(voted.segments.empty()) << "broken member at " << place;
    EXPECT_GT(voted.signalEnd, 0) << "broken member at " << place;
  }
}

TEST(Ensemble, MembersAreNumberedInTheFile) {
  test::ScratchFolder scratch;
  const SegmentParams shipped = Shipped();
  ASSERT_TRUE(SaveSegmentParams("three.txt", shipped, "# three\n"));
  std::ifstream in("three.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  size_t members = 0;
  auto load = [&members](const std::vector<std::string>& kept) {
    std::ofstream out("edited.txt");
    for (const std::string& line : kept) out << line << '\n';
    out.close();
    SegmentParams p;
    const FileStatus status = LoadSegmentParams("edited.txt", p);
    members = 1 + p.others.size();
    return status;
  };
  // A member numbered out of turn is refused on its line.
  std::vector<std::string> renumbered = lines;
  size_t second = 0, third = 0;
  for (size_t k = 0; k < lines.size(); ++k) {
    if (lines[k] == "MEMBER\t2") second = k;
    if (lines[k] == "MEMBER\t3") third = k;
  }
  ASSERT_GT(second, 0u);
  ASSERT_GT(third, second);
  renumbered[second] = "MEMBER\t3";
  const FileStatus misnumbered = load(renumbered);
  EXPECT_EQ(misnumbered.problem, FileProblem::kFormat);
  EXPECT_EQ(misnumbered.line, static_cast<int>(second) + 1);
  // A member with no keys (the file cut off after its MEMBER line) is no model.
  const std::vector<std::string> cut(lines.begin(), lines.begin() + static_cast<long>(second) + 1);
  const FileStatus empty = load(cut);
  EXPECT_EQ(empty.problem, FileProblem::kFormat);
  EXPECT_NE(empty.detail.find("no SCALE, MEMBRANEMODEL or LABELMODEL line"), std::string::npos)
      << empty.detail;
  // Whole, an ensemble of three; up to its third member, one of two.
  EXPECT_TRUE(load(lines));
  EXPECT_EQ(members, 3u);
  EXPECT_TRUE(load(std::vector<std::string>(lines.begin(), lines.begin() + static_cast<long>(third))));
  EXPECT_EQ(members, 2u);
}

}  // namespace
}  // namespace tessmol
