#!/usr/bin/env python3
"""scripts/check-layers.py [source-dir]: checks that the product folders keep
their layers. The order comes from TAV_LAYERS in the top CMakeLists.txt,
bottom layer first; a folder may include only folders listed before it.
Prints each include that points upwards and each pair of folders that include
each other, with file and line, and exits 1 if there is any."""

import os
import re
import sys

SOURCE_SUFFIXES = ('.h', '.hpp', '.c', '.cc', '.cpp')
INCLUDE = re.compile(r'^\s*#\s*include\s*["<]([^">]+)[">]')


def read_layers(root):
    with open(os.path.join(root, 'CMakeLists.txt'), encoding='utf-8') as f:
        text = f.read()
    text = re.sub(r'#[^\n]*', '', text)
    m = re.search(r'\bset\s*\(\s*TAV_LAYERS\s+([^)]*)\)', text)
    if not m:
        sys.exit('check-layers: no set(TAV_LAYERS ...) in %s/CMakeLists.txt' % root)
    return m.group(1).split()


def folder_of(path, layers):
    """The layer folder a source-relative path lies in, or None."""
    best = None
    for layer in layers:
        if path.startswith(layer + '/') and (best is None or len(layer) > len(best)):
            best = layer
    return best


def includes(root, layer):
    """(file, line number, included path) for every include below a folder."""
    top = os.path.join(root, layer)
    for dirpath, dirnames, filenames in os.walk(top):
        dirnames.sort()
        for name in sorted(filenames):
            if not name.endswith(SOURCE_SUFFIXES):
                continue
            full = os.path.join(dirpath, name)
            rel = os.path.relpath(full, root).replace(os.sep, '/')
            with open(full, encoding='utf-8', errors='replace') as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m:
                        continue
                    target = m.group(1)
                    if target.startswith('.'):
                        # A path relative to the including file.
                        target = os.path.normpath(os.path.join(os.path.dirname(rel), target))
                        target = target.replace(os.sep, '/')
                    yield rel, number, target


def check(root):
    layers = read_layers(root)
    rank = {layer: i for i, layer in enumerate(layers)}
    problems = []
    uses = {}   # (from, to) -> first "file:line"
    for layer in layers:
        if not os.path.isdir(os.path.join(root, layer)):
            continue
        for rel, number, target in includes(root, layer):
            # A folder nested in another layer's folder is a layer of its own.
            own = folder_of(rel, layers)
            if own != layer:
                continue
            other = folder_of(target, layers)
            if other is None or other == own:
                continue
            where = '%s:%d' % (rel, number)
            uses.setdefault((own, other), where)
            if rank[other] > rank[own]:
                problems.append('%s: %s includes "%s" from %s, a layer above it'
                                % (where, own, target, other))
    for (a, b), where in sorted(uses.items()):
        if rank[a] < rank[b] and (b, a) in uses:
            problems.append('%s and %s include each other: %s, %s'
                            % (a, b, where, uses[(b, a)]))
    return problems


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..')
    problems = check(os.path.abspath(root))
    for p in problems:
        print(p)
    if problems:
        print('check-layers: %d problem(s); the order is TAV_LAYERS in CMakeLists.txt' % len(problems))
        return 1
    return 0


if __name__ == '__main__':
    sys.exit(main())
