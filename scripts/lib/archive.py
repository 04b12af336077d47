#!/usr/bin/env python3
"""Packs a folder into a .zip or .tar.gz whose bytes depend only on the files'
names and contents: entries in name order, every time the given epoch, owner
root, modes 0755 (folders and executables) or 0644, and no extra fields (zip
tools otherwise store the access and change times and the owner of each file,
and gzip the time and name of the archive).

    archive.py <output.zip|output.tar.gz> <folder> <epoch>

The folder's own name is the top folder inside the archive."""
import gzip
import io
import os
import sys
import tarfile
import time
import zipfile


def entries(folder):
    top = os.path.basename(os.path.normpath(folder))
    yield top, folder
    for root, dirs, files in os.walk(folder):
        dirs.sort()
        for name in sorted(dirs + files):
            path = os.path.join(root, name)
            yield os.path.join(top, os.path.relpath(path, folder)), path


def mode_of(path):
    return 0o755 if os.path.isdir(path) or os.access(path, os.X_OK) else 0o644


def write_zip(output, folder, epoch):
    stamp = time.gmtime(max(epoch, 315532800))[:6]  # zip times start in 1980
    with zipfile.ZipFile(output, "w") as archive:
        for name, path in sorted(entries(folder)):
            is_dir = os.path.isdir(path)
            info = zipfile.ZipInfo(name + ("/" if is_dir else ""), stamp)
            info.create_system = 3  # Unix, so that the modes below are read
            info.external_attr = ((0o040000 if is_dir else 0o100000) | mode_of(path)) << 16
            info.compress_type = zipfile.ZIP_STORED if is_dir else zipfile.ZIP_DEFLATED
            data = b"" if is_dir else open(path, "rb").read()
            archive.writestr(info, data, compresslevel=9)


def write_tar_gz(output, folder, epoch):
    with open(output, "wb") as raw, gzip.GzipFile(filename="", mode="wb", fileobj=raw, mtime=0) as packed, \
            tarfile.open(fileobj=packed, mode="w", format=tarfile.USTAR_FORMAT) as archive:
        for name, path in sorted(entries(folder)):
            info = tarfile.TarInfo(name)
            info.mtime, info.mode, info.uid, info.gid, info.uname, info.gname = epoch, mode_of(path), 0, 0, "root", "root"
            if os.path.isdir(path):
                info.type = tarfile.DIRTYPE
                archive.addfile(info)
            else:
                data = open(path, "rb").read()
                info.size = len(data)
                archive.addfile(info, io.BytesIO(data))


if __name__ == "__main__":
    output, folder, epoch = sys.argv[1], sys.argv[2], int(sys.argv[3])
    (write_zip if output.endswith(".zip") else write_tar_gz)(output, folder, epoch)
