#!/bin/sh
# One fuzz target: every case of its stored corpus first (each input that
# ever failed is kept there), then fuzzing from that corpus for a bounded
# time. What the fuzzer finds goes into SCRATCH, never into the corpus; a
# failing input is left there as crash-*, oom-* or timeout-*, to be added
# to the corpus once fixed.
#   run.sh FUZZER CORPUS SCRATCH SECONDS
set -eu
fuzzer=$1 corpus=$2 scratch=$3 seconds=$4
# The budgets: no input may take more than 64 MiB in one allocation, nor
# the process grow past what the sanitizers and the corpus hold (some
# 40 MiB) and 64 MiB used at the sanitizers' cost; each input is read in
# linear time, milliseconds at these sizes, so two seconds is a hang.
limits="-malloc_limit_mb=64 -rss_limit_mb=256 -timeout=2"
# The sanitizers' own memory kept small, so that the RSS limit means
# something.
export ASAN_OPTIONS="${ASAN_OPTIONS:-quarantine_size_mb=16:malloc_context_size=10}"
rm -rf "$scratch"
mkdir -p "$scratch/found"
# shellcheck disable=SC2086 # the options are separate words
"$fuzzer" $limits -close_fd_mask=3 "$corpus"/*
# shellcheck disable=SC2086
exec "$fuzzer" $limits -close_fd_mask=3 -max_len=65536 -max_total_time="$seconds" -print_final_stats=1 \
  -artifact_prefix="$scratch/" "$scratch/found" "$corpus"
