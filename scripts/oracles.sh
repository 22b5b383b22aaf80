#!/usr/bin/env bash
# Python oracles that Debian does not package. moto (an S3 store that checks
# every request's signature) goes, pinned, into a virtual environment of the
# checkout's own, .oracles/venv, which is not tracked. botocore and boto3 come
# from Debian (python3-botocore, python3-boto3) and are seen through the
# environment's system site packages.
#
# When moto cannot be had (no route to the Python package index), the tests
# that need it skip with one line that says so; nothing here fails the set-up.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
venv="$root/.oracles/venv"
moto_version=5.2.1
requirement="moto[server]==$moto_version"

has_moto() { # <python>
    "$1" - "$moto_version" 2>/dev/null <<'PY'
import sys
import boto3, botocore, flask, moto, moto.server
sys.exit(0 if moto.__version__ == sys.argv[1] else 1)
PY
}

make_venv() { # <base python>
    rm -rf "$venv"
    mkdir -p "$(dirname "$venv")"
    "$1" -m venv --system-site-packages "$venv"
}

if [ -x "$venv/bin/python3" ] && has_moto "$venv/bin/python3"; then
    exit 0
fi

# First choice: Debian's interpreter, with moto from the package index.
make_venv /usr/bin/python3
if "$venv/bin/python3" -m pip install --quiet --disable-pip-version-check --retries 1 --timeout 20 \
        "$requirement" >"$root/.oracles/pip.log" 2>&1 && has_moto "$venv/bin/python3"; then
    echo "oracles: $requirement installed in .oracles/venv"
    exit 0
fi

# Else an interpreter on PATH that already carries the pinned moto lends the
# environment its packages.
other=$(command -v python3 || true)
if [ -n "$other" ] && [ "$other" != /usr/bin/python3 ] && has_moto "$other"; then
    make_venv "$other"
    if has_moto "$venv/bin/python3"; then
        echo "oracles: moto $moto_version taken from $other"
        exit 0
    fi
fi

make_venv /usr/bin/python3
echo "oracles: moto $moto_version could not be installed (see .oracles/pip.log): the moto_server tests will be" \
     "skipped. With a route to the Python package index, run: bash scripts/oracles.sh"
