#!/usr/bin/env python3
"""Reads the resources of a PE file as the Windows loader finds them.

    pe-resources.py EXE list                 one line per resource: TYPE ID LANG SIZE
    pe-resources.py EXE data TYPE ID         the data of the first language of TYPE/ID
    pe-resources.py EXE file-version         FILEVERSION of the version resource, as a.b.c.d

TYPE and ID are numbers (24: manifest, 16: version). Exits 1 when the file is
not a PE image or the resource is not there.
"""
import struct
import sys


class PeError(Exception):
    pass


class Image:
    def __init__(self, path):
        with open(path, "rb") as f:
            self.data = f.read()
        d = self.data
        if d[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = struct.unpack_from("<I", d, 0x3C)[0]
        if d[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE header")
        sections, opt_size = struct.unpack_from("<H12xH", d, pe + 6)
        opt = pe + 24
        magic = struct.unpack_from("<H", d, opt)[0]
        dirs = {0x10B: opt + 96, 0x20B: opt + 112}.get(magic)
        if dirs is None:
            raise PeError("unknown optional header 0x%x" % magic)
        # Data directory 2: the resources.
        self.rsrc_rva, self.rsrc_size = struct.unpack_from("<II", d, dirs + 2 * 8)
        self.sections = []
        for i in range(sections):
            s = opt + opt_size + 40 * i
            vsize, va, rawsize, rawptr = struct.unpack_from("<IIII", d, s + 8)
            self.sections.append((va, max(vsize, rawsize), rawptr))

    def offset(self, rva):
        for va, size, rawptr in self.sections:
            if va <= rva < va + size:
                return rawptr + rva - va
        raise PeError("address 0x%x is in no section" % rva)

    def resources(self):
        """(type, id, lang, data) for every resource with numeric type and id."""
        if self.rsrc_rva == 0:
            return []
        base = self.offset(self.rsrc_rva)
        out = []

        def entries(table):
            named, numbered = struct.unpack_from("<HH", self.data, base + table + 12)
            for i in range(named + numbered):
                name, target = struct.unpack_from("<II", self.data, base + table + 16 + 8 * i)
                yield (None if name & 0x80000000 else name), target

        for rtype, t in entries(0):
            for rid, n in entries(t & 0x7FFFFFFF):
                for lang, leaf in entries(n & 0x7FFFFFFF):
                    if rtype is None or rid is None or leaf & 0x80000000:
                        continue
                    rva, size = struct.unpack_from("<II", self.data, base + leaf)
                    start = self.offset(rva)
                    out.append((rtype, rid, lang, self.data[start:start + size]))
        return out

    def find(self, rtype, rid):
        for t, i, _, data in self.resources():
            if t == rtype and i == rid:
                return data
        raise PeError("no resource %d/%d" % (rtype, rid))


def file_version(version_resource):
    # VS_VERSIONINFO: three WORDs, the key "VS_VERSION_INFO" in UTF-16 with its
    # NUL, padding to 32 bits, then VS_FIXEDFILEINFO, signature 0xFEEF04BD.
    at = version_resource.find(struct.pack("<I", 0xFEEF04BD))
    if at < 0:
        raise PeError("version resource without VS_FIXEDFILEINFO")
    ms, ls = struct.unpack_from("<II", version_resource, at + 8)
    return "%d.%d.%d.%d" % (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)


def main(argv):
    if len(argv) < 3:
        sys.stderr.write(__doc__)
        return 2
    try:
        image = Image(argv[1])
        if argv[2] == "list":
            for rtype, rid, lang, data in image.resources():
                print(rtype, rid, lang, len(data))
        elif argv[2] == "data" and len(argv) == 5:
            sys.stdout.buffer.write(image.find(int(argv[3]), int(argv[4])))
        elif argv[2] == "file-version":
            print(file_version(image.find(16, 1)))
        else:
            sys.stderr.write(__doc__)
            return 2
    except (OSError, PeError, struct.error) as e:
        sys.stderr.write("%s: %s\n" % (argv[1], e))
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
