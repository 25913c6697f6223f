#!/usr/bin/env bash
# Learns the draughts evaluation from scratch in six generations: self-play games with the
# hand-set evaluation (draughts_selfplay), the pattern weights fitted to them (draughts_train);
# then, five times, a new set of self-play games played with the latest weights and the
# weights fitted again to every set so far. The last two sets are the largest, as the fit
# gains from more positions. Each fit aims at 0.3 times the game's result plus
# 0.7 times the result the search's score for the position foretells (--blend 0.3). The last
# fit is written to
# demo/draughts/engine/data/evaluation.weights.
# Each set's games are played by two processes, one per core. A game depends only on its
# number and the set's seed, so the set comes out the same as from one process, and on one
# machine the same command on the same code gives the same file. The games look up the solved endings when
# the build has them, so the script builds them (and the two programs) first.
# Usage: bash tools/train-draughts.sh BUILD_DIR [GAMES [LATER_GAMES [FIFTH_GAMES [SIXTH_GAMES]]]]
#        (from the repository root; 10,000, 10,000, 60,000 and 150,000 games by default)
set -euo pipefail
cd "$(dirname "$0")/.."
usage="Usage: bash tools/train-draughts.sh BUILD_DIR [GAMES [LATER_GAMES [FIFTH_GAMES [SIXTH_GAMES]]]]"
build=${1:?$usage}
games=${2:-10000}
later=${3:-$games}
fifth=${4:-60000}
sixth=${5:-150000}
for size in "$games" "$later" "$fifth" "$sixth"; do
    if ! [[ $size =~ ^[0-9]+$ ]] || ((size < 2)); then
        echo "$usage (at least 2 games a set)" >&2
        exit 2
    fi
done
cmake --build "$build" --target draughts_selfplay draughts_train draughts_endgames_table
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT

# play OUT SEED GAMES [--weights FILE]: the games 0..GAMES-1 of a set, half in each process.
play() {
    local out=$1 seed=$2 count=$3
    shift 3
    local half=$((count / 2))
    "$build/bin/draughts_selfplay" --games "$half" --seed "$seed" "$@" --out "$out.first" > "$out.first.log" &
    local other=$!
    "$build/bin/draughts_selfplay" --games "$((count - half))" --first "$half" --seed "$seed" "$@" --out "$out.second"
    wait "$other" || { cat "$out.first.log" >&2; exit 1; }
    cat "$out.first" "$out.second" > "$out"
    rm "$out.first" "$out.second"
}

# fit OUT SETS...: the weights fitted to the sets.
# Each file's checksum is printed, so that two machines' runs can be compared generation by generation.
fit() {
    local out=$1
    shift
    "$build/bin/draughts_train" --seed 1 --blend 0.3 --out "$out" "$@"
    echo "$(basename "$out"): md5 $(md5sum < "$out" | cut -d' ' -f1), $(md5sum < "${!#}" | cut -d' ' -f1) for its last set of games"
}

# Games in each generation's set.
sizes=("$games" "$later" "$later" "$later" "$fifth" "$sixth")
generations=${#sizes[@]}
play "$work/1.bin" 1 "$games"
fit "$work/1.weights" "$work/1.bin"
sets=("$work/1.bin")
for ((g = 2; g <= generations; ++g)); do
    play "$work/$g.bin" "$g" "${sizes[g - 1]}" --weights "$work/$((g - 1)).weights"
    sets+=("$work/$g.bin")
    fit "$work/$g.weights" "${sets[@]}"
done
mkdir -p demo/draughts/engine/data
cp "$work/$generations.weights" demo/draughts/engine/data/evaluation.weights
