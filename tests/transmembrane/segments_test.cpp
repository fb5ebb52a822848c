#include "transmembrane/segments.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <limits>
#include <random>

#include "model/structure_file.h"
#include "test_support.h"
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

}  // namespace
}  // namespace tessmol
