#!/usr/bin/env python3
"""Holds the platform seam: only platform/ talks to the operating system.

Fails (exit 1, one line per offence) when a tracked C or C++ file outside
platform/ includes a system header that the platform layer wraps, or reads or
changes the environment directly. Test code may include system headers (tests
talk to outside tools), but it reaches the environment through
tests/support/scoped_env.h or platform::GetEnv like everything else; test
support itself (tests/support/ and files named *test_support*) is exempt.

usage: check_seam.py [SOURCE_DIR]
"""
import os
import pathlib
import re
import subprocess
import sys

# Headers the platform layer wraps: sockets and name look-up, poll, threads,
# processes and file descriptors, file systems, X11/XCB, shared memory.
WRAPPED_HEADER = re.compile(
    r"^\s*#\s*include\s*<("
    r"sys/(socket|stat|mman|utsname|sysinfo|statvfs|shm|ipc|file|select|epoll|ioctl|wait|types)\.h"
    r"|netinet/[^>]+|arpa/[^>]+|netdb\.h|net/if\.h|ifaddrs\.h|poll\.h|pthread\.h|unistd\.h|fcntl\.h"
    r"|dirent\.h|mntent\.h|langinfo\.h|fnmatch\.h|spawn\.h|signal\.h|termios\.h|dlfcn\.h"
    r"|xcb/[^>]+|X11/[^>]+|GL/glx\.h"
    r")>")
ENVIRONMENT_CALL = re.compile(r"\b(getenv|secure_getenv|setenv|unsetenv|putenv|clearenv)\s*\(")
SOURCE_SUFFIXES = {".c", ".cc", ".cpp", ".cxx", ".h", ".hh", ".hpp"}


def is_test_support(path):
    return path.parts[:2] == ("tests", "support") or "test_support" in path.name


def offences(root, relative):
    path = pathlib.Path(relative)
    if path.parts[0] == "platform" or path.suffix not in SOURCE_SUFFIXES or is_test_support(path):
        return
    in_tests = path.parts[0] == "tests"
    try:
        text = (root / path).read_text(encoding="utf-8", errors="replace")
    except FileNotFoundError:
        return
    for number, line in enumerate(text.splitlines(), 1):
        code = line.split("//", 1)[0]
        header = WRAPPED_HEADER.match(code)
        if header and not in_tests:
            yield "%s:%d: includes <%s>, which the platform layer wraps" % (relative, number, header.group(1))
        call = ENVIRONMENT_CALL.search(code)
        if call:
            yield "%s:%d: calls %s; use platform::GetEnv (or ScopedEnv in tests)" % (relative, number, call.group(1))


def source_files(root):
    """The files git tracks or would track; without git (an unpacked tree, a
    machine without it), every file outside build trees and tool folders."""
    try:
        listed = subprocess.run(["git", "-C", str(root), "ls-files", "--cached", "--others", "--exclude-standard"],
                                check=True, capture_output=True, text=True).stdout.split()
        if listed:
            return listed
    except (OSError, subprocess.CalledProcessError):
        pass
    skipped = re.compile(r"^(build.*|\..*|__pycache__)$")
    found = []
    for folder, subfolders, files in os.walk(root):
        subfolders[:] = [name for name in subfolders if not skipped.match(name)]
        found += [os.path.relpath(os.path.join(folder, name), root) for name in files]
    return found


def main(argv):
    root = pathlib.Path(argv[1] if len(argv) > 1 else pathlib.Path(__file__).resolve().parent.parent)
    listed = source_files(root)
    found = [line for relative in sorted(set(listed)) for line in offences(root, relative)]
    for line in found:
        print(line)
    print("platform seam: %d file(s) checked, %d offence(s)" % (len(listed), len(found)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
