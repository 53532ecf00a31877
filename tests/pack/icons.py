"""Icon files for the branding tests: bitmap and PNG images of several sizes,
written by hand so that the tests need no image library."""
import struct
import zlib


def bitmap_image(size, bits, seed):
    """A BITMAPINFOHEADER image (height doubled for the mask) of size x size."""
    colors = 1 << bits if bits <= 8 else 0
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, bits, 0, 0, 0, 0, colors, 0)
    palette = b"".join(struct.pack("<BBBB", (i * 37 + seed) & 255, (i * 11) & 255, i & 255, 0)
                       for i in range(colors))
    row = ((size * bits + 31) // 32) * 4
    pixels = bytes((seed + i * 7) & 255 for i in range(row * size))
    mask = b"\0" * (((size + 31) // 32) * 4 * size)
    return header + palette + pixels + mask


def png_image(size, seed):
    raw = b"".join(b"\0" + b"".join(bytes(((x * 3 + y + seed) & 255, seed & 255, (y * 5) & 255, 255))
                                     for x in range(size)) for y in range(size))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 6, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))


def icon_file(images):
    """An .ico file: images is a list of (size, bits, data); images follow
    the directory in order, as icon writers lay them out."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, bits, data in images:
        colors = 1 << bits if bits < 8 else 0
        out += struct.pack("<BBBBHHII", size & 255, size & 255, colors, 0, 1, bits, len(data), offset)
        offset += len(data)
        body += data
    return out + body


def sample_icon():
    return icon_file([(16, 4, bitmap_image(16, 4, 1)), (32, 8, bitmap_image(32, 8, 2)),
                      (48, 32, bitmap_image(48, 32, 3)), (256, 32, png_image(256, 4))])
