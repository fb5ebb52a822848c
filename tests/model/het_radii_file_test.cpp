#include "model/het_radii_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/text.h"
#include "test_support.h"

namespace tessmol {
namespace {

// The shipped radius file with the radius of one entry replaced.
class HetRadiiFile : public testing::Test {
 protected:
  test::ScratchFolder scratch;
  std::vector<std::string> lines;
  void SetUp() override {
    std::ifstream in(test::ProgramFolder() + kHetRadiiFile, std::ios::binary);
    for (std::string line; ReadLine(in, line);) lines.push_back(line);
    ASSERT_GT(lines.size(), 10u);
  }
  // Line `number` (from 1) given `radius`; the file's path.
  std::string WithRadius(size_t number, const std::string& radius) {
    std::ofstream out("radii.txt", std::ios::binary);
    for (size_t i = 0; i < lines.size(); ++i) {
      out << (i + 1 == number ? SplitFields(lines[i])[0] + "\t" + radius : lines[i]) << '\n';
    }
    return "radii.txt";
  }
};

TEST_F(HetRadiiFile, RadiiThatAreNoNumberWithinTheLimitsRefuseTheFileWithTheirLine) {
  const size_t iron = [&] {
    for (size_t i = 0; i < lines.size(); ++i)
      if (lines[i].rfind("FE\t", 0) == 0) return i + 1;
    return size_t{0};
  }();
  ASSERT_GT(iron, 0u);
  for (const char* bad : {"inf", "nan", "-nan", "1e999", "5.5", "0.2", "1e-400"}) {
    SCOPED_TRACE(bad);
    HetAtomRadii table;
    table.Set("XX", 1.0f);
    RecordingFeedback feedback;
    const FileStatus status = LoadHetAtomRadii(WithRadius(iron, bad), table, feedback);
    EXPECT_EQ(status.problem, FileProblem::kFormat);
    EXPECT_EQ(status.line, static_cast<int>(iron));
    EXPECT_TRUE(table.empty());  // nothing of a refused file is used
    ASSERT_EQ(feedback.messages.size(), 1u);
    EXPECT_EQ(feedback.messages[0].rfind("Error: format error in radii.txt on line " + std::to_string(iron) +
                                             ": the radius is not a number from 0.5 to 5 angstrom",
                                         0),
              0u);
  }
  // The shipped file, the limits themselves, and what old files hold: a negative radius
  // (no entry) and a field without a number (an entry of 0).
  for (const char* good : {"1.7", "0.5", "5", "-1", "none", "0"}) {
    SCOPED_TRACE(good);
    HetAtomRadii table;
    RecordingFeedback feedback;
    EXPECT_TRUE(LoadHetAtomRadii(WithRadius(iron, good), table, feedback).ok());
    EXPECT_TRUE(feedback.messages.empty());
    EXPECT_GT(table.size(), 30u);
  }
  HetAtomRadii table;
  SilentFeedback quiet;
  EXPECT_TRUE(LoadHetAtomRadii(test::ProgramFolder() + kHetRadiiFile, table, quiet).ok());
  EXPECT_EQ(LoadHetAtomRadii("missing.txt", table, quiet).problem, FileProblem::kMissing);
}

}  // namespace
}  // namespace tessmol
