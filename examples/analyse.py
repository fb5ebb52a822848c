#!/usr/bin/env python3
"""Rhodopsin (1U19) from Python: the protein summary, the scores against the expected ones,
and the first residues as a pandas DataFrame.

    PYTHONPATH=build/python python3 examples/analyse.py [STRUCTURE]
"""
import os
import sys

import tessmol

here = os.path.dirname(os.path.abspath(__file__))
path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "tests", "data", "1U19.pdb")

s = tessmol.analyse(path, spanner3d=True)  # the default method, as tessmol-cli analyse --spanner3d
print(s.summary())
print(f"Expected score {s.expected_score:.2f}, compatible above {s.compatible_score:.2f} "
      f"({s.score_table}, Tessmol {s.version})")
for chain in s.chains:
    print(f"Chain {chain.name}: residues {chain.first_number} to {chain.last_number}")
print()
try:
    import pandas
except ImportError:
    print("(pandas is not installed: the first residues as records)")
    for residue in s.residues[:10]:
        print(residue)
else:
    pandas.set_option("display.width", 200)
    print(s.to_pandas().head(10).to_string(index=False))
