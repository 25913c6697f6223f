#!/usr/bin/env bash
# Learns the draughts evaluation from scratch in two generations: self-play games with the
# hand-set evaluation (draughts_selfplay), the pattern weights fitted to their results
# (draughts_train); then a second set of self-play games played with those weights, and the
# weights fitted again to both sets, written to demo/draughts/engine/data/evaluation.weights.
# One core; the same command on the same code gives the same file.
# Usage: bash tools/train-draughts.sh BUILD_DIR [GAMES [SECOND_GAMES]]     (from the repository root)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?Usage: bash tools/train-draughts.sh BUILD_DIR [GAMES [SECOND_GAMES]]}
games=${2:-10000}
second=${3:-$games}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/draughts_selfplay" --games "$games" --seed 1 --out "$work/first.bin"
"$build/bin/draughts_train" --seed 1 --out "$work/first.weights" "$work/first.bin"
"$build/bin/draughts_selfplay" --games "$second" --seed 2 --weights "$work/first.weights" --out "$work/second.bin"
mkdir -p demo/draughts/engine/data
"$build/bin/draughts_train" --seed 1 --out demo/draughts/engine/data/evaluation.weights "$work/first.bin" "$work/second.bin"
