#!/usr/bin/env python3
"""Scores the shared membrane structures, lists them as a table, and plots the KAVELIN
(membrane) and Profiles-3D (solvent) profiles of one of them along its sequence, with its
predicted transmembrane helices shaded, to a PNG.

    PYTHONPATH=build/python python3 examples/membrane_profiles.py [DATA_FOLDER] [--show NAME] [--out FILE.png]

DATA_FOLDER is the shared data set (default: $TESSMOL_SHARED_DATA, else ../shared/data beside
the repository); without it, the bundled rhodopsin is used alone.
"""
import argparse
import glob
import os

import matplotlib

matplotlib.use("Agg")  # a file, no window
import matplotlib.pyplot as plt
import pandas

import tessmol

here = os.path.dirname(os.path.abspath(__file__))
parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
parser.add_argument("data", nargs="?", default=os.environ.get("TESSMOL_SHARED_DATA", os.path.join(here, "..", "..", "shared", "data")))
parser.add_argument("--show", default="1U19", help="the structure whose profiles are drawn")
parser.add_argument("--out", default="membrane_profiles.png")
parser.add_argument("--window", type=int, default=11, help="residues in the moving average")
args = parser.parse_args()

paths = sorted(glob.glob(os.path.join(args.data, "pdb", "membrane_alpha", "*.pdb")) +
               glob.glob(os.path.join(args.data, "pdb", "membrane_beta", "*.pdb")))
if not paths:
    paths = [os.path.join(here, "..", "tests", "data", "1U19.pdb")]

# One row per structure; files that cannot be analysed are listed with why.
rows, shown = [], None
for item in tessmol.analyse_many(paths, jobs=2, errors="record", spanner3d="segments"):
    if isinstance(item, tessmol.Failure):
        rows.append({"structure": os.path.basename(item.path), "problem": item.message})
        continue
    rows.append({"structure": item.file, "residues": len(item.residues), "average": item.average_score,
                 "expected": item.expected_score, "compatible": item.average_score >= item.compatible_score,
                 "TM helices": len(item.domains)})
    # Only the one to draw is kept: the first, until the one asked for comes.
    if shown is None or (item.file.startswith(args.show) and not shown.file.startswith(args.show)):
        shown = item
print(pandas.DataFrame(rows).to_string(index=False))

frame = shown.to_pandas()
array = shown.residues.to_numpy()
fig, axes = plt.subplots(len(shown.chains), 1, figsize=(12, 3.2 * len(shown.chains)), squeeze=False)
for ax, chain in zip(axes[:, 0], shown.chains):
    part = frame[frame["Chain"] == chain.name]
    numbers = part["No."]
    for column, label, colour in (("KAVELIN Score", "KAVELIN", "tab:orange"), ("Solvent Score", "Profiles-3D", "tab:blue")):
        ax.plot(numbers, part[column].rolling(args.window, center=True, min_periods=1).mean(), label=label, color=colour)
    for domain in shown.domains:
        if domain.chain == chain.name:
            ax.axvspan(domain.first_number, domain.last_number, color="grey", alpha=0.2)
    ax.axhline(0, color="black", linewidth=0.5)
    ax.set_title(f"{shown.file} chain {chain.name}: {args.window}-residue averages, "
                 f"{sum(array['transmembrane'][chain.first_index:chain.last_index + 1])} residues in membrane")
    ax.set_xlabel("residue number")
    ax.set_ylabel("score")
    ax.legend(loc="upper right")
fig.tight_layout()
fig.savefig(args.out, dpi=100)
print(f"profiles of {shown.file}: {args.out}")
