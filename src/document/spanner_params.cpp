#include "document/spanner_params.h"

namespace tessmol {

std::string Spanner2DParams::Validate() const {
  if (!(minAreaDifference >= 1.0f && minAreaDifference <= 10.0f)) {
    return "Minimum Area difference must lie between 1 and 10";
  }
  if (movingAverage < 1 || movingAverage > 100) return "Moving Average must lie between 1 and 100";
  return {};
}

}  // namespace tessmol
