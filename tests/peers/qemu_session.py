"""One QEMU machine driven over QMP (start it on a disk image, read its memory or screen, stop
it) and the command lines of the firmware the boot proofs use."""

import json
import os
import shutil
import socket
import subprocess
import time

OVMF = {"x64": ("qemu-system-x86_64", "OVMF_CODE_4M.fd", "OVMF_VARS_4M.fd", ["q35"]),
        "ia32": ("qemu-system-i386", "OVMF32_CODE_4M.secboot.fd", "OVMF32_VARS_4M.fd",
                 ["q35,smm=on", "-global", "driver=cfi.pflash01,property=secure,value=on"])}


class MissingTool(Exception):
    """A peer (emulator, firmware, FAT tools) is not installed: the proof is skipped loudly."""


def require(name):
    path = name if os.path.isabs(name) else shutil.which(name)
    if path is None or not os.path.exists(path):
        raise MissingTool(f"{name} is not installed")
    return path


class QemuSession:
    """A running QEMU with a QMP socket. Use as a context manager: the VM is always stopped."""

    def __init__(self, args, work_dir):
        self.work_dir = work_dir
        self.socket_path = os.path.join(work_dir, "qmp.sock")
        self.args = args + ["-qmp", f"unix:{self.socket_path},server=on,wait=off"]
        self.sock = None

    def __enter__(self):
        self.log = open(os.path.join(self.work_dir, "qemu.log"), "w+b")
        self.process = subprocess.Popen(self.args, stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        self.started = time.monotonic()
        while self.sock is None:
            sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            if sock.connect_ex(self.socket_path) == 0:
                self.sock = sock
            elif self.process.poll() is not None or self.elapsed() > 30:
                sock.close()
                self.__exit__()
                raise RuntimeError(f"QEMU did not start: {self.output()}")
            else:
                sock.close()
                time.sleep(0.05)
        self.reader = self.sock.makefile("r", encoding="utf-8")
        self.reader.readline()  # greeting
        self.command("qmp_capabilities")
        return self

    def __exit__(self, *exc):
        if self.sock is not None:
            try:
                self.command("quit")
            except (OSError, RuntimeError, ValueError):
                pass
            self.sock.close()
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        self.log.close()

    def elapsed(self):
        return time.monotonic() - self.started
    def output(self):
        self.log.seek(0)
        return self.log.read().decode("utf-8", "replace").strip()

    def command(self, name, **arguments):
        self.sock.sendall((json.dumps({"execute": name, "arguments": arguments}) + "\n").encode())
        while True:  # anything but the answer is an asynchronous event
            line = self.reader.readline()
            if not line:
                raise RuntimeError(f"QMP connection closed: {self.output()}")
            reply = json.loads(line)
            if "error" in reply:
                raise RuntimeError(f"QMP {name} failed: {reply['error']}")
            if "return" in reply:
                return reply["return"]

    def read_memory(self, address, size):
        path = os.path.join(self.work_dir, "memory.bin")
        self.command("pmemsave", val=address, size=size, filename=path)
        with open(path, "rb") as f:
            return f.read()

    def screendump(self):
        """The current screen as (width, height, rgb bytes) from a binary 8-bit PPM."""
        path = os.path.join(self.work_dir, "screen.ppm")
        self.command("screendump", filename=path)
        with open(path, "rb") as f:
            data = f.read()
        magic, width, height, depth = data.split(maxsplit=4)[:4]  # QEMU writes no comments
        if magic != b"P6" or depth != b"255":
            raise ValueError("not an 8-bit binary PPM")
        width, height = int(width), int(height)
        return width, height, data[len(data) - width * height * 3:]

    def poll(self, read, check, timeout, interval, settle):
        """Reads until check finds no problem, the timeout passes, or (after 4 x settle seconds)
        the reading has not changed for settle seconds: the program has finished drawing."""
        last, since = None, 0
        while True:
            observed = read()
            problems, now = check(observed), self.elapsed()
            if observed != last:
                last, since = observed, now
            if not problems or now > timeout or (now > 4 * settle and now - since > settle):
                return problems
            time.sleep(interval)


def seabios_args(image, drive):
    return [require("qemu-system-x86_64"), "-accel", "tcg", "-display", "none", "-m", "32",
            "-nodefaults", "-vga", "std", "-drive", f"file={image},format=raw,if={drive},snapshot=on",
            "-boot", "a" if drive == "floppy" else "c"]


def ovmf_args(image, arch, work_dir, resolution=None, serial_log=None, sector_size=512):
    """OVMF on a q35 machine; resolution (w, h) selects a VGA mode, None means no graphics. A
    sector size other than 512 attaches the disk as virtio with that logical block size."""
    qemu, code, variables, machine = OVMF[arch]
    code = require(os.path.join("/usr/share/OVMF", code))
    copy = os.path.join(work_dir, "vars.fd")
    shutil.copyfile(require(os.path.join("/usr/share/OVMF", variables)), copy)
    args = [require(qemu), "-accel", "tcg", "-display", "none", "-machine", *machine, "-m", "256",
            "-nodefaults", "-nic", "none", "-vga", "none",
            "-drive", f"if=pflash,format=raw,unit=0,readonly=on,file={code}",
            "-drive", f"if=pflash,format=raw,unit=1,file={copy}"]
    if sector_size == 512:
        args += ["-drive", f"file={image},format=raw,if=ide,snapshot=on"]
    else:
        args += ["-drive", f"file={image},format=raw,if=none,id=stamp,snapshot=on", "-device",
                 f"virtio-blk-pci,drive=stamp,logical_block_size={sector_size},"
                 f"physical_block_size={sector_size}"]
    if resolution is not None:
        args += ["-device", f"VGA,xres={resolution[0]},yres={resolution[1]}"]
    if serial_log is not None:
        args += ["-serial", f"file:{serial_log}"]
    return args
