#!/usr/bin/env bash
# Installs the Debian packages Tessmol needs to build, test and benchmark.
# Does nothing when they are all present; otherwise runs apt-get (as root, or via sudo).
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev
  zlib1g-dev gemmi-dev tao-pegtl-dev nlohmann-json3-dev python3-jsonschema
  freesasa gemmi dssp
  snakemake slurm-wlm munge poppler-utils
  toppred emboss
  qt6-base-dev xvfb xauth fonts-dejavu-core
  clang clang-format
  pybind11-dev python3-dev python3-numpy python3-pytest python3-pandas python3-matplotlib
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >&2
