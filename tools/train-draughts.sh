#!/usr/bin/env bash
# Learns the draughts evaluation from scratch: self-play games with the hand-set evaluation
# (draughts_selfplay), then the pattern weights fitted to their results (draughts_train),
# written to demo/draughts/engine/data/evaluation.weights. One core; the same command on the
# same code gives the same file.
# Usage: bash tools/train-draughts.sh BUILD_DIR [GAMES]     (from the repository root)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?Usage: bash tools/train-draughts.sh BUILD_DIR [GAMES]}
games=${2:-10000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bin/draughts_selfplay" --games "$games" --seed 1 --out "$work/positions.bin"
mkdir -p demo/draughts/engine/data
"$build/bin/draughts_train" --seed 1 --out demo/draughts/engine/data/evaluation.weights "$work/positions.bin"
