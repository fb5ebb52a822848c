// The command-line program as a user runs it.
#include <gtest/gtest.h>

#include "test_support.h"

namespace tessmol {
namespace {

std::string Cli(const std::string& args) { return std::string(TESSMOL_CLI) + " " + args; }

TEST(CliRead, DescribesTheBundledRhodopsin) {
  const auto result = test::RunCommand(Cli("read " + test::DataPath("1U19.pdb")));
  ASSERT_EQ(result.status, 0);
  const std::string& out = result.out;
  EXPECT_NE(out.find("Read as NMR: no"), std::string::npos);
  EXPECT_NE(out.find("Chains: 2"), std::string::npos);
  EXPECT_NE(out.find("chain A: residues 1-348"), std::string::npos) << out;
  EXPECT_NE(out.find("Atoms: 5492"), std::string::npos);
  EXPECT_NE(out.find("Heteroatoms: 456"), std::string::npos);
  EXPECT_NE(out.find("Helices: 29"), std::string::npos);
  EXPECT_NE(out.find("Sheets: 8"), std::string::npos);
  EXPECT_NE(out.find("Bounding box: x ["), std::string::npos);
}

TEST(CliRead, BadFilesAreNamedAndTheOthersStillRead) {
  const std::string missing = test::DataPath("missing.pdb");
  const auto result = test::RunCommand(Cli("read " + missing + " " + test::DataPath("1CRN.pdb") + " 2>&1"));
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.out.find(missing), std::string::npos);
  EXPECT_NE(result.out.find("Atoms: 327"), std::string::npos);
  const auto empty = test::RunCommand(Cli("read " + test::DataPath("biopython_header.pdb") + " 2>&1"));
  EXPECT_EQ(empty.status, 1);
  EXPECT_NE(empty.out.find("no atoms"), std::string::npos);
}

TEST(CliRead, BadUsageExitsWithTwo) {
  EXPECT_EQ(test::RunCommand(Cli("read 2>/dev/null")).status, 2);
  EXPECT_EQ(test::RunCommand(Cli("frobnicate 2>/dev/null")).status, 2);
  EXPECT_EQ(test::RunCommand(Cli("--help >/dev/null")).status, 0);
}

}  // namespace
}  // namespace tessmol
