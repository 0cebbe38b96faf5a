#!/usr/bin/env python3
"""Grows the sample package's stage into a driver package of a real one's
size and shape, for the benchmarks: many small GPD-like text files and some
large DLL-like files (a real PE header for the folder's processor, then
bytes that compress as machine code and resource strings do).

    make_package.py <sample stage> <output folder> [--scale S] [--extra N]

The sample stage is build/<preset>/driver/stage (the monitors stay as built,
so that a spooler could still load them). Everything is made from a fixed
seed: two runs give the same bytes.
"""
import argparse
import os
import random
import shutil
import sys

MIB = 1024 * 1024
KIB = 1024

# Uncompressed sizes of the big files, per processor folder (bytes, before
# --scale): the universal driver's three DLLs, the receipt family DLLs, the
# label driver and its UI, and its 27 language resource DLLs.
BIG_CODE = {
    "uniDRV.DLL": 2600 * KIB,
    "uniDRVui.DLL": 3000 * KIB,
    "SMPF58.DLL": 420 * KIB, "SMPF80.DLL": 460 * KIB, "SMPF80X.DLL": 470 * KIB,
    "SMPF76.DLL": 380 * KIB, "SMPF112.DLL": 440 * KIB,
    "LBXDRV50.DLL": 4200 * KIB, "LBXDRV56.DLL": 4800 * KIB,
    "LBXUI50.DLL": 5200 * KIB, "LBXUI56.DLL": 5900 * KIB,
}
BIG_RESOURCE = {"UNIRES.DLL": 2100 * KIB}
LANGUAGE_DLL = 380 * KIB  # each LBX<language>5x.DLL: mostly strings and dialogs
HELP_FILE = 3400 * KIB    # THERMAL.chm


def code_pool(rng, size, x64):
    """Bytes shaped like compiled x86 / x86-64 functions: prologues,
    frame-relative moves, calls and jumps with near offsets, compares,
    absolute addresses inside the image, int3 padding between functions."""
    out = bytearray()
    disps = [4, 8, 0xC, 0x10, 0x14, 0x18, 0x1C, 0x20, 0x24, 0x28, 0xF8, 0xF4, 0xF0, 0xEC, 0xE8, 0xE4]
    regs = list(range(8))
    base = 0x10000000
    globals_ = [base + 0x40000 + 4 * rng.randrange(0x4000) for _ in range(120)]
    rex = (lambda: out.append(0x48) if rng.random() < 0.45 else None) if x64 else (lambda: None)
    while len(out) < size:
        # A function: prologue, a body of statements, epilogue, padding.
        if x64:
            out += bytes([0x48, 0x89, 0x5C, 0x24, 0x08, 0x57, 0x48, 0x83, 0xEC, rng.choice([0x20, 0x28, 0x30, 0x40])])
        else:
            out += bytes([0x55, 0x8B, 0xEC, 0x83, 0xEC, rng.choice([8, 0xC, 0x10, 0x18, 0x20, 0x40])])
            if rng.random() < 0.6:
                out += bytes([0x53, 0x56, 0x57])
        for _ in range(int(rng.expovariate(1 / 40)) + 3):
            k = rng.random()
            r1, r2 = rng.choice(regs[:4]), rng.choice(regs)
            if k < 0.22:  # mov reg, [frame+disp]
                rex()
                out += bytes([0x8B, 0x45 | (r1 << 3), rng.choice(disps)])
            elif k < 0.34:  # mov [frame+disp], reg
                rex()
                out += bytes([0x89, 0x45 | (r1 << 3), rng.choice(disps)])
            elif k < 0.46:  # call near
                rel = rng.randint(-150000, 150000) & 0xFFFFFFFF
                out += bytes([0xE8]) + rel.to_bytes(4, "little")
            elif k < 0.56:  # conditional short jump
                out += bytes([0x70 | rng.choice([2, 3, 4, 5, 0xC, 0xD, 0xE, 0xF]), rng.randrange(2, 0x60)])
            elif k < 0.64:  # test / cmp
                rex()
                out += rng.choice([bytes([0x85, 0xC0 | (r1 << 3) | r1]), bytes([0x83, 0xF8 | r1, rng.randrange(0, 16)]),
                                   bytes([0x3B, 0xC0 | (r1 << 3) | r2])])
            elif k < 0.72:  # push argument / absolute address
                out += rng.choice([bytes([0x50 | r1]), bytes([0x6A, rng.randrange(0, 32)]),
                                   bytes([0x68]) + rng.choice(globals_).to_bytes(4, "little")])
            elif k < 0.79:  # load or store a global
                out += bytes([0xA1 if rng.random() < 0.5 else 0xA3]) + rng.choice(globals_).to_bytes(4, "little")
            elif k < 0.85:  # register moves and arithmetic
                rex()
                out += bytes([rng.choice([0x8B, 0x03, 0x2B, 0x33, 0x23, 0x0B]), 0xC0 | (r1 << 3) | r2])
            elif k < 0.90:  # lea
                rex()
                out += bytes([0x8D, 0x45 | (r1 << 3), rng.choice(disps)])
            elif k < 0.95:  # mov reg, imm32
                imm = rng.choice([0, 1, 2, 0xFFFFFFFF, rng.randrange(0, 0x1000), rng.choice(globals_)])
                out += bytes([0xB8 | r1]) + imm.to_bytes(4, "little")
            else:  # indirect call through the import table
                out += bytes([0xFF, 0x15]) + rng.choice(globals_[:60]).to_bytes(4, "little")
        if x64:
            out += bytes([0x48, 0x8B, 0x5C, 0x24, 0x30, 0x48, 0x83, 0xC4, 0x20, 0x5F, 0xC3])
        else:
            out += bytes([0x5F, 0x5E, 0x5B, 0x8B, 0xE5, 0x5D, 0xC3]) if rng.random() < 0.6 else bytes([0xC9, 0xC2, 4 * rng.randrange(0, 5), 0])
        while len(out) % 16:
            out.append(0xCC)
    return bytes(out[:size])


WORDS = ("paper size feed cut cutter partial full drawer kick density speed print darkness head width height "
         "label gap mark sensor black media continuous ribbon thermal direct transfer graphics dither halftone "
         "resolution dots inch barcode font code page character set error offline cover open out of paper "
         "retry cancel apply default settings advanced port status printer driver language version copyright "
         "all rights reserved select option value minimum maximum top bottom left right margin orientation "
         "portrait landscape rotate mirror negative image preview test page calibrate unit millimetre").split()


def resource_pool(rng, size):
    """String tables and dialog texts as a resource DLL holds them: UTF-16
    words with length prefixes and small binary records between them."""
    out = bytearray()
    ident = 1000
    while len(out) < size:
        text = " ".join(rng.choice(WORDS) for _ in range(rng.randint(1, 9))).capitalize()
        data = text.encode("utf-16-le")
        out += (len(text)).to_bytes(2, "little") + data
        if rng.random() < 0.15:  # a dialog item record
            ident += rng.randint(1, 3)
            out += bytes([0, 0, 0x81 if rng.random() < 0.5 else 0x50, 0x50, 0, 0, 0, 0])
            out += bytes([rng.randrange(0, 200), 0, rng.randrange(0, 120), 0, rng.randrange(8, 150), 0, 14, 0])
            out += ident.to_bytes(2, "little") + bytes([0xFF, 0xFF, rng.choice([0x80, 0x81, 0x82, 0x85]), 0])
    return bytes(out[:size])


def gpd_text(rng, name, size):
    """A printer description: features and options with commands."""
    lines = ['*GPDFileVersion: "1.0"', '*GPDSpecVersion: "1.0"', '*Include: "STDNAMES.GPD"',
             '*ModelName: "%s"' % name, "*MasterUnits: PAIR(203, 203)", "*ResourceDLL: \"UNIRES.DLL\"",
             "*PrinterType: SERIAL", "*MaxCopies: 255", ""]
    n = 0
    while sum(len(x) + 2 for x in lines) < size:
        n += 1
        feature = rng.choice(["PaperSize", "Resolution", "Halftone", "MediaType", "FeedDistance", "CutMode",
                              "Darkness", "PrintSpeed", "CashDrawer", "BuzzerMode", "CodePage", "LogoPrint"])
        lines += ["*Feature: %s%d" % (feature, n), "{", "    *rcNameID: %d" % (10000 + n),
                  "    *DefaultOption: Option1", "    *UIType: PICKONE"]
        for o in range(1, rng.randint(3, 14)):
            w, h = rng.randrange(300, 900), rng.randrange(300, 30000)
            lines += ["    *Option: Option%d" % o, "    {", '        *Name: "%s %d"' % (feature, o),
                      "        *PageDimensions: PAIR(%d, %d)" % (w, h),
                      "        *PrintableArea: PAIR(%d, %d)" % (w - 16, h),
                      "        *PrintableOrigin: PAIR(8, 0)",
                      "        *Command: CmdSelect", "        {",
                      "            *Order: DOC_SETUP.%d" % rng.randrange(5, 40),
                      '            *Cmd: "<1B>%c<%02X><%02X>"' % (rng.choice("@!3JadGtM"), rng.randrange(256), o),
                      "        }", "    }"]
        lines += ["}", ""]
    return ("\r\n".join(lines)).encode("ascii")[:size]


def slice_of(pool, rng, size):
    start = rng.randrange(len(pool))
    out = bytearray()
    while len(out) < size:
        out += pool[start:start + size - len(out)]
        start = 0
    return bytes(out)


def grow_dll(path, body, rng, size):
    """The built PE image stays first (so the package check sees a DLL for
    its processor); the rest is appended after its last section."""
    with open(path, "rb") as f:
        image = f.read()
    with open(path, "wb") as f:
        f.write(image + slice_of(body, rng, max(0, size - len(image))))


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("stage")
    parser.add_argument("output")
    parser.add_argument("--scale", type=float, default=1.0, help="multiplies the big files' sizes")
    parser.add_argument("--extra", type=int, default=480,
                        help="small text files beside the catalogue's (option and variant descriptions)")
    args = parser.parse_args()

    rng = random.Random(20261207)
    if os.path.exists(args.output):
        shutil.rmtree(args.output)
    shutil.copytree(args.stage, args.output)

    pools = {"x86": code_pool(rng, 3 * MIB, False), "x64": code_pool(rng, 3 * MIB, True)}
    strings = resource_pool(rng, 2 * MIB)
    # Code DLLs carry some strings too; resource DLLs some code.
    mixed = {cpu: bytearray() for cpu in pools}
    for cpu, code in pools.items():
        for i in range(0, len(code), 64 * KIB):
            mixed[cpu] += code[i:i + 52 * KIB] + strings[(i * 7) % len(strings):][:12 * KIB]
    monitors = {"qmtnlmnt.dll", "qmtnlm64.dll"}

    for folder, _, files in os.walk(args.output):
        cpu = os.path.basename(folder).lower()
        for name in files:
            path = os.path.join(folder, name)
            upper = name.upper()
            lower = name.lower()
            if cpu in pools and lower.endswith(".dll") and lower not in monitors:
                size = next((v for k, v in BIG_CODE.items() if k.upper() == upper), None)
                body = mixed[cpu]
                if size is None:
                    size = next((v for k, v in BIG_RESOURCE.items() if k.upper() == upper), LANGUAGE_DLL)
                    body = strings
                grow_dll(path, body, rng, int(size * args.scale))
            elif lower.endswith(".gpd"):
                with open(path, "wb") as f:
                    f.write(gpd_text(rng, os.path.splitext(name)[0], rng.randrange(24 * KIB, 90 * KIB)))
            elif lower.endswith(".chm") or lower.endswith(".hlp"):
                with open(path, "wb") as f:
                    f.write(slice_of(strings, rng, int((HELP_FILE if lower.endswith(".chm") else 180 * KIB) * args.scale)))
            elif lower.endswith((".ba0", ".dat", ".pp0")):
                with open(path, "wb") as f:
                    f.write(gpd_text(rng, name, rng.randrange(3 * KIB, 20 * KIB)))

    # Variant descriptions no listed model uses (a real package carries
    # them for models sold elsewhere): small text files in the four folders.
    for i in range(args.extra):
        folder = ["Ticket/x86", "Ticket/x64", "Barcode/Common", "Ticket/x86"][i % 4]
        name = "V%04d%s" % (i, ".GPD" if i % 3 else ".INI")
        with open(os.path.join(args.output, folder, name), "wb") as f:
            f.write(gpd_text(rng, name, rng.randrange(2 * KIB, 16 * KIB)))

    count = sum(len(files) for _, _, files in os.walk(args.output))
    total = sum(os.path.getsize(os.path.join(d, n)) for d, _, files in os.walk(args.output) for n in files)
    print("%d files, %.1f MiB unpacked" % (count, total / MIB))


if __name__ == "__main__":
    sys.exit(main())
