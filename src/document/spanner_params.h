// The twelve parameters of the transmembrane window scan, shared by Spanner2D and
// Spanner3D and kept by the document.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessmol {

struct Spanner2DParams {
  float minAreaDifference = 10.0f;  // area between the two curves over a window must exceed it
  uint32_t movingAverage = 10;      // width of the moving averages
  float minDifference = 0.2f;       // per-residue lower bound of KAVELIN minus Profiles-3D average
  float minAveSASA = 0.0f;          // mean side-chain area of the window must exceed it
  uint32_t tmLengthMin = 12;        // window lengths tried, longest first
  uint32_t tmLengthMax = 40;
  float kavelinMin = 0.3f;  // open range of the window mean of the KAVELIN average
  float kavelinMax = 0.8f;
  float profilesMin = -0.6f;  // open range of the window mean of the Profiles-3D average
  float profilesMax = 0.0f;
  float lengthAreaMin = 0.8f;  // open range of window length divided by area
  float lengthAreaMax = 1.8f;

  // What the options page refuses: a minimum area difference outside 1 to 10 or a moving
  // average outside 1 to 100. The text says which, and is empty when all is well.
  std::string Validate() const;
};

}  // namespace tessmol
