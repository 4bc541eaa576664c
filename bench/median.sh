# median: the median of the numbers on standard input, separated by spaces or newlines (bash;
# source it). The benchmarks give the median of their rounds, so that one slow round, a
# machine busy for a moment, does not move the figure.
median() { tr ' ' '\n' | grep . | sort -n | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
