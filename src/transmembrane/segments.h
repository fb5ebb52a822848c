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

// A logistic model of one residue's state from the residues around it: a weight for each
// residue type (and for "beyond the chain's end") at each offset within +-kWindowHalf, one
// for the residue's distance from the N-terminus in bins of kPositionBinWidth (signal
// peptides and anchors sit near it), and an intercept. Its value is the log-odds of the
// state, so it adds along a segment like the single scale did.
inline constexpr int kWindowHalf = 10;
inline constexpr int kWindowTypes = kSegmentScaleSize + 1;  // the last: beyond the chain
inline constexpr int kPositionBins = 8;
inline constexpr int kPositionBinWidth = 5;
inline constexpr int kWindowModelSize = (2 * kWindowHalf + 1) * kWindowTypes + kPositionBins + 1;

struct WindowModel {
  std::vector<float> weights;  // kWindowModelSize values when present, empty otherwise
  bool empty() const { return weights.empty(); }
  float& At(int offset, int type) { return weights[(offset + kWindowHalf) * kWindowTypes + type]; }
  float& Position(int bin) { return weights[(2 * kWindowHalf + 1) * kWindowTypes + bin]; }
  float& Intercept() { return weights.back(); }
};

// The model's log-odds at every residue of a chain of residue types.
std::vector<float> WindowLogOdds(const std::vector<int>& types, const WindowModel& model);

// What the chain's first residues offer the signal-peptide decision (a logistic model over
// kSignalFeatureCount features, the first the intercept): see SignalFeatures.
inline constexpr int kSignalFeatureCount = 12;

// What a chain's segment set offers the membrane-or-soluble decision: a logistic model
// over these features (kChainFeatureCount weights, the first the intercept).
inline constexpr int kChainFeatureCount = 8;

// The joint labelling: every residue is inside loop (i), outside loop (o), transmembrane
// helix (M) or signal peptide (S). One multinomial logistic model over the same window
// features as WindowModel gives each residue's log-probability of each label; the best
// labelling a grammar allows (an optional N-terminal signal peptide, then loops that
// change side across every helix) is found exactly.
//
// A helix's first and last kCapLength residues have labels of their own, by the side
// they face: cytoplasmic end (C) and outer end (E). Its ends are where the aromatic belt
// and the positive charges sit, so the model can tell from them which way a helix runs
// and where it stops, as hidden Markov model predictors do with their cap states. A
// model without them (fitted before them) gives the ends the helix core's scores.
enum LabelIndex {
  kLabelInside = 0,
  kLabelOutside = 1,
  kLabelMembrane = 2,
  kLabelSignal = 3,
  kLabelCapInside = 4,
  kLabelCapOutside = 5
};
inline constexpr int kLabelCount = 6;
inline constexpr int kCoreLabelCount = 4;  // the labels every model has: i, o, M, S
inline constexpr int kCapLength = 5;
inline constexpr const char* kLabelKeys = "IOMSCE";  // LABELMODELI ... LABELMODELE
// Every label of a helix residue: its core and either end.
inline constexpr int kHelixLabels[] = {kLabelMembrane, kLabelCapInside, kLabelCapOutside};

// The label of the residue at `offset` in a helix of `length` residues entered from the
// inside (`fromInside`) or the outside, with ends of `capLength` residues.
int HelixLabel(int offset, int length, bool fromInside, int capLength = kCapLength);

// Beside the window's residue types, the label model sees how hydrophobic the stretches
// around the residue are: the mean hydropathy (Kyte and Doolittle 1982) over the chain's
// residues within each of kHydropathyReach of each of kHydropathyCentre, in
// kHydropathyBins bins (below -1, then steps of 0.5 up to 3 and above; a stretch wholly
// beyond the chain's end in the lowest), one weight per bin and stretch. A logistic
// model adds the types' weights; the bins let it tell a stretch that is hydrophobic
// enough to span the membrane from one that is nearly so.
inline constexpr int kHydropathyReaches = 5;
inline constexpr int kHydropathyReach[kHydropathyReaches] = {2, 5, 9, 4, 4};
// Where each stretch is centred, from the residue: the last two look at what lies before
// and after it (a helix's end has the membrane on one side only).
inline constexpr int kHydropathyCentre[kHydropathyReaches] = {0, 0, 0, -8, 8};
inline constexpr int kHydropathyBins = 10;
inline constexpr int kLabelModelSize = kWindowModelSize + kHydropathyReaches * kHydropathyBins;

// Each residue's kHydropathyReaches bins, each already offset to its weight's index
// within a label model (kWindowModelSize + stretch * kHydropathyBins + bin).
std::vector<std::array<int, kHydropathyReaches>> HydropathyFeatures(const std::vector<int>& types);

// One WindowModel per label (kLabelModelSize weights: the window model's, its intercept
// last among them, then the hydropathy bins'); their values are the softmax's inputs.
struct LabelModel {
  std::array<WindowModel, kLabelCount> labels;
  bool empty() const { return labels[0].empty(); }
  bool caps() const { return !labels[kLabelCapInside].empty(); }
};

// Each residue's log-probability of each label (log-softmax of the label models). An
// unknown residue (type outside 0 to 19) takes, at each offset, the twenty types' weights
// averaged by their composition, and is left out of the hydropathy means: it is what an
// average residue would be there, neither for a helix nor against one.
std::array<std::vector<float>, kLabelCount> LabelLogProbabilities(const std::vector<int>& types,
                                                                  const LabelModel& model);

// The membrane-or-soluble decision of the joint labelling: ChainFeatures, then how much
// better the best labelling with a helix scores than the best without one, then whether a
// chain with a signal peptide has its last helix within kGpiTail residues of the
// C-terminus: the shape of a GPI-attachment signal, which is cleaved from a secreted
// protein, where a type I anchor leaves a cytoplasmic tail.
inline constexpr int kJointChainFeatureCount = kChainFeatureCount + 2;
inline constexpr int kGpiTail = 5;

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
  // The fitted per-residue model: when present it replaces the scales (core, caps and
  // flanks) as the segments' evidence.
  WindowModel membraneModel;
  // The signal peptide: its model's log-odds summed over the chain's first residues, at
  // the best end from signalMin to signalMax residues, reach signalThreshold.
  WindowModel signalModel;
  int signalMin = 12;
  int signalMax = 45;  // below signalMin: no signal peptide (a chain that cannot have one)
  // The fewest residues a signal peptide leaves after it: a secreted protein's mature part
  // (the shortest in the training data's signal-peptide chains is 23 residues). A short
  // chain that begins with a hydrophobic helix (the small subunits of photosystems and
  // respiratory complexes, 30 to 40 residues) is anchored by it, not secreted.
  int signalMature = 20;
  float signalThreshold = 0.0f;
  // When present, the decision whether the best prefix is a signal peptide; it replaces
  // signalThreshold.
  std::vector<float> signalDecision;
  // The membrane-or-soluble decision for the chain; when present it replaces `anchor`.
  std::vector<float> chainModel;
  // The joint labelling: when labelModel is present it replaces the models above. A helix
  // scores its residues' log-probabilities of M plus `bias` each, less `cost`,
  // lengthPenalty per residue beyond preferredLength, and the positive-inside term; a
  // signal peptide its residues' log-probabilities of S plus signalBias each, less
  // signalCost. jointSignalDecision (kSignalFeatureCount weights over SignalFeatures, its
  // score the advantage of the best labelling with a signal peptide over the best without)
  // and jointChainModel (kJointChainFeatureCount weights) make the chain-level calls; each
  // absent means "the better labelling wins".
  LabelModel labelModel;
  float signalBias = 0.0f;
  float signalCost = 0.0f;
  int signalLoop = 1;  // the shortest loop between a signal peptide and a helix
  // Added to every helix residue's score when a chain the decision calls a membrane protein
  // is labelled again: the decision guards the soluble chains, so within a membrane
  // protein a helix need not be as sure as one that makes a chain a membrane protein.
  float membraneBias = 0.0f;
  std::vector<float> jointSignalDecision;
  std::vector<float> jointChainModel;
  // A type I membrane protein: when a chain with a signal peptide has helices that all but
  // the most hydrophobic one lie at least isolatedGap residues from their neighbours and
  // are less hydrophobic than isolatedHydropathy (mean Kyte-Doolittle), they are weakly
  // hydrophobic stretches of its soluble ectodomain, and the chain is labelled again with
  // its anchor alone. Chains without a signal peptide keep every helix: two-helix channels
  // (ASIC, ENaC) have helices hundreds of residues apart. 0 leaves every helix.
  int isolatedGap = 0;
  float isolatedHydropathy = 0.0f;
  // Weight of the structure's own evidence (KAVELIN less Profiles-3D score, both
  // log-odds) when a structure is segmented.
  float structureWeight = 1.0f;
  // The ensemble's other members, each fitted on the same chains with the per-residue
  // model trained in another order: the fit is not stable under that order, and a chain's
  // prediction is the members' medoid (TopologyMedoid). Empty for a single model.
  std::vector<SegmentParams> others;
};

inline constexpr const char* kSegmentParamsFile = "/Tessmol_Files/TM_Segments.txt";

// Reads "KEY<TAB>value" lines: SCALE (21 values, TRP ... ARG then other), WINDOW, BIAS,
// COST, ANCHOR, MINLENGTH, MAXLENGTH, PREFERREDLENGTH, LENGTHPENALTY, MINLOOP, CAPSCALE,
// FLANKSCALE, CAPLENGTH, FLANKLENGTH, STRUCTUREWEIGHT; MEMBRANEMODEL and SIGNALMODEL
// (kWindowModelSize values each: offsets -10 to 10 of 22 types, then the position bins,
// then the intercept), SIGNALMIN, SIGNALMAX, SIGNALTHRESHOLD, SIGNALDECISION (12 values),
// CHAINMODEL (8 values); the joint labelling's LABELMODELI, LABELMODELO, LABELMODELM,
// LABELMODELS and the optional LABELMODELC and LABELMODELE (kLabelModelSize values each),
// SIGNALBIAS, SIGNALCOST, SIGNALLOOP, JOINTSIGNALDECISION (12 values), JOINTCHAINMODEL
// (10 values; a file fitted before the last gives it no weight), MEMBRANEBIAS,
// ISOLATEDGAP, ISOLATEDHYDROPATHY. A line
// "MEMBER<TAB>N" starts the ensemble's member N (from 2) with keys of its own: `others`.
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
// carry the topology term. Without a chain model, a set whose strongest segment is below
// `anchor` is no set.
std::vector<TmSegment> BestSegments(const SegmentTracks& tracks, const SegmentParams& params);

// Each segment's own value (core, caps, flanks, less the cost), as the anchor and the
// membrane-or-soluble decision judge it.
std::vector<double> SegmentValues(const SegmentTracks& tracks, const std::vector<TmSegment>& segments,
                                  const SegmentParams& params);

// The value BestSegments maximises, for a given set and the better of its two
// orientations (tests compare with brute force).
double SegmentSetValue(const SegmentTracks& tracks, const std::vector<TmSegment>& segments,
                       const SegmentParams& params);

// Orients the segments by the positive-inside rule: of the two ways the loops can
// alternate, the one with more K and R on the inside.
void OrientSegments(const std::vector<int>& types, std::vector<TmSegment>& segments);

// Types of a one-letter sequence, either case: the twenty letters, B, J, O, U and Z as the
// model builder reads them; X and anything else unknown (outside 0 to 19).
std::vector<int> TypesOfSequence(const std::string& sequence);

// The features of the membrane-or-soluble decision for a chain of `length` residues with
// its signal peptide's end and its segments: 1, the strongest segment's value, the
// second strongest's, the number of segments, the strongest's length, its mean
// hydrophobicity (Kyte and Doolittle 1982), whether it starts within 10 residues of the
// chain's (or the signal peptide's) end, whether a signal peptide was found.
std::array<float, kChainFeatureCount> ChainFeatures(const std::vector<int>& types, int signalEnd,
                                                    const std::vector<TmSegment>& segments,
                                                    const std::vector<double>& values);

// The logistic model's log-odds that the chain is a membrane protein.
double ChainLogOdds(const std::array<float, kChainFeatureCount>& features, const std::vector<float>& model);

// A chain's prediction: its N-terminal signal peptide (residues 0 to signalEnd - 1; 0 when
// there is none) and its transmembrane segments, oriented.
struct ChainTopology {
  int signalEnd = 0;
  std::vector<TmSegment> segments;
};

// The signal model's best sum of log-odds over the chain's first signalMin to signalMax
// residues, and where that best prefix ends (-infinity and 0 without a model or room).
double SignalPeptideScore(const std::vector<int>& types, const SegmentParams& params, int& end);

// The features of the signal-peptide decision for the best prefix (its score and end):
// 1, the score, the end / 10, lysines and arginines in the first 8 residues (n-region),
// small residues at -1 and -3 before the end (the A-x-A rule, von Heijne 1983), the
// membrane model's best 19-residue sum up to 15 past the end (an anchor, not an
// h-region, is long and strong), its sum over the 15 residues after the end (a helix the
// "cleavage site" cuts through), the longest hydrophobic run (L I V F M A W C) in the
// first 50 residues, over 10; then what tells a cleaved h-region from an uncleaved anchor
// (an anchor's hydrophobic core is 18 or more residues, an h-region's 7 to 15; the
// charges across an anchor follow the positive-inside rule, Hartmann et al. 1989): K and
// R in the 15 residues after the end less those in the first 15, the longest hydrophobic
// run starting before the end (over 10), its excess over 15 residues (over 5), and the
// membrane model's best 19-residue sum 15 to 75 residues past the end, over 10 (a
// multi-pass protein's next helix).
std::array<float, kSignalFeatureCount> SignalFeatures(const std::vector<int>& types,
                                                      const SegmentParams& params, double score, int end);

// The end of the signal peptide the model finds at the chain's start, or 0.
int SignalPeptideEnd(const std::vector<int>& types, const SegmentParams& params);

// What the joint labelling decodes: each residue's score for each label (its
// log-probability, with the per-residue biases and any structure evidence on M), and 1 at
// K and R for the positive-inside term.
struct LabelScores {
  std::array<std::vector<float>, kLabelCount> score;
  std::vector<float> positive;
  bool caps = false;           // the helix ends have scores of their own (else the core's copies)
  int capLength = kCapLength;  // residues at each end of a helix that take the end labels
  int size() const { return static_cast<int>(score[0].size()); }
};
LabelScores MakeLabelScores(const std::vector<int>& types, const SegmentParams& params,
                            const std::vector<float>* extra = nullptr);
// The same from the label model's log-probabilities, already computed (the fit computes
// them once per chain and decodes them under many parameter sets).
LabelScores LabelScoresFrom(std::array<std::vector<float>, kLabelCount> logProbabilities,
                            const std::vector<int>& types, const SegmentParams& params,
                            const std::vector<float>* extra = nullptr);

// One labelling: a signal peptide over residues 0 to signalEnd - 1 (none when 0), the
// helices in order (each oriented: loops alternate sides across them), and the side of
// the loops when there is no helix (after a signal peptide: outside).
struct LabelPath {
  double value = 0.0;
  int signalEnd = 0;
  std::vector<TmSegment> segments;
  bool inside = true;  // the side of a helix-free chain
  bool valid = false;  // false when the grammar allows no such labelling
};

// The best labelling with at least one helix and the best with none, among those that
// begin with a signal peptide (`signal`) or among those that do not.
struct LabelDecoding {
  LabelPath withHelix, withoutHelix;
};
LabelDecoding DecodeLabels(const LabelScores& scores, const SegmentParams& params, bool signal);

// The path labelled again as a single anchor's (SegmentParams::isolatedGap), or as it is.
LabelPath SingleAnchorLabelling(const std::vector<int>& types, const LabelScores& scores,
                                const SegmentParams& p, bool signal, const LabelPath& path);

// A labelling's value from its per-residue labels (tests compare the decoder with
// enumeration); the labels are i, o, M and S.
double LabelStringValue(const LabelScores& scores, const std::string& labels, const SegmentParams& params);

// The labels of a path, one per residue.
std::string PathLabels(const LabelPath& path, int length);

// The features of the joint chain decision: ChainFeatures of the path with helices (each
// helix valued by its residues' M score less their better loop score, less the cost),
// then the advantage of that path over the best one without a helix, then the GPI shape.
std::array<float, kJointChainFeatureCount> JointChainFeatures(const std::vector<int>& types,
                                                              const LabelScores& scores,
                                                              const LabelDecoding& decoding,
                                                              const SegmentParams& params);

// The features of the joint signal-peptide decision: SignalFeatures with the advantage
// of the best labelling with a signal peptide over the best without as its score, the
// membrane evidence taken from the label model.
std::array<float, kSignalFeatureCount> JointSignalFeatures(const std::vector<int>& types,
                                                           const LabelScores& scores,
                                                           const LabelDecoding& withSignal,
                                                           const LabelDecoding& withoutSignal);

// The labelling of a chain called a membrane protein, from its best labelling with a
// helix (`first`): with two helices or more, the best labelling with its helix scores
// raised by membraneBias. A chain with one helix keeps it as it is: it is a single-pass
// candidate, whose other helix-like stretches lie in soluble domains.
LabelPath MembraneLabelling(const LabelScores& scores, const SegmentParams& params, bool signal,
                            const LabelPath& first);

// A prediction's label of each residue: S, M, i or o, and - for a loop whose side nothing
// gives (a chain with neither a segment nor a signal peptide).
std::string TopologyLabels(const ChainTopology& topology, int length);

// Of several predictions of one chain, the one whose labels differ from the others' at the
// fewest residues in all (the first of those tied).
size_t TopologyMedoid(const std::vector<ChainTopology>& predictions, int length);

// The whole method on one chain of residue types, `extra` added to the membrane evidence
// (a structure's own, or nothing): an ensemble's medoid. A chain that the decision calls
// soluble gets no segment; a signal peptide is no segment, and the loop after it is
// outside.
ChainTopology PredictTopology(const std::vector<int>& types, const SegmentParams& params,
                              const std::vector<float>* extra = nullptr);

// The whole method on one sequence: its segments.
std::vector<TmSegment> PredictSegments(const std::string& sequence, const SegmentParams& params);

}  // namespace tessmol
