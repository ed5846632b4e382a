#!/usr/bin/env bash
# The bash completion and the manual page of twinsift-cli against the program itself:
# completion offers its commands, options and settings, and every option its --help
# lists is described in the manual page.
#   tests/package/completion_test.sh PATH/TO/twinsift-cli
set -uo pipefail
cli=$1
here=$(cd "$(dirname "$0")" && pwd)
man="$here/../../packaging/twinsift-cli.1"
# shellcheck source=../../packaging/twinsift-cli.bash
source "$here/../../packaging/twinsift-cli.bash"
passes=0
failures=0

complete_words() {  # complete_words WORD... -> the completions of the last word
    COMP_WORDS=("$cli" "$@")
    COMP_CWORD=$#
    COMPREPLY=()
    _twinsift_cli
    echo "${COMPREPLY[*]}"
}
expect() {  # expect DESCRIPTION ACTUAL EXPECTED
    if [[ $2 == "$3" ]]; then
        passes=$((passes + 1))
    else
        echo "FAIL $1: got '$2', expected '$3'"
        failures=$((failures + 1))
    fi
}

expect "commands" "$(complete_words "")" "scan remove hash prefs --help --version"
expect "a command by its start" "$(complete_words re)" "remove"
expect "options of remove" "$(complete_words remove --d)" "--dest --dry-run"
expect "options of scan" "$(complete_words scan --no)" "--no-verify --no-background --no-cache --no-progress"
expect "values of --to" "$(complete_words remove --to "")" "trash delete move"
expect "settings of prefs" "$(complete_words prefs kSimilarity)" "kSimilarityLevel"

for command in scan remove hash prefs; do
    for option in $("$cli" "$command" --help | awk '/^Options:/ {s=1; next} s && /^  -/ {print $1}' | tr ',' ' '); do
        [[ $option == -h || $option == --help ]] && continue
        # Manual pages spell every dash as \-.
        if grep -qF -- "${option//-/\\-}" "$man"; then found=found; else found=missing; fi
        expect "$option of $command in the manual page" "$found" found
    done
done

echo "$passes passed, $failures failed"
((failures == 0))
