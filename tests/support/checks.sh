# Helpers of the shell tests (tests/e2e, tests/package): source this file.
# check DESCRIPTION COMMAND...  runs COMMAND, prints "ok" or "FAIL" with DESCRIPTION
#                               and counts it in $passes or $failures.
# wait_until SECONDS COMMAND... runs COMMAND every 0.2 s until it succeeds; fails after
#                               SECONDS.
# checks_summary                prints the counts; succeeds when nothing failed.
passes=0
failures=0

check() {
    local what=$1
    shift
    if "$@"; then
        echo "ok   $what"
        passes=$((passes + 1))
    else
        echo "FAIL $what"
        failures=$((failures + 1))
    fi
}

wait_until() {
    local deadline=$((SECONDS + $1))
    shift
    until "$@"; do
        ((SECONDS >= deadline)) && return 1
        sleep 0.2
    done
}

checks_summary() {
    echo "$passes passed, $failures failed"
    ((failures == 0))
}
