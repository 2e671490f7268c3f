# Sourced by the installer and package checks: check DESCRIPTION COMMAND... counts the command as
# passed when it succeeds and shows its output when it does not. Needs $work, a scratch folder.
passed=0
failed=0
check() {
    local what=$1
    shift
    if "$@" >"$work/output" 2>&1; then
        passed=$((passed + 1))
        echo "ok: $what"
    else
        failed=$((failed + 1))
        echo "FAILED: $what"
        sed 's/^/    /' "$work/output"
    fi
}
