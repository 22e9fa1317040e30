#!/usr/bin/env bash
# Every system call that the engine, the rounds' state, the take-back and the settings store make
# on files goes through the table of engine/detail/Sys.h, so that the tests can make any of them
# fail. Only engine/detail/Sys.cpp calls them directly.
set -euo pipefail
cd "$(dirname "$0")/.."

calls='open|openat|creat|read|pread|pread64|write|pwrite|fsync|fdatasync|close|rename|renameat|renameat2'
calls+='|link|linkat|unlink|unlinkat|mkdir|mkdirat|fchmod|chmod|fchown|chown|fstat|stat|lstat|fstatat'
calls+='|ftruncate|truncate|flock|fcntl|dup|dup2|dup3|fgetxattr|fsetxattr|fremovexattr|getxattr'
calls+='|setxattr|removexattr|lgetxattr|lsetxattr|opendir|fdatasync|sync_file_range|mkstemp|fopen'
calls+='|fdopendir|readdir|closedir|realpath|lseek|faccessat|access|posix_fadvise|readlink'
files=$(git ls-files 'engine/*.cpp' 'engine/*.h' 'settings/StoreFile.cpp' 'settings/SettingsStore.cpp' |
    grep -v '^engine/detail/Sys\.cpp$')
# A call is the name right after "::" or at the start of an expression, followed by "(".
found=$(grep -nE "(^|[^[:alnum:]_.>:])::($calls)\(" $files || true)
if [ -n "$found" ]; then
    echo "Direct system calls outside engine/detail/Sys.cpp (use sys::calls()):" >&2
    echo "$found" >&2
    exit 1
fi
echo "System calls: every file call goes through the table"
