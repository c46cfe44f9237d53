#!/usr/bin/env python3
"""Checks the release archive: its contents, that packing again gives the same
bytes, and that the exe unpacked from it starts and runs under Wine."""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zipfile

ARGS = None


def pe_timestamp(data):
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    assert data[pe:pe + 4] == b'PE\0\0'
    return struct.unpack_from('<I', data, pe + 8)[0]


def pe_imports(data):
    """The names of the libraries in the import and the delay-import
    directories of a PE file."""
    pe = struct.unpack_from('<I', data, 0x3C)[0]
    assert data[pe:pe + 4] == b'PE\0\0'
    sections, optional_size = struct.unpack_from('<H12xH', data, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from('<H', data, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    table = optional + optional_size
    spans = [struct.unpack_from('<8xII4xI', data, table + 40 * i) for i in range(sections)]

    def offset(rva):
        for size, address, raw in spans:
            if address <= rva < address + max(size, 1):
                return rva - address + raw
        raise ValueError('RVA %#x is in no section' % rva)

    def name_at(rva):
        start = offset(rva)
        return data[start:data.index(b'\0', start)].decode('ascii')

    names = {}
    for kind, index, entry_size, name_field in (('import', 1, 20, 12), ('delay', 13, 32, 4)):
        rva = struct.unpack_from('<I', data, directories + 8 * index)[0]
        names[kind] = []
        while rva:
            name_rva = struct.unpack_from('<I', data, offset(rva) + name_field)[0]
            if not name_rva:
                break
            names[kind].append(name_at(name_rva))
            rva += entry_size
    return names


# The libraries every start needs, each one that the system only ever loads
# from its own folder (its KnownDLLs), so that no file of the same name beside
# the exe can stand in for it (advapi32, which a save asks for the file's owner,
# is one, and user32 loads it anyway). Any other library (the shell's, the
# common dialogs') the program loads itself from the system folder when first
# needed.
KNOWN_SYSTEM_LIBRARIES = {'kernel32.dll', 'user32.dll', 'gdi32.dll', 'advapi32.dll', 'msvcrt.dll'}


def windows_path(path):
    return 'Z:' + os.path.abspath(path).replace('/', '\\')


class PackageTest(unittest.TestCase):
    def setUp(self):
        self.zip = zipfile.ZipFile(ARGS.zip)
        self.top = 'tekstor-%s/' % ARGS.version
        self.addCleanup(self.zip.close)

    def test_holds_the_exe_and_both_readmes_in_fixed_order(self):
        names = [i.filename for i in self.zip.infolist()]
        self.assertEqual(names, [self.top + 'tekstor.exe', self.top + 'LIESMICH.txt',
                                 self.top + 'README.txt'])
        for info in self.zip.infolist():
            self.assertEqual(info.date_time, (2000, 1, 1, 0, 0, 0), info.filename)
        with open(ARGS.exe, 'rb') as f:
            self.assertEqual(self.zip.read(self.top + 'tekstor.exe'), f.read())

    def test_readmes_are_windows_texts_with_the_version(self):
        german = self.zip.read(self.top + 'LIESMICH.txt')
        english = self.zip.read(self.top + 'README.txt')
        for data in (german, english):
            self.assertIn(('Tekstor ' + ARGS.version).encode(), data)
            self.assertNotIn(b'@VERSION@', data)
            self.assertEqual(data.count(b'\n'), data.count(b'\r\n'))
        self.assertIn('Öffnen'.encode('cp1252'), german)

    def test_packing_again_gives_the_same_bytes(self):
        with open(ARGS.exe, 'rb') as f:
            self.assertEqual(pe_timestamp(f.read()), 0, 'a link time stamp makes every build differ')
        with tempfile.TemporaryDirectory() as tmp:
            again = os.path.join(tmp, 'again.zip')
            subprocess.run([sys.executable, ARGS.packer, '--exe', ARGS.exe, '--version', ARGS.version,
                            '--readme-dir', ARGS.readme_dir, '--out', again],
                           check=True, stdout=subprocess.DEVNULL)
            with open(again, 'rb') as a, open(ARGS.zip, 'rb') as b:
                self.assertEqual(a.read(), b.read())

    def test_the_exe_imports_only_libraries_the_system_loads_from_its_own_folder(self):
        with open(ARGS.exe, 'rb') as f:
            imports = pe_imports(f.read())
        self.assertTrue(imports['import'])
        names = {name.lower() for name in imports['import']}
        self.assertLessEqual(names, KNOWN_SYSTEM_LIBRARIES)
        # A delayed import would be looked for beside the exe first.
        self.assertEqual(imports['delay'], [])

    def test_the_unpacked_exe_starts_types_and_exits(self):
        tmp = tempfile.mkdtemp()
        self.addCleanup(shutil.rmtree, tmp, True)
        self.zip.extractall(tmp)
        exe = os.path.join(tmp, self.top, 'tekstor.exe')
        env = dict(os.environ, TEKSTOR_EXE=windows_path(exe))
        loader = os.environ.get('WINELOADER', 'wine')
        run = subprocess.run([loader, ARGS.e2e, '--gtest_filter=Editor.StartsTypesTogglesWrapAndExitsWithCodeOne'],
                             env=env, capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stdout + run.stderr)
        self.assertIn('[  PASSED  ] 1 test', run.stdout)


if __name__ == '__main__':
    ap = argparse.ArgumentParser()
    for name in ('zip', 'exe', 'version', 'packer', 'readme-dir', 'e2e'):
        ap.add_argument('--' + name, required=True)
    ARGS, rest = ap.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
