#!/usr/bin/env python3
"""The layering check on small trees written here: three layers low, mid and
high, with one allowed include, one upward include and one pair of folders
that include each other."""

import os
import subprocess
import sys
import tempfile
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.normpath(os.path.join(HERE, '..', '..'))
SCRIPT = os.path.join(SOURCE, 'scripts', 'check-layers.py')

LISTS = '''# bottom up
set(TAV_LAYERS low
               mid high)
foreach(dir ${TAV_LAYERS} tests)
endforeach()
'''


def run(root):
    p = subprocess.run([sys.executable, SCRIPT, root], stdout=subprocess.PIPE,
                       stderr=subprocess.STDOUT, universal_newlines=True)
    return p.returncode, p.stdout


class CheckLayers(unittest.TestCase):
    def tree(self, files):
        d = tempfile.TemporaryDirectory()
        self.addCleanup(d.cleanup)
        files = dict(files)
        files.setdefault('CMakeLists.txt', LISTS)
        for path, text in files.items():
            full = os.path.join(d.name, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, 'w') as f:
                f.write(text)
        return d.name

    ALLOWED = {
        'low/a.h': '#pragma once\n#include <vector>\n',
        'mid/b.h': '#pragma once\n#include "mid/c.h"\n',
        'mid/b.cpp': '#include "mid/b.h"\n\n#include "low/a.h"\n',
        # Not a product folder: may include anything.
        'tests/t.cpp': '#include "high/d.h"\n#include "low/a.h"\n',
        'high/d.h': '#pragma once\n// #include "nowhere/x.h"\n#include "mid/b.h"\n',
    }

    def test_allowed_include_passes(self):
        self.assertEqual(run(self.tree(self.ALLOWED)), (0, ''))

    # files changed in the allowed tree -> the lines printed before the summary
    FAULTS = [
        ({'low/up.cpp': '#include "low/a.h"\n\n#include "high/d.h"\n'},
         ['low/up.cpp:3: low includes "high/d.h" from high, a layer above it']),
        ({'low/a.h': '#pragma once\n#include "mid/b.h"\n'},
         ['low/a.h:2: low includes "mid/b.h" from mid, a layer above it',
          'low and mid include each other: low/a.h:2, mid/b.cpp:3']),
        ({'mid/rel.cpp': '#include "../high/d.h"\n'},
         ['mid/rel.cpp:1: mid includes "high/d.h" from high, a layer above it',
          'mid and high include each other: mid/rel.cpp:1, high/d.h:3']),
    ]

    def test_faults_fail_with_file_and_line(self):
        for changed, expected in self.FAULTS:
            with self.subTest(changed=list(changed)):
                code, out = run(self.tree({**self.ALLOWED, **changed}))
                self.assertEqual(code, 1, out)
                self.assertEqual(out.splitlines()[:-1], expected)

    def test_source_tree_keeps_its_layers(self):
        self.assertEqual(run(SOURCE), (0, ''))


if __name__ == '__main__':
    unittest.main()
