#!/usr/bin/env python3
"""Where one thread waited: its off-CPU time by the reason it left the CPU.

Reads a system-wide record of scheduler switches with call chains, and for
each time the thread left the CPU adds the time until it ran again to the
reason: its state (S asleep, D in the kernel, R preempted) and the first
user-space frames of its stack.

    perf record -a -e sched:sched_switch -g -o sw.data -- COMMAND...
    bench/offcpu.py sw.data [TID]

TID defaults to the first thread of a process whose name starts "velto"
that switches out (the main thread, for the window's benchmarks).
"""
import collections
import re
import subprocess
import sys

data = sys.argv[1]
thread = int(sys.argv[2]) if len(sys.argv) > 2 else None
script = subprocess.run(['perf', 'script', '-i', data, '-F', 'tid,time,trace,ip,sym,dso'],
                        capture_output=True, text=True, check=True).stdout

left = None  # (time, reason) of the thread's last switch out
total = collections.Counter()
count = collections.Counter()
longest = collections.Counter()
for event in script.split('\n\n'):
    lines = [line for line in event.strip().split('\n') if line.strip()]
    head = re.match(r'\s*\d+\s+([\d.]+):\s+(.*)', lines[0]) if lines else None
    switch = head and re.search(r'prev_comm=(.*) prev_pid=(\d+) .*prev_state=(\S+) ==> '
                                r'next_comm=.* next_pid=(\d+)', head.group(2))
    if not switch:
        continue
    time = float(head.group(1))
    prev, state, nxt = int(switch.group(2)), switch.group(3), int(switch.group(4))
    if thread is None and switch.group(1).startswith('velto'):
        thread = prev
    if prev == thread:
        frames = [re.sub(r'\+0x[0-9a-f]+$', '', line.split()[1]) for line in lines[1:]
                  if 'kernel.kallsyms' not in line and len(line.split()) > 1][:2]
        reason = 'R (preempted)' if state.startswith('R') else state + ' ' + ' < '.join(frames)
        left = (time, reason)
    if nxt == thread and left:
        waited = (time - left[0]) * 1000
        total[left[1]] += waited
        count[left[1]] += 1
        longest[left[1]] = max(longest[left[1]], waited)
        left = None

print(f'thread {thread}')
for reason, ms in total.most_common(8):
    print(f'{ms:9.1f} ms {count[reason]:7d} times, longest {longest[reason]:7.2f} ms  {reason}')
