# Sourced by the bench scripts, before anything else. The shared data set (structures and
# sequences a clone does not carry) is found in the folder given as the script's first
# argument (any first argument not starting with -), else in
# TESSMOL_SHARED_DATA, else in ../shared/data beside the repository;
# `data` is set to its absolute path and the first argument, when it was the folder, is
# taken off. The script then runs from the repository's root.
#   need_data PATH...   stops the script, saying what is missing and where it looked,
#                       unless every PATH (relative to the data folder) exists.
bench_name="bench/$(basename "$0")"
if [ $# -gt 0 ] && [[ "$1" != -* ]]; then
  data="$(realpath -m "$1")"
  shift
elif [ -n "${TESSMOL_SHARED_DATA:-}" ]; then
  data="$(realpath -m "$TESSMOL_SHARED_DATA")"
else
  data="$(realpath -m "$(dirname "$0")/../../shared/data")"
fi
cd "$(dirname "$0")/.."
build="${TESSMOL_BUILD_DIR:-build}"

need_data() {
  local path missing=()
  for path in "$@"; do
    # A pattern counts when it matches something.
    compgen -G "$data/$path" >/dev/null || missing+=("$path")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  {
    echo "$bench_name: the shared data set is not in $data (missing: ${missing[*]})."
    echo "Give its folder as the first argument or in TESSMOL_SHARED_DATA (default ../shared/data"
    echo "beside the repository)."
  } >&2
  exit 2
}

# A scratch folder removed on exit, in `tmp`, with GroEL-GroES unpacked into it as
# $tmp/1AON.pdb when the script asks for it: with_scratch [1AON].
with_scratch() {
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' EXIT
  if [ "${1:-}" = 1AON ]; then gunzip -c "$data/pdb/large/1AON.pdb.gz" >"$tmp/1AON.pdb"; fi
}
