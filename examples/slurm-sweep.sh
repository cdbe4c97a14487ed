#!/bin/bash
# One zarn-batch sweep as a Slurm job array: task K of the array runs shard K of SHARDS, with the
# threads Slurm gives it, into out/part-K.csv. Submit from the repository root:
#   mkdir -p out && sbatch examples/slurm-sweep.sh
# then join: cat out/part-*.csv > out/all.csv
#SBATCH --job-name=zarn-sweep
#SBATCH --array=0-7
#SBATCH --cpus-per-task=4
#SBATCH --time=00:30:00
#SBATCH --output=out/slurm-%A-%a.log
set -euo pipefail

SHARDS=8  # the array's size: --array=0-(SHARDS-1)
ZARN_ARGS=(--preset 0 --sweep TTO=5:85:5)

build/tools/zarn-batch "${ZARN_ARGS[@]}" --shard "$SLURM_ARRAY_TASK_ID/$SHARDS" \
  --jobs "${SLURM_CPUS_PER_TASK:-1}" --summary "out/part-$SLURM_ARRAY_TASK_ID.csv"
