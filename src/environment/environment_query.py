# The one question the tool asks the interpreter of the environment it reads
# (run as `python -c`; compiled into the tool by CMake, and run by bench/run.sh
# as the floor any reader of the environment pays).
#
# Prints NUL-separated fields after a NUL: the tag, sys.executable, the marker
# values in the order of MARKER_FIELDS in interpreter_facts.cpp, the sys.path
# entries, then the end tag (whatever else the interpreter prints, a .pth file
# at start-up or an exit hook, stays outside the frame). NUL cannot occur in paths or in these values, and bytes pass
# unchanged (no JSON escaping of undecodable file names). The marker values are computed as PEP 508 says;
# on POSIX the platform values come from os.uname() and sys.version, which is
# what the platform module answers there, without its import time.
import os, sys
sys.stdout.flush()
# Older interpreters lack what follows (sys.implementation first): they say
# so in a frame of their own, which the tool turns into one clear line.
if sys.version_info[:2] < (3, 6):
    sys.stdout.write("\0quorl-environment-unsupported\0%d.%d.%d\0" % tuple(sys.version_info[:3]))
    sys.stdout.flush()
    sys.exit(0)
def full(v):
    s = "%d.%d.%d" % (v.major, v.minor, v.micro)
    if v.releaselevel != "final":
        s += v.releaselevel[0] + str(v.serial)
    return s
names = {"cpython": "CPython", "pypy": "PyPy", "ironpython": "IronPython", "jython": "Jython"}
impl = sys.implementation.name
if hasattr(os, "uname") and impl in names:
    u = os.uname()
    machine, release, system, version = u.machine, u.release, u.sysname, u.version
    implementation, python = names[impl], sys.version.split()[0]
else:
    import platform
    machine, release, system, version = platform.machine(), platform.release(), platform.system(), platform.version()
    implementation, python = platform.python_implementation(), platform.python_version()
path = sys.path[1:] if sys.path[:1] == [""] else sys.path
fields = [sys.executable or "", impl, full(sys.implementation.version), os.name, machine, implementation,
          release, system, version, python, ".".join(python.split(".")[:2]), sys.platform] + list(path)
frames = [[b"quorl-environment-1"] + [os.fsencode(f) for f in fields] + [b"quorl-environment-end"]]
# Asked with the argument "files" (by the tool, to keep this answer across
# runs), a second frame names what else the answer depends on: the site
# directories site.py scans (the user site even when absent, since creating
# it changes sys.path), their .pth files and the directories those name
# (added only when they exist), and the file of every module loaded at
# start-up (sitecustomize, what a .pth line imported, the standard library).
def files_read():
    import site
    sites = list(getattr(site, "getsitepackages", lambda: [])()) + [site.getusersitepackages()]
    files = []
    for d in sites:
        files.append(os.fsencode(d))
        names = sorted(n for n in os.listdir(d) if n.endswith(".pth")) if os.path.isdir(d) else []
        for n in names:
            pth = os.path.join(os.fsencode(d), os.fsencode(n))
            files.append(pth)
            with open(pth, "rb") as f:
                lines = f.read().splitlines()
            files.extend(os.path.join(os.fsencode(d), l.rstrip()) for l in lines
                         if l.strip() and not l.startswith((b"#", b"import ", b"import\t")))
    for m in list(sys.modules.values()):
        f = getattr(m, "__file__", None)
        if isinstance(f, str):
            files.append(os.fsencode(f))
    return files
if sys.argv[1:] == ["files"]:
    try:
        frames.append([b"quorl-environment-files"] + files_read() + [b"quorl-environment-files-end"])
    except Exception:
        pass  # an unreadable site directory: without the list, the answer is just not kept
out = getattr(sys.stdout, "buffer", sys.stdout)
out.write(b"".join(b"\0" + b"\0".join(frame) + b"\0" for frame in frames))
out.flush()
