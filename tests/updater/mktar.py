#!/usr/bin/env python3
"""Writes a tar archive member by member, links included, as given.

  mktar.py OUT.tar MEMBER...

A member is "name/" (a folder), "name->target" (a symbolic link, the target
stored as written) or "name=text" (a file holding text). Members are written
in the order given; tar's own tools would refuse or rewrite some of these.
"""
import io
import sys
import tarfile


def main():
    out = sys.argv[1]
    with tarfile.open(out, 'w', format=tarfile.GNU_FORMAT) as tar:
        for spec in sys.argv[2:]:
            if '->' in spec:
                name, target = spec.split('->', 1)
                info = tarfile.TarInfo(name)
                info.type = tarfile.SYMTYPE
                info.linkname = target
                info.mode = 0o777
                tar.addfile(info)
            elif '=' in spec:
                name, text = spec.split('=', 1)
                data = text.encode()
                info = tarfile.TarInfo(name)
                info.size = len(data)
                info.mode = 0o644
                tar.addfile(info, io.BytesIO(data))
            elif spec.endswith('/'):
                info = tarfile.TarInfo(spec.rstrip('/'))
                info.type = tarfile.DIRTYPE
                info.mode = 0o755
                tar.addfile(info)
            else:
                sys.exit('bad member: ' + spec)


if __name__ == '__main__':
    main()
