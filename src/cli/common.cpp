#include "cli/common.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

#include "model/pdb_reader.h"
#include "model/program_folder.h"
#include "surface/het_radii_file.h"

namespace tessmol::cli {

TerminalFeedback::TerminalFeedback() : terminal_(isatty(STDERR_FILENO) != 0) {}

void TerminalFeedback::ShowMessage(const std::string& text) {
  if (terminal_ && percent_ >= 0) std::cerr << "\r\033[K";
  std::cerr << text << '\n';
}

void TerminalFeedback::BeginProgress(const std::string& text) {
  text_ = text;
  percent_ = -1;
  SetProgress(0);
}

void TerminalFeedback::SetProgress(int percent) {
  if (!terminal_ || percent == percent_) return;
  percent_ = percent;
  std::cerr << "\r\033[K" << text_ << ' ' << percent << '%' << std::flush;
}

void TerminalFeedback::EndProgress() {
  if (terminal_ && percent_ >= 0) std::cerr << "\r\033[K" << std::flush;
  percent_ = -1;
}

Session::Session() : programFolder(ExecutableFolder()) {
  LoadHetAtomRadii(programFolder + kHetRadiiFile, hetRadii, feedback);
}

ReadResult ReadStructure(const std::string& path, const HetAtomRadii& hetRadii) {
  ReadResult result;
  PdbReader reader(hetRadii);
  if (!reader.Open(path)) {
    result.error = "Error: cannot read " + path;
    return result;
  }
  reader.Read();
  reader.Close();
  result.isNMR = reader.isNMR();
  result.modelsSkipped = reader.modelsSkipped();
  if (reader.structure().atoms.empty()) {
    result.error = "Error: no atoms in " + path;
    return result;
  }
  Protein protein;
  protein.structure = std::move(reader.structure());
  protein.fileName = std::filesystem::path(path).filename().string();
  result.protein = std::move(protein);
  return result;
}

}  // namespace tessmol::cli
