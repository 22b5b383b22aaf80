#!/bin/sh
# Starts the simulated camera service on loopback for trying the client
# without an account (see tools/demo/demo_service.py; --help for options).
# Runs in the foreground; Ctrl-C stops everything it started.
set -e
exec /usr/bin/python3 "$(dirname "$0")/../tools/demo/demo_service.py" "$@"
