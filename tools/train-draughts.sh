#!/usr/bin/env bash
# Learns the draughts evaluation from scratch in three generations: self-play games with the
# hand-set evaluation (draughts_selfplay), the pattern weights fitted to their results
# (draughts_train); then, twice, a new set of self-play games played with the latest weights
# and the weights fitted again to every set so far. The last fit is written to
# demo/draughts/engine/data/evaluation.weights.
# Each set's games are played by two processes, one per core. A game depends only on its
# number and the set's seed, so the set comes out the same as from one process, and the same
# command on the same code gives the same file.
# Usage: bash tools/train-draughts.sh BUILD_DIR [GAMES [LATER_GAMES]]     (from the repository root)
set -euo pipefail
cd "$(dirname "$0")/.."
usage="Usage: bash tools/train-draughts.sh BUILD_DIR [GAMES [LATER_GAMES]]"
build=${1:?$usage}
games=${2:-10000}
later=${3:-$games}
if ! [[ $games =~ ^[0-9]+$ && $later =~ ^[0-9]+$ ]] || ((games < 2 || later < 2)); then
    echo "$usage (at least 2 games a set)" >&2
    exit 2
fi
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

play "$work/1.bin" 1 "$games"
"$build/bin/draughts_train" --seed 1 --out "$work/1.weights" "$work/1.bin"
play "$work/2.bin" 2 "$later" --weights "$work/1.weights"
"$build/bin/draughts_train" --seed 1 --out "$work/2.weights" "$work/1.bin" "$work/2.bin"
play "$work/3.bin" 3 "$later" --weights "$work/2.weights"
mkdir -p demo/draughts/engine/data
"$build/bin/draughts_train" --seed 1 --out demo/draughts/engine/data/evaluation.weights \
    "$work/1.bin" "$work/2.bin" "$work/3.bin"
