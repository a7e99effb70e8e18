#!/usr/bin/env python3
"""The game of the benchmark's release methods (scripts/bench.sh): a new
version of the game's files and an earlier version of them, as a maker's
patch release meets them.

Usage: bench_game.py --seed SEED --sizes FILE FOLDER

FILE names the files, one a line, "<name><TAB><bytes>", in the order the
lists first name them. FOLDER gets new/ (every file at its size) and
earlier/ (the earlier version), and a stamp of what made them: a folder
whose stamp matches is kept. Both are the same for the same seed, names
and sizes.

Each .pac file is a pack of assets of varied sizes (random bytes stand for
compressed assets): a header, an index of each asset's offset and size,
then the assets, each at a multiple of 2 KiB. The earlier version differs
from the new one as a game's versions do: in the largest pack and a few
others, some assets were edited (other bytes, another size), some are new
and some were dropped, so every later asset and the index move; the game
executable and a few other files are wholly other; the last file the lists
name is new, so the earlier version lacks it. Every other file is the new
one (a hard link).
"""

import argparse
import hashlib
import math
import os
import random
import shutil
import struct
import sys
from collections import namedtuple

# A pack: magic, asset count, offset of the first asset, reserved; then one
# index entry an asset: its name, offset and size.
PACK_HEADER = struct.Struct("<4sIII")
PACK_ENTRY = struct.Struct("<48sII8x")
PACK_MAGIC = b"VPAK"
ALIGNMENT = 2048
# Assets from 4 KiB to 4 MiB, each size as likely as twice it (at most an
# eighth of the pack, so that every pack holds several).
ASSET_MIN = 4 << 10
ASSET_MAX = 4 << 20

# What the earlier version differs in: packs changed (the largest and
# others), and in each the assets edited, inserted in the new version and
# removed from it; files wholly other (the game executable and others).
CHANGED_PACKS = 6
EDITED_ASSETS = 3
INSERTED_ASSETS = 2
REMOVED_ASSETS = 2
CHANGED_FILES = 3

CHUNK = 1 << 20

# An asset: its number in the pack, which version's bytes it has, its size.
Asset = namedtuple("Asset", "number version size")


def aligned(offset):
    return (offset + ALIGNMENT - 1) // ALIGNMENT * ALIGNMENT


def first_asset_offset(count):
    return aligned(PACK_HEADER.size + count * PACK_ENTRY.size)


def asset_size(rng, pack_size):
    top = max(2 * ASSET_MIN, min(ASSET_MAX, pack_size // 8))
    return int(math.exp(rng.uniform(math.log(ASSET_MIN), math.log(top))))


def new_assets(rng, pack_size):
    """Assets that fill a pack of exactly pack_size bytes: the last one takes
    what the others leave (at least ASSET_MIN)."""
    assets = []
    used = 0  # the aligned bytes of the assets so far
    while True:
        size = asset_size(rng, pack_size)
        end = first_asset_offset(len(assets) + 2) + used + aligned(size)
        if end + ASSET_MIN > pack_size:
            break
        assets.append(Asset(len(assets), "new", size))
        used += aligned(size)
    last = pack_size - first_asset_offset(len(assets) + 1) - used
    assets.append(Asset(len(assets), "new", last))
    return assets


def earlier_assets(rng, assets, pack_size):
    """The earlier version's assets of a changed pack, and what changed."""
    picked = rng.sample(range(len(assets)), min(len(assets), EDITED_ASSETS + INSERTED_ASSETS))
    edited, inserted = set(picked[:EDITED_ASSETS]), set(picked[EDITED_ASSETS:])
    earlier = []
    for asset in assets:
        if asset.number in inserted:
            continue
        if asset.number in edited:
            size = max(ASSET_MIN, int(asset.size * rng.uniform(0.8, 1.2)))
            asset = Asset(asset.number, "earlier", size)
        earlier.append(asset)
    for number in range(len(assets), len(assets) + REMOVED_ASSETS):
        earlier.insert(rng.randrange(len(earlier) + 1),
                       Asset(number, "earlier", asset_size(rng, pack_size)))
    change = (f"{len(edited)} of {len(assets)} assets edited, {len(inserted)} inserted, "
              f"{REMOVED_ASSETS} removed")
    return earlier, change


def random_bytes(key, size):
    """size bytes that depend on key alone, in chunks."""
    rng = random.Random(key)
    while size > 0:
        chunk = min(size, CHUNK)
        yield rng.randbytes(chunk)
        size -= chunk


def write_pack(path, seed, name, assets):
    offset = first_asset_offset(len(assets))
    with open(path, "wb") as pack:
        pack.write(PACK_HEADER.pack(PACK_MAGIC, len(assets), offset, 0))
        offsets = []
        for asset in assets:
            offsets.append(offset)
            pack.write(PACK_ENTRY.pack(b"asset%05d.dat" % asset.number, offset, asset.size))
            offset = aligned(offset + asset.size)
        for asset, start in zip(assets, offsets):
            pack.write(bytes(start - pack.tell()))
            for chunk in random_bytes(f"{seed}/{name}/{asset.number}/{asset.version}",
                                      asset.size):
                pack.write(chunk)


def write_file(path, key, size):
    with open(path, "wb") as file:
        for chunk in random_bytes(key, size):
            file.write(chunk)


def is_pack(name):
    return name.lower().endswith(".pac")


def pack_assets(seed, name, size):
    return new_assets(random.Random(f"{seed}/{name}/layout"), size)


def write_new_version(folder, seed, files):
    os.makedirs(folder)
    for name, size in files:
        if is_pack(name):
            write_pack(os.path.join(folder, name), seed, name, pack_assets(seed, name, size))
        else:
            write_file(os.path.join(folder, name), f"{seed}/{name}/new", size)


def pick_changes(rng, files):
    """The packs changed, the files wholly other and the new file."""
    new_file = files[-1][0]
    packs = [(name, size) for name, size in files if is_pack(name) and name != new_file]
    largest = max(packs, key=lambda pack: pack[1])
    others = [pack for pack in packs if pack != largest]
    changed_packs = [largest] + rng.sample(others, min(len(others), CHANGED_PACKS - 1))
    plain = [(name, size) for name, size in files[1:] if not is_pack(name) and name != new_file]
    changed_files = files[:1] + rng.sample(plain, min(len(plain), CHANGED_FILES - 1))
    return dict(changed_packs), dict(changed_files), new_file


def write_earlier_version(folder, new_folder, seed, files):
    """The earlier version, and a line on each file that differs."""
    os.makedirs(folder)
    rng = random.Random(f"{seed}/earlier")
    changed_packs, changed_files, new_file = pick_changes(rng, files)
    changes = [f"{new_file}: new, not in the earlier version"]
    for name, size in files:
        path = os.path.join(folder, name)
        if name in changed_packs:
            assets, change = earlier_assets(rng, pack_assets(seed, name, size), size)
            write_pack(path, seed, name, assets)
            changes.append(f"{name}: {change}")
        elif name in changed_files:
            write_file(path, f"{seed}/{name}/earlier", size)
            changes.append(f"{name}: wholly other")
        elif name != new_file:
            os.link(os.path.join(new_folder, name), path)
    return changes


def read_sizes(path):
    files = []
    with open(path, encoding="utf-8") as sizes:
        for line in sizes:
            if line.strip():
                name, size = line.rstrip("\n").split("\t")
                files.append((name, int(size)))
    return files


def stamp_of(seed, sizes_path):
    """What made the game: this generator, the seed and the names' sizes."""
    digest = hashlib.sha256()
    for path in (__file__, sizes_path):
        with open(path, "rb") as source:
            digest.update(source.read())
    digest.update(seed.encode())
    return digest.hexdigest()


def generate(folder, seed, sizes_path):
    """Writes the game unless its stamp matches; prints what differs."""
    stamp_path = os.path.join(folder, "stamp")
    changes_path = os.path.join(folder, "changes.txt")
    stamp = stamp_of(seed, sizes_path)
    try:
        with open(stamp_path, encoding="utf-8") as kept:
            is_kept = kept.read() == stamp
    except FileNotFoundError:
        is_kept = False
    if not is_kept:
        for item in ("stamp", "new", "earlier"):
            shutil.rmtree(os.path.join(folder, item), ignore_errors=True)
        os.makedirs(folder, exist_ok=True)
        files = read_sizes(sizes_path)
        new_folder = os.path.join(folder, "new")
        write_new_version(new_folder, seed, files)
        changes = write_earlier_version(os.path.join(folder, "earlier"), new_folder, seed, files)
        with open(changes_path, "w", encoding="utf-8") as listed:
            listed.write("".join(line + "\n" for line in changes))
        # Last: a run cut short leaves no stamp, so the next one starts over.
        with open(stamp_path, "w", encoding="utf-8") as written:
            written.write(stamp)
    with open(changes_path, encoding="utf-8") as listed:
        print(f"{'kept' if is_kept else 'generated'}: the earlier version differs in")
        sys.stdout.write(listed.read())


def main():
    parser = argparse.ArgumentParser(description="The release methods' game of scripts/bench.sh.")
    parser.add_argument("--seed", required=True)
    parser.add_argument("--sizes", required=True)
    parser.add_argument("folder")
    arguments = parser.parse_args()
    try:
        generate(arguments.folder, arguments.seed, arguments.sizes)
    except (OSError, ValueError) as error:
        print(f"bench_game: {error}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
