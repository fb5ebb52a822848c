#include "surface/sphere_points.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/text.h"
#include "surface/sasa.h"
#include "test_support.h"

namespace tessmol {
namespace {

TEST(SpherePoints, TheSevenSetsAreEvenlySpreadUnitVectors) {
  for (int resolution = 0; resolution < kSasaResolutionCount; ++resolution) {
    const std::string path = test::ProgramFolder() + SpherePointFile(resolution);
    SCOPED_TRACE(path);
    std::ostringstream note;
    const auto points = ReadSpherePoints(path, &note);
    EXPECT_EQ(note.str(), "using spherical code file " + path + "\n");
    const int n = SpherePointCount(resolution);
    ASSERT_EQ(points.size(), static_cast<size_t>(n));
    double largestDot = -1.0;
    double cx = 0, cy = 0, cz = 0;
    for (size_t i = 0; i < points.size(); ++i) {
      const auto& p = points[i];
      EXPECT_NEAR(std::sqrt(double(p[0]) * p[0] + double(p[1]) * p[1] + double(p[2]) * p[2]), 1.0, 1e-6);
      cx += p[0];
      cy += p[1];
      cz += p[2];
      for (size_t j = i + 1; j < points.size(); ++j) {
        largestDot = std::max(largestDot, double(p[0]) * points[j][0] + double(p[1]) * points[j][1] +
                                              double(p[2]) * points[j][2]);
      }
    }
    // Even spread: the centroid sits at the centre, and the closest pair is not far below
    // the spacing of a hexagonal packing of n caps, sqrt(8 pi / (sqrt(3) n)).
    EXPECT_LT(std::sqrt(cx * cx + cy * cy + cz * cz) / n, 1e-3);
    const double packing = std::sqrt(8.0 * M_PI / (std::sqrt(3.0) * n));
    EXPECT_GT(std::acos(largestDot), 0.8 * packing);
  }
  EXPECT_EQ(SpherePointFile(5), "/Sphere_Points/maxvol.3.1002.txt");
  EXPECT_EQ(SpherePointFile(6), "/Sphere_Points/maxvol.3.2562.txt");
  EXPECT_EQ(SpherePointFile(7), "");
  EXPECT_EQ(SpherePointFile(-1), "");
}

TEST(SpherePoints, FileFormatEdges) {
  const auto folder = std::filesystem::temp_directory_path() / ("tessmol_sp_" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream((folder / name).string(), std::ios::binary) << text;
    return (folder / name).string();
  };
  std::string ten = "10\n";
  for (int i = 0; i < 30; ++i) ten += std::to_string(i) + ".5 trailing text\r\n";
  ten += "99\n99\n";
  auto points = ReadSpherePoints(write("ten.txt", ten));
  ASSERT_EQ(points.size(), 10u);
  EXPECT_EQ(points[0][0], 0.5f);
  EXPECT_EQ(points[9][2], 29.5f);
  // Fewer coordinate lines than promised: the rest read as 0.
  points = ReadSpherePoints(write("short.txt", "2\n1\n0\n0\n"));
  ASSERT_EQ(points.size(), 2u);
  EXPECT_EQ(points[1][0], 0.0f);
  EXPECT_TRUE(ReadSpherePoints(write("bad.txt", "points\n1\n")).empty());
  EXPECT_TRUE(ReadSpherePoints(write("huge.txt", "2000000000\n")).empty());
  EXPECT_TRUE(ReadSpherePoints(write("negative.txt", "-3\n")).empty());
  EXPECT_TRUE(ReadSpherePoints((folder / "missing.txt").string()).empty());
  EXPECT_TRUE(ReadSpherePoints(folder.string()).empty());
  std::filesystem::remove_all(folder);
}

// The 92-point set with one coordinate line replaced: a value that is no finite number
// within +-1000 refuses the file with its line; the set as shipped reads.
TEST(SpherePoints, CoordinatesThatAreNoFiniteNumberRefuseTheFileWithTheirLine) {
  test::ScratchFolder scratch;
  std::vector<std::string> lines;
  {
    std::ifstream in(test::ProgramFolder() + SpherePointFile(0), std::ios::binary);
    for (std::string line; ReadLine(in, line);) lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 1u + 3 * 92);
  auto read = [&](size_t number, const std::string& value, FileStatus& status) {
    std::ofstream out("points.txt", std::ios::binary);
    for (size_t i = 0; i < lines.size(); ++i) out << (i + 1 == number ? value : lines[i]) << '\n';
    out.close();
    return ReadSpherePoints("points.txt", nullptr, &status);
  };
  for (const char* bad : {"inf", "-inf", "nan", "1e39", "1e400", "1000.5"}) {
    SCOPED_TRACE(bad);
    FileStatus status;
    EXPECT_TRUE(read(200, bad, status).empty());
    EXPECT_EQ(status.problem, FileProblem::kFormat);
    EXPECT_EQ(status.line, 200);
  }
  FileStatus status;
  EXPECT_TRUE(read(1, "99999999999", status).empty());  // the count
  EXPECT_EQ(status.line, 1);
  const auto points = read(200, "-999", status);  // off the sphere, but finite: sampled as before
  ASSERT_EQ(points.size(), 92u);
  EXPECT_TRUE(status.ok());
  EXPECT_EQ(points[(200 - 2) / 3][(200 - 2) % 3], -999.0f);
  // The pass says which file and line it refused.
  const std::string folder = scratch.path().string();
  read(7, "nan", status);
  std::filesystem::create_directories(folder + "/Sphere_Points");
  std::filesystem::copy_file("points.txt", folder + SpherePointFile(0));
  Protein protein = test::LoadedProtein("1CRN.pdb", false);
  RecordingFeedback feedback;
  EXPECT_FALSE(CalculateSASA(protein, 0, folder, feedback));
  ASSERT_EQ(feedback.messages.size(), 1u);
  EXPECT_EQ(feedback.messages[0],
            "Error: format error in " + folder + SpherePointFile(0) +
                " on line 7: the coordinate is not a number from -1000 to 1000. Surface "
                "areas were not calculated.");
}

}  // namespace
}  // namespace tessmol
