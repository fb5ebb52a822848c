// What every sub-command of tessmol-cli shares: the program's data, the way it talks to
// the user, and reading a structure file.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>

#include "model/feedback.h"
#include "model/het_atom_radii.h"
#include "model/protein.h"

namespace tessmol::cli {

// Messages go to stderr; progress is a self-erasing line, shown only on a terminal.
class TerminalFeedback : public Feedback {
 public:
  TerminalFeedback();
  void ShowMessage(const std::string& text) override;
  void BeginProgress(const std::string& text) override;
  void SetProgress(int percent) override;
  void EndProgress() override;

 private:
  bool terminal_;
  std::string text_;
  int percent_ = -1;
};

struct Session {
  Session();
  std::string programFolder;
  HetAtomRadii hetRadii;
  TerminalFeedback feedback;
};

// Reads a PDB file; an error message that names the file when it cannot be read or
// holds no atom.
struct ReadResult {
  std::optional<Protein> protein;
  bool isNMR = false;
  bool modelsSkipped = false;
  std::string error;
};
ReadResult ReadStructure(const std::string& path, const HetAtomRadii& hetRadii);

}  // namespace tessmol::cli
