#include "cli/membrane.h"

#include <iostream>
#include <memory>

#include "base/text.h"
#include "cli/chart_png.h"
#include "cli/common.h"
#include "cli/run_outputs.h"
#include "document/bfactor_output.h"
#include "document/json_output.h"
#include "document/report.h"
#include "scoring/residue_scores.h"
#include "transmembrane/membrane_slab.h"

namespace tessmol::cli {

namespace {

struct MembraneArgs {
  std::vector<std::string> files;
  AnalysisOptions options;
  std::string write;
  std::string format = "text";
};

int Run(const MembraneArgs& args) {
  AnalysisOptions options = args.options;
  const bool json = args.format == "json";
  // The placement never counts heteroatoms (the document's one rule); analysing without
  // them spares it a second surface-area pass. JSON gives the structure's scores too,
  // which are analyse's: those count the heteroatoms as analyse does.
  if (!json) options.settings.ignoreHeteroAtoms = true;
  // The planes are PDB records (OPM's form): a name that promises mmCIF or gzip would hold
  // text no reader of that format takes.
  for (const char* suffix : {".cif", ".mmcif", ".gz", ".bcif"}) {
    if (EndsWithAnyCase(args.write, suffix)) {
      std::cerr << "Error: --write " << args.write
                << ": the planes are written as PDB; give a name ending in .pdb\n";
      return 2;
    }
  }
  std::vector<std::string> inputs = args.files;
  inputs.push_back(args.options.scoreTable);
  for (const std::string& refused :
       {RefuseOutputOptions({{"--write", args.write}}, args.files),
        RefuseRunFiles({{"--log", args.options.logPath}}, {{"--write", args.write}}, inputs)}) {
    if (!refused.empty()) {
      std::cerr << refused << '\n';
      return 2;
    }
  }
  Session session(options);
  if (session.status() != 0) return session.status();
  CTessmolDoc& doc = session.doc();
  int status = 0;
  nlohmann::json structures = nlohmann::json::array(), failures = nlohmann::json::array();
  RunOutputs outputs(args.files);
  for (size_t f = 0; f < args.files.size(); ++f) {
    const std::string& path = args.files[f];
    Protein protein;
    FileStatus file;
    const CTessmolDoc::OpenResult opened = doc.AnalyseFile(path, protein, &file);
    if (!Analysed(opened, path, file, false)) {
      failures.push_back(FailureJson(path, static_cast<int>(f), FailureText(opened, file)));
      status = 1;
      continue;
    }
    WarnMissingMainChain(protein, path);
    const std::vector<MembranePlacement> placements = doc.PlaceMembranes(protein);
    if (json) {
      // Scores and segments as analyse --spanner3d --method slab gives them: the residues in
      // the placed slab are transmembrane, and score as such.
      protein.membranes = placements;
      protein.transmembrane = SlabResult(protein.structure, placements);
      SumScores(protein.transmembrane, protein.scores);
      structures.push_back(StructureJson(protein, nullptr, false));
    } else {
      if (f > 0) std::cout << '\n';
      std::cout << "Structure: " << protein.fileName << '\n';
      std::vector<std::string> lines = MembraneReport(protein.structure, placements);
      if (!lines.empty()) lines.erase(lines.begin());  // the empty line that parts it from a summary
      for (const std::string& line : lines) std::cout << line << '\n';
      std::cout.flush();
    }
    if (!args.write.empty()) {
      // No placement is an answer (a soluble protein), not a failure; but the file asked
      // for is not there, and a script must be told so.
      bool placed = false;
      for (const MembranePlacement& m : placements) placed = placed || m.placed;
      // The name is the structure's whether written or not: a later one of the same name
      // never takes it.
      const std::string out = outputs.PathFor(args.write, path, args.files.size() > 1);
      // Which file holds this structure's planes (null in JSON: none), since two inputs of
      // one name get different files.
      const auto wrote = [&](const std::string* file) {
        if (json) {
          structures.back()["planes_file"] = file != nullptr ? nlohmann::json(*file) : nlohmann::json();
        } else if (file != nullptr) {
          std::cout << "Planes written to " << *file << '\n';
        }
      };
      if (!placed) {
        std::cerr << "Note: no membrane placement found for " << path << "; nothing written to " << out
                  << '\n';
        wrote(nullptr);
        continue;
      }
      FileStatus written = outputs.CheckNotInput(out);
      if (written)
        written = WriteMembraneIntoSource(protein, placements, path, out,
                                          MebibytesToBytes(args.options.settings.maxUnpackedMiB));
      if (!written) {
        std::cerr << written.Describe() << '\n';
        // In the JSON too, so that a script reading it alone sees the run failed.
        failures.push_back(FailureJson(path, static_cast<int>(f), written.Describe()));
        status = 1;
      }
      wrote(written ? &out : nullptr);
    }
  }
  if (json) PrintJson("membrane", structures, {}, failures.empty() ? nlohmann::json() : failures);
  return status;
}

}  // namespace

void SetupMembrane(CLI::App& app, int& status) {
  auto args = std::make_shared<MembraneArgs>();
  CLI::App* membrane = app.add_subcommand(
      "membrane",
      "Place the lipid bilayer on structures: normal, centre, half-thickness and the segments inside. "
      "Heteroatoms (waters, lipids, ligands) take no part, as in analyse --spanner3d; nor do a predicted "
      "model's residues of confidence (pLDDT) below 50. Chains that cannot share one membrane (crystal "
      "copies lying apart or antiparallel) each get a placement of their own");
  membrane->add_option("FILE", args->files, "PDB or mmCIF structure files")->required();
  AddSecondaryStructureOption(*membrane, args->options.secondary);
  AddConfidenceOption(*membrane, args->options.confidence);
  AddFormatOption(*membrane, args->format);
  AddMaxUnpackedOption(*membrane, args->options.settings.maxUnpackedMiB);
  membrane
      ->add_option("--resolution", args->options.settings.sasaResolution,
                   "Sphere points per atom: 0 = 92, 1 = 162, 2 = 252, 3 = 392, 4 = 482, 5 = 1002, 6 = 2562")
      ->capture_default_str();
  membrane->add_option("--threads", args->options.settings.threads, "Threads (0: one per core)")
      ->capture_default_str();
  membrane->add_option(
      "--write", args->write,
      "Also write the structure with the membrane planes as DUM pseudo-atoms (PDB, as OPM), those "
      "of every placement; with several files the structure's name is added");
  AddTableOptions(*membrane, args->options);
  membrane->callback([args, &status]() { status = Run(*args); });
}

}  // namespace tessmol::cli
