#!/usr/bin/env bash
# The coverage of the fuzz corpora: builds the fuzz targets with clang's
# source-based coverage into build-fuzz-coverage/ (the targets run under our
# own driver there, no libFuzzer and no sanitizer), replays every target's
# corpus (build-fuzz/corpus/<target>, kept by scripts/fuzz.sh), the broken-file
# folder and the target's seeds (tests/fuzz/seeds/<target>), and prints for
# every parser the target guards (the table below; for a target not in it,
# the source file of each product header it includes) the share of its lines
# and branches reached, with the functions of that file it never entered.
# Files under 90 % of their lines are marked "<90".
#
#   scripts/fuzz-coverage.sh [Target ...]      (all targets when none given)
#
# ORVALINK_FUZZ_BUILD_DIR (build-fuzz) is where the corpora are read from;
# ORVALINK_FUZZ_COVERAGE_DIR (build-fuzz-coverage) is the coverage build. The
# merged profiles and the reports stay in <coverage build>/coverage/.
# Needs clang and Debian's llvm package (llvm-profdata, llvm-cov).
set -euo pipefail
cd "$(dirname "$0")/.."
fuzz_build="${ORVALINK_FUZZ_BUILD_DIR:-build-fuzz}"
cov_build="${ORVALINK_FUZZ_COVERAGE_DIR:-build-fuzz-coverage}"

for tool in llvm-profdata llvm-cov; do
  command -v "$tool" >/dev/null 2>&1 || { echo "$tool is missing (Debian package llvm; scripts/install-deps.sh)" >&2; exit 1; }
done

launcher=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(pwd)}"
  export CCACHE_NOHASHDIR="${CCACHE_NOHASHDIR:-true}"
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
coverage_flags="-fprofile-instr-generate -fcoverage-mapping"
# Unoptimised: the quickest to compile, and every line keeps its own counter.
cmake -S . -B "$cov_build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_C_FLAGS_DEBUG=-O0 -DCMAKE_CXX_FLAGS_DEBUG=-O0 \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ -DORVALINK_FUZZ=OFF \
  "-DCMAKE_C_FLAGS=$coverage_flags" "-DCMAKE_CXX_FLAGS=$coverage_flags" \
  "-DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate" "${launcher[@]}" >/dev/null
mapfile -t all_targets < <(ninja -C "$cov_build" -t targets all | sed -n 's/^\(tests\/\)\{0,1\}\(Fuzz[A-Za-z0-9]*\): .*/\2/p' | sort -u)
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=("${all_targets[@]}")
cmake --build "$cov_build" -j"$(nproc)" --target "${targets[@]}"

# The parsers each target guards.
declare -A parsers=(
  [FuzzCodeRecords]="image/CodeRecords.cpp image/MacroRecords.cpp"
  [FuzzCodeTable]="editors/core/PreCodeTable.cpp"
  [FuzzDeviceTree]="image/DeviceTree.cpp image/KeyRecords.cpp"
  [FuzzImageRecords]="image/KeyRecords.cpp image/DeviceBundle.cpp image/BlockStore.cpp"
  [FuzzLabelLayout]="image/LabelLayout.cpp image/LcdBitmaps.cpp"
  [FuzzLearnedToStored]="image/LearnedCodes.cpp image/CodeRecords.cpp"
  [FuzzLibraryCode]="image/CodeLibrary.cpp"
  [FuzzLoadVFile]="formats/VFileArchive.cpp formats/VFileHeader.cpp formats/VFiles.cpp"
  [FuzzPacketProtocol]="link/PacketProtocol.cpp"
  [FuzzPlainFiles]="formats/PlainFiles.cpp formats/SecurityFiles.cpp"
  [FuzzPortTexts]="platform/PortNames.cpp platform/linux/SysfsRegistry.cpp"
  [FuzzPronto]="image/Pronto.cpp image/IrDecoder.cpp"
  [FuzzLircConf]="formats/LircConf.cpp formats/IrTextLines.cpp"
  [FuzzIrLists]="formats/IrSignalFiles.cpp formats/IrTextLines.cpp"
  [FuzzReceiveAssembler]="link/ReceiveAssembler.cpp"
  [FuzzResourceLibrary]="platform/ResourceLibrary.cpp"
  [FuzzSettingsAndPictures]="image/Settings.cpp image/LcdBitmaps.cpp"
  [FuzzSideFiles]="formats/SideFiles.cpp"
  [FuzzXFiles]="formats/XFiles.cpp"
)

out="$cov_build/coverage"
rm -rf "$out"
mkdir -p "$out"
for name in "${targets[@]}"; do
  bin="$cov_build/tests/$name"
  inputs=()
  for dir in "$fuzz_build/corpus/$name" tests/data "tests/fuzz/seeds/$name"; do
    [ -d "$dir" ] && inputs+=("$dir")
  done
  # Only the files: no random inputs of the driver's own.
  ORVALINK_FUZZ_RUNS=0 LLVM_PROFILE_FILE="$out/$name.%p.profraw" "$bin" "${inputs[@]}" >"$out/$name.replay.log" 2>&1 || {
    echo "-- $name: the replay failed; see $out/$name.replay.log" >&2
    continue
  }
  llvm-profdata merge -sparse "$out/$name".*.profraw -o "$out/$name.profdata"
  rm -f "$out/$name".*.profraw
  llvm-cov export -format=text -skip-expansions -instr-profile="$out/$name.profdata" "$bin" >"$out/$name.json"
  inputs_count=$(find "${inputs[@]}" -type f | wc -l)
  python3 - "$out/$name.json" "$name" "$inputs_count" "$(pwd)" "tests/fuzz/$name.cpp" \
    "${parsers[$name]:-}" <<'EOF'
import json, os, re, subprocess, sys
path, name, inputs, root, source, listed = sys.argv[1:7]
data = json.load(open(path))["data"][0]
guarded = set(listed.split())
if not guarded:  # the .cpp beside each product header the target includes
    included = re.findall(r'^#include "([a-z]+/[A-Za-z0-9_/]+)\.h"', open(source).read(), re.M)
    guarded = {h + ".cpp" for h in included if not h.startswith(("base/", "platform/doubles/", "fuzz/"))}

def product(filename):
    """The path below the checkout of a product source file, else None."""
    rel = os.path.relpath(os.path.normpath(filename), root)
    return None if rel.startswith("..") or rel.startswith("tests/") else rel

files = {product(f["filename"]): f["summary"] for f in data["files"] if product(f["filename"]) in guarded}
never = {}
for fn in data["functions"]:
    rel = product(fn["filenames"][0]) if fn["filenames"] else None
    if fn["count"] == 0 and rel:
        never.setdefault(rel, []).append(fn["name"].split(":")[-1])  # "File.cpp:_Z..." for local ones
names = sorted({n for ns in never.values() for n in ns})
demangled = subprocess.run(["c++filt", "-p"], input="\n".join(names), capture_output=True, text=True).stdout.splitlines()
plain = {n: re.sub(r"\(.*\)::\$_\d+::operator\(\).*", " (a lambda in it)",
                   d.replace("orvalink::", "").replace("(anonymous namespace)::", "").replace("[abi:cxx11]", ""))
         for n, d in zip(names, demangled)}

def line_counts(segments):
    """Line -> execution count for the lines holding code, as llvm-cov counts them."""
    counts, wrapped, i = {}, None, 0
    last = max((seg[0] for seg in segments), default=0)
    for line in range(1, last + 1):
        starts = []
        while i < len(segments) and segments[i][0] == line:
            starts.append(segments[i])
            i += 1
        entries = [seg for seg in starts if seg[3] and seg[4] and not seg[5]]
        values = [seg[2] for seg in entries]
        if wrapped is not None and wrapped[3] and not wrapped[5]:
            values.append(wrapped[2])
        if values and (entries or wrapped is not None):
            counts[line] = max(values)
        if starts:
            wrapped = starts[-1]
    return counts

# The lines of the functions the target entered, and how many of them ran:
# what the fuzzer could still reach without another entry.
entered = {}
for fn in data["functions"]:
    rel = product(fn["filenames"][0]) if fn["filenames"] else None
    if fn["count"] > 0 and rel in guarded:
        for region in fn["regions"]:
            if region[5] == 0 and region[7] == 0:  # the function's own file, a code region
                entered.setdefault(rel, set()).update(range(region[0], region[2] + 1))
inside = {}
for f in data["files"]:
    rel = product(f["filename"])
    if rel in guarded:
        counts = line_counts(f["segments"])
        lines = [n for n in entered.get(rel, ()) if n in counts]
        inside[rel] = (sum(1 for n in lines if counts[n] > 0), len(lines))

def share(part):
    return f"{part['percent']:5.1f}%" if part["count"] else "    - "

print(f"-- {name} ({inputs} inputs): lines, branches, lines of the functions entered, parser, functions never entered")
for rel in sorted(files):
    s = files[rel]
    mark = "<90" if s["lines"]["percent"] < 90 else "   "
    missed = sorted({plain.get(n, n) for n in never.get(rel, [])})
    extra = f"  never: {', '.join(missed)}" if missed else ""
    hit, total = inside.get(rel, (0, 0))
    within = f"{100.0 * hit / total:5.1f}%" if total else "    - "
    print(f"   {share(s['lines'])} {share(s['branches'])} {within} {mark} {rel}{extra}")
EOF
done
