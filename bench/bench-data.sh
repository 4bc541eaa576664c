# Where the benchmark scripts find the 80 MB set (bash; source it with root set to the source
# tree). Sets bench_data to a folder with mixed-lh5.lzh and mixed-lh7.lzh:
#   ZOLT_BENCH_DATA when set;
#   else ../shared/bench beside the source tree, when it is there;
#   else build/bench-data, made by bench/make-data.sh on first use.
bench_data=${ZOLT_BENCH_DATA:-}
if [[ -z $bench_data ]]; then
  if [[ -f $root/../shared/bench/mixed-lh7.lzh ]]; then
    bench_data=$root/../shared/bench
  else
    bench_data=$root/build/bench-data
    if [[ ! -f $bench_data/SHA256SUMS ]]; then
      echo "making the benchmark data in $bench_data (once)" >&2
      "$root/bench/make-data.sh" "$bench_data" >&2
    fi
  fi
fi
for name in mixed-lh5 mixed-lh7; do
  [[ -f $bench_data/$name.lzh ]] || { echo "no $name.lzh in $bench_data" >&2; exit 1; }
done
