"""The byte layouts the program's resources are stored in, and PNG for the desktop.

- bitmap_resource: a 256-colour picture as a bitmap resource holds it: the 40-byte bitmap
  header, 256 colour-table entries (blue, green, red, 0), then the rows of colour indices from
  the bottom row up, each padded to a multiple of 4 bytes.
- icon_image: one image of an icon group: the bitmap header with twice the height (colour
  pixels and transparency mask stacked), the colour table, the colour pixels, and the mask of
  one bit per pixel (1 = transparent), rows padded to 32 bits, both bottom row first.
- group_directory: the icon group's directory naming its images by resource id.
- png: an RGBA image for desktop integration. The image data is deflated in stored blocks
  (no compression) so the bytes never depend on the zlib at hand.
"""

import struct
import zlib


def _info_header(width, height, bits, image_size, pixels_per_metre):
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, image_size,
                       pixels_per_metre, pixels_per_metre, 0, 0)


def _colour_table(palette, entries):
    if len(palette) != entries:
        raise ValueError("palette must have %d entries" % entries)
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)


def _packed_rows(indices, width, height, bits):
    """Rows of indices packed at `bits` per pixel, bottom row first, padded to 4 bytes."""
    per_byte = 8 // bits
    row_bytes = (width * bits + 31) // 32 * 4
    out = bytearray()
    for y in range(height - 1, -1, -1):
        row = bytearray(row_bytes)
        for x in range(width):
            value = indices[y * width + x]
            if value >> bits:
                raise ValueError("index %d does not fit in %d bits" % (value, bits))
            shift = (per_byte - 1 - x % per_byte) * bits
            row[x // per_byte] |= value << shift
        out += row
    return bytes(out)


def bitmap_resource(width, height, palette, indices):
    return (_info_header(width, height, 8, 0, 2834) + _colour_table(palette, 256)
            + _packed_rows(indices, width, height, 8))


def icon_image(size, bits, palette, indices, transparent):
    """transparent: one flag per pixel, top row first."""
    xor = _packed_rows(indices, size, size, bits)
    mask = _packed_rows([1 if t else 0 for t in transparent], size, size, 1)
    return (_info_header(size, size * 2, bits, len(xor) + len(mask), 0)
            + _colour_table(palette, 1 << bits) + xor + mask)


def group_directory(images):
    """images: (size, bits, resource bytes, id) per image, in directory order."""
    out = struct.pack("<HHH", 0, 1, len(images))
    for size, bits, data, ident in images:
        colours = (1 << bits) if bits < 8 else 0
        out += struct.pack("<BBBBHHIH", size, size, colours, 0, 1, bits, len(data), ident)
    return out


def _chunk(kind, data):
    return (struct.pack(">I", len(data)) + kind + data
            + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))


def png(width, height, rgba):
    raw = bytearray()
    for y in range(height):
        raw.append(0)  # no filter
        for r, g, b, a in rgba[y * width:(y + 1) * width]:
            raw += bytes((r, g, b, a))
    raw = bytes(raw)
    stream = bytearray(b"\x78\x01")
    limit = 65535
    for start in range(0, len(raw), limit):
        block = raw[start:start + limit]
        final = 1 if start + limit >= len(raw) else 0
        stream += struct.pack("<BHH", final, len(block), len(block) ^ 0xFFFF) + block
    stream += struct.pack(">I", zlib.adler32(raw) & 0xFFFFFFFF)
    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n" + _chunk(b"IHDR", header) + _chunk(b"IDAT", bytes(stream))
            + _chunk(b"IEND", b""))


def png_from_indices(width, height, palette, indices):
    """Opaque PNG of an indexed picture, for looking at the pictures."""
    return png(width, height, [palette[i] + (255,) for i in indices])
