#!/usr/bin/env bash
# parthash as a whole process against a static C program that prints a constant.
set -euo pipefail
BUILD=${BUILD:?}
command -v hyperfine >/dev/null || { echo "hyperfine is missing"; exit 1; }
hyperfine -N --warmup 50 --runs 2000 \
  "$BUILD/bench/parthash/print_constant" \
  "$BUILD/parthash/parthash 'part name with spaces'"
