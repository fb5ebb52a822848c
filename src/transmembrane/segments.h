// Transmembrane segments by exact segmentation: a per-residue membrane score, smoothed
// with a centred window, and the best set of non-overlapping segments along a chain,
// found by dynamic programming over segment ends and lengths. A segment earns the sum of
// its residues' scores less a bias per residue and a cost per segment; segments are
// minLength to maxLength residues long with at least minLoop residues between them.
// Each segment's orientation follows the positive-inside rule (von Heijne 1992): the
// loops on the cytoplasmic side carry more lysines and arginines.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "base/file_status.h"

namespace tessmol {

inline constexpr int kSegmentScaleSize = 21;  // residue types 0 to 19, then every other

struct SegmentParams {
  // Log-odds of each residue type inside against outside transmembrane segments; at a
  // segment's ends (its first and last capLength residues: the aromatic belt) and in the
  // flankLength loop residues beside it (where the positive charges sit) their own.
  std::array<float, kSegmentScaleSize> scale{};
  std::array<float, kSegmentScaleSize> capScale{};
  std::array<float, kSegmentScaleSize> flankScale{};
  int capLength = 0;
  int flankLength = 0;
  int window = 11;
  float bias = 0.0f;  // taken off every residue of a segment
  float cost = 4.0f;  // taken off every segment
  // A chain gets segments only when its strongest segment's value reaches this: one
  // clearly membrane-like stretch makes the chain a membrane protein, after which weaker
  // segments count too. Soluble proteins rarely have even one.
  float anchor = 0.0f;
  int minLength = 16;
  int maxLength = 32;
  // Taken off per residue beyond preferredLength: two helices joined by a short loop are
  // two segments, not one long one.
  int preferredLength = 32;
  float lengthPenalty = 0.0f;
  int minLoop = 2;
  // The positive-inside rule inside the segmentation: loops alternate between the two
  // sides, and each lysine or arginine within topologyReach residues of a segment earns
  // topologyWeight on the inside and loses it on the outside. 0 leaves the orientation to
  // OrientSegments afterwards.
  float topologyWeight = 0.0f;
  int topologyReach = 15;
  // Weight of the structure's own evidence (KAVELIN less Profiles-3D score, both
  // log-odds) when a structure is segmented.
  float structureWeight = 1.0f;
};

inline constexpr const char* kSegmentParamsFile = "/Tessmol_Files/TM_Segments.txt";

// Reads "KEY<TAB>value" lines: SCALE (21 values, TRP ... ARG then other), WINDOW, BIAS,
// COST, ANCHOR, MINLENGTH, MAXLENGTH, PREFERREDLENGTH, LENGTHPENALTY, MINLOOP, CAPSCALE,
// FLANKSCALE, CAPLENGTH, FLANKLENGTH, STRUCTUREWEIGHT.
FileStatus LoadSegmentParams(const std::string& path, SegmentParams& params);
FileStatus SaveSegmentParams(const std::string& path, const SegmentParams& params,
                             const std::string& comment);

struct TmSegment {
  int first = 0;  // residue positions along the chain, from 0
  int last = 0;
  bool nInside = true;  // the segment runs from the inside (cytoplasm) out
};

// The entry of each residue type (0 to 19, anything else as 20) in a scale.
std::vector<float> ResidueScores(const std::vector<int>& types,
                                 const std::array<float, kSegmentScaleSize>& scale);

// What a chain offers the segmentation: the smoothed core track, and the cap and flank
// tracks (empty when the parameters have no caps or flanks).
struct SegmentTracks {
  std::vector<float> core, cap, flank;
  std::vector<float> positive;  // 1 at K and R, else 0; empty without the topology term
};
SegmentTracks MakeTracks(const std::vector<int>& types, const SegmentParams& params,
                         const std::vector<float>* extra = nullptr);

// The centred moving average of `scores` over `window` residues, cut at the ends.
std::vector<float> Smooth(const std::vector<float>& scores, int window);

// The best segment set for one chain; segments in order, oriented when the parameters
// carry the topology term.
std::vector<TmSegment> BestSegments(const SegmentTracks& tracks, const SegmentParams& params);

// The value BestSegments maximises, for a given set and the better of its two
// orientations (tests compare with brute force).
double SegmentSetValue(const SegmentTracks& tracks, const std::vector<TmSegment>& segments,
                       const SegmentParams& params);

// Orients the segments by the positive-inside rule: of the two ways the loops can
// alternate, the one with more K and R on the inside.
void OrientSegments(const std::vector<int>& types, std::vector<TmSegment>& segments);

// Types of a one-letter sequence (anything but the twenty upper-case letters is 21).
std::vector<int> TypesOfSequence(const std::string& sequence);

// The whole method on one sequence.
std::vector<TmSegment> PredictSegments(const std::string& sequence, const SegmentParams& params);

}  // namespace tessmol
