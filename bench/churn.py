#!/usr/bin/env python3
"""Changes a tree for a given time while a search runs over it: deletes and
recreates files, rewrites and truncates them, takes away and gives back the
permissions of files and folders, and renames folders back and forth.

    bench/churn.py TREE SECONDS [SEED]

Prints how many changes of each kind it made. Leaves the tree readable."""
import os
import random
import sys
import time


def main():
    tree, seconds = sys.argv[1], float(sys.argv[2])
    rng = random.Random(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
    folders = sorted(os.path.join(tree, d) for d in os.listdir(tree))
    counts = dict.fromkeys(["delete", "recreate", "rewrite", "truncate", "chmod",
                            "rename"], 0)
    locked = []
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        folder = rng.choice(folders)
        try:
            name = os.path.join(folder, "f%d.txt" % rng.randrange(20))
            kind = rng.randrange(6)
            if kind == 0 and os.path.exists(name):
                os.unlink(name)
                counts["delete"] += 1
            elif kind == 1:
                with open(name, "wb") as f:
                    f.write(b"needle a line\n" * rng.randrange(1, 200))
                counts["recreate"] += 1
            elif kind == 2 and os.path.exists(name):
                with open(name, "r+b") as f:
                    f.seek(rng.randrange(64))
                    f.write(os.urandom(rng.randrange(1, 4096)))
                counts["rewrite"] += 1
            elif kind == 3 and os.path.exists(name):
                os.truncate(name, rng.randrange(8))
                counts["truncate"] += 1
            elif kind == 4:
                target = rng.choice([name, folder])
                if os.path.exists(target):
                    os.chmod(target, 0)
                    locked.append(target)
                    counts["chmod"] += 1
                if len(locked) > 50:
                    restore(locked.pop(0))
            elif kind == 5:
                moved = folder + ".moved"
                os.rename(folder, moved)
                time.sleep(0.001)
                os.rename(moved, folder)
                counts["rename"] += 1
        except OSError:
            pass  # the file went away under another change
    for target in locked:
        restore(target)
    print("changes:", ", ".join("%s %d" % kv for kv in counts.items()))


def restore(target):
    try:
        os.chmod(target, 0o755 if os.path.isdir(target) else 0o644)
    except OSError:
        pass


if __name__ == "__main__":
    main()
