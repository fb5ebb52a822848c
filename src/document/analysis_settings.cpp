#include "document/analysis_settings.h"

#include <filesystem>

#include "base/version.h"
#include "surface/sphere_points.h"

namespace tessmol {

namespace {

std::string NumberRange(const char* low, const char* high) {
  return std::string("Please enter a number between ") + low + " and " + high + ".";
}

std::string IntegerRange(const char* low, const char* high) {
  return std::string("Please enter an integer between ") + low + " and " + high + ".";
}

}  // namespace

std::optional<AnalysisSettings::Problem> AnalysisSettings::Validate() const {
  const ScanParams& scan = spanner2DParams;
  // Written so that NaN fails too.
  if (!(scan.minAreaDifference >= 1.0f && scan.minAreaDifference <= 10.0f)) {
    return Problem{"minAreaDifference", "Minimum Area difference: " + NumberRange("1", "10")};
  }
  if (scan.movingAverage < 1 || scan.movingAverage > 100) {
    return Problem{"movingAverage", "Moving Average: " + IntegerRange("1", "100")};
  }
  if (scan.tmLengthMin > scan.tmLengthMax) {
    return Problem{"tmLengthMin", "Transmembrane Length: the minimum may not exceed the maximum."};
  }
  // A window's means must lie strictly between each pair: a pair with nothing between it
  // (or NaN) would make every scan find nothing, and say nothing of why.
  if (!(scan.kavelinMin < scan.kavelinMax))
    return Problem{"kavelinMin", "Ave KAVELIN score range: the minimum must be below the maximum."};
  if (!(scan.profilesMin < scan.profilesMax))
    return Problem{"profilesMin", "Ave. 3D-Profiles score range: the minimum must be below the maximum."};
  if (!(scan.lengthAreaMin < scan.lengthAreaMax)) {
    return Problem{"lengthAreaMin",
                   "Transmem length/area Difference: the minimum must be below the maximum."};
  }
  if (sasaResolution < 0 || sasaResolution >= kSasaResolutionCount)
    return Problem{"resolution", IntegerRange("0", "6")};
  if (threads < 0 || threads > 1024) return Problem{"threads", IntegerRange("0", "1024")};
  if (maxUnpackedMiB < 1 || maxUnpackedMiB > kMaxUnpackedMiBLimit) {
    return Problem{"max-unpacked-mib", IntegerRange("1", std::to_string(kMaxUnpackedMiBLimit).c_str())};
  }
  if (!(confidentPlddt >= 0.0f && confidentPlddt <= 100.0f))
    return Problem{"confident-plddt", NumberRange("0", "100")};
  std::error_code error;
  if (!workingDirectory.empty() && !std::filesystem::is_directory(workingDirectory, error)) {
    // A file of that name is there, which "no such folder" would send the user looking past.
    const bool file = std::filesystem::exists(workingDirectory, error);
    return Problem{"out-dir", std::string("Working Directory: ") +
                                  (file ? "not a folder: " : "no such folder: ") + workingDirectory};
  }
  return std::nullopt;
}

std::string MethodName(TmMethod method) {
  switch (method) {
    case TmMethod::kSegments:
      return "segments";
    case TmMethod::kSlab:
      return "slab";
    case TmMethod::kSlabElseSegments:
      return "auto";
    case TmMethod::kWindow:
      break;
  }
  return "window";
}

RunParameters ParametersFor(const AnalysisSettings& settings, const std::string& scoreTable) {
  RunParameters p;
  p.version = kVersion;
  p.resolution = settings.sasaResolution;
  p.ignoreHeteroAtoms = settings.ignoreHeteroAtoms;
  p.secondaryStructure = settings.secondaryStructure == SecondaryStructureSource::kRecords    ? "records"
                         : settings.secondaryStructure == SecondaryStructureSource::kComputed ? "computed"
                                                                                              : "auto";
  p.scoreTable = scoreTable;
  return p;
}

}  // namespace tessmol
