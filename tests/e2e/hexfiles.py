"""Small Intel HEX texts and the word images they should give, written for the end-to-end tests."""


def record(rtype, offset, data=b""):
    """One record with a correct checksum, without its line end."""
    body = bytes([len(data), offset >> 8, offset & 0xFF, rtype]) + bytes(data)
    checksum = (-sum(body)) & 0xFF
    return ":" + body.hex().upper() + "%02X" % checksum


END = ":00000001FF"


def hex_text(chunks, line_end="\r\n", record_size=16):
    """HEX text for {address: bytes}, with a type 04 record wherever the upper 16 bits change."""
    lines, upper = [], 0
    for address, data in sorted(chunks.items()):
        for start in range(0, len(data), record_size):
            at = address + start
            if at >> 16 != upper:
                upper = at >> 16
                lines.append(record(0x04, 0, upper.to_bytes(2, "big")))
            lines.append(record(0x00, at & 0xFFFF, data[start:start + record_size]))
    lines.append(END)
    return line_end.join(lines) + line_end


def word_image(chunks, flash_size):
    """The .ver bytes for {address: bytes} in an erased FLASH of flash_size bytes."""
    image = bytearray(b"\xff" * flash_size)
    for address, data in chunks.items():
        image[address:address + len(data)] = data
    if flash_size % 2:
        image.append(0xFF)
    return b"".join(b"%02X%02X\r\n" % (image[i], image[i + 1]) for i in range(0, len(image), 2))
