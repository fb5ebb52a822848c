// What the command-line tests share: the program's command line, and a scratch folder to
// run in, since the program writes result files to the current folder.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "test_support.h"

namespace tessmol::test {

inline std::string Cli(const std::string& args) {
  return std::string(TESSMOL_CLI) + " " + args;
}

// A file's whole content, as bytes (empty when it cannot be read).
inline std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

class ScratchEnvironment : public testing::Environment {
 public:
  void SetUp() override { scratch_ = std::make_unique<ScratchFolder>(); }
  void TearDown() override { scratch_.reset(); }

 private:
  std::unique_ptr<ScratchFolder> scratch_;
};

}  // namespace tessmol::test
