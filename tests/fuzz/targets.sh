# The fuzz targets and how each is run, for scripts/fuzz.sh and
# scripts/fuzz-long.sh (sourced, not run).
fuzz_targets=(fuzz_decode fuzz_keyring fuzz_secring fuzz_armour fuzz_cli_arguments fuzz_encode_options
              fuzz_profile fuzz_file_dialog fuzz_keyserver)

# No stack is recorded for each allocation (a finding is replayed with
# full stacks to read it), and fresh allocations are not filled with a
# marker byte (the sanitizer's default fills their first 4 KiB; that was
# 5 % of the key-ring targets' time); leaks, overflows and use after free
# are still found.
export ASAN_OPTIONS="malloc_context_size=0:max_malloc_fill_size=0:${ASAN_OPTIONS:-}"
# Undefined behaviour is a finding like a crash: the run stops and keeps the input.
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:${UBSAN_OPTIONS:-}"
export QT_QPA_PLATFORM=offscreen

# libFuzzer's options for one target. Key rings are read from files and
# check every signature, so their inputs are kept small, and libFuzzer's
# entropic scheduling, whose bookkeeping cost more than the runs, is off.
fuzz_flags() {
  local flags=(-timeout=20 -rss_limit_mb=4096)
  case "$1" in
    fuzz_keyring|fuzz_secring|fuzz_keyserver) flags+=(-max_len=4096 -entropic=0) ;;
    fuzz_decode|fuzz_encode_options) flags+=(-entropic=0) ;;
  esac
  echo "${flags[@]}"
}
