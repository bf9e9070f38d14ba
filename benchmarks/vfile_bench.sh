#!/usr/bin/env bash
# Times writing and reading a memory-image document with orvalink-cli against
# Info-ZIP zip and unzip on the same payload, whole processes on both sides,
# and prints the ratios (ours / Info-ZIP; below 1 means we are faster).
#
# usage: benchmarks/vfile_bench.sh BUILD_DIR [RUNS]
#   BUILD_DIR  the CMake build folder holding tools/orvalink-cli
#   RUNS       runs per command, at least 5 (default 9); the median counts
# ORVALINK_CLI overrides the path of orvalink-cli.
set -euo pipefail

if [[ $# -lt 1 ]]; then
    sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//' >&2
    exit 2
fi
build_dir=$1
runs=${2:-9}
if ! [[ $runs =~ ^[0-9]+$ ]] || (( runs < 5 )); then
    echo "RUNS must be a number of at least 5" >&2
    exit 2
fi
cli=${ORVALINK_CLI:-$build_dir/tools/orvalink-cli}
for tool in "$cli" "$(command -v zip || true)" "$(command -v unzip || true)"; do
    if [[ -z $tool || ! -x $tool ]]; then
        echo "missing program: ${tool:-zip/unzip}" >&2
        exit 1
    fi
done
zip_program=$(command -v zip)
unzip_program=$(command -v unzip)

work=$(mktemp -d "${TMPDIR:-/tmp}/vfile-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

# --- the payload: a 1081334-byte image, erased 0xFF runs between data ------
image_size=1081334
image=$work/QM-5100_
RANDOM=5100   # the same run pattern every time
{
    made=0
    while (( made < image_size )); do
        length=$(( 64 + RANDOM % 4096 ))
        case $(( RANDOM % 10 )) in
            0|1|2|3|4|5)  # erased flash
                head -c "$length" /dev/zero | tr '\0' '\377' ;;
            6|7)          # key and code records: small numbers in fixed slots
                for (( i = 0; i < length / 8; i++ )); do
                    printf '\\x%02x\\x%02x\\x%02x\\x%02x\\xff\\xff\\x%02x\\x00' \
                        $(( RANDOM % 66 )) $(( RANDOM % 64 )) $(( RANDOM % 5 )) $(( RANDOM % 256 )) $(( RANDOM % 32 ))
                done | xargs -0 printf ;;
            *)            # learned IR codes and pictures: close to random
                head -c "$length" /dev/urandom ;;
        esac
        made=$(( made + length ))
    done
} | head -c "$image_size" > "$image"
actual=$(wc -c < "$image")
if (( actual != image_size )); then
    echo "could not make the image ($actual bytes)" >&2
    exit 1
fi

# --- timing ------------------------------------------------------------------
now_us() { echo $(( $(date +%s%N) / 1000 )); }

# median_us PREPARE COMMAND...: runs PREPARE (untimed) and then COMMAND, $runs
# times, and prints the median of the command's times in microseconds.
median_us() {
    local prepare=$1
    shift
    local times=() start end
    for (( r = 0; r < runs; r++ )); do
        $prepare
        start=$(now_us)
        "$@" > /dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
        end=$(now_us)
        times+=( $(( end - start )) )
    done
    printf '%s\n' "${times[@]}" | sort -n | sed -n "$(( (runs + 1) / 2 ))p"
}

# A password like ours: the control character 4 and 31 letters and digits,
# passed as one argument, never through a shell string.
password=$'\x04'"k3Jd9QmZp0xLw7RtB2nVc8HsY4fGa1E"

document=$work/bench.vmcf
extracted=$work/extracted.bin
archive=$work/bench.zip
unzipped=$work/unzipped

no_prepare() { :; }
remove_document() { rm -f "$document"; }
remove_extracted() { rm -f "$extracted"; }
remove_archive() { rm -f "$archive"; }
remove_unzipped() { rm -rf "$unzipped"; }

pack_us=$(median_us remove_document "$cli" pack "$image" "$document" --kind 100 --model 2000 --version 1.05)
extract_us=$(median_us remove_extracted "$cli" extract "$document" "$extracted")
zip_us=$(median_us remove_archive "$zip_program" -q -j -P "$password" "$archive" "$image")
unzip_us=$(median_us remove_unzipped "$unzip_program" -q -o -P "$password" "$archive" -d "$unzipped")

# Both sides must have done the work.
cmp -s "$image" "$extracted" || { echo "orvalink-cli extract did not give the payload back" >&2; exit 1; }
cmp -s "$image" "$unzipped/QM-5100_" || { echo "unzip did not give the payload back" >&2; exit 1; }

ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'; }
ms() { awk -v us="$1" 'BEGIN { printf "%.1f", us / 1000 }'; }

echo "payload: $image_size bytes; document $(wc -c < "$document") bytes, zip archive $(wc -c < "$archive") bytes"
echo "median of $runs runs, whole processes:"
printf '  %-24s %8s ms    %-22s %8s ms\n' "orvalink-cli pack" "$(ms "$pack_us")" "zip -P" "$(ms "$zip_us")"
printf '  %-24s %8s ms    %-22s %8s ms\n' "orvalink-cli extract" "$(ms "$extract_us")" "unzip -P" "$(ms "$unzip_us")"
echo "pack / zip ratio:       $(ratio "$pack_us" "$zip_us")"
echo "extract / unzip ratio:  $(ratio "$extract_us" "$unzip_us")"
