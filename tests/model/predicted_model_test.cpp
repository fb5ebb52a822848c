// Predicted models: recognised by what their files say, never guessed from B-factors; their
// pLDDT read residue by residue as gemmi reads it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "base/gzip.h"
#include "base/text.h"
#include "model/secondary_structure.h"
#include "model/structure_file.h"
#include "test_support.h"

namespace tessmol {
namespace {

using test::DataPath;

const char* kAlphaFoldPdb = "predicted/AF-P76011-F1-model_v4.pdb.gz";
const char* kAlphaFoldCif = "predicted/AF-P76011-F1-model_v4.cif.gz";
const char* kNoHeader = "predicted/P76011_no_header.pdb";

StructureFile Read(const std::string& name, ConfidenceSource source = ConfidenceSource::kHeader) {
  StructureFile file = ReadStructure(DataPath(name), test::StandardHetRadii(),
                                     MebibytesToBytes(kDefaultMaxUnpackedMiB), source);
  EXPECT_TRUE(file.status.ok()) << file.status.Describe();
  return file;
}

double Mean(const std::vector<float>& values) {
  double sum = 0.0;
  for (float v : values) sum += v;
  return values.empty() ? 0.0 : sum / static_cast<double>(values.size());
}

// The last value of each line of `gemmi grep -a` output ("seq;atom;value" or "seq;value"),
// of the lines whose atom is `atom` when one is given.
std::vector<float> GrepValues(const std::string& out, const std::string& atom) {
  std::vector<float> values;
  std::istringstream lines(out);
  for (std::string line; std::getline(lines, line);) {
    const size_t last = line.rfind(';');
    if (last == std::string::npos) continue;
    if (!atom.empty() && line.find(";" + atom + ";") == std::string::npos) continue;
    values.push_back(std::stof(line.substr(last + 1)));
  }
  return values;
}

TEST(PredictedModels, AlphaFoldPdbAndModelCifAreRecognised) {
  for (const char* name : {kAlphaFoldPdb, kAlphaFoldCif}) {
    SCOPED_TRACE(name);
    const StructureFile file = Read(name);
    const Structure& s = file.structure;
    ASSERT_EQ(s.residues.size(), 84u);
    ASSERT_EQ(s.confidence.size(), 84u);
    // The shared data set's manifest: mean CA pLDDT 77.32, 1.2 % (one residue) below 50.
    EXPECT_NEAR(Mean(s.confidence), 77.32, 0.005);
    EXPECT_EQ(std::count_if(s.confidence.begin(), s.confidence.end(), [](float v) { return v < 50.0f; }), 1);
    EXPECT_FALSE(file.plddtScaled);
  }
  EXPECT_EQ(Read(kAlphaFoldPdb).structure.modelSource, "AlphaFold monomer v2.0");
  EXPECT_EQ(Read(kAlphaFoldCif).structure.modelSource, "AlphaFold Monomer v2.0");
}

// pLDDT as gemmi reads the files: the CA's B-factor of the PDB file, and ModelCIF's local
// metric of each residue.
TEST(PredictedModels, PlddtIsTheFilesValueResidueByResidue) {
  ASSERT_TRUE(test::ToolInstalled("gemmi", "gemmi"));
  char cif[] = "/tmp/tessmol_plddt_XXXXXX";
  const int fd = ::mkstemp(cif);
  ASSERT_GE(fd, 0);
  ::close(fd);
  const std::string cifPath = std::string(cif) + ".cif";
  const test::CommandResult converted =
      test::RunCommand("gemmi convert --to=mmcif " + DataPath(kAlphaFoldPdb) + " " + cifPath);
  ASSERT_EQ(converted.status, 0) << converted.err;
  const test::CommandResult atoms = test::RunCommand(
      "gemmi grep -b -a _atom_site.label_atom_id -a _atom_site.B_iso_or_equiv _atom_site.auth_seq_id " +
      cifPath);
  std::remove(cifPath.c_str());
  std::remove(cif);
  const std::vector<float> fromPdb = GrepValues(atoms.out, "CA");
  const test::CommandResult local =
      test::RunCommand("gemmi grep -b -a _ma_qa_metric_local.metric_value _ma_qa_metric_local.label_seq_id " +
                       DataPath(kAlphaFoldCif));
  const std::vector<float> fromCif = GrepValues(local.out, "");
  ASSERT_EQ(fromPdb.size(), 84u);
  ASSERT_EQ(fromCif.size(), 84u);
  const std::vector<float> pdb = Read(kAlphaFoldPdb).structure.confidence;
  const std::vector<float> mmcif = Read(kAlphaFoldCif).structure.confidence;
  // gemmi's whole-file path, which takes the files our own atom loop reader declines,
  // labels the residues as that reader does.
  std::string text;
  ASSERT_TRUE(ReadFileText(DataPath(kAlphaFoldCif), text).ok());
  StructureBuilder fast(test::StandardHetRadii()), whole(test::StandardHetRadii());
  bool nmr = false;
  ASSERT_TRUE(ReadMmcif(text, "model.cif", fast, nmr, true).ok());
  ASSERT_TRUE(ReadMmcif(text, "model.cif", whole, nmr, false).ok());
  fast.Finish();
  whole.Finish();
  ASSERT_EQ(fast.residueLabels().size(), 84u);
  EXPECT_EQ(fast.residueLabels(), whole.residueLabels());
  EXPECT_EQ(fast.residueBFactors(), whole.residueBFactors());
  EXPECT_EQ(fast.evidence().localScores, whole.evidence().localScores);
  ASSERT_EQ(pdb.size(), 84u);
  ASSERT_EQ(mmcif.size(), 84u);
  for (size_t k = 0; k < 84; ++k) {
    EXPECT_FLOAT_EQ(pdb[k], fromPdb[k]) << k;
    EXPECT_FLOAT_EQ(mmcif[k], fromCif[k]) << k;
  }
}

TEST(PredictedModels, ModelCifsLocalScoresAreReadNotItsBFactors) {
  // Where a ModelCIF file's _ma_qa_metric_local and its B-factor column disagree, the local
  // metric is the confidence: here each local value is halved and the B-factors are left.
  // (The metric table names pLDDT as "pLDDT"; it was compared with a case-blind match that
  // wants its second argument in lower case, and so the B-factors were read instead.)
  std::string text;
  ASSERT_TRUE(ReadFileText(DataPath(kAlphaFoldCif), text).ok());
  const std::vector<float> before =
      ReadStructureText(text, "model.cif", test::StandardHetRadii()).structure.confidence;
  ASSERT_EQ(before.size(), 84u);
  std::istringstream in(text);
  std::ostringstream out;
  std::vector<std::string> tags;
  bool rows = false;
  int halved = 0;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("_ma_qa_metric_local.", 0) == 0) {
      tags.push_back(line.substr(0, line.find_last_not_of(" \t\r") + 1));
      rows = true;
    } else if (rows && !line.empty() && line[0] != '#' && line[0] != '_' && line.rfind("loop_", 0) != 0) {
      std::istringstream fields(line);
      std::vector<std::string> f;
      for (std::string v; fields >> v;) f.push_back(v);
      const size_t value =
          std::find(tags.begin(), tags.end(), "_ma_qa_metric_local.metric_value") - tags.begin();
      ASSERT_EQ(f.size(), tags.size()) << line;
      f[value] = std::to_string(std::stod(f[value]) / 2);
      line.clear();
      for (const std::string& v : f) line += v + " ";
      ++halved;
    } else {
      rows = false;
    }
    out << line << '\n';
  }
  ASSERT_EQ(halved, 84);
  const StructureFile file = ReadStructureText(out.str(), "model.cif", test::StandardHetRadii());
  ASSERT_TRUE(file.status.ok()) << file.status.Describe();
  ASSERT_EQ(file.structure.confidence.size(), 84u);
  for (size_t k = 0; k < 84; ++k) EXPECT_NEAR(file.structure.confidence[k], before[k] / 2, 0.01) << k;
}

// A value beyond 0 to 100 is no pLDDT (found by fuzzing: a "model" with a B-factor of 233
// was written to a result file that could not be read back). Such a file has no confidence.
TEST(PredictedModels, ValuesBeyondAHundredAreNoConfidence) {
  std::string text;
  ASSERT_TRUE(ReadFileText(DataPath(kAlphaFoldPdb), text).ok());
  // The first residue's alpha carbon, whose B-factor stands for the residue.
  const size_t atom = text.find("\nATOM      2  CA ");
  ASSERT_NE(atom, std::string::npos);
  text.replace(atom + 1 + 60, 6, "233.00");
  const StructureFile damaged = ReadStructureText(text, "damaged.pdb", test::StandardHetRadii());
  ASSERT_TRUE(damaged.status.ok());
  EXPECT_FALSE(Read(kAlphaFoldPdb).structure.confidence.empty());
  EXPECT_TRUE(damaged.structure.confidence.empty());
  EXPECT_TRUE(damaged.structure.modelSource.empty());
  // Nor is a field that holds no number (stars where a value overflowed it, blanks): it
  // read as pLDDT 0, so that a model's well-predicted helix was left out as disordered.
  for (const char* field : {"******", "      ", " abcd "}) {
    std::string other;
    ASSERT_TRUE(ReadFileText(DataPath(kAlphaFoldPdb), other).ok());
    other.replace(atom + 1 + 60, 6, field);
    const StructureFile refused = ReadStructureText(other, "stars.pdb", test::StandardHetRadii());
    ASSERT_TRUE(refused.status.ok());
    EXPECT_TRUE(refused.structure.confidence.empty()) << field;
    EXPECT_EQ(ConfidenceRefusedReason(refused), "a value read as pLDDT is no number");
    EXPECT_EQ(ConfidenceRefusedWarning(refused, "stars.pdb"),
              "Warning: a value read as pLDDT from stars.pdb is no number: stars.pdb is analysed as an "
              "experimental structure, without confidence");
  }
}

TEST(PredictedModels, AHeaderlessFileIsAModelOnlyWhenTheUserSaysSo) {
  EXPECT_TRUE(Read(kNoHeader).structure.confidence.empty());
  const StructureFile told = Read(kNoHeader, ConfidenceSource::kBFactors);
  EXPECT_EQ(told.structure.confidence, Read(kAlphaFoldPdb).structure.confidence);
  EXPECT_EQ(told.structure.modelSource, "B-factors as pLDDT");
  // ESMFold writes pLDDT from 0 to 1: the same file so written reads as 0 to 100.
  std::string text;
  ASSERT_TRUE(ReadFileText(DataPath(kNoHeader), text).ok());
  std::string scaled;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("ATOM", 0) == 0) {
      char field[8];
      std::snprintf(field, sizeof field, "%6.4f", ParseFloat(line.substr(60, 6)) / 100.0f);
      line.replace(60, 6, field);
    }
    scaled += line + '\n';
  }
  const StructureFile fraction =
      ReadStructureText(scaled, "esmfold.pdb", test::StandardHetRadii(), ConfidenceSource::kBFactors);
  ASSERT_TRUE(fraction.status.ok());
  EXPECT_TRUE(fraction.plddtScaled);
  ASSERT_EQ(fraction.structure.confidence.size(), 84u);
  for (size_t k = 0; k < 84; ++k)
    EXPECT_NEAR(fraction.structure.confidence[k], told.structure.confidence[k], 0.01f);
}

TEST(PredictedModels, ExperimentalStructuresAreNeverModels) {
  // Not even when the user asks for B-factors as pLDDT over a list that mixes models with
  // them: the file's experiment is what it keeps instead.
  const std::pair<const char*, const char*> experiments[] = {
      {"1U19.pdb", "X-RAY DIFFRACTION"},
      {"1CRN.pdb", "X-RAY DIFFRACTION"},
      {"1D3Z.pdb", "SOLUTION NMR"},
      {"mmcif/1CRN.cif", "X-RAY DIFFRACTION"},
      {"mmcif/4HHB.cif.gz", "X-RAY DIFFRACTION"},
      // Membrane-frame copies lost EXPDTA; their
      // experiment's remarks stay.
      {"1U19_tr.pdb", "X-RAY DIFFRACTION, by its REMARK 200"},
      {"1AFO_tr.pdb", "NMR, by its REMARK 210"}};
  for (const auto& [name, experiment] : experiments) {
    SCOPED_TRACE(name);
    const StructureFile file = Read(name);
    EXPECT_TRUE(file.structure.confidence.empty());
    EXPECT_TRUE(file.structure.modelSource.empty());
    EXPECT_TRUE(file.confidenceExperiment.empty());
    const StructureFile asked = Read(name, ConfidenceSource::kBFactors);
    EXPECT_TRUE(asked.structure.confidence.empty());
    EXPECT_EQ(asked.confidenceExperiment, experiment);
    EXPECT_NE(ConfidenceRefusedWarning(asked, "x").find("(" + std::string(experiment) + ")"),
              std::string::npos);
  }
  // Crystal structures name AlphaFold too (a search model, a title): their EXPDTA says
  // they were measured.
  std::string text;
  ASSERT_TRUE(ReadFileText(DataPath("1CRN.pdb"), text).ok());
  const std::string named =
      "TITLE     COMPARED WITH AN ALPHAFOLD PREDICTION\n"
      "REMARK 200 STARTING MODEL: ALPHAFOLD\n" +
      text;
  EXPECT_TRUE(ReadStructureText(named, "1CRN.pdb", test::StandardHetRadii()).structure.confidence.empty());
  // Without EXPDTA, the remarks on the experiment (REMARK 200) still say it was measured;
  // without both, the same title makes a model.
  std::string noExpdta, unmeasured;
  std::istringstream lines(named);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.rfind("EXPDTA", 0) == 0) continue;
    noExpdta += line + '\n';
    if (line.rfind("REMARK 200", 0) != 0) unmeasured += line + '\n';
  }
  EXPECT_TRUE(ReadStructureText(noExpdta, "x.pdb", test::StandardHetRadii()).structure.confidence.empty());
  EXPECT_EQ(ReadStructureText(unmeasured, "x.pdb", test::StandardHetRadii()).structure.confidence.size(),
            46u);
}

TEST(PredictedModels, ReadSaysWhatItFound) {
  const test::CommandResult model =
      test::RunCommand(std::string(TESSMOL_CLI) + " read " + DataPath(kAlphaFoldPdb));
  ASSERT_EQ(model.status, 0) << model.err;
  EXPECT_NE(model.out.find("predicted model (AlphaFold monomer v2.0), mean pLDDT 77.3, 1 residue below 50\n"),
            std::string::npos)
      << model.out;
  const test::CommandResult plain =
      test::RunCommand(std::string(TESSMOL_CLI) + " read " + DataPath(kNoHeader));
  EXPECT_EQ(plain.out.find("predicted model"), std::string::npos);
  const test::CommandResult told =
      test::RunCommand(std::string(TESSMOL_CLI) + " read --confidence plddt " + DataPath(kNoHeader));
  EXPECT_NE(told.out.find("predicted model (B-factors as pLDDT), mean pLDDT 77.3"), std::string::npos)
      << told.out;
}

}  // namespace
}  // namespace tessmol

namespace tessmol {
namespace {

// AF-Q9Y5P2's mmCIF types its _struct_conf rows by DSSP letter: alpha (H) 2-10, 34-38,
// 40-49 and 56-62, a 3-10 helix 100-103, polyproline II 109-111 and 119-121. Its PDB twin
// has no HELIX records, so its helices are computed; both must be DSSP's H alone.
TEST(PredictedModels, ModelCifAndPdbTwinAgreeOnTheirHelices) {
  for (const char* name :
       {"predicted/AF-Q9Y5P2-F1-model_v4.cif.gz", "predicted/AF-Q9Y5P2-F1-model_v4.pdb.gz"}) {
    SCOPED_TRACE(name);
    StructureFile file = Read(name);
    EXPECT_EQ(file.hadSecondaryStructure, std::string(name).find(".cif") != std::string::npos);
    ApplySecondaryStructure(file.structure, file.hadSecondaryStructure,
                            SecondaryStructureSource::kRecordsElseComputed);
    std::string helix;
    for (const Residue& r : file.structure.residues) {
      const bool alpha = (r.resSeq >= 2 && r.resSeq <= 10) || (r.resSeq >= 34 && r.resSeq <= 38) ||
                         (r.resSeq >= 40 && r.resSeq <= 49) || (r.resSeq >= 56 && r.resSeq <= 62);
      if ((r.secStruct == SecondaryStructure::kHelix) != alpha) helix += std::to_string(r.resSeq) + " ";
    }
    EXPECT_EQ(helix, "") << "residues typed otherwise than DSSP's H";
  }
}

// AF-P04637's mmCIF gives its strands only as STRN rows of _struct_conf (110-112 and
// 124-127 among them; 103-103 and the other one-residue rows are isolated bridges). Its PDB
// twin computes its secondary structure: the two must give every residue the same letter,
// or a model's scores would depend on the format it was downloaded in.
TEST(PredictedModels, ModelCifStrandsAreTheSameAsItsPdbTwins) {
  std::vector<std::string> letters;
  for (const char* name :
       {"predicted/AF-P04637-F1-model_v4.cif.gz", "predicted/AF-P04637-F1-model_v4.pdb.gz"}) {
    SCOPED_TRACE(name);
    StructureFile file = Read(name);
    ApplySecondaryStructure(file.structure, file.hadSecondaryStructure,
                            SecondaryStructureSource::kRecordsElseComputed);
    std::string letter;
    for (const Residue& r : file.structure.residues)
      letter += r.secStruct == SecondaryStructure::kHelix   ? 'H'
                : r.secStruct == SecondaryStructure::kSheet ? 'E'
                                                            : '-';
    ASSERT_EQ(letter.size(), 393u);
    EXPECT_EQ(letter.substr(109, 3), "EEE");
    EXPECT_EQ(letter.substr(123, 4), "EEEE");
    EXPECT_EQ(letter[102], '-');
    letters.push_back(letter);
  }
  EXPECT_EQ(letters[0], letters[1]);
}

}  // namespace
}  // namespace tessmol
