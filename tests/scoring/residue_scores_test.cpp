#include "scoring/residue_scores.h"

#include <gtest/gtest.h>

namespace tessmol {
namespace {

TEST(Environment, ClassBoundaries) {
  // Exposed below 40, partly buried below 114, buried from 114 on; the limits belong
  // to the more buried class.
  EXPECT_EQ(ClassifyEnvironment(39.99f, 0.5f, SecondaryStructure::kCoil), 17);   // E
  EXPECT_EQ(ClassifyEnvironment(40.0f, 0.5f, SecondaryStructure::kCoil), 11);    // P1
  EXPECT_EQ(ClassifyEnvironment(113.99f, 0.5f, SecondaryStructure::kCoil), 11);  // P1
  EXPECT_EQ(ClassifyEnvironment(114.0f, 0.2f, SecondaryStructure::kCoil), 2);    // B1
  EXPECT_EQ(ClassifyEnvironment(114.0f, 0.449f, SecondaryStructure::kCoil), 2);  // B1
  EXPECT_EQ(ClassifyEnvironment(114.0f, 0.45f, SecondaryStructure::kCoil), 5);   // B2
  EXPECT_EQ(ClassifyEnvironment(200.0f, 0.579f, SecondaryStructure::kCoil), 5);  // B2
  EXPECT_EQ(ClassifyEnvironment(200.0f, 0.58f, SecondaryStructure::kCoil), 8);   // B3
  EXPECT_EQ(ClassifyEnvironment(80.0f, 0.669f, SecondaryStructure::kCoil), 11);  // P1
  EXPECT_EQ(ClassifyEnvironment(80.0f, 0.67f, SecondaryStructure::kCoil), 14);   // P2
  EXPECT_EQ(ClassifyEnvironment(-50.0f, 1.0f, SecondaryStructure::kCoil),
            17);  // more exposed than the reference
  // Suffixes: helix a, sheet b, anything else none.
  EXPECT_EQ(ClassifyEnvironment(10.0f, 0.5f, SecondaryStructure::kHelix), 15);          // Ea
  EXPECT_EQ(ClassifyEnvironment(10.0f, 0.5f, SecondaryStructure::kSheet), 16);          // Eb
  EXPECT_EQ(ClassifyEnvironment(10.0f, 0.5f, static_cast<SecondaryStructure>(7)), 17);  // E
  EXPECT_EQ(ClassifyEnvironment(150.0f, 0.1f, SecondaryStructure::kHelix), 0);          // B1a
  EXPECT_EQ(ClassifyEnvironment(150.0f, 0.5f, SecondaryStructure::kSheet), 4);          // B2b
  EXPECT_EQ(ClassifyEnvironment(150.0f, 0.9f, SecondaryStructure::kHelix), 6);          // B3a
  EXPECT_EQ(ClassifyEnvironment(60.0f, 0.1f, SecondaryStructure::kSheet), 10);          // P1b
  EXPECT_EQ(ClassifyEnvironment(60.0f, 0.9f, SecondaryStructure::kHelix), 12);          // P2a
  EXPECT_EQ(kEnvironmentNames[ClassifyEnvironment(60.0f, 0.9f, SecondaryStructure::kSheet)], "P2b");
}

TEST(Environment, DescriptionsSayWhatTheClassHolds) {
  // The texts checked word by word against the class table of Bowie, Luthy and Eisenberg
  // (1991) as this program draws its limits.
  EXPECT_EQ(EnvironmentDescription(0),
            "B1a: buried (114 \u00c5\u00b2 or more of side chain buried), polar fraction below 0.45, helix");
  EXPECT_EQ(EnvironmentDescription(4),
            "B2b: buried (114 \u00c5\u00b2 or more of side chain buried), polar fraction 0.45 to below "
            "0.58, sheet");
  EXPECT_EQ(EnvironmentDescription(8),
            "B3: buried (114 \u00c5\u00b2 or more of side chain buried), polar fraction 0.58 or more, "
            "neither helix nor sheet");
  EXPECT_EQ(EnvironmentDescription(13),
            "P2b: partly buried (40 to below 114 \u00c5\u00b2 of side chain buried), polar fraction 0.67 or "
            "more, sheet");
  EXPECT_EQ(EnvironmentDescription(15),
            "Ea: exposed (less than 40 \u00c5\u00b2 of side chain buried), helix");
  // KAVELIN's class of a residue of no standard type, and a code nothing gives.
  EXPECT_EQ(EnvironmentName(kNoEnvironment), "none");
  EXPECT_EQ(EnvironmentName(-1), "none");
  EXPECT_EQ(EnvironmentDescription(kNoEnvironment).rfind("none: not one of the 20 standard", 0), 0u);
  // Every class: its description's burial word is the one its letter stands for.
  for (int32_t code = 0; code < kEnvironmentCount; ++code) {
    const std::string text = EnvironmentDescription(code);
    const std::string word = code < 9 ? ": buried" : code < 15 ? ": partly buried" : ": exposed";
    EXPECT_NE(text.find(word), std::string::npos) << text;
  }
}

Protein OneResidue(const std::string& name, SecondaryStructure secStruct, float areaBuried,
                   float fractionPolar, float kavelinFP) {
  Protein p;
  Residue r(name, 1, 'A');
  r.type = ResidueTypeOf(name);
  r.secStruct = secStruct;
  p.structure.residues.push_back(r);
  ResidueSurface surface;
  surface.areaBuried = areaBuried;
  surface.fractionPolar = fractionPolar;
  surface.kavelinFP = kavelinFP;
  p.surface.residues.push_back(surface);
  p.transmembrane.residues.emplace_back();
  return p;
}

TEST(Environment, KavelinClassesTreatTheSideChainAsBuried) {
  const ScoreValues& table = BuiltInScores();
  // A LEU in a sheet with kavelinFP 0.3 is B1b whatever its own burial.
  Protein leu = OneResidue("LEU", SecondaryStructure::kSheet, 5.0f, 0.9f, 0.3f);
  leu.scores = ScoreResidues(leu.structure, leu.surface, table);
  const ResidueScore& l = leu.scores.residues[0];
  EXPECT_EQ(l.profEnv, 16);  // Eb by its own burial
  EXPECT_EQ(l.kavelinEnv, 1);
  EXPECT_FLOAT_EQ(l.solventScore, table[16 * 20 + kLeu]);
  EXPECT_FLOAT_EQ(l.kavelinScore, 1.07f);  // B1b LEU in the published table
  // An ALA with kavelinFP 0.7 and no secondary structure is P2.
  Protein ala = OneResidue("ALA", SecondaryStructure::kCoil, 50.0f, 0.2f, 0.7f);
  ala.scores = ScoreResidues(ala.structure, ala.surface, table);
  EXPECT_EQ(ala.scores.residues[0].kavelinEnv, 14);
  EXPECT_EQ(ala.scores.residues[0].profEnv, 11);
}

TEST(Environment, UnknownResiduesScoreZero) {
  Protein unk = OneResidue("UNK", SecondaryStructure::kHelix, 0.0f, 0.0f, 0.0f);
  unk.scores = ScoreResidues(unk.structure, unk.surface, BuiltInScores());
  const ResidueScore& r = unk.scores.residues[0];
  EXPECT_EQ(r.kavelinEnv, 18);
  EXPECT_EQ(r.profEnv, 15);
  EXPECT_EQ(r.solventScore, 0.0f);
  EXPECT_EQ(r.kavelinScore, 0.0f);
  SumScores(unk.transmembrane, unk.scores);
  EXPECT_EQ(unk.scores.averageScore, 0.0f);
}

TEST(Environment, TransmembraneFlagsSelectTheKavelinScore) {
  Protein p = OneResidue("SER", SecondaryStructure::kHelix, 10.0f, 0.9f, 0.5f);
  p.scores = ScoreResidues(p.structure, p.surface, BuiltInScores());
  p.transmembrane.residues[0].transmembrane = true;
  SumScores(p.transmembrane, p.scores);
  const ResidueScore& ser = p.scores.residues[0];
  EXPECT_EQ(ser.overallScore, ser.kavelinScore);
  EXPECT_EQ(p.scores.averageScore, ser.kavelinScore);
}

}  // namespace
}  // namespace tessmol
