"""Reads what the release checks need from a Windows program file: the
header fields that make two builds differ (link time stamp, checksum), the
certificate table, and the resources (the manifest, the version resource,
embedded programs). Every offset is checked against the file: a damaged or
hostile file raises PeError, never reads past its end."""
import struct

RT_VERSION = 16
RT_MANIFEST = 24


class PeError(ValueError):
    pass


def _unpack(fmt, data, offset):
    size = struct.calcsize(fmt)
    if offset < 0 or offset + size > len(data):
        raise PeError("%d bytes at offset %d lie past the end (%d bytes)" % (size, offset, len(data)))
    return struct.unpack_from(fmt, data, offset)


class PeFile:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        (pe,) = _unpack("<I", data, 0x3C)
        if _unpack("4s", data, pe)[0] != b"PE\0\0":
            raise PeError("no PE signature at %d" % pe)
        (self.machine, sections, self.timestamp, _, _, optional_size,
         self.characteristics) = _unpack("<HHIIIHH", data, pe + 4)
        self.timestamp_offset = pe + 8
        opt = pe + 24
        (self.magic,) = _unpack("<H", data, opt)
        if self.magic == 0x10B:
            directories_at = opt + 96
        elif self.magic == 0x20B:
            directories_at = opt + 112
        else:
            raise PeError("unknown optional header magic %#x" % self.magic)
        self.checksum_offset = opt + 64
        (self.checksum,) = _unpack("<I", data, self.checksum_offset)
        (count,) = _unpack("<I", data, directories_at - 4)
        self.directories = [_unpack("<II", data, directories_at + 8 * i) for i in range(min(count, 16))]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            name, vsize, rva, raw_size, raw_at = _unpack("<8sIIII", data, table + 40 * i)
            self.sections.append((name.rstrip(b"\0").decode("ascii", "replace"), rva,
                                  max(vsize, raw_size), raw_at, raw_size))

    def directory(self, index):
        """(RVA, size) of a data directory, (0, 0) when absent."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def certificate_table(self):
        """(file offset, size) of the certificate table (Authenticode), or None."""
        offset, size = self.directory(4)
        return (offset, size) if offset and size else None

    def section_of(self, offset):
        """The name of the section that holds a file offset ("header" before them)."""
        for name, _, _, raw_at, raw_size in self.sections:
            if raw_at <= offset < raw_at + raw_size:
                return name
        return "header" if not self.sections or offset < min(s[3] for s in self.sections) else "?"

    def offset_of(self, rva, size=0):
        for _, start, length, raw_at, raw_size in self.sections:
            if start <= rva < start + length:
                at = raw_at + (rva - start)
                if rva - start + size > raw_size or at + size > len(self.data):
                    raise PeError("RVA %#x (+%d) lies outside its section's data" % (rva, size))
                return at
        raise PeError("RVA %#x lies in no section" % rva)

    def resources(self):
        """{(type, name, language): bytes}; names and types are numbers or
        strings as stored."""
        rva, size = self.directory(2)
        if not rva:
            return {}
        base = self.offset_of(rva)
        found = {}

        def name_of(entry_name):
            if entry_name & 0x80000000:
                at = base + (entry_name & 0x7FFFFFFF)
                (length,) = _unpack("<H", self.data, at)
                return self.data[at + 2:at + 2 + 2 * length].decode("utf-16-le", "replace")
            return entry_name

        def walk(at, path, depth):
            if depth > 3:
                raise PeError("resource tree deeper than three levels")
            named, numbered = _unpack("<HH", self.data, at + 12)
            for i in range(named + numbered):
                entry_name, target = _unpack("<II", self.data, at + 16 + 8 * i)
                here = path + (name_of(entry_name),)
                if target & 0x80000000:
                    walk(base + (target & 0x7FFFFFFF), here, depth + 1)
                elif depth == 2:
                    data_rva, data_size = _unpack("<II", self.data, base + target)
                    start = self.offset_of(data_rva, data_size)
                    found[here] = self.data[start:start + data_size]
                else:
                    raise PeError("resource data entry at level %d" % depth)

        walk(base, (), 0)
        return found


def parse_version_info(data):
    """A VS_VERSIONINFO resource as (fixed file info fields, {table: {key:
    value}}, [(language, code page)])."""

    def block(at, end):
        length, value_length, kind = _unpack("<HHH", data, at)
        if length < 6 or at + length > end:
            raise PeError("version block at %d has a bad length %d" % (at, length))
        stop = at + length
        key_at = at + 6
        key_end = key_at
        while True:
            (unit,) = _unpack("<H", data, key_end)
            if unit == 0:
                break
            key_end += 2
        key = data[key_at:key_end].decode("utf-16-le")
        value_at = (key_end + 2 + 3) & ~3
        if kind == 1:  # text: value_length counts UTF-16 units, the NUL too
            value_end = min(stop, value_at + 2 * value_length)
            raw = data[value_at:value_end]
            value = raw.decode("utf-16-le", "replace").split("\0", 1)[0]
        else:
            value = data[value_at:value_at + value_length]
            value_end = value_at + value_length
        children = []
        child = (value_end + 3) & ~3
        while child < stop:
            sub, child_end = block(child, stop)
            children.append(sub)
            child = (child_end + 3) & ~3
        return (key, value, children), stop

    (key, value, children), _ = block(0, len(data))
    if key != "VS_VERSION_INFO":
        raise PeError("version resource key is %r" % key)
    if len(value) != 52:
        raise PeError("fixed file info is %d bytes, expected 52" % len(value))
    fields = struct.unpack("<13I", value)
    if fields[0] != 0xFEEF04BD:
        raise PeError("fixed file info signature is %#x" % fields[0])
    names = ("signature", "struct_version", "file_ms", "file_ls", "product_ms", "product_ls",
             "flags_mask", "flags", "os", "type", "subtype", "date_ms", "date_ls")
    fixed = dict(zip(names, fields))
    tables, translations = {}, []
    for ckey, _, cchildren in children:
        if ckey == "StringFileInfo":
            for tkey, _, strings in cchildren:
                tables[tkey] = {k: v for k, v, _ in strings}
        elif ckey == "VarFileInfo":
            for vkey, vvalue, _ in cchildren:
                if vkey == "Translation":
                    for i in range(0, len(vvalue) - 3, 4):
                        translations.append(struct.unpack_from("<HH", vvalue, i))
    return fixed, tables, translations


def version_numbers(fixed, which="file"):
    """The four numbers of the file (or product) version."""
    ms, ls = fixed[which + "_ms"], fixed[which + "_ls"]
    return (ms >> 16, ms & 0xFFFF, ls >> 16, ls & 0xFFFF)
