#!/usr/bin/python3
"""A read-only mirror of a folder in which the listing of chosen folders hangs.

It stands in for a network mount that has stopped answering: listing a folder named `stall`
(or one named with --stall) waits until the release file exists, or for ever when none is
given. Everything else passes through to SOURCE, so the rest of the mirror works as usual.

Usage: stallfs.py [options] SOURCE MOUNTPOINT   (runs in the foreground until unmounted)
  --stall NAME     a folder whose listing hangs: a name (any folder of that name) or a path
                   from SOURCE with a slash in it (a/b). Repeatable; default: stall
  --release FILE   the hung calls go on once FILE exists (polled every 50 ms)
  --stall-open     opening the folder hangs too, not only reading it
  --stall-stat     stat of the folder itself hangs too (its lookup in the parent included;
                   libfuse 2 looks names up one at a time per folder, so while that lookup
                   waits, so do the other lookups in the parent, as on a hung network mount)
  --ignore-kill    a waiting call goes on waiting when its caller is killed, as on a share to a
                   host that is gone: the kernel then keeps the killed caller until the release
                   or the unmount
  --writable       files can be made, written, renamed and removed through the mirror
  --stall-fsync    (with --writable) every fsync waits as a stalled listing does, as on a share
                   whose server has stopped taking writes

A call that waits gives up (EINTR) when its process is killed or ends, so that a program that
exits while one of its threads waits here does end; unless --ignore-kill.

Exits with 77 when FUSE cannot be used here (no /dev/fuse, no libfuse, mount refused).
Debian: python3-fusepy (which loads libfuse2) and fuse3 for fusermount.
"""

import argparse
import errno
import os
import sys
import time

CANNOT_USE_FUSE = 77


def skip(why):
    print(f"stallfs: FUSE cannot be used here: {why}", file=sys.stderr)
    sys.exit(CANNOT_USE_FUSE)


try:  # Debian names the module fusepy; elsewhere it is fuse.
    from fusepy import FUSE, FuseOSError, Operations, fuse_get_context
except ImportError:
    try:
        from fuse import FUSE, FuseOSError, Operations, fuse_get_context
    except (ImportError, OSError) as error:
        skip(f"no fusepy or no libfuse ({error})")
except OSError as error:  # fusepy raises this when libfuse2 is missing
    skip(f"no libfuse ({error})")

# Paths travel as latin-1 text, which maps every byte to one character and back, so that names
# that are not UTF-8 pass through unchanged.
ENCODING = "latin-1"


def as_bytes(path):
    return path.encode(ENCODING)


def killed(thread):
    """Whether the thread is gone or has SIGKILL pending, as when its process has ended.

    The kernel does not interrupt a FUSE request that the file system has taken, so without
    this a process whose thread waits here could not end until the release. A hung network
    mount (NFS, hard) does let a killed process go; so does this.
    """
    try:
        with open(f"/proc/{thread}/status") as status:
            for line in status:
                if line.startswith(("SigPnd:", "ShdPnd:")) and int(line.split()[1], 16) & 0x100:
                    return True
    except OSError:
        return True
    return False


class StallFS(Operations):
    use_ns = True

    def __init__(self, source, stalled, release, stall_open, stall_stat, ignore_kill=False,
                 writable=False, stall_fsync=False):
        self.source = as_bytes(os.path.realpath(source))
        self.writable = writable
        self.stall_fsync = stall_fsync
        self.names = {s for s in stalled if "/" not in s}
        self.paths = {"/" + s.strip("/") for s in stalled if "/" in s}
        self.release_file = release
        self.stall_open = stall_open
        self.stall_stat = stall_stat
        self.ignore_kill = ignore_kill

    def real(self, path):
        return self.source + as_bytes(path)

    def is_stalled(self, path):
        return path in self.paths or (path != "/" and path.rsplit("/", 1)[1] in self.names)

    def wait_if_stalled(self, path):
        if self.is_stalled(path):
            self.wait()

    def wait(self):
        caller = fuse_get_context()[2]
        while not (self.release_file and os.path.exists(self.release_file)):
            if caller and not self.ignore_kill and killed(caller):  # 0: outside our namespace
                raise FuseOSError(errno.EINTR)
            time.sleep(0.05)

    @staticmethod
    def attributes(st):
        keys = ("st_mode", "st_ino", "st_nlink", "st_uid", "st_gid", "st_size", "st_blocks")
        attrs = {key: getattr(st, key) for key in keys}
        attrs.update(st_atime=st.st_atime_ns, st_mtime=st.st_mtime_ns, st_ctime=st.st_ctime_ns)
        return attrs

    def getattr(self, path, fh=None):
        if self.stall_stat:
            self.wait_if_stalled(path)
        return self.attributes(os.lstat(self.real(path)))

    def readlink(self, path):
        return os.readlink(self.real(path)).decode(ENCODING)

    def opendir(self, path):
        if self.stall_open:
            self.wait_if_stalled(path)
        if not os.access(self.real(path), os.R_OK | os.X_OK):
            raise FuseOSError(errno.EACCES)
        return 0

    def readdir(self, path, fh):
        self.wait_if_stalled(path)
        entries = [".", ".."]
        folder = self.real(path)
        # The attributes give each entry its type, as a real file system's listing does; a
        # reader that trusts d_type then need not stat every name.
        with os.scandir(folder) as names:
            for entry in names:
                try:
                    attrs = self.attributes(entry.stat(follow_symlinks=False))
                except OSError:
                    attrs = None
                entries.append((entry.name.decode(ENCODING), attrs, 0))
        return entries

    def open(self, path, flags):
        if not self.writable and flags & (os.O_WRONLY | os.O_RDWR | os.O_APPEND | os.O_TRUNC):
            raise FuseOSError(errno.EROFS)
        return os.open(self.real(path), flags)

    # The writes, with --writable only: without it the mount is read-only and the kernel
    # refuses them before they come here.
    def create(self, path, mode, fi=None):
        return os.open(self.real(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def write(self, path, data, offset, fh):
        return os.pwrite(fh, data, offset)

    def truncate(self, path, length, fh=None):
        os.truncate(self.real(path) if fh is None else fh, length)

    def fsync(self, path, datasync, fh):
        if self.stall_fsync:
            self.wait()
        os.fsync(fh)
        return 0

    def flush(self, path, fh):
        return 0

    def chmod(self, path, mode):
        os.chmod(self.real(path), mode)
        return 0

    def chown(self, path, uid, gid):
        os.lchown(self.real(path), uid, gid)
        return 0

    def utimens(self, path, times=None):
        os.utime(self.real(path), ns=times, follow_symlinks=False)
        return 0

    def rename(self, old, new):
        os.rename(self.real(old), self.real(new))
        return 0

    def unlink(self, path):
        os.unlink(self.real(path))
        return 0

    def mkdir(self, path, mode):
        os.mkdir(self.real(path), mode)
        return 0

    def rmdir(self, path):
        os.rmdir(self.real(path))
        return 0

    def read(self, path, size, offset, fh):
        return os.pread(fh, size, offset)

    def release(self, path, fh):
        os.close(fh)
        return 0

    def statfs(self, path):
        st = os.statvfs(self.real(path))
        keys = ("f_bsize", "f_frsize", "f_blocks", "f_bfree", "f_bavail", "f_files", "f_ffree",
                "f_favail", "f_flag", "f_namemax")
        return {key: getattr(st, key) for key in keys}


def main():
    parser = argparse.ArgumentParser(description="A read-only mirror whose listing of some "
                                     "folders hangs, for tests.")
    parser.add_argument("source")
    parser.add_argument("mountpoint")
    parser.add_argument("--stall", action="append", metavar="NAME",
                        help="folder name, or path from SOURCE with a slash (default: stall)")
    parser.add_argument("--release", metavar="FILE",
                        help="hung calls go on once FILE exists (default: never)")
    parser.add_argument("--stall-open", action="store_true", help="opendir hangs as well")
    parser.add_argument("--stall-stat", action="store_true",
                        help="stat of the stalled folder hangs as well")
    parser.add_argument("--ignore-kill", action="store_true",
                        help="a waiting call goes on waiting when its caller is killed")
    parser.add_argument("--writable", action="store_true",
                        help="files can be made, written, renamed and removed")
    parser.add_argument("--stall-fsync", action="store_true",
                        help="with --writable, every fsync waits as a stalled listing does")
    args = parser.parse_args()

    if not os.path.isdir(args.source) or not os.path.isdir(args.mountpoint):
        parser.error("SOURCE and MOUNTPOINT must be folders")
    if os.listdir(args.mountpoint):
        parser.error("MOUNTPOINT must be empty")
    try:
        os.close(os.open("/dev/fuse", os.O_RDWR))
    except OSError as error:
        skip(f"/dev/fuse: {error.strerror}")

    # os.fsencode keeps the bytes of a name given on the command line that is not UTF-8.
    stalled = [os.fsencode(s).decode(ENCODING) for s in (args.stall or ["stall"])]
    release = os.path.abspath(args.release) if args.release else None
    if args.stall_fsync and not args.writable:
        parser.error("--stall-fsync needs --writable")
    fs = StallFS(args.source, stalled, release, args.stall_open, args.stall_stat,
                 args.ignore_kill, args.writable, args.stall_fsync)
    options = dict(foreground=True, ro=not args.writable, fsname="stallfs", subtype="stallfs",
                   default_permissions=True)
    # The tests run as an unprivileged user; root may let others in without fuse.conf.
    if os.geteuid() == 0:
        options["allow_other"] = True
    try:
        # Threads, so that one hung listing does not hold up the other calls.
        FUSE(fs, args.mountpoint, encoding=ENCODING, nothreads=False, **options)
    except RuntimeError as error:
        skip(f"mounting on {args.mountpoint} failed ({error})")


if __name__ == "__main__":
    main()
