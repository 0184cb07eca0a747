#!/usr/bin/env python3
"""Splits the CPU time of the jobs in a perf recording into the kernel's
parts and each library's user time, in ms a job.

  perf script -F comm,ip,sym,dso | parts.py JOBS CPU-MS-A-JOB

JOBS is how many jobs the recording holds; the samples of processes named
kalvenor are split in proportion, and scaled to CPU-MS-A-JOB (the task
clock `perf stat` measured without sampling), since sampling with call
chains slows what it samples."""
import collections
import re
import sys

FILES = "kernel: file calls (open, stat, write, fsync, rename)"
MAPPING = "kernel: mapping calls (libraries, memory)"
# The kernel frame that says what a kernel sample was doing for the job.
KERNEL_PARTS = [
    ("asm_exc_page_fault", "kernel: page faults (memory touched)"),
    ("__x64_sys_exit_group", "kernel: exit (unmapping)"),
    ("do_exit", "kernel: exit (unmapping)"),
    ("__x64_sys_execve", "kernel: exec"),
]
FILE_CALLS = {"openat", "newfstatat", "read", "pread64", "write", "close", "fsync", "rename", "renameat2",
              "getdents64", "fchmod", "mkdir", "access", "readlink", "unlink", "unlinkat", "fstat", "lseek"}
MAP_CALLS = {"mmap", "munmap", "mprotect", "brk", "mremap", "madvise"}
LIBRARIES = [
    ("ld-linux", "user: loader (mapping, binding symbols)"),
    ("/kalvenor", "user: kalvenor's own code"),
    ("libc.so", "user: C library (copies, allocation)"),
    ("libstdc++", "user: C++ library"),
    ("libharfbuzz", "user: HarfBuzz (shaping)"),
    ("libqrencode", "user: qrencode (QR code)"),
    ("libcairo", "user: cairo (PDF)"),
    ("libz.so", "user: zlib (PDF streams)"),
    ("libfreetype", "user: FreeType"),
    ("libpixman", "user: pixman"),
]


def kernel_part(frames):
    for name, part in KERNEL_PARTS:
        if name in frames:
            return part
    for frame in frames:
        m = re.match(r"__(?:x64|do)_sys_(\w+)", frame)
        if m:
            call = m.group(1)
            if call in FILE_CALLS:
                return FILES
            return MAPPING if call in MAP_CALLS else "kernel: other calls"
    # Calls whose entry frame was inlined away.
    if any("mmap" in f for f in frames):
        return MAPPING
    if any(f.startswith(("ksys_", "do_sys_open", "vfs_")) for f in frames):
        return FILES
    return "kernel: other"


def main():
    jobs, cpu_ms = int(sys.argv[1]), float(sys.argv[2])
    parts = collections.Counter()
    comm, frames, dso = None, [], None

    def flush():
        if comm != "kalvenor" or dso is None:
            return
        if dso == "[kernel.kallsyms]":
            parts[kernel_part(frames)] += 1
        else:
            parts[next((part for key, part in LIBRARIES if key in dso), "user: other libraries")] += 1

    for line in sys.stdin:
        if not line.strip():
            flush()
            comm, frames, dso = None, [], None
        elif not line[0].isspace():
            comm = line.split()[0]
        else:
            m = re.match(r"\s*[0-9a-f]+ (.*) \((.*)\)$", line.rstrip())
            if m:
                if dso is None:
                    dso = m.group(2)
                frames.append(m.group(1).split("+")[0])
    flush()
    total = sum(parts.values())
    if total == 0:
        sys.exit("parts.py: no samples of kalvenor")
    kernel = sum(v for k, v in parts.items() if k.startswith("kernel"))
    print(f"  {'part':56s} {'ms a job':>8s}")
    for part, count in sorted(parts.items(), key=lambda kv: (not kv[0].startswith("kernel"), -kv[1])):
        print(f"  {part:56s} {cpu_ms * count / total:8.2f}")
    print(f"  {'CPU a job (kernel ' + format(100 * kernel / total, '.0f') + ' %)':56s} {cpu_ms:8.2f}")
    print(f"  ({total} samples of {jobs} jobs)")


if __name__ == "__main__":
    main()
