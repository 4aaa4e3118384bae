"""One QEMU virtual machine driven over QMP: start it on a disk image, read its screen or its
memory, stop it. Used by the boot proofs; knows nothing about what the screens should show."""

import json
import os
import shutil
import socket
import subprocess
import tempfile
import time

OVMF_DIR = "/usr/share/OVMF"
OVMF_X64_CODE = os.path.join(OVMF_DIR, "OVMF_CODE_4M.fd")
OVMF_X64_VARS = os.path.join(OVMF_DIR, "OVMF_VARS_4M.fd")
OVMF_IA32_CODE = os.path.join(OVMF_DIR, "OVMF32_CODE_4M.secboot.fd")
OVMF_IA32_VARS = os.path.join(OVMF_DIR, "OVMF32_VARS_4M.fd")


class MissingTool(Exception):
    """A peer (emulator, firmware, mtools) is not installed: the proof is skipped loudly."""


def require_program(name):
    path = shutil.which(name)
    if path is None:
        raise MissingTool(f"{name} is not installed")
    return path


def require_file(path):
    if not os.path.isfile(path):
        raise MissingTool(f"{path} is missing")
    return path


class QemuSession:
    """A running QEMU with a QMP socket. Use as a context manager: the VM is always stopped."""

    def __init__(self, args, work_dir):
        self.work_dir = work_dir
        self.socket_path = os.path.join(work_dir, "qmp.sock")
        self.log_path = os.path.join(work_dir, "qemu.log")
        self.args = args + ["-qmp", f"unix:{self.socket_path},server=on,wait=off"]
        self.process = None
        self.sock = None
        self.reader = None
        self.started = None

    def __enter__(self):
        self.log = open(self.log_path, "wb")
        self.process = subprocess.Popen(self.args, stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=subprocess.STDOUT)
        self.started = time.monotonic()
        deadline = self.started + 30
        while True:
            if self.process.poll() is not None:
                raise RuntimeError(f"QEMU exited at start: {self.qemu_output()}")
            try:
                self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
                self.sock.connect(self.socket_path)
                break
            except OSError:
                self.sock.close()
                if time.monotonic() > deadline:
                    raise RuntimeError("QEMU's QMP socket did not open")
                time.sleep(0.05)
        self.reader = self.sock.makefile("r", encoding="utf-8")
        self._read_message()  # greeting
        self.command("qmp_capabilities")
        return self

    def __exit__(self, *exc):
        try:
            if self.sock is not None:
                try:
                    self.command("quit")
                except (OSError, RuntimeError, ValueError):
                    pass
                self.sock.close()
        finally:
            if self.process is not None:
                try:
                    self.process.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self.process.kill()
                    self.process.wait()
            self.log.close()
        return False

    def elapsed(self):
        return time.monotonic() - self.started

    def qemu_output(self):
        self.log.flush()
        with open(self.log_path, "rb") as f:
            return f.read().decode("utf-8", "replace").strip()

    def _read_message(self):
        line = self.reader.readline()
        if not line:
            raise RuntimeError(f"QMP connection closed: {self.qemu_output()}")
        return json.loads(line)

    def command(self, name, **arguments):
        message = {"execute": name}
        if arguments:
            message["arguments"] = arguments
        self.sock.sendall((json.dumps(message) + "\n").encode("utf-8"))
        while True:
            reply = self._read_message()
            if "return" in reply:
                return reply["return"]
            if "error" in reply:
                raise RuntimeError(f"QMP {name} failed: {reply['error']}")
            # anything else is an asynchronous event

    def read_memory(self, address, size):
        path = os.path.join(self.work_dir, "memory.bin")
        self.command("pmemsave", val=address, size=size, filename=path)
        with open(path, "rb") as f:
            return f.read()

    def screendump(self):
        """The current screen as (width, height, rgb bytes)."""
        path = os.path.join(self.work_dir, "screen.ppm")
        self.command("screendump", filename=path)
        with open(path, "rb") as f:
            return parse_ppm(f.read())


def parse_ppm(data):
    """Width, height and RGB bytes of a binary (P6, 8-bit) PPM file."""
    fields = []
    pos = 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b"P6" or int(fields[3]) != 255:
        raise ValueError("not an 8-bit binary PPM")
    width, height = int(fields[1]), int(fields[2])
    pixels = data[pos + 1:pos + 1 + width * height * 3]
    if len(pixels) != width * height * 3:
        raise ValueError("truncated PPM")
    return width, height, pixels


def seabios_args(image, drive="ide"):
    qemu = require_program("qemu-system-x86_64")
    boot = "a" if drive == "floppy" else "c"
    return [qemu, "-accel", "tcg", "-display", "none", "-m", "32", "-nodefaults", "-vga", "std",
            "-drive", f"file={image},format=raw,if={drive},snapshot=on", "-boot", boot]


def ovmf_args(image, arch, work_dir, resolution=None, serial_log=None, sector_size=512):
    """Command line for OVMF; resolution (w, h) selects a VGA mode, None means no graphics.
    A sector size other than 512 attaches the disk as virtio with that logical block size."""
    if arch == "x64":
        qemu = require_program("qemu-system-x86_64")
        code, vars_template = require_file(OVMF_X64_CODE), require_file(OVMF_X64_VARS)
        machine = ["-machine", "q35"]
    else:
        qemu = require_program("qemu-system-i386")
        code, vars_template = require_file(OVMF_IA32_CODE), require_file(OVMF_IA32_VARS)
        machine = ["-machine", "q35,smm=on", "-global",
                   "driver=cfi.pflash01,property=secure,value=on"]
    variables = os.path.join(work_dir, "vars.fd")
    shutil.copyfile(vars_template, variables)
    args = [qemu, "-accel", "tcg", "-display", "none"] + machine + [
        "-m", "256", "-nodefaults", "-nic", "none",
        "-drive", f"if=pflash,format=raw,unit=0,readonly=on,file={code}",
        "-drive", f"if=pflash,format=raw,unit=1,file={variables}"]
    if sector_size == 512:
        args += ["-drive", f"file={image},format=raw,if=ide,snapshot=on"]
    else:
        args += ["-drive", f"file={image},format=raw,if=none,id=stamp,snapshot=on",
                 "-device", f"virtio-blk-pci,drive=stamp,logical_block_size={sector_size},"
                 f"physical_block_size={sector_size}"]
    if resolution is None:
        args += ["-vga", "none"]
    else:
        args += ["-vga", "none", "-device", f"VGA,xres={resolution[0]},yres={resolution[1]}"]
    if serial_log is not None:
        args += ["-serial", f"file:{serial_log}"]
    return args


def make_work_dir():
    return tempfile.mkdtemp(prefix="tvde-boot-")
