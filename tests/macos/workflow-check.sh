#!/usr/bin/env bash
# The macOS CI workflow against GitHub's schema with action-validator (npm, GPL-3.0, a development
# tool), which must refuse a job without runs-on. Exit status 77 (a CTest skip) without npm.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
home="$(bash "$root/scripts/cached-npm-tool.sh" action-validator-0.6.0 @action-validator/cli@0.6.0 \
    @action-validator/core@0.6.0)" || exit $?
validator="$home/node_modules/.bin/action-validator"
workflow="$root/.github/workflows/macos.yml"
"$validator" "$workflow"
planted="$(mktemp --suffix=.yml)"
trap 'rm -f "$planted"' EXIT
sed 's/^\( *\)runs-on:/\1run-on:/' "$workflow" >"$planted"
! "$validator" "$planted" >/dev/null 2>&1 || { echo "workflow-check: a job without runs-on passed" >&2; exit 1; }
echo "workflow-check: $workflow is a valid workflow"
