// Score tables: for each of the 18 environment classes and 20 residue types the score a
// residue of that type earns in that class, plus the two coefficients of the expected
// score curve ln S = yIntercept + gradient ln L.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "base/file_status.h"
#include "model/protein.h"

namespace tessmol {

inline constexpr int kScoreCells = kEnvironmentCount * kResidueTypeCount;
using ScoreValues = std::array<float, kScoreCells>;  // cell (row, column) at 20 row + column

// The built-in Profiles-3D table, in force whenever no table file could be read.
const ScoreValues& BuiltInScores();
inline constexpr float kBuiltInGradient = 1.008f;
inline constexpr float kBuiltInYIntercept = -0.83f;

// What the table and counts readers accept; anything else refuses the file with its line,
// so that no score, average or expected score can become infinite or NaN. Real tables hold
// log-odds within +-10 and a curve with gradient near 1 and intercept near -1.
inline constexpr double kMaxScoreMagnitude = 1e6;        // SCORES values
inline constexpr double kMaxGradientMagnitude = 10.0;    // GRADIENT
inline constexpr double kMaxInterceptMagnitude = 100.0;  // YINTERCEPT
inline constexpr double kMaxLogTotalMagnitude = 100.0;   // SAMPLE ln(total score)
inline constexpr int64_t kMaxCount = int64_t{1} << 53;   // COUNTS cells and their sums: exact in a double

struct ScoreSample {
  float logTotalScore = 0.0f;  // NaN: no logarithm (a total score not above 0), out of the fit
  int32_t residueCount = 0;
  std::string filePath;
  int64_t order = 0;  // where the structure came in its run: merged samples keep that order
};

class ScoreTable {
 public:
  ScoreTable();

  // Reads a table file. `name` becomes fileName first, even when the file cannot be read.
  // Every SCORES line must hold 20 numbers and there must be at least one; otherwise the
  // file is refused with the offending line and nothing else changes. Counts and
  // samples are never touched.
  FileStatus LoadTable(const std::string& path, const std::string& name);
  FileStatus LoadTable(std::istream& in, const std::string& path, const std::string& name);
  // Fits the expected-score curve to the samples and writes the table through a
  // temporary file, so concurrent writers never interleave.
  FileStatus SaveTable(const std::string& path);
  // Expected average residue score of a structure with n residues.
  float ExpectedResidueScore(int32_t n) const;

  // Custom scoring: counts an analysed structure's residues per class and type, and keeps
  // one sample per structure for the expected-score fit.
  void AddStructure(const Protein& protein, const std::string& path);
  // Replaces the scores by the log-odds of the counts.
  void ComputeScores();
  // Least-squares fit of ln(total score) on ln(residue count) over the samples. With
  // fewer than two samples or all of one length there is no line; the curve is kept.
  void FitExpectedScoreCurve();

  // The custom scoring's raw material for merging runs: the counts added to the initial 1
  // of every cell and the samples with their order, numbers at full precision.
  FileStatus SaveCounts(const std::string& path) const;
  // Adds a counts file to this table's counts and samples (samples kept in their order).
  FileStatus AddCounts(const std::string& path);

  float Score(int32_t row, int32_t column) const { return scores[row * kResidueTypeCount + column]; }

  ScoreValues scores{};
  float gradient = kBuiltInGradient;
  float yIntercept = kBuiltInYIntercept;
  std::array<int64_t, kScoreCells> counts{};
  std::vector<ScoreSample> samples;
  std::string fileName;
};

}  // namespace tessmol
