"""Writes a payload folder for the installer that `lzhtool installer` makes:
nested folders, 150 small files, one 5 MB file and the program's name, the same bytes on every run."""
import pathlib
import random
import sys

root = pathlib.Path(sys.argv[1])
rng = random.Random(18)
for i in range(150):
    folder = root.joinpath(*[f"D{i % 5}", f"E{i % 3}", f"F{i % 2}", "G"][: i % 5])
    folder.mkdir(parents=True, exist_ok=True)
    text = f"file {i}: " + " ".join(rng.choice(["lzh", "quova", "member", "folder"]) for _ in range(i * 7))
    (folder / f"FILE{i:03}.TXT").write_bytes(text.encode())
big = rng.randbytes(5 << 19) + b"".join(b"line %07d of the large file\r\n" % n for n in range(90000))
(root / "D1" / "LARGE.BIN").write_bytes(big[: 5 << 20])
# The program the installer starts at the end, as every payload must carry.
(root / "QUOVA").write_bytes(b"a stand-in for the program the installer starts\r\n")
