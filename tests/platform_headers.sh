#!/usr/bin/env bash
# Only platform/ talks to the operating system: no other folder of the program includes a
# POSIX, Linux or Win32 header. (Tests, benchmarks and the fault shim may.)
# Usage: platform_headers.sh SOURCE_DIR
set -euo pipefail
cd "$1"
system='(unistd|fcntl|signal|csignal|errno|dlfcn|pthread|poll|dirent|termios|syslog|sched|spawn|pwd|grp|utime|aio|mqueue|semaphore|sys/[a-z_/]+|linux/[a-z_/]+|netinet/[a-z_]+|arpa/[a-z_]+|windows|winbase|winnt|winuser|io|direct|process|shlobj|shellapi|tlhelp32|psapi|winsock2?|ws2tcpip)\.h|csignal|cerrno'
found=$(grep -rnE "^\s*#\s*include\s*<($system)>" app store settings controls info counter ledger \
  --include='*.cpp' --include='*.h' || true)
if [ -n "$found" ]; then
  echo "FAIL: only platform/ may include operating-system headers:"
  echo "$found"
  exit 1
fi
# The check itself must see an include where there is one.
probe=$(printf '#include <unistd.h>\n#include <sys/stat.h>\n#include <windows.h>\n' |
  grep -cE "^\s*#\s*include\s*<($system)>")
[ "$probe" -eq 3 ] || { echo "FAIL: the check does not see operating-system headers"; exit 1; }
echo "PASS: only platform/ includes operating-system headers"
