#!/usr/bin/env bash
# Lines of program code (src/, testserver/) and of tests (tests/), C++ sources and headers only, so
# fixture data (.xml, .txt, .inc golden files) is left out; then the ratio of tests to program code.
# Counts the files git tracks or would track. The last line is the summary, e.g.
#   program 35305 tests 25351 ratio 0.72
set -euo pipefail
cd "$(dirname "$0")/.."

count() {
    local total=0 file
    while IFS= read -r file; do
        [ -f "$file" ] && total=$((total + $(wc -l <"$file")))
    done < <(git ls-files --cached --others --exclude-standard -- "$@" | grep -E '\.(cpp|h)$' | sort -u)
    echo "$total"
}

program_src=$(count src)
program_server=$(count testserver)
tests=$(count tests)
program=$((program_src + program_server))
echo "src ${program_src} testserver ${program_server}"
awk -v p="$program" -v t="$tests" 'BEGIN { printf "program %d tests %d ratio %.2f\n", p, t, (p ? t / p : 0) }'
