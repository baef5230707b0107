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
out = getattr(sys.stdout, "buffer", sys.stdout)
out.write(b"\0" + b"\0".join([b"quorl-environment-1"] + [os.fsencode(f) for f in fields] + [b"quorl-environment-end"]) + b"\0")
out.flush()
