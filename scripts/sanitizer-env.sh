# Sanitizer settings for build-asan/ (sourced by sanitize.sh and fuzz.sh).
# Leak checking stays on; the suppressions name only leaks inside system
# libraries (see scripts/lsan.supp), never our code.
_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
export ASAN_OPTIONS=detect_leaks=1:check_initialization_order=1
export LSAN_OPTIONS=suppressions=$_here/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
if command -v llvm-symbolizer >/dev/null; then
  ASAN_SYMBOLIZER_PATH=$(command -v llvm-symbolizer)
  export ASAN_SYMBOLIZER_PATH
fi
unset _here
