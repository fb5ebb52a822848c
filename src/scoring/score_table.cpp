#include "scoring/score_table.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <limits>
#include <optional>

#include "base/text.h"

namespace tessmol {

namespace {

// A whole number of digits only (no sign, no blanks) from 0 to `limit`.
std::optional<int64_t> WholeCount(const std::string& text, int64_t limit) {
  if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
    return {};
  const unsigned long long value = std::strtoull(text.c_str(), nullptr, 10);
  if (value > static_cast<unsigned long long>(limit)) return {};
  return static_cast<int64_t>(value);
}

// A name as one field of a record-per-line file: a TAB, line break or other control
// character would start a new field or record, so it is written as '?'.
std::string OneField(std::string text) {
  MaskControlCharacters(text);
  return text;
}

}  // namespace

const ScoreValues& BuiltInScores() {
  // Rows B1a B1b B1 B2a B2b B2 B3a B3b B3 P1a P1b P1 P2a P2b P2 Ea Eb E; columns TRP to ARG.
  static const ScoreValues table = {
      1.11f,  1.28f,  0.27f,  1.3f,   1.11f,  0.74f,  1.26f,  -0.77f, -2.22f, -1.56f, -0.43f, -1.72f, -2.43f,
      -1.38f, -1.76f, -2.15f, -2.48f, -0.34f, -1.37f, -1.8f,  0.92f,  0.96f,  0.17f,  1.07f,  1.5f,   1.18f,
      0.51f,  -1.05f, -2.35f, -0.77f, -0.45f, -1.27f, -2.56f, -2.03f, -2.18f, -1.59f, -1.8f,  -2.26f, -3.04f,
      -1.52f, 0.96f,  1.4f,   0.52f,  1.06f,  0.93f,  1.0f,   0.91f,  -0.54f, -2.78f, 0.59f,  -0.59f, -1.41f,
      -2.99f, -0.84f, -2.61f, -2.01f, -2.63f, -0.61f, -2.78f, -2.35f, 1.01f,  0.87f,  0.86f,  0.71f,  0.55f,
      0.41f,  1.02f,  -0.65f, -2.04f, -0.97f, 0.15f,  -0.67f, -1.33f, 0.16f,  -0.48f, -0.58f, -0.8f,  0.82f,
      -0.94f, -0.11f, 0.83f,  1.32f,  1.3f,   0.36f,  1.08f,  0.81f,  0.49f,  -1.52f, -2.22f, -0.86f, -0.72f,
      -1.14f, -0.82f, -0.79f, -0.26f, -0.2f,  -2.08f, -0.05f, -0.83f, -0.41f, 1.62f,  1.04f,  1.14f,  0.77f,
      0.81f,  0.66f,  1.0f,   -0.81f, -1.71f, -0.07f, -0.62f, -1.03f, -1.23f, -0.87f, -0.56f, -1.13f, -1.7f,
      0.54f,  -2.12f, -0.44f, 0.86f,  -0.22f, 0.5f,   0.16f,  -0.02f, -0.29f, 0.87f,  -0.44f, -1.09f, -1.11f,
      -1.38f, -0.69f, -1.01f, 0.16f,  -0.07f, 0.09f,  -0.43f, 0.61f,  0.56f,  1.1f,   0.07f,  0.37f,  1.09f,
      0.14f,  0.26f,  0.16f,  -0.68f, -1.08f, -2.29f, -0.01f, -0.79f, -0.1f,  -0.71f, 0.52f,  -0.33f, -0.42f,
      -0.76f, 0.8f,   0.35f,  0.84f,  1.12f,  0.71f,  1.25f,  0.29f,  -0.54f, -0.4f,  0.23f,  -0.87f, -0.61f,
      -0.11f, -0.98f, -0.48f, -0.61f, 0.1f,   0.09f,  -0.46f, -0.83f, 1.04f,  0.08f,  0.71f,  -1.29f, -0.85f,
      -0.88f, -0.3f,  -0.06f, 0.3f,   -0.42f, 0.76f,  -0.46f, -0.41f, 0.95f,  0.39f,  0.47f,  -0.32f, -0.58f,
      -0.43f, -0.28f, -0.91f, -0.5f,  -0.51f, 0.34f,  -0.61f, -0.09f, -0.81f, 0.09f,  0.44f,  -0.4f,  0.59f,
      -0.22f, -0.65f, 1.28f,  0.95f,  0.49f,  -2.38f, -0.92f, -0.68f, -0.61f, -0.53f, -2.01f, -0.89f, -1.25f,
      -1.29f, -1.4f,  -0.33f, -0.28f, -0.09f, -0.9f,  0.49f,  -0.39f, 0.64f,  1.29f,  0.55f,  0.59f,  -0.57f,
      -0.26f, -0.59f, 0.34f,  -1.21f, -0.72f, -0.88f, -1.09f, -1.35f, -0.55f, -0.46f, -0.59f, -0.62f, -0.27f,
      -0.02f, -0.58f, -0.25f, -0.7f,  -0.13f, -0.38f, 0.62f,  -0.02f, 0.2f,   0.29f,  0.17f,  0.66f,  0.56f,
      -0.71f, -0.56f, -0.3f,  -1.33f, -0.35f, 0.08f,  -0.76f, -0.52f, -0.87f, -1.01f, -0.87f, 0.79f,  0.49f,
      0.1f,   0.0f,   0.41f,  -0.03f, -0.49f, 0.55f,  0.19f,  -0.42f, -0.84f, -0.43f, -0.68f, -0.94f, -0.74f,
      -0.83f, -0.25f, -0.42f, 0.44f,  -0.81f, 0.08f,  0.17f,  0.25f,  0.51f,  0.28f,  0.51f,  0.2f,   0.47f,
      0.24f,  -1.26f, -1.81f, -1.7f,  -1.37f, -2.36f, -1.25f, -0.9f,  0.44f,  0.63f,  0.05f,  -0.17f, -0.2f,
      0.16f,  0.29f,  0.32f,  0.6f,   0.44f,  -0.06f, 0.07f,  -0.2f,  0.81f,  -0.83f, -0.03f, -1.6f,  -1.39f,
      -1.66f, -0.62f, 0.14f,  1.75f,  -0.88f, -0.04f, -0.17f, 0.65f,  -0.12f, 0.01f,  -0.37f, -0.3f,  -0.76f,
      -1.54f, -1.12f, -2.06f, -1.63f, -1.04f, -1.14f, -1.63f, 0.8f,   -1.3f,  0.14f,  1.1f,   0.25f,  -0.35f,
      0.08f,  0.34f,  -0.03f, 0.41f,  0.04f,  0.23f,  -0.41f, -0.1f,  -0.41f,
  };
  return table;
}

ScoreTable::ScoreTable() : scores(BuiltInScores()) {
  counts.fill(1);
}

FileStatus ScoreTable::LoadTable(const std::string& path, const std::string& name) {
  fileName = name;
  std::ifstream in;
  if (!OpenForReading(in, path)) return ReadFailure(path);
  return LoadTable(in, path, name);
}

FileStatus ScoreTable::LoadTable(std::istream& in, const std::string& path, const std::string& name) {
  fileName = name;
  ScoreValues loaded = scores;
  float loadedGradient = gradient;
  float loadedIntercept = yIntercept;
  int row = 0;
  int lineNumber = 0;
  bool gradientRead = false, interceptRead = false;
  std::string line;
  while (ReadLine(in, line)) {
    ++lineNumber;
    const std::vector<std::string> fields = SplitFields(line);
    if (fields[0] == "SCORES") {
      size_t valueCount = fields.size() - 1;
      if (valueCount > 0 && fields.back().empty()) --valueCount;
      // Fewer values would leave cells of the earlier table under this table's name; more
      // mean the values are not the residue types they stand for (one too many early in
      // the row shifts every later type).
      if (valueCount != kResidueTypeCount) {
        return FileStatus::Format(path, lineNumber,
                                  "a SCORES row has 20 values, this one has " + std::to_string(valueCount));
      }
      // A row past the 18th would mean the rows are not the classes they stand for (a row
      // too many at the top shifts every class).
      if (row >= kEnvironmentCount)
        return FileStatus::Format(path, lineNumber, "a score table has 18 SCORES rows; this is the 19th");
      for (size_t c = 0; c < kResidueTypeCount; ++c) {
        const std::optional<double> value = ParseWholeReal(fields[c + 1]);
        if (!value || !std::isfinite(*value)) {
          return FileStatus::Format(path, lineNumber, "value " + std::to_string(c + 1) + " is no number");
        }
        if (std::fabs(*value) > kMaxScoreMagnitude) {
          return FileStatus::Format(
              path, lineNumber,
              "value " + std::to_string(c + 1) + " is beyond +-1e6: no score is that large");
        }
        if (row < kEnvironmentCount) loaded[row * kResidueTypeCount + c] = static_cast<float>(*value);
      }
      ++row;
    } else if ((fields[0] == "GRADIENT" || fields[0] == "YINTERCEPT") && fields.size() >= 2) {
      const bool isGradient = fields[0] == "GRADIENT";
      const double limit = isGradient ? kMaxGradientMagnitude : kMaxInterceptMagnitude;
      const std::optional<double> value = ParseWholeReal(fields[1]);
      if (!value || !(std::fabs(*value) <= limit)) {  // NaN fails too
        return FileStatus::Format(
            path, lineNumber,
            fields[0] + " is not a number within +-" + FormatNumber(static_cast<float>(limit)));
      }
      (isGradient ? loadedGradient : loadedIntercept) = static_cast<float>(*value);
      (isGradient ? gradientRead : interceptRead) = true;
    }
  }
  if (ReadFailed(in))
    return FileStatus::Unreadable(path, "read error on line " + std::to_string(lineNumber + 1));
  if (row == 0) return FileStatus::Format(path, lineNumber, "no SCORES row: not a score table");
  // Rows not given would keep the earlier table's scores under this table's name.
  if (row < kEnvironmentCount)
    return FileStatus::Format(path, lineNumber,
                              "the table ends after " + std::to_string(row) + " of its 18 SCORES rows");
  // Nor would a missing curve line keep the earlier table's expected score: a table cut
  // after its rows (or after GRADIENT) is no whole table.
  if (!gradientRead || !interceptRead) {
    return FileStatus::Format(path, lineNumber,
                              std::string("no ") + (gradientRead ? "YINTERCEPT" : "GRADIENT") +
                                  " line: the table's expected-score line is not whole");
  }
  scores = loaded;
  gradient = loadedGradient;
  yIntercept = loadedIntercept;
  return FileStatus::Ok(path);
}

FileStatus ScoreTable::SaveTable(const std::string& path) {
  FitExpectedScoreCurve();
  return WriteFileAtomically(path, [&](std::ostream& out) {
    for (int r = 0; r < kEnvironmentCount; ++r) {
      out << "SCORES";
      for (int c = 0; c < kResidueTypeCount; ++c) out << '\t' << FormatNumber(Score(r, c));
      out << "\t\n";
    }
    out << "GRADIENT\t" << FormatNumber(gradient) << '\n';
    out << "YINTERCEPT\t" << FormatNumber(yIntercept) << '\n';
    for (const ScoreSample& sample : samples) out << "FILEPATH\t" << OneField(sample.filePath) << '\n';
  });
}

float ScoreTable::ExpectedResidueScore(int32_t n) const {
  if (n <= 0) return 0.0f;
  const long double logN = std::log(static_cast<long double>(n));
  const long double expected = std::exp(static_cast<long double>(gradient) * logN + yIntercept) / n;
  // Within the read ranges a curve can still climb past float for huge n: keep it finite.
  return static_cast<float>(std::min<long double>(expected, std::numeric_limits<float>::max()));
}

void ScoreTable::AddStructure(const Protein& protein, const std::string& path) {
  const Structure& structure = protein.structure;
  for (size_t k = 0; k < structure.residues.size(); ++k) {
    const Residue& residue = structure.residues[k];
    const ResidueScore& scores = protein.scores.residues[k];
    if (residue.type < 0 || residue.type >= kResidueTypeCount) continue;
    const int32_t env = protein.transmembrane.residues[k].transmembrane ? scores.kavelinEnv : scores.profEnv;
    if (env < 0 || env >= kEnvironmentCount) continue;
    ++counts[env * kResidueTypeCount + residue.type];
  }
  ScoreSample sample;
  // A structure whose total score is not positive has no logarithm; it keeps its FILEPATH
  // line but stays out of the fit (FitExpectedScoreCurve skips non-finite values).
  sample.logTotalScore = static_cast<float>(std::log(static_cast<double>(protein.scores.totalScore)));
  sample.residueCount = static_cast<int32_t>(structure.residues.size());
  sample.filePath = path;
  samples.push_back(std::move(sample));
}

void ScoreTable::ComputeScores() {
  // The 3D-1D score of a residue type in an environment class (Bowie, Luthy and Eisenberg
  // 1991): ln(P(type | class) / P(type)), from the class's row total and the type's column
  // total. Dividing the count by the type's own total twice, ln(count T / C^2), is no
  // log-odds: it inflates every cell of a rare type, and a table derived that way scored
  // crambin 0.96 where the published table gives 0.33.
  std::array<double, kEnvironmentCount> rowTotal{};
  std::array<double, kResidueTypeCount> columnTotal{};
  double total = 0.0;
  for (int r = 0; r < kEnvironmentCount; ++r) {
    for (int c = 0; c < kResidueTypeCount; ++c) {
      const double count = counts[r * kResidueTypeCount + c];
      rowTotal[r] += count;
      columnTotal[c] += count;
      total += count;
    }
  }
  for (int r = 0; r < kEnvironmentCount; ++r) {
    for (int c = 0; c < kResidueTypeCount; ++c) {
      const double count = counts[r * kResidueTypeCount + c];
      scores[r * kResidueTypeCount + c] =
          static_cast<float>(std::log((count / rowTotal[r]) / (columnTotal[c] / total)));
    }
  }
}

void ScoreTable::FitExpectedScoreCurve() {
  std::vector<std::pair<double, double>> points;  // (ln total score, ln residue count)
  for (const ScoreSample& sample : samples) {
    if (!std::isfinite(sample.logTotalScore) || sample.residueCount <= 0) continue;
    points.emplace_back(sample.logTotalScore, std::log(static_cast<double>(sample.residueCount)));
  }
  if (points.size() < 2) return;
  // Every structure of one length: no slope to fit.
  if (std::all_of(points.begin(), points.end(),
                  [&](const auto& p) { return p.second == points[0].second; })) {
    return;
  }
  const double n = static_cast<double>(points.size());
  double sumX = 0.0, sumY = 0.0;
  for (const auto& [x, y] : points) {
    sumX += x;
    sumY += y;
  }
  const float meanX = static_cast<float>(sumX / n);
  const float meanY = static_cast<float>(sumY / n);
  double sxx = 0.0, syy = 0.0, sxy = 0.0;
  for (const auto& [x, y] : points) {
    sxx += (x - meanX) * (x - meanX);
    syy += (y - meanY) * (y - meanY);
    sxy += (x - meanX) * (y - meanY);
  }
  float fitted = 0.0f;
  if (sxx > 0.0) {
    const double r = sxy / std::sqrt(sxx * syy);
    const float sx = static_cast<float>(std::sqrt(sxx / n));
    const float sy = static_cast<float>(std::sqrt(syy / n));
    fitted = static_cast<float>(r * sx / sy);
  }
  const float intercept = meanX - fitted * meanY;
  // A line no table may hold (a few degenerate samples) would make the table unreadable.
  if (!(std::fabs(fitted) <= kMaxGradientMagnitude && std::fabs(intercept) <= kMaxInterceptMagnitude)) return;
  gradient = fitted;
  yIntercept = intercept;
}

FileStatus ScoreTable::SaveCounts(const std::string& path) const {
  return WriteFileAtomically(path, [&](std::ostream& out) {
    // Version 2 ends with the number of its samples, so that a file cut short (samples
    // lost at a line's end) is told from a whole one.
    out << "TESSMOLCOUNTS\t2\n";
    for (int r = 0; r < kEnvironmentCount; ++r) {
      out << "COUNTS";
      for (int c = 0; c < kResidueTypeCount; ++c) out << '\t' << counts[r * kResidueTypeCount + c] - 1;
      out << '\n';
    }
    char number[32];
    for (const ScoreSample& s : samples) {
      // A sample without a logarithm is written "none": the file holds no NaN or infinity.
      if (std::isfinite(s.logTotalScore)) {
        std::snprintf(number, sizeof number, "%.9g", static_cast<double>(s.logTotalScore));
      } else {
        std::snprintf(number, sizeof number, "none");
      }
      out << "SAMPLE\t" << s.order << '\t' << number << '\t' << s.residueCount << '\t' << OneField(s.filePath)
          << '\n';
    }
    out << "END\t" << samples.size() << '\n';
  });
}

FileStatus ScoreTable::AddCounts(const std::string& path) {
  std::ifstream in;
  if (!OpenForReading(in, path)) return ReadFailure(path);
  std::array<int64_t, kScoreCells> added{};
  std::vector<ScoreSample> read;
  int row = 0, lineNumber = 0, version = 0;
  bool ended = false;
  std::string line;
  while (ReadLine(in, line)) {
    ++lineNumber;
    const std::vector<std::string> f = SplitFields(line);
    if (lineNumber == 1) {
      if (f[0] != "TESSMOLCOUNTS") return FileStatus::Format(path, 1, "not a counts file");
      version = f.size() >= 2 && (f[1] == "1" || f[1] == "2") ? f[1][0] - '0' : 0;
      if (version == 0)
        return FileStatus::Format(path, 1, "a counts file of a version this program cannot read");
    } else if (ended) {
      return FileStatus::Format(path, lineNumber, "a record after END");
    } else if (version == 2 && f[0] == "END") {
      const std::optional<int64_t> said = f.size() == 2 ? WholeCount(f[1], kMaxCount) : std::nullopt;
      if (!said || *said != static_cast<int64_t>(read.size())) {
        return FileStatus::Format(
            path, lineNumber,
            "END does not give the number of samples before it, " + std::to_string(read.size()));
      }
      ended = true;
    } else if (f[0] == "COUNTS") {
      if (row >= kEnvironmentCount || f.size() != 1 + kResidueTypeCount)
        return FileStatus::Format(path, lineNumber, "a COUNTS row needs 20 counts, and there are 18 rows");
      for (int c = 0; c < kResidueTypeCount; ++c) {
        const int cell = row * kResidueTypeCount + c;
        const std::optional<int64_t> count = WholeCount(f[1 + c], kMaxCount);
        if (!count || *count > kMaxCount - counts[cell])
          return FileStatus::Format(
              path, lineNumber,
              "count " + std::to_string(c + 1) + " is not a whole number from 0 below 2^53");
        added[cell] = *count;
      }
      ++row;
    } else if (f[0] == "SAMPLE" && f.size() >= 5) {
      ScoreSample sample;
      const std::optional<int64_t> order = WholeCount(f[1], kMaxCount);
      const std::optional<int64_t> residues = WholeCount(f[3], std::numeric_limits<int32_t>::max());
      const std::optional<double> logTotal =
          f[2] == "none" ? std::optional<double>(NAN) : ParseWholeReal(f[2]);
      if (!order || !residues || !logTotal ||
          (!std::isnan(*logTotal) && !(std::fabs(*logTotal) <= kMaxLogTotalMagnitude)))
        return FileStatus::Format(
            path, lineNumber,
            "a SAMPLE needs its order and residue count as whole numbers and ln(total score) "
            "within +-100 or none");
      sample.order = *order;
      sample.logTotalScore = static_cast<float>(*logTotal);
      sample.residueCount = static_cast<int32_t>(*residues);
      sample.filePath = f[4];
      read.push_back(std::move(sample));
    } else {
      return FileStatus::Format(path, lineNumber, "no COUNTS or SAMPLE record");
    }
  }
  if (ReadFailed(in)) return FileStatus::Unreadable(path);
  if (row != kEnvironmentCount) return FileStatus::Format(path, lineNumber, "fewer than 18 COUNTS rows");
  if (version == 2 && !ended)
    return FileStatus::Format(path, lineNumber, "the file ends before its END record: it was cut short");
  for (int i = 0; i < kScoreCells; ++i) counts[i] += added[i];
  samples.insert(samples.end(), read.begin(), read.end());
  std::stable_sort(samples.begin(), samples.end(),
                   [](const ScoreSample& a, const ScoreSample& b) { return a.order < b.order; });
  return FileStatus::Ok(path);
}

}  // namespace tessmol
