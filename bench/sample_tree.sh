# Sourced by the benchmarks. make_sample_tree DATA COUNT TREE: COUNT copies of the real prefetch
# files under DATA (every format version, the bad sample left out), named 0.pf, 1.pf, ... and
# spread over TREE/aN/bM with 250 files a directory, eight directories under each aN.
make_sample_tree() {
    local data=$1 count=$2 tree=$3 files_per_dir=250 i dir
    local sources
    mapfile -t sources < <(find "$data" -name '*.pf' -type f -not -path '*/Bad/*' | sort)
    for ((i = 0; i < count; i++)); do
        dir=$tree/a$((i / (files_per_dir * 8)))/b$((i / files_per_dir % 8))
        ((i % files_per_dir == 0)) && mkdir -p "$dir"
        cp "${sources[i % ${#sources[@]}]}" "$dir/$i.pf"
    done
}
